#pragma once

#include "core/common/TextRange.h"
#include "core/text/LineIndex.h"
#include "core/text/TextStorage.h"

#include <QUndoCommand>

namespace vendrix::app {

class EditorDocument;

/// One undo step that replaced the whole text of a document at once (a replace-all of many
/// matches, formatting a whole document, a reload kept in the history). It holds the text
/// that is not in the document right now, as an immutable shared string, together with that
/// text's line index. Undo and redo trade both with the document's own: neither direction
/// copies more than the one text it installs, compares anything or keeps per-match records.
class WholeTextCommand final : public QUndoCommand {
public:
    /// `text` and `lineIndex` are the text after the step and its index; the document holds
    /// the text before it.
    WholeTextCommand(EditorDocument& document, TextSnapshot text, LineIndex lineIndex,
                     TextRange selectionBefore, TextRange selectionAfter,
                     const QString& actionName);

    void redo() override;
    void undo() override;

    /// The text the step would install next (the new text before the step is applied and
    /// after undo, the old text while it is applied).
    const TextSnapshot& otherText() const { return m_otherText; }

private:
    void exchange();

    EditorDocument& m_document;
    TextSnapshot m_otherText;
    LineIndex m_otherIndex;
    TextRange m_selectionBefore;
    TextRange m_selectionAfter;
    /// The length of the text this step expects to find in the document.
    std::int64_t m_currentLength = 0;
    bool m_hasBeenApplied = false;
};

} // namespace vendrix::app
