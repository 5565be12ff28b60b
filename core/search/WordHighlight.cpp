#include "core/search/WordHighlight.h"

#include "core/search/UnicodeText.h"

#include <unicode/uchar.h>

#include <algorithm>

namespace vendrix {

bool WordHighlight::isWordCharacter(char32_t c) {
    if (c < 0x80)
        return c == U'_' || (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') ||
               (c >= U'A' && c <= U'Z');
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    const auto mask = U_GET_GC_MASK(static_cast<UChar32>(c));
    return (mask & (U_GC_L_MASK | U_GC_M_MASK | U_GC_ND_MASK)) != 0;
}

std::optional<std::u16string> WordHighlight::candidate(std::u16string_view text,
                                                       TextRange selection) {
    const auto length = static_cast<std::int64_t>(text.size());
    if (selection.length < 1 || selection.length > maxWordLength || !selection.fits(length))
        return std::nullopt;
    std::u16string_view word =
        text.substr(static_cast<size_t>(selection.location), static_cast<size_t>(selection.length));
    for (std::int64_t i = 0; i < selection.length;) {
        if (!isWordCharacter(unicodeText::codePointAt(word, i)))
            return std::nullopt;
        i += unicodeText::codePointLength(word, i);
    }
    if (selection.location > 0 &&
        isWordCharacter(text[static_cast<size_t>(selection.location - 1)]))
        return std::nullopt;
    if (selection.end() < length && isWordCharacter(text[static_cast<size_t>(selection.end())]))
        return std::nullopt;
    return std::u16string(word);
}

std::vector<TextRange> WordHighlight::occurrences(std::u16string_view word,
                                                  std::u16string_view text, TextRange range,
                                                  std::int64_t limit) {
    std::vector<TextRange> found;
    const auto length = static_cast<std::int64_t>(text.size());
    const auto wordLength = static_cast<std::int64_t>(word.size());
    if (wordLength == 0)
        return found;
    std::int64_t start = std::clamp<std::int64_t>(range.location, 0, length);
    const std::int64_t end = std::clamp<std::int64_t>(range.end(), start, length);
    while (end - start >= wordLength && static_cast<std::int64_t>(found.size()) < limit) {
        const size_t at =
            text.substr(0, static_cast<size_t>(end)).find(word, static_cast<size_t>(start));
        if (at == std::u16string_view::npos)
            break;
        const auto location = static_cast<std::int64_t>(at);
        const std::int64_t after = location + wordLength;
        bool alone = (location == 0 || !isWordCharacter(text[static_cast<size_t>(location - 1)])) &&
                     (after >= length || !isWordCharacter(text[static_cast<size_t>(after)]));
        if (alone)
            found.push_back(TextRange{location, wordLength});
        start = location + std::max<std::int64_t>(wordLength, 1);
    }
    return found;
}

} // namespace vendrix
