#pragma once

// How often each byte occurs in source code and prose: the literal searches filter on the
// rarest units of a query instead of its first and last, as a fast grep hands memchr the
// rarest byte. Internal to core/search.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace vendrix::byteFrequency {

/// Occurrences per 100,000 bytes of UTF-8 C/C++ source, licence prose and Turkish text
/// (made by scripts/byte-frequencies.py), at least 1.
inline constexpr std::array<std::uint16_t, 256> kPer100k = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 186, 2247, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    14103, 15, 67, 252, 1, 6, 69, 17, 1040, 1046, 297, 34, 1524, 366, 552, 460,
    757, 1075, 827, 472, 457, 148, 558, 118, 492, 157, 232, 802, 99, 348, 115, 4,
    42, 434, 116, 316, 232, 489, 184, 242, 122, 467, 11, 26, 477, 171, 370, 298,
    226, 38, 360, 357, 512, 137, 84, 77, 83, 109, 7, 115, 256, 115, 1, 6643,
    6, 2755, 793, 1878, 1667, 5330, 1536, 778, 1208, 3748, 56, 199, 2355, 931, 3761, 3227,
    1503, 150, 3313, 2650, 5032, 1671, 1235, 321, 746, 548, 115, 171, 16, 171, 3, 1,
    9, 1, 1, 1, 1, 1, 1, 8, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 8, 1, 1, 3, 1, 1, 11, 3, 8, 233,
    1, 1, 1, 1, 1, 1, 1, 97, 1, 9, 1, 1, 1, 1, 1, 1,
    16, 410, 1, 1, 1, 1, 65, 1, 1, 1, 1, 1, 161, 1, 1, 1,
    1, 1, 9, 350, 515, 153, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
};

/// The frequency of a code point: that of the rarest byte of its UTF-8 form, which it
/// cannot exceed (ı is as rare as 0xB1, a CJK ideograph as its lead byte).
[[nodiscard]] inline std::uint32_t ofCodePoint(char32_t c) {
    if (c < 0x80)
        return kPer100k[c];
    unsigned char bytes[4];
    int n = 0;
    if (c < 0x800) {
        bytes[n++] = static_cast<unsigned char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        bytes[n++] = static_cast<unsigned char>(0xE0 | (c >> 12));
        bytes[n++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    } else {
        bytes[n++] = static_cast<unsigned char>(0xF0 | (c >> 18));
        bytes[n++] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        bytes[n++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    }
    bytes[n++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    std::uint32_t rarest = UINT32_MAX;
    for (int i = 0; i < n; ++i)
        rarest = std::min<std::uint32_t>(rarest, kPer100k[bytes[i]]);
    return rarest;
}

/// A slot a filter may compare: its offset in the match (or the part of it filtered) and the
/// summed frequency of the units it allows.
struct Slot {
    std::int64_t offset = 0;
    std::uint32_t cost = 0;
};

/// The (at most) three slots of least cost, rarest first, ties going to the earlier slot;
/// empty when `slots` is.
[[nodiscard]] inline std::vector<Slot> rarest(std::vector<Slot> slots) {
    std::stable_sort(slots.begin(), slots.end(),
                     [](const Slot& a, const Slot& b) { return a.cost < b.cost; });
    if (slots.size() > 3)
        slots.resize(3);
    return slots;
}

/// How many candidates per 100,000 positions three slots let through, taking them as
/// independent (for comparing choices).
[[nodiscard]] inline double passRate(const std::vector<Slot>& slots) {
    double rate = 1.0;
    for (const Slot& slot : slots)
        rate *= std::min(1.0, slot.cost / 100000.0);
    return rate;
}

} // namespace vendrix::byteFrequency
