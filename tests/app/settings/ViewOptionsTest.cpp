#include "app/context/MenuBuilder.h"
#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/settings/SettingsWindowController.h"
#include "app/settings/ViewOptionsController.h"
#include "app/view/EditorTextView.h"
#include "app/view/LineNumberRulerView.h"
#include "app/window/EditorWindowController.h"
#include "app/window/StatusBarView.h"
#include "core/persistence/SettingsBacking.h"
#include "core/persistence/SettingsStore.h"
#include "core/text/TextStorage.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <memory>

namespace vendrix::app::test {
namespace {

class ViewOptionsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        controller = std::make_unique<EditorWindowController>(
            EditorWindowController::Options{&prompter, &backing});
        controller->attachMenus(builder);
        builder.complete();
        controller->ensureDocument();
        controller->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        options().changeSettings(EditorSettings::defaults); // theme back to the system's
        controller.reset();
    }
    ViewOptionsController& options() { return *controller->viewOptions(); }
    SettingsWindowController& settingsWindow() { return options().settingsWindow(); }
    EditorTextView& view() { return *controller->textView(); }
    std::u16string text() { return controller->activeDocument()->storage()->string(); }
    QString message() { return controller->statusBar()->message(); }
    void commit(QLineEdit* field, const QString& typed) {
        field->setText(typed);
        emit field->editingFinished();
    }
    EditorSettings with(auto edit) {
        EditorSettings settings = options().settings();
        edit(settings);
        return settings;
    }
    QAction* menuItem(MenuID id, const QString& title) {
        for (QAction* action : builder.menu(id)->actions())
            if (action->text() == title)
                return action;
        return nullptr;
    }
    /// A new tab holding `text` with the selection `selection`, the view focused.
    void edit(std::u16string text, TextRange selection) {
        controller->newDocument(std::move(text));
        view().setSelectedRange(selection);
        view().setFocus();
        QApplication::processEvents();
    }

    MemorySettingsBacking backing;
    ScriptedPrompter prompter;
    std::unique_ptr<EditorWindowController> controller;
    MenuBuilder builder;
};

TEST_F(ViewOptionsFixture, SizeFieldClampsAcceptsADecimalCommaAndIgnoresGarbage) {
    SettingsWindowController& window = settingsWindow();
    commit(window.row("editor.fontSize").field, QStringLiteral("100"));
    EXPECT_EQ(options().settings().fontSize, 72.0);
    EXPECT_EQ(window.row("editor.fontSize").field->text(), QStringLiteral("72.0"));
    EXPECT_EQ(view().editorFont().pointSizeF(), 72.0);

    commit(window.row("editor.fontSize").field, QStringLiteral(" 12,5 "));
    EXPECT_EQ(options().settings().fontSize, 12.5);
    EXPECT_EQ(window.row("editor.fontSize").field->text(), QStringLiteral("12.5"));
    EXPECT_EQ(SettingsStore(backing).load().fontSize, 12.5);

    const int writes = backing.setCount();
    commit(window.row("editor.fontSize").field, QStringLiteral("büyük"));
    EXPECT_EQ(options().settings().fontSize, 12.5);
    EXPECT_EQ(window.row("editor.fontSize").field->text(), QStringLiteral("12.5"));
    EXPECT_EQ(backing.setCount(), writes);

    commit(window.row("editor.tabWidth").field, QStringLiteral(" 40 "));
    EXPECT_EQ(options().settings().tabWidth, 16);
    EXPECT_EQ(view().tabWidth(), 16);
    commit(window.row("editor.tabWidth").field, QStringLiteral("2.5"));
    EXPECT_EQ(options().settings().tabWidth, 16);
}

TEST_F(ViewOptionsFixture, SteppersCommitEachClickAndSaveNothingAtTheLimit) {
    SettingsWindowController& window = settingsWindow();
    window.row("editor.tabWidth").up->click();
    EXPECT_EQ(options().settings().tabWidth, 5);
    options().changeSettings(with([](EditorSettings& s) { s.tabWidth = 16; }));
    const int writes = backing.setCount();
    int changes = 0;
    QObject::connect(&options(), &ViewOptionsController::settingsChanged, [&] { ++changes; });
    window.row("editor.tabWidth").up->click();
    EXPECT_EQ(options().settings().tabWidth, 16);
    EXPECT_EQ(window.row("editor.tabWidth").field->text(), QStringLiteral("16"));
    EXPECT_EQ(backing.setCount(), writes);
    EXPECT_EQ(changes, 0);
    window.row("editor.fontSize").down->click();
    EXPECT_EQ(options().settings().fontSize, 12.0);
    EXPECT_EQ(changes, 1);
}

TEST_F(ViewOptionsFixture, TheDefaultFontStoresAnEmptyName) {
    SettingsWindowController& window = settingsWindow();
    EXPECT_TRUE(window.row("editor.fontName")
                    .popup->itemText(0)
                    .startsWith(QStringLiteral("Varsayılan (")));
    options().changeSettings(with([](EditorSettings& s) { s.fontName = u"Not A Font"; }));
    // A missing family falls back to the system's fixed-width font; the name stays stored.
    EXPECT_EQ(view().editorFont().family(), ViewOptionsController::defaultFontFamily());
    EXPECT_EQ(window.row("editor.fontName").popup->currentText(), QStringLiteral("Not A Font"));
    window.row("editor.fontName").popup->setCurrentIndex(0);
    emit window.row("editor.fontName").popup->activated(0);
    EXPECT_TRUE(options().settings().fontName.empty());
    const auto stored = backing.object("editor.fontName");
    EXPECT_TRUE(!stored || (stored->string() && stored->string()->empty()));
}

TEST_F(ViewOptionsFixture, ZoomChangesTheShownSizeOnlyAndSaysSo) {
    options().zoom(1);
    EXPECT_EQ(options().effectiveFontSize(), 14.0);
    EXPECT_EQ(message(), QStringLiteral("Yazı boyutu 14 pt"));
    EXPECT_EQ(options().settings().fontSize, 13.0);
    EXPECT_FALSE(backing.object("editor.fontSize").has_value());
    options().resetZoom();
    EXPECT_EQ(options().effectiveFontSize(), 13.0);
    EXPECT_EQ(message(), QStringLiteral("Yazı boyutu 13 pt"));

    options().changeSettings(with([](EditorSettings& s) { s.fontSize = 72; }));
    controller->statusBar()->showMessage(QString(), 1);
    options().zoom(1);
    EXPECT_EQ(options().zoomDelta(), 0.0);
    EXPECT_TRUE(message().isEmpty());
    options().resetZoom();
    EXPECT_TRUE(message().isEmpty());
}

TEST_F(ViewOptionsFixture, ViewMenuItemsAndTheSettingsCommand) {
    QAction* zoomIn = menuItem(MenuID::view, QStringLiteral("Yakınlaştır"));
    ASSERT_NE(zoomIn, nullptr);
    EXPECT_TRUE(zoomIn->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Plus)));
    EXPECT_TRUE(zoomIn->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Equal)));
    zoomIn->trigger();
    EXPECT_EQ(options().effectiveFontSize(), 14.0);
    menuItem(MenuID::view, QStringLiteral("Uzaklaştır"))->trigger();
    menuItem(MenuID::view, QStringLiteral("Uzaklaştır"))->trigger();
    EXPECT_EQ(options().effectiveFontSize(), 12.0);
    menuItem(MenuID::view, QStringLiteral("Gerçek Boyut"))->trigger();
    EXPECT_EQ(options().effectiveFontSize(), 13.0);

    QAction* wrap = menuItem(MenuID::view, QStringLiteral("Sözcük Kaydır"));
    ASSERT_NE(wrap, nullptr);
    EXPECT_EQ(wrap->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Z));
    wrap->trigger();
    EXPECT_TRUE(controller->wrapsLines());

    QAction* invisibles = menuItem(MenuID::view, QStringLiteral("Görünmez Karakterleri Göster"));
    ASSERT_NE(invisibles, nullptr);
    invisibles->trigger();
    EXPECT_TRUE(options().settings().showInvisibles);
    EXPECT_TRUE(view().showsInvisibles());
    EXPECT_TRUE(SettingsStore(backing).load().showInvisibles);

    QAction* settings = menuItem(MenuID::app, QStringLiteral("Ayarlar…"));
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings->trigger();
    QWidget* window = settingsWindow().window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ayarlar"));
    EXPECT_EQ(window->size(), QSize(440, 300));
    settings->trigger();
    EXPECT_EQ(settingsWindow().window(), window);
    // The controls follow a change made elsewhere.
    EXPECT_TRUE(settingsWindow().row("editor.showInvisibles").check->isChecked());
}

TEST_F(ViewOptionsFixture, EscapeClosesTheSettingsWindowAndTheRulerZoomsWithTheText) {
    QWidget* window = controller->window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    // Ctrl+Plus and Ctrl+Minus, typed in the text: the line numbers grow and shrink with it.
    LineNumberRulerView* ruler = controller->ruler();
    const int thickness = ruler->thickness();
    const qreal numberSize = ruler->numberFont().pointSizeF();
    view().setFocus();
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(&view(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(options().effectiveFontSize(), 17.0);
    EXPECT_NEAR(ruler->numberFont().pointSizeF(), numberSize * 17 / 13, 0.01);
    EXPECT_GT(ruler->thickness(), thickness);
    EXPECT_EQ(view().viewport()->x(), ruler->thickness());
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(&view(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(ruler->numberFont().pointSizeF(), numberSize);
    EXPECT_EQ(ruler->thickness(), thickness);

    // Escape closes the settings window from any of its controls.
    SettingsWindowController& settings = settingsWindow();
    for (QWidget* control : {static_cast<QWidget*>(settings.row("editor.fontSize").field),
                             static_cast<QWidget*>(settings.row("editor.wrapByDefault").check)}) {
        settings.showAndRaise();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return QApplication::activeWindow() == settings.window(); }));
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_FALSE(settings.window()->isVisible()) << control->metaObject()->className();
    }
    EXPECT_EQ(options().settings().fontSize, 13.0); // nothing changed on the way out
}

TEST_F(ViewOptionsFixture, ThemeInstallsAndRemovesADarkPalette) {
    const QPalette before = QApplication::palette();
    options().changeSettings(with([](EditorSettings& s) { s.theme = EditorTheme::dark; }));
    QPalette palette = QApplication::palette();
    EXPECT_LT(palette.color(QPalette::Window).lightness(),
              palette.color(QPalette::WindowText).lightness());
    // Separators and frames are drawn with the shades: none may stay a light one.
    for (auto role :
         {QPalette::Light, QPalette::Midlight, QPalette::Mid, QPalette::Dark, QPalette::Shadow})
        EXPECT_LT(palette.color(role).lightness(), 100) << role;
    options().changeSettings(with([](EditorSettings& s) { s.theme = EditorTheme::light; }));
    palette = QApplication::palette();
    EXPECT_GT(palette.color(QPalette::Window).lightness(),
              palette.color(QPalette::WindowText).lightness());
    options().changeSettings(with([](EditorSettings& s) { s.theme = EditorTheme::system; }));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), before.color(QPalette::Window));
}

TEST_F(ViewOptionsFixture, TabAndShiftTab) {
    // Shift+Tab on a caret in "  x" with tab width 4 removes both spaces.
    edit(u"  x", {3, 0});
    QTest::keyClick(&view(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(text(), u"x");
    controller->activeDocument()->undo();
    EXPECT_EQ(text(), u"  x");

    // Tab at column 2 with insert-spaces on inserts two spaces.
    options().changeSettings(with([](EditorSettings& s) { s.insertSpaces = true; }));
    edit(u"ab", {2, 0});
    QTest::keyClick(&view(), Qt::Key_Tab);
    EXPECT_EQ(text(), u"ab  ");
    // Column counting expands tabs first: "\ta" is at column 5 with width 4.
    edit(u"\ta", {2, 0});
    QTest::keyClick(&view(), Qt::Key_Tab);
    EXPECT_EQ(text(), u"\ta   ");

    // A selection inside one line becomes spaces, or a tab with insert-spaces off.
    edit(u"abcdef", {1, 2});
    QTest::keyClick(&view(), Qt::Key_Tab);
    EXPECT_EQ(text(), u"a   def");
    options().changeSettings(with([](EditorSettings& s) { s.insertSpaces = false; }));
    edit(u"abcdef", {1, 2});
    QTest::keyClick(&view(), Qt::Key_Tab);
    EXPECT_EQ(text(), u"a\tdef");

    // A selection over lines indents the block.
    edit(u"a\nb\nc", {0, 3});
    QTest::keyClick(&view(), Qt::Key_Tab);
    EXPECT_EQ(text(), u"\ta\n\tb\nc");
    EXPECT_EQ(controller->activeDocument()->undoStack()->undoText(),
              ViewOptionsController::indentActionName);

    // While a column selection is active the keys are left to it (and the view).
    options().changeSettings(with([](EditorSettings& s) { s.insertSpaces = true; }));
    edit(u"  x", {3, 0});
    struct ActiveColumns final : ColumnSelectionQuery {
        bool isActive() const override { return true; }
        bool isRectangularWithWidth() const override { return false; }
        TextRange boundingRange() const override { return {3, 0}; }
        std::vector<TextRange> lineParts() const override { return {{3, 0}}; }
        bool transformLineParts(LinePartTransform, const QString&) override { return false; }
    } columns;
    view().setColumnSelection(&columns);
    QTest::keyClick(&view(), Qt::Key_Tab);
    EXPECT_EQ(text(), u"  x\t");
    view().setColumnSelection(nullptr);
}

} // namespace
} // namespace vendrix::app::test
