#pragma once

// Counting the positions where a short query's units all match, without finding the matches
// one by one: the text's units are narrowed to bytes a block at a time (saturating: a unit
// above 0xFF becomes 0xFF or 0x00, which no query unit counted this way is), and every
// position of the block is compared with all of the query's units, 32 positions per vector
// compare (16 with SSE2 alone); the equal positions are summed in the vector. The cost is the
// same whether the query is absent or in every line. Internal to core/search.
#include "core/search/LiteralScan.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace vendrix::literalScan {

/// A query of at most eight units, each in 0x01...0xFE, compared as bytes: the text byte with
/// `fold` set equals `units` (fold is 0x20 for an ASCII letter in either case, else 0).
struct ByteQuery {
    std::array<std::uint8_t, 8> units{};
    std::array<std::uint8_t, 8> fold{};
    int length = 0;
};

inline std::uint8_t narrowed(char16_t unit) {
    return unit <= 0xFF ? static_cast<std::uint8_t>(unit) : unit < 0x8000 ? 0xFF : 0x00;
}

inline std::int64_t countBytesScalar(const std::uint8_t* bytes, std::int64_t positions,
                                     const ByteQuery& query) {
    std::int64_t count = 0;
    for (std::int64_t p = 0; p < positions; ++p) {
        bool all = true;
        for (int i = 0; i < query.length; ++i)
            all &= static_cast<std::uint8_t>(bytes[p + i] | query.fold[static_cast<std::size_t>(i)]) ==
                   query.units[static_cast<std::size_t>(i)];
        count += all ? 1 : 0;
    }
    return count;
}

#ifdef VENDRIX_LITERAL_SCAN_X86

/// Units to bytes, 16 at a time; `units` is a multiple of 16.
inline void narrowSse2(const char16_t* text, std::int64_t units, std::uint8_t* out) {
    for (std::int64_t i = 0; i < units; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8));
        _mm_store_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(a, b));
    }
}

/// Matching positions among the first `positions` (a multiple of 16, at most 16 × 255) of
/// `bytes`. Asks meanwhile for the text at `ahead` (the next block's units) to be brought
/// into the second-level cache, so that memory is read while the block is compared: without
/// it the two alternate, and a count over a large text took 1.3x as long.
template <int Length>
std::int64_t countBlockSse2(const std::uint8_t* bytes, std::int64_t positions,
                            const ByteQuery& query, const char* ahead) {
    __m128i units[Length], fold[Length];
    for (int i = 0; i < Length; ++i) {
        units[i] = _mm_set1_epi8(static_cast<char>(query.units[static_cast<std::size_t>(i)]));
        fold[i] = _mm_set1_epi8(static_cast<char>(query.fold[static_cast<std::size_t>(i)]));
    }
    __m128i sums = _mm_setzero_si128();
    for (std::int64_t p = 0; p < positions; p += 16) {
        _mm_prefetch(ahead + 2 * p, _MM_HINT_T1);
        __m128i all = _mm_set1_epi8(-1);
        for (int i = 0; i < Length; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + p + i));
            all = _mm_and_si128(all, _mm_cmpeq_epi8(_mm_or_si128(v, fold[i]), units[i]));
        }
        sums = _mm_sub_epi8(sums, all);
    }
    const __m128i total = _mm_sad_epu8(sums, _mm_setzero_si128());
    return _mm_cvtsi128_si64(total) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(total, total));
}

__attribute__((target("avx2"))) inline void narrowAvx2(const char16_t* text, std::int64_t units,
                                                       std::uint8_t* out) {
    for (std::int64_t i = 0; i < units; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 16));
        // packus works within 128-bit lanes: put the four quarters back in text order.
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + i),
                           _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
    }
}

/// As countBlockSse2, 32 positions a step (`positions` a multiple of 32, at most 32 × 255).
template <int Length>
__attribute__((target("avx2"))) std::int64_t countBlockAvx2(const std::uint8_t* bytes,
                                                            std::int64_t positions,
                                                            const ByteQuery& query,
                                                            const char* ahead) {
    __m256i units[Length], fold[Length];
    for (int i = 0; i < Length; ++i) {
        units[i] = _mm256_set1_epi8(static_cast<char>(query.units[static_cast<std::size_t>(i)]));
        fold[i] = _mm256_set1_epi8(static_cast<char>(query.fold[static_cast<std::size_t>(i)]));
    }
    __m256i sums = _mm256_setzero_si256();
    for (std::int64_t p = 0; p < positions; p += 32) {
        _mm_prefetch(ahead + 2 * p, _MM_HINT_T1);
        __m256i all = _mm256_set1_epi8(-1);
        for (int i = 0; i < Length; ++i) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + p + i));
            all = _mm256_and_si256(all, _mm256_cmpeq_epi8(_mm256_or_si256(v, fold[i]), units[i]));
        }
        sums = _mm256_sub_epi8(sums, all);
    }
    const __m256i total = _mm256_sad_epu8(sums, _mm256_setzero_si256());
    return _mm256_extract_epi64(total, 0) + _mm256_extract_epi64(total, 1) +
           _mm256_extract_epi64(total, 2) + _mm256_extract_epi64(total, 3);
}

template <int Length, bool Avx2>
std::int64_t countNarrowed(const char16_t* text, std::int64_t from, std::int64_t limit,
                           const ByteQuery& query) {
    constexpr std::int64_t kWidth = Avx2 ? 32 : 16;
    // Positions per block: as many vector steps as keep each byte lane's sum below 256.
    constexpr std::int64_t kBlock = kWidth * 255;
    alignas(32) std::uint8_t bytes[kBlock + 32];
    std::int64_t count = 0;
    for (std::int64_t p = from; p < limit;) {
        const std::int64_t positions = std::min(kBlock, limit - p);
        const std::int64_t vectorPositions = positions & ~(kWidth - 1);
        // The block's positions and the units after them that its last match would cover,
        // narrowed in whole vectors and the rest one unit at a time.
        const std::int64_t units = positions + Length - 1;
        const std::int64_t vectorUnits = units & ~(kWidth - 1);
        if constexpr (Avx2)
            narrowAvx2(text + p, vectorUnits, bytes);
        else
            narrowSse2(text + p, vectorUnits, bytes);
        for (std::int64_t i = vectorUnits; i < units; ++i)
            bytes[i] = narrowed(text[p + i]);
        // Prefetching past the text's end is harmless: it never faults.
        const char* ahead = reinterpret_cast<const char*>(text + p + positions);
        if constexpr (Avx2)
            count += countBlockAvx2<Length>(bytes, vectorPositions, query, ahead);
        else
            count += countBlockSse2<Length>(bytes, vectorPositions, query, ahead);
        count += countBytesScalar(bytes + vectorPositions, positions - vectorPositions, query);
        p += positions;
    }
    return count;
}

#endif

/// The number of positions p in [from, limit) where every query unit matches the text at
/// p + i; text[limit + query.length - 2] is the last unit read.
inline std::int64_t countPositions(const char16_t* text, std::int64_t from, std::int64_t limit,
                                   const ByteQuery& query) {
    if (from >= limit)
        return 0;
#ifdef VENDRIX_LITERAL_SCAN_X86
    const bool avx2 = hasAvx2();
    auto run = [&]<int Length>() {
        return avx2 ? countNarrowed<Length, true>(text, from, limit, query)
                    : countNarrowed<Length, false>(text, from, limit, query);
    };
    switch (query.length) {
    case 1: return run.template operator()<1>();
    case 2: return run.template operator()<2>();
    case 3: return run.template operator()<3>();
    case 4: return run.template operator()<4>();
    case 5: return run.template operator()<5>();
    case 6: return run.template operator()<6>();
    case 7: return run.template operator()<7>();
    default: return run.template operator()<8>();
    }
#else
    std::int64_t count = 0;
    std::array<std::uint8_t, 4096 + 8> bytes;
    for (std::int64_t p = from; p < limit; p += 4096) {
        const std::int64_t positions = std::min<std::int64_t>(4096, limit - p);
        for (std::int64_t i = 0; i < positions + query.length - 1; ++i)
            bytes[static_cast<std::size_t>(i)] = narrowed(text[p + i]);
        count += countBytesScalar(bytes.data(), positions, query);
    }
    return count;
#endif
}

} // namespace vendrix::literalScan
