// Tab and Shift+Tab in the text view, and the indentation menu commands.
#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "app/settings/ViewOptionsController.h"
#include "app/view/EditorTextView.h"
#include "core/editing/LineOperations.h"
#include "core/text/TextStorage.h"

#include <QKeyEvent>

namespace vendrix::app {

bool ViewOptionsController::columnSelectionActive() const {
    return m_view && m_view->isColumnSelectionActive();
}

bool ViewOptionsController::keyPress(QKeyEvent& event) {
    if (event.key() != Qt::Key_Tab && event.key() != Qt::Key_Backtab)
        return false;
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    // The key reaches the handlers only while the view has it, so the view is the one
    // being typed into.
    if (!m_view || !m_view->isEditable() || columnSelectionActive())
        return false;
    const bool shift = event.key() == Qt::Key_Backtab || (event.modifiers() & Qt::ShiftModifier);
    if (shift) {
        applyBlockEdit(true);
        return true; // Shift+Tab never inserts anything
    }
    const TextRange selection = m_view->selectedRange();
    EditorDocument* document = m_view->document();
    if (!selection.empty() && document && document->storage()) {
        const TextStorage& text = *document->storage();
        const std::u16string selected = text.substring(selection);
        if (selected.find(u'\n') != std::u16string::npos) {
            applyBlockEdit(false);
            return true;
        }
    }
    if (m_settings.insertSpaces && insertSpacesToTabStop())
        return true;
    return false; // the view inserts a tab character
}

bool ViewOptionsController::indentSelection() {
    return applyBlockEdit(false);
}

bool ViewOptionsController::outdentSelection() {
    return applyBlockEdit(true);
}

bool ViewOptionsController::applyBlockEdit(bool outdent) {
    EditorDocument* document = m_view ? m_view->document() : nullptr;
    if (!document || !document->storage() || document->isReadOnly())
        return false;
    const TextStorage& text = *document->storage();
    const LineIndex& lineIndex = document->lineIndex();
    const TextRange selection = m_view->selectedRange();
    // The operation sees only the lines of the selection, so a Tab in a large file costs
    // the block, not the whole text.
    const std::int64_t blockStart = lineIndex.lineStart(lineIndex.lineNumber(selection.location));
    const std::int64_t blockEnd = lineIndex.range(lineIndex.lineNumber(selection.end())).end();
    const std::u16string block = text.substring({blockStart, blockEnd - blockStart});
    const LineIndex blockIndex(block);
    const TextRange local{selection.location - blockStart, selection.length};
    const int tabWidth = static_cast<int>(m_settings.tabWidth);
    const std::u16string unit =
        m_settings.insertSpaces ? std::u16string(static_cast<size_t>(tabWidth), u' ') : u"\t";
    const std::optional<TextEdit> edit =
        outdent ? LineOperations::outdent(block, blockIndex, local, tabWidth)
                : LineOperations::indent(block, blockIndex, local, unit);
    if (!edit)
        return false;
    const TextRange range{edit->range.location + blockStart, edit->range.length};
    if (!m_ctx.applyEdits(*document, {range}, {edit->replacement},
                          outdent ? outdentActionName : indentActionName))
        return false;
    m_view->setSelectedRange({edit->selection.location + blockStart, edit->selection.length});
    return true;
}

bool ViewOptionsController::insertSpacesToTabStop() {
    EditorDocument* document = m_view->document();
    if (!document || !document->storage())
        return false;
    const TextRange selection = m_view->selectedRange();
    const LineIndex& lineIndex = document->lineIndex();
    const std::int64_t line = lineIndex.lineNumber(selection.location);
    if (lineIndex.lineNumber(selection.end()) != line)
        return false;
    const std::int64_t lineStart = lineIndex.lineStart(line);
    const std::u16string before =
        document->storage()->substring({lineStart, selection.location - lineStart});
    const int tabWidth = static_cast<int>(m_settings.tabWidth);
    const auto column =
        static_cast<std::int64_t>(graphemeCount(LineOperations::expandTabs(before, tabWidth)));
    const auto count = static_cast<size_t>(tabWidth - column % tabWidth);
    return m_view->insertText(std::u16string(count, u' '));
}

} // namespace vendrix::app
