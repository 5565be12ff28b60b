#include "core/search/Utf8Bytes.h"

#include "core/search/LiteralScan.h"

#include <algorithm>

namespace vendrix::utf8Bytes {

namespace {

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

} // namespace

/// UTF-16 units of the valid UTF-8 in [from, to): one per character, two for the four-byte
/// ones.
std::int64_t utf16Units(const unsigned char* s, std::int64_t from, std::int64_t to) {
    std::int64_t units = 0;
#if defined(__SSE2__)
    // Per-byte counters (each compare gives -1) summed every 127 blocks.
    const __m128i continuationTop = _mm_set1_epi8(static_cast<char>(0xBF));
    const __m128i fourByteFloor = _mm_set1_epi8(static_cast<char>(0xEF));
    const __m128i zero = _mm_setzero_si128();
    __m128i counters = zero;
    __m128i sums = zero;
    int blocks = 0;
    for (; from + 16 <= to; from += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + from));
        // As signed bytes, continuation bytes (0x80..0xBF) are the smallest ones and the
        // four-byte leads (0xF0..0xF4) the negative ones above 0xEF.
        const __m128i starts = _mm_cmpgt_epi8(v, continuationTop);
        const __m128i wide = _mm_and_si128(_mm_cmpgt_epi8(v, fourByteFloor), _mm_cmpgt_epi8(zero, v));
        counters = _mm_sub_epi8(_mm_sub_epi8(counters, starts), wide);
        if (++blocks == 127) {
            sums = _mm_add_epi64(sums, _mm_sad_epu8(counters, zero));
            counters = zero;
            blocks = 0;
        }
    }
    sums = _mm_add_epi64(sums, _mm_sad_epu8(counters, zero));
    units = _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
#endif
    for (; from < to; ++from)
        units += (isContinuation(s[from]) ? 0 : 1) + (s[from] >= 0xF0 ? 1 : 0);
    return units;
}

/// Line feeds in [from, to) before the first CR there, and where that CR is (`to` without
/// one).
std::pair<std::int64_t, std::int64_t> lineFeedsBeforeCR(const char* s, std::int64_t from,
                                                        std::int64_t to) {
    std::int64_t feeds = 0;
#if defined(__SSE2__)
    // Per-byte counters (a compare gives -1 per LF) summed every 255 blocks.
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    __m128i counters = zero;
    __m128i sums = zero;
    int blocks = 0;
    for (; from + 16 <= to; from += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + from));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)) != 0)
            break; // the scalar loop finds the CR and the feeds before it
        counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(v, lf));
        if (++blocks == 255) {
            sums = _mm_add_epi64(sums, _mm_sad_epu8(counters, zero));
            counters = zero;
            blocks = 0;
        }
    }
    sums = _mm_add_epi64(sums, _mm_sad_epu8(counters, zero));
    feeds = _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
#endif
    for (; from < to; ++from) {
        if (s[from] == '\r')
            return {feeds, from};
        feeds += s[from] == '\n';
    }
    return {feeds, to};
}

namespace {

/// The first byte at or after `from` that is not ASCII, or `to`.
#if defined(__x86_64__)
__attribute__((target("avx2"))) std::size_t skipAsciiAvx2(const char* s, std::size_t from,
                                                           std::size_t to) {
    for (; from + 32 <= to; from += 32) {
        auto mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + from))));
        if (mask != 0)
            return from + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    return from;
}
#endif

std::size_t skipAscii(const char* s, std::size_t from, std::size_t to, [[maybe_unused]] bool avx2) {
#if defined(__x86_64__)
    if (avx2)
        from = skipAsciiAvx2(s, from, to);
#endif
    while (from < to && static_cast<unsigned char>(s[from]) < 0x80)
        ++from;
    return from;
}

/// The length of the strictly valid UTF-8 sequence starting with the non-ASCII byte at
/// `at`, or 0: no overlong forms, no surrogates, nothing above U+10FFFF (the decoder's rules).
inline std::size_t sequenceLength(const unsigned char* s, std::size_t at, std::size_t n) {
    const unsigned b = s[at];
    auto within = [&](std::size_t i, unsigned lo, unsigned hi) {
        return at + i < n && s[at + i] >= lo && s[at + i] <= hi;
    };
    if (b < 0xC2)
        return 0;
    if (b < 0xE0)
        return within(1, 0x80, 0xBF) ? 2 : 0;
    if (b < 0xF0)
        return within(1, b == 0xE0 ? 0xA0 : 0x80, b == 0xED ? 0x9F : 0xBF) &&
                       within(2, 0x80, 0xBF)
                   ? 3
                   : 0;
    if (b < 0xF5)
        return within(1, b == 0xF0 ? 0x90 : 0x80, b == 0xF4 ? 0x8F : 0xBF) &&
                       within(2, 0x80, 0xBF) && within(3, 0x80, 0xBF)
                   ? 4
                   : 0;
    return 0;
}

} // namespace

/// Strict UTF-8 validity as the decoder judges it, with long ASCII stretches skipped 32
/// bytes at a time.
bool isValid(std::string_view bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    const bool avx2 = literalScan::hasAvx2();
    std::size_t at = 0;
    while (at < n) {
        if (s[at] < 0x80) {
            // Short ASCII gaps (between the letters of a word) are looked at directly.
            const std::size_t stop = std::min(n, at + 8);
            while (at < stop && s[at] < 0x80)
                ++at;
            if (at == stop)
                at = skipAscii(bytes.data(), at, n, avx2);
            continue;
        }
        const std::size_t length = sequenceLength(s, at, n);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

} // namespace vendrix::utf8Bytes
