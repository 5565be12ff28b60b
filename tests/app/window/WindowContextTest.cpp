// The context the features use, start-up replay, requests during prompts, and the menus.
#include "WindowTestSupport.h"

#include "app/context/MenuBuilder.h"

#include <QAction>
#include <QClipboard>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QUndoStack>

namespace vendrix::app::test {
namespace {

using Kind = EditorEvent::Kind;

class WindowContextTest : public WindowFixture {};

TEST_F(WindowContextTest, ReplayReportsOpenedThenLoadedThenActive) {
    EditorDocument& loaded = active();
    auto pending = std::make_unique<EditorDocument>(QUuid::createUuid());
    pending->setPending(EditorDocument::PendingContent::ofText(u"later"));
    EditorDocument* restored = pending.get();
    std::vector<std::unique_ptr<EditorDocument>> list;
    list.push_back(std::move(pending));
    controller->restoreDocuments(std::move(list), 5); // out of range: the first restored
    controller->activate(loaded);
    events.clear();
    controller->replayToObservers();
    std::vector<std::pair<Kind, EditorDocument*>> expected{
        {Kind::documentOpened, &loaded}, {Kind::documentOpened, restored},
        {Kind::documentLoaded, &loaded}, {Kind::documentLoaded, restored},
        {Kind::activeDocumentChanged, &loaded}};
    EXPECT_EQ(events, expected);
}

TEST_F(WindowContextTest, AScriptedSessionBroadcastsEachEventOnceWithItsPayload) {
    std::vector<EditorEvent> full;
    EditorObservation recorder =
        controller->observe([&full](const EditorEvent& event) { full.push_back(event); });
    EditorObservation silenced = controller->observe([](const EditorEvent&) { FAIL(); });
    silenced.cancel();
    silenced.cancel();
    auto only = [&full](Kind kind) {
        std::vector<EditorEvent> matching;
        for (const EditorEvent& event : full)
            if (event.kind == kind)
                matching.push_back(event);
        return matching;
    };

    const QString file = write("a.txt", "abc\n");
    controller->openFiles({file});
    EditorDocument* document = controller->activeDocument();
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->fileURL(), file);
    ASSERT_EQ(only(Kind::documentOpened).size(), 1u);
    EXPECT_EQ(only(Kind::documentOpened)[0].document, document);
    ASSERT_EQ(only(Kind::documentLoaded).size(), 1u);
    EXPECT_EQ(only(Kind::documentLoaded)[0].document, document);
    ASSERT_FALSE(only(Kind::activeDocumentChanged).empty());
    EXPECT_EQ(only(Kind::activeDocumentChanged).back().document, document);

    full.clear();
    ASSERT_TRUE(controller->applyEdits(*document, {{1, 1}}, {u"XYZ"}, "Adım"));
    ASSERT_EQ(only(Kind::textChanged).size(), 1u);
    EXPECT_EQ(only(Kind::textChanged)[0].document, document);
    EXPECT_EQ(only(Kind::textChanged)[0].editedRange, (TextRange{1, 3}));
    EXPECT_EQ(only(Kind::textChanged)[0].changeInLength, 2);

    full.clear();
    ASSERT_TRUE(controller->saving().save(*document, file));
    ASSERT_EQ(only(Kind::documentSaved).size(), 1u);
    EXPECT_EQ(only(Kind::documentSaved)[0].document, document);
    EXPECT_EQ(read(file), QByteArray("aXYZc\n"));

    full.clear();
    controller->setLanguage(std::string("json"), *document);
    controller->setLanguage(std::string("json"), *document);
    ASSERT_EQ(only(Kind::languageChanged).size(), 1u);
    EXPECT_EQ(only(Kind::languageChanged)[0].document, document);

    full.clear();
    ASSERT_TRUE(controller->closeDocument(*document));
    ASSERT_EQ(only(Kind::documentClosed).size(), 1u);
    EXPECT_EQ(only(Kind::documentClosed)[0].document, document);
    EXPECT_EQ(only(Kind::textChanged).size(), 0u);
}

TEST_F(WindowContextTest, EditsOfABackgroundDocumentGoToItsOwnHistory) {
    EditorDocument& background = active();
    ASSERT_TRUE(controller->applyEdits(background, {{0, 0}}, {u"abcdefgh"}, "t"));
    EditorDocument& shown = controller->newDocument(u"shown");
    events.clear();
    EXPECT_FALSE(controller->applyEdits(background, {{5, 2}, {3, 1}}, {u"x", u"y"}, "Adım"));
    EXPECT_TRUE(controller->applyEdits(background, {{3, 2}, {5, 1}}, {u"X", u"Y\r\n"}, "Adım"));
    EXPECT_EQ(text(background), u"abcXY\ngh");
    EXPECT_EQ(text(shown), u"shown");
    EXPECT_EQ(background.undoStack()->undoText(), "Adım");
    EXPECT_EQ(kinds(), std::vector{Kind::textChanged});
    EXPECT_EQ(events[0].second, &background);
    background.undo();
    EXPECT_EQ(text(background), u"abcdefgh");
    EXPECT_EQ(controller->activeDocument(), &shown);
}

TEST_F(WindowContextTest, FieldsAccessoriesLanguageAndSelection) {
    auto field = controller->addStatusField("feature", 40);
    const QStringList order = controller->statusBar()->fieldOrder();
    EXPECT_LT(order.indexOf("feature"), order.indexOf("lineEnding"));

    auto* top = new QWidget;
    auto* bottom = new QWidget;
    controller->addAccessory(top, false);
    controller->addAccessory(bottom, true);
    auto* layout = controller->textView()->parentWidget()->layout();
    const int text = layout->indexOf(controller->textView());
    EXPECT_EQ(layout->indexOf(top), text - 1);
    EXPECT_EQ(layout->indexOf(bottom), text + 1);
    controller->removeAccessory(top);
    EXPECT_EQ(layout->indexOf(top), -1);
    delete top;

    ASSERT_TRUE(controller->applyEdits(active(), {{0, 0}}, {u"a\nb\nc"}, "t"));
    controller->select({4, 99});
    EXPECT_EQ(controller->textView()->selectedRange(), (TextRange{4, 1}));
    EXPECT_EQ(controller->statusBar()->field("position")->label->text(), "Sat 3, Süt 1");

    events.clear();
    controller->setLanguage("json", active());
    controller->setLanguage("json", active());
    EXPECT_EQ(kinds(), std::vector{Kind::languageChanged});
    EXPECT_EQ(controller->statusBar()->field("language")->label->text(), "JSON");
}

/// A prompt whose event loop lets an open request and a quit request in.
class InterruptedPrompter final : public Prompter {
public:
    std::function<void()> duringPrompt;
    PromptAnswer ask(const PromptRequest&) override {
        if (auto run = std::exchange(duringPrompt, nullptr))
            run();
        return {1, false};
    }
};

TEST(WindowPromptTest, RequestsArrivingDuringAPromptWaitForIt) {
    QTemporaryDir folder;
    InterruptedPrompter prompter;
    EditorWindowController controller({&prompter, nullptr});
    controller.ensureDocument();
    ASSERT_TRUE(controller.applyEdits(*controller.activeDocument(), {{0, 0}}, {u"x"}, "t"));
    const QString file = folder.filePath("late.txt");
    QFile(file).open(QIODevice::WriteOnly);
    int quits = 0;
    QObject::connect(&controller, &EditorWindowController::quitRequested, [&] { ++quits; });
    ScriptedSession session;
    controller.setSession(&session);
    std::size_t countInside = 0;
    prompter.duringPrompt = [&] {
        controller.openFiles({file});
        controller.requestQuit();
        countInside = controller.documentCount();
    };
    EXPECT_FALSE(controller.closeDocument(*controller.activeDocument())); // "Vazgeç"
    EXPECT_EQ(countInside, 1u);
    EXPECT_EQ(quits, 0);
    // Nobody may answer on a shutdown: the waiting quit has written the session already.
    EXPECT_EQ(session.flushes, std::vector<bool>{true});
    QCoreApplication::processEvents();
    EXPECT_EQ(controller.documentCount(), 2u);
    EXPECT_EQ(quits, 1);
}

TEST_F(WindowContextTest, MenusCarryTheBuiltInItemsAndEditTheFocusedField) {
    MenuBuilder builder;
    controller->attachMenus(builder);
    auto titles = [](QMenu* menu) {
        QStringList result;
        for (QAction* action : menu->actions())
            result << (action->isSeparator() ? QStringLiteral("—") : action->text());
        return result;
    };
    EXPECT_EQ(titles(builder.menu(MenuID::app)),
              (QStringList{"Vendrix Hakkında", "—", "Ayarlar…", "—", "Vendrix'ten Çık"}));
    EXPECT_EQ(titles(builder.menu(MenuID::file)),
              (QStringList{"Yeni", "Aç…", "Son Açılanlar", "—", "Kaydet", "Farklı Kaydet…",
                           "Tümünü Kaydet", "Diskten Yeniden Yükle", "—", "Kodlama",
                           "Satır Sonu", "—", "Sekmeyi Kapat"}));
    EXPECT_EQ(titles(builder.menu(MenuID::edit)),
              (QStringList{"Geri Al", "Yinele", "—", "Kes", "Kopyala", "Yapıştır", "Sil",
                           "Tümünü Seç"}));
    QAction* undo = builder.menu(MenuID::edit)->actions()[0];
    EXPECT_EQ(undo->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(builder.menu(MenuID::file)->actions()[12]->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+W"), QKeySequence("Ctrl+F4")}));

    // Undo in a line edit undoes the line edit; in the text view the document.
    controller->show();
    ASSERT_TRUE(controller->applyEdits(active(), {{0, 0}}, {u"doc"}, "t"));
    auto* field = new QLineEdit(controller->window());
    controller->addAccessory(field, true);
    field->setFocus();
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), field);
    field->insert("typed");
    undo->trigger();
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(text(active()), u"doc");
    controller->textView()->setFocus();
    QCoreApplication::processEvents();
    undo->trigger();
    EXPECT_EQ(text(active()), u"");
    // "Sil" deletes the selection of the focused text.
    ASSERT_TRUE(controller->applyEdits(active(), {{0, 0}}, {u"abcdef"}, "t"));
    controller->select({1, 3});
    builder.menu(MenuID::edit)->actions()[6]->trigger();
    EXPECT_EQ(text(active()), u"aef");

    // The recent-files submenu lists opened files and opens them again.
    const QString recent = write("recent.txt", "r");
    controller->openFiles({recent});
    controller->closeDocument(active());
    QMenu* recentMenu = controller->recentFilesMenu();
    QMetaObject::invokeMethod(recentMenu, "aboutToShow");
    ASSERT_FALSE(recentMenu->actions().isEmpty());
    EXPECT_EQ(recentMenu->actions()[0]->text(), "recent.txt");
    recentMenu->actions()[0]->trigger();
    EXPECT_EQ(active().displayName(), "recent.txt");

    // The encoding submenus: the current one checked; reopen offered only for clean files.
    QMenu* encodings = builder.menu(MenuID::file)->actions()[9]->menu();
    QMenu* convert = encodings->actions()[0]->menu();
    QMenu* reopen = encodings->actions()[1]->menu();
    controller->saving().setSaveEncoding(TextEncoding::isoLatin1);
    QMetaObject::invokeMethod(convert, "aboutToShow");
    QMetaObject::invokeMethod(reopen, "aboutToShow");
    for (QAction* action : convert->actions())
        EXPECT_EQ(action->isChecked(), action->text() == "ISO-8859-1") << action->text().toStdString();
    EXPECT_FALSE(reopen->actions()[0]->isEnabled());
}

TEST_F(WindowContextTest, TheTextAreasContextMenuOffersTheEditItemsAndTheFeaturesOnes) {
    MenuBuilder builder;
    controller->attachMenus(builder);
    builder.complete();
    QWidget* window = controller->window();
    controller->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EditorTextView* view = controller->textView();
    ASSERT_TRUE(controller->applyEdits(active(), {{0, 0}}, {u"alpha beta"}, "t"));
    controller->select({0, 0});
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    std::vector<std::int64_t> asked;
    EditorObservation provider =
        controller->addContextMenuProvider([&](QMenu& menu, EditorTextView& shown, qint64 offset) {
            EXPECT_EQ(&shown, view);
            asked.push_back(offset);
            menu.addAction(QStringLiteral("Öneri"));
        });
    // The menu shown (disabled items in brackets), then closed.
    auto shownMenu = [&] {
        QStringList items;
        QMenu* menu = view->contextMenu();
        if (!menu || !menu->isVisible())
            return items;
        for (QAction* action : menu->actions())
            items << (action->isSeparator() ? QStringLiteral("—")
                      : action->isEnabled() ? action->text()
                                            : "(" + action->text() + ")");
        menu->close();
        return items;
    };
    const QPoint onBeta = view->rectForOffset(7).center().toPoint();

    // A right click, through the window as the platform delivers it: the caret stays.
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      view->viewport()->mapTo(window, onBeta));
    EXPECT_EQ(shownMenu(), (QStringList{"Öneri", "—", "Geri Al", "(Yinele)", "—", "(Kes)",
                                        "(Kopyala)", "Yapıştır", "(Sil)", "—", "Tümünü Seç"}));
    EXPECT_EQ(asked, (std::vector<std::int64_t>{7}));
    EXPECT_EQ(view->selectedRange(), (TextRange{0, 0}));
    QCoreApplication::processEvents();
    // The Edit menu's items are usable again once the menu is gone (their shortcuts too).
    EXPECT_TRUE(builder.menu(MenuID::edit)->actions()[1]->isEnabled());

    // The Menu key and Shift+F10 open it at the caret; its items act on the text.
    controller->select({0, 5});
    for (auto [key, modifiers] :
         {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
        QTest::keyClick(view, key, modifiers);
        QMenu* menu = view->contextMenu();
        ASSERT_TRUE(menu && menu->isVisible()) << key;
        EXPECT_EQ(asked.back(), 5);
        EXPECT_EQ(shownMenu(), (QStringList{"Öneri", "—", "Geri Al", "(Yinele)", "—", "Kes",
                                            "Kopyala", "Yapıştır", "Sil", "—", "Tümünü Seç"}));
        QCoreApplication::processEvents();
    }
    QTest::keyClick(view, Qt::Key_Menu);
    QMenu* menu = view->contextMenu();
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions())
        if (action->text() == "Kes")
            action->trigger();
    menu->close();
    EXPECT_EQ(QApplication::clipboard()->text(), "alpha");
    EXPECT_EQ(text(active()), u" beta");

    // A provider that is cancelled adds nothing; a read-only tab offers only what reads.
    provider.cancel();
    active().setReadOnly(true);
    controller->select({1, 4});
    QTest::keyClick(view, Qt::Key_Menu);
    EXPECT_EQ(shownMenu(), (QStringList{"(Geri Al)", "(Yinele)", "—", "(Kes)", "Kopyala",
                                        "(Yapıştır)", "(Sil)", "—", "Tümünü Seç"}));
    EXPECT_EQ(asked.size(), 4u);
}

} // namespace
} // namespace vendrix::app::test
