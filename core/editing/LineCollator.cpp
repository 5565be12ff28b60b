#include "core/editing/LineCollator.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>

namespace vendrix {

namespace {

int sign(int value) { return (value > 0) - (value < 0); }

int codeUnitCompare(std::u16string_view a, std::u16string_view b) { return sign(a.compare(b)); }

/// Number of collation elements `ch` maps to; -1 when it cannot be told.
int elementCount(const UCollator* collator, char16_t ch) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* elements = ucol_openElements(collator, reinterpret_cast<const UChar*>(&ch),
                                                     1, &status);
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
    // A code point that takes part in any contraction or prefix rule may collate differently
    // next to its neighbours; leave it to the collator.
    USet* contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(m_collator, contractions, nullptr, true, &status);
    if (U_FAILURE(status)) {
        uset_close(contractions);
        return;
    }
    std::array<bool, kTableSize> inContraction{};
    UChar buffer[64];
    const int32_t items = uset_getItemCount(contractions);
    for (int32_t i = 0; i < items; ++i) {
        UChar32 start = 0, end = 0;
        status = U_ZERO_ERROR;
        int32_t length = uset_getItem(contractions, i, &start, &end, buffer, 64, &status);
        if (U_FAILURE(status) || length == 0) {
            for (UChar32 c = start; c <= end && c < static_cast<UChar32>(kTableSize); ++c)
                inContraction[static_cast<std::size_t>(c)] = true;
            continue;
        }
        for (int32_t k = 0; k < length; ++k)
            if (buffer[k] < kTableSize)
                inContraction[buffer[k]] = true;
    }
    uset_close(contractions);

    std::vector<char16_t> covered;
    for (char16_t c = 0; c < kTableSize; ++c)
        if (!inContraction[c] && elementCount(m_collator, c) == 1)
            covered.push_back(c);

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
    if (!m_collator)
        return codeUnitCompare(a, b);
    UCollationResult result =
        ucol_strcoll(m_collator, reinterpret_cast<const UChar*>(a.data()),
                     static_cast<int32_t>(a.size()), reinterpret_cast<const UChar*>(b.data()),
                     static_cast<int32_t>(b.size()));
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

int LineCollator::compare(std::u16string_view a, std::u16string_view b) const {
    if (!m_collator)
        return codeUnitCompare(a, b);
    // The rank of the unit at i, or null when the shortcut cannot vouch for it.
    auto ranksAt = [this](std::u16string_view s, std::size_t i) -> const Ranks* {
        char16_t u = s[i];
        if (u >= kTableSize || m_ranks[u].primary == 0)
            return nullptr;
        if (i + 1 < s.size() && s[i + 1] > 0x02FF)
            return nullptr;
        return &m_ranks[u];
    };
    const std::size_t n = std::min(a.size(), b.size());
    int secondary = 0, tertiary = 0;
    for (std::size_t i = 0; i < n; ++i) {
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

void LineCollator::sortStable(std::vector<std::u16string_view>& lines, bool descending) const {
    if (descending)
        std::stable_sort(lines.begin(), lines.end(),
                         [this](std::u16string_view a, std::u16string_view b) {
                             return compare(b, a) < 0;
                         });
    else
        std::stable_sort(lines.begin(), lines.end(),
                         [this](std::u16string_view a, std::u16string_view b) {
                             return compare(a, b) < 0;
                         });
}

} // namespace vendrix
