// A line of millions of characters must cost no more per frame or keystroke than its visible
// part: these tests count the characters the layout touches.
#include "ViewTestSupport.h"


#include <QScrollBar>

#include <gtest/gtest.h>

#include <random>

using namespace vendrix;
using namespace vendrix::app;
using namespace vendrix::app::test;

namespace {

constexpr std::int64_t kLongLine = 5'000'000;
/// Far more than a screen's worth, far less than the line.
constexpr std::uint64_t kVisibleBudget = 60'000;

std::u16string longLine() {
    std::u16string text;
    text.reserve(kLongLine + 16);
    const std::u16string_view words[] = {u"{\"key\": ", u"\"value\", ", u"12345, ", u"true}, "};
    for (size_t i = 0; static_cast<std::int64_t>(text.size()) < kLongLine; ++i)
        text += words[i % 4];
    text.resize(kLongLine);
    return text;
}

class LongLineTest : public ::testing::TestWithParam<bool> {};

TEST_P(LongLineTest, TypingAndPaintingTouchOnlyTheVisiblePart) {
    const bool wraps = GetParam();
    std::u16string text = longLine();
    ViewFixture f(text + u"\nnext line");
    f.view->setWrapsLines(wraps);
    TextLayoutModel& layout = f.view->layoutModel();
    f.view->viewport()->repaint();
    std::uint64_t start = layout.laidOutCharacters();

    // Type in the middle of the line.
    const std::int64_t middle = kLongLine / 2;
    f.view->setSelectedRange({middle, 0});
    f.type(QStringLiteral("abc"));
    f.view->viewport()->repaint();
    text.insert(static_cast<size_t>(middle), u"abc");
    f.key(Qt::Key_Backspace);
    f.view->viewport()->repaint();
    text.erase(static_cast<size_t>(middle) + 2, 1);
    // ... and at the end of the line (wrapped: End goes to the row's end, again to the line's).
    f.key(Qt::Key_End);
    if (wraps) {
        EXPECT_LT(f.view->caretOffset(), static_cast<std::int64_t>(text.size()));
        f.key(Qt::Key_End);
    }
    f.type(QStringLiteral("Z"));
    f.view->viewport()->repaint();
    text += u"Z";
    EXPECT_TRUE(textOf(*f.document) == text + u"\nnext line");
    EXPECT_EQ(f.view->caretOffset(), static_cast<std::int64_t>(text.size()));

    std::uint64_t touched = layout.laidOutCharacters() - start;
    EXPECT_LT(touched, kVisibleBudget) << "laid out " << touched << " characters";
    // The caret is on screen after the jump to the end.
    QRectF caret = f.view->caretRect();
    EXPECT_TRUE(f.view->viewport()->rect().contains(caret.center().toPoint()))
        << caret.x() << "," << caret.y();
    // The undo of the typing restores the line.
    f.key(Qt::Key_Z, Qt::ControlModifier);
    text.pop_back();
    EXPECT_TRUE(textOf(*f.document) == text + u"\nnext line");
}

INSTANTIATE_TEST_SUITE_P(WrapOffAndOn, LongLineTest, ::testing::Bool());

TEST(LongLine, HitTestingAndCaretRectsAgreeAcrossSegments) {
    std::u16string text = longLine();
    ViewFixture f(text);
    // Scroll far into the line and click: the caret lands where the rect says.
    const std::int64_t target = 3'000'123;
    f.view->setSelectedRange({target, 0});
    f.view->scrollRangeToVisible({target, 0});
    QRectF rect = f.view->rectForOffset(target);
    std::int64_t hit = f.view->offsetAt(QPointF(rect.left() + 0.5, rect.center().y()));
    EXPECT_EQ(hit, target);
    auto fragments = f.view->visibleLineFragments();
    ASSERT_EQ(fragments.size(), 1u);
    EXPECT_TRUE(fragments[0].range.contains(target));
    EXPECT_LT(fragments[0].range.length, 20'000);
}

} // namespace
