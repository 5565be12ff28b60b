#pragma once

#include "app/context/StatusBarField.h"
#include "app/window/TabBarView.h"

#include <QObject>
#include <QString>

#include <memory>

class QScrollArea;
class QWidget;

namespace vendrix::app {

class EditorWindowController;
class StatusBarView;

/// The window's tab bar and status bar, kept in step with the controller's documents.
class WindowBars final : public TabBarView::DropTarget {
public:
    WindowBars(EditorWindowController& controller, QWidget* parent);
    ~WindowBars() override;

    TabBarView* tabBar() const { return m_tabBar; }
    StatusBarView* statusBar() const { return m_statusBar; }
    /// The tab bar's scroll area, the widget that goes into the window's stack.
    QWidget* tabBarWidget() const;
    QWidget* statusBarWidget() const;

    /// Rebuilds the tabs from the documents and selects the active one.
    void refreshTabs();
    /// The built-in fields for the active document.
    void refreshStatus();
    void showMessage(const QString& message, double seconds);
    std::shared_ptr<StatusBarField> addField(const QString& id, int minWidth);

    bool onDropFiles(const QStringList& paths) override;

private:
    void popUpMenu(const QString& fieldID, bool encoding);

    /// The context of the bars' connections: the bars outlive this object inside the window,
    /// and nothing may call back into it once it is gone.
    QObject m_connections;
    EditorWindowController& m_controller;
    TabBarView* m_tabBar = nullptr;
    QScrollArea* m_tabScroll = nullptr;
    StatusBarView* m_statusBar = nullptr;
};

} // namespace vendrix::app
