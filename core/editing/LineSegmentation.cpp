#include "core/editing/LineSegmentation.h"

#include "core/editing/Unicode.h"

#include <algorithm>
#include <vector>

namespace vendrix {
namespace {

bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool isNiceBreakAfter(char16_t c) {
    return c == u' ' || c == u'\t' || c == u',' || c == u';' || c == u'}' || c == u']' || c == u'>';
}

} // namespace

LineSegmentation::LineSegmentation(const TextSource& text, TextRange line, int tabWidth)
    : m_length(line.length), m_tabWidth(std::max(tabWidth, 1)) {
    split(text, line.location, 0, line.length, m_segments);
    recomputeColumns(0);
}

void LineSegmentation::split(const TextSource& text, std::int64_t lineStart, std::int64_t from,
                             std::int64_t to, std::vector<LineSegment>& out) const {
    // Read the region in one go per segment plus a small look-ahead; segments are small.
    std::vector<char16_t> buffer;
    std::int64_t start = from;
    while (start < to) {
        std::int64_t remaining = to - start;
        std::int64_t length = remaining;
        if (remaining > kTargetLength + kTargetLength / 2) {
            std::int64_t window = std::min<std::int64_t>(kTargetLength + 64, remaining);
            buffer.resize(static_cast<size_t>(window));
            text.copyUnits({lineStart + start, window}, buffer.data());
            length = kTargetLength;
            // Segments end on character (grapheme cluster) boundaries; prefer a break after a
            // space or punctuation in the last eighth of the target.
            unicode::GraphemeClusters clusters(
                std::u16string_view(buffer.data(), static_cast<size_t>(window)));
            for (std::int64_t i = kTargetLength; i > kTargetLength - kTargetLength / 8; --i) {
                if (isNiceBreakAfter(buffer[static_cast<size_t>(i - 1)]) &&
                    clusters.isBoundary(static_cast<size_t>(i))) {
                    length = i;
                    break;
                }
            }
            if (!clusters.isBoundary(static_cast<size_t>(length)))
                length = static_cast<std::int64_t>(clusters.clusterEnd(
                    clusters.clusterStart(static_cast<size_t>(length) + 1)));
        }
        LineSegment segment;
        segment.start = start;
        // Column summary of the segment.
        buffer.resize(static_cast<size_t>(length));
        text.copyUnits({lineStart + start, length}, buffer.data());
        std::int64_t column = 0;
        for (char16_t c : buffer) {
            if (c == u'\t') {
                if (!segment.hasTab) {
                    segment.hasTab = true;
                    segment.columnsBeforeTab = static_cast<std::int32_t>(column);
                    column = 0;
                } else {
                    column = (column / m_tabWidth + 1) * m_tabWidth;
                }
            } else if (!isLowSurrogate(c)) {
                ++column;
            }
        }
        if (segment.hasTab)
            segment.columnsAfterTab = static_cast<std::int32_t>(column);
        else
            segment.columnsBeforeTab = static_cast<std::int32_t>(column);
        out.push_back(segment);
        start += length;
    }
}

void LineSegmentation::recomputeColumns(int from) {
    std::int64_t column =
        from > 0 ? m_segments[static_cast<size_t>(from - 1)].endColumn(
                       m_segments[static_cast<size_t>(from - 1)].startColumn, m_tabWidth)
                 : 0;
    for (size_t k = static_cast<size_t>(std::max(from, 0)); k < m_segments.size(); ++k) {
        m_segments[k].startColumn = column;
        column = m_segments[k].endColumn(column, m_tabWidth);
    }
}

LineSegmentation::Change LineSegmentation::update(const TextSource& text, TextRange line,
                                                  std::int64_t editStart, std::int64_t removed,
                                                  std::int64_t inserted) {
    const std::int64_t delta = inserted - removed;
    const std::int64_t oldLength = m_length;
    m_length = line.length;
    if (m_segments.empty()) {
        split(text, line.location, 0, line.length, m_segments);
        recomputeColumns(0);
        return {0, 0, count()};
    }
    int first = segmentAt(std::clamp<std::int64_t>(editStart, 0, oldLength));
    // A pure insertion at a segment's start goes into the previous segment when that one is
    // short, so typing at boundaries does not breed tiny segments.
    int last = removed > 0 ? segmentAt(std::min(editStart + removed - 1, oldLength)) : first;
    // An edit at a segment's edge can join characters across it (a combining mark typed at
    // the start of a segment): the neighbour is split again too.
    if (first > 0 && editStart <= m_segments[static_cast<size_t>(first)].start)
        --first;
    if (last + 1 < count() && editStart + removed >= m_segments[static_cast<size_t>(last + 1)].start)
        ++last;
    std::int64_t regionStart = m_segments[static_cast<size_t>(first)].start;
    std::int64_t oldRegionEnd =
        last + 1 < count() ? m_segments[static_cast<size_t>(last + 1)].start : oldLength;
    // Keep segments from shrinking into slivers: absorb the following one when small.
    if (oldRegionEnd + delta - regionStart < kTargetLength / 2 && last + 1 < count()) {
        ++last;
        oldRegionEnd =
            last + 1 < count() ? m_segments[static_cast<size_t>(last + 1)].start : oldLength;
    }
    if (oldRegionEnd + delta - regionStart < kTargetLength / 2 && first > 0) {
        --first;
        regionStart = m_segments[static_cast<size_t>(first)].start;
    }
    std::vector<LineSegment> replacement;
    split(text, line.location, regionStart, oldRegionEnd + delta, replacement);
    int oldCount = last - first + 1;
    auto begin = m_segments.begin() + first;
    m_segments.erase(begin, begin + oldCount);
    m_segments.insert(m_segments.begin() + first, replacement.begin(), replacement.end());
    for (size_t k = static_cast<size_t>(first) + replacement.size(); k < m_segments.size(); ++k)
        m_segments[k].start += delta;
    recomputeColumns(first);
    return {first, oldCount, static_cast<int>(replacement.size())};
}

std::int64_t LineSegmentation::segmentEnd(int k) const {
    return k + 1 < count() ? m_segments[static_cast<size_t>(k + 1)].start : m_length;
}

int LineSegmentation::segmentAt(std::int64_t offset) const {
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), offset,
                               [](std::int64_t o, const LineSegment& s) { return o < s.start; });
    return std::max(0, static_cast<int>(it - m_segments.begin()) - 1);
}

int LineSegmentation::segmentAtColumn(std::int64_t column) const {
    auto it =
        std::upper_bound(m_segments.begin(), m_segments.end(), column,
                         [](std::int64_t c, const LineSegment& s) { return c < s.startColumn; });
    return std::max(0, static_cast<int>(it - m_segments.begin()) - 1);
}

std::int64_t LineSegmentation::totalColumns() const {
    if (m_segments.empty())
        return 0;
    const LineSegment& last = m_segments.back();
    return last.endColumn(last.startColumn, m_tabWidth);
}

} // namespace vendrix
