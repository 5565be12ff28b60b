#include "core/editing/ColumnLayout.h"
#include "core/editing/VisualColumn.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

using test::u16;

TextRange whole(std::u16string_view line) {
    return {0, static_cast<std::int64_t>(line.size())};
}

TEST(VisualColumnTest, ClusterWidths) {
    struct Case {
        const char* name;
        std::u16string cluster;
        int width;
    };
    const Case cases[] = {
        {"empty", u"", 0},
        {"letter", u"a", 1},
        {"letter with combining accent", u"e\u0301", 1},
        {"CJK ideograph", u"\u4E2D", 2},
        {"hangul syllable", u"\uD55C", 2},
        {"fullwidth form", u"\uFF01", 2},
        {"supplementary ideograph", u"\U00020000", 2},
        {"emoji presentation", u"\U0001F600", 2},
        {"text-style emoji", u"\u263A", 1},
        {"emoji variation selector", u"\u263A\uFE0F", 2},
        {"zero width space", u"\u200B", 0},
        {"byte order mark", u"\uFEFF", 0},
        {"word joiner", u"\u2060", 0},
        {"zero width joined to a letter", u"a\u200D", 1},
        {"lone CR", u"\r", 1},
        {"control", u"\u0001", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VisualColumn::widthOfCluster(c.cluster), c.width) << c.name;
}

TEST(VisualColumnTest, ColumnsAndOffsetsInALine) {
    const std::u16string line = u"a\tb";
    EXPECT_EQ(VisualColumn::column(2, whole(line), line, 4), 4);
    EXPECT_EQ(VisualColumn::column(1, whole(line), line, 4), 1);
    EXPECT_EQ(VisualColumn::column(99, whole(line), line, 4), 5);
    EXPECT_EQ(VisualColumn::widthOfLine(whole(line), line, 4), 5);
    EXPECT_EQ(VisualColumn::offset(2, whole(line), line, 4), (VisualColumn::Location{1, 1, true}));
    EXPECT_EQ(VisualColumn::offset(4, whole(line), line, 4), (VisualColumn::Location{2, 4, true}));
    EXPECT_EQ(VisualColumn::offset(5, whole(line), line, 4), (VisualColumn::Location{3, 5, true}));
    EXPECT_EQ(VisualColumn::offset(9, whole(line), line, 4), (VisualColumn::Location{3, 5, false}));
    EXPECT_EQ(VisualColumn::offset(0, {3, 0}, line, 4), (VisualColumn::Location{3, 0, true}));
    EXPECT_EQ(VisualColumn::offset(1, {3, 0}, line, 4), (VisualColumn::Location{3, 0, false}));

    const std::u16string wide = u"a\u4E2Db\U0001F600c\u200Bd";
    // columns a:0 中:1-2 b:3 😀:4-5 c:6 ZWSP:7 (no width) d:7
    EXPECT_EQ(VisualColumn::column(2, whole(wide), wide, 4), 3) << "after the wide character";
    EXPECT_EQ(VisualColumn::column(3, whole(wide), wide, 4), 4);
    EXPECT_EQ(VisualColumn::column(4, whole(wide), wide, 4), 4) << "inside the surrogate pair";
    EXPECT_EQ(VisualColumn::column(5, whole(wide), wide, 4), 6);
    EXPECT_EQ(VisualColumn::column(7, whole(wide), wide, 4), 7) << "zero-width space";
    EXPECT_EQ(VisualColumn::column(8, whole(wide), wide, 4), 8);
    EXPECT_EQ(VisualColumn::widthOfLine(whole(wide), wide, 4), 8);
    EXPECT_EQ(VisualColumn::offset(2, whole(wide), wide, 4).offset, 1);

    const std::u16string accent = u"e\u0301\u0301x";
    EXPECT_EQ(VisualColumn::column(3, whole(accent), accent, 4), 1);
    EXPECT_EQ(VisualColumn::column(2, whole(accent), accent, 4), 0) << "inside the cluster";
}

TEST(VisualColumnTest, TabWidthBelowOneCountsAsOne) {
    const std::u16string line = u"a\tb";
    for (int tabWidth : {0, -1, -100}) {
        EXPECT_EQ(VisualColumn::widthOfLine(whole(line), line, tabWidth), 3);
        EXPECT_EQ(VisualColumn::widthOf(u"\t\t", 5, tabWidth), 2);
    }
}

TEST(VisualColumnTest, Boundaries) {
    const std::u16string line = u"a\u4E2Db"; // a:0 中:1-2 b:3
    auto next = [&](std::int64_t c) { return VisualColumn::nextBoundary(c, whole(line), line, 4); };
    auto previous = [&](std::int64_t c) {
        return VisualColumn::previousBoundary(c, whole(line), line, 4);
    };
    EXPECT_EQ(next(0), 1);
    EXPECT_EQ(next(1), 3);
    EXPECT_EQ(next(2), 3) << "from inside the wide character";
    EXPECT_EQ(next(4), 5) << "beyond the end every column is a boundary";
    EXPECT_EQ(previous(0), 0);
    EXPECT_EQ(previous(3), 1);
    EXPECT_EQ(previous(2), 1);
    EXPECT_EQ(previous(4), 3);
    EXPECT_EQ(previous(7), 6);
    EXPECT_EQ(VisualColumn::widthOf(u"\t", 1, 4), 3);
    EXPECT_EQ(VisualColumn::widthOf(u"\u4E2D\t", 1, 4), 3);
    EXPECT_EQ(VisualColumn::widthOf(u"ab", 0, 4), 2);
}

TEST(VisualColumnTest, ContentRangesAndRangesOutsideTheText) {
    const std::u16string text = u"ab\r\ncd\r";
    LineIndex index(text);
    EXPECT_EQ(VisualColumn::contentRange(0, text, index), (TextRange{0, 2}));
    EXPECT_EQ(VisualColumn::contentRange(1, text, index), (TextRange{4, 3}));
    EXPECT_EQ(VisualColumn::contentRange(5, text, index), (TextRange{7, 0}));
    EXPECT_EQ(VisualColumn::contentRange(-1, text, index), (TextRange{0, 0}));
    EXPECT_EQ(VisualColumn::column(5, {10, 3}, text, 4), 0);
    EXPECT_EQ(VisualColumn::widthOfLine({5, 9}, text, 4), 0);
    EXPECT_EQ(VisualColumn::offset(3, {10, 3}, text, 4), (VisualColumn::Location{7, 0, false}));
}

struct SpanCase {
    const char* name;
    const char* line;
    std::int64_t startColumn;
    std::int64_t endColumn;
    std::optional<TextRange> range;
    std::int64_t spanColumn;
};

TEST(ColumnLayoutTest, SpansOfOneLine) {
    const SpanCase cases[] = {
        {"inside a long line", "abcdefgh", 2, 5, TextRange{2, 3}, 2},
        {"line narrower than start", "a", 2, 5, std::nullopt, 2},
        {"line ends at start", "ab", 2, 5, TextRange{2, 0}, 2},
        {"empty line at column 0", "", 0, 3, TextRange{0, 0}, 0},
        {"empty line beyond column 0", "", 1, 3, std::nullopt, 1},
        {"wide character straddles start", "a\u4E2Dbc", 2, 4, TextRange{1, 2}, 1},
        {"wide character straddles end", "a\u4E2Db", 0, 2, TextRange{0, 1}, 0},
        {"tab straddles start", "\tx", 2, 5, TextRange{0, 2}, 0},
        {"zero-width caret", "abcd", 2, 2, TextRange{2, 0}, 2},
        {"caret inside a wide character", "a\u4E2Db", 2, 2, TextRange{1, 0}, 1},
        {"zero-width character at the start column stays out", "a\u200Bb", 1, 2, TextRange{2, 1},
         1},
        {"emoji", "\U0001F600\U0001F600x", 2, 4, TextRange{2, 2}, 2},
    };
    for (const SpanCase& c : cases) {
        std::u16string text = u16(c.line);
        ColumnSelection selection{{0, c.startColumn}, {0, c.endColumn}, std::nullopt};
        auto spans = ColumnLayout::spans(selection, text, LineIndex(text), 4);
        ASSERT_EQ(spans.size(), 1u) << c.name;
        EXPECT_EQ(spans[0], (ColumnLineSpan{0, c.range, c.spanColumn})) << c.name;
    }
}

TEST(ColumnLayoutTest, SpansOverLines) {
    const std::u16string text = u"abcdefg\nab\r\n\nabcdef\nxyz";
    LineIndex index(text);
    ColumnSelection rectangle{{0, 2}, {3, 5}, std::nullopt};
    auto spans = ColumnLayout::spans(rectangle, text, index, 4);
    ASSERT_EQ(spans.size(), 4u);
    EXPECT_EQ(ColumnLayout::copyText(spans, text), u"cde\n\n\ncde");
    EXPECT_EQ(spans[1].range, (TextRange{10, 0})) << "CR is not part of the line";
    EXPECT_EQ(ColumnLayout::selectedLength(spans), 6);

    // Per-line carets, one of them beyond its line's end.
    ColumnSelection carets{{0, 3}, {2, 3}, std::vector<std::int64_t>{3, 6, 0}};
    spans = ColumnLayout::spans(carets, text, index, 4);
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0], (ColumnLineSpan{0, TextRange{3, 0}, 3}));
    EXPECT_EQ(spans[1], (ColumnLineSpan{1, std::nullopt, 6}));
    EXPECT_EQ(spans[2], (ColumnLineSpan{2, TextRange{12, 0}, 0}));

    // Lines past the end of the text and a line restriction.
    ColumnSelection tall{{3, 0}, {40, 1}, std::nullopt};
    EXPECT_EQ(ColumnLayout::spans(tall, text, index, 4).size(), 2u);
    auto restricted = ColumnLayout::spans(tall, text, index, 4, ColumnLayout::LineRange{4, 9});
    ASSERT_EQ(restricted.size(), 1u);
    EXPECT_EQ(restricted[0].line, 4);
    EXPECT_TRUE(ColumnLayout::spans(tall, text, index, 4, ColumnLayout::LineRange{0, 2}).empty());

    // Selections that fit no text.
    EXPECT_TRUE(ColumnLayout::spans({{-1, 0}, {1, 2}, std::nullopt}, text, index, 4).empty());
    EXPECT_TRUE(ColumnLayout::spans({{0, -3}, {1, 2}, std::nullopt}, text, index, 4).empty());
    EXPECT_TRUE(
        ColumnLayout::spans({{0, 1}, {1, 1}, std::vector<std::int64_t>{1, -1}}, text, index, 4)
            .empty());
}

TEST(ColumnLayoutTest, CopyTextWithMissingMiddleSpan) {
    const std::u16string text = u"abc\nx\nxyz";
    auto spans = ColumnLayout::spans({{0, 0}, {2, 3}, std::nullopt}, text, LineIndex(text), 4);
    spans[1].range.reset();
    EXPECT_EQ(ColumnLayout::copyText(spans, text), u"abc\n\nxyz");
    spans[2].range = TextRange{8, 40};
    EXPECT_EQ(ColumnLayout::copyText(spans, text), u"abc\n\n") << "a span outside the text";
}

TEST(ColumnLayoutTest, PointAtOffset) {
    const std::u16string text = u"a\tb\nc\u4E2Dd";
    LineIndex index(text);
    EXPECT_EQ(ColumnLayout::point(2, text, index, 4), (ColumnPoint{0, 4}));
    EXPECT_EQ(ColumnLayout::point(6, text, index, 4), (ColumnPoint{1, 3}));
    EXPECT_EQ(ColumnLayout::point(99, text, index, 4), (ColumnPoint{1, 4}));
    EXPECT_EQ(ColumnLayout::point(-5, text, index, 4), (ColumnPoint{0, 0}));
}

TEST(ColumnLayoutTest, MovingExtendsFromTheAnchor) {
    const std::u16string text = u"ab\n\u4E2Dx\nlonger line";
    LineIndex index(text);
    using D = ColumnLayout::Direction;
    auto move = [&](ColumnSelection s, D d, std::int64_t maxColumn = 100000) {
        return ColumnLayout::moved(s, d, text, index, 4, maxColumn);
    };
    ColumnSelection atEnd{{0, 2}, {0, 2}, std::nullopt};
    EXPECT_EQ(move(atEnd, D::right).active, (ColumnPoint{0, 3}));
    EXPECT_EQ(move(move(atEnd, D::right, 3), D::right, 3).active, (ColumnPoint{0, 3}));
    EXPECT_EQ(move({{0, 0}, {0, 0}, std::nullopt}, D::left).active, (ColumnPoint{0, 0}));
    EXPECT_EQ(move({{1, 0}, {1, 0}, std::nullopt}, D::right).active, (ColumnPoint{1, 2}));
    EXPECT_EQ(move({{1, 0}, {1, 1}, std::nullopt}, D::right).active, (ColumnPoint{1, 2}));
    EXPECT_EQ(move({{1, 0}, {1, 2}, std::nullopt}, D::left).active, (ColumnPoint{1, 0}));

    ColumnSelection grown = move({{2, 1}, {2, 3}, std::nullopt}, D::up);
    EXPECT_EQ(grown.anchor, (ColumnPoint{2, 1}));
    EXPECT_EQ(grown.active, (ColumnPoint{1, 3}));
    EXPECT_EQ(grown.lineCount(), 2);
    EXPECT_EQ(move({{0, 0}, {0, 0}, std::nullopt}, D::up).active.line, 0);
    EXPECT_EQ(move({{0, 0}, {2, 0}, std::nullopt}, D::down).active.line, 2);

    // Per-line carets fold onto the active line's caret before moving.
    ColumnSelection carets{{0, 1}, {2, 1}, std::vector<std::int64_t>{4, 2, 7}};
    ColumnSelection folded = move(carets, D::down);
    EXPECT_EQ(folded, (ColumnSelection{{0, 7}, {2, 7}, std::nullopt}));
    EXPECT_EQ(carets.rectangularized(), (ColumnSelection{{0, 7}, {2, 7}, std::nullopt}));
    ColumnSelection shortCarets{{0, 5}, {2, 3}, std::vector<std::int64_t>{4}};
    EXPECT_EQ(shortCarets.rectangularized(), (ColumnSelection{{0, 3}, {2, 3}, std::nullopt}));
}

TEST(ColumnLayoutTest, OutOfStepLineIndexIsRefused) {
    const std::u16string text = u"abc\ndef";
    LineIndex stale(std::u16string_view(u"abc"));
    EXPECT_DEBUG_DEATH(
        {
            auto spans = ColumnLayout::spans({{0, 0}, {1, 2}, std::nullopt}, text, stale, 4);
            EXPECT_TRUE(spans.empty());
        },
        "out of step");
}

} // namespace
} // namespace vendrix

namespace vendrix {
namespace {

TEST(VisualColumnTest, RandomLinesAgreeWithThemselves) {
    static const std::u16string pieces[] = {u"a",      u" ",          u"\t",     u"\u4E2D",
                                            u"\u200B", u"\U0001F600", u"e\u0301", u"\u263A\uFE0F",
                                            u"\r",     u"~"};
    std::mt19937 rng(99);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int round = 0; round < 2000; ++round) {
        std::u16string line;
        for (int n = pick(10); n > 0; --n)
            line += pieces[pick(std::size(pieces))];
        const int tabWidth = 1 + pick(8);
        const TextRange range = whole(line);
        const std::int64_t width = VisualColumn::widthOfLine(range, line, tabWidth);
        EXPECT_EQ(width, VisualColumn::widthOf(line, 0, tabWidth));
        for (std::int64_t c = 0; c <= width + 2; ++c) {
            SCOPED_TRACE(test::u8(line) + " column " + std::to_string(c));
            VisualColumn::Location at = VisualColumn::offset(c, range, line, tabWidth);
            EXPECT_EQ(VisualColumn::column(at.offset, range, line, tabWidth), at.column);
            EXPECT_EQ(at.reached, c <= width);
            if (at.reached && at.offset < range.end()) {
                EXPECT_LE(at.column, c);
            }
            EXPECT_GT(VisualColumn::nextBoundary(c, range, line, tabWidth), c);
            if (c >= 1) {
                EXPECT_LT(VisualColumn::previousBoundary(c, range, line, tabWidth), c);
            }
        }
    }
}

} // namespace
} // namespace vendrix
