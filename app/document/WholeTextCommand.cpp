#include "app/document/WholeTextCommand.h"

#include "app/document/EditorDocument.h"

namespace vendrix::app {

WholeTextCommand::WholeTextCommand(EditorDocument& document, TextSnapshot text,
                                   LineIndex lineIndex, TextRange selectionBefore,
                                   TextRange selectionAfter, const QString& actionName)
    : QUndoCommand(actionName), m_document(document), m_otherText(std::move(text)),
      m_otherIndex(std::move(lineIndex)), m_selectionBefore(selectionBefore),
      m_selectionAfter(selectionAfter), m_currentLength(document.length()) {}

void WholeTextCommand::exchange() {
    const std::int64_t installed = m_otherText.length();
    if (m_document.exchangeWholeText(m_otherText, m_otherIndex, m_currentLength))
        m_currentLength = installed;
}

void WholeTextCommand::redo() {
    exchange();
    // The first application is the edit itself: whoever made it sets the selection.
    if (m_hasBeenApplied)
        m_document.restoreSelection(m_selectionAfter);
    m_hasBeenApplied = true;
}

void WholeTextCommand::undo() {
    exchange();
    m_document.restoreSelection(m_selectionBefore);
}

} // namespace vendrix::app
