// Geometry of the editor text view: rows, offsets and points, scrolling.
#include "app/view/EditorTextView.h"

#include "app/document/EditorDocument.h"
#include "core/editing/TextNavigation.h"
#include "core/text/LineIndex.h"

#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cmath>

namespace vendrix::app {

namespace {

/// Columns by which the horizontal scroll range grows at a time.
constexpr int kWidthStepColumns = 32;

} // namespace

// MARK: Geometry

QPointF EditorTextView::contentToViewport(QPointF point) const {
    return {point.x() + kInset - horizontalScrollBar()->value(),
            point.y() + kInset - static_cast<qreal>(m_scrollY)};
}

QPointF EditorTextView::viewportToContent(QPointF point) const {
    return {point.x() - kInset + horizontalScrollBar()->value(),
            point.y() - kInset + static_cast<qreal>(m_scrollY)};
}

EditorTextView::RowAt EditorTextView::rowAt(std::int64_t offset, bool upstream) {
    RowAt at;
    at.line = m_layout.lineOf(offset);
    at.segment = m_layout.segmentAt(at.line, offset);
    at.laidOut = &m_layout.layout(at.line, at.segment);
    const QTextLayout& layout = at.laidOut->layout;
    int position = at.laidOut->toLayout(offset);
    QTextLine row = layout.lineForTextPosition(position);
    at.row = row.isValid() ? row.lineNumber() : std::max(0, layout.lineCount() - 1);
    if (!upstream || !m_layout.wraps() || position != (row.isValid() ? row.textStart() : -1))
        return at;
    if (at.row > 0) {
        --at.row;
    } else if (at.segment > 0 && offset == at.laidOut->range.location) {
        // A long line's segments are laid out apart: the row before is the previous
        // segment's last.
        --at.segment;
        at.laidOut = &m_layout.layout(at.line, at.segment);
        at.row = std::max(0, at.laidOut->layout.lineCount() - 1);
    }
    return at;
}

TextRange EditorTextView::visualRowRange(std::int64_t offset, bool upstream, bool* endsSoftly) {
    RowAt at = rowAt(offset, upstream);
    QTextLine row = at.laidOut->layout.lineAt(at.row);
    std::int64_t start = at.laidOut->range.location;
    std::int64_t end = at.laidOut->range.end();
    if (row.isValid()) {
        start = at.laidOut->fromLayout(row.textStart());
        end = at.laidOut->fromLayout(row.textStart() + row.textLength());
    }
    if (endsSoftly)
        *endsSoftly = m_layout.wraps() && end < m_layout.lineRange(at.line).end();
    return {start, end - start};
}

QRectF EditorTextView::contentRectForOffset(std::int64_t offset, bool atPreeditCaret,
                                            bool upstream) {
    if (!m_document)
        return {0, 0, 0, m_layout.lineHeight()};
    offset = std::clamp<std::int64_t>(offset, 0, m_document->length());
    RowAt at = rowAt(offset, upstream);
    TextLayoutModel::Segment& laidOut = *at.laidOut;
    int position = laidOut.toLayout(offset);
    if (atPreeditCaret && laidOut.preeditPosition >= 0 && offset == m_layout.preeditOffset())
        position = laidOut.preeditPosition + m_layout.preeditCursor();
    QTextLine row = laidOut.layout.lineAt(at.row);
    qreal x =
        m_layout.segmentX(at.line, at.segment) + (row.isValid() ? row.cursorToX(position) : 0);
    qreal y = m_layout.lineTop(at.line) +
              m_layout.rowsBeforeSegment(at.line, at.segment) * m_layout.lineHeight() +
              at.row * m_layout.lineHeight();
    return {x, y, 0, m_layout.lineHeight()};
}

QRectF EditorTextView::rectForOffset(std::int64_t offset) {
    QRectF rect = contentRectForOffset(offset);
    rect.moveTopLeft(contentToViewport(rect.topLeft()));
    return rect;
}

QRectF EditorTextView::caretRect() {
    QRectF rect = contentRectForOffset(m_caret, true, m_caretUpstream);
    rect.moveTopLeft(contentToViewport(rect.topLeft()));
    rect.setWidth(1);
    return rect;
}

std::int64_t EditorTextView::offsetAtContentPoint(QPointF point, bool* upstream) {
    if (upstream)
        *upstream = false;
    if (!m_document)
        return 0;
    if (point.y() < 0)
        return 0;
    if (point.y() >= m_layout.contentHeight())
        return m_document->length();
    std::int64_t line = m_layout.lineAtY(point.y());
    int segment = 0;
    int rowInSegment = 0;
    if (m_layout.wraps()) {
        int rowInLine =
            static_cast<int>((point.y() - m_layout.lineTop(line)) / m_layout.lineHeight());
        segment = m_layout.segmentAtRow(line, rowInLine);
        rowInSegment = rowInLine - m_layout.rowsBeforeSegment(line, segment);
    } else {
        segment = m_layout.segmentAtX(line, point.x());
    }
    TextLayoutModel::Segment& laidOut = m_layout.layout(line, segment);
    rowInSegment = std::clamp(rowInSegment, 0, laidOut.layout.lineCount() - 1);
    QTextLine row = laidOut.layout.lineAt(rowInSegment);
    if (!row.isValid())
        return laidOut.range.location;
    int position = row.xToCursor(point.x() - m_layout.segmentX(line, segment),
                                 QTextLine::CursorBetweenCharacters);
    std::int64_t offset = laidOut.fromLayout(position);
    // A soft-wrapped row ends where the next row begins: past the middle of its last
    // character, the caret stays on this row, at its end when the caller keeps the row.
    const int rowEnd = row.textStart() + row.textLength();
    const bool lastRowOfSegment = rowInSegment + 1 >= laidOut.layout.lineCount();
    const bool wrapsOn =
        m_layout.wraps() && (!lastRowOfSegment || segment + 1 < m_layout.segmentCount(line));
    if (wrapsOn && rowEnd > row.textStart()) {
        const std::int64_t rowStart = laidOut.fromLayout(row.textStart());
        const std::int64_t end = laidOut.fromLayout(rowEnd);
        const std::int64_t last = std::max(rowStart, navigation().previousCharacter(end));
        const qreal middle = (row.cursorToX(laidOut.toLayout(last)) + row.cursorToX(rowEnd)) / 2;
        if (point.x() - m_layout.segmentX(line, segment) >= middle) {
            offset = upstream && end > rowStart ? end : last;
            if (upstream)
                *upstream = end > rowStart;
        }
    }
    return offset;
}

std::int64_t EditorTextView::offsetAt(QPointF viewportPoint) {
    return offsetAtContentPoint(viewportToContent(viewportPoint));
}

QPointF EditorTextView::scrollOrigin() const {
    return {static_cast<qreal>(horizontalScrollBar()->value()), static_cast<qreal>(m_scrollY)};
}

void EditorTextView::setScrollOrigin(QPointF origin) {
    stopFollowing();
    updateScrollBars();
    horizontalScrollBar()->setValue(static_cast<int>(origin.x()));
    setScrollY(static_cast<std::int64_t>(std::max<qreal>(0, origin.y())));
    keepAnchor();
}

void EditorTextView::setScrollY(std::int64_t y) {
    y = std::clamp<std::int64_t>(y, 0, m_verticalMapping.maximum());
    QScrollBar* vertical = verticalScrollBar();
    const int barValue = m_verticalMapping.toBar(y);
    if (y == m_scrollY && barValue == vertical->value())
        return;
    const bool moved = y != m_scrollY;
    m_scrollY = y;
    m_settingBar = true;
    vertical->setValue(barValue);
    m_settingBar = false;
    if (moved)
        scrollContentsBy(0, 0);
}

void EditorTextView::ensureOffsetVisible(std::int64_t offset, bool upstream) {
    m_followOffset = offset;
    m_followUpstream = upstream;
    m_followPasses = 0;
    scrollOffsetIntoView(offset, upstream);
}

void EditorTextView::scrollOffsetIntoView(std::int64_t offset, bool upstream) {
    if (!m_document)
        return;
    QRectF rect = contentRectForOffset(offset, false, upstream);
    updateScrollBars();
    const qreal height = viewport()->height() - 2 * kInset;
    const auto top = static_cast<qreal>(m_scrollY);
    if (rect.top() < top)
        setScrollY(static_cast<std::int64_t>(std::floor(rect.top())));
    else if (rect.bottom() > top + height)
        setScrollY(static_cast<std::int64_t>(std::ceil(rect.bottom() - height)));
    if (!m_layout.wraps()) {
        const qreal width = viewport()->width() - 2 * kInset;
        QScrollBar* horizontal = horizontalScrollBar();
        if (rect.left() > horizontal->maximum() + width - m_layout.advance())
            horizontal->setMaximum(static_cast<int>(std::ceil(rect.left() - width / 2)));
        if (rect.left() < horizontal->value())
            horizontal->setValue(static_cast<int>(std::max<qreal>(0, rect.left() - width / 4)));
        else if (rect.left() > horizontal->value() + width - m_layout.advance())
            horizontal->setValue(static_cast<int>(rect.left() - width * 3 / 4));
    }
    keepAnchor();
}

void EditorTextView::followAfterLayout() {
    // Each pass lays out the rows it scrolls to, so the estimates between the rows shown and
    // the offset are gone after a pass or two; the bound only guards against a text whose
    // rows keep changing under it.
    constexpr int kMaxPasses = 8;
    if (!m_document || !m_layout.wraps() || m_followOffset < 0 || m_followPasses >= kMaxPasses)
        return;
    const std::int64_t offset = std::min(m_followOffset, m_document->length());
    const QRectF rect = contentRectForOffset(offset, false, m_followUpstream);
    const auto top = static_cast<qreal>(m_scrollY);
    const qreal height = viewport()->height() - 2 * kInset;
    if (rect.top() >= top && rect.bottom() <= top + height)
        return;
    ++m_followPasses;
    scrollOffsetIntoView(offset, m_followUpstream);
    viewport()->update();
}

void EditorTextView::ensureCaretVisible() {
    ensureOffsetVisible(m_caret, m_caretUpstream);
}

void EditorTextView::scrollRangeToVisible(TextRange range) {
    ensureOffsetVisible(range.end());
    ensureOffsetVisible(range.location);
}

void EditorTextView::updateScrollBars() {
    const qreal viewHeight = viewport()->height();
    const qreal viewWidth = viewport()->width();
    QScrollBar* vertical = verticalScrollBar();
    // The content may be taller than an int: the bar shows the offset through the mapping.
    m_verticalMapping.setMaximum(static_cast<std::int64_t>(
        std::ceil(std::max<qreal>(0, m_layout.contentHeight() + 2 * kInset - viewHeight))));
    m_settingBar = true;
    vertical->setRange(0, m_verticalMapping.barMaximum());
    vertical->setPageStep(m_verticalMapping.barStep(static_cast<std::int64_t>(viewHeight)));
    vertical->setSingleStep(
        m_verticalMapping.barStep(static_cast<std::int64_t>(m_layout.lineHeight())));
    m_settingBar = false;
    // A shorter text may have cut the offset back; the bar's value follows the new scale.
    setScrollY(m_scrollY);
    QScrollBar* horizontal = horizontalScrollBar();
    if (m_layout.wraps()) {
        horizontal->setRange(0, 0);
    } else {
        // Typing at the end of the longest line widens the text by a column a keystroke; the
        // range grows in steps of kWidthStepColumns so that the bar is not repainted (a
        // full-height repaint) on every keystroke.
        qreal overflow = m_layout.contentWidth() + 2 * kInset + m_layout.advance() - viewWidth;
        if (overflow > 0) {
            const qreal step = kWidthStepColumns * m_layout.advance();
            overflow = std::ceil(overflow / step) * step;
        }
        int maxX = static_cast<int>(std::min<qreal>(INT_MAX / 2, std::max<qreal>(0, overflow)));
        horizontal->setRange(0, std::max(maxX, horizontal->value()));
        horizontal->setPageStep(static_cast<int>(viewWidth));
        horizontal->setSingleStep(static_cast<int>(m_layout.advance() * 4));
    }
}

void EditorTextView::keepAnchor() {
    if (m_restoringAnchor)
        return;
    const auto y = static_cast<qreal>(m_scrollY);
    m_anchorLine = m_layout.lineAtY(y);
    m_anchorOffset = y - m_layout.lineTop(m_anchorLine);
}

void EditorTextView::restoreAnchor() {
    if (!m_document)
        return;
    m_anchorLine = std::min(m_anchorLine, m_layout.lineCount() - 1);
    const auto wanted =
        static_cast<std::int64_t>(m_layout.lineTop(m_anchorLine) + m_anchorOffset);
    if (wanted == m_scrollY)
        return;
    m_restoringAnchor = true;
    updateScrollBars();
    setScrollY(wanted);
    m_restoringAnchor = false;
}

void EditorTextView::scrollContentsBy(int, int dy) {
    if (m_settingBar)
        return; // setScrollY() or updateScrollBars() moves the bar and follows up itself
    if (dy != 0) { // the bar moved by the user (drag, click in the groove, its arrows)
        m_scrollY = m_verticalMapping.fromBar(verticalScrollBar()->value());
        stopFollowing();
    }
    keepAnchor();
    viewport()->update();
    emit viewChanged();
}

void EditorTextView::resizeEvent(QResizeEvent* event) {
    m_prefetchedTop = -1;
    QAbstractScrollArea::resizeEvent(event);
    keepAnchor();
    applyWrapWidth();
    updateScrollBars();
    restoreAnchor();
    if (m_leftMargin) {
        QRect area = contentsRect();
        m_leftMargin->setGeometry(area.left(), area.top(), m_leftMarginWidth, area.height());
    }
    emit viewChanged();
}

void EditorTextView::setLeftMarginWidget(QWidget* widget, int width) {
    m_leftMargin = widget;
    m_leftMarginWidth = width;
    setViewportMargins(width, 0, 0, 0);
    if (widget) {
        widget->setParent(this);
        QRect area = contentsRect();
        widget->setGeometry(area.left(), area.top(), width, area.height());
        widget->show();
    }
}

} // namespace vendrix::app
