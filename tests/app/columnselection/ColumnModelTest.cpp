// A random walk of column editing checked against the core's column edits applied to a plain
// string: rectangles, typing, deleting, pasting, undo, redo and edits by other commands.
#include "ColumnTestSupport.h"

#include "core/editing/ColumnEditing.h"

#include <QMimeData>

#include <random>

namespace vendrix::app::test {
namespace {

class ColumnModelTest : public ColumnFixture {};

/// The expected text and undo history: one entry per undo step; typing extends the last.
struct Model {
    std::vector<std::u16string> states;
    std::size_t index = 0;
    bool typingOpen = false;

    const std::u16string& text() const { return states[index]; }
    void push(std::u16string text, bool typing) {
        if (typing && typingOpen) {
            states[index] = std::move(text);
            return;
        }
        states.resize(index + 1);
        states.push_back(std::move(text));
        ++index;
        typingOpen = typing;
    }
};

std::u16string randomText(std::mt19937& random) {
    static const std::u16string pieces[] = {u"a", u"b", u"x", u" ", u"\t", u"\u6F22", u"_", u"1"};
    std::u16string text;
    const int lines = 3 + static_cast<int>(random() % 6);
    for (int line = 0; line < lines; ++line) {
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i)
            text += pieces[random() % std::size(pieces)];
        text += u'\n';
    }
    return text;
}

TEST_F(ColumnModelTest, RandomWalkMatchesTheCoreOnAPlainString) {
    std::mt19937 random(20261207);
    const int tabWidth = view()->tabWidth();
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const std::u16string initial = randomText(random);
        open(initial);
        Model model{{initial}, 0, false};
        for (int step = 0; step < 80; ++step) {
            SCOPED_TRACE(step);
            const LineIndex lines(model.text());
            const auto lineCount = lines.lineCount();
            const int op = static_cast<int>(random() % 9);
            if (!feature->isActive() || op == 0) {
                const auto l0 = static_cast<std::int64_t>(random() % lineCount);
                const auto l1 = static_cast<std::int64_t>(random() % lineCount);
                feature->select(rect(l0, random() % 14, l1, random() % 14));
                model.typingOpen = false;
                continue;
            }
            const ColumnSelection selection = *feature->selection();
            SCOPED_TRACE(testing::Message()
                         << "op " << op << " anchor " << selection.anchor.line << ","
                         << selection.anchor.column << " active " << selection.active.line << ","
                         << selection.active.column << " carets "
                         << (selection.caretColumns ? selection.caretColumns->size() : 0));
            ColumnEdit expected;
            bool typing = true;
            switch (op) {
            case 1:
            case 2:
                expected = ColumnEditing::insert(u"q", selection, model.text(), lines, tabWidth);
                type("q");
                break;
            case 3:
                expected = ColumnEditing::deleteText(ColumnEditing::Deletion::backward, selection,
                                                     model.text(), lines, tabWidth);
                key(Qt::Key_Backspace);
                break;
            case 4:
                expected = ColumnEditing::deleteText(ColumnEditing::Deletion::wordForward,
                                                     selection, model.text(), lines, tabWidth);
                key(Qt::Key_Delete, Qt::ControlModifier);
                break;
            case 5: {
                typing = false;
                const std::vector<std::u16string> pieces{u"P", u"", u"\u6F22Q"};
                expected = ColumnEditing::pasteColumn(pieces,
                                                      {selection.topLine(), selection.leftColumn()},
                                                      selection, model.text(), lines, tabWidth);
                auto* data = new QMimeData;
                data->setText("P\n\n\u6F22Q");
                data->setData(ColumnSelectionFeature::columnMimeType, "P\n\n\xE6\xBC\xA2Q");
                QApplication::clipboard()->setMimeData(data);
                view()->paste();
                break;
            }
            case 6:
                if (model.index > 0) { // nothing to undo is no event
                    --model.index;
                    view()->undo();
                    model.typingOpen = false;
                }
                ASSERT_EQ(text(), model.text());
                continue;
            case 7:
                if (model.index + 1 < model.states.size()) {
                    ++model.index;
                    view()->redo();
                    model.typingOpen = false;
                }
                ASSERT_EQ(text(), model.text());
                continue;
            default: {
                // Another command edits the text: column mode ends, typing starts a new step.
                const auto at = static_cast<std::int64_t>(random() % (model.text().size() + 1));
                ASSERT_TRUE(controller->applyEdits(document(), {{at, 0}}, {u"Z"}, "Komut"));
                std::u16string next = model.text();
                next.insert(static_cast<std::size_t>(at), u"Z");
                model.push(std::move(next), false);
                EXPECT_FALSE(feature->isActive());
                EXPECT_EQ(text(), model.text());
                continue;
            }
            }
            if (!expected.ranges.empty())
                model.push(expected.applied(model.text()), typing);
            ASSERT_EQ(text(), model.text());
            ASSERT_EQ(document().undoStack()->index(), static_cast<int>(model.index));
            if (!expected.ranges.empty() && expected.selection) {
                EXPECT_EQ(feature->selection(), expected.selection);
            } else if (expected.caret) {
                EXPECT_FALSE(feature->isActive());
                EXPECT_EQ(view()->selectedRange(), *expected.caret);
            }
        }
        // Everything undoes back to the start.
        while (document().undoStack()->canUndo())
            view()->undo();
        EXPECT_EQ(text(), initial);
    }
}

} // namespace
} // namespace vendrix::app::test
