#include "core/editing/ColumnLayout.h"

#include "core/editing/LineIndexCheck.h"
#include "core/editing/VisualColumn.h"

#include <algorithm>

namespace vendrix {

namespace {

using editing::VisualCluster;
using editing::VisualWalk;

/// The span of one line for the columns [startColumn, endColumn].
ColumnLineSpan spanOfLine(std::int64_t line, TextRange content, std::u16string_view text,
                          std::int64_t startColumn, std::int64_t endColumn, int tabWidth) {
    std::u16string_view units = text.substr(static_cast<std::size_t>(content.location),
                                            static_cast<std::size_t>(content.length));
    VisualWalk walk(units, tabWidth);
    VisualCluster cluster;
    bool found = false;
    while (walk.next(cluster))
        if (cluster.endColumn() > startColumn) {
            found = true;
            break;
        }
    if (!found) {
        // The line ends at or before the start column.
        if (walk.column() < startColumn)
            return {line, std::nullopt, startColumn};
        return {line, TextRange{content.end(), 0}, std::max<std::int64_t>(startColumn, 0)};
    }
    const std::int64_t start = content.location + static_cast<std::int64_t>(cluster.start);
    const std::int64_t spanColumn = cluster.startColumn;
    if (startColumn == endColumn)
        return {line, TextRange{start, 0}, spanColumn};
    // A character straddling the end column stays outside the span.
    std::int64_t end = content.end();
    do {
        if (cluster.endColumn() > endColumn) {
            end = content.location + static_cast<std::int64_t>(cluster.start);
            break;
        }
    } while (walk.next(cluster));
    return {line, TextRange{start, std::max(end, start) - start}, spanColumn};
}

} // namespace

ColumnPoint ColumnLayout::point(std::int64_t offset, std::u16string_view text,
                                const LineIndex& lineIndex, int tabWidth) {
    if (!editing::lineIndexInStep(text, lineIndex))
        return {};
    offset = std::clamp<std::int64_t>(offset, 0, static_cast<std::int64_t>(text.size()));
    std::int64_t line = lineIndex.lineNumber(offset);
    TextRange content = VisualColumn::contentRange(line, text, lineIndex);
    return {line, VisualColumn::column(offset, content, text, tabWidth)};
}

std::vector<ColumnLineSpan> ColumnLayout::spans(const ColumnSelection& selection,
                                                std::u16string_view text,
                                                const LineIndex& lineIndex, int tabWidth,
                                                std::optional<LineRange> lines) {
    std::vector<ColumnLineSpan> result;
    if (!editing::lineIndexInStep(text, lineIndex) || !selection.isWellFormed())
        return result;
    const std::int64_t bottom = std::min(selection.bottomLine(), lineIndex.lineCount() - 1);
    std::int64_t first = selection.topLine();
    std::int64_t last = bottom;
    if (lines) {
        first = std::max(first, lines->lower);
        last = std::min(lines->upper, bottom);
    }
    for (std::int64_t line = first; line <= last; ++line) {
        TextRange content = VisualColumn::contentRange(line, text, lineIndex);
        ColumnSelection::Columns columns = selection.columns(line);
        result.push_back(spanOfLine(line, content, text, columns.start, columns.end, tabWidth));
    }
    return result;
}

ColumnSelection ColumnLayout::moved(const ColumnSelection& selection, Direction direction,
                                    std::u16string_view text, const LineIndex& lineIndex,
                                    int tabWidth, std::int64_t maxColumn) {
    if (!editing::lineIndexInStep(text, lineIndex))
        return selection;
    ColumnSelection result = selection.rectangularized();
    ColumnPoint& active = result.active;
    TextRange content = VisualColumn::contentRange(active.line, text, lineIndex);
    switch (direction) {
    case Direction::up:
        active.line = std::max<std::int64_t>(active.line - 1, 0);
        break;
    case Direction::down:
        active.line = std::min(active.line + 1, lineIndex.lineCount() - 1);
        break;
    case Direction::left:
        active.column = VisualColumn::previousBoundary(active.column, content, text, tabWidth);
        break;
    case Direction::right:
        active.column =
            std::min(VisualColumn::nextBoundary(active.column, content, text, tabWidth), maxColumn);
        break;
    }
    return result;
}

std::u16string ColumnLayout::copyText(const std::vector<ColumnLineSpan>& spans,
                                      std::u16string_view text) {
    std::u16string out;
    const auto length = static_cast<std::int64_t>(text.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (i > 0)
            out.push_back(u'\n');
        const std::optional<TextRange>& range = spans[i].range;
        if (range && range->fits(length))
            out.append(text.substr(static_cast<std::size_t>(range->location),
                                   static_cast<std::size_t>(range->length)));
    }
    return out;
}

std::int64_t ColumnLayout::selectedLength(const std::vector<ColumnLineSpan>& spans) {
    std::int64_t total = 0;
    for (const ColumnLineSpan& span : spans)
        if (span.range)
            total += span.range->length;
    return total;
}

} // namespace vendrix
