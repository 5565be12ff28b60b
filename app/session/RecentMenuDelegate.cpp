#include "app/session/RecentMenuDelegate.h"

#include "app/session/RecentFiles.h"

#include <QAction>
#include <QMenu>
#include <QTextDocument>

namespace vendrix::app {

RecentMenuDelegate::RecentMenuDelegate(QMenu* menu, RecentFiles& recentFiles,
                                       std::function<void(const QString& path)> open)
    : QObject(menu), m_menu(menu), m_recentFiles(recentFiles), m_open(std::move(open)) {
    menu->setToolTipsVisible(true);
    connect(menu, &QMenu::aboutToShow, this, &RecentMenuDelegate::rebuild);
    rebuild();
}

QString RecentMenuDelegate::titleFor(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    if (trimmed == QStringLiteral("/"))
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

void RecentMenuDelegate::rebuild() {
    if (!m_menu)
        return;
    m_menu->clear();
    const std::vector<RecentFiles::Entry> entries = m_recentFiles.load();
    for (const RecentFiles::Entry& entry : entries) {
        // "&" in a name is a character, not a mnemonic; a tooltip that looks like markup is
        // escaped so that it shows the path as it is.
        QAction* item =
            m_menu->addAction(titleFor(entry.path).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setToolTip(Qt::mightBeRichText(entry.path)
                             ? Qt::convertFromPlainText(entry.path, Qt::WhiteSpaceNoWrap)
                             : entry.path);
        // Bookmarks are never resolved here: on this platform access is always granted.
        connect(item, &QAction::triggered, this, [this, path = entry.path] {
            if (m_open)
                m_open(path);
        });
    }
    if (!entries.empty())
        m_menu->addSeparator();
    QAction* clear = m_menu->addAction(QStringLiteral("Listeyi Temizle"));
    clear->setEnabled(!entries.empty());
    connect(clear, &QAction::triggered, this, [this] { m_recentFiles.clear(); });
}

} // namespace vendrix::app
