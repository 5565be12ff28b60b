// Scroll ranges: a text taller than a scroll bar's int range (the bar maps the 64-bit
// offset), and the horizontal range over the longest line.
#include "ViewTestSupport.h"

#include "app/view/ScrollBarMapping.h"
#include "core/text/LineIndex.h"

#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <climits>

using namespace vendrix;
using namespace vendrix::app;
using namespace vendrix::app::test;

namespace {

TEST(ScrollBarMappingTest, IsExactWhileTheContentFitsAndProportionalBeyond) {
    ScrollBarMapping small;
    small.setMaximum(123'456);
    EXPECT_FALSE(small.isScaled());
    EXPECT_EQ(small.barMaximum(), 123'456);
    EXPECT_EQ(small.toBar(1000), 1000);
    EXPECT_EQ(small.fromBar(1000), 1000);
    EXPECT_EQ(small.toBar(-5), 0);
    EXPECT_EQ(small.toBar(200'000), 123'456);
    EXPECT_EQ(small.barStep(17), 17);

    for (std::int64_t maximum : {std::int64_t{ScrollBarMapping::kBarLimit} + 1,
                                 std::int64_t{3'000'000'000}, std::int64_t{1} << 45}) {
        ScrollBarMapping big;
        big.setMaximum(maximum);
        ASSERT_TRUE(big.isScaled());
        EXPECT_EQ(big.barMaximum(), ScrollBarMapping::kBarLimit);
        EXPECT_EQ(big.toBar(0), 0);
        EXPECT_EQ(big.toBar(maximum), ScrollBarMapping::kBarLimit);
        EXPECT_EQ(big.fromBar(ScrollBarMapping::kBarLimit), maximum);
        EXPECT_EQ(big.fromBar(INT_MAX), maximum);
        EXPECT_NEAR(big.toBar(maximum / 2), ScrollBarMapping::kBarLimit / 2.0, 1) << maximum;
        // Every bar value comes back from its offset; offsets keep their order.
        int previous = -1;
        for (int value : {1, 2, 999, 123'456'789, ScrollBarMapping::kBarLimit - 1}) {
            EXPECT_EQ(big.toBar(big.fromBar(value)), value) << maximum;
            EXPECT_GT(big.fromBar(value), big.fromBar(previous < 0 ? 0 : previous));
            previous = value;
        }
        EXPECT_GE(big.barStep(1), 1);
        EXPECT_NEAR(big.barStep(1'000'000), 1'000'000.0 * ScrollBarMapping::kBarLimit / maximum,
                    1.0);
    }
}

TEST(HorizontalScrollTest, TheRangeReachesTheLongestLineAndGrowsInSteps) {
    ViewFixture fits(u"short\nlines");
    EXPECT_EQ(fits.view->horizontalScrollBar()->maximum(), 0);

    ViewFixture f(std::u16string(200, u'w') + u"\nx");
    QScrollBar* bar = f.view->horizontalScrollBar();
    const qreal lineEnd = f.view->layoutModel().advance() * 200;
    EXPECT_GE(bar->maximum() + f.view->viewport()->width(), lineEnd);
    // Typing at the end of the longest line keeps the caret in view; the range grows only
    // now and then, not by a column a keystroke.
    f.view->setSelectedRange({200, 0});
    int changes = 0;
    for (int i = 0; i < 40; ++i) {
        const int before = bar->maximum();
        f.type(QStringLiteral("w"));
        changes += bar->maximum() != before ? 1 : 0;
        const QRectF caret = f.view->caretRect();
        ASSERT_GE(caret.left(), 0) << i;
        ASSERT_LE(caret.right(), f.view->viewport()->width()) << i;
    }
    EXPECT_LE(changes, 3);
    EXPECT_GE(bar->maximum() + f.view->viewport()->width(), lineEnd + 40 * f.view->layoutModel().advance());
}

/// A text of empty lines taller than kBarLimit pixels at the largest font (about ten million
/// lines: 20 MB of text).
struct TallFixture : ViewFixture {
    TallFixture() : ViewFixture(u"", false, {500, 400}) {
        QFont font = view->editorFont();
        font.setPointSizeF(72);
        view->setEditorFont(font);
        lineHeight = view->layoutModel().lineHeight();
        lines = static_cast<std::int64_t>(1.25 * ScrollBarMapping::kBarLimit / lineHeight);
        document->setText(std::u16string(static_cast<size_t>(lines - 1), u'\n'));
        QApplication::processEvents();
    }
    std::int64_t firstVisibleLine() { return view->visibleLineFragments().front().line; }
    std::int64_t lastVisibleLine() { return view->visibleLineFragments().back().line; }

    qreal lineHeight = 0;
    std::int64_t lines = 0;
};

TEST(TallScrollTest, TheBarReachesEveryPartOfATextTallerThanItsRange) {
    TallFixture f;
    ASSERT_EQ(f.document->lineIndex().lineCount(), f.lines);
    QScrollBar* bar = f.view->verticalScrollBar();
    ASSERT_EQ(bar->maximum(), ScrollBarMapping::kBarLimit);
    const qreal contentMax =
        f.lines * f.lineHeight + 2 * EditorTextView::kInset - f.view->viewport()->height();
    // Past what the bar's range reaches one to one (an int range beyond that would overflow
    // the bar's own arithmetic); the mapping itself is checked to 2^45 above.
    ASSERT_GT(contentMax, 1.2 * ScrollBarMapping::kBarLimit);

    // Dragging the thumb: to the end shows the last line, to the middle the middle.
    bar->setValue(bar->maximum());
    EXPECT_NEAR(f.view->scrollOrigin().y(), contentMax, 1);
    EXPECT_EQ(f.lastVisibleLine(), f.lines - 1);
    bar->setValue(bar->maximum() / 2);
    EXPECT_NEAR(f.view->scrollOrigin().y(), contentMax / 2, 1);
    EXPECT_NEAR(static_cast<double>(f.firstVisibleLine()), contentMax / 2 / f.lineHeight, 1);
    // The bar's own steps (its arrows, a click in the groove) move by a line and a page.
    const qreal before = f.view->scrollOrigin().y();
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_NEAR(f.view->scrollOrigin().y() - before, f.view->viewport()->height(), 4);
    const qreal afterPage = f.view->scrollOrigin().y();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_NEAR(f.view->scrollOrigin().y() - afterPage, f.lineHeight, 3);
}

TEST(TallScrollTest, KeysWheelAndCaretMovesScrollByExactPixelsAtAnyDepth) {
    TallFixture f;
    QScrollBar* bar = f.view->verticalScrollBar();
    f.key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(f.view->caretOffset(), f.document->length());
    EXPECT_EQ(f.lastVisibleLine(), f.lines - 1);
    EXPECT_EQ(bar->value(), bar->maximum());
    const QRectF caret = f.view->caretRect();
    EXPECT_GE(caret.top(), 0);
    EXPECT_LE(caret.bottom(), f.view->viewport()->height());

    // Deep in the text, a wheel notch and Ctrl+Up move by whole lines, not by bar units.
    const qreal deep = f.view->scrollOrigin().y() - 1000 * f.lineHeight;
    f.view->setScrollOrigin({0, deep});
    EXPECT_EQ(f.view->scrollOrigin().y(), deep);
    QWheelEvent wheel(QPointF(50, 50), f.view->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.view->viewport(), &wheel);
    EXPECT_EQ(f.view->scrollOrigin().y(),
              deep + QApplication::wheelScrollLines() * f.lineHeight);
    f.key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(f.view->scrollOrigin().y(),
              deep + (QApplication::wheelScrollLines() - 1) * f.lineHeight);

    // The caret followed from there: Ctrl+Home and PageDown from the top.
    f.key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(f.view->scrollOrigin().y(), 0);
    EXPECT_EQ(bar->value(), 0);
    f.key(Qt::Key_PageDown);
    EXPECT_GT(f.view->scrollOrigin().y(), 0);
    EXPECT_GE(f.view->caretRect().top(), 0);
    EXPECT_LE(f.view->caretRect().bottom(), f.view->viewport()->height());
}

} // namespace
