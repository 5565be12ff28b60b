#pragma once

#include "core/editing/ColumnEdit.h"
#include "core/editing/ColumnSelection.h"
#include "core/text/LineIndex.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// Typing, deleting and pasting into a column selection, computed as one ColumnEdit.
///
/// Every function maps the selection onto the text line by line (ColumnLayout::spans).
/// Short lines are never padded when typing and are padded with spaces when pasting a
/// column; deletions never join lines. A selection with a negative line or column, or a line
/// index out of step with the text (a programming error, stopped in debug builds), gives an
/// edit without ranges that keeps the selection as it was.
class ColumnEditing {
public:
    ColumnEditing() = delete;

    enum class Deletion { backward, forward, wordBackward, wordForward };

    /// Replaces every line's part of the selection by `typed`; lines that do not reach the
    /// selection's start column are left alone.
    [[nodiscard]] static ColumnEdit insert(std::u16string_view typed,
                                           const ColumnSelection& selection,
                                           std::u16string_view text, const LineIndex& lineIndex,
                                           int tabWidth);
    /// Deletes the selected block of a rectangle of positive width, otherwise one character or
    /// word before or after every caret, within its line.
    [[nodiscard]] static ColumnEdit deleteText(Deletion kind, const ColumnSelection& selection,
                                               std::u16string_view text, const LineIndex& lineIndex,
                                               int tabWidth);
    /// Pastes `lines` as a column with its top-left corner at `point`, replacing the parts of
    /// `replacing` when given; appends lines past the end of the text. Sets `caret`.
    [[nodiscard]] static ColumnEdit pasteColumn(const std::vector<std::u16string>& lines,
                                                ColumnPoint point,
                                                const std::optional<ColumnSelection>& replacing,
                                                std::u16string_view text,
                                                const LineIndex& lineIndex, int tabWidth);
    /// An ordinary paste into a column selection: the whole text goes into the first line's
    /// part and the other parts are deleted. Sets `caret`.
    [[nodiscard]] static ColumnEdit pasteStream(std::u16string_view pasted,
                                                const ColumnSelection& replacing,
                                                std::u16string_view text,
                                                const LineIndex& lineIndex, int tabWidth);
    /// Clipboard text split into lines for a column paste: line breaks normalised to LF, one
    /// final LF dropped. An empty text gives one empty line.
    [[nodiscard]] static std::vector<std::u16string> lines(std::u16string_view text);
};

} // namespace vendrix
