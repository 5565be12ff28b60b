#include "core/editing/Unicode.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <cstdint>
#include <memory>

namespace vendrix::unicode {

namespace {

/// One character break iterator per thread, bound to the text of one GraphemeClusters at a
/// time. Each GraphemeClusters gets its own binding key, so a text freed and reallocated at
/// the same address is never mistaken for the bound one.
struct BreakState {
    std::unique_ptr<icu::BreakIterator> iterator;
    UText text = UTEXT_INITIALIZER;
    const GraphemeClusters* owner = nullptr;
    const char16_t* data = nullptr;
    std::size_t size = 0;
    bool failed = false;

    ~BreakState() { utext_close(&text); }
};

BreakState& breakState() {
    thread_local BreakState state;
    return state;
}

icu::BreakIterator* boundIterator(const GraphemeClusters& owner) {
    BreakState& state = breakState();
    if (state.failed)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    if (!state.iterator) {
        state.iterator.reset(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !state.iterator) {
            state.failed = true;
            state.iterator.reset();
            return nullptr;
        }
    }
    std::u16string_view text = owner.text();
    if (state.owner != &owner || state.data != text.data() || state.size != text.size()) {
        utext_openUChars(&state.text, reinterpret_cast<const UChar*>(text.data()),
                         static_cast<int64_t>(text.size()), &status);
        state.iterator->setText(&state.text, status);
        if (U_FAILURE(status)) {
            state.owner = nullptr;
            return nullptr;
        }
        state.owner = &owner;
        state.data = text.data();
        state.size = text.size();
    }
    return state.iterator.get();
}

bool isAsciiOnly(std::u16string_view text) {
    for (char16_t u : text)
        if (u >= 0x80)
            return false;
    return true;
}

template <typename Map> std::u16string mapCase(std::u16string_view text, Map map) {
    std::u16string out(text.size() + 8, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = map(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                    reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                    &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.assign(static_cast<std::size_t>(n), u'\0');
        status = U_ZERO_ERROR;
        n = map(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                &status);
    }
    if (U_FAILURE(status))
        return std::u16string(text);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

} // namespace

ScalarAt scalarAt(std::u16string_view text, std::size_t offset) {
    char16_t u = text[offset];
    if (U16_IS_LEAD(u) && offset + 1 < text.size() && U16_IS_TRAIL(text[offset + 1]))
        return {static_cast<char32_t>(U16_GET_SUPPLEMENTARY(u, text[offset + 1])), 2};
    return {u, 1};
}

char32_t firstScalar(std::u16string_view text) {
    return text.empty() ? U'\0' : scalarAt(text, 0).value;
}

GraphemeClusters::~GraphemeClusters() {
    // A later object at the same address may see a text changed in place; never reuse the
    // iterator's cached boundaries for it.
    BreakState& state = breakState();
    if (state.owner == this)
        state.owner = nullptr;
}

std::size_t GraphemeClusters::clusterEnd(std::size_t offset) const {
    if (isSimpleAsciiUnit(m_text, offset))
        return offset + 1;
    if (icu::BreakIterator* it = boundIterator(*this)) {
        int32_t next = it->following(static_cast<int32_t>(offset));
        return next == icu::BreakIterator::DONE ? m_text.size() : static_cast<std::size_t>(next);
    }
    return offset + scalarAt(m_text, offset).length;
}

std::size_t GraphemeClusters::clusterStart(std::size_t offset) const {
    // An ASCII unit other than LF forms its own cluster when no combining mark follows it and
    // nothing before it can prepend itself (prepending marks all lie at U+0600 or above).
    char16_t before = m_text[offset - 1];
    if (before < 0x80 && before != u'\n' && (offset == m_text.size() || m_text[offset] <= 0x02FF) &&
        (offset < 2 || m_text[offset - 2] < 0x0600))
        return offset - 1;
    if (icu::BreakIterator* it = boundIterator(*this)) {
        int32_t previous = it->preceding(static_cast<int32_t>(offset));
        return previous == icu::BreakIterator::DONE ? 0 : static_cast<std::size_t>(previous);
    }
    return offset >= 2 && U16_IS_TRAIL(m_text[offset - 1]) && U16_IS_LEAD(m_text[offset - 2])
               ? offset - 2
               : offset - 1;
}

bool GraphemeClusters::isBoundary(std::size_t offset) const {
    if (offset == 0 || offset >= m_text.size())
        return true;
    if (isSimpleAsciiUnit(m_text, offset - 1))
        return true;
    if (icu::BreakIterator* it = boundIterator(*this))
        return it->isBoundary(static_cast<int32_t>(offset));
    return !(U16_IS_TRAIL(m_text[offset]) && U16_IS_LEAD(m_text[offset - 1]));
}

bool isWordCharacter(char32_t c) {
    return c == U'_' || isAlphanumeric(c);
}

WordClass wordClass(char32_t c) {
    if (c == U'\n')
        return WordClass::lineBreak;
    if (isWhitespace(c))
        return WordClass::space;
    return isWordCharacter(c) ? WordClass::word : WordClass::punctuation;
}

bool isWhitespace(char32_t c) {
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}

bool isLetter(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_L_MASK) != 0;
}

bool isNumber(char32_t c) {
    return u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool isAlphanumeric(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) !=
           0;
}

bool hasEmojiPresentation(char32_t c) {
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_EMOJI_PRESENTATION);
}

bool isAllWhitespace(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        ScalarAt s = scalarAt(text, i);
        if (!isWhitespace(s.value))
            return false;
        i += s.length;
    }
    return true;
}

std::u16string upperCased(std::u16string_view text) {
    if (isAsciiOnly(text)) {
        std::u16string out(text);
        for (char16_t& u : out)
            if (u >= u'a' && u <= u'z')
                u = static_cast<char16_t>(u - 32);
        return out;
    }
    return mapCase(text, [](UChar* dest, int32_t capacity, const UChar* src, int32_t length,
                            UErrorCode* status) {
        return u_strToUpper(dest, capacity, src, length, "", status);
    });
}

std::u16string lowerCased(std::u16string_view text) {
    if (isAsciiOnly(text)) {
        std::u16string out(text);
        for (char16_t& u : out)
            if (u >= u'A' && u <= u'Z')
                u = static_cast<char16_t>(u + 32);
        return out;
    }
    std::u16string plain(text);
    for (char16_t& u : plain)
        if (u == u'\u0130')
            u = u'i';
    return mapCase(plain, [](UChar* dest, int32_t capacity, const UChar* src, int32_t length,
                             UErrorCode* status) {
        return u_strToLower(dest, capacity, src, length, "", status);
    });
}

namespace {
const icu::Normalizer2* nfcInstance() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    return U_FAILURE(status) ? nullptr : nfc;
}
} // namespace

bool isCanonicallyComposed(std::u16string_view text) {
    bool below = true;
    for (char16_t u : text)
        if (u >= 0x0300) {
            below = false;
            break;
        }
    if (below)
        return true; // nothing below U+0300 decomposes or combines
    const icu::Normalizer2* nfc = nfcInstance();
    if (!nfc)
        return true;
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString source(false, reinterpret_cast<const UChar*>(text.data()),
                              static_cast<int32_t>(text.size()));
    bool normalized = nfc->isNormalized(source, status);
    return U_SUCCESS(status) && normalized;
}

std::u16string canonicalComposition(std::u16string_view text) {
    const icu::Normalizer2* nfc = nfcInstance();
    if (!nfc)
        return std::u16string(text);
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString source(false, reinterpret_cast<const UChar*>(text.data()),
                              static_cast<int32_t>(text.size()));
    icu::UnicodeString result = nfc->normalize(source, status);
    if (U_FAILURE(status))
        return std::u16string(text);
    return std::u16string(reinterpret_cast<const char16_t*>(result.getBuffer()),
                          static_cast<std::size_t>(result.length()));
}

} // namespace vendrix::unicode
