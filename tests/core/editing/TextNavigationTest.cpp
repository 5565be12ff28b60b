#include "core/editing/TextNavigation.h"

#include "core/common/TextSource.h"
#include "core/text/LineIndex.h"

#include <gtest/gtest.h>

#include <string>

using namespace vendrix;

namespace {

struct Text {
    explicit Text(std::u16string s) : text(std::move(s)), source(text), lines(text) {}
    TextNavigation nav() const { return TextNavigation(source, lines); }
    std::u16string text;
    StringTextSource source;
    LineIndex lines;
};

TEST(TextNavigation, CharacterMovesStepOverWholeClusters) {
    // a, woman-woman-girl (ZWJ sequence), e + combining acute, a flag, LF, b
    Text t(u"a\U0001F469\u200D\U0001F469\u200D\U0001F467e\u0301\U0001F1F9\U0001F1F7\nb");
    TextNavigation nav = t.nav();
    const std::int64_t family = 1, accent = 9, flag = 11, lf = 15;
    EXPECT_EQ(nav.nextCharacter(0), family);
    EXPECT_EQ(nav.nextCharacter(family), accent);
    EXPECT_EQ(nav.nextCharacter(accent), flag);
    EXPECT_EQ(nav.nextCharacter(flag), lf);
    EXPECT_EQ(nav.nextCharacter(lf), lf + 1);
    EXPECT_EQ(nav.previousCharacter(lf + 1), lf);
    EXPECT_EQ(nav.previousCharacter(lf), flag);
    EXPECT_EQ(nav.previousCharacter(flag), accent);
    EXPECT_EQ(nav.previousCharacter(accent), family);
    EXPECT_EQ(nav.snapToCharacter(family + 3), family);
    EXPECT_EQ(nav.snapToCharacter(accent + 1), accent);
    EXPECT_EQ(nav.snapToCharacter(accent), accent);
    EXPECT_EQ(nav.nextCharacter(static_cast<std::int64_t>(t.text.size())),
              static_cast<std::int64_t>(t.text.size()));
    EXPECT_EQ(nav.previousCharacter(0), 0);
}

TEST(TextNavigation, WordMovesSkipSpaceThenOneRunOfWordsOrPunctuation) {
    Text t(u"foo bar();  çalış_2\n  x");
    TextNavigation nav = t.nav();
    EXPECT_EQ(nav.nextWordEnd(0), 3);
    EXPECT_EQ(nav.nextWordEnd(3), 7);   // " bar"
    EXPECT_EQ(nav.nextWordEnd(7), 10);  // "();"
    EXPECT_EQ(nav.nextWordEnd(10), 19); // "  çalış_2": underscore and digits are word characters
    EXPECT_EQ(nav.nextWordEnd(19), 20); // over the LF
    EXPECT_EQ(nav.previousWordStart(10), 7);
    EXPECT_EQ(nav.previousWordStart(7), 4);
    EXPECT_EQ(nav.previousWordStart(20), 19);
    EXPECT_EQ(nav.previousWordStart(22), 20); // only spaces back to the line start
    EXPECT_EQ(nav.nextWordEnd(20), 23);
}

TEST(TextNavigation, WordRangeIsTheRunUnderTheOffsetWithItsMarks) {
    Text t(u"cafe\u0301 = x;\n\nend");
    TextNavigation nav = t.nav();
    EXPECT_EQ(nav.wordRange(2), (TextRange{0, 5}));
    EXPECT_EQ(nav.wordRange(4), (TextRange{0, 5})); // inside the accented letter
    EXPECT_EQ(nav.wordRange(5), (TextRange{5, 1})); // the space run
    EXPECT_EQ(nav.wordRange(6), (TextRange{6, 1})); // "="
    EXPECT_EQ(nav.wordRange(11), (TextRange{11, 0})); // an empty line
    EXPECT_EQ(nav.wordRange(10), (TextRange{9, 1}));  // the line end: its last run
    EXPECT_EQ(nav.lineRangeWithBreak(1), (TextRange{0, 11}));
    EXPECT_EQ(nav.lineRangeWithBreak(13), (TextRange{12, 3}));
}

TEST(TextNavigation, WordsLongerThanAReadChunkAndClustersAcrossItsEdge) {
    // A cluster (e + three combining marks) straddles the 4096-unit chunk edge.
    std::u16string text(4095, u'a');
    text += u"e\u0301\u0302\u0303";
    text += std::u16string(6000, u'b');
    text += u" tail";
    Text t(text);
    TextNavigation nav = t.nav();
    const auto wordEnd = static_cast<std::int64_t>(text.size()) - 5;
    EXPECT_EQ(nav.nextWordEnd(0), wordEnd);
    EXPECT_EQ(nav.previousWordStart(wordEnd), 0);
    EXPECT_EQ(nav.wordRange(5000), (TextRange{0, wordEnd}));
    EXPECT_EQ(nav.snapToCharacter(4097), 4095);
}

} // namespace
