#pragma once

#include "core/text/LineIndex.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace vendrix {

/// What the user typed into the go-to-line bar: a 1-based line and an optional 1-based column.
struct GoToLineTarget {
    std::int64_t line = 1;
    std::optional<std::int64_t> column;

    /// "12", "12:5", "12,5", "12 5", "12: 5", ":12" and "12:" are understood; anything else,
    /// zero or negative numbers, or a bad column give no target.
    [[nodiscard]] static std::optional<GoToLineTarget> parse(std::u16string_view text);
    /// The caret offset for the target: line clamped to the text, column clamped to the line.
    [[nodiscard]] std::int64_t location(const LineIndex& index) const;

    friend bool operator==(const GoToLineTarget&, const GoToLineTarget&) = default;
};

} // namespace vendrix
