#pragma once

#include "core/editing/ColumnSelection.h"
#include "core/text/LineIndex.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// Maps column selections onto a text line by line, moves and extends them, and copies the
/// selected text. Columns are visual columns (see VisualColumn); offsets UTF-16 units.
///
/// The line index must describe the text: an out-of-step index stops debug builds and makes
/// release builds refuse (no spans). A selection with a negative line or column fits no text
/// and gives no spans.
class ColumnLayout {
public:
    ColumnLayout() = delete;

    enum class Direction { up, down, left, right };

    /// A closed range of line numbers.
    struct LineRange {
        std::int64_t lower = 0;
        std::int64_t upper = 0;
    };

    /// The line holding `offset` (clamped into the text) and the offset's column there.
    [[nodiscard]] static ColumnPoint point(std::int64_t offset, std::u16string_view text,
                                           const LineIndex& lineIndex, int tabWidth);

    /// One span per line of the selection that exists in the text, top line first,
    /// optionally restricted to `lines`.
    [[nodiscard]] static std::vector<ColumnLineSpan>
    spans(const ColumnSelection& selection, std::u16string_view text, const LineIndex& lineIndex,
          int tabWidth, std::optional<LineRange> lines = std::nullopt);

    /// Moves the active point one step (folding per-line carets first); the anchor stays,
    /// so repeated moves extend the rectangle. Moving right stops at `maxColumn`.
    [[nodiscard]] static ColumnSelection moved(const ColumnSelection& selection,
                                               Direction direction, std::u16string_view text,
                                               const LineIndex& lineIndex, int tabWidth,
                                               std::int64_t maxColumn);

    /// The text of every span (empty for a span without range), joined with LF.
    [[nodiscard]] static std::u16string copyText(const std::vector<ColumnLineSpan>& spans,
                                                 std::u16string_view text);
    /// The total length of the spans' ranges.
    [[nodiscard]] static std::int64_t selectedLength(const std::vector<ColumnLineSpan>& spans);
};

} // namespace vendrix
