// Caret movement over visual rows: Home/End on wrapped rows, the caret at a row boundary,
// and the x kept across vertical moves.
#include "ViewTestSupport.h"

#include "core/editing/LineSegmentation.h"

#include <QScrollBar>

#include <cmath>
#include <functional>

#include <gtest/gtest.h>

using namespace vendrix;
using namespace vendrix::app;
using namespace vendrix::app::test;

namespace {

std::u16string words(int count) {
    std::u16string text;
    for (int i = 0; i < count; ++i)
        text += u"word ";
    return text;
}

/// A wrapped view over one long line of words and a short line; rows[k] are the first line's
/// visual rows.
struct WrappedFixture : ViewFixture {
    WrappedFixture() : ViewFixture(words(60) + u"\nshort") {
        view->setWrapsLines(true);
        for (const auto& fragment : view->visibleLineFragments())
            if (fragment.line == 0)
                rows.push_back(fragment);
    }
    qreal caretTop() { return view->caretRect().top(); }
    std::vector<EditorTextView::LineFragment> rows;
};

TEST(WrappedRows, HomeAndEndGoToTheEdgesOfTheCaretsRowThenOfTheLine) {
    WrappedFixture f;
    ASSERT_GE(f.rows.size(), 3u);
    const auto& row = f.rows[1];
    const std::int64_t inside = row.range.location + 3;
    const std::int64_t lineEnd = f.document->lineIndex().range(0).end();

    f.view->setSelectedRange({inside, 0});
    f.key(Qt::Key_Home);
    EXPECT_EQ(f.view->caretOffset(), row.range.location);
    EXPECT_NEAR(f.caretTop(), row.top,
                0.5); // at the start of its row, not the end of the one before
    f.key(Qt::Key_Home);
    EXPECT_EQ(f.view->caretOffset(), 0);
    f.key(Qt::Key_Home);
    EXPECT_EQ(f.view->caretOffset(), 0);

    f.view->setSelectedRange({inside, 0});
    f.key(Qt::Key_End);
    EXPECT_EQ(f.view->caretOffset(), row.range.end());
    // The row's end is also the next row's start: the caret stays drawn on its row, after
    // the row's last character.
    EXPECT_NEAR(f.caretTop(), row.top, 0.5);
    EXPECT_GT(f.view->caretRect().left(), f.view->rectForOffset(row.range.end() - 1).left());
    // Home from there goes to the start of the same row.
    f.key(Qt::Key_Home);
    EXPECT_EQ(f.view->caretOffset(), row.range.location);
    f.key(Qt::Key_End);
    f.key(Qt::Key_End);
    EXPECT_EQ(f.view->caretOffset(), lineEnd);
    f.key(Qt::Key_End);
    EXPECT_EQ(f.view->caretOffset(), lineEnd);

    // The same offset reached by a horizontal move is drawn at the next row's start.
    f.view->setSelectedRange({row.range.end() - 1, 0});
    f.key(Qt::Key_Right);
    EXPECT_EQ(f.view->caretOffset(), row.range.end());
    EXPECT_NEAR(f.caretTop(), f.rows[2].top, 0.5);
    f.key(Qt::Key_End);
    EXPECT_EQ(f.view->caretOffset(), f.rows[2].range.end());
}

TEST(WrappedRows, ShiftHomeAndEndSelectToTheRowEdges) {
    WrappedFixture f;
    ASSERT_GE(f.rows.size(), 3u);
    const auto& row = f.rows[1];
    const std::int64_t inside = row.range.location + 7;
    f.view->setSelectedRange({inside, 0});
    f.key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(f.view->selectedRange(), (TextRange{inside, row.range.end() - inside}));
    f.view->setSelectedRange({inside, 0});
    f.key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(f.view->selectedRange(), (TextRange{row.range.location, 7}));
    EXPECT_EQ(f.view->anchorOffset(), inside);
}

TEST(WrappedRows, TypingAtARowEndInsertsThere) {
    WrappedFixture f;
    ASSERT_GE(f.rows.size(), 2u);
    const std::int64_t end = f.rows[0].range.end();
    f.view->setSelectedRange({2, 0});
    f.key(Qt::Key_End);
    f.type(QStringLiteral("X"));
    EXPECT_EQ(textOf(*f.document).substr(static_cast<size_t>(end), 1), u"X");
    EXPECT_EQ(f.view->caretOffset(), end + 1);
}

TEST(WrappedRows, VerticalMovesAgreeWithTheRowTheCaretIsDrawnOn) {
    WrappedFixture f;
    ASSERT_GE(f.rows.size(), 4u);
    // From the end of row 1, Up and Down reach the neighbouring rows (not skip one, not stay).
    f.view->setSelectedRange({f.rows[1].range.location + 2, 0});
    f.key(Qt::Key_End);
    f.key(Qt::Key_Down);
    EXPECT_NEAR(f.caretTop(), f.rows[2].top, 0.5);
    EXPECT_TRUE(f.rows[2].range.contains(f.view->caretOffset()) ||
                f.view->caretOffset() == f.rows[2].range.end());
    f.key(Qt::Key_Up);
    f.key(Qt::Key_Up);
    EXPECT_NEAR(f.caretTop(), f.rows[0].top, 0.5);
    f.key(Qt::Key_Down);
    EXPECT_NEAR(f.caretTop(), f.rows[1].top, 0.5);
    EXPECT_EQ(f.view->caretOffset(), f.rows[1].range.end());
    // From the start of a row (Home), Up goes to the start of the row above.
    f.key(Qt::Key_Home);
    f.key(Qt::Key_Up);
    EXPECT_EQ(f.view->caretOffset(), f.rows[0].range.location);
}

TEST(WrappedRows, WithoutWrappingHomeAndEndUseTheLine) {
    ViewFixture f(words(60) + u"\nshort");
    const std::int64_t lineEnd = f.document->lineIndex().range(0).end();
    f.view->setSelectedRange({123, 0});
    f.key(Qt::Key_End);
    EXPECT_EQ(f.view->caretOffset(), lineEnd);
    f.key(Qt::Key_Home);
    EXPECT_EQ(f.view->caretOffset(), 0);
}

TEST(WrappedRows, TheRowEndingASegmentOfALongLineKeepsTheCaret) {
    // Long enough to be laid out in segments.
    ViewFixture f(words(2000));
    f.view->setWrapsLines(true);
    TextLayoutModel& layout = f.view->layoutModel();
    ASSERT_GT(layout.segmentCount(0), 1);
    // Caret tops in content coordinates: the view scrolls to keep the caret in sight.
    auto caretTop = [&] {
        return f.view->caretRect().top() + f.view->verticalScrollBar()->value();
    };
    const std::int64_t boundary = layout.segmentRange(0, 0).end();
    f.view->setSelectedRange({boundary - 2, 0});
    const qreal rowTop = caretTop();
    f.key(Qt::Key_End);
    EXPECT_EQ(f.view->caretOffset(), boundary);
    EXPECT_NEAR(caretTop(), rowTop, 0.5);
    f.key(Qt::Key_Home);
    EXPECT_LT(f.view->caretOffset(), boundary - 2);
    EXPECT_NEAR(caretTop(), rowTop, 0.5);
    // Down from there reaches the next segment's first row, Up comes back.
    f.key(Qt::Key_Down);
    EXPECT_NEAR(caretTop(), rowTop + layout.lineHeight(), 0.5);
    EXPECT_GE(f.view->caretOffset(), boundary);
    f.key(Qt::Key_Up);
    EXPECT_NEAR(caretTop(), rowTop, 0.5);
    // Clicking past the end of the segment's last row keeps the caret on that row.
    f.view->scrollRangeToVisible({boundary - 2, 0});
    QPoint pastEnd(f.view->viewport()->width() - 2,
                   static_cast<int>(f.view->rectForOffset(boundary - 2).center().y()));
    QTest::mouseClick(f.view->viewport(), Qt::LeftButton, Qt::NoModifier, pastEnd);
    EXPECT_EQ(f.view->caretOffset(), boundary);
    EXPECT_NEAR(caretTop(), rowTop, 0.5);
}

} // namespace

namespace {

/// The caret's x is the nearest any offset of its line offers to `x`.
void expectNearestTo(ViewFixture& f, qreal x) {
    const TextRange line =
        f.document->lineIndex().range(f.document->lineIndex().lineNumber(f.view->caretOffset()));
    const qreal caret = f.view->caretRect().left();
    for (std::int64_t offset = line.location; offset <= line.end(); ++offset)
        ASSERT_LE(std::abs(caret - x), std::abs(f.view->rectForOffset(offset).left() - x) + 0.5)
            << "offset " << offset << " is nearer than the caret at " << f.view->caretOffset();
}

class PreferredXTest : public ::testing::TestWithParam<bool> {};

TEST_P(PreferredXTest, VerticalMovesKeepTheXAcrossTabsWideCharactersAndShortLines) {
    ViewFixture f(u"abcdefghijklmnop\n\tx\tyz\t.\n\u6F22\u5B57\u6F22\u5B57\u6F22\u5B57\u6F22"
                  u"\u5B57\nab\n\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\n"
                  u"abcdefghijklmnop");
    f.view->setWrapsLines(GetParam());
    const std::int64_t lastLine = f.document->lineIndex().range(5).location;
    f.view->setSelectedRange({10, 0});
    const qreal x = f.view->caretRect().left();
    for (int i = 1; i <= 5; ++i) {
        f.key(Qt::Key_Down);
        SCOPED_TRACE(i);
        expectNearestTo(f, x);
    }
    EXPECT_EQ(f.view->caretOffset(), lastLine + 10);
    for (int i = 1; i <= 5; ++i)
        f.key(Qt::Key_Up);
    EXPECT_EQ(f.view->caretOffset(), 10);
    // Shift keeps it too.
    for (int i = 1; i <= 5; ++i)
        f.key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.view->selectedRange(), (TextRange{10, lastLine}));
}

TEST_P(PreferredXTest, PageDownAndPageUpKeepTheX) {
    std::u16string text;
    for (int i = 0; i < 300; ++i)
        text += i % 3 == 1 ? u"ab\n" : u"0123456789\n";
    ViewFixture f(text);
    f.view->setWrapsLines(GetParam());
    f.view->setSelectedRange({7, 0});
    const qreal x = f.view->caretRect().left();
    for (int i = 0; i < 3; ++i) {
        f.key(Qt::Key_PageDown);
        expectNearestTo(f, x);
    }
    for (int i = 0; i < 3; ++i)
        f.key(Qt::Key_PageUp);
    EXPECT_EQ(f.view->caretOffset(), 7);
}

INSTANTIATE_TEST_SUITE_P(WrapOffAndOn, PreferredXTest, ::testing::Bool());

TEST(PreferredX, AnyHorizontalMoveClickOrEditForgetsIt) {
    // "abcdefgh\nab\nabcdefgh": the short line's end is 11, the last line starts at 12.
    struct Step {
        const char* name;
        std::function<void(ViewFixture&)> between;
        std::int64_t expected; // after the final Down
    };
    const std::vector<Step> steps = {
        {"left", [](ViewFixture& f) { f.key(Qt::Key_Left); }, 13},
        {"typing", [](ViewFixture& f) { f.type(QStringLiteral("c")); }, 16},
        {"click",
         [](ViewFixture& f) {
             QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, f.pointOf(10));
         },
         13},
        {"an edit elsewhere",
         [](ViewFixture& f) {
             ASSERT_TRUE(f.document->applyEdit({0, 0}, u"Z"));
         },
         15},
        {"nothing", [](ViewFixture&) {}, 18},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        ViewFixture f(u"abcdefgh\nab\nabcdefgh");
        f.view->setSelectedRange({6, 0});
        f.key(Qt::Key_Down);
        ASSERT_EQ(f.view->caretOffset(), 11);
        step.between(f);
        f.key(Qt::Key_Down);
        EXPECT_EQ(f.view->caretOffset(), step.expected);
    }
}

} // namespace
