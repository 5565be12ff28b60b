#include "core/search/UnicodeText.h"

#include <unicode/uniset.h>
#include <unicode/unistr.h>

#include <array>

namespace vendrix::unicodeText {

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

struct WordSet {
    icu::UnicodeSet set;
    std::array<bool, 128> ascii{};

    WordSet() {
        UErrorCode status = U_ZERO_ERROR;
        set.applyPattern(icu::UnicodeString(u"[\\p{L}\\p{N}_]"), status);
        set.freeze();
        for (char32_t c = 0; c < 128; ++c)
            ascii[c] = set.contains(static_cast<UChar32>(c));
    }
};

const WordSet& wordSet() {
    static const WordSet set;
    return set;
}

} // namespace

bool isWordBoundaryBlocker(char32_t c) {
    const WordSet& words = wordSet();
    return c < 128 ? words.ascii[c] : words.set.contains(static_cast<UChar32>(c));
}

} // namespace vendrix::unicodeText
