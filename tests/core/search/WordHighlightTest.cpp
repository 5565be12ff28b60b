#include "core/search/WordHighlight.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace vendrix {
namespace {

using test::parseMarked;
using test::u16;

TEST(WordHighlightTest, CandidateIsAWholeWordSelection) {
    struct Case {
        const char* marked;
        std::optional<const char*> expected;
    };
    const Case cases[] = {
        {"[foo] foo_bar foo", "foo"},
        {"f[oo] bar", std::nullopt},
        {"[foo bar]", std::nullopt},
        {"foo| bar", std::nullopt},
        {"[nai\u0308ve] x", "nai\u0308ve"},
        {"([ış]) ", "ış"},
        {"[x1_]", "x1_"},
        {"a[\U0001D400]b", std::nullopt}, // letters on both sides
        {"-[\U0001D400]-", "\U0001D400"}, // a supplementary letter is a word character
    };
    for (const Case& c : cases) {
        auto [text, selection] = parseMarked(c.marked);
        auto candidate = WordHighlight::candidate(text, selection);
        if (!c.expected)
            EXPECT_EQ(candidate, std::nullopt) << c.marked;
        else
            EXPECT_EQ(candidate, std::optional<std::u16string>(u16(*c.expected))) << c.marked;
    }
    // A lone surrogate inside the selection is not a word character.
    const std::u16string lone = std::u16string(u"a") + u'\xD800' + u" ";
    EXPECT_EQ(WordHighlight::candidate(lone, TextRange{0, 2}), std::nullopt);
    // Length limits.
    const std::u16string longWord(101, u'a');
    EXPECT_EQ(WordHighlight::candidate(longWord, TextRange{0, 101}), std::nullopt);
    EXPECT_EQ(WordHighlight::candidate(longWord, TextRange{0, 100}), std::nullopt); // not whole
    const std::u16string hundred(100, u'a');
    EXPECT_TRUE(WordHighlight::candidate(hundred, TextRange{0, 100}).has_value());
    EXPECT_EQ(WordHighlight::candidate(u"ab", TextRange{1, 5}), std::nullopt);
}

TEST(WordHighlightTest, OccurrencesAreWholeCaseSensitiveAndLimited) {
    const std::u16string text = u"foo foo_bar foo Foo (foo)";
    EXPECT_EQ(WordHighlight::occurrences(u"foo", text, TextRange{0, 25}, 2000),
              (std::vector<TextRange>{{0, 3}, {12, 3}, {21, 3}}));
    EXPECT_EQ(WordHighlight::occurrences(u"foo", text, TextRange{0, 25}, 1),
              (std::vector<TextRange>{{0, 3}}));
    // The range limits where occurrences may lie; the characters around them still count.
    EXPECT_EQ(WordHighlight::occurrences(u"foo", text, TextRange{1, 6}, 2000),
              std::vector<TextRange>{});
    EXPECT_EQ(WordHighlight::occurrences(u"foo", text, TextRange{13, 12}, 2000),
              (std::vector<TextRange>{{21, 3}}));
    EXPECT_EQ(WordHighlight::occurrences(u"", text, TextRange{0, 25}, 2000),
              std::vector<TextRange>{});
    EXPECT_EQ(WordHighlight::occurrences(u"aa", u"aaa aa", TextRange{0, 100}, 2000),
              (std::vector<TextRange>{{4, 2}}));
}

} // namespace
} // namespace vendrix
