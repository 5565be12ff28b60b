#include "ViewTestSupport.h"

#include "app/view/PrimarySelection.h"

#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <optional>

using namespace vendrix;
using namespace vendrix::app;
using namespace vendrix::app::test;
using vendrix::test::parseMarked;

namespace {

struct KeyCase {
    const char* name;
    const char* before; // marked text
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* after;
};

class NavigationTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(NavigationTest, MovesAndExtendsTheSelection) {
    const KeyCase& c = GetParam();
    auto marked = parseMarked(c.before);
    ViewFixture f(marked.text);
    f.view->setSelectedRange(marked.selection);
    f.key(c.key, c.modifiers);
    EXPECT_EQ(f.marked(), c.after) << c.name;
}

const KeyCase kNavigationCases[] = {
    {"right", "a|bc", Qt::Key_Right, Qt::NoModifier, "ab|c"},
    {"right over a surrogate pair", "a|😀b", Qt::Key_Right, Qt::NoModifier, "a😀|b"},
    {"left over a combining sequence", "ae\u0301|b", Qt::Key_Left, Qt::NoModifier, "a|e\u0301b"},
    {"right over a combining sequence", "a|e\u0301b", Qt::Key_Right, Qt::NoModifier, "ae\u0301|b"},
    {"left at a line start goes to the previous line end", "ab\n|cd", Qt::Key_Left, Qt::NoModifier,
     "ab|\ncd"},
    {"right collapses a selection to its end", "a[bc]d", Qt::Key_Right, Qt::NoModifier, "abc|d"},
    {"left collapses a selection to its start", "a[bc]d", Qt::Key_Left, Qt::NoModifier, "a|bcd"},
    {"shift-right extends", "a|bcd", Qt::Key_Right, Qt::ShiftModifier, "a[b]cd"},
    {"word right ends the word", "foo| bar baz", Qt::Key_Right, Qt::ControlModifier,
     "foo bar| baz"},
    {"word right inside a word", "f|oo bar", Qt::Key_Right, Qt::ControlModifier, "foo| bar"},
    {"word left", "foo bar| baz", Qt::Key_Left, Qt::ControlModifier, "foo |bar baz"},
    {"word left over punctuation", "foo();|", Qt::Key_Left, Qt::ControlModifier, "foo|();"},
    {"word left at a line start", "foo\n|bar", Qt::Key_Left, Qt::ControlModifier, "foo|\nbar"},
    {"shift-word right", "|çalış öğe", Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier,
     "[çalış] öğe"},
    {"home", "ab\ncd|ef", Qt::Key_Home, Qt::NoModifier, "ab\n|cdef"},
    {"end", "ab\nc|def\ngh", Qt::Key_End, Qt::NoModifier, "ab\ncdef|\ngh"},
    {"shift-home", "ab\ncd|ef", Qt::Key_Home, Qt::ShiftModifier, "ab\n[cd]ef"},
    {"ctrl-home", "ab\ncd|ef", Qt::Key_Home, Qt::ControlModifier, "|ab\ncdef"},
    {"ctrl-end", "a|b\ncdef", Qt::Key_End, Qt::ControlModifier, "ab\ncdef|"},
    {"ctrl-shift-end", "a|b\ncd", Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier, "a[b\ncd]"},
    {"down keeps the column", "ab|cd\nefgh", Qt::Key_Down, Qt::NoModifier, "abcd\nef|gh"},
    {"down to a shorter line", "abc|d\nx\nefgh", Qt::Key_Down, Qt::NoModifier, "abcd\nx|\nefgh"},
    {"up on the first line goes to the start", "ab|cd", Qt::Key_Up, Qt::NoModifier, "|abcd"},
    {"down on the last line goes to the end", "ab|cd", Qt::Key_Down, Qt::NoModifier, "abcd|"},
    {"shift-down extends", "ab|cd\nefgh", Qt::Key_Down, Qt::ShiftModifier, "ab[cd\nef]gh"},
};
INSTANTIATE_TEST_SUITE_P(Keys, NavigationTest, ::testing::ValuesIn(kNavigationCases));

TEST(EditorTextView, VerticalMovesRememberTheColumnAcrossShortLines) {
    ViewFixture f(u"abcdef\nx\nabcdef");
    f.view->setSelectedRange({4, 0});
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Down);
    EXPECT_EQ(f.marked(), "abcdef\nx\nabcd|ef");
}

TEST(EditorTextView, PageDownMovesTheCaretAndScrollsByAPage) {
    std::u16string text;
    for (int i = 0; i < 500; ++i)
        text += u"line\n";
    ViewFixture f(text);
    f.key(Qt::Key_PageDown);
    std::int64_t line = f.document->lineIndex().lineNumber(f.view->caretOffset());
    EXPECT_GT(line, 5);
    EXPECT_GT(f.view->verticalScrollBar()->value(), 0);
    f.key(Qt::Key_PageUp);
    EXPECT_EQ(f.document->lineIndex().lineNumber(f.view->caretOffset()), 0);
}

struct EditCase {
    const char* name;
    const char* before;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* after;
};

class EditingKeyTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditingKeyTest, ChangesTheText) {
    const EditCase& c = GetParam();
    auto marked = parseMarked(c.before);
    ViewFixture f(marked.text);
    f.view->setSelectedRange(marked.selection);
    f.key(c.key, c.modifiers);
    EXPECT_EQ(f.marked(), c.after) << c.name;
}

const EditCase kEditingCases[] = {
    {"backspace", "ab|c", Qt::Key_Backspace, Qt::NoModifier, "a|c"},
    {"backspace removes a whole surrogate pair", "a😀|b", Qt::Key_Backspace, Qt::NoModifier, "a|b"},
    {"backspace removes a whole cluster", "ae\u0301|b", Qt::Key_Backspace, Qt::NoModifier, "a|b"},
    {"backspace joins lines", "ab\n|cd", Qt::Key_Backspace, Qt::NoModifier, "ab|cd"},
    {"backspace at the start does nothing", "|ab", Qt::Key_Backspace, Qt::NoModifier, "|ab"},
    {"delete", "a|bc", Qt::Key_Delete, Qt::NoModifier, "a|c"},
    {"delete at the end does nothing", "ab|", Qt::Key_Delete, Qt::NoModifier, "ab|"},
    {"delete removes the selection", "a[bc]d", Qt::Key_Delete, Qt::NoModifier, "a|d"},
    {"ctrl-backspace removes a word", "foo bar|", Qt::Key_Backspace, Qt::ControlModifier, "foo |"},
    {"ctrl-delete removes a word", "|foo bar", Qt::Key_Delete, Qt::ControlModifier, "| bar"},
    {"enter", "ab|cd", Qt::Key_Return, Qt::NoModifier, "ab\n|cd"},
    {"enter replaces the selection", "a[bc]d", Qt::Key_Enter, Qt::NoModifier, "a\n|d"},
    {"tab", "a|b", Qt::Key_Tab, Qt::NoModifier, "a\t|b"},
};
INSTANTIATE_TEST_SUITE_P(Keys, EditingKeyTest, ::testing::ValuesIn(kEditingCases));

TEST(EditorTextView, TypingReplacesTheSelectionAndUndoesAsOneStep) {
    ViewFixture f(u"hello world");
    f.view->setSelectedRange({6, 5});
    f.type(QStringLiteral("çalış"));
    EXPECT_EQ(f.marked(), "hello çalış|");
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), u"hello world");
    EXPECT_EQ(f.view->selectedRange(), (TextRange{6, 5}));
    f.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(textOf(*f.document), vendrix::test::u16("hello çalış"));
    f.key(Qt::Key_Z, Qt::ControlModifier);
    f.key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), vendrix::test::u16("hello çalış"));
}

TEST(EditorTextView, MovingTheCaretStartsANewUndoStep) {
    ViewFixture f(u"");
    f.type(QStringLiteral("ab"));
    f.key(Qt::Key_Left);
    f.type(QStringLiteral("x"));
    EXPECT_EQ(textOf(*f.document), u"axb");
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), u"ab");
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), u"");
}

TEST(EditorTextView, ReadOnlyDocumentsRefuseEditsButSelectAndCopy) {
    ViewFixture f(u"binary\x01data", true);
    f.type(QStringLiteral("x"));
    f.key(Qt::Key_Backspace);
    f.key(Qt::Key_Return);
    EXPECT_EQ(textOf(*f.document), u"binary\x01data");
    f.key(Qt::Key_A, Qt::ControlModifier);
    f.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("binary\x01data"));
    f.key(Qt::Key_X, Qt::ControlModifier);
    f.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), u"binary\x01data");
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("ş"));
    QApplication::sendEvent(f.view.get(), &commit);
    EXPECT_EQ(textOf(*f.document), u"binary\x01data");
}

TEST(EditorTextView, ClipboardCutCopyPasteNormalisesLineBreaks) {
    ViewFixture f(u"one two");
    f.view->setSelectedRange({0, 3});
    f.key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("one"));
    EXPECT_EQ(f.marked(), "| two");
    f.key(Qt::Key_End);
    f.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.marked(), " twoone|");
    QApplication::clipboard()->setText(QStringLiteral("a\r\nb\rc"));
    f.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.marked(), " twoonea\nb\nc|");
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), u" twoone");
    EXPECT_EQ(f.document->undoStack()->undoText(), QStringLiteral("Yapıştır"));
}

TEST(EditorTextView, SelectedTextBecomesThePrimarySelectionAndMiddleClickPastesIt) {
    ViewFixture source(u"alpha beta");
    ViewFixture target(u"xy");
    source.view->setSelectedRange({6, 4});
    EXPECT_EQ(PrimarySelection::text(), QStringLiteral("beta"));
    QTest::mouseClick(target.view->viewport(), Qt::MiddleButton, Qt::NoModifier, target.pointOf(1));
    EXPECT_EQ(textOf(*target.document), u"xbetay");
    // The clipboard proper is untouched by selecting.
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    source.view->setSelectedRange({0, 5});
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clip"));
}

TEST(EditorTextView, MouseClicksPlaceSelectWordsAndLines) {
    ViewFixture f(u"first line\nsecond word here\nthird");
    QWidget* viewport = f.view->viewport();
    QPoint inWord = f.pointOf(14); // "sec|ond"
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, inWord);
    EXPECT_EQ(f.view->selectedRange(), (TextRange{14, 0}));
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, inWord);
    EXPECT_EQ(f.view->selectedText(), QStringLiteral("second"));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, inWord);
    EXPECT_EQ(f.view->selectedText(), QStringLiteral("second word here\n"));
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, f.pointOf(2));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, f.pointOf(29));
    EXPECT_EQ(f.view->selectedRange(), (TextRange{2, 27}));
}

TEST(EditorTextView, DraggingSelectsAndScrollsWhenLeavingTheView) {
    std::u16string text;
    for (int i = 0; i < 200; ++i)
        text += u"row of text\n";
    ViewFixture f(text);
    QWidget* viewport = f.view->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, f.pointOf(2));
    QMouseEvent move(QEvent::MouseMove, QPointF(f.pointOf(26)),
                     viewport->mapToGlobal(QPointF(f.pointOf(26))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    EXPECT_EQ(f.view->selectedRange(), (TextRange{2, 24}));
    QPointF below(20, viewport->height() + 40);
    QMouseEvent away(QEvent::MouseMove, below, viewport->mapToGlobal(below), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &away);
    QTest::qWait(200);
    EXPECT_GT(f.view->verticalScrollBar()->value(), 0);
    EXPECT_EQ(f.view->anchorOffset(), 2);
    EXPECT_GT(f.view->caretOffset(), 26);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, below.toPoint());
}

/// Drags `data` over `viewport` to `point` and drops it there, as the platform delivers a
/// drag; returns whether the drop was taken, and with which action.
std::optional<Qt::DropAction> dropOn(QWidget* viewport, QPoint point, const QMimeData* data,
                                     Qt::DropActions actions, Qt::KeyboardModifiers modifiers) {
    QDragEnterEvent enter(point, actions, data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted())
        return std::nullopt;
    QDragMoveEvent move(point, actions, data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(QPointF(point), actions, data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &drop);
    if (!drop.isAccepted())
        return std::nullopt;
    return drop.dropAction();
}

TEST(EditorTextView, DraggingTheSelectionMovesItOrWithControlCopiesItInOneUndoStep) {
    ViewFixture f(u"one two three");
    QWidget* viewport = f.view->viewport();
    // The offscreen platform has no drags: the drop arrives as the platform would send it.
    Qt::KeyboardModifiers held = Qt::NoModifier;
    QPoint target;
    int drags = 0;
    static_cast<DragTestView&>(*f.view).drop = [&](QDrag& drag, Qt::DropActions actions) {
        ++drags;
        EXPECT_EQ(drag.mimeData()->text(), QStringLiteral("two"));
        return dropOn(viewport, target, drag.mimeData(), actions, held).value_or(Qt::IgnoreAction);
    };
    // Press inside the selection, move past the drag distance, let go over `to`.
    auto dragSelection = [&](std::int64_t from, std::int64_t to) {
        target = f.pointOf(to);
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, f.pointOf(from));
        const QPointF away =
            QPointF(f.pointOf(from)) + QPointF(0, 3 * QApplication::startDragDistance());
        QMouseEvent move(QEvent::MouseMove, away, viewport->mapToGlobal(away), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, target);
        QTest::qWait(QApplication::doubleClickInterval() + 20); // no double click next
    };

    f.view->setSelectedRange({4, 3});
    dragSelection(5, 13);
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(textOf(*f.document), u"one  threetwo");
    EXPECT_EQ(f.view->selectedRange(), (TextRange{10, 3}));
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), u"one two three");
    EXPECT_EQ(f.view->selectedRange(), (TextRange{4, 3}));

    held = Qt::ControlModifier;
    dragSelection(5, 0);
    EXPECT_EQ(textOf(*f.document), u"twoone two three");
    EXPECT_EQ(f.view->selectedRange(), (TextRange{0, 3}));
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), u"one two three");

    // Dropped onto itself nothing moves; a click inside the selection places the caret.
    held = Qt::NoModifier;
    f.view->setSelectedRange({4, 3});
    dragSelection(5, 6);
    EXPECT_EQ(drags, 3);
    EXPECT_EQ(textOf(*f.document), u"one two three");
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, f.pointOf(5));
    EXPECT_EQ(f.view->selectedRange(), (TextRange{5, 0}));
    EXPECT_EQ(drags, 3);
}

TEST(EditorTextView, TextDroppedFromAnotherProgramIsInsertedAsACopy) {
    ViewFixture f(u"ab\ncd");
    QMimeData data;
    data.setText(QStringLiteral("X\r\nY"));
    const auto action = dropOn(f.view->viewport(), f.pointOf(4), &data,
                               Qt::CopyAction | Qt::MoveAction, Qt::NoModifier);
    EXPECT_EQ(action, Qt::CopyAction); // the other program keeps its text
    EXPECT_EQ(textOf(*f.document), u"ab\ncX\nYd");
    EXPECT_EQ(f.view->selectedRange(), (TextRange{4, 3}));
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), u"ab\ncd");

    ViewFixture readOnly(u"ab", true);
    EXPECT_FALSE(dropOn(readOnly.view->viewport(), readOnly.pointOf(1), &data, Qt::CopyAction,
                        Qt::NoModifier));
    EXPECT_EQ(textOf(*readOnly.document), u"ab");
}

TEST(EditorTextView, InputMethodShowsPreeditInlineAndInsertsTheCommit) {
    ViewFixture f(u"ab");
    f.view->setSelectedRange({1, 0});
    QList<QInputMethodEvent::Attribute> attributes{{QInputMethodEvent::Cursor, 1, 1}};
    QInputMethodEvent preedit(QStringLiteral("ka"), attributes);
    QApplication::sendEvent(f.view.get(), &preedit);
    EXPECT_EQ(textOf(*f.document), u"ab"); // composition is not text yet
    EXPECT_EQ(f.view->layoutModel().preeditText(), QStringLiteral("ka"));
    // The caret is drawn inside the composition.
    EXPECT_GT(f.view->caretRect().left(), f.view->rectForOffset(1).left());
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("か"));
    QApplication::sendEvent(f.view.get(), &commit);
    EXPECT_EQ(f.marked(), "aか|b");
    EXPECT_TRUE(f.view->layoutModel().preeditText().isEmpty());
    EXPECT_EQ(f.view->inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("aかb"));
    EXPECT_EQ(f.view->inputMethodQuery(Qt::ImCursorPosition).toInt(), 2);
}

TEST(EditorTextView, SwitchingDocumentsKeepsSelectionScrollAndUndo) {
    std::u16string longText;
    for (int i = 0; i < 300; ++i)
        longText += u"line of the first document\n";
    ViewFixture f(longText);
    auto second = makeDocument(u"second");
    f.view->setSelectedRange({100, 5});
    f.type(QStringLiteral("X"));
    f.view->setSelectedRange({120, 3});
    f.view->setScrollOrigin({0, 400});

    f.view->setDocument(second.get());
    EXPECT_EQ(f.view->selectedRange(), (TextRange{0, 0}));
    EXPECT_EQ(f.view->scrollOrigin().y(), 0);
    f.key(Qt::Key_End);
    f.type(QStringLiteral("!"));
    EXPECT_EQ(textOf(*second), u"second!");

    f.view->setDocument(f.document.get());
    EXPECT_EQ(f.view->selectedRange(), (TextRange{120, 3}));
    EXPECT_EQ(f.view->scrollOrigin().y(), 400);
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(*f.document), longText);
    EXPECT_EQ(textOf(*second), u"second!");
    f.view->setDocument(second.get());
    EXPECT_EQ(f.view->selectedRange(), (TextRange{7, 0}));
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(textOf(*second), u"second");
}

TEST(EditorTextView, ChangesMadeElsewhereKeepTheSelectionInPlace) {
    ViewFixture f(u"0123456789");
    f.view->setSelectedRange({6, 2});
    ASSERT_TRUE(f.document->applyEdit({1, 2}, u"abcd"));
    EXPECT_EQ(f.view->selectedRange(), (TextRange{8, 2}));
    ASSERT_TRUE(f.document->applyEdit({7, 2}, u"")); // removes the selection's start
    EXPECT_EQ(f.view->selectedRange(), (TextRange{7, 1}));
}

TEST(EditorTextView, ChangeDelegateSeesAndMayRefuseEveryChange) {
    ViewFixture f(u"abc");
    std::vector<std::pair<TextRange, std::u16string>> seen;
    f.view->setChangeDelegate([&](TextRange range, std::u16string& replacement) {
        seen.emplace_back(range, replacement);
        if (replacement == u"!")
            return false;
        if (replacement == u"a")
            replacement.assign(1, u'A');
        return true;
    });
    f.view->setSelectedRange({3, 0});
    f.type(QStringLiteral("a!"));
    f.key(Qt::Key_Backspace);
    ASSERT_TRUE(f.document->applyEdit({0, 0}, u"z"));
    EXPECT_EQ(textOf(*f.document), u"zabc"); // "a" became "A", "!" was refused, then deleted
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].second, u"!");
    EXPECT_EQ(seen[2].first, (TextRange{3, 1}));
}

TEST(EditorTextView, TemporaryAttributesFollowEditsWithoutTouchingTheText) {
    ViewFixture f(u"int value = 0;");
    QColor keyword(Qt::blue);
    const auto syntax = ForegroundLayer::syntax;
    f.view->addForegroundColor(syntax, {0, 3}, keyword);
    f.view->addForegroundColor(syntax, {4, 5}, Qt::red);
    f.view->setBackgroundLayer(BackgroundLayer::findMatches, {{{4, 5}, Qt::yellow}});
    f.view->setSelectedRange({0, 0});
    f.type(QStringLiteral("  "));
    auto runs = f.view->temporaryAttributes().foreground(syntax, {0, 20});
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].start, 2);
    EXPECT_EQ(runs[0].end, 5);
    EXPECT_EQ(runs[1].start, 6);
    const auto& layer = f.view->temporaryAttributes().background(BackgroundLayer::findMatches);
    EXPECT_EQ(layer.ranges.front().range, (TextRange{6, 5}));
    f.view->removeForegroundColors(syntax, {3, 5});
    runs = f.view->temporaryAttributes().foreground(syntax, {0, 20});
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].end, 3);
    EXPECT_EQ(runs[1].start, 8);
    EXPECT_EQ(f.document->undoStack()->count(), 1);
    f.view->viewport()->repaint(); // drawing with attributes and layers must not fail
}

TEST(EditorTextView, WrappingSplitsALongLineIntoRowsNumberedOnce) {
    std::u16string line;
    for (int i = 0; i < 60; ++i)
        line += u"word ";
    ViewFixture f(line + u"\nshort");
    auto fragments = f.view->visibleLineFragments();
    ASSERT_EQ(fragments.size(), 2u);
    f.view->setWrapsLines(true);
    fragments = f.view->visibleLineFragments();
    ASSERT_GT(fragments.size(), 3u);
    EXPECT_TRUE(fragments[0].startsLine);
    EXPECT_FALSE(fragments[1].startsLine);
    EXPECT_EQ(fragments[1].range.location, fragments[0].range.end());
    EXPECT_TRUE(fragments.back().startsLine);
    EXPECT_EQ(fragments.back().line, 1);
    // Rows are stacked one line height apart.
    EXPECT_DOUBLE_EQ(fragments[1].top - fragments[0].top, f.view->layoutModel().lineHeight());
    // Down moves by rows, not by lines.
    f.view->setSelectedRange({2, 0});
    f.key(Qt::Key_Down);
    EXPECT_EQ(f.document->lineIndex().lineNumber(f.view->caretOffset()), 0);
    EXPECT_GT(f.view->caretOffset(), fragments[0].range.end() - 1);
    f.view->setWrapsLines(false);
    EXPECT_EQ(f.view->visibleLineFragments().size(), 2u);
}

TEST(EditorTextView, ClickingPastAWrappedRowKeepsTheCaretOnThatRow) {
    std::u16string line;
    for (int i = 0; i < 40; ++i)
        line += u"abcd ";
    ViewFixture f(line);
    f.view->setWrapsLines(true);
    auto fragments = f.view->visibleLineFragments();
    ASSERT_GT(fragments.size(), 1u);
    QPoint pastEnd(f.view->viewport()->width() - 2, static_cast<int>(fragments[0].top + 3));
    QTest::mouseClick(f.view->viewport(), Qt::LeftButton, Qt::NoModifier, pastEnd);
    EXPECT_EQ(f.view->caretOffset(), fragments[0].range.end());
    EXPECT_NEAR(f.view->caretRect().top(), fragments[0].top, 0.5);
    EXPECT_GT(f.view->caretRect().left(),
              f.view->rectForOffset(fragments[0].range.end() - 1).left());
    // The public hit test, which has no row to keep, stays before the row's last character.
    EXPECT_LT(f.view->offsetAt(pastEnd), fragments[0].range.end());
}

} // namespace

namespace {

TEST(EditorTextView, TabsStopAtMultiplesOfTheTabWidth) {
    ViewFixture f(u"a\tb\n\tc");
    const qreal advance = f.view->layoutModel().advance();
    const qreal origin = f.view->rectForOffset(0).left();
    EXPECT_NEAR(f.view->rectForOffset(2).left() - origin, 4 * advance, 1.0);
    EXPECT_NEAR(f.view->rectForOffset(5).left() - origin, 4 * advance, 1.0);
    f.view->setTabWidth(8);
    EXPECT_NEAR(f.view->rectForOffset(2).left() - origin, 8 * advance, 1.0);
}

TEST(EditorTextView, ZoomChangesTheFontWithinItsLimits) {
    ViewFixture f(u"text");
    const qreal base = f.view->editorFont().pointSizeF();
    const qreal height = f.view->layoutModel().lineHeight();
    f.view->setZoomDelta(4);
    EXPECT_DOUBLE_EQ(f.view->layoutModel().font().pointSizeF(), base + 4);
    EXPECT_GT(f.view->layoutModel().lineHeight(), height);
    f.view->setZoomDelta(500);
    EXPECT_DOUBLE_EQ(f.view->layoutModel().font().pointSizeF(), 72);
    f.view->setZoomDelta(-500);
    EXPECT_DOUBLE_EQ(f.view->layoutModel().font().pointSizeF(), 6);
    f.view->setZoomDelta(0);
    EXPECT_DOUBLE_EQ(f.view->layoutModel().font().pointSizeF(), base);
}

TEST(EditorTextView, AltAndControlLettersDoNotType) {
    ViewFixture f(u"");
    QKeyEvent alt(QEvent::KeyPress, Qt::Key_Z, Qt::AltModifier, QStringLiteral("z"));
    QApplication::sendEvent(f.view.get(), &alt);
    QKeyEvent control(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier, QStringLiteral("\x0b"));
    QApplication::sendEvent(f.view.get(), &control);
    EXPECT_EQ(textOf(*f.document), u"");
    QKeyEvent altGr(QEvent::KeyPress, Qt::Key_At, Qt::ControlModifier | Qt::AltModifier,
                    QStringLiteral("@"));
    QApplication::sendEvent(f.view.get(), &altGr);
    EXPECT_EQ(textOf(*f.document), u"@");
}

TEST(EditorTextView, UnusualCharactersStayAsTheyAreAndKeepOneRowPerLine) {
    // Line and paragraph separators, non-characters and no-break spaces are text like any
    // other: stored unchanged and drawn without breaking the row.
    std::u16string text = u"a\u2028b\u2029c\uFDD0d\u00A0e\u0001f";
    ViewFixture f(text);
    EXPECT_EQ(textOf(*f.document), text);
    auto fragments = f.view->visibleLineFragments();
    ASSERT_EQ(fragments.size(), 1u);
    EXPECT_EQ(fragments[0].range, (TextRange{0, static_cast<std::int64_t>(text.size())}));
    f.view->setSelectedRange({0, 0});
    f.key(Qt::Key_End);
    EXPECT_EQ(f.view->caretOffset(), static_cast<std::int64_t>(text.size()));
    f.key(Qt::Key_A, Qt::ControlModifier);
    f.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
}

TEST(EditorTextView, VisibleRangeAndScrollingARangeIntoView) {
    std::u16string text;
    for (int i = 0; i < 1000; ++i)
        text += u"0123456789\n";
    ViewFixture f(text);
    TextRange visible = f.view->visibleCharacterRange();
    EXPECT_EQ(visible.location, 0);
    EXPECT_LT(visible.end(), 11 * 40);
    f.view->scrollRangeToVisible({11 * 700, 3});
    visible = f.view->visibleCharacterRange();
    EXPECT_TRUE(visible.contains(11 * 700));
    QRectF rect = f.view->rectForOffset(11 * 700);
    EXPECT_GE(rect.top(), 0);
    EXPECT_LE(rect.bottom(), f.view->viewport()->height());
    // A text ending with a line break shows its empty last line.
    f.key(Qt::Key_End, Qt::ControlModifier);
    auto fragments = f.view->visibleLineFragments();
    ASSERT_FALSE(fragments.empty());
    EXPECT_EQ(fragments.back().line, 1000);
    EXPECT_EQ(fragments.back().range, (TextRange{11000, 0}));
}

TEST(EditorTextView, ShowingInvisiblesAndLayersPaintsWithoutTouchingTheText) {
    ViewFixture f(u"a\tb c\nline two\n");
    f.view->setShowsInvisibles(true);
    f.view->setBackgroundLayer(BackgroundLayer::currentLine, {{{7, 0}, QColor(0, 0, 0, 20)}},
                               true);
    f.view->setSelectedRange({2, 5});
    QImage image = f.view->viewport()->grab().toImage();
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(textOf(*f.document), u"a\tb c\nline two\n");
    EXPECT_EQ(f.document->undoStack()->count(), 0);
}

} // namespace
