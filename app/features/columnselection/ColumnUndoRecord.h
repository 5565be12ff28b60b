#pragma once

#include "core/common/TextRange.h"
#include "core/editing/ColumnSelection.h"

#include <QPointer>
#include <QString>
#include <QUndoCommand>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>

namespace vendrix::app {

class EditorDocument;

/// A selection to install after an undo or redo: a column selection or a plain range.
using SelectionState = std::variant<ColumnSelection, TextRange>;

/// One undo step of column editing: the region `start`, `length` of the document's text and
/// the text to put back there. Undo and redo swap the two, so one record serves both
/// alternately. While it is the feature's open typing record and not `sealed`, later typing
/// extends it (the region grows, the stored text stays the text from before the first change).
struct ColumnUndoRecord {
    QPointer<EditorDocument> doc;
    std::int64_t start = 0;
    std::int64_t length = 0;
    std::u16string text;
    SelectionState selectionAfterSwap;    ///< installed after redo
    SelectionState selectionAfterInverse; ///< installed after undo
    QString actionName;
    bool sealed = false;

    /// Puts `text` into the region and keeps what was there. False (nothing changed) when the
    /// document is gone or the region no longer fits its text.
    bool swap();
};

/// The record as a step of the document's undo stack. The first redo (QUndoStack::push) does
/// nothing: the change has already been made. Every later undo or redo calls `perform` with
/// the record, which swaps it (and installs the selection); without one, the record is
/// swapped directly.
class ColumnUndoCommand final : public QUndoCommand {
public:
    using Perform = std::function<void(ColumnUndoRecord& record, bool undo)>;
    ColumnUndoCommand(std::shared_ptr<ColumnUndoRecord> record, Perform perform);
    void undo() override;
    void redo() override;
    const std::shared_ptr<ColumnUndoRecord>& record() const { return m_record; }

private:
    void run(bool undo);
    std::shared_ptr<ColumnUndoRecord> m_record;
    Perform m_perform;
    bool m_pushed = false;
};

} // namespace vendrix::app
