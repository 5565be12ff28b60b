#include "app/context/MenuBuilder.h"
#include "app/context/MenuActionTarget.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

namespace vendrix::app {
namespace {

/// Titles of a menu's items, "—" for a separator.
QStringList titles(const QMenu* menu) {
    QStringList result;
    for (const QAction* item : menu->actions())
        result << (item->isSeparator() ? QStringLiteral("—") : item->text());
    return result;
}

QAction* plain(const QString& title) {
    // Parented to the application so actions added to a menu directly are freed too.
    return new QAction(title, QCoreApplication::instance());
}

/// Opens and closes `menu` the way a user does, which runs the validation on show.
void openAndClose(QMenu* menu) {
    menu->popup(QPoint(0, 0));
    QApplication::processEvents();
    menu->hide();
    QApplication::processEvents();
}

TEST(MenuBuilderTest, BuildsTheNineMenusInOrderWithTheirTitles) {
    MenuBuilder builder;
    const QStringList expected{"Vendrix", "Dosya", "Düzen",   "Ara",   "Görünüm",
                               "Biçim",   "Dil",   "Pencere", "Yardım"};
    QStringList shown;
    for (const QAction* top : builder.mainMenu()->actions())
        shown << top->text();
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(builder.topItem(MenuID::format)->menu(), builder.menu(MenuID::format));
    EXPECT_EQ(menuIDFromRawValue(u"language"), MenuID::language);
    EXPECT_FALSE(menuIDFromRawValue(u"Language").has_value());
    EXPECT_EQ(builder.mainMenu()->windowTitle(), QStringLiteral("Ana Menü"));
}

TEST(MenuBuilderTest, SeparatorsOnlySeparateAndCompletionTidiesUp) {
    MenuBuilder builder;
    builder.addSeparator(MenuID::edit); // empty menu: nothing
    builder.addItem(MenuID::edit, plain("A"));
    builder.addSeparator(MenuID::edit);
    builder.addSeparator(MenuID::edit); // already ends with one
    builder.addItem(MenuID::edit, plain("B"));
    builder.addSeparator(MenuID::edit);
    QMenu* sub = builder.addSubmenu(MenuID::edit, "Alt");
    MenuBuilder::addSeparator(sub);
    MenuBuilder::addItem(sub, {.title = "C", .action = [] {}});
    MenuBuilder::addSeparator(sub);
    builder.addSeparator(MenuID::edit);
    EXPECT_EQ(titles(builder.menu(MenuID::edit)), (QStringList{"A", "—", "B", "—", "Alt", "—"}));

    builder.addItem(MenuID::view, plain("V"));
    builder.addSeparator(MenuID::view);
    builder.complete();
    EXPECT_EQ(titles(builder.menu(MenuID::edit)), (QStringList{"A", "—", "B", "—", "Alt"}));
    EXPECT_EQ(titles(sub), (QStringList{"C"}));
    EXPECT_EQ(titles(builder.menu(MenuID::view)), (QStringList{"V"}));

    // Menus nobody filled leave the menu bar; the others stay in order.
    QStringList shown;
    for (const QAction* top : builder.mainMenu()->actions())
        shown << top->text();
    EXPECT_EQ(shown, (QStringList{"Düzen", "Görünüm"}));
}

TEST(MenuBuilderTest, ApplicationMenuItemsGoInAtTheInsertionPointInOrder) {
    MenuBuilder builder;
    QMenu* appMenu = builder.menu(MenuID::app);
    // The window's own items: About and its separator, then the tail appended directly.
    builder.addItem(MenuID::app, plain("Vendrix Hakkında"));
    builder.addSeparator(MenuID::app);
    EXPECT_EQ(builder.appInsertIndex(), 2);
    appMenu->addSeparator();
    appMenu->addAction(plain("Vendrix'ten Çık"));

    builder.addSeparator(MenuID::app); // the item before the point is a separator
    builder.addItem(MenuID::app, plain("Ayarlar…"));
    builder.addItem(MenuID::app, plain("İkinci"));
    builder.addSeparator(MenuID::app);
    builder.addItem(MenuID::app, plain("Üçüncü"));
    EXPECT_EQ(titles(appMenu), (QStringList{"Vendrix Hakkında", "—", "Ayarlar…", "İkinci", "—",
                                            "Üçüncü", "—", "Vendrix'ten Çık"}));
    EXPECT_EQ(builder.appInsertIndex(), 6);
}

TEST(MenuBuilderTest, ApplicationMenuWithoutContributionsShowsOneSeparator) {
    MenuBuilder builder;
    builder.addItem(MenuID::app, plain("Vendrix Hakkında"));
    builder.addSeparator(MenuID::app);
    QMenu* appMenu = builder.menu(MenuID::app);
    appMenu->addSeparator();
    appMenu->addAction(plain("Vendrix'ten Çık"));
    builder.complete();
    EXPECT_EQ(titles(appMenu), (QStringList{"Vendrix Hakkında", "—", "Vendrix'ten Çık"}));
}

TEST(MenuActionTargetTest, EnabledAndCheckedFollowTheTestsEachTimeTheMenuShows) {
    MenuBuilder builder;
    bool enabled = false;
    bool checked = false;
    int runs = 0;
    QAction* always =
        builder.addItem(MenuID::view, {.title = "Her zaman", .action = [&] { ++runs; }});
    QAction* toggle = builder.addItem(MenuID::view, {.title = "Sözcük Kaydır",
                                                     .action = [&] { checked = !checked; },
                                                     .isChecked = [&] { return checked; }});
    QMenu* sub = builder.addSubmenu(MenuID::view, "Alt");
    QAction* guarded = MenuBuilder::addItem(
        sub, {.title = "Koşullu", .action = [&] { ++runs; }, .isEnabled = [&] { return enabled; }});

    QMenu* view = builder.menu(MenuID::view);
    view->popup(QPoint(0, 0));
    QApplication::processEvents();
    EXPECT_TRUE(always->isEnabled());
    EXPECT_TRUE(toggle->isCheckable());
    EXPECT_FALSE(toggle->isChecked());
    view->hide();

    checked = true;
    openAndClose(view);
    EXPECT_TRUE(toggle->isChecked());

    sub->popup(QPoint(0, 0));
    QApplication::processEvents();
    EXPECT_FALSE(guarded->isEnabled()) << "a false enabled test disables the item on show";
    sub->hide();
    QApplication::processEvents();
    EXPECT_TRUE(guarded->isEnabled()) << "re-armed after hiding so its shortcut still answers";

    // Triggering re-checks the enabled test, whatever the action's state says.
    guarded->trigger();
    EXPECT_EQ(runs, 0);
    enabled = true;
    guarded->trigger();
    EXPECT_EQ(runs, 1);

    // A checkable item's mark is re-synced from the test after running (Qt toggles it first).
    toggle->trigger();
    EXPECT_FALSE(checked);
    EXPECT_FALSE(toggle->isChecked());
}

TEST(MenuActionTargetTest, ShortcutsAnswerOnlyWhileTheConditionHolds) {
    QMainWindow window;
    MenuBuilder builder;
    window.setMenuBar(builder.mainMenu());
    bool enabled = false;
    int runs = 0;
    QAction* item =
        builder.addItem(MenuID::edit, {.title = "Satırı Çoğalt",
                                       .action = [&] { ++runs; },
                                       .shortcuts = {QKeySequence(Qt::CTRL | Qt::Key_D),
                                                     QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D)},
                                       .isEnabled = [&] { return enabled; }});
    EXPECT_EQ(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
    builder.complete();
    window.resize(400, 300);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // Shown once while the condition is false: the menu shows it disabled.
    openAndClose(builder.menu(MenuID::edit));
    QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(runs, 0);

    enabled = true;
    QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(runs, 1) << "the shortcut works once the condition holds, without reopening";
    QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(runs, 2) << "the second shortcut answers too";

    enabled = false;
    QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(runs, 2);
}

} // namespace
} // namespace vendrix::app
