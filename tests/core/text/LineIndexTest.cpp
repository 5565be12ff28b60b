#include "core/text/GoToLineTarget.h"
#include "core/text/LineEnding.h"
#include "core/text/LineIndex.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

using test::u16;

/// A text source split into two pieces around a gap, the way the editor stores text.
class SplitSource final : public TextSource {
public:
    SplitSource(std::u16string_view text, size_t split)
        : m_front(text.substr(0, split)), m_back(text.substr(split)) {}
    std::int64_t length() const override {
        return static_cast<std::int64_t>(m_front.size() + m_back.size());
    }
    void copyUnits(TextRange range, char16_t* out) const override {
        for (std::int64_t i = 0; i < range.length; ++i) {
            auto at = static_cast<size_t>(range.location + i);
            out[i] = at < m_front.size() ? m_front[at] : m_back[at - m_front.size()];
        }
    }

private:
    std::u16string m_front, m_back;
};

TEST(LineIndexTest, BuildsStartsAndAnswersQueries) {
    LineIndex empty(u"");
    EXPECT_EQ(empty.lineStarts(), (std::vector<std::int64_t>{0}));
    EXPECT_EQ(empty.lineCount(), 1);
    EXPECT_EQ(empty.longestLineLength(), 0);
    EXPECT_EQ(empty.range(0), (TextRange{0, 0}));

    LineIndex index(u"a\nb\n");
    EXPECT_EQ(index.lineStarts(), (std::vector<std::int64_t>{0, 2, 4}));
    EXPECT_EQ(index.lineNumber(2), 1);
    EXPECT_EQ(index.lineNumber(99), 2);
    EXPECT_EQ(index.lineNumber(-5), 0);
    EXPECT_EQ(index.range(1), (TextRange{2, 1}));
    EXPECT_EQ(index.range(2), (TextRange{4, 0}));
    // Out-of-range lines are clamped rather than read past the table.
    EXPECT_EQ(index.range(17), (TextRange{4, 0}));
    EXPECT_EQ(index.range(-1), (TextRange{0, 1}));

    EXPECT_EQ(LineIndex(u"abc\nabcdef\nab").longestLineLength(), 6);
    // A long run without LF exercises the vector path and its tail.
    std::u16string longText(37, u'x');
    longText[8] = u'\n';
    longText[15] = u'\n';
    longText[16] = u'\n';
    EXPECT_EQ(LineIndex(longText).lineStarts(), (std::vector<std::int64_t>{0, 9, 16, 17}));
}

TEST(LineIndexTest, IncrementalUpdatesEqualRebuild) {
    LineIndex index(u"a\nb");
    index.update({1, 2}, 2, u"a\nx\nb");
    EXPECT_EQ(index, LineIndex(u"a\nx\nb"));

    // Random edits over a text source that is split like a gap buffer.
    std::mt19937 rng(7);
    std::u16string text = u"one\ntwo\n\nthree";
    LineIndex live(text);
    const char16_t alphabet[] = {u'a', u'\n', u'b', u'\n', u'\u00e7', u' '};
    for (int step = 0; step < 3000; ++step) {
        // Edits at the start, the end and anywhere; now and then a run of many line breaks
        // or a long deletion, so the table's gap fills up, regrows and moves far.
        const unsigned where = rng() % 4;
        size_t loc = where == 0 ? 0 : where == 1 ? text.size() : rng() % (text.size() + 1);
        const bool bulk = step % 37 == 0;
        size_t oldLen = rng() % (std::min<size_t>(text.size() - loc, bulk ? 400 : 12) + 1);
        std::u16string insert;
        for (size_t n = rng() % (bulk ? 300 : 10); n > 0; --n)
            insert.push_back(bulk && n % 3 != 0 ? u'\n' : alphabet[rng() % std::size(alphabet)]);
        text.replace(loc, oldLen, insert);
        SplitSource source(text, rng() % (text.size() + 1));
        live.update({static_cast<std::int64_t>(loc), static_cast<std::int64_t>(insert.size())},
                    static_cast<std::int64_t>(insert.size()) - static_cast<std::int64_t>(oldLen),
                    source);
        // Queries answer through the pending shift of later starts; only some steps compare
        // whole tables, which settles it, so that shifts accumulate over several edits.
        const LineIndex fresh(text);
        ASSERT_EQ(live.lineCount(), fresh.lineCount()) << "step " << step;
        ASSERT_EQ(live.longestLineLength(), fresh.longestLineLength()) << "step " << step;
        for (int probe = 0; probe < 4; ++probe) {
            auto offset = static_cast<std::int64_t>(rng() % (text.size() + 2)) - 1;
            ASSERT_EQ(live.lineNumber(offset), fresh.lineNumber(offset)) << "step " << step;
            auto line = static_cast<std::int64_t>(rng() % static_cast<size_t>(fresh.lineCount()));
            ASSERT_EQ(live.range(line), fresh.range(line)) << "step " << step;
        }
        if (step % 7 == 0) {
            ASSERT_EQ(live, fresh) << "step " << step;
        }
    }
}

TEST(LineIndexTest, EditsFarApartInATableOfManyBlocksEqualRebuild) {
    // Tens of thousands of lines, so that the starts span many blocks of the table: typing
    // (the same lines) shifts later blocks without moving the gap, line breaks move it, and
    // both kinds of edit alternate at far-apart places.
    std::mt19937 rng(11);
    std::u16string text;
    for (int line = 0; line < 30000; ++line)
        text += std::u16string(rng() % 9, u'a') + u'\n';
    LineIndex live(text);
    for (int step = 0; step < 1500; ++step) {
        const size_t loc = rng() % (text.size() + 1);
        std::u16string insert;
        size_t oldLen = 0;
        switch (rng() % 4) {
        case 0: // typing, or deleting within a line
        case 1:
            if (rng() % 2 != 0) {
                insert = u"xyz";
            } else {
                while (loc + oldLen < text.size() && text[loc + oldLen] != u'\n' && oldLen < 3)
                    ++oldLen;
            }
            break;
        case 2: // line breaks added
            insert = std::u16string(1 + rng() % 5000 / 1000, u'\n');
            break;
        default: // lines removed, now and then thousands of them
            oldLen = std::min<size_t>(text.size() - loc, rng() % (step % 50 == 0 ? 40000 : 30));
            break;
        }
        text.replace(loc, oldLen, insert);
        live.update({static_cast<std::int64_t>(loc), static_cast<std::int64_t>(insert.size())},
                    static_cast<std::int64_t>(insert.size()) - static_cast<std::int64_t>(oldLen),
                    text);
        const LineIndex fresh(text);
        ASSERT_EQ(live.lineCount(), fresh.lineCount()) << "step " << step;
        for (int probe = 0; probe < 4; ++probe) {
            auto offset = static_cast<std::int64_t>(rng() % (text.size() + 1));
            ASSERT_EQ(live.lineNumber(offset), fresh.lineNumber(offset)) << "step " << step;
            auto line = static_cast<std::int64_t>(rng() % static_cast<size_t>(fresh.lineCount()));
            ASSERT_EQ(live.range(line), fresh.range(line)) << "step " << step;
        }
        if (step % 25 == 0) {
            ASSERT_EQ(live, fresh) << "step " << step;
        }
    }
    EXPECT_EQ(live, LineIndex(text));
}

TEST(LineIndexTest, LongestLineFollowsEditsWithoutRescanning) {
    // Lines grow and shrink; the longest one is asked for only now and then (so the kept
    // value must survive many edits, including ones that shorten it while it is not asked).
    std::mt19937 rng(11);
    std::u16string text = u"short\na much longer line of text\n\nmid length";
    LineIndex live(text);
    auto truth = [&] {
        std::int64_t longest = 0, run = 0;
        for (char16_t c : text) {
            run = c == u'\n' ? 0 : run + 1;
            longest = std::max(longest, run);
        }
        return longest;
    };
    for (int step = 0; step < 5000; ++step) {
        size_t loc = rng() % (text.size() + 1);
        size_t oldLen = rng() % (std::min<size_t>(text.size() - loc, 30) + 1);
        std::u16string insert;
        for (size_t n = rng() % 6; n > 0; --n)
            insert.push_back(rng() % 12 == 0 ? u'\n' : u'x');
        text.replace(loc, oldLen, insert);
        live.update({static_cast<std::int64_t>(loc), static_cast<std::int64_t>(insert.size())},
                    static_cast<std::int64_t>(insert.size()) - static_cast<std::int64_t>(oldLen),
                    text);
        const std::int64_t longest = truth();
        const std::int64_t threshold = static_cast<std::int64_t>(rng() % 60);
        ASSERT_EQ(live.hasLineLongerThan(threshold), longest > threshold) << "step " << step;
        if (step % 5 == 0) {
            ASSERT_EQ(live.longestLineLength(), longest) << "step " << step;
        }
    }
}

TEST(LineIndexTest, SourceReadInChunksBuildsTheSameIndex) {
    std::u16string text;
    for (int i = 0; i < 30000; ++i)
        text += u"line of text\n";
    EXPECT_EQ(LineIndex(SplitSource(text, 70001)), LineIndex(text));
}

TEST(LineIndexTest, ALargeTextScannedInTwoHalvesGivesTheSameIndex) {
    // Line feeds just before, at and after the point where the halves meet, and at the end.
    std::u16string text(std::size_t{5} << 20, u'x');
    const std::size_t half = text.size() / 2;
    for (std::size_t at : {std::size_t{0}, half - 1, half, half + 1, text.size() - 1})
        text[at] = u'\n';
    for (std::size_t at = 7; at < text.size(); at += 13)
        text[at] = u'\n';
    LineIndex halves = LineIndex::ofLargeText(text);
    LineIndex whole(text);
    ASSERT_EQ(halves, whole);
    EXPECT_EQ(halves.longestLineLength(), whole.longestLineLength());
    // The gap is in order: edits after it keep the index right.
    text.insert(half, u"ab\ncd");
    halves.update({static_cast<std::int64_t>(half), 5}, 5, text);
    text.insert(0, u"\n");
    halves.update({0, 1}, 1, text);
    EXPECT_EQ(halves, LineIndex(text));
    EXPECT_EQ(LineIndex::ofLargeText(u"a\nb"), LineIndex(u"a\nb"));
    // A table noted by the text's writer is taken over as the index, and edits after it too.
    for (std::u16string_view small : {u"", u"\n", u"abc", u"a\n\nb\n"}) {
        LineIndex adopted(LineIndex(small).lineStarts(), static_cast<std::int64_t>(small.size()));
        EXPECT_EQ(adopted, LineIndex(small));
        EXPECT_EQ(adopted.longestLineLength(), LineIndex(small).longestLineLength());
    }
    LineIndex adopted(LineIndex(text).lineStarts(), static_cast<std::int64_t>(text.size()));
    text.insert(half / 2, u"x\ny");
    adopted.update({static_cast<std::int64_t>(half / 2), 3}, 3, text);
    EXPECT_EQ(adopted, LineIndex(text));
}

TEST(LineEndingTest, DetectNormalizeApply) {
    EXPECT_EQ(lineEnding::detect(u""), std::nullopt);
    EXPECT_EQ(lineEnding::detect(u"abc"), std::nullopt);
    EXPECT_EQ(lineEnding::detect(u"a\nb\r\n"), LineEnding::lf);
    EXPECT_EQ(lineEnding::detect(u"\r\n\r\n\r\r"), LineEnding::crlf);
    EXPECT_EQ(lineEnding::detect(u"\r\n\r\r"), LineEnding::cr);
    EXPECT_EQ(lineEnding::detect(u"\r\r\n"), LineEnding::crlf);
    EXPECT_EQ(lineEnding::normalizeToLF(u"\r\r\n\n"), u"\n\n\n");
    EXPECT_EQ(lineEnding::apply(LineEnding::crlf, u"a\nb\n"), u"a\r\nb\r\n");
    EXPECT_EQ(lineEnding::apply(LineEnding::cr, u"a\n"), u"a\r");
    EXPECT_EQ(lineEnding::fromRawValue("crlf"), LineEnding::crlf);
    EXPECT_EQ(lineEnding::fromRawValue("CRLF"), std::nullopt);
}

TEST(GoToLineTargetTest, ParsesTheForms) {
    struct Case {
        const char* input;
        std::optional<GoToLineTarget> expected;
    } cases[] = {
        {"12:5", GoToLineTarget{12, 5}}, {"12,5", GoToLineTarget{12, 5}},
        {"12 5", GoToLineTarget{12, 5}}, {"12: 5", GoToLineTarget{12, 5}},
        {"12:", GoToLineTarget{12, {}}}, {":12", GoToLineTarget{12, {}}},
        {"  7\t", GoToLineTarget{7, {}}}, {"+4", GoToLineTarget{4, {}}},
        {"0", std::nullopt},              {"-3", std::nullopt},
        {"5:0", std::nullopt},            {"5:x", std::nullopt},
        {"1:2:3", std::nullopt},          {"", std::nullopt},
        {"   ", std::nullopt},            {"99999999999999999999", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GoToLineTarget::parse(u16(c.input)), c.expected) << c.input;
}

TEST(GoToLineTargetTest, ResolvesWithClamping) {
    LineIndex index(u"abcd\nef\nghij");
    EXPECT_EQ((GoToLineTarget{1000, 2}).location(index), 9);
    EXPECT_EQ((GoToLineTarget{1, 999}).location(index), 4);
    EXPECT_EQ((GoToLineTarget{2, {}}).location(index), 5);
    EXPECT_EQ((GoToLineTarget{2, 2}).location(index), 6);
}

} // namespace
} // namespace vendrix
