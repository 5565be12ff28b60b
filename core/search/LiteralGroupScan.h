#pragma once

// The literal filter for a search that wants every match (count, find-all): the candidate
// masks of 64 UTF-16 units at a time (32 with SSE2 alone) are packed to one bit per unit and
// handed over as a whole, so that a frequent query costs at most one hard-to-predict branch
// per group (none when the caller takes every group) instead of one per candidate; and the
// compare of a short query's units with the text in one vector operation. Internal to
// core/search.
#include "core/search/LiteralScan.h"

#include <bit>

namespace vendrix::literalScan {

/// The group filter's width for a probe whose units are each one unit or an ASCII letter in
/// either case: one compare per position after setting the fold bit (see Probe).
inline constexpr int kFoldedWidth = 3;

#ifdef VENDRIX_LITERAL_SCAN_X86

template <int Width>
inline __m128i candidates128(const char16_t* at, const Probe<char16_t>& probe) {
    const __m128i a =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + probe.firstOffset));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + probe.thirdOffset));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + probe.secondOffset));
    if constexpr (Width == kFoldedWidth) {
        const auto eq = [](__m128i v, char16_t fold, char16_t key) {
            return _mm_cmpeq_epi16(_mm_or_si128(v, _mm_set1_epi16(static_cast<short>(fold))),
                                   _mm_set1_epi16(static_cast<short>(key)));
        };
        return _mm_and_si128(_mm_and_si128(eq(a, probe.firstFold, probe.first[1]),
                                           eq(b, probe.thirdFold, probe.third[1])),
                             eq(c, probe.secondFold, probe.second[1]));
    }
    __m128i hitA = _mm_setzero_si128(), hitB = hitA, hitC = hitA;
    for (int i = 0; i < Width; ++i) {
        const auto k = static_cast<std::size_t>(i);
        hitA = _mm_or_si128(hitA, _mm_cmpeq_epi16(a, _mm_set1_epi16(static_cast<short>(probe.first[k]))));
        hitB = _mm_or_si128(hitB, _mm_cmpeq_epi16(b, _mm_set1_epi16(static_cast<short>(probe.third[k]))));
        hitC = _mm_or_si128(hitC, _mm_cmpeq_epi16(c, _mm_set1_epi16(static_cast<short>(probe.second[k]))));
    }
    return _mm_and_si128(_mm_and_si128(hitA, hitB), hitC);
}

template <int Width>
__attribute__((target("avx2"))) inline __m256i candidates256(const char16_t* at,
                                                             const Probe<char16_t>& probe) {
    const __m256i a =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + probe.firstOffset));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + probe.thirdOffset));
    const __m256i c =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + probe.secondOffset));
    if constexpr (Width == kFoldedWidth) {
        // (No lambda here: it would not inherit this function's target.)
        const __m256i hitA = _mm256_cmpeq_epi16(
            _mm256_or_si256(a, _mm256_set1_epi16(static_cast<short>(probe.firstFold))),
            _mm256_set1_epi16(static_cast<short>(probe.first[1])));
        const __m256i hitB = _mm256_cmpeq_epi16(
            _mm256_or_si256(b, _mm256_set1_epi16(static_cast<short>(probe.thirdFold))),
            _mm256_set1_epi16(static_cast<short>(probe.third[1])));
        const __m256i hitC = _mm256_cmpeq_epi16(
            _mm256_or_si256(c, _mm256_set1_epi16(static_cast<short>(probe.secondFold))),
            _mm256_set1_epi16(static_cast<short>(probe.second[1])));
        return _mm256_and_si256(_mm256_and_si256(hitA, hitB), hitC);
    }
    __m256i hitA = _mm256_setzero_si256(), hitB = hitA, hitC = hitA;
    for (int i = 0; i < Width; ++i) {
        const auto k = static_cast<std::size_t>(i);
        hitA = _mm256_or_si256(hitA, _mm256_cmpeq_epi16(a, _mm256_set1_epi16(static_cast<short>(probe.first[k]))));
        hitB = _mm256_or_si256(hitB, _mm256_cmpeq_epi16(b, _mm256_set1_epi16(static_cast<short>(probe.third[k]))));
        hitC = _mm256_or_si256(hitC, _mm256_cmpeq_epi16(c, _mm256_set1_epi16(static_cast<short>(probe.second[k]))));
    }
    return _mm256_and_si256(_mm256_and_si256(hitA, hitB), hitC);
}

template <int Width, bool EveryGroup, class Group>
std::int64_t eachGroupSse2(const char16_t* text, std::int64_t from, std::int64_t limit,
                           const Probe<char16_t>& shared, Group& group) {
    const Probe<char16_t> probe = shared; // a local copy stays in registers across `group`
    std::int64_t p = from;
    for (; p + 32 <= limit; p += 32) {
        const __m128i lo = _mm_packs_epi16(candidates128<Width>(text + p, probe),
                                           candidates128<Width>(text + p + 8, probe));
        const __m128i hi = _mm_packs_epi16(candidates128<Width>(text + p + 16, probe),
                                           candidates128<Width>(text + p + 24, probe));
        const std::uint64_t mask =
            static_cast<std::uint32_t>(_mm_movemask_epi8(lo)) |
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(hi))) << 16);
        if ((EveryGroup || mask != 0) && !group(mask, p))
            return -1;
    }
    return p;
}

template <int Width, bool EveryGroup, class Group>
__attribute__((target("avx2"))) std::int64_t eachGroupAvx2(const char16_t* text,
                                                           std::int64_t from, std::int64_t limit,
                                                           const Probe<char16_t>& shared,
                                                           Group& group) {
    const Probe<char16_t> probe = shared; // a local copy stays in registers across `group`
    std::int64_t p = from;
    for (; p + 64 <= limit; p += 64) {
        std::uint64_t mask = 0;
        for (int half = 0; half < 2; ++half) {
            const char16_t* at = text + p + 32 * half;
            // packs works within 128-bit lanes: put the four quarters back in text order.
            const __m256i packed = _mm256_permute4x64_epi64(
                _mm256_packs_epi16(candidates256<Width>(at, probe),
                                   candidates256<Width>(at + 16, probe)),
                0xD8);
            mask |= static_cast<std::uint64_t>(
                        static_cast<std::uint32_t>(_mm256_movemask_epi8(packed)))
                    << (32 * half);
        }
        if ((EveryGroup || mask != 0) && !group(mask, p))
            return -1;
    }
    return p;
}

#endif

/// Hands `group(mask, p)` the candidates of [from, limit) a group at a time: bit i of the
/// mask is position p + i (same filter as scan()). `group` returns false to stop. With
/// EveryGroup it also gets the groups without a candidate (mask 0), for a caller that takes
/// the candidates without a branch. Returns where the groups ended (the rest, shorter than a
/// group, is the caller's), or -1 when stopped. Off x86 there are no groups: it returns
/// `from`.
template <int Width, bool EveryGroup, class Group>
std::int64_t eachGroup(const char16_t* text, std::int64_t from, std::int64_t limit,
                       const Probe<char16_t>& probe, Group& group) {
#ifdef VENDRIX_LITERAL_SCAN_X86
    if (from >= limit)
        return from;
    if (hasAvx2())
        return eachGroupAvx2<Width, EveryGroup>(text, from, limit, probe, group);
    return eachGroupSse2<Width, EveryGroup>(text, from, limit, probe, group);
#else
    (void)text, (void)limit, (void)probe, (void)group;
    return from;
#endif
}

/// Compares up to eight units at once with a query's units (0x20 set in the text units first
/// where `fold` has it: an ASCII letter in either case).
class UnitsCompare {
public:
    UnitsCompare(const std::array<char16_t, 8>& units, const std::array<char16_t, 8>& fold,
                 std::int64_t length)
        : m_wanted((1u << (2 * length)) - 1) {
#ifdef VENDRIX_LITERAL_SCAN_X86
        m_units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units.data()));
        m_fold = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fold.data()));
#else
        m_units = units;
        m_fold = fold;
#endif
    }
    /// Eight units at `at` must be readable.
    bool operator()(const char16_t* at) const {
#ifdef VENDRIX_LITERAL_SCAN_X86
        const __m128i text =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), m_fold);
        const auto same =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(text, m_units)));
        return (same & m_wanted) == m_wanted;
#else
        bool same = true;
        for (std::size_t i = 0; 2 * i < static_cast<std::size_t>(std::popcount(m_wanted)); ++i)
            same &= (at[i] | m_fold[i]) == m_units[i];
        return same;
#endif
    }

private:
    unsigned m_wanted;
#ifdef VENDRIX_LITERAL_SCAN_X86
    __m128i m_units, m_fold;
#else
    std::array<char16_t, 8> m_units, m_fold;
#endif
};

} // namespace vendrix::literalScan
