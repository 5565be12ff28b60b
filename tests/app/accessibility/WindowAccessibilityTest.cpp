// The window as assistive technology and keyboard-only users meet it: the tabs, the status
// fields, the bars' controls, and moving between the text and the bars.
#include "../search/SearchTestSupport.h"
#include "AccessibilityTestSupport.h"
#include "app/features/search/GoToLineBar.h"
#include "app/features/search/SearchResultsView.h"
#include "app/view/LineNumberRulerView.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QListView>
#include <QTest>

namespace vendrix::app::test {
namespace {

class WindowAccessibilityTest : public SearchFixture {
protected:
    /// Finds "ab" in all tabs, which opens the results panel.
    void showResults() {
        find().setQuery("ab");
        ASSERT_TRUE(choose(MenuID::search, "Tüm Sekmelerde Bul"));
        waitIdle();
        ASSERT_TRUE(feature->isResultsVisible);
    }
};

QAccessibleInterface* accessibleOf(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

/// Every interface under `root`, depth first.
void collect(QAccessibleInterface* root, std::vector<QAccessibleInterface*>& into) {
    into.push_back(root);
    for (int index = 0; index < root->childCount(); ++index)
        if (QAccessibleInterface* child = root->child(index))
            collect(child, into);
}

void press(QAccessibleInterface* target) {
    ASSERT_NE(target->actionInterface(), nullptr);
    target->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

} // namespace

TEST_F(WindowAccessibilityTest, TabsArePageTabsWithCloseButtonsAndANewTabButton) {
    controller->show();
    HeardEvents heard;
    EditorDocument& first = active();
    ASSERT_TRUE(first.applyEdit({0, 0}, u"değişti"));
    open(u"");
    QAccessibleInterface* list = accessibleOf(controller->tabBar());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::PageTabList);
    ASSERT_EQ(list->childCount(), 3);

    QAccessibleInterface* tab0 = list->child(0);
    QAccessibleInterface* tab1 = list->child(1);
    EXPECT_EQ(tab0->role(), QAccessible::PageTab);
    EXPECT_EQ(tab0->text(QAccessible::Name), first.displayName());
    EXPECT_EQ(tab0->text(QAccessible::Description), "değiştirildi");
    EXPECT_EQ(tab1->text(QAccessible::Name), active().displayName());
    EXPECT_EQ(tab1->text(QAccessible::Description), "");
    EXPECT_FALSE(tab0->state().selected);
    EXPECT_TRUE(tab1->state().selected);
    EXPECT_EQ(tab0->parent(), list);
    EXPECT_EQ(list->indexOfChild(tab1), 1);
    EXPECT_TRUE(list->rect().contains(tab1->rect()));

    ASSERT_EQ(tab1->childCount(), 1);
    QAccessibleInterface* close = tab1->child(0);
    EXPECT_EQ(close->role(), QAccessible::Button);
    EXPECT_EQ(close->text(QAccessible::Name), "Sekmeyi Kapat");
    EXPECT_EQ(close->parent(), tab1);
    EXPECT_TRUE(tab1->rect().contains(close->rect()));
    QAccessibleInterface* plus = list->child(2);
    EXPECT_EQ(plus->role(), QAccessible::Button);
    EXPECT_EQ(plus->text(QAccessible::Name), "Yeni Sekme");

    // Pressing does what clicking does, and the changes are heard.
    heard.clear();
    press(tab0);
    EXPECT_EQ(&active(), &first);
    EXPECT_TRUE(list->child(0)->state().selected);
    EXPECT_FALSE(heard.of(QAccessible::StateChanged).empty());
    press(list->child(2));
    EXPECT_EQ(count(), 3u);
    EXPECT_FALSE(heard.of(QAccessible::ObjectReorder).empty());
    ASSERT_EQ(list->childCount(), 4);
    press(list->child(2)->child(0)); // the new, clean tab closes without a question
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(list->childCount(), 3);
    EXPECT_EQ(list->child(2)->text(QAccessible::Name), "Yeni Sekme");
}

TEST_F(WindowAccessibilityTest, StatusFieldsAreLabelsAndTheRulerIsHidden) {
    controller->show();
    open(u"bir\niki");
    view().setSelection(4, 4);
    QLabel* position = controller->statusBar()->field(QStringLiteral("position"))->label;
    QAccessibleInterface* label = accessibleOf(position);
    EXPECT_EQ(label->role(), QAccessible::StaticText);
    EXPECT_EQ(label->text(QAccessible::Name), "Sat 2, Süt 1");

    std::vector<QAccessibleInterface*> all;
    collect(accessibleOf(controller->window()), all);
    bool sawText = false;
    bool sawTabs = false;
    for (QAccessibleInterface* node : all) {
        EXPECT_EQ(qobject_cast<LineNumberRulerView*>(node->object()), nullptr);
        sawText = sawText || node->object() == &view();
        sawTabs = sawTabs || node->object() == controller->tabBar();
    }
    EXPECT_TRUE(sawText);
    EXPECT_TRUE(sawTabs);
}

TEST_F(WindowAccessibilityTest, EveryControlOfTheBarsIsNamed) {
    controller->show();
    open(u"ab ab");
    view().setSelectedRange({0, 2});
    ASSERT_TRUE(choose(MenuID::search, "Bul ve Değiştir…"));
    ASSERT_TRUE(choose(MenuID::search, "Satıra Git…"));
    showResults();
    std::vector<QWidget*> bars = {feature->findBar(), feature->goToLineBar(),
                                  feature->resultsView()};
    for (int width : {1200, 300}) { // narrow bars show symbols; the names stay words
        feature->findBar()->resize(width, feature->findBar()->height());
        for (QWidget* bar : bars)
            for (QWidget* control : bar->findChildren<QWidget*>()) {
                if (!qobject_cast<QLineEdit*>(control) &&
                    !qobject_cast<QAbstractButton*>(control) && !qobject_cast<QListView*>(control))
                    continue;
                const QString name = accessibleOf(control)->text(QAccessible::Name);
                EXPECT_FALSE(name.isEmpty()) << control->metaObject()->className();
                EXPECT_FALSE(name == "✕" || name == "◀" || name == "▶" || name == ".*" ||
                             name == "↻")
                    << name.toStdString();
            }
    }
}

TEST_F(WindowAccessibilityTest, F6MovesBetweenTheTextAndTheOpenBars) {
    controller->show();
    controller->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller->window()));
    open(u"ab satır\nikinci");
    view().setFocus();
    // No bar open: F6 stays in the text.
    QTest::keyClick(&view(), Qt::Key_F6);
    EXPECT_TRUE(view().hasFocus());

    ASSERT_TRUE(choose(MenuID::search, "Bul…"));
    FindBar* bar = feature->findBar();
    EXPECT_TRUE(bar->findField->hasFocus());
    QTest::keyClick(bar->findField, Qt::Key_F6);
    EXPECT_TRUE(view().hasFocus());
    QTest::keyClick(&view(), Qt::Key_F6, Qt::ControlModifier);
    EXPECT_TRUE(bar->findField->hasFocus());

    // The results below the text come after it, and F6 goes round.
    showResults();
    QWidget* results = feature->resultsView();
    view().setFocus();
    QTest::keyClick(&view(), Qt::Key_F6);
    EXPECT_TRUE(results->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    EXPECT_TRUE(bar->findField->hasFocus());
    QTest::keyClick(bar->findField, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(results->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(view().hasFocus());

    // Closing a bar with the focus in it gives the focus back to the text.
    ASSERT_TRUE(choose(MenuID::search, "Satıra Git…"));
    EXPECT_TRUE(feature->goToLineBar()->field->hasFocus());
    QTest::keyClick(feature->goToLineBar()->field, Qt::Key_Escape);
    EXPECT_TRUE(view().hasFocus());
}

TEST_F(WindowAccessibilityTest, ClosingThePanelGivesTheFocusBackToTheText) {
    controller->show();
    controller->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller->window()));
    open(u"ab ab");
    // The find bar comes after the results in the focus chain: left to itself, the focus
    // would go there.
    showResults();
    ASSERT_TRUE(choose(MenuID::search, "Bul…"));
    QListView* list = feature->resultsView()->table;
    list->setFocus();
    ASSERT_TRUE(list->hasFocus());
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(feature->isResultsVisible);
    EXPECT_TRUE(view().hasFocus());
}

} // namespace vendrix::app::test
