#include "core/search/SearchEngine.h"
#include "core/search/ReplacementTemplate.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace vendrix {
namespace {

using test::formatMarked;
using test::parseMarked;
using test::u16;
using test::u8;

SearchPattern compile(const char* query, bool isRegex = false, bool matchCase = true) {
    auto pattern = SearchPattern::compile(SearchOptions{u16(query), isRegex, matchCase, false});
    EXPECT_TRUE(pattern.has_value()) << query;
    return *pattern;
}

TEST(SearchEngineTest, FindNextStepsForwardAndBackwardWithWrapAround) {
    struct Case {
        const char* name;
        const char* query;
        bool isRegex;
        const char* marked; // the text with the current selection
        bool forward;
        bool wraps;
        const char* expected; // the text with the found match, or nullptr for none
    };
    const Case cases[] = {
        {"caret before a match", "a", false, "a|aa", true, false, "a[a]a"},
        {"after the selection", "a", false, "a[a]a", true, false, "aa[a]"},
        {"nothing after, no wrap", "a", false, "aa[a]", true, false, nullptr},
        {"nothing after, wrap", "a", false, "aa[a]", true, true, "[a]aa"},
        {"backward", "a", false, "a[a]a", false, false, "[a]aa"},
        {"backward wrap", "a", false, "[a]aa", false, true, "aa[a]"},
        {"backward without wrap", "a", false, "[a]aa", false, false, nullptr},
        {"backward may reach into the selection", "aa", false, "a[aa]a", false, false, "[aa]aa"},
        {"empty match at the caret is skipped", "x*", true, "|ab", true, false, "a|b"},
        {"empty match after a selection is taken", "x*", true, "[a]b", true, false, "a|b"},
        {"empty match at the end, then wrap", "x*", true, "ab|", true, true, "|ab"},
        {"backward skips the empty match at the caret on wrap", "x*", true, "|ab", false, true,
         "ab|"},
        {"regex across lines", "^b", true, "a\n|b", true, false, "a\n[b]"},
        {"selection past the end is clamped", "a", false, "aaa|", true, true, "[a]aa"},
        // Empty matches step by whole characters: never into the middle of a pair.
        {"empty match before a surrogate pair", "x*", true, "|\U0001F600b", true, false,
         "\U0001F600|b"},
        {"dot matches a whole pair", ".", true, "a|\U0001F600", true, false, "a[\U0001F600]"},
    };
    for (const Case& c : cases) {
        auto [text, selection] = parseMarked(c.marked);
        if (std::string_view(c.name) == "selection past the end is clamped")
            selection = TextRange{7, 4};
        auto found = SearchEngine::findNext(compile(c.query, c.isRegex), text, selection, c.forward,
                                            c.wraps, SearchBudget::unlimited());
        ASSERT_TRUE(found.has_value()) << c.name;
        if (!c.expected) {
            EXPECT_EQ(*found, std::nullopt) << c.name;
            continue;
        }
        ASSERT_TRUE(found->has_value()) << c.name;
        EXPECT_EQ(formatMarked(text, **found), c.expected) << c.name;
    }
}

TEST(SearchEngineTest, NoMatchStartsOrEndsInsideASurrogatePair) {
    const std::u16string text = u"\U0001F600\U0001F601a";
    // A range that starts or ends between the halves of a pair is moved out of it.
    auto all = SearchEngine::findAll(compile(".*", true), text, TextRange{1, 3}, 10,
                                     SearchBudget::unlimited());
    ASSERT_TRUE(all.has_value());
    for (const TextRange& r : all->ranges) {
        EXPECT_NE(r.location % 2, 1) << r.location;
        EXPECT_NE(r.end() % 2, 1) << r.end();
    }
    auto zeroWidth = SearchEngine::findAll(compile("x*", true), text, std::nullopt, 10,
                                           SearchBudget::unlimited());
    ASSERT_TRUE(zeroWidth.has_value());
    EXPECT_EQ(zeroWidth->ranges, (std::vector<TextRange>{{0, 0}, {2, 0}, {4, 0}, {5, 0}}));
}

TEST(SearchEngineTest, FindAllHonoursLimitAndRange) {
    auto a = compile("a");
    auto two = SearchEngine::findAll(a, u"aaa", std::nullopt, 2, SearchBudget::unlimited());
    EXPECT_EQ(*two, (FindAllResult{{{0, 1}, {1, 1}}, true}));
    auto three = SearchEngine::findAll(a, u"aaa", std::nullopt, 3, SearchBudget::unlimited());
    EXPECT_EQ(*three, (FindAllResult{{{0, 1}, {1, 1}, {2, 1}}, false}));
    // Look-behind sees the text before the range; ^ does not match at the range start.
    auto behind = SearchEngine::findAll(compile("(?<=x)a|^b", true), u"xab", TextRange{1, 2}, 10,
                                        SearchBudget::unlimited());
    EXPECT_EQ(behind->ranges, (std::vector<TextRange>{{1, 1}}));
}

TEST(SearchEngineTest, ReplacementForSelectionRequiresAnExactMatch) {
    struct Case {
        const char* name;
        const char* query;
        bool isRegex;
        const char* marked;
        const char* replacement;
        std::optional<const char*> expected;
    };
    const Case cases[] = {
        {"swap groups", "(\\w+)-(\\w+)", true, "[ab-cd]", "$2 $1", "cd ab"},
        {"plain inserts $ literally", "ab-cd", false, "[ab-cd]", "$2", "$2"},
        {"escapes in regex mode", "b", true, "a[b]c", "a\\tb\\n", "a\tb\n"},
        {"trailing backslash survives", "b", true, "a[b]c", "C:\\", "C:\\"},
        {"plain trailing backslash", "b", false, "a[b]c", "C:\\", "C:\\"},
        {"anchored match shorter than selection", "a", false, "[ab]ab", "x", std::nullopt},
        {"exact selection", "a", false, "[a]bab", "x", "x"},
        {"look-behind sees outside the selection", "(?<=a)b", true, "a[b]", "x", "x"},
        {"group 0", "\\d+", true, "n[42]", "<$0>", "<42>"},
    };
    for (const Case& c : cases) {
        auto [text, selection] = parseMarked(c.marked);
        auto result =
            SearchEngine::replacementForSelection(compile(c.query, c.isRegex), text, selection,
                                                  u16(c.replacement), SearchBudget::unlimited());
        ASSERT_TRUE(result.has_value()) << c.name;
        if (!c.expected)
            EXPECT_EQ(*result, std::nullopt) << c.name;
        else
            EXPECT_EQ(*result, std::optional<std::u16string>(u16(*c.expected))) << c.name;
    }
    // A selection outside the text is no match.
    auto outside = SearchEngine::replacementForSelection(compile("a"), u"a", TextRange{0, 2}, u"x",
                                                         SearchBudget::unlimited());
    EXPECT_EQ(*outside, std::nullopt);
}

TEST(ReplacementTemplateTest, ExpandsGroupsAndEscapes) {
    struct Case {
        const char* templateText;
        std::int32_t groupCount;
        const char* expected;
    };
    // Groups of the match "abcdefghijkl": group n is the n-th letter.
    const Case cases[] = {
        {"$2 $1", 2, "b a"},       {"$12", 1, "a2"},
        {"$12", 12, "l"},          {"$123", 12, "l3"},
        {"\\$1", 1, "$1"},         {"\\\\$1", 1, "\\a"},
        {"cost $", 1, "cost $"},   {"$x and $", 3, "$x and $"},
        {"$5", 2, "$5"},           {"end\\", 0, "end\\"},
        {"$0", 0, "abcdefghijkl"}, {"\\\U0001F600", 0, "\U0001F600"},
    };
    const std::u16string text = u"abcdefghijkl";
    for (const Case& c : cases) {
        ReplacementTemplate expander(u16(c.templateText), c.groupCount);
        auto expanded = expander.expand(text, [&](std::int32_t n) -> std::optional<TextRange> {
            if (n == 0)
                return TextRange{0, 12};
            return TextRange{n - 1, 1};
        });
        EXPECT_EQ(u8(expanded), c.expected) << c.templateText << " / " << c.groupCount;
    }
    // A group that took no part inserts nothing.
    ReplacementTemplate optional(u"[$1]", 1);
    EXPECT_EQ(optional.expand(text, [](std::int32_t) { return std::nullopt; }), u"[]");

    EXPECT_EQ(regexTemplate(u"a\\tb\\n"), u"a\tb\n");
    EXPECT_EQ(regexTemplate(u"C:\\"), u"C:\\\\");
    EXPECT_EQ(regexTemplate(u"\\\\ \\$ \\x"), u"\\\\ \\$ \\x");
    // An n carrying a combining mark is a different character, not the escape "\n".
    EXPECT_EQ(regexTemplate(u"\\n\u0308"), u"\\n\u0308");
}

TEST(SearchEngineTest, PlansAndAppliesReplaceAll) {
    auto plan = SearchEngine::planReplaceAll(compile("(\\w)(\\d)", true), u"a1 b2 c3", u"$2$1",
                                             std::nullopt, 100, SearchBudget::unlimited());
    ASSERT_TRUE(plan.has_value());
    EXPECT_EQ(plan->count, 3);
    EXPECT_FALSE(plan->truncated);
    EXPECT_EQ(plan->applied(u"a1 b2 c3"), std::optional<std::u16string>(u"1a 2b 3c"));

    // A plan cut short by its limit says so.
    auto limited = SearchEngine::planReplaceAll(compile("a"), u"aaa", u"b", std::nullopt, 2,
                                                SearchBudget::unlimited());
    EXPECT_EQ(limited->count, 2);
    EXPECT_TRUE(limited->truncated);
    auto exact = SearchEngine::planReplaceAll(compile("a"), u"aaa", u"b", std::nullopt, 3,
                                              SearchBudget::unlimited());
    EXPECT_FALSE(exact->truncated);
    EXPECT_EQ(exact->applied(u"aaa"), std::optional<std::u16string>(u"bbb"));

    ReplacePlan handMade{{{0, 1}, {2, 1}}, {u"X", u"YY"}, 2, false};
    EXPECT_EQ(handMade.applied(u"abc"), std::optional<std::u16string>(u"XbYY"));
    EXPECT_EQ(ReplacePlan{}.applied(u"abc"), std::optional<std::u16string>(u"abc"));
    // A plan that no longer fits its text is refused rather than applied out of bounds.
    EXPECT_EQ(handMade.applied(u"ab"), std::nullopt);
    ReplacePlan overlapping{{{0, 2}, {1, 1}}, {u"X", u"Y"}, 2, false};
    EXPECT_EQ(overlapping.applied(u"abc"), std::nullopt);
    ReplacePlan mismatched{{{0, 1}}, {u"X", u"Y"}, 1, false};
    EXPECT_EQ(mismatched.applied(u"abc"), std::nullopt);
    ReplacePlan negative{{{-1, 1}}, {u"X"}, 1, false};
    EXPECT_EQ(negative.applied(u"abc"), std::nullopt);
}

// One catastrophic expression is enough: each run costs the whole budget.
TEST(SearchEngineTest, BudgetStopsACatastrophicExpression) {
    const std::u16string text = std::u16string(40, u'a') + u"b";
    auto pattern = compile("(a+)+$", true);
    auto result =
        SearchEngine::findAll(pattern, text, std::nullopt, 10, SearchBudget(0.1, nullptr));
    EXPECT_EQ(result.error(), SearchFailure::timedOut());

    // Cancelled from another thread while the engine is deep inside one match attempt.
    auto token = std::make_shared<SearchCancellation>();
    std::thread canceller([token] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        token->cancel();
    });
    auto cancelled = SearchEngine::findNext(pattern, text, TextRange{0, 0}, true, true,
                                            SearchBudget(3600, token));
    canceller.join();
    EXPECT_EQ(cancelled.error(), SearchFailure::cancelled());
}

TEST(SearchEngineTest, ExpiredBudgetFailsEveryOperation) {
    auto pattern = compile("a");
    SearchBudget expired(0, nullptr);
    EXPECT_FALSE(SearchEngine::findAll(pattern, u"aaa", std::nullopt, 5, expired).has_value());
    EXPECT_FALSE(
        SearchEngine::findNext(pattern, u"aaa", TextRange{0, 0}, true, true, expired).has_value());
    EXPECT_FALSE(
        SearchEngine::replacementForSelection(pattern, u"aaa", TextRange{0, 1}, u"b", expired)
            .has_value());
    EXPECT_EQ(SearchEngine::planReplaceAll(pattern, u"aaa", u"b", std::nullopt, 5, expired).error(),
              SearchFailure::timedOut());
}

TEST(SearchEngineTest, BacktrackingExhaustionIsReportedNotSwallowed) {
    // Each repetition of the group saves engine state; a few million of them exhaust its
    // memory limit. The search must fail instead of reporting "no match".
    const std::u16string text(4'000'000, u'a');
    auto result = SearchEngine::findAll(compile("(?:a|b)*c", true), text, std::nullopt, 10,
                                        SearchBudget(10, nullptr));
    EXPECT_EQ(result.error(), SearchFailure::timedOut());
}

} // namespace
} // namespace vendrix
