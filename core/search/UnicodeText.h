#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix::unicodeText {

inline bool isLead(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool isTrail(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
inline bool isSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

/// True when `offset` falls between the two halves of a surrogate pair.
inline bool splitsPair(std::u16string_view text, std::int64_t offset) {
    return offset > 0 && offset < static_cast<std::int64_t>(text.size()) &&
           isTrail(text[static_cast<size_t>(offset)]) &&
           isLead(text[static_cast<size_t>(offset - 1)]);
}
/// Number of units of the code point starting at `offset` (1 for a lone surrogate); 1 at
/// or past the end.
inline std::int64_t codePointLength(std::u16string_view text, std::int64_t offset) {
    auto at = static_cast<size_t>(offset);
    if (at + 1 < text.size() && isLead(text[at]) && isTrail(text[at + 1]))
        return 2;
    return 1;
}
/// The code point starting at `offset`; a lone surrogate is returned as itself.
inline char32_t codePointAt(std::u16string_view text, std::int64_t offset) {
    auto at = static_cast<size_t>(offset);
    char16_t unit = text[at];
    if (isLead(unit) && at + 1 < text.size() && isTrail(text[at + 1]))
        return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[at + 1]) - 0xDC00);
    return unit;
}
/// The code point ending just before `offset` (offset > 0).
inline char32_t codePointBefore(std::u16string_view text, std::int64_t offset) {
    auto at = static_cast<size_t>(offset - 1);
    char16_t unit = text[at];
    if (isTrail(unit) && at > 0 && isLead(text[at - 1]))
        return 0x10000 + ((char32_t(text[at - 1]) - 0xD800) << 10) + (char32_t(unit) - 0xDC00);
    return unit;
}
/// True when the text holds no unpaired surrogate.
[[nodiscard]] bool isWellFormed(std::u16string_view text);

/// The characters a whole-word match may not touch: letters, numbers and "_" (the class
/// "[\p{L}\p{N}_]").
[[nodiscard]] bool isWordBoundaryBlocker(char32_t c);

} // namespace vendrix::unicodeText
