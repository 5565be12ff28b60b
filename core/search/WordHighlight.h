#pragma once

#include "core/common/TextRange.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// Occurrences of the selected word: whether a selection is a whole word, and where else
/// that word stands alone. Literal, case-sensitive comparison of UTF-16 units.
///
/// A word character is "_", a letter, a decimal digit or a combining mark. Inside a
/// candidate characters are tested per code point; next to a word they are tested per unit,
/// where a lone surrogate half is not a word character.
struct WordHighlight {
    static constexpr std::int64_t maxWordLength = 100;
    static constexpr std::int64_t defaultLimit = 2'000;

    /// The selected text when it is a whole word of 1 to maxWordLength units; none otherwise.
    [[nodiscard]] static std::optional<std::u16string> candidate(std::u16string_view text,
                                                                 TextRange selection);
    /// At most `limit` whole-word occurrences of `word` inside `range` (clamped to the text).
    [[nodiscard]] static std::vector<TextRange> occurrences(std::u16string_view word,
                                                            std::u16string_view text,
                                                            TextRange range, std::int64_t limit);

    /// "_", letters, decimal digits and combining marks.
    [[nodiscard]] static bool isWordCharacter(char32_t c);
};

} // namespace vendrix
