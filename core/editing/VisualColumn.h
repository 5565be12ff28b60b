#pragma once

#include "core/common/TextRange.h"
#include "core/editing/Unicode.h"
#include "core/text/LineIndex.h"

#include <cstdint>
#include <string_view>

namespace vendrix {

/// Visual columns within a line. A tab advances to the next multiple of the tab width,
/// East-Asian wide characters and emoji take two columns, zero-width characters none, every
/// other grapheme cluster one. Offsets are UTF-16 units into the whole text; columns are
/// 0-based.
///
/// A tab width below 1 counts as 1. A line range that does not fit the text is treated as an
/// empty line at its location clamped into the text, so nothing is read out of bounds.
class VisualColumn {
public:
    VisualColumn() = delete;

    /// 0, 1 or 2 columns for one grapheme cluster.
    [[nodiscard]] static int widthOfCluster(std::u16string_view cluster);
    /// The line's range without its LF and without a CR just before that LF. A line outside
    /// the text gives an empty range at the text's start or end.
    [[nodiscard]] static TextRange contentRange(std::int64_t line, std::u16string_view text,
                                                const LineIndex& lineIndex);
    /// The visual column of `offset` within `line`; an offset inside a cluster gets the
    /// cluster's start column, one past the line end the line's width.
    [[nodiscard]] static std::int64_t column(std::int64_t offset, TextRange line,
                                             std::u16string_view text, int tabWidth);
    /// The column at the line's end.
    [[nodiscard]] static std::int64_t widthOfLine(TextRange line, std::u16string_view text,
                                                  int tabWidth);

    /// Where a target column is found in a line.
    struct Location {
        std::int64_t offset = 0; ///< UTF-16 offset of the cluster holding the column
        std::int64_t column = 0; ///< the visual column at that offset
        bool reached = false;    ///< whether the line reaches the target column
        friend bool operator==(const Location&, const Location&) = default;
    };
    /// The cluster holding `targetColumn` (a column inside a tab or wide character lands on
    /// its start), or the line end with the line's width when the line ends first.
    [[nodiscard]] static Location offset(std::int64_t targetColumn, TextRange line,
                                         std::u16string_view text, int tabWidth);

    /// The column just after the cluster that covers `column`; beyond the line end every
    /// column is a boundary.
    [[nodiscard]] static std::int64_t nextBoundary(std::int64_t column, TextRange line,
                                                   std::u16string_view text, int tabWidth);
    /// The start column of the last cluster starting before `column`.
    [[nodiscard]] static std::int64_t previousBoundary(std::int64_t column, TextRange line,
                                                       std::u16string_view text, int tabWidth);

    /// The number of columns `string` takes when placed at `startColumn` (tabs align to the
    /// absolute tab stops).
    [[nodiscard]] static std::int64_t widthOf(std::u16string_view string, std::int64_t startColumn,
                                              int tabWidth);
};

namespace editing {

/// One grapheme cluster met while walking a line.
struct VisualCluster {
    std::size_t start = 0; ///< offset relative to the walked line
    std::size_t end = 0;
    std::int64_t startColumn = 0;
    std::int64_t width = 0;
    std::int64_t endColumn() const { return startColumn + width; }
};

/// Walks the clusters of one line, measuring visual columns. Printable ASCII not followed by
/// a combining range unit is measured without segmentation.
class VisualWalk {
public:
    VisualWalk(std::u16string_view line, int tabWidth, std::int64_t startColumn = 0);
    /// The next cluster; false at the line end.
    bool next(VisualCluster& cluster);
    /// The column reached so far (the line's width once next() returned false).
    std::int64_t column() const { return m_column; }

private:
    std::u16string_view m_line;
    unicode::GraphemeClusters m_clusters;
    std::int64_t m_tabWidth;
    std::size_t m_at = 0;
    std::int64_t m_column;
};

/// `range` if it fits a text of `length` units, otherwise an empty range at its clamped
/// location.
TextRange fittedRange(TextRange range, std::int64_t length);

} // namespace editing
} // namespace vendrix
