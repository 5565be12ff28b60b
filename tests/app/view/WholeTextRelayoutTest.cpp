// A shown document whose whole text is replaced (replace-all, undo of it): the view lays out
// only what it draws again and keeps its selection and geometry in step with the text.
#include "ViewTestSupport.h"

#include "app/view/TextLayoutModel.h"

#include <gtest/gtest.h>

using namespace vendrix;
using namespace vendrix::app;
using namespace vendrix::app::test;

namespace {

std::u16string numberedLines(int count, std::u16string_view filler) {
    std::u16string text;
    for (int i = 0; i < count; ++i) {
        text += QString::number(i).toStdU16String();
        text += filler;
        text += u'\n';
    }
    return text;
}

TEST(WholeTextRelayoutTest, RelaysOutOnlyTheVisiblePageAndRestoresOnUndo) {
    const std::u16string before = numberedLines(20000, u" a fairly long line of words, cat cat");
    const std::u16string after = numberedLines(20000, u" short");
    ViewFixture f(before);
    f.view->setSelectedRange({100, 5});
    QApplication::processEvents();
    TextLayoutModel& layout = f.view->layoutModel();
    const qreal longWidth = layout.contentWidth();

    const std::uint64_t laidOut = layout.laidOutCharacters();
    ASSERT_TRUE(f.document->applyEdits({{0, f.document->length()}}, {after},
                                       EditorDocument::EditOptions{}));
    f.view->viewport()->repaint();
    QApplication::processEvents();
    const std::uint64_t page = layout.laidOutCharacters() - laidOut;
    EXPECT_GT(page, 0u) << "the visible lines are laid out again";
    EXPECT_LT(page, 200u * 20u) << "no more than a page of short lines";
    EXPECT_LT(layout.cachedLayoutCount(), 200u);
    EXPECT_LT(layout.contentWidth(), longWidth) << "the longest line is measured anew";
    EXPECT_EQ(layout.lineCount(), 20001);

    f.document->undo();
    QApplication::processEvents();
    EXPECT_EQ(textOf(*f.document), before);
    EXPECT_EQ(f.view->selectedRange(), (TextRange{100, 5})) << "the selection before the step";
    EXPECT_EQ(layout.contentWidth(), longWidth);
    // Geometry and hit-testing agree with the restored text.
    const std::int64_t offset = f.document->lineIndex().lineStart(3) + 2;
    f.view->setSelectedRange({offset, 0});
    EXPECT_EQ(f.view->offsetAt(f.pointOf(offset)), offset);

    f.document->redo();
    EXPECT_EQ(textOf(*f.document), after);
    EXPECT_EQ(f.view->selectedRange(), (TextRange{static_cast<std::int64_t>(after.size()), 0}));
}

} // namespace
