#include "app/window/TabBarView.h"

#include "app/window/TabBarAccessible.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>

#include <cmath>

namespace vendrix::app {
namespace {

/// Title font: the system font, 12 pixels, medium weight.
QFont tabFont(const QFont& base) {
    QFont font = base;
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    return font;
}

constexpr int kTitleInset = 12;

} // namespace

TabBarView::TabBarView(QWidget* parent) : QWidget(parent) {
    TabBarAccessible::install();
    setMouseTracking(true);
    setAcceptDrops(true);
    setFont(tabFont(font()));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_autoscrollTimer.setInterval(50);
    connect(&m_autoscrollTimer, &QTimer::timeout, this, &TabBarView::autoscrollStep);
    m_layout = TabBarLayout::compute({}, availableWidth(), m_multiline);
}

TabBarView::~TabBarView() = default;

QScrollArea* TabBarView::makeScrollArea(TabBarView* bar, QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(false);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A click on a tab, its close box or "+" leaves the keyboard focus where it was (the
    // window then gives it to the text): neither the area nor its bar takes it.
    area->setFocusPolicy(Qt::NoFocus);
    area->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    area->setWidget(bar);
    area->setFixedHeight(bar->desiredHeight());
    return area;
}

QScrollArea* TabBarView::scrollArea() const {
    QWidget* viewport = parentWidget();
    if (viewport == nullptr)
        return nullptr;
    // Checked through the viewport: during QScrollArea::setWidget the bar is reparented
    // before the area records it as its widget.
    auto* area = qobject_cast<QScrollArea*>(viewport->parentWidget());
    return area != nullptr && area->viewport() == viewport ? area : nullptr;
}

void TabBarView::attachToScrollArea() {
    QScrollArea* area = scrollArea();
    QWidget* viewport = area != nullptr ? area->viewport() : nullptr;
    if (viewport == m_watchedViewport)
        return;
    if (m_watchedViewport)
        m_watchedViewport->removeEventFilter(this);
    m_watchedViewport = viewport;
    if (viewport != nullptr)
        viewport->installEventFilter(this);
    relayout();
}

int TabBarView::availableWidth() const {
    if (QScrollArea* area = scrollArea())
        return area->viewport()->width();
    return width();
}

void TabBarView::setItems(std::vector<Item> items, int selectedIndex) {
    m_items = std::move(items);
    const int count = static_cast<int>(m_items.size());
    m_selectedIndex = count == 0 ? -1 : std::clamp(selectedIndex, 0, count - 1);
    if (m_hoverIndex >= count)
        m_hoverIndex = -1;
    relayout();
    if (m_selectedIndex >= 0)
        scrollToVisible(m_layout.tabFrames[static_cast<size_t>(m_selectedIndex)]);
    emit itemsChanged();
}

void TabBarView::setMultiline(bool multiline) {
    if (multiline == m_multiline)
        return;
    m_multiline = multiline;
    relayout();
    if (m_selectedIndex >= 0)
        scrollToVisible(m_layout.tabFrames[static_cast<size_t>(m_selectedIndex)]);
}

void TabBarView::relayout() {
    const QFontMetricsF metrics(font());
    std::vector<int> titleWidths;
    titleWidths.reserve(m_items.size());
    for (const Item& item : m_items)
        titleWidths.push_back(static_cast<int>(std::ceil(metrics.horizontalAdvance(item.title))));
    const int previousHeight = m_layout.desiredHeight;
    m_layout = TabBarLayout::compute(titleWidths, availableWidth(), m_multiline);
    // Outside a scroll area the bar's width is the available width itself; resizing it
    // there would feed back into the layout.
    if (scrollArea() != nullptr && size() != QSize(m_layout.barWidth, m_layout.barHeight))
        resize(m_layout.barWidth, m_layout.barHeight);
    update();
    if (m_layout.desiredHeight != previousHeight)
        emit onHeightChange(m_layout.desiredHeight);
}

void TabBarView::scrollToVisible(const QRect& rect) {
    if (QScrollArea* area = scrollArea())
        area->ensureVisible(rect.center().x(), rect.center().y(), rect.width() / 2 + 1,
                            rect.height() / 2);
}

bool TabBarView::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange)
        attachToScrollArea();
    if (event->type() == QEvent::FontChange)
        relayout();
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = m_layout.tabAt(help->pos());
        const QString tip = index >= 0 ? m_items[static_cast<size_t>(index)].toolTip : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this,
                               m_layout.tabFrames[static_cast<size_t>(index)]);
        return true;
    }
    return QWidget::event(event);
}

bool TabBarView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_watchedViewport && event->type() == QEvent::Resize)
        relayout();
    return QWidget::eventFilter(watched, event);
}

void TabBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().color(QPalette::Window).darker(106));
    for (int i = 0; i < static_cast<int>(m_items.size()); ++i)
        paintTab(painter, i);

    const QRect plus = m_layout.plusFrame;
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1.5));
    const QPointF centre = QRectF(plus).center();
    painter.drawLine(centre + QPointF(-5, 0), centre + QPointF(5, 0));
    painter.drawLine(centre + QPointF(0, -5), centre + QPointF(0, 5));
}

void TabBarView::paintTab(QPainter& painter, int index) const {
    const Item& item = m_items[static_cast<size_t>(index)];
    const QRect frame = m_layout.tabFrames[static_cast<size_t>(index)];
    const bool selected = index == m_selectedIndex;
    const QPalette& colours = palette();
    QColor fill = selected ? colours.color(QPalette::Base) : colours.color(QPalette::Window);
    if (!selected && index == m_hoverIndex)
        fill = fill.darker(103);
    painter.fillRect(frame, fill);
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(frame.topRight(), frame.bottomRight());
    if (!selected)
        painter.drawLine(frame.bottomLeft(), frame.bottomRight());

    const QRect box = TabBarLayout::closeBox(frame);
    const QRect titleArea(frame.x() + kTitleInset, frame.y(),
                          std::max(0, box.x() - frame.x() - kTitleInset - 2), frame.height());
    painter.setPen(colours.color(selected ? QPalette::Text : QPalette::WindowText));
    painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(item.title, Qt::ElideMiddle, titleArea.width()));

    if (index == m_hoverIndex) {
        if (m_hoverClose) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colours.color(QPalette::Mid));
            painter.drawRoundedRect(box, 3, 3);
        }
        painter.setPen(QPen(colours.color(QPalette::WindowText), 1.3));
        const QRectF cross = QRectF(box).adjusted(4.5, 4.5, -4.5, -4.5);
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
    } else if (item.isDirty) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colours.color(QPalette::Highlight));
        painter.drawEllipse(QRectF(box).center(), 4, 4);
    }
}

void TabBarView::updateHover(QPoint point) {
    const int index = m_layout.tabAt(point);
    const bool overClose =
        index >= 0 &&
        TabBarLayout::closeBox(m_layout.tabFrames[static_cast<size_t>(index)]).contains(point);
    if (index != m_hoverIndex || overClose != m_hoverClose) {
        m_hoverIndex = index;
        m_hoverClose = overClose;
        update();
    }
}

void TabBarView::pressAt(QPoint point) {
    if (m_layout.plusFrame.contains(point)) {
        emit onNew();
        return;
    }
    const int index = m_layout.tabAt(point);
    if (index < 0)
        return;
    if (TabBarLayout::closeBox(m_layout.tabFrames[static_cast<size_t>(index)]).contains(point)) {
        m_closePressIndex = index;
        return;
    }
    m_dragIndex = index;
    m_dragStart = point;
    m_didDrag = false;
    m_tracking = true;
    emit onSelect(index);
}

void TabBarView::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        pressAt(point);
    } else if (event->button() == Qt::MiddleButton) {
        if (const int index = m_layout.tabAt(point); index >= 0)
            emit onClose(index);
    }
    event->accept();
}

void TabBarView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_layout.tabAt(point) < 0 &&
        !m_layout.plusFrame.contains(point)) {
        emit onNew();
        event->accept();
        return;
    }
    // On a tab or the plus button the second click counts as a plain click.
    mousePressEvent(event);
}

void TabBarView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    updateHover(point);
    if (!m_tracking || m_dragIndex < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    if (!m_didDrag) {
        const QPoint moved = point - m_dragStart;
        if (std::abs(moved.x()) <= TabBarLayout::dragThreshold &&
            std::abs(moved.y()) <= TabBarLayout::dragThreshold)
            return;
        m_didDrag = true;
    }
    m_dragGlobal = event->globalPosition().toPoint();
    scrollToVisible(QRect(point - QPoint(8, 8), QSize(16, 16)));
    dragTo(point);
    QScrollArea* area = scrollArea();
    const bool outside = area != nullptr && !area->viewport()->rect().contains(
                                                area->viewport()->mapFromGlobal(m_dragGlobal));
    if (outside && !m_autoscrollTimer.isActive())
        m_autoscrollTimer.start();
    else if (!outside)
        m_autoscrollTimer.stop();
}

void TabBarView::dragTo(QPoint point) {
    const int target = m_layout.targetIndex(point);
    const int count = static_cast<int>(m_items.size());
    if (target == m_dragIndex || target < 0 || target >= count)
        return;
    const int from = m_dragIndex;
    m_dragIndex = target;
    emit onMove(from, target);
}

void TabBarView::autoscrollStep() {
    QScrollArea* area = scrollArea();
    if (area == nullptr || !m_tracking || !m_didDrag || m_dragIndex < 0) {
        m_autoscrollTimer.stop();
        return;
    }
    const QPoint inViewport = area->viewport()->mapFromGlobal(m_dragGlobal);
    const QRect visible = area->viewport()->rect();
    auto step = [](int position, int low, int high, int amount) {
        return position < low ? -amount : position > high ? amount : 0;
    };
    QScrollBar* vertical = area->verticalScrollBar();
    QScrollBar* horizontal = area->horizontalScrollBar();
    vertical->setValue(vertical->value() +
                       step(inViewport.y(), visible.top(), visible.bottom(), rowHeight / 2));
    horizontal->setValue(horizontal->value() +
                         step(inViewport.x(), visible.left(), visible.right(), minTabWidth / 3));
    dragTo(mapFromGlobal(m_dragGlobal));
}

void TabBarView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    const int closeIndex = m_closePressIndex;
    m_closePressIndex = -1;
    m_autoscrollTimer.stop();
    m_tracking = false;
    m_didDrag = false;
    m_dragIndex = -1;
    if (closeIndex >= 0 && closeIndex < static_cast<int>(m_items.size()) &&
        TabBarLayout::closeBox(m_layout.tabFrames[static_cast<size_t>(closeIndex)])
            .contains(point))
        emit onClose(closeIndex);
}

void TabBarView::leaveEvent(QEvent*) {
    if (m_hoverIndex >= 0 || m_hoverClose) {
        m_hoverIndex = -1;
        m_hoverClose = false;
        update();
    }
}

void TabBarView::wheelEvent(QWheelEvent* event) {
    QScrollArea* area = scrollArea();
    if (m_multiline || area == nullptr) {
        event->ignore();
        return;
    }
    // One line of tabs scrolls sideways with either wheel direction.
    const QPoint delta = event->angleDelta();
    const int steps = delta.x() != 0 ? delta.x() : delta.y();
    QScrollBar* bar = area->horizontalScrollBar();
    bar->setValue(bar->value() - steps / 2);
    event->accept();
}

} // namespace vendrix::app
