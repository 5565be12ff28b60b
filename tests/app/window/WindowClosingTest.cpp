// The close prompt, closing others, the never-empty window, moving tabs, and where the
// keyboard goes after a gesture on the tabs.
#include "WindowTestSupport.h"

#include "app/context/MenuBuilder.h"
#include "app/workspace/WindowMessages.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

namespace vendrix::app::test {
namespace {

using Kind = EditorEvent::Kind;
namespace msg = windowMessages;

class WindowClosingTest : public WindowFixture {};

TEST_F(WindowClosingTest, TheClosePromptsThreeAnswers) {
    ASSERT_TRUE(controller->applyEdits(active(), {{0, 0}}, {u"kept"}, "t"));
    const QString file = write("f.txt", "f");
    controller->openFiles({file});
    EditorDocument& document = active();
    ASSERT_TRUE(controller->applyEdits(document, {{1, 0}}, {u"!"}, "t"));
    controller->activate(*controller->documentAt(0));

    answer(1); // Vazgeç
    EXPECT_FALSE(controller->closeDocument(document));
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(controller->activeDocument(), &document); // brought forward to ask
    const PromptRequest& request = prompter.requests.back();
    EXPECT_EQ(request.message, msg::closePrompt("f.txt"));
    EXPECT_EQ(request.detail, "Kaydetmezseniz değişiklikler kaybolur.");
    EXPECT_EQ(request.buttons, (QStringList{"Kaydet", "Vazgeç", "Kaydetme"}));
    EXPECT_EQ(request.cancelButton, 1);
    EXPECT_EQ(request.destructiveButton, 2);

    answer(0); // Kaydet
    EXPECT_TRUE(controller->closeDocument(document));
    EXPECT_EQ(read(file), "f!");
    EXPECT_EQ(count(), 1u);

    EditorDocument& untitled = controller->newDocument(u"lost");
    answer(2); // Kaydetme
    EXPECT_TRUE(controller->closeDocument(untitled));
    EXPECT_EQ(count(), 1u);
    EXPECT_EQ(text(active()), u"kept");
    EXPECT_TRUE(proposedNames.isEmpty());
}

TEST_F(WindowClosingTest, TheClosePromptsMessageBoxShowsTheNameAsItIsAndKaydetmeDiscards) {
    // A name that looks like markup, on a real message box over the window.
    const QString file = write("<b>R&D.txt", "r");
    controller->openFiles({file});
    ASSERT_TRUE(controller->applyEdits(active(), {{0, 0}}, {u"!"}, "t"));
    answer(1);
    ASSERT_FALSE(controller->closeDocument(active()));
    PromptRequest request = prompter.requests.back();
    request.detail = QStringLiteral("<i>ayrıntı</i>");

    struct Seen {
        QString text;
        Qt::TextFormat format = Qt::AutoText;
        Qt::TextFormat detailFormat = Qt::AutoText;
        QMessageBox::ButtonRole discardRole = QMessageBox::InvalidRole;
        QMessageBox::ButtonRole saveRole = QMessageBox::InvalidRole;
    } seen;
    MessageBoxPrompter boxes(controller->window());
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return; // the expectations below fail; ask() would wait
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            seen.text = label->text();
            seen.format = label->textFormat();
        }
        if (auto* detail = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            seen.detailFormat = detail->textFormat();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == "Kaydetme")
                seen.discardRole = box->buttonRole(button);
            if (button->text() == "Kaydet")
                seen.saveRole = box->buttonRole(button);
        }
        box->escapeButton()->click();
    });
    EXPECT_EQ(boxes.ask(request).button, 1) << "Escape is Vazgeç";
    EXPECT_EQ(seen.text, msg::closePrompt("<b>R&D.txt"));
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.detailFormat, Qt::PlainText);
    EXPECT_EQ(seen.discardRole, QMessageBox::DestructiveRole);
    EXPECT_EQ(seen.saveRole, QMessageBox::AcceptRole);

    // The tab's tooltip shows the path as it is too.
    QTextDocument tip;
    tip.setHtml(controller->tabBar()->items()[0].toolTip);
    EXPECT_EQ(tip.toPlainText(), file);
    EXPECT_EQ(controller->tabBar()->items()[0].filePath, file);
}

TEST_F(WindowClosingTest, ClosingTheActiveTabActivatesItsNeighbour) {
    controller->openFiles({write("a.txt", "a"), write("b.txt", "b"), write("c.txt", "c")});
    // Tab order: a (replaced the untouched tab), b, c; c is active.
    controller->activate(*controller->documentAt(1));
    EditorDocument* c = controller->documentAt(2);
    events.clear();
    EXPECT_TRUE(controller->closeDocument(*controller->documentAt(1)));
    EXPECT_EQ(controller->activeDocument(), c);
    EXPECT_EQ(controller->textView()->document(), c);
    EXPECT_EQ(kinds(), (std::vector{Kind::documentClosed, Kind::activeDocumentChanged}));
    EXPECT_TRUE(controller->closeDocument(*c));
    EXPECT_EQ(active().displayName(), "a.txt");
    EXPECT_EQ(controller->window()->windowTitle(), "a.txt[*] — Vendrix");
}

TEST_F(WindowClosingTest, ClosingTheLastTabLeavesAnEmptyUntitledOne) {
    EditorDocument& only = active();
    ASSERT_TRUE(controller->applyEdits(only, {{0, 0}}, {u"x"}, "t"));
    controller->newDocument();
    answer(2);
    controller->closeOthers(*controller->documentAt(1));
    events.clear();
    EXPECT_TRUE(controller->closeDocument(active()));
    ASSERT_EQ(count(), 1u);
    EXPECT_EQ(active().displayName(), "Yeni 1");
    EXPECT_EQ(active().length(), 0);
    EXPECT_EQ(kinds(), (std::vector{Kind::documentClosed, Kind::documentOpened,
                                    Kind::documentLoaded, Kind::activeDocumentChanged}));
}

TEST_F(WindowClosingTest, CloseOthersStopsAtTheFirstCancel) {
    EditorDocument& first = active();
    ASSERT_TRUE(controller->applyEdits(first, {{0, 0}}, {u"1"}, "t"));
    EditorDocument& second = controller->newDocument(u"2");
    EditorDocument& third = controller->newDocument(u"3");
    EditorDocument& keep = controller->newDocument();
    answer(2); // first: discard
    answer(1); // second: cancel -> stop
    controller->closeOthers(keep);
    EXPECT_EQ(prompter.requests.size(), 2u);
    EXPECT_EQ(controller->documents(), (std::vector<EditorDocument*>{&second, &third, &keep}));
}

TEST_F(WindowClosingTest, MovingATabKeepsTheActiveDocument) {
    EditorDocument& first = active();
    EditorDocument& second = controller->newDocument();
    EditorDocument& third = controller->newDocument();
    controller->moveDocument(2, 0);
    EXPECT_EQ(controller->documents(), (std::vector<EditorDocument*>{&third, &first, &second}));
    EXPECT_EQ(controller->activeDocument(), &third);
    EXPECT_EQ(controller->tabBar()->items().front().title, "Yeni 3");
    EXPECT_EQ(controller->tabBar()->selectedIndex(), 0);
    controller->activateNeighbour(-1);
    EXPECT_EQ(controller->activeDocument(), &second);
}

TEST_F(WindowClosingTest, AfterAnyTabGestureTheKeyboardIsInTheText) {
    MenuBuilder builder;
    controller->attachMenus(builder);
    controller->newDocument(u"second");
    QWidget* window = controller->window();
    controller->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    // Another control that had the keyboard before (as the find field may have).
    auto* field = new QLineEdit(window);
    controller->addAccessory(field, true);
    EditorTextView* textView = controller->textView();
    TabBarView* bar = controller->tabBar();
    // Clicks arrive through the window, as the platform delivers them.
    auto click = [&](QPoint inBar) {
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          bar->mapTo(window, inBar));
        QTest::qWait(QApplication::doubleClickInterval() + 20); // no double clicks
    };
    auto tab = [&](int index) { return bar->tabFrames()[static_cast<size_t>(index)]; };
    auto typed = [&](const QString& keys) {
        QTest::keyClicks(QApplication::focusWidget(), keys);
        return text(active());
    };

    textView->setFocus();
    click(tab(0).center());
    EXPECT_EQ(controller->activeIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), textView);
    EXPECT_EQ(typed("x"), u"x");

    struct Gesture {
        const char* name;
        std::function<void()> run;
        int activeIndex;
    };
    const Gesture gestures[] = {
        {"a tab", [&] { click(tab(1).center()); }, 1},
        {"the plus button", [&] { click(bar->plusFrame().center()); }, 2},
        {"a close box", [&] { click(TabBarLayout::closeBox(tab(2)).center()); }, 1},
        {"Ctrl+PgUp", [&] { QTest::keyClick(field, Qt::Key_PageUp, Qt::ControlModifier); }, 0},
        {"Ctrl+N", [&] { QTest::keyClick(field, Qt::Key_N, Qt::ControlModifier); }, 1},
        {"Ctrl+W", [&] { QTest::keyClick(field, Qt::Key_W, Qt::ControlModifier); }, 1},
    };
    for (const Gesture& gesture : gestures) {
        field->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), field);
        gesture.run();
        EXPECT_EQ(controller->activeIndex(), gesture.activeIndex) << gesture.name;
        EXPECT_EQ(QApplication::focusWidget(), textView) << gesture.name;
    }
    EXPECT_EQ(count(), 2u);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(typed("y"), u"ysecond");
}

} // namespace
} // namespace vendrix::app::test
