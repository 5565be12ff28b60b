#include "core/editing/ColumnEditing.h"
#include "core/editing/ColumnLayout.h"
#include "core/editing/TextEdit.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {

void PrintTo(const ColumnSelection& s, std::ostream* out) {
    *out << "{anchor " << s.anchor.line << ":" << s.anchor.column << ", active " << s.active.line
         << ":" << s.active.column;
    if (s.caretColumns) {
        *out << ", carets";
        for (std::int64_t c : *s.caretColumns)
            *out << " " << c;
    }
    *out << "}";
}

namespace {

using test::u16;
using test::u8;
using Deletion = ColumnEditing::Deletion;

ColumnSelection rect(std::int64_t topLine, std::int64_t left, std::int64_t bottomLine,
                     std::int64_t right) {
    return {{topLine, left}, {bottomLine, right}, std::nullopt};
}

struct TypingCase {
    const char* name;
    const char* text;
    ColumnSelection selection;
    const char* typed;
    const char* after;
    ColumnSelection selectionAfter;
};

TEST(ColumnEditingTest, Typing) {
    const TypingCase cases[] = {
        {"caret on three lines", "0123456789\n0123456789\n0123456789", rect(0, 4, 2, 4), "x",
         "0123x456789\n0123x456789\n0123x456789", rect(0, 5, 2, 5)},
        {"short middle line is not padded", "0123456789\nabc\n0123456789", rect(0, 8, 2, 8), "x",
         "01234567x89\nabc\n01234567x89", rect(0, 9, 2, 9)},
        {"tab moves to the tab stop", "abcd\nabcd", rect(0, 1, 1, 1), "\t", "a\tbcd\na\tbcd",
         rect(0, 4, 1, 4)},
        {"typing over a rectangle", "abcdef\nabcdef", rect(0, 1, 1, 3), "X", "aXdef\naXdef",
         rect(0, 2, 1, 2)},
        {"wide character straddling the caret makes carets ragged",
         "a\u4E2Dbc\nabcd",
         {{0, 2}, {1, 2}, std::nullopt},
         "x",
         "ax\u4E2Dbc\nabxcd",
         {{0, 3}, {1, 3}, std::vector<std::int64_t>{2, 3}}},
        {"unreached wide line keeps its caret",
         "0123456789\nabcde",
         {{0, 2}, {1, 2}, std::vector<std::int64_t>{2, 8}},
         "x",
         "01x23456789\nabcde",
         {{0, 3}, {1, 3}, std::vector<std::int64_t>{3, 8}}},
        {"selection below the text pads caret columns",
         "ab\nab",
         {{0, 1}, {3, 1}, std::vector<std::int64_t>{1, 0}},
         "x",
         "axb\nxab",
         {{0, 2}, {3, 2}, std::vector<std::int64_t>{2, 1, 2, 2}}},
    };
    for (const TypingCase& c : cases) {
        std::u16string text = u16(c.text);
        ColumnEdit edit =
            ColumnEditing::insert(u16(c.typed), c.selection, text, LineIndex(text), 4);
        EXPECT_EQ(u8(edit.applied(text)), c.after) << c.name;
        EXPECT_EQ(edit.selection, c.selectionAfter) << c.name;
        EXPECT_FALSE(edit.caret) << c.name;
    }
}

TEST(ColumnEditingTest, TypingWhereNoLineIsReachedChangesNothing) {
    std::u16string text = u"ab\ncd";
    ColumnEdit edit = ColumnEditing::insert(u"x", rect(0, 5, 1, 5), text, LineIndex(text), 4);
    EXPECT_TRUE(edit.ranges.empty());
    EXPECT_EQ(edit.selection, rect(0, 5, 1, 5));
}

struct DeletionCase {
    const char* name;
    const char* text;
    ColumnSelection selection;
    Deletion kind;
    const char* after;
    ColumnSelection selectionAfter; ///< kUnchanged: the edit has no ranges
};

const ColumnSelection kUnchanged{{-1, -1}, {-1, -1}, std::nullopt};

TEST(ColumnEditingTest, Deleting) {
    const std::vector<DeletionCase> cases = {
        {"backspace at column 0 changes nothing", "ab\ncd", rect(0, 0, 1, 0), Deletion::backward,
         "ab\ncd", kUnchanged},
        {"backspace removes a whole emoji", "a\U0001F600b\nx\U0001F600y", rect(0, 3, 1, 3),
         Deletion::backward, "ab\nxy", rect(0, 1, 1, 1)},
        {"backspace removes a joined emoji family", "a\U0001F468\u200D\U0001F469\u200D\U0001F467b",
         rect(0, 3, 0, 3), Deletion::backward, "ab", rect(0, 1, 0, 1)},
        {"backspace removes letter and accent", "e\u0301x", rect(0, 1, 0, 1), Deletion::backward,
         "x", rect(0, 0, 0, 0)},
        {"forward at line end does nothing and never joins", "ab\ncd", rect(0, 2, 0, 2),
         Deletion::forward, "ab\ncd", kUnchanged},
        {"forward keeps the CR before LF", "ab\r\ncd", rect(0, 2, 0, 2), Deletion::forward,
         "ab\r\ncd", kUnchanged},
        {"forward removes one cluster", "e\u0301x\nabc", rect(0, 0, 1, 0), Deletion::forward,
         "x\nbc", rect(0, 0, 1, 0)},
        {"rectangle over ragged lines", "abcdefg\nab\nabcd\n", rect(0, 1, 3, 4), Deletion::backward,
         "aefg\na\na\n", rect(0, 1, 3, 1)},
        {"rectangle ignores the kind", "abcdef", rect(0, 1, 0, 3), Deletion::wordForward, "adef",
         rect(0, 1, 0, 1)},
        {"word backward over spaces and a word", "foo bar  ", rect(0, 9, 0, 9),
         Deletion::wordBackward, "foo ", rect(0, 4, 0, 4)},
        {"word backward over punctuation", "a+=", rect(0, 3, 0, 3), Deletion::wordBackward, "a",
         rect(0, 1, 0, 1)},
        {"word backward stops at line start", "ab\ncd", rect(1, 0, 1, 0), Deletion::wordBackward,
         "ab\ncd", kUnchanged},
        {"word forward", "  foo.bar", rect(0, 0, 0, 0), Deletion::wordForward, ".bar",
         rect(0, 0, 0, 0)},
        {"word forward keeps surrogates together", "\U0001F600\U0001F600 x", rect(0, 0, 0, 0),
         Deletion::wordForward, " x", rect(0, 0, 0, 0)},
        {"word forward with underscores", "a_b1-c", rect(0, 0, 0, 0), Deletion::wordForward, "-c",
         rect(0, 0, 0, 0)},
        {"per-line carets", "abcd\nabcd",
         ColumnSelection{{0, 1}, {1, 1}, std::vector<std::int64_t>{2, 4}}, Deletion::backward,
         "acd\nabc", ColumnSelection{{0, 3}, {1, 3}, std::vector<std::int64_t>{1, 3}}},
    };
    for (const DeletionCase& c : cases) {
        std::u16string text = u16(c.text);
        ColumnEdit edit = ColumnEditing::deleteText(c.kind, c.selection, text, LineIndex(text), 4);
        EXPECT_EQ(u8(edit.applied(text)), c.after) << c.name;
        for (const std::u16string& s : edit.strings)
            EXPECT_TRUE(s.empty()) << c.name;
        if (c.selectionAfter == kUnchanged)
            EXPECT_TRUE(edit.ranges.empty()) << c.name;
        else
            EXPECT_EQ(edit.selection, c.selectionAfter) << c.name;
    }
}

TEST(ColumnEditingTest, PastingAColumn) {
    struct Case {
        const char* name;
        const char* text;
        std::vector<std::u16string> lines;
        ColumnPoint point;
        std::optional<ColumnSelection> replacing;
        const char* after;
        std::int64_t caret;
    };
    const Case cases[] = {
        {"pads short lines and appends past the end",
         "0123456789\nab",
         {u"X", u"Y", u"Z"},
         {0, 6},
         std::nullopt,
         "012345X6789\nab    Y\n      Z",
         7},
        {"replaces the rectangle",
         "abcd\nabcd\nabcd",
         {u"1", u"2", u"3"},
         {0, 1},
         rect(0, 1, 2, 3),
         "a1d\na2d\na3d",
         2},
        {"fewer pieces than rectangle lines",
         "abcd\nabcd",
         {u"1"},
         {0, 1},
         rect(0, 1, 1, 3),
         "a1d\nad",
         2},
        {"empty piece inserts nothing",
         "ab\ncd",
         {u"X", u""},
         {0, 5},
         std::nullopt,
         "ab   X\ncd",
         6},
        {"point beyond the text", "ab", {u"X"}, {5, 2}, std::nullopt, "ab\n  X", 0},
        {"wide character at the column",
         "a\u4E2Db\nabcd",
         {u"X", u"Y"},
         {0, 2},
         std::nullopt,
         "aX\u4E2Db\nabYcd",
         2},
        {"span without range pads to its column",
         "abcd\na",
         {u"X", u"Y"},
         {0, 3},
         rect(0, 3, 1, 4),
         "abcX\na  Y",
         4},
    };
    for (const Case& c : cases) {
        std::u16string text = u16(c.text);
        ColumnEdit edit =
            ColumnEditing::pasteColumn(c.lines, c.point, c.replacing, text, LineIndex(text), 4);
        EXPECT_EQ(u8(edit.applied(text)), c.after) << c.name;
        EXPECT_EQ(edit.caret, (TextRange{c.caret, 0})) << c.name;
        EXPECT_FALSE(edit.selection) << c.name;
    }
}

TEST(ColumnEditingTest, PastingAStream) {
    std::u16string text = u"abcd\nabcd\nabcd";
    ColumnEdit edit =
        ColumnEditing::pasteStream(u"XY\nZ", rect(0, 1, 2, 3), text, LineIndex(text), 4);
    EXPECT_EQ(edit.applied(text), u"aXY\nZd\nad\nad");
    EXPECT_EQ(edit.caret, (TextRange{5, 0}));
    EXPECT_FALSE(edit.selection);

    text = u"ab\ncd";
    edit = ColumnEditing::pasteStream(u"Q", rect(0, 5, 1, 6), text, LineIndex(text), 4);
    EXPECT_EQ(edit.applied(text), u"ab\ncdQ");
    EXPECT_EQ(edit.caret, (TextRange{6, 0}));

    // Zero-width carets: only the first receives the text, nothing is deleted.
    text = u"abc\nabc";
    edit = ColumnEditing::pasteStream(u"--", rect(0, 1, 1, 1), text, LineIndex(text), 4);
    EXPECT_EQ(edit.applied(text), u"a--bc\nabc");
}

TEST(ColumnEditingTest, ClipboardLines) {
    EXPECT_EQ(ColumnEditing::lines(u"a\r\nb\rc\n"),
              (std::vector<std::u16string>{u"a", u"b", u"c"}));
    EXPECT_EQ(ColumnEditing::lines(u""), (std::vector<std::u16string>{u""}));
    EXPECT_EQ(ColumnEditing::lines(u"a\n\n"), (std::vector<std::u16string>{u"a", u""}));
    EXPECT_EQ(ColumnEditing::lines(u"\n"), (std::vector<std::u16string>{u""}));
}

TEST(ColumnEditTest, HullReplacementAndRefusals) {
    const std::u16string text = u"0123456789abcdef";
    ColumnEdit edit{{{2, 2}, {10, 2}}, {u"X", u"Y"}, std::nullopt, std::nullopt};
    auto hull = edit.hullReplacement(text);
    ASSERT_TRUE(hull);
    EXPECT_EQ(hull->range, (TextRange{2, 10}));
    EXPECT_EQ(hull->string, u"X456789Y");
    EXPECT_EQ(edit.applied(text), u"01X456789Ycdef");

    EXPECT_FALSE(ColumnEdit{}.hullReplacement(text));
    ColumnEdit extra{{{0, 1}, {5, 1}}, {u"A"}, std::nullopt, std::nullopt};
    EXPECT_EQ(extra.applied(text), u"A123456789abcdef") << "unpaired ranges are ignored";

    ColumnEdit unordered{{{5, 1}, {2, 1}}, {u"A", u"B"}, std::nullopt, std::nullopt};
    EXPECT_EQ(unordered.applied(text), text);
    EXPECT_FALSE(unordered.hullReplacement(text));
    ColumnEdit overlapping{{{2, 4}, {3, 1}}, {u"A", u"B"}, std::nullopt, std::nullopt};
    EXPECT_EQ(overlapping.applied(text), text);
    ColumnEdit outside{{{15, 4}}, {u"A"}, std::nullopt, std::nullopt};
    EXPECT_EQ(outside.applied(text), text);
    EXPECT_FALSE(outside.hullReplacement(text));
}

TEST(ColumnEditingTest, MalformedSelectionsAreRefused) {
    std::u16string text = u"abc\ndef";
    LineIndex index(text);
    ColumnSelection negative{{-1, 0}, {1, 1}, std::nullopt};
    ColumnEdit typed = ColumnEditing::insert(u"x", negative, text, index, 4);
    EXPECT_TRUE(typed.ranges.empty());
    EXPECT_EQ(typed.selection, negative);
    EXPECT_TRUE(
        ColumnEditing::deleteText(Deletion::backward, negative, text, index, 4).ranges.empty());
    EXPECT_TRUE(ColumnEditing::pasteStream(u"x", negative, text, index, 4).ranges.empty());
    EXPECT_TRUE(
        ColumnEditing::pasteColumn({u"x"}, {0, -2}, std::nullopt, text, index, 4).ranges.empty());
}

/// Applies the pairs one after another from the first, shifting later ranges by the change
/// in length so far: an independent reference for ColumnEdit::applied.
std::u16string applyOneByOne(const ColumnEdit& edit, std::u16string text) {
    std::int64_t shift = 0;
    for (std::size_t i = 0; i < std::min(edit.ranges.size(), edit.strings.size()); ++i) {
        TextRange r = edit.ranges[i];
        text.replace(static_cast<std::size_t>(r.location + shift),
                     static_cast<std::size_t>(r.length), edit.strings[i]);
        shift += static_cast<std::int64_t>(edit.strings[i].size()) - r.length;
    }
    return text;
}

TEST(ColumnEditingTest, RandomEditsApplyAsTheirHullAndAsTheirParts) {
    static const std::u16string pieces[] = {u"a",      u"b",          u" ",       u"\t",
                                            u"\u4E2D", u"\U0001F600", u"e\u0301", u"\u200B",
                                            u"\r",     u"_",          u"."};
    std::mt19937 rng(2024);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int round = 0; round < 3000; ++round) {
        std::u16string text;
        const int lineCount = 1 + pick(6);
        for (int l = 0; l < lineCount; ++l) {
            if (l > 0)
                text.push_back(u'\n');
            for (int n = pick(9); n > 0; --n)
                text += pieces[pick(std::size(pieces))];
        }
        LineIndex index(text);
        const int tabWidth = 1 + pick(8);
        ColumnSelection selection{
            {pick(lineCount + 2), pick(12)}, {pick(lineCount + 2), pick(12)}, std::nullopt};
        if (pick(3) == 0) {
            std::vector<std::int64_t> carets;
            for (int i = pick(static_cast<int>(selection.lineCount()) + 1); i > 0; --i)
                carets.push_back(pick(12));
            selection.caretColumns = carets;
        }
        ColumnEdit edit;
        switch (pick(4)) {
        case 0:
            edit = ColumnEditing::insert(pieces[pick(std::size(pieces))], selection, text, index,
                                         tabWidth);
            break;
        case 1:
            edit = ColumnEditing::deleteText(static_cast<Deletion>(pick(4)), selection, text, index,
                                             tabWidth);
            break;
        case 2:
            edit = ColumnEditing::pasteColumn(
                {u"P", u"", u"\u4E2D\tQ"}, {pick(lineCount + 1), pick(10)},
                pick(2) ? std::optional(selection) : std::nullopt, text, index, tabWidth);
            break;
        default:
            edit = ColumnEditing::pasteStream(u"S\nT", selection, text, index, tabWidth);
            break;
        }
        SCOPED_TRACE("round " + std::to_string(round) + " text " + u8(text));
        ASSERT_TRUE(edit.fits(text));
        ASSERT_EQ(edit.ranges.size(), edit.strings.size());
        std::u16string applied = edit.applied(text);
        EXPECT_EQ(applied, applyOneByOne(edit, text));
        if (auto hull = edit.hullReplacement(text)) {
            TextEdit single{hull->range, hull->string, {}};
            EXPECT_EQ(single.applied(text), applied);
        } else {
            EXPECT_TRUE(edit.ranges.empty());
        }
        if (edit.caret) {
            EXPECT_TRUE(edit.caret->fits(static_cast<std::int64_t>(applied.size())));
        }
        // Typing and deleting never touch line breaks.
        if (edit.selection) {
            EXPECT_EQ(std::count(applied.begin(), applied.end(), u'\n'),
                      std::count(text.begin(), text.end(), u'\n'));
        }
    }
}

} // namespace
} // namespace vendrix
