#pragma once

#include "core/common/TextRange.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vendrix {

/// A position in visual terms: a 0-based line and a 0-based visual column (a tab reaches the
/// next tab stop, wide characters take two columns).
struct ColumnPoint {
    std::int64_t line = 0;
    std::int64_t column = 0;

    friend bool operator==(const ColumnPoint&, const ColumnPoint&) = default;
};

/// A rectangular selection between two corners, or - with `caretColumns` - a set of
/// zero-width carets, one per line from the top line down, at possibly different columns.
struct ColumnSelection {
    /// Where the selection started; stays fixed while the selection is extended.
    ColumnPoint anchor;
    /// The corner that moves.
    ColumnPoint active;
    /// Per-line caret columns from the top line down; absent for a rectangle.
    std::optional<std::vector<std::int64_t>> caretColumns;

    std::int64_t topLine() const { return std::min(anchor.line, active.line); }
    std::int64_t bottomLine() const { return std::max(anchor.line, active.line); }
    std::int64_t lineCount() const { return bottomLine() - topLine() + 1; }
    std::int64_t leftColumn() const { return std::min(anchor.column, active.column); }
    std::int64_t rightColumn() const { return std::max(anchor.column, active.column); }
    std::int64_t width() const { return rightColumn() - leftColumn(); }
    bool isRectangular() const { return !caretColumns.has_value(); }

    /// The visual columns selected on `line`: its caret column (twice) when there is one,
    /// otherwise the left and right columns.
    struct Columns {
        std::int64_t start = 0;
        std::int64_t end = 0;
        friend bool operator==(const Columns&, const Columns&) = default;
    };
    Columns columns(std::int64_t line) const;

    /// The caret column of `line`, if the selection has one for it.
    std::optional<std::int64_t> caretColumn(std::int64_t line) const;

    /// Folds per-line carets into a zero-width rectangle at the active line's caret column
    /// (or the left column when the active line has none). A rectangle comes back unchanged.
    ColumnSelection rectangularized() const;

    /// True when no line or column is negative (such a selection fits no text).
    bool isWellFormed() const;

    friend bool operator==(const ColumnSelection&, const ColumnSelection&) = default;
};

/// One line of a column selection mapped onto the text.
struct ColumnLineSpan {
    std::int64_t line = 0;
    /// The selected UTF-16 range of the line; absent when the line does not reach the
    /// selection's start column.
    std::optional<TextRange> range;
    /// The visual column where `range` starts (left of the requested column when a tab or
    /// wide character straddles it); for an absent range, the requested start column.
    std::int64_t startColumn = 0;

    friend bool operator==(const ColumnLineSpan&, const ColumnLineSpan&) = default;
};

} // namespace vendrix

template <> struct std::hash<vendrix::ColumnPoint> {
    std::size_t operator()(const vendrix::ColumnPoint& point) const noexcept {
        return std::hash<std::int64_t>()(point.line) * 1000003u ^
               std::hash<std::int64_t>()(point.column);
    }
};
