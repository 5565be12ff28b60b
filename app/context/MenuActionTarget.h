#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QMenu;

namespace vendrix::app {

/// What a closure-backed menu item needs: its title, what it does, its shortcuts (the menu
/// shows the first; the others answer too), and optional enabled and checked tests.
struct MenuCommand {
    QString title;
    std::function<void()> action;
    QList<QKeySequence> shortcuts = {};
    /// Absent: always enabled.
    std::function<bool()> isEnabled = {};
    /// Present: the item is checkable and its check mark follows this test.
    std::function<bool()> isChecked = {};
};

/// The target behind a closure-backed QAction (a child of that action).
///
/// Qt blocks the shortcut of a disabled action, so the enabled test cannot simply be mirrored
/// into QAction::isEnabled. Instead:
///  - while a watched menu is about to show, each of its actions is validated: the check mark
///    is set from `isChecked` and the enabled state from `isEnabled` (what the user sees);
///  - when the menu hides, the actions are enabled again so that their shortcuts keep working;
///  - every trigger (menu click or shortcut) re-checks `isEnabled` and runs `action` only when
///    it holds, then re-syncs the check mark (Qt toggles a checkable action by itself).
class MenuActionTarget final : public QObject {
    Q_OBJECT

public:
    /// Creates an action for `command`, owned by `parent`, with its target attached.
    static QAction* makeAction(MenuCommand command, QObject* parent = nullptr);
    /// The target of `action`, or null for a standard action.
    static MenuActionTarget* of(const QAction* action);
    /// Validates the targets of `menu`'s actions each time it is about to show, and re-arms
    /// them (enabled again) when it hides. Safe to call more than once for one menu.
    static void watch(QMenu* menu);

    /// Sets `action`'s check mark and enabled state from the tests.
    void validate(QAction* action) const;
    /// Runs `action` if `isEnabled` holds now; returns whether it ran.
    bool runAction();
    /// `isEnabled()`, true when there is no test.
    bool enabledNow() const { return !m_command.isEnabled || m_command.isEnabled(); }

private:
    MenuActionTarget(QAction* owner, MenuCommand command);

    /// What the item does and its tests (the title and shortcuts went to the action).
    MenuCommand m_command;
};

} // namespace vendrix::app
