// Keyboard, mouse, wheel and input-method handling of the editor text view.
#include "app/view/EditorTextView.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextViewSupport.h"
#include "core/editing/TextNavigation.h"
#include "core/text/LineIndex.h"
#include "core/text/TextStorage.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextCharFormat>
#include <QUndoStack>

#include <algorithm>
#include <cmath>

namespace vendrix::app {
namespace {

/// True for the keys that are the text's own (caret movement, deletion), which the view keeps
/// even when a window shortcut uses them. Command keys (Ctrl+Z, Ctrl+C, ...) belong to the
/// window's actions, which call the view's commands.
bool isViewKey(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return !(modifiers & (Qt::AltModifier | Qt::MetaModifier | Qt::ControlModifier));
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Backspace:
        return !(modifiers & (Qt::AltModifier | Qt::MetaModifier));
    case Qt::Key_Delete:
        return !(modifiers & (Qt::AltModifier | Qt::MetaModifier | Qt::ShiftModifier));
    default:
        return false;
    }
}

/// True when the key event types its text: no Control, Alt or Meta, except Control+Alt
/// together, which is how AltGr arrives on some keyboards.
bool isTypedText(QKeyEvent* event) {
    const auto modifiers = event->modifiers();
    const bool control = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    return !event->text().isEmpty() && control == alt && !(modifiers & Qt::MetaModifier);
}

} // namespace

bool EditorTextView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Text typed with Control and Alt together (AltGr on some keyboards) is typed only when
        // no window shortcut (Ctrl+Alt+S, Ctrl+Alt+J, ...) takes the key first.
        const bool plainText = isTypedText(key) &&
                               !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
                               key->text().at(0).isPrint();
        if (isViewKey(key) || plainText) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && m_document) {
        // Qt moves the focus on Tab and Backtab before keyPressEvent; here they are keys of
        // the text (indenting, column typing, a tab character).
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

// MARK: Caret movement

void EditorTextView::moveCaret(std::int64_t offset, bool extend, bool keepPreferredX,
                               bool upstream) {
    if (!m_document)
        return;
    commitPreedit();
    offset = std::clamp<std::int64_t>(offset, 0, m_document->length());
    std::int64_t anchor = extend ? m_anchor : offset;
    qreal preferred = m_preferredX;
    bool changed = anchor != m_anchor || offset != m_caret || upstream != m_caretUpstream;
    m_anchor = anchor;
    m_caret = offset;
    m_caretUpstream = upstream && m_layout.wraps();
    if (keepPreferredX)
        m_preferredX = preferred;
    else
        m_preferredX = -1;
    ensureCaretVisible();
    if (changed)
        selectionDidChange();
    else
        restartCaretBlink();
}

void EditorTextView::moveVertically(int rows, bool extend) {
    if (!m_document)
        return;
    QRectF caret = contentRectForOffset(m_caret, false, m_caretUpstream);
    if (m_preferredX < 0)
        m_preferredX = caret.left();
    const qreal height = m_layout.lineHeight();
    qreal targetY = caret.top() + rows * height + height / 2;
    std::int64_t target;
    bool upstream = false;
    if (targetY < 0)
        target = 0;
    else if (targetY >= m_layout.contentHeight())
        target = m_document->length();
    else
        target = offsetAtContentPoint({m_preferredX, targetY}, &upstream);
    moveCaret(target, extend, true, upstream);
}

void EditorTextView::moveToRowEdge(bool toEnd, bool extend) {
    const LineIndex& lines = m_document->lineIndex();
    TextRange line = lines.range(lines.lineNumber(m_caret));
    if (!m_layout.wraps()) {
        moveCaret(toEnd ? line.end() : line.location, extend);
        return;
    }
    // The row the caret is drawn on; pressed again at that row's edge, the line's edge.
    bool endsSoftly = false;
    TextRange row = visualRowRange(m_caret, m_caretUpstream, &endsSoftly);
    if (!toEnd) {
        moveCaret(m_caret == row.location && !m_caretUpstream ? line.location : row.location,
                  extend);
        return;
    }
    if (!endsSoftly || (m_caret == row.end() && m_caretUpstream))
        moveCaret(line.end(), extend);
    else
        moveCaret(row.end(), extend, false, true);
}

void EditorTextView::deleteBy(bool forward, bool byWord) {
    if (!isEditable())
        return;
    TextRange selection = selectedRange();
    if (selection.empty()) {
        TextNavigation nav = navigation();
        std::int64_t other =
            forward ? (byWord ? nav.nextWordEnd(m_caret) : nav.nextCharacter(m_caret))
                    : (byWord ? nav.previousWordStart(m_caret) : nav.previousCharacter(m_caret));
        selection = {std::min(other, m_caret), std::abs(other - m_caret)};
        if (selection.empty())
            return;
    }
    replaceRange(selection, u"", EditKind::deletion);
}

// MARK: Keyboard

void EditorTextView::keyPressEvent(QKeyEvent* event) {
    if (!m_document) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (askHandlers([event](TextInputHandler& handler) { return handler.keyPress(*event); })) {
        event->accept();
        return;
    }
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool control = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    TextNavigation nav = navigation();
    TextRange selection = selectedRange();

    switch (event->key()) {
    case Qt::Key_Left:
        if (alt)
            break;
        if (!shift && !selection.empty() && !control)
            moveCaret(selection.location, false);
        else
            moveCaret(control ? nav.previousWordStart(m_caret) : nav.previousCharacter(m_caret),
                      shift);
        return;
    case Qt::Key_Right:
        if (alt)
            break;
        if (!shift && !selection.empty() && !control)
            moveCaret(selection.end(), false);
        else
            moveCaret(control ? nav.nextWordEnd(m_caret) : nav.nextCharacter(m_caret), shift);
        return;
    case Qt::Key_Up:
        if (alt)
            break;
        if (control) {
            stopFollowing();
            setScrollY(m_scrollY - static_cast<std::int64_t>(m_layout.lineHeight()));
            return;
        }
        moveVertically(-1, shift);
        return;
    case Qt::Key_Down:
        if (alt)
            break;
        if (control) {
            stopFollowing();
            setScrollY(m_scrollY + static_cast<std::int64_t>(m_layout.lineHeight()));
            return;
        }
        moveVertically(1, shift);
        return;
    case Qt::Key_Home:
        if (control)
            moveCaret(0, shift);
        else
            moveToRowEdge(false, shift);
        return;
    case Qt::Key_End:
        if (control)
            moveCaret(m_document->length(), shift);
        else
            moveToRowEdge(true, shift);
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        int rows = std::max(
            1, static_cast<int>((viewport()->height() - 2 * kInset) / m_layout.lineHeight()) - 1);
        if (event->key() == Qt::Key_PageUp)
            rows = -rows;
        setScrollY(m_scrollY + rows * static_cast<std::int64_t>(m_layout.lineHeight()));
        moveVertically(rows, shift);
        return;
    }
    case Qt::Key_Backspace:
        perform(control ? TextCommand::deleteWordBackward : TextCommand::deleteBackward);
        return;
    case Qt::Key_Delete:
        perform(control ? TextCommand::deleteWordForward : TextCommand::deleteForward);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (control || alt)
            break;
        insertText(u"\n");
        return;
    case Qt::Key_Tab:
        if (control || alt)
            break;
        typeText(QStringLiteral("\t"));
        return;
    case Qt::Key_Backtab:
        return;
    case Qt::Key_Escape:
        break;
    case Qt::Key_Menu:
        openKeyboardContextMenu();
        return;
    case Qt::Key_F10:
        if (shift && !control && !alt) {
            openKeyboardContextMenu();
            return;
        }
        break;
    default: {
        QString text = event->text();
        if (isTypedText(event) && std::all_of(text.begin(), text.end(), [](QChar c) {
                return c.isPrint() || c.isSurrogate() || c == QLatin1Char('\t');
            })) {
            typeText(text);
            return;
        }
        break;
    }
    }
    QAbstractScrollArea::keyPressEvent(event);
}

// MARK: Input methods

void EditorTextView::commitPreedit() {
    if (m_layout.preeditOffset() < 0)
        return;
    // Text still being composed is dropped: the input method commits what it wants to keep.
    m_layout.setPreedit(-1, QString(), 0);
    QInputMethod* method = QGuiApplication::inputMethod();
    if (method && hasFocus())
        method->reset();
    viewport()->update();
}

void EditorTextView::inputMethodEvent(QInputMethodEvent* event) {
    if (!m_document || !isEditable()) {
        event->ignore();
        return;
    }
    if (askHandlers(
            [event](TextInputHandler& handler) { return handler.inputMethod(*event); })) {
        event->accept();
        return;
    }
    m_layout.setPreedit(-1, QString(), 0);
    const bool plainCommit = event->replacementLength() == 0 && event->replacementStart() == 0;
    if (plainCommit && !event->commitString().isEmpty()) {
        typeText(event->commitString());
    } else if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        TextRange target = selectedRange();
        if (event->replacementLength() > 0 || event->replacementStart() != 0) {
            std::int64_t start = std::clamp<std::int64_t>(m_caret + event->replacementStart(), 0,
                                                          m_document->length());
            std::int64_t end = std::clamp<std::int64_t>(start + event->replacementLength(), start,
                                                        m_document->length());
            target = {start, end - start};
        }
        replaceRange(target, view(event->commitString()), EditKind::typing);
    }
    QString preedit = event->preeditString();
    if (!preedit.isEmpty()) {
        if (!selectedRange().empty())
            replaceRange(selectedRange(), u"", EditKind::deletion);
        int cursor = static_cast<int>(preedit.size());
        for (const QInputMethodEvent::Attribute& attribute : event->attributes())
            if (attribute.type == QInputMethodEvent::Cursor)
                cursor = std::clamp(attribute.start, 0, static_cast<int>(preedit.size()));
        m_caretUpstream = false; // composed text is drawn where the caret's offset begins a row
        m_layout.setPreedit(m_caret, preedit, cursor);
        ensureCaretVisible();
    }
    restartCaretBlink();
    viewport()->update();
    event->accept();
}

QVariant EditorTextView::inputMethodQuery(Qt::InputMethodQuery query) const {
    auto* self = const_cast<EditorTextView*>(this);
    switch (query) {
    case Qt::ImEnabled:
        return isEditable();
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhMultiLine | Qt::ImhNoPredictiveText);
    case Qt::ImFont:
        return m_layout.font();
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle: {
        QRectF rect =
            query == Qt::ImCursorRectangle ? self->caretRect() : self->rectForOffset(m_anchor);
        return rect.translated(viewport()->pos()).toRect();
    }
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
    case Qt::ImSurroundingText:
    case Qt::ImCurrentSelection:
    case Qt::ImAbsolutePosition: {
        if (!m_document)
            return {};
        // Report a window of the caret's line, enough for input methods that look back.
        const LineIndex& lines = m_document->lineIndex();
        TextRange line = lines.range(lines.lineNumber(m_caret));
        std::int64_t start = std::max(line.location, m_caret - 1000);
        // A selection reaching far (up to the whole of a gigabyte line) is cut to a window
        // that a QString and the int positions below can hold.
        std::int64_t end =
            std::min(line.end(), std::min(std::max(m_caret, m_anchor), m_caret + 100000) + 1000);
        if (query == Qt::ImAbsolutePosition)
            return static_cast<qlonglong>(m_caret);
        if (query == Qt::ImCursorPosition)
            return static_cast<int>(m_caret - start);
        if (query == Qt::ImAnchorPosition)
            return static_cast<int>(std::clamp(m_anchor, start, end) - start);
        if (query == Qt::ImCurrentSelection) {
            TextRange selection = selectedRange();
            if (selection.length > 100000)
                return QString();
            return selectedText();
        }
        QString text(static_cast<qsizetype>(end - start), Qt::Uninitialized);
        m_document->storage()->copyUnits({start, end - start},
                                         reinterpret_cast<char16_t*>(text.data()));
        return text;
    }
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

} // namespace vendrix::app
