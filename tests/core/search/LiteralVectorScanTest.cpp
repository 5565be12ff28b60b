// The vector filter of the literal matcher must find exactly what the Horspool scan finds,
// wherever the match lies relative to the vector blocks, the ends of the text and the two
// pieces of the editor's gap buffer.
#include "core/search/LiteralMatcher.h"
#include "core/search/LiteralScan.h"
#include "core/search/SearchEngine.h"
#include "core/search/UnicodeText.h"
#include "core/text/TextStorage.h"
#include "support/TestSupport.h"

#include <unicode/uchar.h>

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

using test::u8;

// Case variants of i (Turkish dotted and dotless), ß and ẞ, the three sigmas, long s, the
// Kelvin sign, Turkish ş/ğ, surrogate pairs, lone halves and word boundary characters.
const std::vector<std::u16string> kAlphabet = {
    u"a",      u"A",      u"b",      u"s",      u"S",      u"k",      u"K",      u"i",
    u"I",      u"\u0130", u"\u0131", u"\u015F", u"\u015E", u"\u011F", u"\u00DF", u"\u1E9E",
    u"\u03C3", u"\u03C2", u"\u03A3", u"\u017F", u"\u212A", u"\u03B8", u"\u03D1", u"_",
    u" ",      u"\n",     u"1",      u"\U0001D400",        u"\U00010428",        u"\xD801",
    u"\xDC00"};

std::u16string randomText(std::mt19937& rng, std::size_t maxUnits) {
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::u16string out;
    const std::size_t units = std::uniform_int_distribution<std::size_t>(0, maxUnits)(rng);
    while (out.size() < units)
        out += kAlphabet[pick(rng)];
    return out;
}

/// The query with some characters' case flipped (the BMP ones; pairs stay as they are).
std::u16string recased(std::mt19937& rng, std::u16string query) {
    for (char16_t& c : query) {
        if ((c >= 0xD800 && c <= 0xDFFF) || rng() % 2 == 0)
            continue;
        UChar32 flipped = u_isupper(c) ? u_tolower(c) : u_toupper(c);
        if (flipped < 0x10000)
            c = static_cast<char16_t>(flipped);
    }
    return query;
}

/// Every match the matcher finds in [from, to), scanning on after each one.
std::vector<std::int64_t> allStarts(const LiteralMatcher& matcher, std::u16string_view text,
                                    std::int64_t from, std::int64_t to) {
    std::vector<std::int64_t> starts;
    for (std::int64_t at = from; at < to;) {
        std::int64_t found = matcher.find(text, at, to);
        if (found < 0)
            break;
        starts.push_back(found);
        at = found + 1;
    }
    return starts;
}

/// Matches as the enumeration takes them: each search going on after the previous match.
std::vector<std::int64_t> eachMatch(const LiteralMatcher& matcher, std::u16string_view text,
                                    std::int64_t from, std::int64_t to, std::size_t stopAfter) {
    struct Sink {
        std::vector<std::int64_t> starts;
        std::size_t stopAfter;
    } sink{{}, stopAfter};
    const std::int64_t next = matcher.findEach(
        text, from, to,
        [](void* context, const std::int64_t* starts, std::int64_t count) {
            auto& s = *static_cast<Sink*>(context);
            for (std::int64_t i = 0; i < count && s.starts.size() < s.stopAfter; ++i)
                s.starts.push_back(starts[i]);
            return s.starts.size() < s.stopAfter;
        },
        &sink);
    // Where the search goes on: -1 once stopped, else past the last match and the range.
    if (sink.starts.size() < stopAfter) {
        const std::int64_t lastEnd = sink.starts.empty() ? from : sink.starts.back() + matcher.length();
        EXPECT_EQ(next, std::max(lastEnd, to - matcher.length() + 1));
    } else {
        EXPECT_EQ(next, -1);
    }
    return sink.starts;
}

std::vector<std::int64_t> findLoop(const LiteralMatcher& matcher, std::u16string_view text,
                                   std::int64_t from, std::int64_t to, std::size_t stopAfter) {
    std::vector<std::int64_t> starts;
    for (std::int64_t at = from; starts.size() < stopAfter;) {
        std::int64_t found = matcher.find(text, at, to);
        if (found < 0)
            break;
        starts.push_back(found);
        at = found + matcher.length();
    }
    return starts;
}

/// Runs the body once with the widest kernels and once with SSE2 alone.
class LiteralVectorScanKernels : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { literalScan::allowAvx2(GetParam()); }
    void TearDown() override { literalScan::allowAvx2(true); }
};

TEST_P(LiteralVectorScanKernels, FindsWhatTheHorspoolScanFinds) {
    std::mt19937 rng(19'2026);
    int vectorQueries = 0;
    for (int round = 0; round < 2000; ++round) {
        // Every fourth text is long enough for the grouped scan of a search for every match
        // (64 units a group), so candidates also cross group edges.
        const std::u16string text = randomText(rng, round % 4 == 0 ? 400 : 96);
        std::u16string query;
        if (!text.empty() && round % 3 != 0) {
            std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(rng);
            query = recased(rng, text.substr(at, 1 + rng() % 19));
        } else {
            query = randomText(rng, 5);
        }
        if (query.empty())
            continue;
        const std::int64_t length = static_cast<std::int64_t>(text.size());
        const std::int64_t from = length ? static_cast<std::int64_t>(rng() % (length + 1)) / 3 : 0;
        const std::int64_t to = length - (length ? static_cast<std::int64_t>(rng() % 4) : 0);
        for (int flags = 0; flags < 4; ++flags) {
            auto pattern =
                SearchPattern::compile(SearchOptions{query, false, (flags & 1) != 0, (flags & 2) != 0});
            ASSERT_TRUE(pattern.has_value());
            const LiteralMatcher* vector = pattern->literal();
            if (!vector || !vector->usesVectorScan())
                continue;
            ++vectorQueries;
            const LiteralMatcher horspool = vector->withoutVectorScan();
            ASSERT_FALSE(horspool.usesVectorScan());
            EXPECT_EQ(vector->isExactFor(text, 0, length), horspool.isExactFor(text, 0, length));
            const std::int64_t start = unicodeText::splitsPair(text, from) ? from + 1 : from;
            ASSERT_EQ(allStarts(*vector, text, start, std::max(start, to)),
                      allStarts(horspool, text, start, std::max(start, to)))
                << "query \"" << u8(query) << "\" text \"" << u8(text) << "\" flags " << flags;
            // Match by match, as the enumeration takes them, stopped early or not.
            const std::size_t stopAfter = 1 + rng() % 4;
            for (std::size_t stop : {stopAfter, std::size_t{1000}}) {
                auto each = eachMatch(*vector, text, start, std::max(start, to), stop);
                ASSERT_EQ(each, findLoop(horspool, text, start, std::max(start, to), stop))
                    << "query \"" << u8(query) << "\" text \"" << u8(text) << "\" flags " << flags;
                ASSERT_EQ(eachMatch(horspool, text, start, std::max(start, to), stop), each);
            }
            // Through the engine's enumeration too (budget windows, whole-word retries).
            auto viaEngine = SearchEngine::findAll(*pattern, text, std::nullopt, 1000,
                                                   SearchBudget::unlimited());
            auto viaExpression = SearchEngine::findAll(pattern->withoutLiteralFastPath(), text,
                                                       std::nullopt, 1000, SearchBudget::unlimited());
            ASSERT_EQ(viaEngine, viaExpression) << "query \"" << u8(query) << "\" text \""
                                                << u8(text) << "\" flags " << flags;
        }
    }
    EXPECT_GT(vectorQueries, 3000);
}

// Thousands of matches reach the engine in batches and are kept in blocks: the batch and
// block edges, limits falling on them, overlapping occurrences ("aa" in "aaaaa" counts
// twice, each search going on after the previous match) and the count-only path must all
// agree with the expression engine.
TEST_P(LiteralVectorScanKernels, ManyMatchesAgreeAcrossBatchesLimitsAndCounts) {
    std::u16string text;
    for (int i = 0; i < 9000; ++i)
        text += i % 7 == 0 ? u"aaaaa Aa " : u"xa aA, ";
    for (const char16_t* query : {u"a", u"aa", u"aA", u"a "}) {
        for (bool matchCase : {true, false}) {
            for (bool wholeWord : {false, true}) {
                auto pattern = SearchPattern::compile(SearchOptions{query, false, matchCase, wholeWord});
                ASSERT_TRUE(pattern && pattern->literal());
                const SearchPattern expression = pattern->withoutLiteralFastPath();
                for (std::int64_t limit : {std::int64_t{-1}, std::int64_t{0}, std::int64_t{511}, std::int64_t{512},
                                           std::int64_t{8193}, std::int64_t{INT64_MAX}}) {
                    auto fast = SearchEngine::findAll(*pattern, text, std::nullopt, limit,
                                                      SearchBudget::unlimited());
                    auto slow = SearchEngine::findAll(expression, text, std::nullopt, limit,
                                                      SearchBudget::unlimited());
                    ASSERT_TRUE(fast && slow);
                    ASSERT_EQ(*fast, *slow) << u8(query) << " case " << matchCase << " word "
                                            << wholeWord << " limit " << limit;
                    auto counted = SearchEngine::countAll(*pattern, text, std::nullopt, limit,
                                                          SearchBudget::unlimited());
                    ASSERT_TRUE(counted);
                    EXPECT_EQ(counted->count, static_cast<std::int64_t>(slow->ranges.size()));
                    EXPECT_EQ(counted->truncated, slow->truncated);
                    EXPECT_EQ(SearchEngine::countAll(expression, text, TextRange{5, 700}, limit,
                                                     SearchBudget::unlimited()),
                              SearchEngine::countAll(*pattern, text, TextRange{5, 700}, limit,
                                                     SearchBudget::unlimited()));
                }
            }
        }
    }
    auto aa = SearchPattern::compile(SearchOptions{u"aa", false, true, false});
    auto result = SearchEngine::findAll(*aa, u"aaaaa", std::nullopt, 10, SearchBudget::unlimited());
    EXPECT_EQ(result->ranges, (std::vector<TextRange>{{0, 2}, {2, 2}}));
    auto cancelled = std::make_shared<SearchCancellation>();
    cancelled->cancel();
    EXPECT_EQ(SearchEngine::countAll(*aa, text, std::nullopt, 10, SearchBudget(1.0, cancelled)).error(),
              SearchFailure::cancelled());
}

TEST_P(LiteralVectorScanKernels, MatchesAtEveryOffsetAroundVectorBlocksAndTextEnds) {
    struct Case {
        std::u16string query;  // as typed
        std::u16string inText; // what the text holds
        bool matchCase;
    };
    const Case cases[] = {
        {u"q", u"q", true},
        {u"zebra", u"zebra", true},
        {u"\U0001D400x", u"\U0001D400x", true},
        {u"kış", u"KIŞ", false},              // dotless i and ş by simple folding
        {u"istanbul", u"\u0130STANBUL", false}, // dotted capital I at the first unit
        {u"\u03C3\u03C3", u"\u03A3\u03C2", false}, // final sigma at the last unit
        {u"kk", u"\u212AK", false},               // Kelvin sign
        {u"ab-cd-ef-gh-ij-kl-mn-op", u"AB-CD-EF-GH-IJ-KL-MN-OP", false}, // longer than a block
        // The filter's units are the rarest, wherever they lie: inside, at the end, repeated.
        {u"retzrn", u"RETZRN", false},
        {u"returnq", u"returnq", true},
        {u"zaz", u"zaz", true},
        {u"k\u0131lavuz", u"\u212A\u0130LAVUZ", false},
        {u"printf", u"PR\u0130NTF", false},
    };
    for (const Case& c : cases) {
        auto pattern = SearchPattern::compile(SearchOptions{c.query, false, c.matchCase, false});
        ASSERT_TRUE(pattern && pattern->literal()) << u8(c.query);
        const LiteralMatcher& matcher = *pattern->literal();
        ASSERT_TRUE(matcher.usesVectorScan()) << u8(c.query);
        const auto m = static_cast<std::int64_t>(c.inText.size());
        for (std::int64_t size : {m, m + 7, m + 8, m + 15, m + 16, m + 17, m + 33, m + 64}) {
            for (std::int64_t at = 0; at + m <= size; ++at) {
                std::u16string text(static_cast<size_t>(size), u'.');
                text.replace(static_cast<size_t>(at), static_cast<size_t>(m), c.inText);
                for (std::int64_t from : {std::int64_t{0}, at, std::max<std::int64_t>(0, at - 9)}) {
                    EXPECT_EQ(matcher.find(text, from, size), at)
                        << u8(c.query) << " size " << size << " at " << at << " from " << from;
                }
                EXPECT_EQ(matcher.find(text, 0, at + m - 1), -1) << "a match must fit the range";
                EXPECT_EQ(matcher.find(text, at + 1, size), -1);
            }
        }
    }
}

// The count that compares every position as bytes: text units that narrow to a byte near a
// query unit's (0x100 and 0x7FFF saturate to 0xFF, 0x8000 and above to 0, 0x8061 has 'a' as
// its low byte), case variants, matches around the narrowing blocks (8160 and 4080 positions)
// and the ends of the range, and ranges starting anywhere.
TEST_P(LiteralVectorScanKernels, CountsWithoutFindingExactlyWhatTheSearchFinds) {
    const std::u16string units = u"abcAB-\u00E9\u00FE\u00C9";
    const std::u16string noise[] = {u"\u0000", u"\u00FF", u"\u0100", u"\u01FE", u"\u7FFF",
                                    u"\u8000", u"\u8061", u"\uFF41", u"\uFFFE", u"\n", u"x"};
    std::mt19937 rng(61);
    int countedAlone = 0;
    for (int round = 0; round < 300; ++round) {
        std::u16string query;
        const std::size_t length = 1 + rng() % 8;
        while (query.size() < length)
            query += units[rng() % units.size()];
        const bool matchCase = rng() % 2 == 0;
        auto pattern = SearchPattern::compile(SearchOptions{query, false, matchCase, false});
        ASSERT_TRUE(pattern && pattern->literal());
        const LiteralMatcher& matcher = *pattern->literal();
        if (!matcher.countsAlone())
            continue;
        ++countedAlone;
        std::u16string text;
        const std::size_t size = round % 10 == 0 ? 8000 + rng() % 9000 : rng() % 600;
        while (text.size() < size) {
            const unsigned pick = rng() % 8;
            text += pick == 0 ? recased(rng, query)
                    : pick < 4 ? std::u16string(1, units[rng() % units.size()])
                               : noise[rng() % std::size(noise)];
        }
        const auto total = static_cast<std::int64_t>(text.size());
        const std::int64_t from = rng() % 3 == 0 ? 0 : static_cast<std::int64_t>(rng() % (total + 1));
        const std::int64_t to = rng() % 3 == 0 ? total : from + static_cast<std::int64_t>(rng() % (total - from + 1));
        const std::vector<std::int64_t> found = eachMatch(matcher, text, from, to, SIZE_MAX);
        ASSERT_EQ(matcher.countMatches(text, from, to), static_cast<std::int64_t>(found.size()))
            << "query \"" << u8(query) << "\" case " << matchCase << " range " << from << "-" << to;
        auto counted = SearchEngine::countAll(*pattern, text, std::nullopt, INT64_MAX,
                                              SearchBudget::unlimited());
        auto expression = SearchEngine::findAll(pattern->withoutLiteralFastPath(), text,
                                                std::nullopt, INT64_MAX, SearchBudget::unlimited());
        ASSERT_TRUE(counted && expression);
        ASSERT_EQ(counted->count, static_cast<std::int64_t>(expression->ranges.size()))
            << "query \"" << u8(query) << "\" case " << matchCase;
    }
    EXPECT_GT(countedAlone, 150);

    // Queries that overlap themselves, whole words and units outside the bytes are counted
    // by finding the matches.
    for (const SearchOptions& options :
         {SearchOptions{u"aba", false, true, false}, SearchOptions{u"aA", false, false, false},
          SearchOptions{u"ab", false, true, true}, SearchOptions{u"\u00FF", false, true, false},
          SearchOptions{u"a\u0100", false, true, false}, SearchOptions{u"abcdefghi", false, true, false}})
        EXPECT_FALSE(SearchPattern::compile(options)->literal()->countsAlone()) << u8(options.query);

    // Across the engine's windows of a million units, and with a limit.
    std::u16string large(std::size_t{1} << 21, u'.');
    for (std::size_t at : {std::size_t{0}, (std::size_t{1} << 20) - 3, (std::size_t{1} << 20) + 3,
                           (std::size_t{1} << 21) - 5})
        large.replace(at, 5, u"COUNT");
    auto count = SearchPattern::compile(SearchOptions{u"count", false, false, false});
    ASSERT_TRUE(count->literal()->countsAlone());
    EXPECT_EQ(SearchEngine::countAll(*count, large, std::nullopt, INT64_MAX, SearchBudget::unlimited()),
              (MatchCount{4, false}));
    EXPECT_EQ(SearchEngine::countAll(*count, large, std::nullopt, 3, SearchBudget::unlimited()),
              (MatchCount{3, true}));
    EXPECT_EQ(SearchEngine::countAll(*count, large, TextRange{1, (std::int64_t{1} << 20) + 5},
                                     INT64_MAX, SearchBudget::unlimited()),
              (MatchCount{1, false}));
}

INSTANTIATE_TEST_SUITE_P(AvxAndSse2, LiteralVectorScanKernels, ::testing::Values(true, false));

TEST(LiteralVectorScanTest, SearchesTheGapBufferPiecesAndTheirJoin) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::u16string text = randomText(rng, 300) + u"needle-\u0130\u015F" + randomText(rng, 300);
        TextStorage storage(text);
        // Put the gap inside the match so that each piece holds part of it.
        const auto needleAt = static_cast<std::int64_t>(text.find(u"needle"));
        const std::int64_t gapAt = needleAt + static_cast<std::int64_t>(rng() % 9);
        storage.replace({gapAt, 0}, u"");
        storage.replace({gapAt, 1}, std::u16string(1, text[static_cast<size_t>(gapAt)]));
        auto [before, after] = storage.pieces({0, storage.length()});
        auto pattern = SearchPattern::compile(SearchOptions{u"NEEDLE-i\u015E", false, false, false});
        ASSERT_TRUE(pattern && pattern->literal());
        const LiteralMatcher& matcher = *pattern->literal();
        const LiteralMatcher horspool = matcher.withoutVectorScan();
        for (std::u16string_view piece : {before, after}) {
            const auto n = static_cast<std::int64_t>(piece.size());
            EXPECT_EQ(allStarts(matcher, piece, 0, n), allStarts(horspool, piece, 0, n));
        }
        const std::u16string_view whole = storage.contiguous();
        const auto n = static_cast<std::int64_t>(whole.size());
        auto starts = allStarts(matcher, whole, 0, n);
        EXPECT_EQ(starts, allStarts(horspool, whole, 0, n));
        EXPECT_NE(std::find(starts.begin(), starts.end(), needleAt), starts.end());
    }
}

TEST(LiteralVectorScanTest, KeepsTheHorspoolScanWhereTheFilterCannotApply) {
    // Case variants of every end unit fit the filter for ordinary letters; expanding
    // foldings never reach the literal matcher at all.
    auto ordinary = SearchPattern::compile(SearchOptions{u"Sigma\u03A3", false, false, false});
    ASSERT_TRUE(ordinary && ordinary->literal());
    EXPECT_TRUE(ordinary->literal()->usesVectorScan());
    auto expanding = SearchPattern::compile(SearchOptions{u"stra\u00DFe", false, false, false});
    ASSERT_TRUE(expanding);
    EXPECT_EQ(expanding->literal(), nullptr);
    // "ss" without case still defers to the expression engine where the text holds ß.
    auto ss = SearchPattern::compile(SearchOptions{u"ss", false, false, false});
    ASSERT_TRUE(ss && ss->literal());
    std::u16string text(100, u'x');
    text[77] = u'\u00DF';
    EXPECT_FALSE(ss->literal()->isExactFor(text, 0, 100));
    EXPECT_TRUE(ss->literal()->isExactFor(text, 0, 77));
    EXPECT_TRUE(ss->literal()->isExactFor(text, 78, 100));
}

} // namespace
} // namespace vendrix
