#include "app/view/TextLayoutModel.h"

#include "app/document/EditorDocument.h"
#include "core/text/LineIndex.h"
#include "core/text/TextStorage.h"

#include <QFontMetricsF>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vendrix::app {
namespace {

constexpr std::size_t kCacheLimit = 768;
constexpr qreal kUnwrappedLineWidth = 1e7;
/// Texts of up to this many lines get every line's rows estimated at once when wrapping.
constexpr std::int64_t kEagerRowLines = 65536;

/// The character drawn for a unit that QTextLayout would otherwise break a line at, swallow
/// or draw as nothing; one for one, so offsets stay the same.
char16_t displayUnit(char16_t c) {
    if (c < 0x20 && c != u'\t')
        return static_cast<char16_t>(0x2400 + c); // control pictures
    if (c == 0x7F)
        return 0x2421;
    if (c == 0x2028)
        return 0x21B5;
    if (c == 0x2029)
        return 0x00B6;
    if ((c >= 0xFDD0 && c <= 0xFDEF) || c == 0xFFFE || c == 0xFFFF)
        return 0xFFFD;
    return c;
}

} // namespace

int TextLayoutModel::Segment::toLayout(std::int64_t offset) const {
    int position =
        static_cast<int>(std::clamp<std::int64_t>(offset - range.location, 0, range.length));
    if (preeditPosition >= 0 && position > preeditPosition)
        position += preeditLength;
    return position;
}

std::int64_t TextLayoutModel::Segment::fromLayout(int position) const {
    if (preeditPosition >= 0) {
        if (position >= preeditPosition + preeditLength)
            position -= preeditLength;
        else if (position > preeditPosition)
            position = preeditPosition;
    }
    return range.location + std::clamp<std::int64_t>(position, 0, range.length);
}

TextLayoutModel::TextLayoutModel() {
    setFont(QFont());
}

void TextLayoutModel::setDocument(const EditorDocument* document) {
    m_document = document;
    m_preeditOffset = -1;
    m_preeditText.clear();
    m_longestLine = document ? document->lineIndex().longestLineLength() : 0;
    invalidateAll();
}

void TextLayoutModel::setFont(const QFont& font) {
    m_font = font;
    QFontMetricsF metrics(font);
    m_advance = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('x')));
    m_lineHeight = std::ceil(metrics.height());
    m_ascent = metrics.ascent();
    invalidateAll();
}

void TextLayoutModel::setTabWidth(int tabWidth) {
    tabWidth = std::clamp(tabWidth, 1, 16);
    if (tabWidth == m_tabWidth)
        return;
    m_tabWidth = tabWidth;
    invalidateAll();
}

void TextLayoutModel::setWrapWidth(qreal width) {
    width = width > 0 ? std::max<qreal>(width, m_advance) : 0;
    if (width == m_wrapWidth)
        return;
    m_wrapWidth = width;
    m_cache.clear();
    for (auto& [line, segmentation] : m_long) {
        for (LineSegment& segment : segmentation.segments()) {
            segment.rowsExact = false;
            segment.wrapStart = -1;
        }
    }
    rebuildRows();
}

void TextLayoutModel::setPreedit(std::int64_t offset, const QString& text, int cursor) {
    auto dropLine = [&](std::int64_t at) {
        if (at >= 0 && m_document) {
            std::int64_t line = lineOf(at);
            dropLayouts(line, line);
        }
    };
    dropLine(m_preeditOffset);
    m_preeditOffset = text.isEmpty() ? -1 : offset;
    m_preeditText = text;
    m_preeditCursor = cursor;
    dropLine(m_preeditOffset);
}

void TextLayoutModel::invalidateAll() {
    m_cache.clear();
    m_long.clear();
    rebuildRows();
}

std::int64_t TextLayoutModel::lineCount() const {
    return m_document ? m_document->lineIndex().lineCount() : 1;
}

TextRange TextLayoutModel::lineRange(std::int64_t line) const {
    return m_document ? m_document->lineIndex().range(line) : TextRange{};
}

std::int64_t TextLayoutModel::lineOf(std::int64_t offset) const {
    return m_document ? m_document->lineIndex().lineNumber(offset) : 0;
}

int TextLayoutModel::estimateRows(std::int64_t length) const {
    if (!wraps())
        return 1;
    std::int64_t perRow =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(m_wrapWidth / m_advance));
    return static_cast<int>(std::max<std::int64_t>(1, (length + perRow - 1) / perRow));
}

LineSegmentation* TextLayoutModel::segmentation(std::int64_t line) {
    TextRange range = lineRange(line);
    auto it = m_long.find(line);
    if (it != m_long.end()) {
        if (range.length >= LineSegmentation::kThreshold / 2)
            return &it->second;
        m_long.erase(it);
        dropLayouts(line, line);
        return nullptr;
    }
    if (range.length <= LineSegmentation::kThreshold || !m_document)
        return nullptr;
    dropLayouts(line, line);
    auto& segmentation =
        m_long.emplace(line, LineSegmentation(*m_document->storage(), range, m_tabWidth))
            .first->second;
    if (wraps()) {
        for (size_t k = 0; k < segmentation.segments().size(); ++k)
            segmentation.segments()[k].rows = estimateRows(
                segmentation.segmentEnd(static_cast<int>(k)) - segmentation.segments()[k].start);
        refreshLineRows(line);
    }
    return &segmentation;
}

int TextLayoutModel::segmentCount(std::int64_t line) {
    LineSegmentation* segments = segmentation(line);
    return segments ? segments->count() : 1;
}

TextRange TextLayoutModel::segmentRange(std::int64_t line, int segment) {
    TextRange range = lineRange(line);
    LineSegmentation* segments = segmentation(line);
    if (!segments)
        return range;
    segment = std::clamp(segment, 0, segments->count() - 1);
    if (wraps()) {
        // Wrapped, a segment holds whole rows of the line.
        std::int64_t start = wrapStart(line, *segments, segment);
        std::int64_t end = segment + 1 < segments->count()
                               ? wrapStart(line, *segments, segment + 1)
                               : segments->length();
        return {range.location + start, end - start};
    }
    std::int64_t start = segments->segments()[static_cast<size_t>(segment)].start;
    return {range.location + start, segments->segmentEnd(segment) - start};
}

int TextLayoutModel::segmentAt(std::int64_t line, std::int64_t offset) {
    LineSegmentation* segments = segmentation(line);
    if (!segments)
        return 0;
    const std::int64_t inLine = offset - lineRange(line).location;
    int segment = segments->segmentAt(inLine);
    if (wraps()) {
        // Row starts lie at or before the segments' own starts, past the previous segment's.
        if (segment > 0 && inLine < wrapStart(line, *segments, segment))
            --segment;
        else if (segment + 1 < segments->count() &&
                 inLine >= wrapStart(line, *segments, segment + 1))
            ++segment;
    }
    return segment;
}

qreal TextLayoutModel::segmentX(std::int64_t line, int segment) {
    if (wraps())
        return 0;
    LineSegmentation* segments = segmentation(line);
    if (!segments)
        return 0;
    segment = std::clamp(segment, 0, segments->count() - 1);
    return static_cast<qreal>(segments->segments()[static_cast<size_t>(segment)].startColumn) *
           m_advance;
}

int TextLayoutModel::segmentAtX(std::int64_t line, qreal x) {
    LineSegmentation* segments = wraps() ? nullptr : segmentation(line);
    if (!segments)
        return 0;
    return segments->segmentAtColumn(static_cast<std::int64_t>(std::max<qreal>(0, x) / m_advance));
}

QString TextLayoutModel::displayText(TextRange range) const {
    QString text(static_cast<qsizetype>(range.length), Qt::Uninitialized);
    auto* units = reinterpret_cast<char16_t*>(text.data());
    m_document->storage()->copyUnits(range, units);
    for (qsizetype i = 0; i < text.size(); ++i)
        units[i] = displayUnit(units[i]);
    return text;
}

TextLayoutModel::Segment& TextLayoutModel::layout(std::int64_t line, int segment) {
    LineSegmentation* segments = segmentation(line);
    if (segments)
        segment = std::clamp(segment, 0, segments->count() - 1);
    else
        segment = 0;
    const LineSegment* info =
        segments ? &segments->segments()[static_cast<size_t>(segment)] : nullptr;
    int tabPhase =
        (!wraps() && info && info->hasTab) ? static_cast<int>(info->startColumn % m_tabWidth) : 0;

    Key key{line, segment};
    auto found = m_cache.find(key);
    if (found != m_cache.end() && found->second->tabPhase == tabPhase) {
        found->second->lastUse = ++m_useCounter;
        return *found->second;
    }

    auto entry = std::make_unique<Segment>();
    entry->range = segmentRange(line, segment);
    entry->tabPhase = tabPhase;
    entry->lastUse = ++m_useCounter;
    m_laidOutCharacters += static_cast<std::uint64_t>(entry->range.length);

    QTextLayout& layout = entry->layout;
    layout.setText(m_document ? displayText(entry->range) : QString());
    layout.setFont(m_font);
    layout.setCacheEnabled(true);
    QTextOption option = textOption();
    if (tabPhase != 0) {
        // The segment begins between two tab stops: list its stops explicitly.
        QList<QTextOption::Tab> tabs;
        qreal stop = (m_tabWidth - tabPhase) * m_advance;
        qreal end = (segments->segmentEnd(segment) - info->start) * m_tabWidth * m_advance + stop;
        for (; stop <= end; stop += m_tabWidth * m_advance)
            tabs.append(QTextOption::Tab(stop, QTextOption::LeftTab));
        option.setTabs(tabs);
    }
    layout.setTextOption(option);
    if (m_preeditOffset >= 0 && lineOf(m_preeditOffset) == line &&
        segmentAt(line, m_preeditOffset) == segment) {
        entry->preeditPosition = static_cast<int>(m_preeditOffset - entry->range.location);
        entry->preeditLength = static_cast<int>(m_preeditText.size());
        layout.setPreeditArea(entry->preeditPosition, m_preeditText);
    }
    layout.beginLayout();
    int rows = 0;
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
        row.setLineWidth(wraps() ? m_wrapWidth : kUnwrappedLineWidth);
        row.setPosition(QPointF(0, rows * m_lineHeight));
        ++rows;
    }
    layout.endLayout();
    entry->rows = std::max(rows, 1);

    if (wraps()) {
        if (segments) {
            LineSegment& stored = segments->segments()[static_cast<size_t>(segment)];
            stored.rows = entry->rows;
            stored.rowsExact = true;
            refreshLineRows(line);
        } else {
            m_rows.set(line, entry->rows);
        }
    }
    Segment& result = *entry;
    m_cache[key] = std::move(entry);
    return result;
}

void TextLayoutModel::refreshLineRows(std::int64_t line) {
    if (!wraps())
        return;
    auto it = m_long.find(line);
    if (it == m_long.end()) {
        m_rows.set(line, estimateRows(lineRange(line).length));
        return;
    }
    std::int64_t sum = 0;
    for (const LineSegment& segment : it->second.segments())
        sum += segment.rows;
    m_rows.set(line, static_cast<std::int32_t>(std::min<std::int64_t>(sum, INT32_MAX)));
}

void TextLayoutModel::rebuildRows() {
    if (!wraps() || !m_document) {
        m_rows.assign({});
        return;
    }
    for (auto& [line, segmentation] : m_long)
        for (size_t k = 0; k < segmentation.segments().size(); ++k) {
            LineSegment& segment = segmentation.segments()[k];
            if (!segment.rowsExact)
                segment.rows =
                    estimateRows(segmentation.segmentEnd(static_cast<int>(k)) - segment.start);
        }
    const LineIndex& index = m_document->lineIndex();
    if (index.lineCount() <= kEagerRowLines) {
        std::vector<std::int32_t> rows(static_cast<size_t>(index.lineCount()));
        for (size_t line = 0; line < rows.size(); ++line)
            rows[line] = lineRowEstimate(static_cast<std::int64_t>(line));
        m_rows.assign(std::move(rows));
        return;
    }
    // No pass over millions of lines: each block of lines is estimated from its length as a
    // whole, and its lines one by one only when the view reaches them.
    m_rows.reset(
        index.lineCount(), [this](std::int64_t line) { return lineRowEstimate(line); },
        [this, &index](std::int64_t first, std::int64_t count) {
            const std::int64_t end = first + count;
            const std::int64_t units = (end < index.lineCount() ? index.lineStart(end) - 1
                                                                : index.length()) -
                                       index.lineStart(first) - (count - 1);
            const auto perRow =
                std::max<std::int64_t>(1, static_cast<std::int64_t>(m_wrapWidth / m_advance));
            return std::max<std::int64_t>(count, (units + perRow - 1) / perRow);
        });
    for (const auto& [line, segmentation] : m_long)
        refreshLineRows(line);
}

std::int32_t TextLayoutModel::lineRowEstimate(std::int64_t line) const {
    const TextRange range = lineRange(line);
    if (range.length > LineSegmentation::kThreshold / 2) {
        auto it = m_long.find(line);
        if (it != m_long.end()) {
            std::int64_t sum = 0;
            for (const LineSegment& segment : it->second.segments())
                sum += segment.rows;
            return static_cast<std::int32_t>(std::min<std::int64_t>(sum, INT32_MAX));
        }
    }
    return estimateRows(range.length);
}

qreal TextLayoutModel::lineTop(std::int64_t line) {
    line = std::clamp<std::int64_t>(line, 0, lineCount());
    if (!wraps())
        return static_cast<qreal>(line) * m_lineHeight;
    return static_cast<qreal>(m_rows.rowsBefore(line)) * m_lineHeight;
}

int TextLayoutModel::lineRows(std::int64_t line) {
    if (!wraps() || line < 0 || line >= m_rows.size())
        return 1;
    return m_rows.rows(line);
}

std::int64_t TextLayoutModel::lineAtY(qreal y) {
    std::int64_t row = static_cast<std::int64_t>(std::floor(std::max<qreal>(0, y) / m_lineHeight));
    if (!wraps())
        return std::min(row, lineCount() - 1);
    return m_rows.lineAtRow(row);
}

int TextLayoutModel::rowsBeforeSegment(std::int64_t line, int segment) {
    if (!wraps())
        return 0;
    LineSegmentation* segments = segmentation(line);
    if (!segments)
        return 0;
    std::int64_t rows = 0;
    for (int k = 0; k < segment && k < segments->count(); ++k)
        rows += segments->segments()[static_cast<size_t>(k)].rows;
    return static_cast<int>(rows);
}

int TextLayoutModel::segmentAtRow(std::int64_t line, int row) {
    if (!wraps())
        return 0;
    LineSegmentation* segments = segmentation(line);
    if (!segments)
        return 0;
    std::int64_t rows = 0;
    for (int k = 0; k < segments->count(); ++k) {
        rows += segments->segments()[static_cast<size_t>(k)].rows;
        if (row < rows)
            return k;
    }
    return segments->count() - 1;
}

qreal TextLayoutModel::contentHeight() const {
    std::int64_t rows = wraps() ? m_rows.totalRows() : lineCount();
    return static_cast<qreal>(std::max<std::int64_t>(rows, 1)) * m_lineHeight;
}

qreal TextLayoutModel::contentWidth() const {
    if (wraps())
        return m_wrapWidth;
    return static_cast<qreal>(m_longestLine + 1) * m_advance;
}

void TextLayoutModel::dropLayouts(std::int64_t firstLine, std::int64_t lastLine) {
    std::erase_if(m_cache, [&](const auto& entry) {
        return entry.first.line >= firstLine && entry.first.line <= lastLine;
    });
}

void TextLayoutModel::evictIfNeeded() {
    if (m_cache.size() <= kCacheLimit)
        return;
    std::vector<std::uint64_t> uses;
    uses.reserve(m_cache.size());
    for (const auto& [key, entry] : m_cache)
        uses.push_back(entry->lastUse);
    auto middle = uses.begin() + static_cast<std::ptrdiff_t>(uses.size() / 2);
    std::nth_element(uses.begin(), middle, uses.end());
    std::uint64_t threshold = *middle;
    std::erase_if(m_cache, [&](const auto& entry) { return entry.second->lastUse < threshold; });
}

void TextLayoutModel::trimCache() {
    evictIfNeeded();
}

} // namespace vendrix::app
