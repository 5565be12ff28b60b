// Editing, commands and the input-handler chain of the editor text view.
#include "app/view/EditorTextView.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextViewSupport.h"
#include "app/view/PrimarySelection.h"
#include "core/editing/TextNavigation.h"

#include <QApplication>
#include <QClipboard>
#include <QUndoStack>

#include <algorithm>
#include <cmath>

namespace vendrix::app {

// MARK: Editing

bool EditorTextView::replaceRange(TextRange range, std::u16string_view text, EditKind kind) {
    if (!isEditable())
        return false;
    std::int64_t length = m_document->length();
    range.location = std::clamp<std::int64_t>(range.location, 0, length);
    range.length = std::clamp<std::int64_t>(range.length, 0, length - range.location);
    EditorDocument::EditOptions options;
    options.typing = kind == EditKind::typing || kind == EditKind::deletion;
    if (kind == EditKind::paste)
        options.actionName = QStringLiteral("Yapıştır");
    else if (kind == EditKind::cut)
        options.actionName = QStringLiteral("Kes");
    options.selectionBefore = selectedRange();
    m_ownEdit = true;
    const std::int64_t before = m_document->length();
    bool accepted = m_document->applyEdit(range, std::u16string(text), options);
    m_ownEdit = false;
    if (!accepted)
        return false;
    // The document may have rewritten the text (line breaks, the delegate): the caret goes
    // after what was actually inserted.
    std::int64_t inserted = m_document->length() - before + range.length;
    m_anchor = m_caret = range.location + inserted;
    m_document->setSelection({m_caret, 0});
    m_preferredX = -1;
    m_caretUpstream = false;
    publishPrimarySelection();
    restartCaretBlink();
    ensureCaretVisible(); // the edited rows were marked for repainting with the change
    emit selectionChanged();
    return true;
}

bool EditorTextView::insertText(std::u16string_view text, EditKind kind) {
    return replaceRange(selectedRange(), text, kind);
}

void EditorTextView::breakUndoCoalescing() {
    if (m_document)
        m_document->breakTypingRun();
}

void EditorTextView::undo() {
    if (!isEditable() || !m_document->undoStack()->canUndo())
        return;
    commitPreedit();
    m_document->undo();
}

void EditorTextView::redo() {
    if (!isEditable() || !m_document->undoStack()->canRedo())
        return;
    commitPreedit();
    m_document->redo();
}

void EditorTextView::addInputHandler(TextInputHandler* handler) {
    if (handler && std::find(m_inputHandlers.begin(), m_inputHandlers.end(), handler) ==
                       m_inputHandlers.end())
        m_inputHandlers.push_back(handler);
}

void EditorTextView::removeInputHandler(TextInputHandler* handler) {
    std::erase(m_inputHandlers, handler);
}

void EditorTextView::perform(TextCommand command) {
    if (askHandlers([command](TextInputHandler& handler) { return handler.command(command); }))
        return;
    performOwn(command);
}

void EditorTextView::performOwn(TextCommand command) {
    if (!m_document)
        return;
    switch (command) {
    case TextCommand::copy:
        if (!selectedRange().empty())
            QApplication::clipboard()->setText(selectedText(), QClipboard::Clipboard);
        return;
    case TextCommand::cut:
        if (!isEditable() || selectedRange().empty())
            return;
        QApplication::clipboard()->setText(selectedText(), QClipboard::Clipboard);
        insertText(u"", EditKind::cut);
        return;
    case TextCommand::paste: {
        if (!isEditable())
            return;
        QString text = QApplication::clipboard()->text(QClipboard::Clipboard);
        if (!text.isEmpty())
            insertText(view(text), EditKind::paste);
        return;
    }
    case TextCommand::selectAll:
        setSelection(0, m_document->length());
        return;
    case TextCommand::deleteSelection:
        if (isEditable() && !selectedRange().empty())
            replaceRange(selectedRange(), u"", EditKind::other);
        return;
    case TextCommand::deleteBackward:
    case TextCommand::deleteForward:
    case TextCommand::deleteWordBackward:
    case TextCommand::deleteWordForward:
        deleteBy(command == TextCommand::deleteForward || command == TextCommand::deleteWordForward,
                 command == TextCommand::deleteWordBackward ||
                     command == TextCommand::deleteWordForward);
        return;
    }
}

void EditorTextView::typeText(const QString& text) {
    if (askHandlers([&text](TextInputHandler& handler) { return handler.typedText(text); }))
        return;
    insertText(view(text));
}

void EditorTextView::pastePrimary(std::int64_t offset) {
    if (!isEditable())
        return;
    QString text = PrimarySelection::text();
    if (text.isEmpty())
        return;
    m_anchor = m_caret = std::clamp<std::int64_t>(offset, 0, m_document->length());
    insertText(view(text), EditKind::paste);
}

} // namespace vendrix::app
