// The literal fast path must find exactly what the compiled expression finds.
#include "core/search/LiteralMatcher.h"
#include "core/search/SearchEngine.h"
#include "support/TestSupport.h"

#include <unicode/uchar.h>

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

using test::u16;
using test::u8;

SearchPattern compiled(std::u16string query, bool matchCase, bool wholeWord) {
    auto pattern =
        SearchPattern::compile(SearchOptions{std::move(query), false, matchCase, wholeWord});
    EXPECT_TRUE(pattern.has_value());
    return *pattern;
}

std::vector<TextRange> findAllWith(const SearchPattern& pattern, std::u16string_view text) {
    auto result = SearchEngine::findAll(pattern, text, std::nullopt, SearchEngine::defaultLimit,
                                        SearchBudget::unlimited());
    EXPECT_TRUE(result.has_value());
    return result ? result->ranges : std::vector<TextRange>{};
}

// Characters chosen for their case behaviour: Turkish i letters, expanding foldings (ß, ẞ,
// ligatures, İ), sigma forms, long s, Kelvin sign, a combining mark that folds to iota,
// word boundary characters, a surrogate pair and lone surrogate halves.
const std::vector<std::u16string> kAlphabet = {
    u"a",          u"b",          u"s",      u"S",      u"t",      u"f",      u"i",
    u"I",          u"\u0130",     u"\u0131", u"\u015F", u"\u015E", u"\u011F", u"\u011E",
    u"\u00DF",     u"\u1E9E",     u"\uFB01", u"\uFB06", u"\u03C3", u"\u03C2", u"\u03A3",
    u"\u017F",     u"\u212A",     u"k",      u"K",      u"\u0345", u"\u03B9", u"\u0307",
    u"_",          u"1",          u" ",      u"\n",     u".",      u"(",      u"\U0001D400",
    u"\U00010428", u"\U00010400", u"\xD801", u"\xDC00", u"\u01C5", u"\u01C4", u"\u01C6",
    u"\u2126",     u"\u03C9",     u"\u0149"};

std::u16string randomString(std::mt19937& rng, size_t minLength, size_t maxLength) {
    std::uniform_int_distribution<size_t> lengthDist(minLength, maxLength);
    std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
    std::u16string out;
    for (size_t n = lengthDist(rng); n > 0; --n)
        out += kAlphabet[pick(rng)];
    return out;
}

TEST(LiteralFastPathTest, FindsExactlyWhatTheExpressionFinds) {
    std::mt19937 rng(20260712);
    int fastQueries = 0;
    for (int round = 0; round < 1200; ++round) {
        std::u16string text = randomString(rng, 0, 80);
        // Queries are often cut from the text so that matches are frequent.
        std::u16string query;
        if (round % 2 == 0 && !text.empty()) {
            std::uniform_int_distribution<size_t> at(0, text.size() - 1);
            size_t start = at(rng);
            query = text.substr(start, std::uniform_int_distribution<size_t>(1, 4)(rng));
        } else {
            query = randomString(rng, 1, 3);
        }
        for (int flags = 0; flags < 4; ++flags) {
            const bool matchCase = (flags & 1) != 0;
            const bool wholeWord = (flags & 2) != 0;
            auto pattern =
                SearchPattern::compile(SearchOptions{query, false, matchCase, wholeWord});
            ASSERT_TRUE(pattern.has_value()) << u8(query);
            if (!pattern->literal())
                continue;
            ++fastQueries;
            auto fast = findAllWith(*pattern, text);
            auto engine = findAllWith(pattern->withoutLiteralFastPath(), text);
            ASSERT_EQ(fast, engine) << "query \"" << u8(query) << "\" text \"" << u8(text)
                                    << "\" matchCase " << matchCase << " wholeWord " << wholeWord;
        }
    }
    // The fast path must actually be taken for most queries.
    EXPECT_GT(fastQueries, 2400);
}

TEST(LiteralFastPathTest, TakesTheFastPathOnlyWhereItIsExact) {
    struct Case {
        const char* query;
        bool matchCase;
        bool fast;
    };
    const Case cases[] = {
        {"istanbul", false, true},   {"İSTANBUL", false, true}, {"stra\u00DFe", false, false},
        {"stra\u00DFe", true, true}, {"\uFB01", false, false},  {"\U0001D400", false, false},
        {"\U0001D400", true, true},  {"a.b", false, true},
    };
    for (const Case& c : cases) {
        auto pattern = compiled(u16(c.query), c.matchCase, false);
        EXPECT_EQ(pattern.literal() != nullptr, c.fast) << c.query;
    }
    // A lone surrogate in the query goes to the engine.
    EXPECT_EQ(compiled(std::u16string(1, u'\xD800'), true, false).literal(), nullptr);
}

TEST(LiteralFastPathTest, ExpandingTextCharactersSendTheSearchToTheEngine) {
    // "ss" without case matches "ß" (full case folding); the fast path must not miss it.
    auto pattern = compiled(u"ss", false, false);
    ASSERT_NE(pattern.literal(), nullptr);
    EXPECT_FALSE(pattern.literal()->isExactFor(u"Stra\u00DFe", 0, 6));
    EXPECT_TRUE(pattern.literal()->isExactFor(u"Strasse", 0, 7));
    EXPECT_EQ(findAllWith(pattern, u"Stra\u00DFe Strasse"),
              (std::vector<TextRange>{{4, 1}, {11, 2}}));
    // "st" meets the ligature ﬆ the same way.
    EXPECT_EQ(findAllWith(compiled(u"st", false, false), u"\uFB06ep step"),
              (std::vector<TextRange>{{0, 1}, {4, 2}}));
    // "fi" does not meet ﬁ: its i matches any of i, I, İ, ı as one character, so "f" and
    // "i" are compared one by one.
    EXPECT_EQ(findAllWith(compiled(u"fi", false, false), u"\uFB01le file"),
              (std::vector<TextRange>{{4, 2}}));
}

// The folding tables assume that no character outside the BMP folds into it, and that an
// expanding character never shares its simple folding with a non-expanding one.
TEST(LiteralFastPathTest, FoldingAssumptionsHoldForThisUnicodeVersion) {
    for (UChar32 c = 0x10000; c <= 0x10FFFF; ++c)
        ASSERT_GE(u_foldCase(c, U_FOLD_CASE_DEFAULT), 0x10000) << std::hex << c;
    for (UChar32 c = 0; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        UChar32 simple = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        ASSERT_LT(simple, 0x10000);
        if (literalFolding::expands(static_cast<char32_t>(c)) && simple != c) {
            ASSERT_TRUE(literalFolding::expands(static_cast<char32_t>(simple))) << std::hex << c;
        }
    }
}

} // namespace
} // namespace vendrix
