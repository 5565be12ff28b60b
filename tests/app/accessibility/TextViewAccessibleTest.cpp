// The text view as assistive technology reads and edits it, through the interfaces Qt's
// platform bridge uses.
#include "../view/ViewTestSupport.h"
#include "AccessibilityTestSupport.h"
#include "app/view/AccessibleTextSegments.h"
#include "app/view/EditorTextViewAccessible.h"
#include "app/view/EditorTextViewAccessibleEvents.h"
#include "app/view/LineNumberRulerView.h"

#include <QUndoStack>

#include <gtest/gtest.h>

namespace vendrix::app::test {
namespace {

QAccessibleInterface* accessibleOf(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

/// The piece of `kind` before, at or after `offset`, as "start-end:text".
std::string piece(QAccessibleTextInterface* text, int offset, QAccessible::TextBoundaryType kind,
                  int side) {
    int start = -1;
    int end = -1;
    const QString found = side < 0   ? text->textBeforeOffset(offset, kind, &start, &end)
                          : side > 0 ? text->textAfterOffset(offset, kind, &start, &end)
                                     : text->textAtOffset(offset, kind, &start, &end);
    return std::to_string(start) + "-" + std::to_string(end) + ":" + found.toStdString();
}

/// A column selection standing in for the feature's: fixed line parts.
struct FixedColumns final : ColumnSelectionQuery {
    std::vector<TextRange> parts;
    bool isActive() const override { return true; }
    bool isRectangularWithWidth() const override { return true; }
    TextRange boundingRange() const override {
        return {parts.front().location, parts.back().end() - parts.front().location};
    }
    std::vector<TextRange> lineParts() const override { return parts; }
    bool transformLineParts(LinePartTransform, const QString&) override { return false; }
};

} // namespace

TEST(TextViewAccessibleTest, IsANamedEditableTextWithoutChildren) {
    ViewFixture fixture(u"abc");
    auto* ruler =
        new LineNumberRulerView(fixture.view.get(), [&] { return &fixture.document->lineIndex(); });
    QAccessibleInterface* object = accessibleOf(fixture.view.get());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->role(), QAccessible::EditableText);
    EXPECT_EQ(object->text(QAccessible::Name), "Yeni 1");
    EXPECT_TRUE(object->state().editable);
    EXPECT_TRUE(object->state().multiLine);
    EXPECT_NE(object->textInterface(), nullptr);
    EXPECT_NE(object->editableTextInterface(), nullptr);
    // The ruler, the viewport and the scroll bars are not shown to assistive technology.
    EXPECT_EQ(object->childCount(), 0);
    EXPECT_TRUE(ruler->isVisible());

    auto readOnly = makeDocument(u"x", true);
    fixture.view->setDocument(readOnly.get());
    EXPECT_TRUE(object->state().readOnly);
    EXPECT_FALSE(object->state().editable);
    EXPECT_EQ(object->text(QAccessible::Description), "Salt okunur");
}

TEST(TextViewAccessibleTest, PiecesFollowClustersWordsAndLinesOfTurkishText) {
    // "😀" is a surrogate pair; "é" below is e + a combining accent (one cluster).
    const std::u16string text = u"Işık güzel.\nçalış 😀😀 şimdi\n\nsone\u0301";
    ViewFixture fixture(text);
    QAccessibleTextInterface* t = accessibleOf(fixture.view.get())->textInterface();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->characterCount(), static_cast<int>(text.size()));
    EXPECT_EQ(t->text(0, 4), "Işık");
    EXPECT_EQ(t->text(0, -1), QString::fromStdU16String(text));

    const int pair = static_cast<int>(text.find(u"😀"));
    const auto C = QAccessible::CharBoundary;
    const auto W = QAccessible::WordBoundary;
    const auto L = QAccessible::LineBoundary;
    const auto S = QAccessible::SentenceBoundary;
    struct Case {
        const char* name;
        int offset;
        QAccessible::TextBoundaryType kind;
        int side;
        std::string expected;
    };
    const std::string p = std::to_string(pair);
    const std::string p2 = std::to_string(pair + 2);
    const std::string p4 = std::to_string(pair + 4);
    const Case cases[] = {
        {"the Turkish dotless i is one character", 2, C, 0, "2-3:ı"},
        {"a pair asked at its low half is the whole pair", pair + 1, C, 0, p + "-" + p2 + ":😀"},
        {"the character before a pair", pair + 2, C, -1, p + "-" + p2 + ":😀"},
        {"the character after a pair's low half", pair + 1, C, 1, p2 + "-" + p4 + ":😀"},
        {"a base with its combining accent", 34, C, 0, "33-35:e\u0301"},
        {"a word takes the space after it", 2, W, 0, "0-5:Işık "},
        {"punctuation is a word of its own", 5, W, 1, "10-11:."},
        {"the emoji run and its space", pair, W, 0, p + "-" + std::to_string(pair + 5) + ":😀😀 "},
        {"the line break on its own", 11, W, 0, "11-12:\n"},
        {"a line with its break", 14, L, 0, "12-29:çalış 😀😀 şimdi\n"},
        {"the line before", 14, L, -1, "0-12:Işık güzel.\n"},
        {"the empty line after", 14, L, 1, "29-30:\n"},
        {"the last line at the text's end", static_cast<int>(text.size()), L, 0,
         "30-" + std::to_string(text.size()) + ":sone\u0301"},
        {"a sentence of the line", 3, S, 0, "0-11:Işık güzel."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(piece(t, c.offset, c.kind, c.side), c.expected) << c.name;

    // -2 names the caret.
    fixture.view->setSelection(14, 14);
    EXPECT_EQ(piece(t, -2, L, 0), "12-29:çalış 😀😀 şimdi\n");
}

TEST(TextViewAccessibleTest, RequestsOnHugeTextsStayBounded) {
    // One line of 3 M units with a pair across the first piece boundary.
    constexpr std::int64_t piece = AccessibleTextSegments::kLinePiece;
    std::u16string text(3'000'000, u'a');
    text.replace(static_cast<std::size_t>(piece - 1), 2, u"😀");
    ViewFixture fixture(text);
    QAccessibleTextInterface* t = accessibleOf(fixture.view.get())->textInterface();
    int start = 0;
    int end = 0;
    // Pieces start on cluster boundaries, the same whichever offset asks.
    EXPECT_EQ(t->textAtOffset(10, QAccessible::LineBoundary, &start, &end).size(), piece - 1);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, piece - 1);
    for (const std::int64_t offset : {piece - 1, piece, 2 * piece - 1}) {
        t->textAtOffset(static_cast<int>(offset), QAccessible::LineBoundary, &start, &end);
        EXPECT_EQ(start, piece - 1) << offset;
        EXPECT_EQ(end, 2 * piece) << offset;
    }
    t->textAfterOffset(0, QAccessible::LineBoundary, &start, &end);
    EXPECT_EQ(start, piece - 1);
    t->textBeforeOffset(2 * piece, QAccessible::LineBoundary, &start, &end);
    EXPECT_EQ(start, piece - 1);
    t->textAtOffset(2'999'999, QAccessible::LineBoundary, &start, &end);
    EXPECT_EQ(end, 3'000'000);

    // A whole-text request is answered with its first part, never half a pair.
    constexpr int cap = EditorTextViewAccessible::kMaxRequest;
    EXPECT_EQ(t->text(0, -1).size(), cap);
    const std::u16string paired = std::u16string(cap - 1, u'b') + u"😀";
    fixture.document->setText(paired + u"tail");
    EXPECT_EQ(t->text(0, -1).size(), cap - 1);
}

TEST(TextViewAccessibleTest, CaretAndSelectionsIncludingColumnParts) {
    ViewFixture fixture(u"satır bir\nsatır iki\nüç");
    QAccessibleTextInterface* t = accessibleOf(fixture.view.get())->textInterface();
    t->setCursorPosition(6);
    EXPECT_EQ(fixture.view->caretOffset(), 6);
    EXPECT_EQ(t->cursorPosition(), 6);
    EXPECT_EQ(t->selectionCount(), 0);

    t->setSelection(0, 10, 15);
    EXPECT_EQ(fixture.view->selectedRange(), (TextRange{10, 5}));
    int start = 0;
    int end = 0;
    ASSERT_EQ(t->selectionCount(), 1);
    t->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(10, 15));
    t->removeSelection(0);
    EXPECT_EQ(t->selectionCount(), 0);

    // A rectangle is one selection per line that reaches it.
    FixedColumns columns;
    columns.parts = {{0, 5}, {10, 5}, {20, 0}};
    fixture.view->setColumnSelection(&columns);
    ASSERT_EQ(t->selectionCount(), 2);
    t->selection(1, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(10, 15));
    fixture.view->setColumnSelection(nullptr);
}

TEST(TextViewAccessibleTest, EditsGoThroughTheDocumentAndReadOnlyRefuses) {
    ViewFixture fixture(u"ab");
    QAccessibleEditableTextInterface* edit =
        accessibleOf(fixture.view.get())->editableTextInterface();
    edit->insertText(1, QStringLiteral("ğ😀"));
    EXPECT_EQ(textOf(*fixture.document), u"ağ😀b");
    edit->replaceText(0, 1, QStringLiteral("Ç"));
    EXPECT_EQ(textOf(*fixture.document), u"Çğ😀b");
    edit->deleteText(1, 4);
    EXPECT_EQ(textOf(*fixture.document), u"Çb");
    // Undoable like any edit.
    fixture.document->undo();
    EXPECT_EQ(textOf(*fixture.document), u"Çğ😀b");

    ViewFixture locked(u"sabit", true);
    QAccessibleEditableTextInterface* refused =
        accessibleOf(locked.view.get())->editableTextInterface();
    refused->insertText(0, QStringLiteral("x"));
    refused->deleteText(0, 2);
    refused->replaceText(0, 5, QStringLiteral("y"));
    EXPECT_EQ(textOf(*locked.document), u"sabit");
}

TEST(TextViewAccessibleTest, GeometryOnScreenAndAttributes) {
    std::u16string text;
    for (int line = 0; line < 2000; ++line)
        text += u"satır\n";
    ViewFixture fixture(text);
    QAccessibleTextInterface* t = accessibleOf(fixture.view.get())->textInterface();
    const QRect box = t->characterRect(8);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_EQ(t->offsetAtPoint(QPoint(box.left() + 1, box.center().y())), 8);
    EXPECT_GE(box.width(), 4);
    // Far below the screen: no box, and nothing was laid out to say so.
    EXPECT_TRUE(t->characterRect(6 * 1500).isEmpty());
    t->scrollToSubstring(6 * 1500, 6 * 1500 + 3);
    EXPECT_FALSE(t->characterRect(6 * 1500).isEmpty());

    fixture.view->addForegroundColor(ForegroundLayer::syntax, {2, 3}, QColor(0x12, 0x34, 0x56));
    int start = 0;
    int end = 0;
    const QString attributes = t->attributes(3, &start, &end);
    EXPECT_TRUE(attributes.contains(QStringLiteral("color:rgb(18,52,86);")))
        << attributes.toStdString();
    EXPECT_EQ(std::pair(start, end), std::pair(2, 5));
    EXPECT_FALSE(t->attributes(0, &start, &end).contains(QStringLiteral("rgb(18,52,86)")));
    EXPECT_EQ(std::pair(start, end), std::pair(0, 2));
}

TEST(TextViewAccessibleTest, ChangesCaretSelectionAndFocusAreHeard) {
    HeardEvents heard;
    ASSERT_TRUE(heard.active());
    ViewFixture fixture(u"ab cd");
    accessibleOf(fixture.view.get()); // the events start with the interface
    fixture.view->setSelection(2, 2);
    heard.clear();

    fixture.type(QStringLiteral("ş"));
    auto changes = heard.textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].type, QAccessible::TextInserted);
    EXPECT_EQ(changes[0].position, 2);
    EXPECT_EQ(changes[0].inserted, "ş");
    ASSERT_FALSE(heard.of(QAccessible::TextCaretMoved).empty());
    EXPECT_EQ(heard.of(QAccessible::TextCaretMoved).back().position, 3);

    heard.clear();
    fixture.key(Qt::Key_Backspace);
    changes = heard.textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].type, QAccessible::TextRemoved);
    EXPECT_EQ(changes[0].removed, "ş");

    heard.clear();
    fixture.view->setSelection(0, 2);
    ASSERT_EQ(heard.of(QAccessible::TextSelectionChanged).size(), 1u);
    EXPECT_EQ(heard.of(QAccessible::TextSelectionChanged)[0].selectionEnd, 2);
    fixture.type(QStringLiteral("😀"));
    changes = heard.textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].type, QAccessible::TextUpdated);
    EXPECT_EQ(changes[0].removed, "ab");
    EXPECT_EQ(changes[0].inserted, "😀");

    // Several replacements in one step (a replace-all) are one update.
    heard.clear();
    ASSERT_TRUE(fixture.document->applyEdits({{0, 2}, {4, 1}}, {u"x", u"yy"}, {}));
    changes = heard.textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].position, 0);
    EXPECT_EQ(changes[0].removed, "😀 cd");
    EXPECT_EQ(changes[0].inserted, "x cyy");

    // A whole large text replaced: the texts are cut, not copied whole.
    heard.clear();
    const std::int64_t cap = EditorTextViewAccessibleEvents::kEventTextCap;
    ASSERT_TRUE(fixture.document->replaceAllClearingUndo(std::u16string(50'000, u'z')));
    changes = heard.textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].inserted.size(), cap);
    EXPECT_EQ(changes[0].removed, "x cyy");
    heard.clear();
    ASSERT_TRUE(fixture.document->applyEdit({0, 50'000}, u"kısa"));
    changes = heard.textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].removed.size(), cap);
    EXPECT_EQ(changes[0].inserted, "kısa");
    heard.clear();
    fixture.document->undo(); // the whole-text step comes back as one update too
    changes = heard.textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].removed, "kısa");
    EXPECT_EQ(changes[0].inserted.size(), cap);

    // Focus.
    QWidget other;
    other.setFocusPolicy(Qt::StrongFocus);
    other.show();
    other.activateWindow();
    other.setFocus();
    heard.clear();
    fixture.view->activateWindow();
    fixture.view->setFocus();
    QApplication::processEvents();
    bool focused = false;
    for (const HeardEvent& event : heard.of(QAccessible::Focus))
        focused = focused || event.object == fixture.view.get();
    EXPECT_TRUE(focused);
}

} // namespace vendrix::app::test
