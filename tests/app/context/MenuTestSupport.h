#pragma once

#include "app/context/MenuActionTarget.h"
#include "app/context/MenuBuilder.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace vendrix::app::test {

/// The item `title` of `menu` or of one of its submenus, or null.
inline QAction* findMenuItem(QMenu* menu, const QString& title) {
    for (QAction* action : menu->actions()) {
        if (action->text() == title)
            return action;
        if (action->menu())
            if (QAction* found = findMenuItem(action->menu(), title))
                return found;
    }
    return nullptr;
}

/// Chooses the item `title` of the menu `id` as the user does; false when it is disabled.
inline bool chooseMenuItem(const MenuBuilder& builder, MenuID id, const QString& title) {
    QAction* action = findMenuItem(builder.menu(id), title);
    EXPECT_NE(action, nullptr) << title.toStdString();
    if (!action)
        return false;
    MenuActionTarget* target = MenuActionTarget::of(action);
    if (target && !target->enabledNow())
        return false;
    action->trigger();
    return true;
}

} // namespace vendrix::app::test
