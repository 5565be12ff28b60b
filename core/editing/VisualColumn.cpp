#include "core/editing/VisualColumn.h"

#include "core/editing/LineIndexCheck.h"

#include <algorithm>

namespace vendrix {

namespace editing {

TextRange fittedRange(TextRange range, std::int64_t length) {
    if (range.fits(length))
        return range;
    return {std::clamp<std::int64_t>(range.location, 0, length), 0};
}

VisualWalk::VisualWalk(std::u16string_view line, int tabWidth, std::int64_t startColumn)
    : m_line(line), m_clusters(line), m_tabWidth(std::max(tabWidth, 1)), m_column(startColumn) {}

bool VisualWalk::next(VisualCluster& cluster) {
    if (m_at >= m_line.size())
        return false;
    const char16_t unit = m_line[m_at];
    cluster.start = m_at;
    cluster.startColumn = m_column;
    if (unit == u'\t') {
        std::int64_t into = m_column % m_tabWidth;
        if (into < 0)
            into += m_tabWidth;
        cluster.end = m_at + 1;
        cluster.width = m_tabWidth - into;
    } else if (unit >= 0x20 && unit <= 0x7E &&
               (m_at + 1 == m_line.size() || m_line[m_at + 1] <= 0x02FF)) {
        cluster.end = m_at + 1;
        cluster.width = 1;
    } else {
        cluster.end = m_clusters.clusterEnd(m_at);
        cluster.width = VisualColumn::widthOfCluster(m_line.substr(m_at, cluster.end - m_at));
    }
    m_at = cluster.end;
    m_column += cluster.width;
    return true;
}

} // namespace editing

namespace {

using editing::VisualCluster;
using editing::VisualWalk;

bool isZeroWidthScalar(char32_t c) {
    return (c >= 0x200B && c <= 0x200F) || (c >= 0x2060 && c <= 0x2064) || c == 0xFEFF;
}

bool isWideScalar(char32_t c) {
    struct Span {
        char32_t first, last;
    };
    static constexpr Span kWide[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},  {0x3041, 0x4DBF},
                                     {0x4E00, 0xA4CF},   {0xAC00, 0xD7A3},  {0xF900, 0xFAFF},
                                     {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},  {0xFFE0, 0xFFE6},
                                     {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
    for (const Span& span : kWide)
        if (c >= span.first && c <= span.last)
            return true;
    return false;
}

std::u16string_view lineText(std::u16string_view text, TextRange& line) {
    line = editing::fittedRange(line, static_cast<std::int64_t>(text.size()));
    return text.substr(static_cast<std::size_t>(line.location),
                       static_cast<std::size_t>(line.length));
}

} // namespace

int VisualColumn::widthOfCluster(std::u16string_view cluster) {
    if (cluster.empty())
        return 0;
    unicode::ScalarAt first = unicode::scalarAt(cluster, 0);
    if (first.length == cluster.size() && isZeroWidthScalar(first.value))
        return 0;
    if (cluster.find(u'\uFE0F') != std::u16string_view::npos)
        return 2;
    if (unicode::hasEmojiPresentation(first.value))
        return 2;
    if (isWideScalar(first.value))
        return 2;
    return 1;
}

TextRange VisualColumn::contentRange(std::int64_t line, std::u16string_view text,
                                     const LineIndex& lineIndex) {
    const auto length = static_cast<std::int64_t>(text.size());
    if (!editing::lineIndexInStep(text, lineIndex) || line < 0)
        return {0, 0};
    if (line >= lineIndex.lineCount())
        return {length, 0};
    TextRange range = lineIndex.range(line);
    if (line + 1 < lineIndex.lineCount() && range.length > 0 &&
        text[static_cast<std::size_t>(range.end() - 1)] == u'\r')
        --range.length;
    return range;
}

std::int64_t VisualColumn::column(std::int64_t offset, TextRange line, std::u16string_view text,
                                  int tabWidth) {
    std::u16string_view units = lineText(text, line);
    const std::int64_t target = std::clamp<std::int64_t>(offset - line.location, 0, line.length);
    VisualWalk walk(units, tabWidth);
    VisualCluster cluster;
    std::int64_t column = 0;
    while (walk.next(cluster) && static_cast<std::int64_t>(cluster.end) <= target)
        column = cluster.endColumn();
    return column;
}

std::int64_t VisualColumn::widthOfLine(TextRange line, std::u16string_view text, int tabWidth) {
    VisualWalk walk(lineText(text, line), tabWidth);
    VisualCluster cluster;
    while (walk.next(cluster)) {
    }
    return walk.column();
}

VisualColumn::Location VisualColumn::offset(std::int64_t targetColumn, TextRange line,
                                            std::u16string_view text, int tabWidth) {
    std::u16string_view units = lineText(text, line);
    if (units.empty())
        return {line.end(), 0, targetColumn <= 0};
    VisualWalk walk(units, tabWidth);
    VisualCluster cluster;
    while (walk.next(cluster))
        if (targetColumn < cluster.endColumn())
            return {line.location + static_cast<std::int64_t>(cluster.start), cluster.startColumn,
                    true};
    return {line.end(), walk.column(), walk.column() >= targetColumn};
}

std::int64_t VisualColumn::nextBoundary(std::int64_t column, TextRange line,
                                        std::u16string_view text, int tabWidth) {
    VisualWalk walk(lineText(text, line), tabWidth);
    VisualCluster cluster;
    while (walk.next(cluster))
        if (cluster.endColumn() > column)
            return cluster.startColumn + std::max<std::int64_t>(cluster.width, 1);
    return column + 1;
}

std::int64_t VisualColumn::previousBoundary(std::int64_t column, TextRange line,
                                            std::u16string_view text, int tabWidth) {
    if (column < 1)
        return 0;
    VisualWalk walk(lineText(text, line), tabWidth);
    VisualCluster cluster;
    std::int64_t previous = 0;
    while (walk.next(cluster)) {
        if (cluster.startColumn >= column)
            return previous;
        previous = cluster.startColumn;
    }
    // The line ends before the column: beyond its end every column is a boundary.
    return walk.column() < column ? column - 1 : previous;
}

std::int64_t VisualColumn::widthOf(std::u16string_view string, std::int64_t startColumn,
                                   int tabWidth) {
    VisualWalk walk(string, tabWidth, startColumn);
    VisualCluster cluster;
    while (walk.next(cluster)) {
    }
    return walk.column() - startColumn;
}

} // namespace vendrix
