// A line of millions of characters must cost no more per frame or keystroke than its visible
// part: these tests count the characters the layout touches.
#include "ViewTestSupport.h"

#include "app/view/LineSegmentation.h"
#include "core/common/TextSource.h"

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

/// Reads a std::u16string as a TextSource.
struct Source final : TextSource {
    const std::u16string& text;
    explicit Source(const std::u16string& t) : text(t) {}
    std::int64_t length() const override { return static_cast<std::int64_t>(text.size()); }
    void copyUnits(TextRange range, char16_t* out) const override {
        text.copy(out, static_cast<size_t>(range.length), static_cast<size_t>(range.location));
    }
};

void expectSameColumns(const LineSegmentation& incremental, const std::u16string& text,
                       int tabWidth) {
    Source source(text);
    LineSegmentation fresh(source, {0, static_cast<std::int64_t>(text.size())}, tabWidth);
    ASSERT_EQ(incremental.totalColumns(), fresh.totalColumns());
    // Column of every segment start equals the column counted from the line start.
    std::int64_t column = 0;
    std::int64_t offset = 0;
    for (const LineSegment& segment : incremental.segments()) {
        for (; offset < segment.start; ++offset) {
            char16_t c = text[static_cast<size_t>(offset)];
            if (c == u'\t')
                column = (column / tabWidth + 1) * tabWidth;
            else if (!(c >= 0xDC00 && c <= 0xDFFF))
                ++column;
        }
        ASSERT_EQ(segment.startColumn, column) << "segment at " << segment.start;
        // Never inside a surrogate pair.
        if (segment.start > 0) {
            char16_t first = text[static_cast<size_t>(segment.start)];
            ASSERT_FALSE(first >= 0xDC00 && first <= 0xDFFF);
        }
    }
}

TEST(LineSegmentation, IncrementalUpdatesMatchAFreshSegmentation) {
    std::mt19937 random(7);
    const std::u16string alphabet = u"abc \t,😀e\u0301";
    std::u16string text;
    for (int i = 0; i < 20000; ++i)
        text += alphabet[random() % alphabet.size()];
    // Do not start with a broken pair.
    Source source(text);
    LineSegmentation segmentation(source, {0, static_cast<std::int64_t>(text.size())}, 4);
    expectSameColumns(segmentation, text, 4);
    for (int step = 0; step < 300; ++step) {
        std::int64_t at = random() % (text.size() + 1);
        std::int64_t removed =
            std::min<std::int64_t>(random() % 40, static_cast<std::int64_t>(text.size()) - at);
        if (step % 50 == 0)
            removed = std::min<std::int64_t>(3000, static_cast<std::int64_t>(text.size()) - at);
        std::u16string inserted;
        for (int i = random() % (step % 37 == 0 ? 2500 : 6); i > 0; --i)
            inserted += alphabet[random() % 5]; // no surrogates: keep pairs whole
        text.replace(static_cast<size_t>(at), static_cast<size_t>(removed), inserted);
        Source after(text);
        segmentation.update(after, {0, static_cast<std::int64_t>(text.size())}, at, removed,
                            static_cast<std::int64_t>(inserted.size()));
        ASSERT_EQ(segmentation.length(), static_cast<std::int64_t>(text.size()));
        ASSERT_NO_FATAL_FAILURE(expectSameColumns(segmentation, text, 4)) << "step " << step;
        for (int k = 0; k + 1 < segmentation.count(); ++k)
            ASSERT_LT(segmentation.segments()[static_cast<size_t>(k)].start,
                      segmentation.segments()[static_cast<size_t>(k + 1)].start);
    }
}

} // namespace
