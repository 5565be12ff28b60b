#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vendrix {

/// What the JSON tokenizer needs to know about its code units: UTF-8 bytes (`char`) or UTF-16
/// units (`char16_t`). Everything significant in JSON is ASCII, so both work alike except in
/// string bodies, where UTF-16 also stops at surrogates to find unpaired ones.
template <class CharT>
struct JSONUnits;

template <>
struct JSONUnits<char> {
    using Unit = unsigned char;
    /// Units looked at by one `special` call.
    static constexpr std::size_t kBlock = 16;
    static constexpr bool kWide = false;

    /// True for a unit that ends a run of plain string body: a quote, a backslash or a
    /// control byte.
    static bool isSpecial(Unit u) { return u == '"' || u == '\\' || u < 0x20; }

#if defined(__SSE2__)
    /// A bit per unit of the block at `p` (bit i for unit i) that is special.
    static unsigned special(const Unit* p) {
        unsigned quotes; // the compiler drops what is not used
        return special(p, quotes);
    }
    /// `special`, with the bits of the quotes in `quotes`.
    static unsigned special(const Unit* p, unsigned& quotes) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i controlMax = _mm_set1_epi8(0x1F);
        const __m128i quote = _mm_cmpeq_epi8(v, _mm_set1_epi8('"'));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(quote, _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))),
            _mm_cmpeq_epi8(_mm_max_epu8(v, controlMax), controlMax));
        quotes = static_cast<unsigned>(_mm_movemask_epi8(quote));
        return static_cast<unsigned>(_mm_movemask_epi8(hit));
    }
    /// A bit per unit of the block at `p` that is not a space, a tab or a carriage return.
    static unsigned nonBlank(const Unit* p) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i blank = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))),
            _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
        return static_cast<unsigned>(_mm_movemask_epi8(blank)) ^ 0xFFFFu;
    }
    /// The unit index of the lowest set bit of a `special` mask.
    static unsigned firstIndex(unsigned mask) { return static_cast<unsigned>(__builtin_ctz(mask)); }
#endif
};

template <>
struct JSONUnits<char16_t> {
    using Unit = char16_t;
    static constexpr std::size_t kBlock = 8;
    static constexpr bool kWide = true;

    /// A quote, a backslash, a control unit or a surrogate.
    static bool isSpecial(Unit u) {
        return u == '"' || u == '\\' || u < 0x20 || (u & 0xF800) == 0xD800;
    }

#if defined(__SSE2__)
    /// Two bits per unit of the block at `p` (bits 2i and 2i+1 for unit i) that is special.
    static unsigned special(const Unit* p) {
        unsigned quotes; // the compiler drops what is not used
        return special(p, quotes);
    }
    static unsigned special(const Unit* p, unsigned& quotes) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i zero = _mm_setzero_si128();
        const __m128i control = _mm_cmpeq_epi16(
            _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFFE0))), zero);
        const __m128i surrogate =
            _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xF800))),
                            _mm_set1_epi16(static_cast<short>(0xD800)));
        const __m128i quote = _mm_cmpeq_epi16(v, _mm_set1_epi16('"'));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(quote, _mm_cmpeq_epi16(v, _mm_set1_epi16('\\'))),
            _mm_or_si128(control, surrogate));
        quotes = static_cast<unsigned>(_mm_movemask_epi8(quote));
        return static_cast<unsigned>(_mm_movemask_epi8(hit));
    }
    static unsigned nonBlank(const Unit* p) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i blank = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(' ')), _mm_cmpeq_epi16(v, _mm_set1_epi16('\t'))),
            _mm_cmpeq_epi16(v, _mm_set1_epi16('\r')));
        return static_cast<unsigned>(_mm_movemask_epi8(blank)) ^ 0xFFFFu;
    }
    static unsigned firstIndex(unsigned mask) { return static_cast<unsigned>(__builtin_ctz(mask)) / 2; }
#endif

    static bool isHighSurrogate(Unit u) { return u >= 0xD800 && u <= 0xDBFF; }
    static bool isLowSurrogate(Unit u) { return u >= 0xDC00 && u <= 0xDFFF; }

    /// True when `text` holds a surrogate that is not part of a pair.
    static bool hasLoneSurrogate(std::u16string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if ((text[i] & 0xF800) != 0xD800)
                continue;
            if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1]))
                ++i;
            else
                return true;
        }
        return false;
    }

    /// Replaces every surrogate that is not part of a pair by U+FFFD, in place.
    static void replaceLoneSurrogates(char16_t* text, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            if ((text[i] & 0xF800) != 0xD800)
                continue;
            if (isHighSurrogate(text[i]) && i + 1 < size && isLowSurrogate(text[i + 1]))
                ++i;
            else
                text[i] = 0xFFFD;
        }
    }
};

} // namespace vendrix
