#include "app/context/MenuActionTarget.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace vendrix::app {
namespace {

constexpr const char* kWatchedProperty = "vendrixMenuWatched";

} // namespace

MenuActionTarget::MenuActionTarget(QAction* owner, MenuCommand command)
    : QObject(owner), m_command(std::move(command)) {}

QAction* MenuActionTarget::makeAction(MenuCommand command, QObject* parent) {
    auto* qaction = new QAction(command.title, parent);
    if (!command.shortcuts.isEmpty())
        qaction->setShortcuts(command.shortcuts);
    auto* target = new MenuActionTarget(qaction, std::move(command));
    if (target->m_command.isChecked) {
        qaction->setCheckable(true);
        qaction->setChecked(target->m_command.isChecked());
    }
    QObject::connect(qaction, &QAction::triggered, target, [target] { target->runAction(); });
    return qaction;
}

MenuActionTarget* MenuActionTarget::of(const QAction* action) {
    if (action == nullptr)
        return nullptr;
    return action->findChild<MenuActionTarget*>(QString(), Qt::FindDirectChildrenOnly);
}

void MenuActionTarget::watch(QMenu* menu) {
    if (menu == nullptr || menu->property(kWatchedProperty).toBool())
        return;
    menu->setProperty(kWatchedProperty, true);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
        for (QAction* item : menu->actions()) {
            if (const MenuActionTarget* target = of(item))
                target->validate(item);
        }
    });
    // A disabled action would also swallow its shortcut; the trigger re-checks instead.
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        for (QAction* item : menu->actions()) {
            if (of(item) != nullptr)
                item->setEnabled(true);
        }
    });
}

void MenuActionTarget::validate(QAction* qaction) const {
    if (m_command.isChecked)
        qaction->setChecked(m_command.isChecked());
    qaction->setEnabled(enabledNow());
}

bool MenuActionTarget::runAction() {
    bool ran = false;
    if (enabledNow() && m_command.action) {
        // Copied and guarded: the action may rebuild the menu and delete this target.
        QPointer<MenuActionTarget> self(this);
        auto run = m_command.action;
        run();
        ran = true;
        if (!self)
            return ran;
    }
    auto* qaction = qobject_cast<QAction*>(parent());
    if (qaction != nullptr && m_command.isChecked)
        qaction->setChecked(m_command.isChecked());
    return ran;
}

} // namespace vendrix::app
