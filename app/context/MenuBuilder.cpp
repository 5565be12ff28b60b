#include "app/context/MenuBuilder.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace vendrix::app {
namespace {

/// Drops leading, trailing and repeated separators of `menu` and of its submenus.
void tidySeparators(QMenu* menu) {
    QAction* previous = nullptr;
    for (QAction* item : menu->actions()) {
        if (QMenu* submenu = item->menu())
            tidySeparators(submenu);
        if (item->isSeparator() && (previous == nullptr || previous->isSeparator())) {
            menu->removeAction(item);
            delete item;
            continue;
        }
        previous = item;
    }
    while (!menu->actions().isEmpty() && menu->actions().constLast()->isSeparator()) {
        QAction* last = menu->actions().constLast();
        menu->removeAction(last);
        delete last;
    }
}

} // namespace

MenuBuilder::MenuBuilder() : m_mainMenu(new QMenuBar()) {
    m_mainMenu->setWindowTitle(QStringLiteral("Ana Menü"));
    m_mainMenu->setAccessibleName(QStringLiteral("Ana Menü"));
    for (MenuID id : allMenuIDs) {
        auto* topMenu = new QMenu(title(id), m_mainMenu);
        topMenu->setObjectName(rawValue(id));
        MenuActionTarget::watch(topMenu);
        m_menus.emplace(id, topMenu);
        m_topItems.emplace(id, m_mainMenu->addMenu(topMenu));
    }
}

MenuBuilder::~MenuBuilder() {
    if (m_mainMenu && m_mainMenu->parent() == nullptr)
        delete m_mainMenu.data();
}

void MenuBuilder::setAppInsertIndex(int index) {
    m_appInsertIndex = std::clamp(index, 0, static_cast<int>(menu(MenuID::app)->actions().size()));
}

QAction* MenuBuilder::addItem(MenuID id, QAction* action) {
    QMenu* target = menu(id);
    if (action->parent() == nullptr)
        action->setParent(target);
    if (id != MenuID::app) {
        target->addAction(action);
        return action;
    }
    const QList<QAction*> items = target->actions();
    const int index = std::clamp(m_appInsertIndex, 0, static_cast<int>(items.size()));
    target->insertAction(index < items.size() ? items[index] : nullptr, action);
    m_appInsertIndex = index + 1;
    return action;
}

QAction* MenuBuilder::addItem(MenuID id, MenuCommand command) {
    return addItem(id, MenuActionTarget::makeAction(std::move(command), nullptr));
}

QAction* MenuBuilder::addItem(QMenu* submenu, MenuCommand command) {
    QAction* action = MenuActionTarget::makeAction(std::move(command), submenu);
    submenu->addAction(action);
    return action;
}

QMenu* MenuBuilder::addSubmenu(MenuID id, const QString& title) {
    auto* submenu = new QMenu(title, menu(id));
    MenuActionTarget::watch(submenu);
    addItem(id, submenu->menuAction());
    return submenu;
}

QMenu* MenuBuilder::addSubmenu(QMenu* parent, const QString& title) {
    auto* submenu = new QMenu(title, parent);
    MenuActionTarget::watch(submenu);
    parent->addMenu(submenu);
    return submenu;
}

void MenuBuilder::addSeparator(MenuID id) {
    QMenu* target = menu(id);
    if (id != MenuID::app) {
        addSeparator(target);
        return;
    }
    const QList<QAction*> items = target->actions();
    const int index = std::clamp(m_appInsertIndex, 0, static_cast<int>(items.size()));
    if (index > 0 && items[index - 1]->isSeparator())
        return;
    auto* separator = new QAction(target);
    separator->setSeparator(true);
    target->insertAction(index < items.size() ? items[index] : nullptr, separator);
    m_appInsertIndex = index + 1;
}

void MenuBuilder::addSeparator(QMenu* menu) {
    const QList<QAction*> items = menu->actions();
    if (items.isEmpty() || items.constLast()->isSeparator())
        return;
    menu->addSeparator();
}

void MenuBuilder::complete() {
    for (auto& [id, topMenu] : m_menus) {
        tidySeparators(topMenu);
        if (topMenu->actions().isEmpty())
            m_mainMenu->removeAction(m_topItems.at(id));
    }
}

} // namespace vendrix::app
