#include "core/search/SearchPattern.h"
#include "core/search/SearchBudget.h"
#include "core/search/SearchEngine.h"
#include "support/TestSupport.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vendrix {
namespace {

using test::u16;
using test::u8;

std::vector<TextRange> matches(const SearchOptions& options, std::u16string_view text) {
    auto pattern = SearchPattern::compile(options);
    EXPECT_TRUE(pattern.has_value()) << u8(options.query);
    if (!pattern)
        return {};
    auto result = SearchEngine::findAll(*pattern, text, std::nullopt, SearchEngine::defaultLimit,
                                        SearchBudget::unlimited());
    EXPECT_TRUE(result.has_value());
    // Whatever path the search took, the expression engine alone must agree.
    auto engine = SearchEngine::findAll(pattern->withoutLiteralFastPath(), text, std::nullopt,
                                        SearchEngine::defaultLimit, SearchBudget::unlimited());
    EXPECT_EQ(result, engine) << u8(options.query);
    return result ? result->ranges : std::vector<TextRange>{};
}

SearchOptions plain(const char* query, bool matchCase = false, bool wholeWord = false) {
    return SearchOptions{u16(query), false, matchCase, wholeWord};
}
SearchOptions regex(const char* query, bool matchCase = false, bool wholeWord = false) {
    return SearchOptions{u16(query), true, matchCase, wholeWord};
}

TEST(SearchOptionsTest, EncodesExactlyFourKeysAndDecodesOnlyCompleteObjects) {
    SearchOptions options{u"İstanbul", true, false, true};
    nlohmann::json json = options.toJSON();
    EXPECT_EQ(json.size(), 4u);
    EXPECT_EQ(json["query"], "İstanbul");
    EXPECT_EQ(SearchOptions::fromJSON(json), options);

    nlohmann::json missing = json;
    missing.erase("wholeWord");
    EXPECT_EQ(SearchOptions::fromJSON(missing), std::nullopt);
    nlohmann::json wrongType = json;
    wrongType["isRegex"] = "yes";
    EXPECT_EQ(SearchOptions::fromJSON(wrongType), std::nullopt);
    EXPECT_EQ(SearchOptions::fromJSON(nlohmann::json::array()), std::nullopt);
}

TEST(SearchPatternTest, RejectsEmptyAndInvalidQueries) {
    for (bool isRegex : {false, true})
        for (bool wholeWord : {false, true})
            EXPECT_EQ(SearchPattern::compile(SearchOptions{u"", isRegex, false, wholeWord}).error(),
                      SearchFailure::emptyQuery());
    EXPECT_EQ(SearchPattern::compile(regex("(")).error(), SearchFailure::invalidPattern(u"("));
    // The whole-word wrapper must neither hide an invalid expression nor report its own text.
    EXPECT_EQ(SearchPattern::compile(regex("a)|(b", false, true)).error(),
              SearchFailure::invalidPattern(u"a)|(b"));
    EXPECT_EQ(SearchPattern::compile(regex("(", true, true)).error(),
              SearchFailure::invalidPattern(u"("));
    EXPECT_EQ(SearchPattern::compile(regex("ab\\")).error(),
              SearchFailure::invalidPattern(u"ab\\"));
    // Plain queries are never invalid, whatever they hold.
    EXPECT_TRUE(SearchPattern::compile(plain("a)|(b[\\", false, true)).has_value());
}

TEST(SearchPatternTest, WholeWordKeepsTheMeaningOfOpenEndedExpressions) {
    // A \Q quote without \E, and a free-spacing comment, run to the end of the expression.
    EXPECT_EQ(matches(regex("\\Qa.b", true, true), u"a.b xa.b a.b"),
              (std::vector<TextRange>{{0, 3}, {9, 3}}));
    EXPECT_EQ(matches(regex("(?x) foo # the word", true, true), u"foo food foo"),
              (std::vector<TextRange>{{0, 3}, {9, 3}}));
    // Capture groups keep their numbers inside the wrapper.
    EXPECT_EQ(matches(regex("(a)\\1", true, true), u"aa aaa"), (std::vector<TextRange>{{0, 2}}));
}

TEST(SearchPatternTest, TranslatesOptionsIntoMatches) {
    struct Case {
        const char* name;
        SearchOptions options;
        const char* text;
        std::vector<TextRange> expected;
    };
    const Case cases[] = {
        {"plain dot is literal", plain("a.b"), "a.b axb", {{0, 3}}},
        {"regex dot is any", regex("a.b"), "a.b axb", {{0, 3}, {4, 3}}},
        {"metacharacters are literal",
         plain("(x)*[y]{2}|$^\\/+?"),
         "(x)*[y]{2}|$^\\/+?",
         {{0, 17}}},
        {"istanbul without case",
         plain("istanbul"),
         "İSTANBUL ISTANBUL ıstanbul istanbul",
         {{0, 8}, {9, 8}, {18, 8}, {27, 8}}},
        {"istanbul with case", plain("istanbul", true), "İSTANBUL ıstanbul istanbul", {{18, 8}}},
        {"dotted capital query", plain("İzmir"), "izmir IZMIR ızmir", {{0, 5}, {6, 5}, {12, 5}}},
        {"regex gets no i rewriting", regex("istanbul"), "İSTANBUL ISTANBUL ıstanbul", {{9, 8}}},
        {"whole word",
         plain("foo", false, true),
         "foo_bar foo1 şfoo (foo) foo",
         {{19, 3}, {24, 3}}},
        {"whole word with Turkish letters",
         plain("kış", false, true),
         "kışın kış akış KIŞ",
         {{6, 3}, {15, 3}}},
        {"whole word regex",
         regex("\\w+ing", false, true),
         "sing singer bringing",
         {{0, 4}, {12, 8}}},
        {"whole word next to a supplementary letter",
         plain("ab", true, true),
         "\U0001D400ab ab",
         {{5, 2}}},
        {"anchors match lines", regex("^a$", true), "a\nb\na", {{0, 1}, {4, 1}}},
        {"sigma forms fold together", plain("σς"), "ΣΣ σσ", {{0, 2}, {3, 2}}},
        {"ß matches ss without case", plain("ss"), "Straße", {{4, 1}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matches(c.options, u16(c.text)), c.expected) << c.name;
}

TEST(SearchBudgetTest, ChecksCancellationBeforeTheDeadline) {
    EXPECT_EQ(SearchBudget::unlimited().check(), std::nullopt);
    EXPECT_EQ(SearchBudget::unlimited().deadline(), UINT64_MAX);
    EXPECT_EQ(SearchBudget(0, nullptr).check(), SearchFailure::timedOut());
    EXPECT_EQ(SearchBudget(-5, nullptr).check(), SearchFailure::timedOut());
    for (double none : {std::numeric_limits<double>::infinity(), std::nan(""), 1e300})
        EXPECT_EQ(SearchBudget(none, nullptr).deadline(), UINT64_MAX) << none;

    auto token = std::make_shared<SearchCancellation>();
    SearchBudget budget(3600, token);
    EXPECT_EQ(budget.check(), std::nullopt);
    token->cancel();
    EXPECT_TRUE(token->isCancelled());
    EXPECT_EQ(budget.check(), SearchFailure::cancelled());
    // Cancellation wins over an expired deadline.
    EXPECT_EQ(SearchBudget(0, token).check(), SearchFailure::cancelled());
}

} // namespace
} // namespace vendrix
