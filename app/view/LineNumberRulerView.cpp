#include "app/view/LineNumberRulerView.h"

#include "app/view/EditorTextView.h"
#include "core/text/LineIndex.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vendrix::app {
namespace {

constexpr int kMinimumDigits = 3;
constexpr qreal kBasePointSize = 11;
constexpr qreal kPadding = 16;
constexpr qreal kRightMargin = 8;

int decimalDigits(std::int64_t value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

} // namespace

LineNumberRulerView::LineNumberRulerView(EditorTextView* textView, LineIndexProvider provider)
    : QWidget(textView), m_textView(textView), m_lineIndexProvider(std::move(provider)) {
    m_font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    m_font.setPointSizeF(kBasePointSize);
    m_font.setWeight(QFont::Normal);
    m_font.setStyleHint(QFont::SansSerif);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(textView, &EditorTextView::viewChanged, this, [this] {
        followZoom();
        update();
    });
    connect(textView, &EditorTextView::selectionChanged, this, [this] {
        if (caretLine() != m_paintedCaretLine)
            update();
    });
    connect(textView, &EditorTextView::documentChanged, this, [this] {
        updateThickness(false);
        update();
    });
    connect(textView, &EditorTextView::textChanged, this, [this] {
        updateThickness(false);
        // Numbers move when lines come or go, or (wrapped) when a line's rows change.
        const LineIndex* index = m_lineIndexProvider ? m_lineIndexProvider() : nullptr;
        if (!index || index->lineCount() != m_paintedLineCount || m_textView->wrapsLines())
            update();
    });
    followZoom();
    updateThickness(true);
}

void LineNumberRulerView::followZoom() {
    if (!m_textView)
        return;
    // The numbers keep their proportion to the text: zooming the text zooms them too.
    const qreal base = m_textView->editorFont().pointSizeF();
    const qreal shown = m_textView->layoutModel().font().pointSizeF();
    const qreal size = base > 0 && shown > 0 ? std::clamp(kBasePointSize * shown / base, 6.0, 72.0)
                                             : kBasePointSize;
    if (std::abs(size - m_font.pointSizeF()) < 0.01)
        return;
    m_font.setPointSizeF(size);
    updateThickness(true);
}

void LineNumberRulerView::updateThickness(bool force) {
    const LineIndex* index = m_lineIndexProvider ? m_lineIndexProvider() : nullptr;
    std::int64_t lineCount = index ? index->lineCount() : 1;
    int digits = std::max(kMinimumDigits, decimalDigits(lineCount));
    if (!force && digits == m_digitCount)
        return;
    m_digitCount = digits;
    QFontMetricsF metrics(m_font);
    int thickness = static_cast<int>(
        std::ceil(metrics.horizontalAdvance(QLatin1Char('8')) * m_digitCount + kPadding));
    if (thickness != m_thickness || force) {
        m_thickness = thickness;
        if (m_textView)
            m_textView->setLeftMarginWidget(this, thickness);
    }
    update();
}

std::int64_t LineNumberRulerView::caretLine() const {
    const LineIndex* index = m_lineIndexProvider ? m_lineIndexProvider() : nullptr;
    if (!m_textView || !index || !m_textView->document())
        return 0;
    return index->lineNumber(m_textView->selectedRange().location);
}

void LineNumberRulerView::paintEvent(QPaintEvent* event) {
    m_paintedLineCount = -1;
    m_paintedCaretLine = -1;
    QPainter painter(this);
    const QPalette& colors = palette();
    painter.fillRect(event->rect(), colors.color(QPalette::Base));
    QColor separator = colors.color(QPalette::Mid);
    painter.fillRect(QRectF(width() - 1, 0, 1, height()), separator);

    const LineIndex* index = m_lineIndexProvider ? m_lineIndexProvider() : nullptr;
    if (!m_textView || !index || !m_textView->document())
        return;
    painter.setFont(m_font);
    QColor secondary = colors.color(QPalette::Text);
    secondary.setAlphaF(0.5f);
    const QColor primary = colors.color(QPalette::Text);
    const std::int64_t caretLine = this->caretLine();
    m_paintedLineCount = index->lineCount();
    m_paintedCaretLine = caretLine;
    const qreal viewportTop = m_textView->viewport()->y() - y();
    const qreal right = width() - kRightMargin;

    // Digits are tabular: a number's width is its digit count times one digit's advance,
    // which spares shaping each number twice.
    QFontMetricsF metrics(m_font);
    const qreal digitWidth = metrics.horizontalAdvance(QLatin1Char('8'));
    const qreal baselineOffset = (metrics.ascent() - metrics.descent()) / 2;
    std::int64_t lastDrawn = -1;
    for (const EditorTextView::LineFragment& fragment : m_textView->visibleLineFragments()) {
        std::int64_t line = index->lineNumber(fragment.range.location);
        if (!fragment.startsLine || line == lastDrawn)
            continue;
        lastDrawn = line;
        const qreal top = viewportTop + fragment.top;
        if (top > event->rect().bottom() || top + fragment.height < event->rect().top())
            continue;
        QString number = QString::number(line + 1);
        painter.setPen(line == caretLine ? primary : secondary);
        painter.drawText(
            QPointF(right - digitWidth * number.size(), top + fragment.height / 2 + baselineOffset),
            number);
    }
}

} // namespace vendrix::app
