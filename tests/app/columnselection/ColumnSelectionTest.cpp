// Making, editing and leaving column selections through real mouse and key events.
#include "ColumnTestSupport.h"

#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QMimeData>

namespace vendrix::app::test {
namespace {

class ColumnSelectionTest : public ColumnFixture {};

const std::u16string kGrid = u"0123456789\nabcdefghij\nABCDEFGHIJ\nklmnopqrst\nKLMNOPQRST\n";

TEST_F(ColumnSelectionTest, AltDragMakesARectangleAndTheStatusShowsItsSize) {
    open(kGrid);
    EXPECT_EQ(statusText(), QString());
    drag(pointOf(1, 3), pointOf(4, 7), Qt::LeftButton, Qt::AltModifier);
    ASSERT_TRUE(feature->isActive());
    EXPECT_EQ(*feature->selection(), rect(1, 3, 4, 7));
    EXPECT_EQ(statusText(), QString::fromUtf8("Sütun: 4\u00D74"));
    EXPECT_EQ(feature->lineParts(), (std::vector<TextRange>{{14, 4}, {25, 4}, {36, 4}, {47, 4}}));
    EXPECT_EQ(controller->statusBar()->field("selection")->label->text(), "Seçim: 16");
    EXPECT_EQ(
        view()->temporaryAttributes().background(BackgroundLayer::columnSelection).ranges.size(),
        4u);

    // Escape leaves with the caret at the active point; the field hides again.
    key(Qt::Key_Escape);
    EXPECT_FALSE(feature->isActive());
    EXPECT_EQ(view()->selectedRange(), (TextRange{51, 0}));
    EXPECT_EQ(statusText(), QString());
    EXPECT_TRUE(
        view()->temporaryAttributes().background(BackgroundLayer::columnSelection).ranges.empty());
}

TEST_F(ColumnSelectionTest, ClickRightOfAShortLineReachesIntoVirtualSpace) {
    open(u"ab\nabcdefghij\n");
    drag(pointOf(0, 6), pointOf(1, 8), Qt::LeftButton, Qt::AltModifier);
    ASSERT_TRUE(feature->isActive());
    EXPECT_EQ(feature->selection()->anchor, (ColumnPoint{0, 6}));
    EXPECT_EQ(feature->selection()->active, (ColumnPoint{1, 8}));
}

TEST_F(ColumnSelectionTest, MiddleDragMakesARectangleButAMiddleClickStaysThePrimaryPaste) {
    open(kGrid);
    drag(pointOf(0, 1), pointOf(2, 4), Qt::MiddleButton, Qt::NoModifier);
    ASSERT_TRUE(feature->isActive());
    EXPECT_EQ(*feature->selection(), rect(0, 1, 2, 4));
    EXPECT_EQ(text(), kGrid); // no primary paste at the release

    // A click without movement ends column mode (a foreign change, if anything is pasted)
    // and is left to the view; it never starts a rectangle.
    QTest::mouseClick(viewport(), Qt::MiddleButton, Qt::NoModifier, pointOf(3, 2));
    EXPECT_FALSE(feature->isActive() && feature->selection()->active == (ColumnPoint{3, 2}));
}

TEST_F(ColumnSelectionTest, KeysExtendAndPlainKeysLeave) {
    open(kGrid);
    view()->setSelectedRange({2, 0});
    key(Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
    key(Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
    key(Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
    ASSERT_TRUE(feature->isActive());
    EXPECT_EQ(*feature->selection(), rect(0, 2, 1, 4));
    key(Qt::Key_Left, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(*feature->selection(), rect(0, 2, 1, 3));
    // Right stops at the largest column.
    feature->select(rect(0, 2, 0, ColumnSelectionFeature::maxColumn));
    feature->extend(ColumnLayout::Direction::right);
    EXPECT_EQ(feature->selection()->active.column, ColumnSelectionFeature::maxColumn);

    feature->select(rect(0, 2, 1, 3));
    // A plain arrow leaves column mode and moves from the active point.
    key(Qt::Key_Right);
    EXPECT_FALSE(feature->isActive());
    EXPECT_EQ(view()->selectedRange(), (TextRange{15, 0}));

    // A plain click leaves it too.
    feature->select(rect(0, 2, 1, 3));
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(3, 1));
    EXPECT_FALSE(feature->isActive());
    EXPECT_EQ(view()->selectedRange(), (TextRange{34, 0}));

    // The exit command.
    feature->select(rect(0, 2, 1, 3));
    QAction* exit = menuItem(QStringLiteral("Sütun Seçiminden Çık"));
    ASSERT_NE(exit, nullptr);
    exit->trigger();
    EXPECT_FALSE(feature->isActive());
    EXPECT_EQ(view()->selectedRange(), (TextRange{14, 0}));
}

TEST_F(ColumnSelectionTest, CtrlAltShiftArrowLeavesAndDoesTheArrowsOwnCommand) {
    // The chord may be taken by the desktop (workspace moves); Ctrl+Shift+arrow does the same
    // from a column selection, since every navigation key leaves at the active point.
    open(u"alpha beta gamma\nalpha beta gamma\n");
    for (Qt::KeyboardModifiers chord : {Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier,
                                        Qt::ControlModifier | Qt::ShiftModifier}) {
        feature->select(rect(0, 2, 1, 6));
        key(Qt::Key_Right, chord);
        EXPECT_FALSE(feature->isActive());
        // From the active point (line 1, column 6) to the end of the word "beta", extending.
        EXPECT_EQ(view()->selectedRange(), (TextRange{23, 4}));
    }
}

TEST_F(ColumnSelectionTest, TypingGoesIntoEveryLineAndShortLinesAreNotPadded) {
    open(u"abcdefghij\nabc\nabcdefghij\n");
    feature->select(rect(0, 8, 2, 8));
    type("X");
    EXPECT_EQ(text(), u"abcdefghXij\nabc\nabcdefghXij\n");
    // The short middle line stays as it is; the carets go on at column 9.
    EXPECT_EQ(feature->selection()->active, (ColumnPoint{2, 9}));
    EXPECT_FALSE(feature->selection()->caretColumns.has_value());

    // Nothing reached: the user is told.
    feature->select(rect(0, 30, 2, 30));
    type("Y");
    EXPECT_EQ(text(), u"abcdefghXij\nabc\nabcdefghXij\n");
    EXPECT_EQ(message(), QStringLiteral("Sütun seçimi hiçbir satırın metnine ulaşmıyor; kısa "
                                        "satırlar boşlukla doldurulmaz"));
}

TEST_F(ColumnSelectionTest, RaggedLinesKeepTheirOwnCarets) {
    open(u"ab\nabcd\nabcdef\n");
    feature->select(rect(0, 2, 2, 2));
    type("x");
    EXPECT_EQ(text(), u"abx\nabxcd\nabxcdef\n");
    key(Qt::Key_End); // leaves; the next rectangle starts at different line ends
    feature->select(rect(0, 3, 2, 7));
    key(Qt::Key_Backspace); // deletes the block; lines end at different columns
    EXPECT_EQ(text(), u"abx\nabx\nabx\n");
    type("!");
    EXPECT_EQ(text(), u"abx!\nabx!\nabx!\n");
}

TEST_F(ColumnSelectionTest, AWideCharacterStraddlingAnEdgeBelongsToTheRectangleOnTheLeftOnly) {
    // 漢 takes columns 1-2; a rectangle from column 2 to 4 starts at it, one ending at 2 stops
    // before it.
    open(u"a\u6F22bc\nabcde\n");
    feature->select(rect(0, 2, 1, 4));
    EXPECT_EQ(feature->lineParts(), (std::vector<TextRange>{{1, 2}, {7, 2}}));
    feature->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf16(u"\u6F22b\ncd"));
    feature->select(rect(0, 0, 1, 2));
    EXPECT_EQ(feature->lineParts(), (std::vector<TextRange>{{0, 1}, {5, 2}}));
    type("-");
    EXPECT_EQ(text(), u"-\u6F22bc\n-cde\n");
}

TEST_F(ColumnSelectionTest, CopyAndPasteARectangleAsAColumn) {
    open(kGrid);
    feature->select(rect(0, 1, 2, 3));
    view()->copy();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(data->hasFormat(ColumnSelectionFeature::columnMimeType));
    EXPECT_EQ(data->text(), "12\nbc\nBC");

    // Pasted over another rectangle: as a column at its top-left corner.
    feature->select(rect(2, 6, 4, 6));
    view()->paste();
    EXPECT_EQ(text(), u"0123456789\nabcdefghij\nABCDEF12GHIJ\nklmnopbcqrst\nKLMNOPBCQRST\n");
    EXPECT_FALSE(feature->isActive());
    EXPECT_EQ(view()->selectedRange(), (TextRange{30, 0}));

    // Without a column selection the column format still pastes as a column at the caret.
    view()->setSelectedRange({2, 0});
    view()->paste();
    EXPECT_EQ(text(), u"011223456789\nabbccdefghij\nABBCCDEF12GHIJ\nklmnopbcqrst\nKLMNOPBCQRST\n");
    EXPECT_EQ(document().undoStack()->undoText(), "Yapıştır");
}

TEST_F(ColumnSelectionTest, PlainPasteRules) {
    open(kGrid);
    // As many lines as the rectangle: one per line.
    QApplication::clipboard()->setText("x\ny\nz");
    feature->select(rect(0, 1, 2, 2));
    view()->paste();
    EXPECT_EQ(text(), u"0x23456789\naycdefghij\nAzCDEFGHIJ\nklmnopqrst\nKLMNOPQRST\n");
    // Other line counts: the stream rule.
    QApplication::clipboard()->setText("p\nq");
    feature->select(rect(0, 1, 2, 2));
    view()->paste();
    EXPECT_EQ(text(), u"0p\nq23456789\nacdefghij\nACDEFGHIJ\nklmnopqrst\nKLMNOPQRST\n");
    // Return leaves column mode and breaks the line once, at the active point; the
    // rectangle's text stays.
    feature->select(rect(1, 2, 1, 4));
    key(Qt::Key_Return);
    EXPECT_EQ(text(), u"0p\nq234\n56789\nacdefghij\nACDEFGHIJ\nklmnopqrst\nKLMNOPQRST\n");
    EXPECT_FALSE(feature->isActive());
    EXPECT_EQ(view()->selectedRange(), (TextRange{8, 0}));
    view()->undo();
    // One line is typed into every line.
    QApplication::clipboard()->setText("#");
    feature->select(rect(3, 0, 4, 0));
    view()->paste();
    EXPECT_EQ(text(), u"0p\nq23456789\nacdefghij\n#ACDEFGHIJ\n#klmnopqrst\nKLMNOPQRST\n");
    // Paste as column with a plain selection: the selection goes first, in the same step.
    QApplication::clipboard()->setText("1\n2");
    view()->setSelectedRange({0, 2});
    menuItem(QStringLiteral("Sütun Olarak Yapıştır"))->trigger();
    EXPECT_EQ(text(), u"1\n2q23456789\nacdefghij\n#ACDEFGHIJ\n#klmnopqrst\nKLMNOPQRST\n");
    view()->undo();
    EXPECT_EQ(text(), u"0p\nq23456789\nacdefghij\n#ACDEFGHIJ\n#klmnopqrst\nKLMNOPQRST\n");
}

TEST_F(ColumnSelectionTest, CutDeletesTheBlockAndTabTypesATabOnEveryLine) {
    open(kGrid);
    feature->select(rect(0, 2, 1, 5));
    view()->cut();
    EXPECT_EQ(QApplication::clipboard()->text(), "234\ncde");
    EXPECT_EQ(text(), u"0156789\nabfghij\nABCDEFGHIJ\nklmnopqrst\nKLMNOPQRST\n");
    EXPECT_EQ(document().undoStack()->undoText(), "Kes");
    EXPECT_EQ(*feature->selection(), rect(0, 2, 1, 2));
    key(Qt::Key_Tab);
    EXPECT_EQ(text(), u"01\t56789\nab\tfghij\nABCDEFGHIJ\nklmnopqrst\nKLMNOPQRST\n");
    EXPECT_EQ(feature->selection()->active.column, 4);
    EXPECT_TRUE(view()->isColumnSelectionActive());
}

TEST_F(ColumnSelectionTest, ComposedTextLandsOnEveryLineWhenCommitted) {
    open(kGrid);
    feature->select(rect(0, 2, 2, 2));
    QInputMethodEvent composing(QStringLiteral("s"), {});
    QApplication::sendEvent(view(), &composing);
    EXPECT_EQ(text(), kGrid); // shown by the view at the caret, not yet in the text
    key(Qt::Key_Escape);      // belongs to the input method while composing
    ASSERT_TRUE(feature->isActive());
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("ş"));
    QApplication::sendEvent(view(), &commit);
    EXPECT_EQ(text(),
              u"01\u015F23456789\nab\u015Fcdefghij\nAB\u015FCDEFGHIJ\nklmnopqrst\nKLMNOPQRST\n");
    EXPECT_EQ(*feature->selection(), rect(0, 3, 2, 3));
    EXPECT_EQ(document().undoStack()->count(), 1);
}

TEST_F(ColumnSelectionTest, MenuValidation) {
    open(kGrid);
    feature->select(rect(0, 2, 1, 2)); // carets: nothing to copy
    EXPECT_FALSE(view()->canPerform(TextCommand::copy));
    EXPECT_FALSE(view()->canPerform(TextCommand::cut));
    feature->select(rect(0, 2, 1, 4));
    EXPECT_TRUE(view()->canPerform(TextCommand::copy));
    EXPECT_TRUE(view()->canPerform(TextCommand::deleteSelection));
    QApplication::clipboard()->clear();
    EXPECT_FALSE(view()->canPerform(TextCommand::paste));
    QApplication::clipboard()->setText("x");
    EXPECT_TRUE(view()->canPerform(TextCommand::paste));
    feature->select(rect(0, 20, 1, 24)); // a rectangle beyond every line selects nothing
    EXPECT_FALSE(view()->canPerform(TextCommand::copy));
    document().setReadOnly(true);
    feature->select(rect(0, 2, 1, 4));
    EXPECT_TRUE(view()->canPerform(TextCommand::copy));
    EXPECT_FALSE(view()->canPerform(TextCommand::cut));
    type("z");
    EXPECT_EQ(text(), kGrid);
}

TEST_F(ColumnSelectionTest, CaseCommandsChangeEachLinePartAndKeepTheRectangle) {
    open(u"abc def\nxyz uvw\n");
    drag(pointOf(0, 1), pointOf(1, 5), Qt::LeftButton, Qt::AltModifier);
    menuItem(QStringLiteral("BÜYÜK HARF"))->trigger();
    EXPECT_EQ(text(), u"aBC Def\nxYZ Uvw\n");
    ASSERT_TRUE(feature->isActive());
    EXPECT_EQ(*feature->selection(), rect(0, 1, 1, 5));
    EXPECT_EQ(document().undoStack()->undoText(), "BÜYÜK HARF");
    // The same rectangle takes the next command, each its own step.
    menuItem(QStringLiteral("Başlık Harfi"))->trigger();
    EXPECT_EQ(text(), u"aBc Def\nxYz Uvw\n");
    EXPECT_EQ(*feature->selection(), rect(0, 1, 1, 5));
    // Nothing changes: no step, a message, the rectangle stays.
    const int steps = document().undoStack()->count();
    menuItem(QStringLiteral("Başlık Harfi"))->trigger();
    EXPECT_EQ(document().undoStack()->count(), steps);
    EXPECT_EQ(message(), QStringLiteral("Değişiklik yok"));
    EXPECT_TRUE(feature->isActive());
    view()->undo();
    EXPECT_EQ(text(), u"aBC Def\nxYZ Uvw\n");
    // Carets: not taken; the command runs on the bounding range and column mode ends.
    feature->select(rect(0, 1, 1, 1));
    EXPECT_FALSE(feature->transformLineParts(
        [](std::u16string_view s) { return std::u16string(s); }, QStringLiteral("küçük harf")));
    EXPECT_EQ(feature->boundingRange(), (TextRange{1, 8}));
    menuItem(QStringLiteral("küçük harf"))->trigger();
    EXPECT_EQ(text(), u"abc def\nxYZ Uvw\n");
    EXPECT_FALSE(feature->isActive());
}

TEST_F(ColumnSelectionTest, CtrlSlashTogglesEveryLineOfTheRectangle) {
    open(u"alpha\nbeta\ngamma\ndelta\n").setLanguageID("python");
    drag(pointOf(1, 1), pointOf(2, 3), Qt::LeftButton, Qt::AltModifier);
    key(Qt::Key_Slash, Qt::ControlModifier);
    EXPECT_EQ(text(), u"alpha\n# beta\n# gamma\ndelta\n");
    EXPECT_EQ(document().undoStack()->undoText(), "Yorumu Aç/Kapat");
    // The commented lines are selected; the same keys take the comments off again.
    EXPECT_EQ(view()->selectedRange(), (TextRange{6, 14}));
    key(Qt::Key_Slash, Qt::ControlModifier);
    EXPECT_EQ(text(), u"alpha\nbeta\ngamma\ndelta\n");
}

TEST_F(ColumnSelectionTest, FormattingTakesTheRectanglesBoundingRange) {
    open(u"abc\n[1,\n2]\nxyz");
    drag(pointOf(1, 0), pointOf(2, 2), Qt::LeftButton, Qt::AltModifier);
    menuItem(QStringLiteral("JSON Küçült"))->trigger();
    EXPECT_EQ(text(), u"abc\n[1,2]\nxyz");
    EXPECT_EQ(view()->selectedRange(), (TextRange{4, 5}));
    EXPECT_TRUE(prompter.requests.empty());
}

TEST_F(ColumnSelectionTest, FindGoesOnFromTheRectangle) {
    open(u"foo bar foo\nfoo bar foo\nfoo\n");
    find().setQuery(QStringLiteral("foo"));
    // Dragged upwards: the view's caret sits at the top-left corner, the rectangle ends
    // inside the second "foo" of line 1.
    drag(pointOf(1, 2), pointOf(0, 0), Qt::LeftButton, Qt::AltModifier);
    key(Qt::Key_F3);
    QElapsedTimer timer;
    timer.start();
    while (find().isBusy() && timer.elapsed() < 15000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(view()->selectedRange(), (TextRange{20, 3}));
    EXPECT_FALSE(feature->isActive());

    // The find bar takes the rectangle's first non-empty part.
    drag(pointOf(0, 4), pointOf(1, 7), Qt::LeftButton, Qt::AltModifier);
    menuItem(QStringLiteral("Bul…"))->trigger();
    EXPECT_EQ(find().query(), "bar");
}

TEST_F(ColumnSelectionTest, PositionFieldShowsTheRectanglesStart) {
    open(kGrid);
    drag(pointOf(1, 2), pointOf(3, 5), Qt::LeftButton, Qt::AltModifier);
    EXPECT_EQ(positionText(), "Sat 2, Süt 3");
    // In the virtual space of a short line the active point moves and the caret does not;
    // the fields follow all the same.
    open(u"abcdef\nab\n");
    drag(pointOf(0, 5), pointOf(1, 6), Qt::LeftButton, Qt::AltModifier);
    EXPECT_EQ(positionText(), "Sat 1, Süt 6");
    for (int step = 0; step < 3; ++step)
        key(Qt::Key_Left, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(*feature->selection(), rect(0, 5, 1, 3));
    EXPECT_EQ(view()->selectedRange(), (TextRange{9, 0}));
    EXPECT_EQ(positionText(), "Sat 1, Süt 4");
    EXPECT_EQ(controller->statusBar()->field("selection")->label->text(), "Seçim: 2");
    key(Qt::Key_Escape);
    EXPECT_EQ(positionText(), "Sat 2, Süt 3");
}

} // namespace
} // namespace vendrix::app::test
