#pragma once

// The vector kernels under the literal searches: a candidate filter that compares the first
// and the last unit of every possible match position with a few allowed units (16 bytes of
// positions at a time with SSE2, 32 with AVX2, chosen at run time) and hands each candidate
// to a verifier. Units are UTF-16 code units or UTF-8 bytes. Internal to core/search.
#include <array>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VENDRIX_LITERAL_SCAN_X86 1
#endif

namespace vendrix::literalScan {

/// The units a match may start with, end with and hold at `middleOffset`, each set padded
/// to four entries by repeating a member, and the distances from the first unit. A third
/// unit keeps frequent near misses ("const" for "count") out of the verifier.
template <class Unit>
struct Probe {
    std::array<Unit, 4> first{};
    std::array<Unit, 4> last{};
    std::array<Unit, 4> middle{};
    std::int64_t lastOffset = 0;
    std::int64_t middleOffset = 0;
    /// For the folded group filter: 0x20 where a filtered unit is an ASCII letter in either
    /// case (the text unit with 0x20 set equals the lower-case key), 0 for a single unit.
    Unit firstFold = 0;
    Unit lastFold = 0;
    Unit middleFold = 0;
};

/// True when the processor runs AVX2 code (asked once) and it is allowed.
[[nodiscard]] bool hasAvx2();
/// Allows the AVX2 kernels (the default) or keeps every scan on SSE2, so that tests cover
/// both on a processor that has AVX2.
void allowAvx2(bool allowed);

/// Position by position: the tail of the vector kernels, and the kernel off x86.
template <int Width, class Unit, class Verify>
std::int64_t scanUnits(const Unit* text, std::int64_t from, std::int64_t limit,
                       const Probe<Unit>& probe, Verify& verify) {
    for (std::int64_t p = from; p < limit; ++p) {
        bool first = false, last = false, middle = false;
        for (int i = 0; i < Width; ++i) {
            first |= text[p] == probe.first[static_cast<std::size_t>(i)];
            last |= text[p + probe.lastOffset] == probe.last[static_cast<std::size_t>(i)];
            middle |= text[p + probe.middleOffset] == probe.middle[static_cast<std::size_t>(i)];
        }
        if (first && last && middle && verify(p))
            return p;
    }
    return -1;
}

#ifdef VENDRIX_LITERAL_SCAN_X86

/// Hands the candidates of one block (a movemask with sizeof(Unit) bits per position) to
/// the verifier; the accepted position or -1.
template <class Unit, class Verify>
inline std::int64_t verifyBlock(unsigned mask, std::int64_t p, Verify& verify) {
    constexpr int bits = static_cast<int>(sizeof(Unit));
    constexpr unsigned unitMask = bits == 1 ? 1u : 3u;
    while (mask != 0) {
        const int bit = __builtin_ctz(mask);
        if (verify(p + bit / bits))
            return p + bit / bits;
        mask &= ~(unitMask << bit);
    }
    return -1;
}

template <int Width, class Unit, class Verify>
std::int64_t scanSse2(const Unit* text, std::int64_t from, std::int64_t limit,
                      const Probe<Unit>& probe, Verify& verify) {
    constexpr std::int64_t lanes = 16 / sizeof(Unit);
    auto broadcast = [](Unit u) {
        if constexpr (sizeof(Unit) == 1)
            return _mm_set1_epi8(static_cast<char>(u));
        else
            return _mm_set1_epi16(static_cast<short>(u));
    };
    auto equal = [](__m128i a, __m128i b) {
        if constexpr (sizeof(Unit) == 1)
            return _mm_cmpeq_epi8(a, b);
        else
            return _mm_cmpeq_epi16(a, b);
    };
    __m128i first[Width], last[Width], middle[Width];
    for (int i = 0; i < Width; ++i) {
        first[i] = broadcast(probe.first[static_cast<std::size_t>(i)]);
        last[i] = broadcast(probe.last[static_cast<std::size_t>(i)]);
        middle[i] = broadcast(probe.middle[static_cast<std::size_t>(i)]);
    }
    std::int64_t p = from;
    for (; p + lanes <= limit; p += lanes) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p + probe.lastOffset));
        __m128i c =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p + probe.middleOffset));
        __m128i hitA = equal(a, first[0]);
        __m128i hitB = equal(b, last[0]);
        __m128i hitC = equal(c, middle[0]);
        for (int i = 1; i < Width; ++i) {
            hitA = _mm_or_si128(hitA, equal(a, first[i]));
            hitB = _mm_or_si128(hitB, equal(b, last[i]));
            hitC = _mm_or_si128(hitC, equal(c, middle[i]));
        }
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_and_si128(hitA, hitB), hitC)));
        if (mask != 0)
            if (std::int64_t found = verifyBlock<Unit>(mask, p, verify); found >= 0)
                return found;
    }
    return scanUnits<Width>(text, p, limit, probe, verify);
}

template <class Unit>
__attribute__((target("avx2"))) inline __m256i broadcast256(Unit u) {
    if constexpr (sizeof(Unit) == 1)
        return _mm256_set1_epi8(static_cast<char>(u));
    else
        return _mm256_set1_epi16(static_cast<short>(u));
}

template <class Unit>
__attribute__((target("avx2"))) inline __m256i equal256(__m256i a, __m256i b) {
    if constexpr (sizeof(Unit) == 1)
        return _mm256_cmpeq_epi8(a, b);
    else
        return _mm256_cmpeq_epi16(a, b);
}

template <int Width, class Unit, class Verify>
__attribute__((target("avx2"))) std::int64_t scanAvx2(const Unit* text, std::int64_t from,
                                                      std::int64_t limit,
                                                      const Probe<Unit>& probe, Verify& verify) {
    constexpr std::int64_t lanes = 32 / sizeof(Unit);
    __m256i first[Width], last[Width], middle[Width];
    for (int i = 0; i < Width; ++i) {
        first[i] = broadcast256(probe.first[static_cast<std::size_t>(i)]);
        last[i] = broadcast256(probe.last[static_cast<std::size_t>(i)]);
        middle[i] = broadcast256(probe.middle[static_cast<std::size_t>(i)]);
    }
    std::int64_t p = from;
    for (; p + lanes <= limit; p += lanes) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + p));
        __m256i b =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + p + probe.lastOffset));
        __m256i c =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + p + probe.middleOffset));
        __m256i hitA = equal256<Unit>(a, first[0]);
        __m256i hitB = equal256<Unit>(b, last[0]);
        __m256i hitC = equal256<Unit>(c, middle[0]);
        for (int i = 1; i < Width; ++i) {
            hitA = _mm256_or_si256(hitA, equal256<Unit>(a, first[i]));
            hitB = _mm256_or_si256(hitB, equal256<Unit>(b, last[i]));
            hitC = _mm256_or_si256(hitC, equal256<Unit>(c, middle[i]));
        }
        auto mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_and_si256(hitA, hitB), hitC)));
        if (mask != 0)
            if (std::int64_t found = verifyBlock<Unit>(mask, p, verify); found >= 0)
                return found;
    }
    return scanSse2<Width>(text, p, limit, probe, verify);
}

#endif

/// The first position p in [from, limit) whose unit is in probe.first, whose units at
/// p + probe.lastOffset and p + probe.middleOffset are in probe.last and probe.middle, and
/// that `verify(p)` accepts; -1 if none. 0 <= middleOffset <= lastOffset. Width
/// (1, 2 or 4) is how many entries of each set are compared. The caller guarantees that
/// text[limit - 1 + probe.lastOffset] is readable.
template <int Width, class Unit, class Verify>
std::int64_t scan(const Unit* text, std::int64_t from, std::int64_t limit,
                  const Probe<Unit>& probe, Verify& verify) {
    if (from >= limit)
        return -1;
#ifdef VENDRIX_LITERAL_SCAN_X86
    if (hasAvx2())
        return scanAvx2<Width>(text, from, limit, probe, verify);
    return scanSse2<Width>(text, from, limit, probe, verify);
#else
    return scanUnits<Width>(text, from, limit, probe, verify);
#endif
}

} // namespace vendrix::literalScan
