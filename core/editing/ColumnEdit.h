#pragma once

#include "core/common/TextRange.h"
#include "core/editing/ColumnSelection.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// A change of several lines at once: disjoint ranges of the current text, each with its
/// replacement, and what to select afterwards.
struct ColumnEdit {
    /// UTF-16 ranges of the current text, ascending and not overlapping.
    std::vector<TextRange> ranges;
    /// One replacement per range, in the same order.
    std::vector<std::u16string> strings;
    /// The column selection to install afterwards (typing and deleting).
    std::optional<ColumnSelection> selection;
    /// The plain selection to install afterwards (pasting).
    std::optional<TextRange> caret;

    /// One replacement equivalent to the whole edit.
    struct Replacement {
        TextRange range;
        std::u16string string;
        friend bool operator==(const Replacement&, const Replacement&) = default;
    };

    /// True when every paired range fits `text` and the ranges ascend without overlapping.
    [[nodiscard]] bool fits(std::u16string_view text) const;
    /// The text after all replacements. Ranges are paired with strings (extra elements of the
    /// longer list are ignored); an edit that does not fit the text leaves it unchanged.
    [[nodiscard]] std::u16string applied(std::u16string_view text) const;
    /// The hull from the first range's start to the last range's end with the unchanged text
    /// between the ranges kept; nothing when there are no ranges or the edit does not fit.
    [[nodiscard]] std::optional<Replacement> hullReplacement(std::u16string_view text) const;

    friend bool operator==(const ColumnEdit&, const ColumnEdit&) = default;
};

} // namespace vendrix
