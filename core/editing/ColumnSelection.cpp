#include "core/editing/ColumnSelection.h"

#include <algorithm>

namespace vendrix {

std::optional<std::int64_t> ColumnSelection::caretColumn(std::int64_t line) const {
    if (!caretColumns)
        return std::nullopt;
    std::int64_t index = line - topLine();
    if (index < 0 || index >= static_cast<std::int64_t>(caretColumns->size()))
        return std::nullopt;
    return (*caretColumns)[static_cast<std::size_t>(index)];
}

ColumnSelection::Columns ColumnSelection::columns(std::int64_t line) const {
    if (std::optional<std::int64_t> caret = caretColumn(line))
        return {*caret, *caret};
    return {leftColumn(), rightColumn()};
}

ColumnSelection ColumnSelection::rectangularized() const {
    if (!caretColumns)
        return *this;
    std::int64_t column = caretColumn(active.line).value_or(leftColumn());
    return ColumnSelection{{anchor.line, column}, {active.line, column}, std::nullopt};
}

bool ColumnSelection::isWellFormed() const {
    if (anchor.line < 0 || active.line < 0 || anchor.column < 0 || active.column < 0)
        return false;
    if (caretColumns)
        return std::ranges::all_of(*caretColumns, [](std::int64_t c) { return c >= 0; });
    return true;
}

} // namespace vendrix
