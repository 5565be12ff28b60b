#include "app/view/TemporaryAttributes.h"

#include "core/common/OffsetAfterEdit.h"

#include <algorithm>

namespace vendrix::app {
namespace {

std::size_t index(ForegroundLayer layer) {
    return static_cast<std::size_t>(layer);
}

std::size_t index(BackgroundLayer layer) {
    return static_cast<std::size_t>(layer);
}

} // namespace

void TemporaryAttributes::addForeground(ForegroundLayer layer, TextRange range,
                                        const QColor& color, bool underline) {
    m_foregrounds[index(layer)].add(range, color, underline);
}

void TemporaryAttributes::removeForeground(ForegroundLayer layer, TextRange range) {
    m_foregrounds[index(layer)].remove(range);
}

void TemporaryAttributes::clearForeground(ForegroundLayer layer) {
    m_foregrounds[index(layer)].clear();
}

std::vector<TemporaryAttributes::Run> TemporaryAttributes::foreground(ForegroundLayer layer,
                                                                      TextRange range) const {
    return m_foregrounds[index(layer)].overlapping(range);
}

std::vector<TemporaryAttributes::Run>
TemporaryAttributes::effectiveForeground(TextRange range) const {
    // Paint the layers bottom to top into one set of runs; most views hold one layer only.
    const ColorRuns* only = nullptr;
    int used = 0;
    for (const ColorRuns& runs : m_foregrounds) {
        if (!runs.empty()) {
            only = &runs;
            ++used;
        }
    }
    if (used == 0)
        return {};
    if (used == 1)
        return only->overlapping(range);
    ColorRuns merged;
    for (const ColorRuns& runs : m_foregrounds)
        for (const Run& run : runs.overlapping(range))
            merged.add({run.start, run.end - run.start}, run.color, run.underline);
    return merged.overlapping(range);
}

void TemporaryAttributes::setBackground(BackgroundLayer layer, std::vector<ColoredRange> ranges,
                                        bool fullWidth) {
    std::sort(ranges.begin(), ranges.end(), [](const ColoredRange& a, const ColoredRange& b) {
        return a.range.location < b.range.location;
    });
    m_backgrounds[index(layer)] = {std::move(ranges), fullWidth};
}

void TemporaryAttributes::clearBackground(BackgroundLayer layer) {
    m_backgrounds[index(layer)].ranges.clear();
}

std::vector<ColoredRange> TemporaryAttributes::backgroundRanges(BackgroundLayer layer,
                                                                TextRange range) const {
    const std::vector<ColoredRange>& ranges = m_backgrounds[index(layer)].ranges;
    std::vector<ColoredRange> result;
    // Ranges are sorted by location and do not overlap within a layer, so their ends are
    // sorted too: walk back from the first range that begins after `range`.
    auto it = std::upper_bound(
        ranges.begin(), ranges.end(), range.end(),
        [](std::int64_t s, const ColoredRange& r) { return s < r.range.location; });
    while (it != ranges.begin()) {
        --it;
        if (it->range.end() < range.location)
            break;
        result.push_back(*it);
    }
    std::reverse(result.begin(), result.end());
    return result;
}

void TemporaryAttributes::textChanged(TextRange edited, std::int64_t delta) {
    for (ColorRuns& runs : m_foregrounds)
        runs.textChanged(edited, delta);
    for (Layer& layer : m_backgrounds)
        for (ColoredRange& colored : layer.ranges)
            colored.range = rangeAfterEdit(colored.range, edited, delta);
}

void TemporaryAttributes::clear() {
    for (ColorRuns& runs : m_foregrounds)
        runs.clear();
    for (Layer& layer : m_backgrounds)
        layer = {};
}

} // namespace vendrix::app
