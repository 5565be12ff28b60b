#pragma once

#include "app/context/MenuActionTarget.h"
#include "app/context/MenuID.h"

#include <QPointer>

#include <map>

class QAction;
class QMenu;
#include <QMenuBar>

namespace vendrix::app {

/// Assembles the menu bar: the nine top-level menus in MenuID order, the items the window
/// and the features add, and the final clean-up. Separators are added only where they
/// separate something; complete() drops trailing ones and hides menus left empty.
///
/// The application menu is special: items go in at `appInsertIndex`, which then advances, so
/// that contributed items land between the window's own leading and trailing items.
class MenuBuilder final {
public:
    MenuBuilder();
    /// Deletes the menu bar unless a window has taken it over (QMainWindow::setMenuBar).
    ~MenuBuilder();
    MenuBuilder(const MenuBuilder&) = delete;
    MenuBuilder& operator=(const MenuBuilder&) = delete;

    /// The menu bar, titled "Ana Menü" (its window title and accessible name).
    QMenuBar* mainMenu() const { return m_mainMenu; }
    QMenu* menu(MenuID id) const { return m_menus.at(id); }
    /// The menu's item in the menu bar.
    QAction* topItem(MenuID id) const { return m_topItems.at(id); }
    const std::map<MenuID, QMenu*>& menus() const { return m_menus; }
    const std::map<MenuID, QAction*>& topItems() const { return m_topItems; }

    /// Where the next application-menu item goes. The window sets it after building its own
    /// leading items ("Vendrix Hakkında" and its separator).
    int appInsertIndex() const { return m_appInsertIndex; }
    void setAppInsertIndex(int index);

    /// Appends `action` to the menu (inserts it at appInsertIndex for `app`); the menu owns it
    /// unless it already has a parent. Returns `action`.
    QAction* addItem(MenuID id, QAction* action);
    /// Adds a closure-backed item (see MenuActionTarget); returns its action.
    QAction* addItem(MenuID id, MenuCommand command);
    /// The same for a submenu: appended, owned by `submenu`.
    static QAction* addItem(QMenu* submenu, MenuCommand command);

    /// Creates a submenu with `title`, added as an item like addItem; returns it.
    QMenu* addSubmenu(MenuID id, const QString& title);
    /// A submenu inside a submenu (appended).
    static QMenu* addSubmenu(QMenu* parent, const QString& title);

    /// Appends a separator unless the menu is empty or already ends with one; for `app`
    /// inserts it at appInsertIndex unless the item just before that position is one.
    void addSeparator(MenuID id);
    /// The append rule for any menu (used for submenus).
    static void addSeparator(QMenu* menu);

    /// Removes trailing and doubled separators from every menu and submenu; a top-level menu
    /// left without items is taken out of the menu bar.
    void complete();

private:
    QPointer<QMenuBar> m_mainMenu;
    std::map<MenuID, QMenu*> m_menus;
    std::map<MenuID, QAction*> m_topItems;
    int m_appInsertIndex = 0;
};

} // namespace vendrix::app
