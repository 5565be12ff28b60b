#pragma once

#include "core/common/TextRange.h"
#include "core/common/TextSource.h"

#include <cstdint>
#include <vector>

namespace vendrix {

/// One piece of a long line, laid out on its own so that a line of millions of characters
/// costs no more per frame or keystroke than the pieces on screen.
struct LineSegment {
    std::int64_t start = 0;            ///< UTF-16 offset from the line's start
    std::int64_t startColumn = 0;      ///< visual column (tabs expanded) where the segment begins
    std::int32_t columnsBeforeTab = 0; ///< columns up to the first tab (all of them without one)
    std::int32_t columnsAfterTab = 0;  ///< columns after the first tab's stop
    bool hasTab = false;
    std::int32_t rows = 1; ///< wrapped rows: estimated until the segment is laid out
    bool rowsExact = false;

    /// The column at the segment's end when it begins at `column`.
    std::int64_t endColumn(std::int64_t column, int tabWidth) const {
        if (!hasTab)
            return column + columnsBeforeTab;
        return ((column + columnsBeforeTab) / tabWidth + 1) * tabWidth + columnsAfterTab;
    }
};

/// Splits a long line into segments of about kTargetLength units, preferring breaks after
/// spaces and punctuation and never splitting a character (grapheme cluster). Keeps
/// the visual start column of every segment for horizontal placement without layout, and
/// updates incrementally: an edit re-scans only the segments it touches.
class LineSegmentation {
public:
    /// Lines longer than this are segmented; shorter ones are laid out whole.
    static constexpr std::int64_t kThreshold = 2048;
    static constexpr std::int64_t kTargetLength = 512;

    /// What an update changed: old segments [first, first + oldCount) became
    /// [first, first + newCount); later segments moved by newCount - oldCount.
    struct Change {
        int first = 0;
        int oldCount = 0;
        int newCount = 0;
    };

    LineSegmentation() = default;
    /// Segments `line` (document offsets) of `text`, reading it in chunks.
    LineSegmentation(const TextSource& text, TextRange line, int tabWidth);

    /// Follows an edit inside the line: `editStart` (offset in the line) had `removed` units
    /// replaced by `inserted` units; `line` is the line's new extent in `text`.
    Change update(const TextSource& text, TextRange line, std::int64_t editStart,
                  std::int64_t removed, std::int64_t inserted);

    const std::vector<LineSegment>& segments() const { return m_segments; }
    std::vector<LineSegment>& segments() { return m_segments; }
    int count() const { return static_cast<int>(m_segments.size()); }
    std::int64_t length() const { return m_length; }
    int tabWidth() const { return m_tabWidth; }
    /// Offset in the line where segment `k` ends.
    std::int64_t segmentEnd(int k) const;
    /// The segment holding `offset` (offset in the line; the line's end is in the last one).
    int segmentAt(std::int64_t offset) const;
    /// The segment whose columns contain `column` (for horizontal hit-testing).
    int segmentAtColumn(std::int64_t column) const;
    /// Visual columns of the whole line.
    std::int64_t totalColumns() const;

private:
    void split(const TextSource& text, std::int64_t lineStart, std::int64_t from, std::int64_t to,
               std::vector<LineSegment>& out) const;
    void recomputeColumns(int from);

    std::vector<LineSegment> m_segments;
    std::int64_t m_length = 0;
    int m_tabWidth = 4;
};

} // namespace vendrix
