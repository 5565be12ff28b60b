// The tab bar's context menu and file drops.
#include "app/window/TabBarView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace vendrix::app {
namespace {

/// Local files among dropped URLs, in order.
QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

std::unique_ptr<QMenu> TabBarView::makeContextMenu(int index) {
    const int count = static_cast<int>(m_items.size());
    if (index < 0 || index >= count)
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    const QString path = m_items[static_cast<size_t>(index)].filePath;
    // The handlers run after the menu closes; the window may rebuild the tabs meanwhile, so
    // they take the index captured here and re-check it against the current count.
    auto valid = [this, index] { return index < static_cast<int>(m_items.size()); };
    menu->addAction(QStringLiteral("Kapat"), this, [this, index, valid] {
        if (valid())
            emit onClose(index);
    });
    QAction* others =
        menu->addAction(QStringLiteral("Diğerlerini Kapat"), this, [this, index, valid] {
            if (valid())
                emit onCloseOthers(index);
        });
    others->setEnabled(count > 1);
    menu->addSeparator();
    QAction* reveal =
        menu->addAction(QStringLiteral("Dosya Yöneticisinde Göster"), this, [path] {
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
        });
    QAction* copy = menu->addAction(QStringLiteral("Yolu Kopyala"), this, [path] {
        QApplication::clipboard()->setText(path);
    });
    reveal->setEnabled(!path.isEmpty());
    copy->setEnabled(!path.isEmpty());
    return menu;
}

void TabBarView::contextMenuEvent(QContextMenuEvent* event) {
    const int index = m_layout.tabAt(event->pos());
    if (std::unique_ptr<QMenu> menu = makeContextMenu(index))
        menu->exec(event->globalPos());
    event->accept();
}

void TabBarView::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TabBarView::dragMoveEvent(QDragMoveEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TabBarView::dropEvent(QDropEvent* event) {
    const QStringList paths = localFiles(event->mimeData());
    if (!paths.isEmpty() && m_dropTarget && m_dropTarget->onDropFiles(paths))
        event->acceptProposedAction();
    else
        event->ignore();
}

} // namespace vendrix::app
