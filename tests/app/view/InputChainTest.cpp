// Features hook the view's input before the view handles it itself; window actions own the
// command keys while the text has focus.
#include "ViewTestSupport.h"

#include "app/view/PrimarySelection.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QUndoStack>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace vendrix;
using namespace vendrix::app;
using namespace vendrix::app::test;

namespace {

/// Records what reaches it and takes what `takes` says.
struct RecordingHandler : TextInputHandler {
    std::vector<std::string> seen;
    std::function<bool(const std::string&)> takes = [](const std::string&) { return false; };

    bool record(std::string what) {
        seen.push_back(what);
        return takes(what);
    }
    bool mousePress(QMouseEvent& e) override {
        return record("press " + std::to_string(static_cast<int>(e.button())));
    }
    bool mouseMove(QMouseEvent&) override { return record("move"); }
    bool mouseRelease(QMouseEvent& e) override {
        return record("release " + std::to_string(static_cast<int>(e.button())));
    }
    bool keyPress(QKeyEvent& e) override {
        if (e.key() == Qt::Key_Shift || e.key() == Qt::Key_Control || e.key() == Qt::Key_Alt)
            return false; // the modifier keys pressed on their own before a key
        return record("key " + std::to_string(e.key()));
    }
    bool typedText(const QString& text) override { return record("text " + text.toStdString()); }
    bool inputMethod(QInputMethodEvent&) override { return record("im"); }
    bool command(TextCommand c) override {
        return record("command " + std::to_string(static_cast<int>(c)));
    }
};

std::string commandName(TextCommand c) {
    return "command " + std::to_string(static_cast<int>(c));
}

TEST(InputChain, HandlersSeeKeysTextAndCommandsFirstAndMayTakeThem) {
    ViewFixture f(u"abc");
    RecordingHandler first;
    RecordingHandler second;
    f.view->addInputHandler(&first);
    f.view->addInputHandler(&second);
    f.view->setSelectedRange({3, 0});
    second.takes = [](const std::string& what) {
        return what == "text x" || what == commandName(TextCommand::deleteBackward) ||
               what == commandName(TextCommand::copy);
    };
    f.type(QStringLiteral("xy"));
    f.key(Qt::Key_Backspace);
    EXPECT_EQ(textOf(*f.document), u"abcy"); // "x" and the deletion were taken
    const std::string typedKey = "key " + std::to_string(Qt::Key_unknown);
    const std::vector<std::string> expected{
        typedKey, "text x", typedKey, "text y", "key " + std::to_string(Qt::Key_Backspace),
        commandName(TextCommand::deleteBackward)};
    EXPECT_EQ(first.seen, expected);
    EXPECT_EQ(second.seen, expected);
    // Commands from the window's actions (Ctrl+C here) ask the handlers too.
    QApplication::clipboard()->setText(QStringLiteral("before"));
    f.view->setSelectedRange({0, 2});
    f.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(first.seen.back(), commandName(TextCommand::copy));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    // A handler taking a key stops the others and the view.
    first.takes = [](const std::string& what) { return what.starts_with("key"); };
    second.seen.clear();
    f.key(Qt::Key_Delete);
    EXPECT_TRUE(second.seen.empty());
    EXPECT_EQ(textOf(*f.document), u"abcy");
    f.view->removeInputHandler(&first);
    f.view->removeInputHandler(&second);
    f.key(Qt::Key_Delete);
    EXPECT_EQ(textOf(*f.document), u"cy");
}

TEST(InputChain, TabAndBacktabReachTheHandlersAndTheTextInsteadOfMovingTheFocus) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* view = new EditorTextView;
    auto* field = new QLineEdit;
    layout->addWidget(view);
    layout->addWidget(field);
    auto document = makeDocument(u"ab");
    view->setDocument(document.get());
    window.show();
    window.activateWindow();
    view->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(view->hasFocus());
    RecordingHandler handler;
    view->addInputHandler(&handler);
    handler.takes = [](const std::string& what) {
        return what == "key " + std::to_string(Qt::Key_Backtab);
    };
    view->setSelectedRange({1, 0});
    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClick(view, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(view->hasFocus());
    EXPECT_EQ(textOf(*document), u"a\tb");
    const std::vector<std::string> expected{"key " + std::to_string(Qt::Key_Tab), "text \t",
                                            "key " + std::to_string(Qt::Key_Backtab)};
    EXPECT_EQ(handler.seen, expected);
    view->removeInputHandler(&handler);
}

TEST(InputChain, InputMethodEventsAndCommitsAreOffered) {
    ViewFixture f(u"ab");
    RecordingHandler handler;
    f.view->addInputHandler(&handler);
    f.view->setSelectedRange({1, 0});
    handler.takes = [](const std::string& what) { return what == "im"; };
    QInputMethodEvent preedit(QStringLiteral("ka"), {});
    QApplication::sendEvent(f.view.get(), &preedit);
    EXPECT_TRUE(f.view->layoutModel().preeditText().isEmpty());
    handler.takes = [](const std::string& what) { return what == "text か"; };
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("か"));
    QApplication::sendEvent(f.view.get(), &commit);
    EXPECT_EQ(textOf(*f.document), u"ab");
    EXPECT_EQ(handler.seen, (std::vector<std::string>{"im", "im", "text か"}));
    handler.takes = [](const std::string&) { return false; };
    QApplication::sendEvent(f.view.get(), &commit);
    EXPECT_EQ(textOf(*f.document), u"aかb");
    f.view->removeInputHandler(&handler);
}

void sendMouse(QWidget* viewport, QEvent::Type type, Qt::MouseButton button, QPoint point,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(point), viewport->mapToGlobal(QPointF(point)), button,
                      buttons, modifiers);
    QApplication::sendEvent(viewport, &event);
}

TEST(InputChain, AMiddleClickPastesTheSelectionAndAMiddleDragDoesNot) {
    ViewFixture source(u"paste me");
    source.view->setSelectedRange({0, 5});
    ViewFixture f(u"0123456789");
    QWidget* viewport = f.view->viewport();
    const QPoint at = f.pointOf(2);
    const QPoint far = f.pointOf(8);
    ASSERT_GT((far - at).manhattanLength(), QApplication::startDragDistance());
    // A drag: press, move past the drag distance, release (even back at the start).
    sendMouse(viewport, QEvent::MouseButtonPress, Qt::MiddleButton, at, Qt::MiddleButton);
    sendMouse(viewport, QEvent::MouseMove, Qt::NoButton, far, Qt::MiddleButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, Qt::MiddleButton, at, Qt::NoButton);
    EXPECT_EQ(textOf(*f.document), u"0123456789");
    // A click, with a jitter below the drag distance: pasted where it was pressed.
    sendMouse(viewport, QEvent::MouseButtonPress, Qt::MiddleButton, at, Qt::MiddleButton);
    sendMouse(viewport, QEvent::MouseMove, Qt::NoButton, at + QPoint(1, 0), Qt::MiddleButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, Qt::MiddleButton, at + QPoint(1, 0),
              Qt::NoButton);
    EXPECT_EQ(textOf(*f.document), u"01paste23456789");
    // A handler that takes the release (its own middle gesture) keeps the paste from happening;
    // it saw the whole gesture, and the left button's selection was not touched.
    RecordingHandler handler;
    handler.takes = [](const std::string& what) { return what.starts_with("release"); };
    f.view->addInputHandler(&handler);
    f.view->setSelectedRange({1, 0});
    sendMouse(viewport, QEvent::MouseButtonPress, Qt::MiddleButton, at, Qt::MiddleButton);
    sendMouse(viewport, QEvent::MouseButtonRelease, Qt::MiddleButton, at, Qt::NoButton);
    EXPECT_EQ(textOf(*f.document), u"01paste23456789");
    const int middle = static_cast<int>(Qt::MiddleButton);
    EXPECT_EQ(handler.seen, (std::vector<std::string>{"press " + std::to_string(middle),
                                                      "release " + std::to_string(middle)}));
    // An Alt-press taken by the handler leaves the selection alone.
    handler.takes = [](const std::string& what) { return what.starts_with("press"); };
    sendMouse(viewport, QEvent::MouseButtonPress, Qt::LeftButton, far, Qt::LeftButton,
              Qt::AltModifier);
    sendMouse(viewport, QEvent::MouseButtonRelease, Qt::LeftButton, far, Qt::NoButton,
              Qt::AltModifier);
    EXPECT_EQ(f.view->selectedRange(), (TextRange{1, 0}));
    f.view->removeInputHandler(&handler);
}

TEST(ShortcutRouting, WindowActionsOwnTheCommandKeysWhileTheTextHasFocus) {
    QMainWindow window;
    auto* view = new EditorTextView;
    window.setCentralWidget(view);
    auto document = makeDocument(u"some text");
    view->setDocument(document.get());
    std::map<std::string, int> fired;
    auto bind = [&](const char* name, QKeySequence keys) {
        auto* action = new QAction(&window);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(action, &QAction::triggered, [&fired, name] { ++fired[name]; });
        window.addAction(action);
    };
    bind("undo", QKeySequence(Qt::CTRL | Qt::Key_Z));
    bind("copy", QKeySequence(Qt::CTRL | Qt::Key_C));
    bind("paste", QKeySequence(Qt::CTRL | Qt::Key_V));
    bind("selectAll", QKeySequence(Qt::CTRL | Qt::Key_A));
    bind("nextTab", QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    bind("prettyJSON", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_J));
    bind("backspace", QKeySequence(Qt::Key_Backspace)); // a key of the text: never fires here
    window.show();
    window.activateWindow();
    view->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(view->hasFocus());
    view->setSelectedRange({4, 0});
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_PageDown, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(fired, (std::map<std::string, int>{
                         {"undo", 1},
                         {"copy", 1},
                         {"paste", 1},
                         {"selectAll", 1},
                         {"nextTab", 1},
                         {"prettyJSON", 1},
                     }));
    // The view did none of it itself; the text's own key worked.
    EXPECT_EQ(textOf(*document), u"som text");
    EXPECT_EQ(view->selectedRange(), (TextRange{3, 0}));
}

} // namespace
