// A line of millions of characters must cost no more per frame or keystroke than its visible
// part: these tests count the characters the layout touches.
#include "ViewTestSupport.h"


#include <QScrollBar>
#include <QWheelEvent>

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

TEST(LongLine, TheCaretStaysInViewAfterCtrlEndInAWrappedLineNeverLaidOut) {
    // Rows above the end are estimates until their segments are laid out; painting corrects
    // them, and the caret's row must stay on screen as it does.
    const std::u16string text = longLine().substr(0, 3'000'000);
    ViewFixture f(text, false, {640, 400});
    f.view->setWrapsLines(true);
    QApplication::processEvents();
    auto caretShown = [&] {
        const QRectF caret = f.view->caretRect();
        return caret.top() >= 0 && caret.bottom() <= f.view->viewport()->height();
    };
    f.key(Qt::Key_End, Qt::ControlModifier);
    f.view->viewport()->repaint();
    QApplication::processEvents();
    EXPECT_TRUE(caretShown()) << f.view->caretRect().top();
    for (int i = 0; i < 6; ++i) {
        f.type(QStringLiteral("x"));
        f.view->viewport()->repaint();
        QApplication::processEvents();
        ASSERT_TRUE(caretShown()) << "after " << i + 1 << " keys: " << f.view->caretRect().top();
    }
    EXPECT_EQ(f.view->caretOffset(), static_cast<std::int64_t>(text.size()) + 6);
    // Scrolling away by hand is left alone: the caret is not pulled back into view.
    QWheelEvent wheel(QPointF(50, 50), f.view->mapToGlobal(QPoint(50, 50)), QPoint(),
                      QPoint(0, 120 * 20), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.view->viewport(), &wheel);
    f.view->viewport()->repaint();
    QApplication::processEvents();
    EXPECT_FALSE(caretShown());
}

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

namespace {

/// The row starts of `text` laid out whole, as the view lays out a line.
std::vector<std::int64_t> wholeLineRowStarts(const std::u16string& text,
                                             const TextLayoutModel& model) {
    QTextLayout whole(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())),
                      model.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTextDirection(Qt::LeftToRight);
    option.setTabStopDistance(model.tabWidth() * model.advance());
    whole.setTextOption(option);
    whole.beginLayout();
    std::vector<std::int64_t> starts;
    for (QTextLine row = whole.createLine(); row.isValid(); row = whole.createLine()) {
        row.setLineWidth(model.wrapWidth());
        starts.push_back(row.textStart());
    }
    whole.endLayout();
    return starts;
}

/// Checks that the rows on screen are rows of the whole line laid out at once.
void expectWholeLineRows(ViewFixture& f, const std::u16string& text,
                         const std::vector<std::int64_t>& rows, int width) {
    for (const auto& fragment : f.view->visibleLineFragments()) {
        auto row = std::lower_bound(rows.begin(), rows.end(), fragment.range.location);
        ASSERT_TRUE(row != rows.end() && *row == fragment.range.location)
            << "width " << width << ": a row starts at " << fragment.range.location;
        const std::int64_t end =
            row + 1 != rows.end() ? *(row + 1) : static_cast<std::int64_t>(text.size());
        ASSERT_EQ(fragment.range.end(), end)
            << "width " << width << ": the row at " << fragment.range.location;
    }
}

TEST(LongLine, WrappedRowsBreakWhereTheWholeLineBreaks) {
    // Minified data repeating every 31 characters: greedy rows started at different places
    // may never meet, so the view must carry the line's own row starts along as it scrolls.
    std::u16string text = longLine().substr(0, 100'000);
    for (std::size_t at = 777; at + 20 < text.size(); at += 1231)
        text.replace(at, 9, at % 2 ? u"abcdefghi" : u"x\ty zz w ");
    ViewFixture f(text);
    f.view->setWrapsLines(true);
    for (int width : {300, 417, 640, 1003}) {
        f.view->resize(width, 300);
        QApplication::processEvents();
        const std::vector<std::int64_t> rows = wholeLineRowStarts(text, f.view->layoutModel());
        ASSERT_GT(rows.size(), 100u);
        for (std::int64_t offset : {0, 1000, 25'000, 50'001, 77'777, 99'990}) {
            f.view->scrollRangeToVisible({offset, 0});
            ASSERT_NO_FATAL_FAILURE(expectWholeLineRows(f, text, rows, width));
        }
        // Typing keeps the rows after the caret those of the whole line.
        f.view->setSelectedRange({99'000, 0});
        f.type(QStringLiteral("typed "));
        text.insert(99'000, u"typed ");
        ASSERT_NO_FATAL_FAILURE(
            expectWholeLineRows(f, text, wholeLineRowStarts(text, f.view->layoutModel()), width));
    }
}

TEST(LongLine, AJumpIntoAWrappedLineShowsTheLinesOwnRowsAtOnce) {
    // Words of varied lengths, with a view that has measured nothing yet when it jumps.
    std::mt19937 random(5);
    std::u16string text;
    const std::u16string_view pieces[] = {u"a", u"bc", u"def", u"ghij", u"klmnopq", u"rstuvwxyz",
                                          u"1234", u"\"k\":", u"[", u"],", u"{", u"},"};
    while (text.size() < 100'000) {
        text += pieces[random() % std::size(pieces)];
        text += random() % 3 ? u" " : u"";
    }
    for (int width : {300, 640, 1003}) {
        ViewFixture f(text, false, {width, 300});
        f.view->setWrapsLines(true);
        const std::vector<std::int64_t> rows = wholeLineRowStarts(text, f.view->layoutModel());
        for (std::int64_t offset : {77'777, 40'000, 99'000}) {
            f.view->scrollRangeToVisible({offset, 0});
            ASSERT_NO_FATAL_FAILURE(expectWholeLineRows(f, text, rows, width));
        }
    }
}

} // namespace
