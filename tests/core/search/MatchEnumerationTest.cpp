#include "core/search/MatchEnumeration.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {

namespace {

using test::u16;
using test::u8;

std::vector<TextRange> sequential(const SearchPattern& pattern, std::u16string_view text,
                                  std::size_t limit) {
    std::vector<TextRange> found;
    auto failure =
        enumerateMatches(pattern, text, TextRange{0, static_cast<std::int64_t>(text.size())},
                         SearchBudget::unlimited(), [&](const SearchMatch& match) {
                             found.push_back(match.range);
                             return found.size() < limit;
                         });
    EXPECT_EQ(failure, std::nullopt);
    return found;
}

std::vector<TextRange> sliced(const SearchPattern& pattern, std::u16string_view text,
                              std::size_t limit, unsigned threads, std::int64_t sliceCap) {
    std::vector<TextRange> found;
    auto failure = enumerateMatchRanges(
        pattern, text, TextRange{0, static_cast<std::int64_t>(text.size())},
        SearchBudget::unlimited(), sliceCap,
        [&](TextRange match) {
            found.push_back(match);
            return found.size() < limit;
        },
        ParallelScan{1, threads});
    EXPECT_EQ(failure, std::nullopt);
    return found;
}

// Slices scanned on several threads must add up to exactly the matches of one scan, also for
// expressions with empty matches, look-around, anchors and matches that cross slice edges.
TEST(MatchEnumerationTest, ParallelSlicesFindWhatOneScanFinds) {
    const char* expressions[] = {
        "x*",      "a|ab",     "\\w+",       "[^\\n]*", ".",        "^\\w",
        "\\w$",    "a*?",      "\\B",        "\\b",     "(?<=a)b",  "b(?=a)",
        "(?:ab)+", "b*a",      "\\X",        "\\s*",    "a.{0,7}b", "^",
        "$",       "(a|b)\\1", "\\p{L}{3,}", "[ab]{2}", "(?s).{5}", "\\ba\\w*b\\b",
    };
    const std::vector<std::u16string> alphabet = {u"a",  u"b", u"a",          u"b",      u" ",
                                                  u"\n", u"_", u"\U0001F600", u"\u0301", u"x"};
    std::mt19937 rng(7);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<size_t> lengths(0, 120);
    for (const char* expression : expressions) {
        auto pattern = SearchPattern::compile(SearchOptions{u16(expression), true, true, false});
        ASSERT_TRUE(pattern.has_value()) << expression;
        for (int round = 0; round < 60; ++round) {
            std::u16string text;
            for (size_t n = lengths(rng); n > 0; --n)
                text += alphabet[pick(rng)];
            const unsigned threads = 2 + static_cast<unsigned>(round % 4);
            const size_t limit = round % 3 == 0 ? 3 : 100000;
            // A small cap per slice makes slices stop early and the merge continue alone.
            const std::int64_t sliceCap = round % 3 == 1 ? 2 : static_cast<std::int64_t>(limit);
            auto parallel = sliced(*pattern, text, limit, threads, sliceCap);
            auto single = sequential(*pattern, text, limit);
            size_t differ = 0;
            while (differ < parallel.size() && differ < single.size() &&
                   parallel[differ] == single[differ])
                ++differ;
            ASSERT_TRUE(parallel == single)
                << "first difference at match " << differ << " of " << single.size() << " ("
                << (differ < single.size() ? single[differ].location : -1) << " vs "
                << (differ < parallel.size() ? parallel[differ].location : -1) << ") "
                << "expression " << expression << " text \"" << u8(text) << "\" threads " << threads
                << " limit " << limit;
        }
    }
}

TEST(MatchEnumerationTest, ParallelScanReportsBudgetFailures) {
    auto pattern = SearchPattern::compile(SearchOptions{u"(a+)+$", true, true, false});
    const std::u16string text = std::u16string(40, u'a') + u"b";
    auto failure = enumerateMatchRanges(
        *pattern, text, TextRange{0, 41}, SearchBudget(0.05, nullptr), 10,
        [](TextRange) { return true; }, ParallelScan{1, 3});
    EXPECT_EQ(failure, SearchFailure::timedOut());
}

} // namespace
} // namespace vendrix
