#include "core/search/UnicodeText.h"

#include <unicode/uniset.h>
#include <unicode/unistr.h>

#include <array>

namespace vendrix::unicodeText {

std::string toUTF8(std::u16string_view text) {
    icu::UnicodeString s(false, text.data(), static_cast<int32_t>(text.size()));
    std::string out;
    s.toUTF8String(out);
    return out;
}

std::u16string fromUTF8(std::string_view text) {
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    return std::u16string(reinterpret_cast<const char16_t*>(s.getBuffer()),
                          static_cast<size_t>(s.length()));
}

bool isWellFormed(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (isLead(text[i]) && i + 1 < text.size() && isTrail(text[i + 1]))
            ++i;
        else if (isSurrogate(text[i]))
            return false;
    }
    return true;
}

namespace {

struct WordSets {
    icu::UnicodeSet sensitive;
    icu::UnicodeSet insensitive;
    std::array<bool, 128> asciiSensitive{};
    std::array<bool, 128> asciiInsensitive{};

    WordSets() {
        UErrorCode status = U_ZERO_ERROR;
        sensitive.applyPattern(icu::UnicodeString(u"[\\p{L}\\p{N}_]"), status);
        insensitive = sensitive;
        insensitive.closeOver(USET_CASE_INSENSITIVE);
        insensitive.removeAllStrings();
        sensitive.freeze();
        insensitive.freeze();
        for (char32_t c = 0; c < 128; ++c) {
            asciiSensitive[c] = sensitive.contains(static_cast<UChar32>(c));
            asciiInsensitive[c] = insensitive.contains(static_cast<UChar32>(c));
        }
    }
};

const WordSets& wordSets() {
    static const WordSets sets;
    return sets;
}

} // namespace

bool isWordBoundaryBlocker(char32_t c, bool caseInsensitive) {
    const WordSets& sets = wordSets();
    if (c < 128)
        return caseInsensitive ? sets.asciiInsensitive[c] : sets.asciiSensitive[c];
    return (caseInsensitive ? sets.insensitive : sets.sensitive)
        .contains(static_cast<UChar32>(c));
}

} // namespace vendrix::unicodeText
