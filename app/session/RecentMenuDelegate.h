#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

#include <QMenu>

namespace vendrix::app {

class RecentFiles;

/// Keeps the recent-files submenu in step with the stored list: each time the menu is about
/// to show it is rebuilt with one item per entry (the file name as title, the full path as
/// tooltip), a separator, and "Listeyi Temizle". Choosing an entry hands its path to `open`.
class RecentMenuDelegate final : public QObject {
    Q_OBJECT

public:
    /// `recentFiles` must outlive the delegate; the delegate is a child of `menu`.
    RecentMenuDelegate(QMenu* menu, RecentFiles& recentFiles,
                       std::function<void(const QString& path)> open);

    /// Rebuilds the menu from the stored list.
    void rebuild();
    QMenu* menu() const { return m_menu; }

    /// The title shown for `path`: its last component ("/" for the root).
    static QString titleFor(const QString& path);

private:
    QPointer<QMenu> m_menu;
    RecentFiles& m_recentFiles;
    std::function<void(const QString& path)> m_open;
};

} // namespace vendrix::app
