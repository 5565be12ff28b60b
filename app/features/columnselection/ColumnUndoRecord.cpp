#include "app/features/columnselection/ColumnUndoRecord.h"

#include "app/document/EditorDocument.h"

namespace vendrix::app {

bool ColumnUndoRecord::swap() {
    EditorDocument* document = doc.data();
    if (document == nullptr || !document->isLoaded() || start < 0 || length < 0 ||
        start + length > document->length())
        return false;
    const TextRange range{start, length};
    std::u16string taken = document->storage()->substring(range);
    if (!document->applyWithoutUndo({range}, {text}))
        return false;
    length = static_cast<std::int64_t>(text.size());
    text = std::move(taken);
    return true;
}

ColumnUndoCommand::ColumnUndoCommand(std::shared_ptr<ColumnUndoRecord> record, Perform perform)
    : m_record(std::move(record)), m_perform(std::move(perform)) {
    setText(m_record->actionName);
}

void ColumnUndoCommand::undo() {
    run(true);
}

void ColumnUndoCommand::redo() {
    if (!m_pushed) {
        m_pushed = true;
        return;
    }
    run(false);
}

void ColumnUndoCommand::run(bool undo) {
    if (m_perform)
        m_perform(*m_record, undo);
    else
        m_record->swap();
}

} // namespace vendrix::app
