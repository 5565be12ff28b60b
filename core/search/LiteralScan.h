#pragma once

// The vector kernels under the literal searches: a candidate filter that compares three
// units of every possible match position (the query's rarest ones, wherever they lie) with a
// few allowed units each (16 bytes of positions at a time with SSE2, 32 with AVX2, chosen at
// run time) and hands each candidate to a verifier. Units are UTF-16 code units or UTF-8
// bytes. Internal to core/search.
#include <array>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VENDRIX_LITERAL_SCAN_X86 1
#endif

namespace vendrix::literalScan {

/// The three filtered slots of a candidate position p: the units allowed at p + firstOffset,
/// p + secondOffset and p + thirdOffset, each set padded to four entries by repeating a
/// member. Three slots keep frequent near misses ("const" for "count") out of the verifier;
/// a slot may repeat another where the query is shorter.
template <class Unit>
struct Probe {
    std::array<Unit, 4> first{};
    std::array<Unit, 4> second{};
    std::array<Unit, 4> third{};
    std::int64_t firstOffset = 0;
    std::int64_t secondOffset = 0;
    std::int64_t thirdOffset = 0;
    /// For the folded group filter: 0x20 where a filtered unit is an ASCII letter in either
    /// case (the text unit with 0x20 set equals the lower-case key), 0 for a single unit.
    Unit firstFold = 0;
    Unit secondFold = 0;
    Unit thirdFold = 0;
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
        bool first = false, third = false, second = false;
        for (int i = 0; i < Width; ++i) {
            first |= text[p + probe.firstOffset] == probe.first[static_cast<std::size_t>(i)];
            third |= text[p + probe.thirdOffset] == probe.third[static_cast<std::size_t>(i)];
            second |= text[p + probe.secondOffset] == probe.second[static_cast<std::size_t>(i)];
        }
        if (first && third && second && verify(p))
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
    __m128i first[Width], third[Width], second[Width];
    for (int i = 0; i < Width; ++i) {
        first[i] = broadcast(probe.first[static_cast<std::size_t>(i)]);
        third[i] = broadcast(probe.third[static_cast<std::size_t>(i)]);
        second[i] = broadcast(probe.second[static_cast<std::size_t>(i)]);
    }
    std::int64_t p = from;
    for (; p + lanes <= limit; p += lanes) {
        __m128i a =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p + probe.firstOffset));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p + probe.thirdOffset));
        __m128i c =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p + probe.secondOffset));
        __m128i hitA = equal(a, first[0]);
        __m128i hitB = equal(b, third[0]);
        __m128i hitC = equal(c, second[0]);
        for (int i = 1; i < Width; ++i) {
            hitA = _mm_or_si128(hitA, equal(a, first[i]));
            hitB = _mm_or_si128(hitB, equal(b, third[i]));
            hitC = _mm_or_si128(hitC, equal(c, second[i]));
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
    __m256i first[Width], third[Width], second[Width];
    for (int i = 0; i < Width; ++i) {
        first[i] = broadcast256(probe.first[static_cast<std::size_t>(i)]);
        third[i] = broadcast256(probe.third[static_cast<std::size_t>(i)]);
        second[i] = broadcast256(probe.second[static_cast<std::size_t>(i)]);
    }
    std::int64_t p = from;
    for (; p + lanes <= limit; p += lanes) {
        __m256i a =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + p + probe.firstOffset));
        __m256i b =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + p + probe.thirdOffset));
        __m256i c =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + p + probe.secondOffset));
        __m256i hitA = equal256<Unit>(a, first[0]);
        __m256i hitB = equal256<Unit>(b, third[0]);
        __m256i hitC = equal256<Unit>(c, second[0]);
        for (int i = 1; i < Width; ++i) {
            hitA = _mm256_or_si256(hitA, equal256<Unit>(a, first[i]));
            hitB = _mm256_or_si256(hitB, equal256<Unit>(b, third[i]));
            hitC = _mm256_or_si256(hitC, equal256<Unit>(c, second[i]));
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

/// The first position p in [from, limit) whose units at p + probe.firstOffset,
/// p + probe.secondOffset and p + probe.thirdOffset are in probe.first, probe.second and
/// probe.third, and that `verify(p)` accepts; -1 if none. Width (1, 2 or 4) is how many
/// entries of each set are compared. The caller guarantees that text[limit - 1 + offset] is
/// readable for the largest of the three offsets (all >= 0).
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
