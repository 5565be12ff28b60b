#include "core/search/LiteralMatcher.h"

#include "core/search/ByteFrequency.h"
#include "core/search/LiteralGroupScan.h"
#include "core/search/UnicodeText.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace vendrix {

namespace {

struct FoldingTables {
    std::array<char16_t, 0x10000> keys{};
    /// BMP characters whose full folding has several code points, with that folding.
    std::vector<std::pair<char16_t, std::u16string>> expanding;

    FoldingTables() {
        for (char32_t c = 0; c < 0x10000; ++c) {
            auto unit = static_cast<char16_t>(c);
            if (unicodeText::isSurrogate(unit)) {
                keys[c] = unit;
                continue;
            }
            UChar32 simple = u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT);
            keys[c] = simple < 0x10000 ? static_cast<char16_t>(simple) : unit;
            // Only characters that case folding changes can expand (asking every one costs a
            // command-line search milliseconds at start).
            if (!u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CHANGES_WHEN_CASEFOLDED))
                continue;
            UChar source[1] = {static_cast<UChar>(c)};
            UChar folded[8];
            UErrorCode status = U_ZERO_ERROR;
            int32_t length = u_strFoldCase(folded, 8, source, 1, U_FOLD_CASE_DEFAULT, &status);
            if (U_SUCCESS(status) && u_countChar32(folded, length) > 1)
                expanding.emplace_back(unit,
                                       std::u16string(reinterpret_cast<const char16_t*>(folded),
                                                      static_cast<size_t>(length)));
        }
        keys[0x0130] = u'i';
        keys[0x0131] = u'i';
    }
};

const FoldingTables& foldingTables() {
    static const FoldingTables tables;
    return tables;
}

bool isDottedOrDotlessI(char16_t c) {
    return c == u'i' || c == u'I' || c == u'\u0130' || c == u'\u0131';
}

} // namespace

namespace literalFolding {
char16_t key(char16_t unit) {
    return foldingTables().keys[unit];
}
bool expands(char32_t c) {
    UChar source[2];
    int32_t sourceLength = 0;
    [[maybe_unused]] UBool error = false;
    U16_APPEND(source, sourceLength, 2, static_cast<UChar32>(c), error);
    UChar folded[8];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = u_strFoldCase(folded, 8, source, sourceLength, U_FOLD_CASE_DEFAULT, &status);
    return U_SUCCESS(status) && u_countChar32(folded, length) > 1;
}
} // namespace literalFolding

std::optional<LiteralMatcher> LiteralMatcher::make(const SearchOptions& options) {
    const std::u16string& query = options.query;
    if (options.isRegex || query.empty() || !unicodeText::isWellFormed(query))
        return std::nullopt;
    LiteralMatcher matcher;
    matcher.m_caseInsensitive = !options.matchCase;
    matcher.m_wholeWord = options.wholeWord;
    if (!matcher.m_caseInsensitive) {
        matcher.m_needle = query;
    } else {
        const FoldingTables& tables = foldingTables();
        // In the expression the query becomes runs of literal characters between the
        // i-classes. A run of one character is compared by simple folding, a longer run by
        // full folding of the text, where a text character may expand into several of the
        // run's characters.
        std::vector<std::u16string> longRuns;
        std::u16string run;
        auto endRun = [&] {
            if (run.size() > 1)
                longRuns.push_back(run);
            run.clear();
        };
        for (char16_t c : query) {
            if (unicodeText::isSurrogate(c))
                return std::nullopt;
            if (isDottedOrDotlessI(c)) {
                endRun();
                matcher.m_needle.push_back(u'i');
                continue;
            }
            if (literalFolding::expands(c))
                return std::nullopt;
            char16_t key = tables.keys[c];
            run.push_back(key);
            matcher.m_needle.push_back(key);
        }
        endRun();
        for (const auto& [unit, folding] : tables.expanding) {
            bool hazard = std::any_of(longRuns.begin(), longRuns.end(), [&](const auto& r) {
                return r.find(folding) != std::u16string::npos;
            });
            // Simple folding of an expanding character never meets a non-expanding
            // query character, but the check costs nothing.
            hazard = hazard || matcher.m_needle.find(tables.keys[unit]) != std::u16string::npos;
            if (hazard && unit != 0x0130 && unit != 0x0131)
                matcher.m_expandingHazards.push_back(unit);
        }
    }
    const auto m = static_cast<std::int32_t>(matcher.m_needle.size());
    matcher.m_skip.fill(m);
    for (std::int32_t i = 0; i + 1 < m; ++i)
        matcher.m_skip[matcher.m_needle[static_cast<size_t>(i)] & 0xFF] = m - 1 - i;
    matcher.prepareProbe();
    return matcher;
}

namespace {

/// The units the matcher compares equal to each of `needle`'s units: the unit alone with
/// case, every unit with its fold key without it (in ascending order), found in one pass
/// over the fold keys.
std::vector<std::vector<char16_t>> unitsPerPosition(std::u16string_view needle,
                                                    bool caseInsensitive) {
    std::vector<std::vector<char16_t>> units(needle.size());
    if (!caseInsensitive) {
        for (std::size_t i = 0; i < needle.size(); ++i)
            units[i] = {needle[i]};
        return units;
    }
    const auto& keys = foldingTables().keys;
    std::vector<std::int32_t> firstWithKey(keys.size(), -1); // a position holding each key
    for (std::size_t i = needle.size(); i-- > 0;)
        firstWithKey[needle[i]] = static_cast<std::int32_t>(i);
    for (std::size_t u = 0; u < keys.size(); ++u)
        if (const std::int32_t i = firstWithKey[keys[u]]; i >= 0)
            units[static_cast<std::size_t>(i)].push_back(static_cast<char16_t>(u));
    for (std::size_t i = 0; i < needle.size(); ++i)
        units[i] = units[static_cast<std::size_t>(firstWithKey[needle[i]])];
    return units;
}

int probeWidthFor(std::size_t units) {
    return units <= 1 ? 1 : units == 2 ? 2 : units <= 4 ? 4 : 0;
}

void fillPadded(std::array<char16_t, 4>& slots, const std::vector<char16_t>& units) {
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i] = units[std::min(i, units.size() - 1)];
}

} // namespace

void LiteralMatcher::prepareProbe() {
    const auto m = static_cast<std::int64_t>(m_needle.size());
    const std::vector<std::vector<char16_t>> units =
        unitsPerPosition(m_needle, m_caseInsensitive);
    // The filter compares the three rarest positions among those with at most four units
    // (a query's first letters are often its most frequent ones: "return", "string"); with
    // none, Horspool alone.
    std::vector<byteFrequency::Slot> slots;
    for (std::int64_t i = 0; i < m; ++i) {
        const auto& variants = units[static_cast<std::size_t>(i)];
        if (variants.empty() || probeWidthFor(variants.size()) == 0)
            continue;
        std::uint32_t cost = 0;
        for (char16_t u : variants)
            cost += byteFrequency::ofCodePoint(u);
        slots.push_back({i, cost});
    }
    std::vector<byteFrequency::Slot> chosen = byteFrequency::rarest(std::move(slots));
    if (chosen.empty())
        return;
    while (chosen.size() < 3)
        chosen.push_back(chosen.front());
    const auto& first = units[static_cast<std::size_t>(chosen[0].offset)];
    const auto& second = units[static_cast<std::size_t>(chosen[1].offset)];
    const auto& third = units[static_cast<std::size_t>(chosen[2].offset)];
    fillPadded(m_probe.first, first);
    fillPadded(m_probe.second, second);
    fillPadded(m_probe.third, third);
    m_probe.firstOffset = chosen[0].offset;
    m_probe.secondOffset = chosen[1].offset;
    m_probe.thirdOffset = chosen[2].offset;
    m_probeWidth = std::max({probeWidthFor(first.size()), probeWidthFor(second.size()),
                             probeWidthFor(third.size())});
    // Where every filtered unit is a single unit or an ASCII letter in either case, the group
    // filter compares once per position after setting 0x20 (the padded slot 1 holds the
    // lower-case letter or the single unit).
    auto foldOf = [](const std::vector<char16_t>& variants, char16_t& fold) {
        fold = 0;
        if (variants.size() == 1)
            return true;
        const char16_t lower = variants[1];
        fold = 0x20;
        return variants.size() == 2 && lower >= u'a' && lower <= u'z' &&
               variants[0] == (lower & ~0x20);
    };
    m_groupFolded = m_probeWidth == 2 && foldOf(first, m_probe.firstFold) &&
                    foldOf(second, m_probe.secondFold) && foldOf(third, m_probe.thirdFold);

    m_unitsCompare = m <= static_cast<std::int64_t>(m_units.size());
    for (std::int64_t i = 0; i < m && m_unitsCompare; ++i) {
        const char16_t key = m_needle[static_cast<std::size_t>(i)];
        const std::vector<char16_t>& variants = units[static_cast<std::size_t>(i)];
        const bool asciiLetter = key >= u'a' && key <= u'z' && variants.size() == 2 &&
                                 variants[0] == (key & ~0x20) && variants[1] == key;
        m_unitsCompare = variants.size() == 1 || asciiLetter;
        m_units[static_cast<std::size_t>(i)] = key;
        m_unitFold[static_cast<std::size_t>(i)] = asciiLetter ? 0x20 : 0;
    }
    prepareByteQuery();
}

void LiteralMatcher::prepareByteQuery() {
    const auto m = static_cast<std::int64_t>(m_needle.size());
    if (!m_unitsCompare || m_wholeWord)
        return;
    for (std::int64_t i = 0; i < m; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (m_units[k] < 0x01 || m_units[k] > 0xFE)
            return;
    }
    // Matches of a query that overlaps itself ("aa", "abab") exclude each other.
    const std::u16string_view needle = m_needle;
    for (std::int64_t k = 1; k < m; ++k)
        if (needle.substr(0, static_cast<std::size_t>(k)) ==
            needle.substr(static_cast<std::size_t>(m - k)))
            return;
    for (std::int64_t i = 0; i < m; ++i) {
        const auto k = static_cast<std::size_t>(i);
        m_byteQuery.units[k] = static_cast<std::uint8_t>(m_units[k]);
        m_byteQuery.fold[k] = static_cast<std::uint8_t>(m_unitFold[k]);
    }
    m_byteQuery.length = static_cast<int>(m);
}

std::int64_t LiteralMatcher::countMatches(std::u16string_view text, std::int64_t from,
                                          std::int64_t to) const {
    return literalScan::countPositions(text.data(), from, to - length() + 1, m_byteQuery);
}

LiteralMatcher LiteralMatcher::withoutVectorScan() const {
    LiteralMatcher copy = *this;
    copy.m_probeWidth = 0;
    copy.m_groupFolded = false;
    copy.m_byteQuery = {};
    return copy;
}

bool LiteralMatcher::isExactFor(std::u16string_view text, std::int64_t from,
                                std::int64_t to) const {
    // Up to four hazards per pass of the vector filter, each unit its own candidate.
    auto accept = [](std::int64_t) { return true; };
    for (std::size_t i = 0; i < m_expandingHazards.size(); i += 4) {
        literalScan::Probe<char16_t> probe;
        for (std::size_t k = 0; k < 4; ++k)
            probe.first[k] = m_expandingHazards[std::min(i + k, m_expandingHazards.size() - 1)];
        probe.third = probe.first;
        probe.second = probe.first;
        if (literalScan::scan<4>(text.data(), from, to, probe, accept) >= 0)
            return false;
    }
    return true;
}

namespace {

struct ExactKey {
    char16_t operator()(char16_t unit) const { return unit; }
};
struct FoldKey {
    const char16_t* keys;
    char16_t operator()(char16_t unit) const { return keys[unit]; }
};

template <class Key>
std::int64_t horspool(const char16_t* text, std::int64_t from, std::int64_t to,
                      std::u16string_view needle, const std::array<std::int32_t, 256>& skip,
                      Key key) {
    const auto m = static_cast<std::int64_t>(needle.size());
    const char16_t last = needle[static_cast<size_t>(m - 1)];
    if (m == 1) {
        for (std::int64_t p = from; p < to; ++p)
            if (key(text[p]) == last)
                return p;
        return -1;
    }
    std::int64_t p = from;
    while (p + m <= to) {
        char16_t k = key(text[p + m - 1]);
        if (k == last) {
            std::int64_t i = 0;
            while (i < m - 1 && key(text[p + i]) == needle[static_cast<size_t>(i)])
                ++i;
            if (i == m - 1)
                return p;
        }
        p += skip[k & 0xFF];
    }
    return -1;
}

} // namespace

template <class Accept>
std::int64_t LiteralMatcher::vectorScan(const char16_t* text, std::int64_t from, std::int64_t to,
                                        Accept& accept) const {
    const std::int64_t m = length();
    const std::int64_t limit = to - m + 1;
    const char16_t* needle = m_needle.data();
    if (m_caseInsensitive) {
        // The filter passed three units; all are compared here (which three depends on the
        // query).
        const char16_t* keys = foldingTables().keys.data();
        auto verify = [&](std::int64_t p) {
            for (std::int64_t i = 0; i < m; ++i)
                if (keys[text[p + i]] != needle[i])
                    return false;
            return accept(p);
        };
        switch (m_probeWidth) {
        case 1: return literalScan::scan<1>(text, from, limit, m_probe, verify);
        case 2: return literalScan::scan<2>(text, from, limit, m_probe, verify);
        default: return literalScan::scan<4>(text, from, limit, m_probe, verify);
        }
    }
    auto verify = [&](std::int64_t p) {
        // Queries are short: a loop beats a call to memcmp per candidate.
        for (std::int64_t i = 0; i < m; ++i)
            if (text[p + i] != needle[i])
                return false;
        return accept(p);
    };
    return literalScan::scan<1>(text, from, limit, m_probe, verify);
}

template <class Accept>
std::int64_t LiteralMatcher::groupScan(const char16_t* text, std::int64_t from, std::int64_t to,
                                       std::int64_t readable, Accept& accept) const {
    const std::int64_t m = length();
    // Groups end where the text after the last position of a group (a whole group of units,
    // and eight for the unit compare) is still readable; the rest goes to vectorScan.
    const std::int64_t limit = std::min(to - m + 1, readable - 64 - 8 - m);
    auto run = [&]<bool EveryGroup>(auto& group) {
        if (m_groupFolded)
            return literalScan::eachGroup<literalScan::kFoldedWidth, EveryGroup>(
                text, from, limit, m_probe, group);
        switch (m_probeWidth) {
        case 1: return literalScan::eachGroup<1, EveryGroup>(text, from, limit, m_probe, group);
        case 2: return literalScan::eachGroup<2, EveryGroup>(text, from, limit, m_probe, group);
        default: return literalScan::eachGroup<4, EveryGroup>(text, from, limit, m_probe, group);
        }
    };
    if (m_unitsCompare) {
        // Candidates are gathered without branches (four positions written per group
        // whatever the mask holds, the count advanced by its population) and verified a few
        // hundred at a time: a frequent query's matches fall as unpredictably as the text.
        const literalScan::UnitsCompare compare(m_units, m_unitFold, m);
        constexpr int kPending = 256;
        std::int64_t pending[kPending + 64];
        int held = 0;
        auto verifyPending = [&] {
            for (int i = 0; i < held; ++i)
                if (accept(pending[i], compare(text + pending[i])))
                    return false;
            held = 0;
            return true;
        };
        auto group = [&](std::uint64_t mask, std::int64_t p) {
            constexpr std::uint64_t stop = std::uint64_t{1} << 63;
            const int count = std::popcount(mask);
            std::int64_t* out = pending + held;
            for (int k = 0; k < 4; ++k) {
                out[k] = p + __builtin_ctzll(mask | stop);
                mask &= mask - 1;
            }
            for (int k = 4; mask != 0; ++k) {
                out[k] = p + __builtin_ctzll(mask);
                mask &= mask - 1;
            }
            held += count;
            return held < kPending || verifyPending();
        };
        const std::int64_t rest = run.template operator()<true>(group);
        return rest >= 0 && verifyPending() ? rest : -1;
    }
    const char16_t* needle = m_needle.data();
    const char16_t* keys = m_caseInsensitive ? foldingTables().keys.data() : nullptr;
    auto group = [&](std::uint64_t mask, std::int64_t p) {
        do {
            const std::int64_t q = p + __builtin_ctzll(mask);
            mask &= mask - 1;
            bool match = true;
            for (std::int64_t i = 0; i < m; ++i)
                match &= (keys ? keys[text[q + i]] : text[q + i]) == needle[i];
            if (accept(q, match))
                return false;
        } while (mask != 0);
        return true;
    };
    return run.template operator()<false>(group);
}

std::int64_t LiteralMatcher::scan(const char16_t* text, std::int64_t from, std::int64_t to) const {
    if (m_probeWidth != 0) {
        auto any = [](std::int64_t) { return true; };
        return vectorScan(text, from, to, any);
    }
    if (m_caseInsensitive)
        return horspool(text, from, to, m_needle, m_skip, FoldKey{foldingTables().keys.data()});
    return horspool(text, from, to, m_needle, m_skip, ExactKey{});
}

bool LiteralMatcher::boundariesAllow(std::u16string_view text, std::int64_t start) const {
    const std::int64_t end = start + length();
    if (start > 0 && unicodeText::isWordBoundaryBlocker(unicodeText::codePointBefore(text, start)))
        return false;
    if (end < static_cast<std::int64_t>(text.size()) &&
        unicodeText::isWordBoundaryBlocker(unicodeText::codePointAt(text, end)))
        return false;
    return true;
}

std::int64_t LiteralMatcher::findEach(std::u16string_view text, std::int64_t from,
                                      std::int64_t to, MatchSink sink, void* context) const {
    const std::int64_t m = length();
    std::int64_t next = from; // no match may start before the previous one ended
    constexpr std::int64_t kBatch = 512;
    std::int64_t batch[kBatch];
    std::int64_t held = 0;
    if (m_probeWidth == 0) {
        for (std::int64_t found; (found = find(text, next, to)) >= 0;) {
            next = found + m;
            batch[held++] = found;
            if (held == kBatch) {
                if (!sink(context, batch, held))
                    return -1;
                held = 0;
            }
        }
    } else {
        // The filter goes on through its block after each match; a full batch is handed
        // over as it fills, and the scan ends early only when the sink asks to stop.
        // Without branches on the match itself: a frequent query's matches are as hard to
        // predict as the text.
        bool stopped = false;
        auto take = [&](std::int64_t p, bool match) {
            match &= p >= next;
            if (m_wholeWord && match)
                match = boundariesAllow(text, p);
            batch[held] = p;
            held += match ? 1 : 0;
            next = match ? p + m : next;
            if (held < kBatch)
                return false;
            stopped = !sink(context, batch, held);
            held = 0;
            return stopped;
        };
        auto accept = [&](std::int64_t p) { return take(p, true); };
        const auto readable = static_cast<std::int64_t>(text.size());
        const std::int64_t rest = groupScan(text.data(), from, to, readable, take);
        if (rest < 0 || stopped)
            return -1;
        vectorScan(text.data(), rest, to, accept);
        if (stopped)
            return -1;
    }
    if (held > 0 && !sink(context, batch, held))
        return -1;
    return std::max(next, to - m + 1);
}

std::int64_t LiteralMatcher::find(std::u16string_view text, std::int64_t from,
                                  std::int64_t to) const {
    while (from < to) {
        std::int64_t start = scan(text.data(), from, to);
        if (start < 0 || !m_wholeWord || boundariesAllow(text, start))
            return start;
        from = start + 1;
    }
    return -1;
}

} // namespace vendrix
