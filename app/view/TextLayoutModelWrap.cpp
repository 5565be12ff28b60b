// Soft wrapping of long lines: a long line is laid out in segments, and with wrapping on each
// segment begins at a row start of the whole line, so that its rows break exactly where the
// line's own rows break (no short row where one segment ends and the next begins).
#include "app/view/TextLayoutModel.h"

#include <algorithm>

namespace vendrix::app {
namespace {

/// Row starts are measured from a layout that reaches this many rows past the segment's start,
/// so that the row holding it is never cut short by the end of the measured text.
constexpr int kLookaheadRows = 3;
/// A row start is measured segment by segment from a known one up to this many segments back,
/// and from any distance within this many characters of the line's start.
constexpr int kChainSegments = 64;
constexpr std::int64_t kExactReach = 262'144;
/// Beyond both, rows are laid out from this many segments before.
constexpr int kWarmUpSegments = 4;

} // namespace

QTextOption TextLayoutModel::textOption() const {
    QTextOption option;
    option.setWrapMode(wraps() ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTextDirection(Qt::LeftToRight);
    option.setTabStopDistance(m_tabWidth * m_advance);
    return option;
}

std::int64_t TextLayoutModel::wrapStart(std::int64_t line, LineSegmentation& segmentation,
                                        int segment) {
    if (segment <= 0)
        return 0;
    std::vector<LineSegment>& segments = segmentation.segments();
    if (segments[static_cast<size_t>(segment)].wrapStart >= 0)
        return segments[static_cast<size_t>(segment)].wrapStart;
    // Rows laid out from a row start of the line are the line's own rows: measure segment by
    // segment from the nearest row start known (the line's start is one), when it is near or
    // the segment lies within the line's first kExactReach characters.
    const bool nearLineStart = segments[static_cast<size_t>(segment)].start <= kExactReach;
    int known = segment - 1;
    while (known > 0 && segments[static_cast<size_t>(known)].wrapStart < 0 &&
           (nearLineStart || known > segment - kChainSegments))
        --known;
    if (known == 0 || segments[static_cast<size_t>(known)].wrapStart >= 0) {
        for (int k = known + 1; k <= segment; ++k)
            measureWrapStart(line, segmentation, k,
                             k == 1 ? 0 : segments[static_cast<size_t>(k - 1)].wrapStart);
        return segments[static_cast<size_t>(segment)].wrapStart;
    }
    // Far into a very long line and far from any known row start: lay the rows out from a few
    // segments back. Greedy rows started earlier meet the line's own rows at their first shared
    // break, which in text of words comes within a few rows; in strongly periodic data they
    // may not, and a row where these rows meet the ones measured from elsewhere is shorter.
    return measureWrapStart(line, segmentation, segment,
                            segments[static_cast<size_t>(segment - kWarmUpSegments)].start);
}

std::int64_t TextLayoutModel::measureWrapStart(std::int64_t line, LineSegmentation& segmentation,
                                               int segment, std::int64_t from) {
    std::vector<LineSegment>& segments = segmentation.segments();
    LineSegment& wanted = segments[static_cast<size_t>(segment)];
    const TextRange lineExtent = lineRange(line);
    const std::int64_t target = wanted.start;
    const std::int64_t perRow =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(m_wrapWidth / m_advance));
    std::int64_t lookahead = kLookaheadRows * perRow + 16;
    std::int64_t found = target;
    for (int attempt = 0; attempt < 6; ++attempt, lookahead *= 2) {
        const std::int64_t end = std::min(segmentation.length(), target + lookahead);
        QTextLayout measure(displayText({lineExtent.location + from, end - from}), m_font);
        measure.setTextOption(textOption());
        m_laidOutCharacters += static_cast<std::uint64_t>(end - from);
        measure.beginLayout();
        for (QTextLine row = measure.createLine(); row.isValid(); row = measure.createLine())
            row.setLineWidth(m_wrapWidth);
        measure.endLayout();
        QTextLine row = measure.lineForTextPosition(static_cast<int>(target - from));
        if (!row.isValid())
            break;
        // The last row may be cut short by the end of what was measured: measure further.
        if (row.lineNumber() + 1 == measure.lineCount() && end < segmentation.length())
            continue;
        found = from + row.textStart();
        break;
    }
    // A row longer than the segment before (a very wide window): the segment keeps its own
    // start, so that every segment holds at least one row.
    if (found <= segments[static_cast<size_t>(segment - 1)].start)
        found = target;
    wanted.wrapStart = found;
    return found;
}

bool TextLayoutModel::realignWrapStarts(std::int64_t line, LineSegmentation& segmentation,
                                        const LineSegmentation::Change& change) {
    std::vector<LineSegment>& segments = segmentation.segments();
    const int count = segmentation.count();
    const int next = change.first + change.newCount; // the first segment after the change
    const std::int64_t kept = next < count ? segments[static_cast<size_t>(next)].wrapStart : -1;
    const int first = std::max(change.first - 1, 1);
    for (int k = first; k <= std::min(next, count - 1); ++k)
        segments[static_cast<size_t>(k)].wrapStart = -1;
    if (next >= count)
        return true;
    if (kept >= 0) {
        (void)wrapStart(line, segmentation, next); // measured from the segment before the edit
        if (segments[static_cast<size_t>(next)].wrapStart == kept)
            return true;
    }
    for (int k = next + 1; k < count; ++k)
        segments[static_cast<size_t>(k)].wrapStart = -1;
    return false;
}

} // namespace vendrix::app
