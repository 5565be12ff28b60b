// Drawing and the visible-geometry queries of the editor text view.
#include "app/view/EditorTextView.h"

#include "core/text/LineIndex.h"
#include "core/text/TextStorage.h"

#include <QPaintEvent>
#include <QBrush>
#include <QPainter>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace vendrix::app {
namespace {

QColor withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

} // namespace

std::vector<EditorTextView::VisibleRow> EditorTextView::visibleRows() {
    const auto top = static_cast<qreal>(m_scrollY);
    return rowsBetween(top, top + viewport()->height());
}

void EditorTextView::prefetchNeighbourPages() {
    m_prefetchScheduled = false;
    const auto top = static_cast<qreal>(m_scrollY);
    if (!m_document || top == m_prefetchedTop || !isVisible())
        return;
    m_prefetchedTop = top;
    const qreal page = viewport()->height();
    (void)rowsBetween(top + page, top + 2 * page);
    if (top > 0)
        (void)rowsBetween(std::max<qreal>(0, top - page), top);
}

std::vector<EditorTextView::VisibleRow> EditorTextView::rowsBetween(qreal top, qreal bottom) {
    std::vector<VisibleRow> rows;
    if (!m_document)
        return rows;
    const qreal height = m_layout.lineHeight();
    const qreal left = horizontalScrollBar()->value();
    const qreal right = left + viewport()->width();
    const std::int64_t lineCount = m_layout.lineCount();

    if (!m_layout.wraps()) {
        std::int64_t first = m_layout.lineAtY(top - kInset);
        for (std::int64_t line = first; line < lineCount; ++line) {
            qreal y = m_layout.lineTop(line);
            if (y + kInset > bottom)
                break;
            int firstSegment = m_layout.segmentAtX(line, left - kInset);
            int lastSegment = m_layout.segmentAtX(line, right);
            for (int segment = firstSegment; segment <= lastSegment; ++segment) {
                TextLayoutModel::Segment& laidOut = m_layout.layout(line, segment);
                rows.push_back({line, segment, &laidOut, 0, y, m_layout.segmentX(line, segment)});
            }
        }
        return rows;
    }

    std::int64_t line = m_layout.lineAtY(top - kInset);
    qreal lineTop = m_layout.lineTop(line);
    int segment = m_layout.segmentAtRow(line, static_cast<int>((top - kInset - lineTop) / height));
    while (line < lineCount) {
        int segmentCount = m_layout.segmentCount(line);
        qreal y = lineTop + m_layout.rowsBeforeSegment(line, segment) * height;
        bool done = false;
        for (; segment < segmentCount; ++segment) {
            TextLayoutModel::Segment& laidOut = m_layout.layout(line, segment);
            for (int row = 0; row < laidOut.layout.lineCount(); ++row) {
                qreal rowTop = y + row * height;
                if (rowTop + height + kInset <= top)
                    continue;
                if (rowTop + kInset > bottom) {
                    done = true;
                    break;
                }
                rows.push_back({line, segment, &laidOut, row, rowTop, 0});
            }
            y += laidOut.rows * height;
            if (done)
                break;
        }
        if (done)
            break;
        ++line;
        segment = 0;
        lineTop = m_layout.lineTop(line);
    }
    return rows;
}

std::vector<EditorTextView::LineFragment> EditorTextView::visibleLineFragments() {
    std::vector<LineFragment> fragments;
    for (const VisibleRow& row : visibleRows()) {
        const TextLayoutModel::Segment& laidOut = *row.laidOut;
        QTextLine textLine = laidOut.layout.lineAt(row.row);
        TextRange range{laidOut.fromLayout(textLine.textStart()), 0};
        range.length =
            laidOut.fromLayout(textLine.textStart() + textLine.textLength()) - range.location;
        qreal top = contentToViewport({0, row.top}).y();
        if (!m_layout.wraps() && !fragments.empty() && fragments.back().line == row.line) {
            fragments.back().range = fragments.back().range.unionWith(range);
            continue;
        }
        bool startsLine = !m_layout.wraps() || (row.segment == 0 && row.row == 0);
        fragments.push_back({row.line, range, top, m_layout.lineHeight(), startsLine});
    }
    return fragments;
}

TextRange EditorTextView::visibleCharacterRange() {
    std::vector<LineFragment> fragments = visibleLineFragments();
    if (fragments.empty())
        return {0, 0};
    std::int64_t start = fragments.front().range.location;
    std::int64_t end = start;
    for (const LineFragment& fragment : fragments) {
        start = std::min(start, fragment.range.location);
        end = std::max(end, fragment.range.end());
    }
    return {start, end - start};
}

void EditorTextView::paintRangeBackground(QPainter& painter, const std::vector<VisibleRow>& rows,
                                          TextRange range, const QColor& color, bool fullWidth) {
    const qreal height = m_layout.lineHeight();
    if (fullWidth) {
        std::int64_t firstLine = m_layout.lineOf(range.location);
        std::int64_t lastLine = m_layout.lineOf(range.end());
        for (const VisibleRow& row : rows) {
            if (row.line < firstLine || row.line > lastLine)
                continue;
            QPointF topLeft = contentToViewport({0, row.top});
            painter.fillRect(QRectF(0, topLeft.y(), viewport()->width(), height), color);
        }
        return;
    }
    if (range.empty())
        return;
    for (const VisibleRow& row : rows) {
        const TextLayoutModel::Segment& laidOut = *row.laidOut;
        QTextLine textLine = laidOut.layout.lineAt(row.row);
        std::int64_t rowStart = laidOut.fromLayout(textLine.textStart());
        std::int64_t rowEnd = laidOut.fromLayout(textLine.textStart() + textLine.textLength());
        if (range.end() < rowStart || range.location > rowEnd)
            continue;
        std::int64_t from = std::max(range.location, rowStart);
        std::int64_t to = std::min(range.end(), rowEnd);
        qreal x1 = textLine.cursorToX(laidOut.toLayout(from));
        qreal x2 = textLine.cursorToX(laidOut.toLayout(to));
        // The line break itself is selected: show it as a space's width after the line.
        TextRange line = m_layout.lineRange(row.line);
        bool lastRowOfLine = rowEnd == line.end();
        if (lastRowOfLine && range.end() > line.end())
            x2 += m_layout.advance();
        if (x2 <= x1)
            continue;
        QPointF topLeft = contentToViewport({row.x + x1, row.top});
        painter.fillRect(QRectF(topLeft.x(), topLeft.y(), x2 - x1, height), color);
    }
}

void EditorTextView::drawSegments(QPainter& painter, const std::vector<VisibleRow>& rows,
                                  const QRect& clip) {
    const QColor textColor = palette().color(QPalette::Text);
    painter.setPen(textColor);
    const TextLayoutModel::Segment* last = nullptr;
    for (const VisibleRow& row : rows) {
        if (row.laidOut == last)
            continue;
        last = row.laidOut;
        TextLayoutModel::Segment& laidOut = *row.laidOut;
        QList<QTextLayout::FormatRange> formats;
        for (const TemporaryAttributes::Run& run :
             m_attributes.effectiveForeground(laidOut.range)) {
            int from = laidOut.toLayout(std::max(run.start, laidOut.range.location));
            int to = laidOut.toLayout(std::min(run.end, laidOut.range.end()));
            if (to <= from)
                continue;
            QTextLayout::FormatRange format;
            format.start = from;
            format.length = to - from;
            format.format.setForeground(run.color);
            // QTextLayout skips a text-only range whose area touches one drawn before it (two
            // adjacent tokens share a pixel column); a background, even a clear one, keeps
            // every range drawn.
            format.format.setBackground(QBrush(Qt::transparent));
            if (run.underline)
                format.format.setFontUnderline(true);
            formats.append(format);
        }
        if (laidOut.preeditPosition >= 0) {
            QTextLayout::FormatRange format;
            format.start = laidOut.preeditPosition;
            format.length = laidOut.preeditLength;
            format.format.setFontUnderline(true);
            format.format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            formats.append(format);
        }
        qreal segmentTop =
            m_layout.lineTop(row.line) +
            m_layout.rowsBeforeSegment(row.line, row.segment) * m_layout.lineHeight();
        QPointF origin = contentToViewport({row.x, segmentTop});
        laidOut.layout.draw(&painter, origin, formats, clip);
    }
}

void EditorTextView::paintInvisibles(QPainter& painter, const std::vector<VisibleRow>& rows) {
    QColor color = withAlpha(palette().color(QPalette::Text), 0.3);
    painter.setPen(color);
    painter.setFont(m_layout.font());
    const qreal ascent = m_layout.ascent();
    const qreal left = horizontalScrollBar()->value() - kInset;
    const qreal right = left + viewport()->width();
    const std::int64_t lastLine = m_layout.lineCount() - 1;
    for (const VisibleRow& row : rows) {
        const TextLayoutModel::Segment& laidOut = *row.laidOut;
        QTextLine textLine = laidOut.layout.lineAt(row.row);
        int start = textLine.textStart();
        int end = start + textLine.textLength();
        if (!m_layout.wraps()) {
            // Only the horizontally visible part of the row.
            start = std::max(start, textLine.xToCursor(left - row.x) - 1);
            end = std::min(end, textLine.xToCursor(right - row.x) + 1);
        }
        const QString text = laidOut.layout.text();
        for (int i = std::max(start, 0); i < end && i < text.size(); ++i) {
            QChar c = text.at(i);
            if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
                continue;
            if (laidOut.preeditPosition >= 0 && i >= laidOut.preeditPosition &&
                i < laidOut.preeditPosition + laidOut.preeditLength)
                continue;
            qreal x1 = textLine.cursorToX(i);
            qreal x2 = textLine.cursorToX(i + 1);
            QPointF at = contentToViewport({row.x + x1, row.top + ascent});
            if (c == QLatin1Char(' ')) {
                painter.drawText(QPointF(at.x() + (x2 - x1 - m_layout.advance()) / 2, at.y()),
                                 QStringLiteral("\u00B7"));
            } else {
                painter.drawText(at, QStringLiteral("\u2192"));
            }
        }
        // The line end, after the last row of every line but the last.
        TextRange line = m_layout.lineRange(row.line);
        if (row.line < lastLine && laidOut.range.end() == line.end() &&
            row.row == laidOut.layout.lineCount() - 1) {
            qreal x = textLine.cursorToX(textLine.textStart() + textLine.textLength());
            QPointF at = contentToViewport({row.x + x, row.top + ascent});
            painter.drawText(at, QStringLiteral("\u00AC"));
        }
    }
}

void EditorTextView::paintEvent(QPaintEvent* event) {
    m_layout.trimCache();
    QPainter painter(viewport());
    const QColor base = palette().color(QPalette::Base);
    painter.fillRect(event->rect(), base);
    if (!m_document)
        return;

    std::vector<VisibleRow> rows = visibleRows();
    TextRange visible{0, 0};
    if (!rows.empty()) {
        std::int64_t start = rows.front().laidOut->range.location;
        std::int64_t end = start;
        for (const VisibleRow& row : rows) {
            start = std::min(start, row.laidOut->range.location);
            end = std::max(end, row.laidOut->range.end());
        }
        visible = {start, end - start + 1};
    }

    for (int index = 0; index < kBackgroundLayerCount; ++index) {
        const auto layer = static_cast<BackgroundLayer>(index);
        const bool fullWidth = m_attributes.background(layer).fullWidth;
        for (const ColoredRange& colored : m_attributes.backgroundRanges(layer, visible))
            paintRangeBackground(painter, rows, colored.range, colored.color, fullWidth);
    }

    QColor highlight =
        palette().color(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::Highlight);
    paintRangeBackground(painter, rows, selectedRange(),
                         withAlpha(highlight, hasFocus() ? 0.35 : 0.2), false);

    for (const BackgroundDecorator& decorator : m_decorators) {
        painter.save();
        decorator(painter, QRectF(event->rect()));
        painter.restore();
    }

    drawSegments(painter, rows, event->rect());
    if (m_showsInvisibles)
        paintInvisibles(painter, rows);

    if (hasFocus() && m_caretVisible &&
        (selectedRange().empty() || m_layout.preeditOffset() >= 0)) {
        QRectF caret = caretRect();
        caret.setWidth(m_layout.preeditOffset() >= 0 ? 1 : 2);
        painter.fillRect(caret, palette().color(QPalette::Text));
    }
    if (m_dropOffset >= 0) {
        // Where dragged text would land.
        QRectF drop = rectForOffset(m_dropOffset);
        drop.setWidth(2);
        painter.fillRect(drop, palette().color(QPalette::Text));
    }
    // Row counts of wrapped lines may have been corrected while laying out.
    if (m_layout.wraps()) {
        restoreAnchor();
        updateScrollBars();
        followAfterLayout();
    }
    if (!m_prefetchScheduled && m_prefetchedTop != static_cast<qreal>(m_scrollY)) {
        m_prefetchScheduled = true;
        QTimer::singleShot(0, this, [this] { prefetchNeighbourPages(); });
    }
}

} // namespace vendrix::app
