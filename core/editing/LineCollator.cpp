#include "core/editing/LineCollator.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vendrix {

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

int codeUnitCompare(std::u16string_view a, std::u16string_view b) {
    return sign(a.compare(b));
}

/// Number of collation elements `ch` maps to; -1 when it cannot be told.
int elementCount(const UCollator* collator, char16_t ch) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* elements =
        ucol_openElements(collator, reinterpret_cast<const UChar*>(&ch), 1, &status);
    if (U_FAILURE(status))
        return -1;
    int count = 0;
    while (true) {
        int32_t element = ucol_next(elements, &status);
        if (U_FAILURE(status)) {
            count = -1;
            break;
        }
        if (element == UCOL_NULLORDER)
            break;
        if (element != 0)
            ++count;
    }
    ucol_closeElements(elements);
    return count;
}

} // namespace

const LineCollator& LineCollator::forCurrentThread() {
    thread_local LineCollator collator;
    return collator;
}

LineCollator::LineCollator() {
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open("tr_TR", &status);
    if (U_FAILURE(status)) {
        m_collator = nullptr;
        return;
    }
    buildRanks();
}

LineCollator::~LineCollator() {
    if (m_collator)
        ucol_close(m_collator);
}

void LineCollator::buildRanks() {
    UErrorCode status = U_ZERO_ERROR;
    // A code point that continues a contraction or prefix rule may collate differently after
    // its neighbour, so it is left to the collator; so is any code point followed by one.
    // (The shortcut never vouches for a unit of U+0180 or above, so only contractions whose
    // members up to that point lie in the table need this.)
    USet* contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(m_collator, contractions, nullptr, true, &status);
    if (U_FAILURE(status)) {
        uset_close(contractions);
        return;
    }
    std::array<bool, kTableSize> continues{};
    UChar buffer[64];
    const int32_t items = uset_getItemCount(contractions);
    for (int32_t i = 0; i < items; ++i) {
        UChar32 start = 0, end = 0;
        status = U_ZERO_ERROR;
        int32_t length = uset_getItem(contractions, i, &start, &end, buffer, 64, &status);
        if (U_FAILURE(status) || length > 64) {
            // Cannot tell what this item holds: trust nothing.
            uset_close(contractions);
            return;
        }
        // A member after one outside the table never matters: the comparison leaves the
        // shortcut at that earlier member.
        for (int32_t k = 1; k < length && buffer[k - 1] < kTableSize; ++k) {
            if (buffer[k] < kTableSize)
                continues[buffer[k]] = true;
            if (buffer[k] < m_continuesContraction.size())
                m_continuesContraction[buffer[k]] = true;
        }
    }
    uset_close(contractions);

    // Covered: one collation element with a primary weight (a unit that is ignorable at the
    // primary level would add nothing there, unlike a rank).
    UCollator* primaryOnly = ucol_clone(m_collator, &status);
    if (U_FAILURE(status))
        return;
    ucol_setStrength(primaryOnly, UCOL_PRIMARY);
    std::vector<char16_t> covered;
    const UChar empty = 0;
    for (char16_t c = 0; c < kTableSize; ++c) {
        const bool primaryIgnorable = ucol_strcoll(primaryOnly, reinterpret_cast<const UChar*>(&c),
                                                   1, &empty, 0) == UCOL_EQUAL;
        if (!continues[c] && !primaryIgnorable && elementCount(m_collator, c) == 1)
            covered.push_back(c);
    }
    ucol_close(primaryOnly);

    // Dense ranks at each strength: equal code points at that strength share a rank.
    auto rankAt = [&](UColAttributeValue strength, std::uint16_t Ranks::*field) {
        UErrorCode st = U_ZERO_ERROR;
        UCollator* levelled = ucol_clone(m_collator, &st);
        if (U_FAILURE(st))
            return false;
        ucol_setStrength(levelled, strength);
        auto less = [&](char16_t a, char16_t b) {
            return ucol_strcoll(levelled, reinterpret_cast<const UChar*>(&a), 1,
                                reinterpret_cast<const UChar*>(&b), 1) == UCOL_LESS;
        };
        std::vector<char16_t> order = covered;
        std::stable_sort(order.begin(), order.end(), less);
        std::uint16_t rank = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (i == 0 || less(order[i - 1], order[i]))
                ++rank;
            m_ranks[order[i]].*field = rank;
        }
        ucol_close(levelled);
        return true;
    };
    if (!rankAt(UCOL_PRIMARY, &Ranks::primary) || !rankAt(UCOL_SECONDARY, &Ranks::secondary) ||
        !rankAt(UCOL_TERTIARY, &Ranks::tertiary))
        m_ranks.fill(Ranks{});
}

int LineCollator::compareWithCollator(std::u16string_view a, std::u16string_view b) const {
    // The collator counts lengths in 32 bits; a line beyond that is ordered by code units.
    if (!m_collator || a.size() > kLongestLine || b.size() > kLongestLine)
        return codeUnitCompare(a, b);
    UCollationResult result = ucol_strcoll(
        m_collator, reinterpret_cast<const UChar*>(a.data()), static_cast<int32_t>(a.size()),
        reinterpret_cast<const UChar*>(b.data()), static_cast<int32_t>(b.size()));
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

int LineCollator::compare(std::u16string_view a, std::u16string_view b) const {
    if (!m_collator)
        return codeUnitCompare(a, b);
    const std::size_t n = std::min(a.size(), b.size());
    // A common prefix adds nothing at any level, provided each of its units is one the
    // shortcut vouches for and the units after it cannot join its last unit.
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    for (std::size_t k = 0; k < i; ++k)
        if (a[k] >= kTableSize || m_ranks[a[k]].primary == 0)
            return compareWithCollator(a, b);
    if (i > 0 && ((i < a.size() && !ranksAt(a, i - 1)) || (i < b.size() && !ranksAt(b, i - 1))))
        return compareWithCollator(a, b);

    int secondary = 0, tertiary = 0;
    for (; i < n; ++i) {
        const Ranks* ra = ranksAt(a, i);
        const Ranks* rb = ranksAt(b, i);
        if (!ra || !rb)
            return compareWithCollator(a, b);
        if (ra == rb)
            continue;
        if (ra->primary != rb->primary)
            return ra->primary < rb->primary ? -1 : 1;
        if (secondary == 0 && ra->secondary != rb->secondary)
            secondary = ra->secondary < rb->secondary ? -1 : 1;
        if (tertiary == 0 && ra->tertiary != rb->tertiary)
            tertiary = ra->tertiary < rb->tertiary ? -1 : 1;
    }
    if (a.size() != b.size()) {
        // The longer line has one more primary weight, if its next unit is covered.
        const bool aLonger = a.size() > b.size();
        if (!ranksAt(aLonger ? a : b, n))
            return compareWithCollator(a, b);
        return aLonger ? 1 : -1;
    }
    return secondary != 0 ? secondary : tertiary;
}

namespace {

/// A line's sort key in a shared arena, with its first eight bytes inline so that most
/// comparisons touch neither the arena nor the line.
struct KeyedLine {
    std::uint64_t prefix;
    std::size_t offset;
    std::uint32_t length; // including the terminating 0
    std::uint32_t index;
};

void setPrefix(KeyedLine& entry, const std::uint8_t* key) {
    entry.prefix = 0;
    for (std::uint32_t k = 0; k < 8 && k < entry.length; ++k)
        entry.prefix |= static_cast<std::uint64_t>(key[k]) << (56 - 8 * k);
}

/// Sorts stably by key bytes; `tie` breaks equal keys (negative, zero or positive).
template <typename Tie>
void sortByKeys(std::vector<std::u16string_view>& lines, std::vector<KeyedLine>& entries,
                const std::vector<std::uint8_t>& arena, bool descending, Tie tie) {
    auto order = [&](const KeyedLine& a, const KeyedLine& b) -> int {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix ? -1 : 1;
        // Keys end with their only 0 byte, so comparing up to the shorter end decides.
        if (int c = std::memcmp(arena.data() + a.offset, arena.data() + b.offset,
                                std::min(a.length, b.length)))
            return c;
        return tie(a.index, b.index);
    };
    if (descending)
        std::stable_sort(entries.begin(), entries.end(),
                         [&](const KeyedLine& a, const KeyedLine& b) { return order(b, a) < 0; });
    else
        std::stable_sort(entries.begin(), entries.end(),
                         [&](const KeyedLine& a, const KeyedLine& b) { return order(a, b) < 0; });
    std::vector<std::u16string_view> sorted;
    sorted.reserve(lines.size());
    for (const KeyedLine& entry : entries)
        sorted.push_back(lines[entry.index]);
    lines = std::move(sorted);
}

} // namespace

void LineCollator::sortStable(std::vector<std::u16string_view>& lines, bool descending) const {
    if (!m_collator || lines.size() > UINT32_MAX) {
        std::stable_sort(lines.begin(), lines.end(),
                         [&](std::u16string_view a, std::u16string_view b) {
                             return descending ? compare(b, a) < 0 : compare(a, b) < 0;
                         });
        return;
    }
    const bool ranksFitBytes =
        std::ranges::all_of(m_ranks, [](const Ranks& r) { return r.primary <= 0xFF; });
    bool allCovered = ranksFitBytes;
    bool anyTooLong = false;
    std::size_t units = 0;
    for (std::u16string_view line : lines) {
        units += line.size() + 1;
        anyTooLong = anyTooLong || line.size() > kLongestLine;
        for (std::size_t i = 0; allCovered && i < line.size(); ++i)
            allCovered = ranksAt(line, i) != nullptr;
    }
    std::vector<KeyedLine> entries(lines.size());
    std::vector<std::uint8_t> arena;

    if (allCovered && !anyTooLong) {
        // Primary keys: each unit's primary rank (one byte, never 0) and a 0 terminator, so
        // bytewise order is the collator's primary order. Equal keys differ at most in
        // accents or case and are compared in full.
        arena.resize(units);
        std::size_t offset = 0;
        for (std::size_t n = 0; n < lines.size(); ++n) {
            std::u16string_view line = lines[n];
            std::uint8_t* key = arena.data() + offset;
            for (std::size_t i = 0; i < line.size(); ++i)
                key[i] = static_cast<std::uint8_t>(m_ranks[line[i]].primary);
            key[line.size()] = 0;
            entries[n] = {0, offset, static_cast<std::uint32_t>(line.size() + 1),
                          static_cast<std::uint32_t>(n)};
            setPrefix(entries[n], key);
            offset += line.size() + 1;
        }
        sortByKeys(lines, entries, arena, descending,
                   [&](std::uint32_t a, std::uint32_t b) { return compare(lines[a], lines[b]); });
        return;
    }

    if (anyTooLong) {
        std::stable_sort(lines.begin(), lines.end(),
                         [&](std::u16string_view a, std::u16string_view b) {
                             return descending ? compare(b, a) < 0 : compare(a, b) < 0;
                         });
        return;
    }
    // The collator's own sort keys, which compare bytewise exactly as the collator does.
    arena.resize(units * 3 + 64);
    std::size_t offset = 0;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::u16string_view line = lines[n];
        auto fetch = [&] {
            const std::size_t room = std::min<std::size_t>(arena.size() - offset, INT32_MAX);
            return ucol_getSortKey(m_collator, reinterpret_cast<const UChar*>(line.data()),
                                   static_cast<int32_t>(line.size()), arena.data() + offset,
                                   static_cast<int32_t>(room));
        };
        int32_t length = fetch();
        if (length <= 0) {
            // The collator could not key this line (it is too long for its API): order
            // everything by comparing lines instead.
            std::stable_sort(lines.begin(), lines.end(),
                             [&](std::u16string_view a, std::u16string_view b) {
                                 return descending ? compare(b, a) < 0 : compare(a, b) < 0;
                             });
            return;
        }
        if (static_cast<std::size_t>(length) > arena.size() - offset) {
            arena.resize(std::max(arena.size() * 2, offset + static_cast<std::size_t>(length)));
            length = fetch();
        }
        entries[n] = {0, offset, static_cast<std::uint32_t>(length), static_cast<std::uint32_t>(n)};
        setPrefix(entries[n], arena.data() + offset);
        offset += static_cast<std::size_t>(length);
    }
    sortByKeys(lines, entries, arena, descending, [](std::uint32_t, std::uint32_t) { return 0; });
}

} // namespace vendrix
