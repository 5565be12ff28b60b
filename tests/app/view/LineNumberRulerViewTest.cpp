#include "ViewTestSupport.h"

#include "app/view/LineNumberRulerView.h"
#include "core/text/LineIndex.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

#include <cmath>

using namespace vendrix;
using namespace vendrix::app;
using namespace vendrix::app::test;

namespace {

struct RulerFixture : ViewFixture {
    explicit RulerFixture(std::u16string_view text)
        : ViewFixture(text),
          ruler(new LineNumberRulerView(view.get(), [this]() -> const LineIndex* {
              return view->document() ? &view->document()->lineIndex() : nullptr;
          })) {}
    int expectedThickness(int digits) const {
        QFontMetricsF metrics(ruler->numberFont());
        return static_cast<int>(
            std::ceil(metrics.horizontalAdvance(QLatin1Char('8')) * digits + 16));
    }
    LineNumberRulerView* ruler;
};

std::u16string lines(int count) {
    std::u16string text;
    for (int i = 1; i < count; ++i)
        text += u"x\n";
    return text;
}

TEST(LineNumberRulerView, SizedForThreeDigitsAtLeastAndWidensAtAThousandLines) {
    RulerFixture f(u"");
    EXPECT_EQ(f.ruler->digitCount(), 3);
    EXPECT_EQ(f.ruler->thickness(), f.expectedThickness(3));
    EXPECT_EQ(f.view->viewport()->x(), f.ruler->thickness());

    ASSERT_TRUE(f.document->applyEdit({0, 0}, lines(999)));
    EXPECT_EQ(f.document->lineIndex().lineCount(), 999);
    EXPECT_EQ(f.ruler->digitCount(), 3);
    f.view->setSelectedRange({f.document->length(), 0});
    f.key(Qt::Key_Return);
    EXPECT_EQ(f.ruler->digitCount(), 4);
    EXPECT_EQ(f.ruler->thickness(), f.expectedThickness(4));
    EXPECT_EQ(f.view->viewport()->x(), f.ruler->thickness());
    f.key(Qt::Key_Backspace);
    EXPECT_EQ(f.ruler->digitCount(), 3);
    EXPECT_EQ(f.ruler->thickness(), f.expectedThickness(3));
}

TEST(LineNumberRulerView, FollowsTheDocumentShown) {
    RulerFixture f(u"one");
    auto big = makeDocument(lines(12000));
    f.view->setDocument(big.get());
    EXPECT_EQ(f.ruler->digitCount(), 5);
    f.view->setDocument(f.document.get());
    EXPECT_EQ(f.ruler->digitCount(), 3);
    f.ruler->repaint(); // draws from the visible fragments without failing
}

/// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
    int count = 0;
};

TEST(LineNumberRulerView, RepaintsWhenItsNumbersOrTheCaretLineChangeOnly) {
    RulerFixture f(u"one\ntwo\nthree");
    PaintCounter paints;
    f.ruler->installEventFilter(&paints);
    auto paintsAfter = [&](auto&& action) {
        QApplication::processEvents();
        const int before = paints.count;
        action();
        QApplication::processEvents();
        return paints.count - before;
    };
    f.view->setSelectedRange({1, 0});
    EXPECT_EQ(paintsAfter([&] { f.type(QStringLiteral("xy")); }), 0);
    EXPECT_EQ(paintsAfter([&] { f.key(Qt::Key_Right); }), 0);
    // The caret on another line is shown in another colour; a new line moves the numbers.
    EXPECT_GT(paintsAfter([&] { f.key(Qt::Key_Down); }), 0);
    EXPECT_GT(paintsAfter([&] { f.key(Qt::Key_Return); }), 0);
    EXPECT_GT(paintsAfter([&] { f.key(Qt::Key_Backspace); }), 0);
    // Wrapped, typing may change a line's rows and so move the numbers below it.
    f.view->setWrapsLines(true);
    EXPECT_GT(paintsAfter([&] { f.type(QStringLiteral("z")); }), 0);
}

} // namespace
