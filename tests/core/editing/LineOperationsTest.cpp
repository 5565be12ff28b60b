#include "core/editing/LineOperations.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace vendrix {
namespace {

using Op = LineOperation;

/// Runs `op` on a marked text and returns the result marked the same way, or "nothing".
std::string run(Op op, std::string_view marked, int tabWidth = 4) {
    test::MarkedText input = test::parseMarked(marked);
    std::optional<TextEdit> edit = LineOperations::apply(op, input.text, input.selection, tabWidth);
    if (!edit)
        return "nothing";
    return test::formatMarked(edit->applied(input.text), edit->selection);
}

struct OperationCase {
    const char* name;
    Op op;
    const char* before;
    const char* after;
    int tabWidth = 4;
};

const OperationCase kStructuralCases[] = {
    {"duplicate caret line", Op::duplicate, "ab|c\nd", "ab|c\nabc\nd"},
    {"duplicate selection", Op::duplicate, "a[bc]d", "a[bc]bcd"},
    {"duplicate empty text", Op::duplicate, "|", "|\n"},
    {"delete only line", Op::deleteLines, "ab|c", "|"},
    {"delete second of two", Op::deleteLines, "ab\nc|d", "|ab"},
    {"delete middle", Op::deleteLines, "a\nb|b\nc", "a\n|c"},
    {"delete block ending at line start", Op::deleteLines, "0\n[1\n2\n]3\n4", "0\n|3\n4"},
    {"delete empty last line", Op::deleteLines, "a\n|", "|a"},
    {"delete in empty text", Op::deleteLines, "|", "nothing"},
    {"move up from first line", Op::moveUp, "a|b\nc", "nothing"},
    {"move up caret", Op::moveUp, "a\nb|c", "b|c\na"},
    {"move up ignores line after selection end", Op::moveUp, "x\n[a\n]b", "[a\n]x\nb"},
    {"move up two lines", Op::moveUp, "x\n[a\nb]\nc", "[a\nb]\nx\nc"},
    {"move down caret", Op::moveDown, "a|b\nc", "c\na|b"},
    {"move down into last line", Op::moveDown, "a[b\nc]d", "nothing"},
    {"move down from last line", Op::moveDown, "a\n|b", "nothing"},
    {"move down onto empty last line", Op::moveDown, "a|b\n", "\na|b"},
    {"move down to the end keeps the selection inside the text", Op::moveDown, "[a\n]b",
     "b\n[a]"},
    {"join caret line with next", Op::joinLines, "a|b  \n   cd\ne", "a|b cd\ne"},
    {"join across empty middle line", Op::joinLines, "[a\n\nb]", "[a b]"},
    {"join on last line", Op::joinLines, "a\nb|", "nothing"},
    {"join drops empty first piece", Op::joinLines, "[\n  x]", "[x]"},
    {"join trims unicode spaces", Op::joinLines, "[a\u00A0\n\u00A0b]", "[a \u00A0b]"},
};

const OperationCase kListCases[] = {
    {"sort keeps final LF", Op::sortAscending, "b\na\n|", "a\nb\n|"},
    {"sort caret stays", Op::sortAscending, "b|\na", "a|\nb"},
    {"sort selection block", Op::sortAscending, "z\n[b\na\n]y", "z\n[a\nb]\ny"},
    {"sort already sorted", Op::sortAscending, "a\nb|", "nothing"},
    {"sort descending", Op::sortDescending, "a\nc\nb|", "c\nb\na|"},
    {"dedupe keeps first", Op::removeDuplicates, "a\nb\na\n|", "a\nb\n|"},
    {"dedupe counts trailing space", Op::removeDuplicates, "a\na \n|", "nothing"},
    {"dedupe counts case", Op::removeDuplicates, "A\na|", "nothing"},
    {"trim trailing", Op::trimTrailingWhitespace, "a  \nb\t|", "a\nb|"},
    {"trim unicode spaces", Op::trimTrailingWhitespace, "a\u00A0\u3000|", "a|"},
    {"trim keeps accent on space", Op::trimTrailingWhitespace, "a \u0301|", "nothing"},
    {"trim block only", Op::trimTrailingWhitespace, "x \n[a \nb ]\nc ", "x \n[a\nb]\nc "},
    {"remove blank lines", Op::removeEmptyLines, "a\n\t\n  \nb|", "a\nb|"},
    {"remove empty lines all blank", Op::removeEmptyLines, " \n|", "|"},
    {"sorting one empty line keeps its LF", Op::sortAscending, "|\n", "nothing"},
    {"trimming the only line keeps its LF", Op::trimTrailingWhitespace, " \n|", "\n|"},
    {"tabs to spaces", Op::tabsToSpaces, "|ab\tc\n\t\tx", "|ab  c\n        x"},
    {"tabs to spaces width 0", Op::tabsToSpaces, "a\tb|", "a b|", 0},
    {"tabs to spaces after wide text counts characters", Op::tabsToSpaces, "|\u4E2D\tx",
     "|\u4E2D   x"},
    {"leading spaces to tabs", Op::leadingSpacesToTabs, "    a\n      b\n \tc|",
     "\ta\n\t  b\n\tc|"},
    {"leading spaces to tabs width -2", Op::leadingSpacesToTabs, "  a|", "\t\ta|", -2},
};

const OperationCase kCaseCases[] = {
    {"upper caret line, dotless result", Op::upperCase, "i|stanbul\nx", "I|STANBUL\nx"},
    {"upper sharp s grows", Op::upperCase, "[straße]", "[STRASSE]"},
    {"upper selection only", Op::upperCase, "ab[cd]ef", "ab[CD]ef"},
    {"lower dotted capital I", Op::lowerCase, "[İSTANBUL]", "[istanbul]"},
    {"lower plain I is i", Op::lowerCase, "[IŞIK]", "[işik]"},
    {"lower nothing to do", Op::lowerCase, "ab|c", "nothing"},
    {"title words", Op::titleCase, "[hello WORLD]", "[Hello World]"},
    {"title apostrophes stay inside words", Op::titleCase, "[it's o’neil ’tis]",
     "[It's O’neil ’tis]"},
    {"title digits are word characters", Op::titleCase, "[2ND place-x]", "[2nd Place-X]"},
    {"title dotted I inside a word", Op::titleCase, "[İSTANBUL iğde]", "[İstanbul Iğde]"},
    {"title caret line", Op::titleCase, "ab|c def\nx", "Ab|c Def\nx"},
};

class LineOperationTable : public ::testing::TestWithParam<OperationCase> {};

TEST_P(LineOperationTable, ProducesMarkedResult) {
    const OperationCase& c = GetParam();
    EXPECT_EQ(run(c.op, c.before, c.tabWidth), c.after) << c.name;
}

std::string caseName(const ::testing::TestParamInfo<OperationCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p)
        name.push_back(std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Structural, LineOperationTable, ::testing::ValuesIn(kStructuralCases),
                         caseName);
INSTANTIATE_TEST_SUITE_P(LineLists, LineOperationTable, ::testing::ValuesIn(kListCases), caseName);
INSTANTIATE_TEST_SUITE_P(CaseChanges, LineOperationTable, ::testing::ValuesIn(kCaseCases),
                         caseName);

TEST(LineOperationsTest, SelectionOutsideTheTextIsClamped) {
    std::u16string text = u"abc";
    auto edit = LineOperations::apply(Op::upperCase, text, {100, 5}, 4);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->applied(text), u"ABC");
    EXPECT_EQ(edit->selection, (TextRange{3, 0}));
    auto negative = LineOperations::apply(Op::duplicate, text, {-4, 2}, 4);
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->applied(text), u"abab"
                                       u"c");
}

TEST(LineOperationsTest, EveryOperationHandlesEmptyAndLFOnlyTexts) {
    for (Op op : lineOperation::allCases) {
        for (std::u16string text : {std::u16string(), std::u16string(u"\n\n")}) {
            for (TextRange selection : {TextRange{0, 0}, TextRange{0, 2}, TextRange{1, 1}}) {
                auto edit = LineOperations::apply(op, text, selection, 4);
                if (!edit)
                    continue;
                EXPECT_TRUE(edit->range.fits(static_cast<std::int64_t>(text.size())));
                std::u16string after = edit->applied(text);
                EXPECT_NE(after, text) << lineOperation::rawValue(op);
                EXPECT_TRUE(edit->selection.fits(static_cast<std::int64_t>(after.size())))
                    << lineOperation::rawValue(op);
            }
        }
    }
}

TEST(LineOperationsTest, RawValuesRoundTrip) {
    for (Op op : lineOperation::allCases)
        EXPECT_EQ(lineOperation::fromRawValue(lineOperation::rawValue(op)), op);
    EXPECT_EQ(lineOperation::rawValue(Op::trimTrailingWhitespace), "trimTrailingWhitespace");
    EXPECT_FALSE(lineOperation::fromRawValue("SortAscending"));
    EXPECT_FALSE(lineOperation::fromRawValue("indent"));
}

TEST(LineOperationsTest, DuplicateLinesTakesWholeBlock) {
    test::MarkedText m = test::parseMarked("x\na[b\nc]d\ny");
    TextEdit edit = LineOperations::duplicateLines(m.text, LineIndex(m.text), m.selection);
    EXPECT_EQ(test::formatMarked(edit.applied(m.text), edit.selection), "x\na[b\nc]d\nab\ncd\ny");
    m = test::parseMarked("[ab\n]c");
    edit = LineOperations::duplicateLines(m.text, LineIndex(m.text), m.selection);
    EXPECT_EQ(edit.applied(m.text), u"ab\nab\nc");
}

TEST(LineOperationsTest, IndentAndOutdent) {
    struct Case {
        const char* name;
        const char* before;
        const char* after;
    };
    const Case indents[] = {
        {"skips empty lines", "[a\n\nb]", "[\ta\n\n\tb]"},
        {"caret within one line takes the line", "a|b", "[\tab]"},
        {"only empty lines", "x\n|\ny", "nothing"},
    };
    for (const Case& c : indents) {
        test::MarkedText m = test::parseMarked(c.before);
        auto edit = LineOperations::indent(m.text, LineIndex(m.text), m.selection, u"\t");
        EXPECT_EQ(edit ? test::formatMarked(edit->applied(m.text), edit->selection) : "nothing",
                  c.after)
            << c.name;
    }
    const Case outdents[] = {
        {"four of six spaces, a tab, nothing", "[      a\n\tb\nc]", "[  a\nb\nc]"},
        {"caret moves back", "      |a", "  |a"},
        {"caret not before line start", "  |    a", "|  a"},
        {"tab only when no leading space", " \tx|", "\tx|"},
        {"nothing to remove", "ab|c", "nothing"},
    };
    for (const Case& c : outdents) {
        test::MarkedText m = test::parseMarked(c.before);
        auto edit = LineOperations::outdent(m.text, LineIndex(m.text), m.selection, 4);
        EXPECT_EQ(edit ? test::formatMarked(edit->applied(m.text), edit->selection) : "nothing",
                  c.after)
            << c.name;
    }
    // A tab width below 1 removes one space per step.
    test::MarkedText m = test::parseMarked("   a|");
    auto edit = LineOperations::outdent(m.text, LineIndex(m.text), m.selection, 0);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->applied(m.text), u"  a");
}

TEST(LineOperationsTest, StringFunctions) {
    EXPECT_EQ(LineOperations::expandTabs(u"ab\tc", 4), u"ab  c");
    EXPECT_EQ(LineOperations::expandTabs(u"\t\tx", 4), u"        x");
    EXPECT_EQ(LineOperations::expandTabs(u"a\tb", 0), u"a b");
    EXPECT_EQ(LineOperations::expandTabs(u"a\nb\tc", 4), u"a\nb c") << "LF does not reset";
    EXPECT_EQ(LineOperations::expandTabs(u"e\u0301\tx", 4), u"e\u0301   x")
        << "a combining accent is part of its character";
    EXPECT_EQ(LineOperations::tabifyLeading(u"    a", 4), u"\ta");
    EXPECT_EQ(LineOperations::tabifyLeading(u"      a", 4), u"\t  a");
    EXPECT_EQ(LineOperations::tabifyLeading(u" \ta", 4), u"\ta");
    EXPECT_EQ(LineOperations::tabifyLeading(u"     ", 4), u"\t ");
    EXPECT_EQ(LineOperations::tabifyLeading(u"a    ", 4), u"a    ");
    EXPECT_EQ(LineOperations::upper(u"i"), u"I");
    EXPECT_EQ(LineOperations::upper(u"ı"), u"I");
    EXPECT_EQ(LineOperations::upper(u"ǆ"), u"Ǆ");
    EXPECT_EQ(LineOperations::lower(u"\u0130"), u"i");
    EXPECT_EQ(LineOperations::lower(u"I"), u"i");
    EXPECT_EQ(LineOperations::lower(u"ΣΑΣ"), u"σας") << "final sigma by full mapping";
    EXPECT_EQ(LineOperations::title(u"ﬁne day"), u"FIne Day") << "full upper-casing of a ligature";
}

TEST(LineOperationsTest, OutOfStepLineIndexIsRefused) {
    std::u16string text = u"a\nb\nc";
    LineIndex stale(std::u16string_view(u"a\nb"));
    EXPECT_DEBUG_DEATH(
        {
            auto edit = LineOperations::apply(Op::deleteLines, text, stale, {4, 0}, 4);
            EXPECT_FALSE(edit);
        },
        "out of step");
}

TEST(TextEditTest, AppliedReplacesRangeAndRefusesRangesOutsideTheText) {
    TextEdit edit{{1, 2}, u"XY", {1, 2}};
    EXPECT_EQ(edit.applied(u"abcd"), u"aXYd");
    EXPECT_EQ((TextEdit{{3, 2}, u"X", {}}.applied(u"abcd")), u"abcd");
    EXPECT_EQ((TextEdit{{-1, 1}, u"X", {}}.applied(u"abcd")), u"abcd");
    EXPECT_EQ((TextEdit{{4, 0}, u"!", {}}.applied(u"abcd")), u"abcd!");
}

} // namespace
} // namespace vendrix

namespace vendrix {
namespace {

std::u16string randomText(std::mt19937& rng) {
    static const std::u16string pieces[] = {u"a", u"B", u" ",      u"\t", u"ç",
                                            u"İ", u"ı", u"\u00A0", u"é",  u"e\u0301",
                                            u"ß", u"'", u"\n",     u"\n", u"x"};
    std::u16string text;
    for (int n = std::uniform_int_distribution<int>(0, 24)(rng); n > 0; --n)
        text += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(rng)];
    return text;
}

TEST(LineOperationsTest, RandomTextsGiveWellFormedEdits) {
    std::mt19937 rng(5);
    for (int round = 0; round < 1500; ++round) {
        const std::u16string text = randomText(rng);
        const auto length = static_cast<std::int64_t>(text.size());
        const LineIndex index(text);
        std::uniform_int_distribution<std::int64_t> position(-2, length + 2);
        const TextRange selection{position(rng), std::max<std::int64_t>(0, position(rng))};
        const int tabWidth = std::uniform_int_distribution<int>(-1, 8)(rng);
        for (Op op : lineOperation::allCases) {
            SCOPED_TRACE(std::string(lineOperation::rawValue(op)) + " on \"" + test::u8(text) +
                         "\"");
            auto edit = LineOperations::apply(op, text, index, selection, tabWidth);
            if (!edit)
                continue;
            ASSERT_TRUE(edit->range.fits(length));
            const std::u16string after = edit->applied(text);
            EXPECT_NE(after, text);
            EXPECT_TRUE(edit->selection.fits(static_cast<std::int64_t>(after.size())));

            // Commands that reorder or filter lines are idempotent (on the same kind of
            // selection: a block emptied entirely leaves a caret, which means the whole text).
            const bool caret = selection.length == 0 || selection.location >= length;
            if ((edit->selection.length == 0) == caret &&
                (op == Op::sortAscending || op == Op::sortDescending ||
                 op == Op::removeDuplicates || op == Op::trimTrailingWhitespace ||
                 op == Op::removeEmptyLines || op == Op::tabsToSpaces ||
                 op == Op::leadingSpacesToTabs)) {
                EXPECT_FALSE(LineOperations::apply(op, after, edit->selection, tabWidth));
            }
            // A sort only reorders lines.
            if (op == Op::sortAscending) {
                auto lines = [](std::u16string_view s) {
                    std::vector<std::u16string> out;
                    std::size_t at = 0;
                    for (std::size_t lf; (lf = s.find(u'\n', at)) != s.npos; at = lf + 1)
                        out.emplace_back(s.substr(at, lf - at));
                    out.emplace_back(s.substr(at));
                    std::sort(out.begin(), out.end());
                    return out;
                };
                EXPECT_EQ(lines(after), lines(text));
            }
            // Moving a caret's line down and back up restores the text.
            if (op == Op::moveDown && caret) {
                auto back = LineOperations::apply(Op::moveUp, after, edit->selection, tabWidth);
                ASSERT_TRUE(back);
                EXPECT_EQ(back->applied(after), text);
            }
        }
    }
}

} // namespace
} // namespace vendrix
