#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

struct UCollator;

namespace vendrix {

/// Compares lines as the Turkish ("tr_TR") collator does with no options (tertiary strength:
/// case- and diacritic-sensitive), with a shortcut for Latin text that gives the collator's
/// own order without asking it.
///
/// The shortcut: every code point of U+0000 … U+017F that the collator maps to exactly one
/// collation element and that never continues a contraction gets its primary, secondary and
/// tertiary rank. Two lines are compared rank by rank, level by level, as long as every unit
/// met is such a code point and is followed by nothing that could join it in a contraction
/// (a combining mark, or a unit such as the middle dot after "l"); anything else goes to the
/// collator.
///
/// Not shared between threads: use forCurrentThread().
class LineCollator {
public:
    /// The calling thread's collator, created on first use.
    static const LineCollator& forCurrentThread();

    LineCollator();
    ~LineCollator();
    LineCollator(const LineCollator&) = delete;
    LineCollator& operator=(const LineCollator&) = delete;

    /// Negative, zero or positive as `a` sorts before, equal to or after `b`.
    [[nodiscard]] int compare(std::u16string_view a, std::u16string_view b) const;
    /// The collator's own answer, never taking the shortcut (for checking the shortcut).
    [[nodiscard]] int compareWithCollator(std::u16string_view a, std::u16string_view b) const;

    /// Sorts `lines` stably: lines that compare equal keep their relative order, also when
    /// `descending` reverses the comparison. When the shortcut covers every line, lines are
    /// keyed by their primary ranks; otherwise by the collator's own sort keys. Both orders
    /// are the collator's.
    void sortStable(std::vector<std::u16string_view>& lines, bool descending) const;

    /// True when the shortcut vouches for `unit` on its own (not followed by a combining mark).
    bool coversCodeUnit(char16_t unit) const {
        return unit < kTableSize && m_ranks[unit].primary != 0;
    }

    /// True when the collator could be opened; without it lines compare by code units.
    bool hasCollator() const { return m_collator != nullptr; }

private:
    static constexpr std::size_t kTableSize = 0x180;
    /// Lines longer than this (in UTF-16 units) are beyond the collator's 32-bit lengths.
    static constexpr std::size_t kLongestLine = 0x3FFFFFFF;
    struct Ranks {
        std::uint16_t primary = 0; // 0: not covered by the shortcut
        std::uint16_t secondary = 0;
        std::uint16_t tertiary = 0;
    };
    void buildRanks();
    /// The ranks of the unit at `i`, or null when the shortcut cannot vouch for it.
    const Ranks* ranksAt(std::u16string_view s, std::size_t i) const {
        char16_t u = s[i];
        if (u >= kTableSize || m_ranks[u].primary == 0)
            return nullptr;
        if (i + 1 < s.size() && (s[i + 1] > 0x02FF || m_continuesContraction[s[i + 1]]))
            return nullptr;
        return &m_ranks[u];
    }

    UCollator* m_collator = nullptr;
    std::array<Ranks, kTableSize> m_ranks{};
    /// Units up to U+02FF that continue a contraction or prefix rule: the unit before them
    /// may collate differently, so the shortcut does not vouch for it.
    std::array<bool, 0x0300> m_continuesContraction{};
};

} // namespace vendrix
