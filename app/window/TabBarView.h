#pragma once

#include "app/window/TabBarLayout.h"

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

class QMenu;
class QScrollArea;

namespace vendrix::app {

/// The row(s) of tabs above the text: one tab per document, drawn from a small model, and
/// every user gesture reported through a signal (the window does the work and refreshes).
///
/// The bar lives in a QScrollArea (see makeScrollArea): it takes the viewport's width as the
/// available width, grows to its rows, and asks for a visible height of at most eight rows
/// through onHeightChange.
class TabBarView final : public QWidget {
    Q_OBJECT

public:
    /// One tab.
    struct Item {
        QString title;
        bool isDirty = false;
        /// The file's path as shown in the tab's tooltip; empty for untitled documents.
        QString toolTip;
        /// The file's path; empty when the document has no file.
        QString filePath;
        friend bool operator==(const Item&, const Item&) = default;
    };

    /// Who takes files dropped on the bar.
    class DropTarget {
    public:
        virtual ~DropTarget() = default;
        /// Returns whether the drop was accepted.
        virtual bool onDropFiles(const QStringList& paths) = 0;
    };

    static constexpr int minTabWidth = TabBarLayout::minTabWidth;
    static constexpr int maxTabWidth = TabBarLayout::maxTabWidth;
    static constexpr int plusWidth = TabBarLayout::plusWidth;
    static constexpr int rowHeight = TabBarLayout::rowHeight;

    explicit TabBarView(QWidget* parent = nullptr);
    ~TabBarView() override;

    /// A frameless scroll area holding `bar` (owned by it), vertical scroll bar as needed,
    /// no horizontal bar (single-line tabs scroll with the wheel and follow the selection).
    static QScrollArea* makeScrollArea(TabBarView* bar, QWidget* parent = nullptr);

    /// Replaces the tabs, selects `selectedIndex`, re-lays out and scrolls the selected tab
    /// into view.
    void setItems(std::vector<Item> items, int selectedIndex);
    const std::vector<Item>& items() const { return m_items; }
    int selectedIndex() const { return m_selectedIndex; }
    bool multiline() const { return m_multiline; }
    void setMultiline(bool multiline);
    int rowCount() const { return m_layout.rowCount; }
    int desiredHeight() const { return m_layout.desiredHeight; }
    const std::vector<QRect>& tabFrames() const { return m_layout.tabFrames; }
    QRect plusFrame() const { return m_layout.plusFrame; }
    const TabBarLayout& layoutResult() const { return m_layout; }
    int hoverIndex() const { return m_hoverIndex; }
    bool hoverClose() const { return m_hoverClose; }
    /// The width tabs are laid out in: the scroll area's viewport, else the bar itself.
    int availableWidth() const;
    /// Re-lays out the tabs (items, width or font changed).
    void relayout();
    /// The context menu of tab `index`: "Kapat", "Diğerlerini Kapat", "Dosya Yöneticisinde
    /// Göster", "Yolu Kopyala". Null for an index with no tab.
    std::unique_ptr<QMenu> makeContextMenu(int index);

    /// Files dropped on the bar go to `target` (none: drops are refused); it must outlive the
    /// bar or be unset first.
    void setDropTarget(DropTarget* target) { m_dropTarget = target; }

signals:
    /// A click on tab `index` (not its close box).
    void onSelect(int index);
    /// The close box, a middle click or "Kapat" on tab `index`.
    void onClose(int index);
    /// A tab dragged from `from` to `to`.
    void onMove(int from, int to);
    /// The plus button, or a double click on the empty part of the bar.
    void onNew();
    /// "Diğerlerini Kapat" on tab `index`.
    void onCloseOthers(int index);
    /// The height the bar needs (at most eight rows) changed.
    void onHeightChange(int height);
    /// setItems() replaced the tabs (for assistive technology).
    void itemsChanged();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QScrollArea* scrollArea() const;
    void attachToScrollArea();
    void pressAt(QPoint point);
    /// Moves the dragged tab to where `point` (bar coordinates) lands.
    void dragTo(QPoint point);
    /// While the pointer is held outside the visible tabs, scrolls one step towards it.
    void autoscrollStep();
    void updateHover(QPoint point);
    void scrollToVisible(const QRect& rect);
    void paintTab(QPainter& painter, int index) const;

    std::vector<Item> m_items;
    int m_selectedIndex = -1;
    bool m_multiline = true;
    TabBarLayout m_layout;
    QPointer<QWidget> m_watchedViewport;

    int m_hoverIndex = -1;
    bool m_hoverClose = false;
    int m_dragIndex = -1;
    QPoint m_dragStart;
    bool m_didDrag = false;
    bool m_tracking = false;
    /// The tab whose close box the left button went down on (closed on release inside it).
    int m_closePressIndex = -1;
    /// The pointer during a drag, in global coordinates (the bar moves under it when it
    /// scrolls).
    QPoint m_dragGlobal;
    QTimer m_autoscrollTimer;
    DropTarget* m_dropTarget = nullptr;
};

} // namespace vendrix::app
