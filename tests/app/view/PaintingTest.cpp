// What the view draws, checked in pixels of the grabbed viewport: the selection, every
// background and foreground layer in its order, invisibles and the caret.
#include "ViewTestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace vendrix;
using namespace vendrix::app;
using namespace vendrix::app::test;

namespace {

const QColor kLayerColors[] = {QColor(200, 0, 0), QColor(0, 160, 0), QColor(0, 0, 200),
                               QColor(200, 200, 0), QColor(0, 200, 200)};
static_assert(std::size(kLayerColors) == kBackgroundLayerCount);

struct PaintFixture : ViewFixture {
    explicit PaintFixture(std::u16string_view text) : ViewFixture(text) {
        QFont font = view->editorFont();
        font.setPointSizeF(24);
        view->setEditorFont(font);
        view->setSelectedRange({0, 0});
    }
    QImage grab() { return view->viewport()->grab().toImage(); }
    /// The middle of the character at `offset` (its left half-way to the next, mid-row).
    QPoint middleOf(std::int64_t offset) {
        QRectF at = view->rectForOffset(offset);
        QRectF next = view->rectForOffset(offset + 1);
        return QPoint(static_cast<int>((at.left() + next.left()) / 2),
                      static_cast<int>(at.center().y()));
    }
    QColor pixel(const QImage& image, QPoint point) { return image.pixelColor(point); }
    /// Pixels of the character box at `offset` that `matches` (one space wide at a line end).
    template <typename Match> int countIn(const QImage& image, std::int64_t offset, Match match) {
        QRectF at = view->rectForOffset(offset);
        QRectF next = view->rectForOffset(offset + 1);
        qreal right = next.top() == at.top() ? next.left() : at.left() + view->layoutModel().advance();
        int count = 0;
        for (int y = static_cast<int>(at.top()); y < static_cast<int>(at.bottom()); ++y)
            for (int x = static_cast<int>(at.left()); x < static_cast<int>(right); ++x)
                if (match(image.pixelColor(x, y)))
                    ++count;
        return count;
    }
    QColor base() const { return view->palette().color(QPalette::Base); }
};

bool near(const QColor& a, const QColor& b, int tolerance = 8) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

TEST(Painting, BackgroundLayersStackInTheirDeclaredOrderAndClearIndependently) {
    PaintFixture f(u"a      b\n    x");
    const QPoint space = f.middleOf(3);
    const QPoint otherLine = f.middleOf(11);
    ASSERT_TRUE(near(f.pixel(f.grab(), space), f.base()));
    // Set the layers top first, so that the order drawn is not the order set.
    for (int index = kBackgroundLayerCount - 1; index >= 0; --index)
        f.view->setBackgroundLayer(static_cast<BackgroundLayer>(index),
                                   {{{2, 3}, kLayerColors[index]}}, index == 0);
    for (int top = kBackgroundLayerCount - 1; top >= 0; --top) {
        QImage image = f.grab();
        EXPECT_TRUE(near(f.pixel(image, space), kLayerColors[top]))
            << "layer " << top << " drawn as " << f.pixel(image, space).name().toStdString();
        f.view->clearBackgroundLayer(static_cast<BackgroundLayer>(top));
    }
    EXPECT_TRUE(near(f.pixel(f.grab(), space), f.base()));
    // A full-width layer bands the whole row, past the range and past the line's end, and
    // only the rows of its lines.
    f.view->setBackgroundLayer(BackgroundLayer::currentLine, {{{1, 0}, kLayerColors[0]}}, true);
    QImage image = f.grab();
    EXPECT_TRUE(near(f.pixel(image, f.middleOf(6)), kLayerColors[0]));
    EXPECT_TRUE(near(f.pixel(image, {f.view->viewport()->width() - 3, space.y()}), kLayerColors[0]));
    EXPECT_TRUE(near(f.pixel(image, otherLine), f.base()));
}

TEST(Painting, TheSelectionIsDrawnOverTheLayersAndFollowsTheRange) {
    PaintFixture f(u"a      b\nnext");
    const QPoint inside = f.middleOf(3);
    const QPoint outside = f.middleOf(6);
    f.view->setBackgroundLayer(BackgroundLayer::columnSelection, {{{2, 5}, kLayerColors[0]}});
    f.view->setSelectedRange({2, 2});
    QImage image = f.grab();
    const QColor selected = f.pixel(image, inside);
    EXPECT_FALSE(near(selected, kLayerColors[0], 20)) << selected.name().toStdString();
    EXPECT_TRUE(near(f.pixel(image, outside), kLayerColors[0]));
    // Without the layer the selection still shows; without the selection nothing does.
    f.view->clearBackgroundLayer(BackgroundLayer::columnSelection);
    EXPECT_FALSE(near(f.pixel(f.grab(), inside), f.base(), 20));
    f.view->setSelectedRange({0, 0});
    EXPECT_TRUE(near(f.pixel(f.grab(), inside), f.base()));
}

TEST(Painting, ForegroundLayersColourTheTextAndTheHigherOneWins) {
    PaintFixture f(u"MMMMMM");
    auto red = [](const QColor& c) { return c.red() > 160 && c.green() < 90 && c.blue() < 90; };
    auto green = [](const QColor& c) { return c.green() > 120 && c.red() < 90 && c.blue() < 90; };
    f.view->addForegroundColor(ForegroundLayer::syntax, {0, 4}, QColor(220, 0, 0));
    f.view->addForegroundColor(ForegroundLayer::bracketPair, {1, 1}, QColor(0, 170, 0));
    // Adjacent runs of the one layer: each keeps its colour.
    f.view->addForegroundColor(ForegroundLayer::syntax, {4, 1}, QColor(0, 0, 220));
    QImage image = f.grab();
    EXPECT_GT(f.countIn(image, 0, red), 10);
    EXPECT_EQ(f.countIn(image, 1, red), 0);
    EXPECT_GT(f.countIn(image, 1, green), 10);
    EXPECT_GT(f.countIn(image, 3, red), 10);
    EXPECT_GT(f.countIn(image, 4, [](const QColor& c) { return c.blue() > 160 && c.red() < 90; }),
              10);
    // Recolouring the syntax layer leaves the bracket's colour alone, and clearing the bracket
    // layer brings the syntax colour back.
    f.view->removeForegroundColors(ForegroundLayer::syntax, {0, 4});
    f.view->addForegroundColor(ForegroundLayer::syntax, {0, 4}, QColor(220, 0, 0));
    image = f.grab();
    EXPECT_GT(f.countIn(image, 1, green), 10);
    f.view->clearForegroundLayer(ForegroundLayer::bracketPair);
    image = f.grab();
    EXPECT_GT(f.countIn(image, 1, red), 10);
    EXPECT_EQ(f.countIn(image, 1, green), 0);
    f.view->clearForegroundLayer(ForegroundLayer::syntax);
    EXPECT_EQ(f.countIn(f.grab(), 0, red), 0);
}

TEST(Painting, InvisiblesMarkSpacesTabsAndLineEnds) {
    PaintFixture f(u"a b\tc\nd");
    auto inked = [&](const QColor& c) { return !near(c, f.base(), 30); };
    QImage plain = f.grab();
    ASSERT_EQ(f.countIn(plain, 1, inked), 0); // the space
    ASSERT_EQ(f.countIn(plain, 3, inked), 0); // the tab
    ASSERT_EQ(f.countIn(plain, 5, inked), 0); // the line end
    f.view->setShowsInvisibles(true);
    QImage shown = f.grab();
    EXPECT_GT(f.countIn(shown, 1, inked), 0);
    EXPECT_GT(f.countIn(shown, 3, inked), 0);
    EXPECT_GT(f.countIn(shown, 5, inked), 0);
}

TEST(Painting, TheCaretIsDrawnAtItsOffsetWhileFocused) {
    PaintFixture f(u"a      b");
    f.view->setSelectedRange({4, 0});
    ASSERT_TRUE(f.view->hasFocus());
    QRectF caret = f.view->caretRect();
    const QPoint on(static_cast<int>(caret.left()), static_cast<int>(caret.center().y()));
    const QColor text = f.view->palette().color(QPalette::Text);
    EXPECT_TRUE(near(f.pixel(f.grab(), on), text));
    // Elsewhere on the row: background.
    EXPECT_TRUE(near(f.pixel(f.grab(), f.middleOf(2)), f.base()));
    f.view->setSelectedRange({2, 0});
    EXPECT_TRUE(near(f.pixel(f.grab(), on), f.base()));
}

} // namespace
