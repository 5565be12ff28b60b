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
#if defined(__x86_64__)
namespace {
/// As lineFeedsBeforeCR, 32 bytes a step, stopping before the step that holds a CR (or the
/// end): the feeds counted and where it stopped.
__attribute__((target("avx2"))) std::pair<std::int64_t, std::int64_t>
lineFeedsAvx2(const char* s, std::int64_t from, std::int64_t to) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i zero = _mm256_setzero_si256();
    __m256i counters = zero;
    __m256i sums = zero;
    int blocks = 0;
    for (; from + 32 <= to; from += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + from));
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, cr)) != 0)
            break;
        counters = _mm256_sub_epi8(counters, _mm256_cmpeq_epi8(v, lf));
        if (++blocks == 255) {
            sums = _mm256_add_epi64(sums, _mm256_sad_epu8(counters, zero));
            counters = zero;
            blocks = 0;
        }
    }
    sums = _mm256_add_epi64(sums, _mm256_sad_epu8(counters, zero));
    return {_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3),
            from};
}
} // namespace
#endif

std::pair<std::int64_t, std::int64_t> lineFeedsBeforeCR(const char* s, std::int64_t from,
                                                        std::int64_t to) {
    std::int64_t feeds = 0;
#if defined(__x86_64__)
    if (literalScan::hasAvx2()) {
        const auto [counted, stop] = lineFeedsAvx2(s, from, to);
        feeds = counted;
        from = stop;
    }
#endif
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
    feeds += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
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

bool isValidScalar(const unsigned char* s, std::size_t at, std::size_t n, bool avx2) {
    while (at < n) {
        if (s[at] < 0x80) {
            // Short ASCII gaps (between the letters of a word) are looked at directly.
            const std::size_t stop = std::min(n, at + 8);
            while (at < stop && s[at] < 0x80)
                ++at;
            if (at == stop)
                at = skipAscii(reinterpret_cast<const char*>(s), at, n, avx2);
            continue;
        }
        const std::size_t length = sequenceLength(s, at, n);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

#if defined(__x86_64__)

// The classification of each byte pair by lookup tables (after Keiser and Lemire, "Validating
// UTF-8 in less than one instruction per byte"): each table gives, for the high or low nibble
// of the previous byte or the high nibble of the current one, the set of errors that pair may
// be; an error is real when all three agree. Lengths of three and four bytes are checked by
// where the bytes two and three back demand a continuation.
constexpr std::uint8_t kTooShort = 1 << 0;  // a lead not followed by a continuation
constexpr std::uint8_t kTooLong = 1 << 1;   // ASCII followed by a continuation
constexpr std::uint8_t kOverlong3 = 1 << 2; // E0 80..9F
constexpr std::uint8_t kTooLarge = 1 << 3;  // F4 90..BF, F5.. 90..BF
constexpr std::uint8_t kSurrogate = 1 << 4; // ED A0..BF
constexpr std::uint8_t kOverlong2 = 1 << 5; // C0 or C1 and a continuation
constexpr std::uint8_t kTooLarge1000 = 1 << 6; // F5.. 80..8F
constexpr std::uint8_t kOverlong4 = 1 << 6;    // F0 80..8F
constexpr std::uint8_t kTwoConts = 1 << 7;     // a continuation after a continuation
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("avx2"))) inline __m256i table16(const std::uint8_t (&t)[16]) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)));
}

/// Whether s[0, blocks × 32) holds only whole, valid sequences up to a last character that may
/// run past it (left to the caller).
__attribute__((target("avx2"))) bool isValidBlocksAvx2(const unsigned char* s,
                                                       std::size_t blocks) {
    static constexpr std::uint8_t byte1High[16] = {
        kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
        kTwoConts, kTwoConts, kTwoConts, kTwoConts,
        kTooShort | kOverlong2,
        kTooShort,
        kTooShort | kOverlong3 | kSurrogate,
        kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
    static constexpr std::uint8_t byte1Low[16] = {
        kCarry | kOverlong3 | kOverlong2 | kOverlong4,
        kCarry | kOverlong2,
        kCarry,
        kCarry,
        kCarry | kTooLarge,
        kCarry | kTooLarge | kTooLarge1000,
        kCarry | kTooLarge | kTooLarge1000,
        kCarry | kTooLarge | kTooLarge1000,
        kCarry | kTooLarge | kTooLarge1000,
        kCarry | kTooLarge | kTooLarge1000,
        kCarry | kTooLarge | kTooLarge1000,
        kCarry | kTooLarge | kTooLarge1000,
        kCarry | kTooLarge | kTooLarge1000,
        kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
        kCarry | kTooLarge | kTooLarge1000,
        kCarry | kTooLarge | kTooLarge1000};
    static constexpr std::uint8_t byte2High[16] = {
        kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
        kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
        kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
        kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
        kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
        kTooShort, kTooShort, kTooShort, kTooShort};
    const __m256i tableByte1High = table16(byte1High);
    const __m256i tableByte1Low = table16(byte1Low);
    const __m256i tableByte2High = table16(byte2High);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    // Bytes that leave a sequence open when they are last (a lead one, two or three back).
    const __m256i incompleteAbove = _mm256_setr_epi8(
        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
        -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1), static_cast<char>(0xE0 - 1),
        static_cast<char>(0xC0 - 1));
    __m256i previous = _mm256_setzero_si256();
    __m256i previousIncomplete = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
    for (std::size_t b = 0; b < blocks; ++b) {
        const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 32 * b));
        if (_mm256_movemask_epi8(input) == 0) {
            error = _mm256_or_si256(error, previousIncomplete);
        } else {
            // The bytes one, two and three back, across the previous block.
            const __m256i carried = _mm256_permute2x128_si256(previous, input, 0x21);
            const __m256i prev1 = _mm256_alignr_epi8(input, carried, 15);
            const __m256i prev2 = _mm256_alignr_epi8(input, carried, 14);
            const __m256i prev3 = _mm256_alignr_epi8(input, carried, 13);
            const __m256i special = _mm256_and_si256(
                _mm256_and_si256(
                    _mm256_shuffle_epi8(tableByte1High,
                                        _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble)),
                    _mm256_shuffle_epi8(tableByte1Low, _mm256_and_si256(prev1, nibble))),
                _mm256_shuffle_epi8(tableByte2High,
                                    _mm256_and_si256(_mm256_srli_epi16(input, 4), nibble)));
            // 0x80 set where the byte two back leads three or four bytes, or the byte three
            // back leads four: this byte must continue it (and may be a second continuation).
            const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(0xE0 - 0x80));
            const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(0xF0 - 0x80));
            const __m256i must23 = _mm256_and_si256(_mm256_or_si256(third, fourth),
                                                    _mm256_set1_epi8(static_cast<char>(0x80)));
            error = _mm256_or_si256(error, _mm256_xor_si256(must23, special));
            previousIncomplete = _mm256_subs_epu8(input, incompleteAbove);
        }
        previous = input;
        // Checked now and then, so that invalid data stops the check early.
        if ((b & 63) == 63 && !_mm256_testz_si256(error, error))
            return false;
    }
    return _mm256_testz_si256(error, error) != 0;
}

#endif

} // namespace

/// Strict UTF-8 validity as the decoder judges it: with AVX2, 32 bytes a step by table lookups
/// (the last character, which may run past the last whole step, checked again one by one);
/// otherwise sequence by sequence, long ASCII stretches skipped.
bool isValid(std::string_view bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    const bool avx2 = literalScan::hasAvx2();
#if defined(__x86_64__)
    if (avx2 && n >= 64) {
        const std::size_t blocks = n / 32;
        if (!isValidBlocksAvx2(s, blocks))
            return false;
        // Back to the start of the last character begun in the blocks (a lead byte at most
        // three back; more continuations than that the blocks have refused already).
        std::size_t at = blocks * 32 - 1;
        while (at > blocks * 32 - 4 && (s[at] & 0xC0) == 0x80)
            --at;
        return isValidScalar(s, at, n, avx2);
    }
#endif
    return isValidScalar(s, 0, n, avx2);
}

} // namespace vendrix::utf8Bytes
