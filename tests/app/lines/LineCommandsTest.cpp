#include "../context/MenuTestSupport.h"
#include "../window/WindowTestSupport.h"
#include "app/settings/ViewOptionsController.h"
#include "app/features/columnselection/ColumnSelectionFeature.h"
#include "app/features/lines/LinesFeature.h"
#include "app/window/EditorWindowController.h"

#include <QUndoStack>

namespace vendrix::app::test {
namespace {

/// A real window with the line commands and the column selection attached and the menus
/// built.
class LineCommandsTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        builder = std::make_unique<MenuBuilder>();
        controller->attachMenus(*builder);
        feature = std::make_unique<LinesFeature>();
        column = std::make_unique<ColumnSelectionFeature>();
        feature->attach(*controller);
        column->attach(*controller);
        feature->contributeMenus(*builder);
        builder->complete();
    }
    void TearDown() override {
        column.reset();
        feature.reset();
        builder.reset();
        WindowFixture::TearDown();
    }

    EditorTextView& view() { return *controller->textView(); }
    EditorDocument& open(std::u16string text) { return controller->newDocument(std::move(text)); }
    QAction* item(MenuID id, const QString& title) const {
        return findMenuItem(builder->menu(id), title);
    }
    bool choose(MenuID id, const QString& title) { return chooseMenuItem(*builder, id, title); }

    std::unique_ptr<MenuBuilder> builder;
    std::unique_ptr<LinesFeature> feature;
    std::unique_ptr<ColumnSelectionFeature> column;
};

struct LineCase {
    const char* title;
    MenuID submenuOwner;
    std::u16string text;
    TextRange selection;
    std::u16string expected;
};

TEST_F(LineCommandsTest, EveryCommandThroughTheMenuIsOneNamedUndoStep) {
    const std::vector<LineCase> cases{
        {"Satırı Çoğalt", MenuID::edit, u"a\nb", {0, 0}, u"a\na\nb"},
        {"Satırı Sil", MenuID::edit, u"a\nb\nc", {2, 0}, u"a\nc"},
        {"Satırı Yukarı Taşı", MenuID::edit, u"a\nb", {2, 0}, u"b\na"},
        {"Satırı Aşağı Taşı", MenuID::edit, u"a\nb", {0, 0}, u"b\na"},
        {"Artan Sırala", MenuID::edit, u"c\na\nb", {0, 5}, u"a\nb\nc"},
        {"Azalan Sırala", MenuID::edit, u"a\nc\nb", {0, 5}, u"c\nb\na"},
        {"Yinelenen Satırları Kaldır", MenuID::edit, u"a\nb\na", {0, 5}, u"a\nb"},
        {"Sondaki Boşlukları Kırp", MenuID::edit, u"a  \nb\t", {0, 6}, u"a\nb"},
        {"Boş Satırları Sil", MenuID::edit, u"a\n\nb", {0, 4}, u"a\nb"},
        {"Sekmeleri Boşluğa Çevir", MenuID::edit, u"\ta", {0, 2}, u"    a"},
        {"Baştaki Boşlukları Sekmeye Çevir", MenuID::edit, u"    a", {0, 5}, u"\ta"},
        {"Satırları Birleştir", MenuID::edit, u"a\nb", {0, 3}, u"a b"},
        {"Girintiyi Artır", MenuID::edit, u"a\nb", {0, 1}, u"\ta\nb"},
        {"Girintiyi Azalt", MenuID::edit, u"\ta\n    b", {0, 8}, u"a\nb"},
        {"BÜYÜK HARF", MenuID::edit, u"abc def", {0, 3}, u"ABC def"},
        {"küçük harf", MenuID::edit, u"ABC DEF", {4, 3}, u"ABC def"},
        {"Başlık Harfi", MenuID::edit, u"hello world", {0, 11}, u"Hello World"},
    };
    for (const LineCase& c : cases) {
        const QString title = QString::fromUtf8(c.title);
        SCOPED_TRACE(c.title);
        EditorDocument& document = open(c.text);
        view().setTabWidth(4);
        view().setSelectedRange(c.selection);
        ASSERT_TRUE(choose(c.submenuOwner, title));
        EXPECT_EQ(text(document), c.expected);
        EXPECT_EQ(document.undoStack()->count(), 1);
        EXPECT_EQ(document.undoStack()->undoText(), title);
        document.undo();
        EXPECT_EQ(text(document), c.text);
    }
}

TEST_F(LineCommandsTest, SubmenusHoldTheGroupsInOrder) {
    QAction* lines = item(MenuID::edit, "Satır İşlemleri");
    ASSERT_TRUE(lines && lines->menu());
    QStringList titles;
    for (QAction* action : lines->menu()->actions())
        titles << (action->isSeparator() ? QStringLiteral("—") : action->text());
    EXPECT_EQ(titles.join('|'),
              "Satırı Çoğalt|Satırı Sil|Satırı Yukarı Taşı|Satırı Aşağı Taşı|—|Artan Sırala|"
              "Azalan Sırala|Yinelenen Satırları Kaldır|—|Sondaki Boşlukları Kırp|Boş Satırları "
              "Sil|Sekmeleri Boşluğa Çevir|Baştaki Boşlukları Sekmeye Çevir|—|Satırları "
              "Birleştir|—|Girintiyi Artır|Girintiyi Azalt");
    EXPECT_EQ(item(MenuID::edit, "Satırı Çoğalt")->shortcuts(),
              QList<QKeySequence>{QKeySequence("Ctrl+D")});
    EXPECT_EQ(item(MenuID::edit, "Satırı Sil")->shortcuts(),
              QList<QKeySequence>{QKeySequence("Ctrl+Shift+K")});
    EXPECT_EQ(item(MenuID::edit, "Satırı Yukarı Taşı")->shortcuts(),
              QList<QKeySequence>{QKeySequence("Alt+Up")});
    EXPECT_EQ(item(MenuID::edit, "Satırı Aşağı Taşı")->shortcuts(),
              QList<QKeySequence>{QKeySequence("Alt+Down")});
    QAction* cases = item(MenuID::edit, "Harf Dönüşümü");
    ASSERT_TRUE(cases && cases->menu());
    EXPECT_EQ(cases->menu()->actions().size(), 3);
}

TEST_F(LineCommandsTest, NoChangeAndReadOnly) {
    EditorDocument& sorted = open(u"a\nb");
    view().setSelectedRange({0, 3});
    ASSERT_TRUE(choose(MenuID::edit, "Artan Sırala"));
    EXPECT_EQ(statusMessage(), "Değişiklik yok");
    EXPECT_EQ(sorted.undoStack()->count(), 0);

    EditorDocument& locked = open(u"b\na");
    locked.setReadOnly(true);
    view().setSelectedRange({0, 3});
    EXPECT_FALSE(choose(MenuID::edit, "Artan Sırala"));
    EXPECT_FALSE(choose(MenuID::edit, "BÜYÜK HARF"));
    EXPECT_FALSE(choose(MenuID::edit, "Girintiyi Artır"));
    feature->runLineOperation(LineOperation::sortAscending, "Artan Sırala");
    EXPECT_EQ(text(locked), u"b\na");
}

TEST_F(LineCommandsTest, IndentUsesSpacesWhenTheSettingSaysSo) {
    EditorDocument& document = open(u"x\ny");
    ASSERT_NE(controller->viewOptions(), nullptr);
    EditorSettings settings = controller->viewOptions()->settings();
    settings.insertSpaces = true;
    controller->viewOptions()->changeSettings(settings);
    view().setTabWidth(2);
    view().setSelectedRange({0, 3});
    ASSERT_TRUE(choose(MenuID::edit, "Girintiyi Artır"));
    EXPECT_EQ(text(document), u"  x\n  y");
}

TEST_F(LineCommandsTest, CaseOfAColumnSelectionChangesEachLinePart) {
    EditorDocument& document = open(u"abcd\nefgh\nij");
    column->select({{0, 1}, {2, 3}, std::nullopt});
    ASSERT_TRUE(choose(MenuID::edit, "BÜYÜK HARF"));
    EXPECT_EQ(text(document), u"aBCd\neFGh\niJ");
    EXPECT_EQ(document.undoStack()->count(), 1);
    EXPECT_TRUE(column->isActive()) << "the rectangle stays selected";
}

} // namespace
} // namespace vendrix::app::test
