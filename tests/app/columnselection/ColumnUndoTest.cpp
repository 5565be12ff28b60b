// Undo records of column editing: merged typing, exact restores, and the events that must
// close a typing record before later typing could extend it across them.
#include "ColumnTestSupport.h"

namespace vendrix::app::test {
namespace {

class ColumnUndoTest : public ColumnFixture {};

const std::u16string kText = u"one two three\nsix ten eleven\nred fox jumps\n";

TEST_F(ColumnUndoTest, ConsecutiveTypingIsOneStepThatRestoresTextAndSelection) {
    open(kText);
    const ColumnSelection start = rect(0, 4, 2, 4);
    feature->select(start);
    type("ab");
    key(Qt::Key_Backspace);
    type("c");
    EXPECT_EQ(text(), u"one actwo three\nsix acten eleven\nred acfox jumps\n");
    EXPECT_EQ(document().undoStack()->count(), 1);
    EXPECT_EQ(document().undoStack()->undoText(), "Yazma");
    const ColumnSelection after = *feature->selection();
    view()->undo();
    EXPECT_EQ(text(), kText);
    EXPECT_EQ(feature->selection(), std::optional(start));
    view()->redo();
    EXPECT_EQ(text(), u"one actwo three\nsix acten eleven\nred acfox jumps\n");
    EXPECT_EQ(feature->selection(), std::optional(after));
    view()->undo();
    EXPECT_EQ(text(), kText);
}

TEST_F(ColumnUndoTest, EachCommandUndoesAndRedoesExactly) {
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const auto setClipboard = [] { QApplication::clipboard()->setText("P\nQ\nR"); };
    const std::vector<Case> cases{
        {"cut", [&] { view()->cut(); }},
        {"delete", [&] { key(Qt::Key_Delete); }},
        {"word delete", [&] { key(Qt::Key_Backspace, Qt::ControlModifier); }},
        {"paste",
         [&] {
             setClipboard();
             view()->paste();
         }},
        {"paste as column",
         [&] {
             setClipboard();
             feature->pasteAsColumn();
         }},
        {"case",
         [&] {
             feature->transformLineParts(
                 [](std::u16string_view s) {
                     std::u16string out(s);
                     for (char16_t& c : out)
                         if (c >= u'a' && c <= u'z')
                             c = static_cast<char16_t>(c - 32);
                     return out;
                 },
                 "BÜYÜK HARF");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open(kText);
        const ColumnSelection before = rect(0, 4, 2, 7);
        feature->select(before);
        c.run();
        const std::u16string changed = text();
        ASSERT_NE(changed, kText);
        const SelectionState afterState = feature->selection()
                                              ? SelectionState(*feature->selection())
                                              : SelectionState(view()->selectedRange());
        view()->undo();
        EXPECT_EQ(text(), kText);
        EXPECT_EQ(feature->selection(), std::optional(before));
        view()->redo();
        EXPECT_EQ(text(), changed);
        if (const auto* column = std::get_if<ColumnSelection>(&afterState)) {
            EXPECT_EQ(feature->selection(), std::optional(*column));
        } else {
            EXPECT_FALSE(feature->isActive());
            EXPECT_EQ(view()->selectedRange(), std::get<TextRange>(afterState));
        }
    }
}

/// Types "a" into a three-line caret column at column 4, lets `between` happen, types "b" into
/// a caret column at column 0 (re-entering column mode), and checks that undo takes the two
/// typings back one at a time and never swaps text into the wrong place.
class SealingTest : public ColumnFixture {
protected:
    /// `historyKept`: false when `between` clears the undo history (then undo ends at the
    /// text before "b").
    void check(const std::function<void()>& between, const char* what, bool historyKept = true) {
        SCOPED_TRACE(what);
        open(kText);
        feature->select(rect(0, 4, 2, 4));
        type("a");
        ASSERT_NE(feature->session(), nullptr);
        between();
        EXPECT_EQ(feature->session(), nullptr);
        const std::u16string beforeB = text();
        controller->activate(document()); // the tab may have changed in between
        feature->select(rect(0, 0, 2, 0));
        type("b");
        EXPECT_EQ(text().substr(0, 1), u"b");
        view()->undo();
        EXPECT_EQ(text(), beforeB);
        while (document().undoStack()->canUndo())
            view()->undo();
        EXPECT_EQ(text(), historyKept ? kText : beforeB);
    }
};

TEST_F(SealingTest, LeavingColumnMode) {
    check([&] { key(Qt::Key_Escape); }, "escape");
    check([&] { feature->exitColumnMode(); }, "exit command");
    check([&] { QTest::mouseClick(viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(1, 2)); },
          "plain click");
}

TEST_F(SealingTest, EditsNotMadeByTheFeature) {
    check(
        [&] {
            ASSERT_TRUE(controller->applyEdits(document(), {{0, 0}}, {u"Z"}, "Komut"));
        },
        "another command");
    check([&] { view()->undo(); }, "undo");
    check(
        [&] {
            view()->undo();
            view()->redo();
        },
        "redo");
    check([&] { ASSERT_TRUE(document().replaceAllClearingUndo(u"x\ny\nz\n")); }, "replace all",
          false);
    check([&] { document().setText(std::u16string(kText)); }, "reload", false);
    check(
        [&] {
            EditorTextView other;
            other.setDocument(&document());
            other.setSelectedRange({1, 0});
            other.insertText(u"Q");
            other.setDocument(nullptr);
        },
        "an edit in another view of the document");
}

TEST_F(SealingTest, ATabSwitch) {
    check(
        [&] {
            EditorDocument& first = document();
            controller->newDocument(u"other");
            controller->activate(first);
        },
        "tab switch");
}

TEST_F(SealingTest, AForeignEditBetweenTypingsNeverMovesTextIntoTheWrongPlace) {
    // Without sealing, the record of "a" would grow over the inserted line and undo would put
    // the old text back at shifted offsets.
    open(kText);
    feature->select(rect(1, 4, 2, 4));
    type("a");
    ASSERT_TRUE(controller->applyEdits(document(), {{0, 0}}, {u"NEW LINE\n"}, "Komut"));
    feature->select(rect(2, 4, 3, 4));
    type("b");
    EXPECT_EQ(text(), u"NEW LINE\none two three\nsix baten eleven\nred bafox jumps\n");
    view()->undo();
    EXPECT_EQ(text(), u"NEW LINE\none two three\nsix aten eleven\nred afox jumps\n");
    view()->undo();
    EXPECT_EQ(text(), u"one two three\nsix aten eleven\nred afox jumps\n");
    view()->undo();
    EXPECT_EQ(text(), kText);
}

} // namespace
} // namespace vendrix::app::test
