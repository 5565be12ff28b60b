// Mouse and wheel handling of the editor text view.
#include "app/view/EditorTextView.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextViewSupport.h"
#include "core/editing/TextNavigation.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vendrix::app {

// MARK: Mouse

void EditorTextView::startPress(QMouseEvent* event, int clickCount) {
    bool upstream = false;
    std::int64_t offset = offsetAtContentPoint(viewportToContent(event->position()), &upstream);
    TextNavigation nav = navigation();
    commitPreedit();
    m_document->breakTypingRun();
    m_granularity = clickCount >= 3   ? Granularity::line
                    : clickCount == 2 ? Granularity::word
                                      : Granularity::character;
    if ((event->modifiers() & Qt::ShiftModifier) && clickCount == 1) {
        m_pressRange = {m_anchor, 0};
        m_selecting = true;
        m_granularity = Granularity::character;
        moveCaret(offset, true, false, upstream);
        return;
    }
    if (upstream && m_granularity != Granularity::character) {
        // Words and lines are picked from the row's last character.
        offset = nav.previousCharacter(offset);
        upstream = false;
    }
    switch (m_granularity) {
    case Granularity::character:
        m_pressRange = {offset, 0};
        break;
    case Granularity::word:
        m_pressRange = nav.wordRange(offset);
        break;
    case Granularity::line:
        m_pressRange = nav.lineRangeWithBreak(offset);
        break;
    }
    m_selecting = true;
    m_anchor = m_pressRange.location;
    moveCaret(m_pressRange.end(), true, false, upstream);
}

void EditorTextView::mousePressEvent(QMouseEvent* event) {
    if (!m_document)
        return;
    if (event->button() == Qt::MiddleButton) {
        m_middlePressed = true;
        m_middleDragged = false;
        m_middlePressPoint = event->position();
    }
    if (askHandlers([event](TextInputHandler& handler) { return handler.mousePress(*event); }))
        return;
    if (event->button() == Qt::MiddleButton)
        return; // a click or a drag: decided on release
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    // Count clicks ourselves so that a third click selects the line.
    const bool quick = m_lastClickTime.isValid() &&
                       m_lastClickTime.elapsed() < QApplication::doubleClickInterval() &&
                       (event->position() - m_lastClickPoint).manhattanLength() <
                           QApplication::startDragDistance() * 2;
    m_clickCount = quick ? (m_clickCount % 3) + 1 : 1;
    m_lastClickTime.start();
    m_lastClickPoint = event->position();
    if (m_clickCount == 1 && !(event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier)) &&
        isInsideSelection(event->position())) {
        // Perhaps the start of a drag of the selection: decided when the mouse moves.
        m_dragPending = true;
        m_dragPressPoint = event->position();
        return;
    }
    startPress(event, m_clickCount);
}

void EditorTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt sends the second press of a double click here; treat it as a press.
    mousePressEvent(event);
}

void EditorTextView::extendMouseSelection(QPointF point) {
    if (!m_document || !m_selecting)
        return;
    // Scroll towards the mouse when it is outside the text.
    QRect area = viewport()->rect();
    int dy = 0;
    int dx = 0;
    if (point.y() < area.top())
        dy = static_cast<int>(point.y() - area.top());
    else if (point.y() > area.bottom())
        dy = static_cast<int>(point.y() - area.bottom());
    if (!m_layout.wraps()) {
        if (point.x() < area.left())
            dx = static_cast<int>(point.x() - area.left());
        else if (point.x() > area.right())
            dx = static_cast<int>(point.x() - area.right());
    }
    if (dx != 0 || dy != 0) {
        setScrollY(m_scrollY + dy);
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
        if (!m_autoScrollTimer.isActive())
            m_autoScrollTimer.start(40, this);
    } else {
        m_autoScrollTimer.stop();
    }
    QPointF clamped(std::clamp<qreal>(point.x(), area.left(), area.right()),
                    std::clamp<qreal>(point.y(), area.top(), area.bottom()));
    bool upstream = false;
    std::int64_t offset = offsetAtContentPoint(viewportToContent(clamped), &upstream);
    TextNavigation nav = navigation();
    if (upstream && m_granularity != Granularity::character) {
        offset = nav.previousCharacter(offset);
        upstream = false;
    }
    TextRange extent{offset, 0};
    if (m_granularity == Granularity::word)
        extent = nav.wordRange(offset);
    else if (m_granularity == Granularity::line)
        extent = nav.lineRangeWithBreak(offset);
    std::int64_t anchor;
    std::int64_t caret;
    if (extent.location < m_pressRange.location) {
        anchor = m_pressRange.end();
        caret = extent.location;
    } else {
        anchor = m_pressRange.location;
        caret = std::max(extent.end(), m_pressRange.end());
    }
    upstream = upstream && caret == offset;
    if (anchor != m_anchor || caret != m_caret || upstream != m_caretUpstream) {
        m_anchor = anchor;
        m_caret = caret;
        m_preferredX = -1;
        m_caretUpstream = upstream;
        selectionDidChange();
    }
}

void EditorTextView::mouseMoveEvent(QMouseEvent* event) {
    if (m_middlePressed && (event->position() - m_middlePressPoint).manhattanLength() >=
                               QApplication::startDragDistance())
        m_middleDragged = true;
    if (askHandlers([event](TextInputHandler& handler) { return handler.mouseMove(*event); }))
        return;
    if (m_dragPending) {
        if (!(event->buttons() & Qt::LeftButton)) {
            m_dragPending = false;
        } else if ((event->position() - m_dragPressPoint).manhattanLength() >=
                   QApplication::startDragDistance()) {
            m_dragPending = false;
            dragSelection();
        }
        return;
    }
    if (!(event->buttons() & Qt::LeftButton) || !m_selecting)
        return;
    m_lastMousePoint = event->position();
    extendMouseSelection(m_lastMousePoint);
}

void EditorTextView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_selecting = false;
        m_autoScrollTimer.stop();
        if (std::exchange(m_dragPending, false) && m_document) {
            // A click inside the selection, not a drag: the caret goes there.
            bool upstream = false;
            const std::int64_t offset =
                offsetAtContentPoint(viewportToContent(m_dragPressPoint), &upstream);
            commitPreedit();
            moveCaret(offset, false, false, upstream);
            return;
        }
    }
    const bool middleClick =
        event->button() == Qt::MiddleButton && m_middlePressed && !m_middleDragged &&
        (event->position() - m_middlePressPoint).manhattanLength() <
            QApplication::startDragDistance();
    if (event->button() == Qt::MiddleButton)
        m_middlePressed = false;
    if (askHandlers([event](TextInputHandler& handler) { return handler.mouseRelease(*event); }))
        return;
    if (middleClick && m_document)
        pastePrimary(offsetAt(m_middlePressPoint));
}

// MARK: Context menu

QMenu* EditorTextView::contextMenu() const {
    return m_contextMenu;
}

void EditorTextView::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_document) {
        event->ignore();
        return;
    }
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // The Menu key as the platform reports it, or an assistive tool.
        openKeyboardContextMenu();
        return;
    }
    // A click arrives from the viewport, in its coordinates.
    showContextMenu(offsetAt(event->pos()), event->pos());
}

void EditorTextView::openKeyboardContextMenu() {
    // At the caret, kept inside the text area when the caret is scrolled away.
    const QRectF caret = caretRect();
    const QRect area = viewport()->rect();
    const QPoint at(std::clamp(static_cast<int>(caret.left()), area.left(), area.right()),
                    std::clamp(static_cast<int>(caret.bottom()), area.top(), area.bottom()));
    showContextMenu(m_caret, at);
}

void EditorTextView::showContextMenu(std::int64_t offset, QPoint viewportPoint) {
    if (!m_document || !m_contextMenuFiller || (m_contextMenu && m_contextMenu->isVisible()))
        return;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setAccessibleName(QStringLiteral("Metin Menüsü"));
    m_contextMenuFiller(*menu, std::clamp<std::int64_t>(offset, 0, m_document->length()));
    if (menu->actions().isEmpty()) {
        delete menu;
        return;
    }
    m_contextMenu = menu;
    menu->popup(viewport()->mapToGlobal(viewportPoint));
}

void EditorTextView::wheelEvent(QWheelEvent* event) {
    stopFollowing();
    if (event->modifiers() & Qt::ControlModifier) {
        int steps = event->angleDelta().y() / 120;
        if (steps != 0)
            setZoomDelta(m_zoomDelta + steps);
        event->accept();
        return;
    }
    QPoint pixels = event->pixelDelta();
    QPointF delta;
    if (!pixels.isNull()) {
        delta = pixels;
    } else {
        int lines = QApplication::wheelScrollLines();
        delta = QPointF(event->angleDelta()) / 120.0 * lines * m_layout.lineHeight();
    }
    if (event->modifiers() & Qt::ShiftModifier)
        delta = QPointF(delta.y(), delta.x());
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() -
                                    static_cast<int>(std::round(delta.x())));
    setScrollY(m_scrollY - static_cast<std::int64_t>(std::round(delta.y())));
    event->accept();
}

} // namespace vendrix::app
