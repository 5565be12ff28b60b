#include "app/document/WholeTextCommand.h"

#include "app/document/EditorDocument.h"

namespace vendrix::app {

WholeTextCommand::WholeTextCommand(EditorDocument& document, TextSnapshot text,
                                   LineIndex lineIndex, TextRange selectionBefore,
                                   TextRange selectionAfter, const QString& actionName)
    : QUndoCommand(actionName), m_document(document), m_otherText(std::move(text)),
      m_otherIndex(std::move(lineIndex)), m_selectionBefore(selectionBefore),
      m_selectionAfter(selectionAfter) {}

void WholeTextCommand::redo() {
    m_document.exchangeWholeText(m_otherText, m_otherIndex);
    // The first application is the edit itself: whoever made it sets the selection.
    if (m_hasBeenApplied)
        m_document.restoreSelection(m_selectionAfter);
    m_hasBeenApplied = true;
}

void WholeTextCommand::undo() {
    m_document.exchangeWholeText(m_otherText, m_otherIndex);
    m_document.restoreSelection(m_selectionBefore);
}

} // namespace vendrix::app
