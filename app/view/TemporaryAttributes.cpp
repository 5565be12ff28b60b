#include "app/view/TemporaryAttributes.h"

#include <algorithm>

namespace vendrix::app {

void TemporaryAttributes::removeForeground(TextRange range) {
    if (range.length <= 0 || m_runs.empty())
        return;
    const std::int64_t start = range.location;
    const std::int64_t end = range.end();
    // First run that ends after `start`.
    auto first = std::upper_bound(m_runs.begin(), m_runs.end(), start,
                                  [](std::int64_t s, const Run& r) { return s < r.end; });
    std::vector<Run> pieces;
    auto last = first;
    for (; last != m_runs.end() && last->start < end; ++last) {
        if (last->start < start)
            pieces.push_back({last->start, start, last->color, last->underline});
        if (last->end > end)
            pieces.push_back({end, last->end, last->color, last->underline});
    }
    auto at = m_runs.erase(first, last);
    m_runs.insert(at, pieces.begin(), pieces.end());
}

void TemporaryAttributes::addForeground(TextRange range, const QColor& color, bool underline) {
    if (range.length <= 0)
        return;
    removeForeground(range);
    Run run{range.location, range.end(), color, underline};
    auto at = std::lower_bound(m_runs.begin(), m_runs.end(), run.start,
                               [](const Run& r, std::int64_t s) { return r.start < s; });
    m_runs.insert(at, run);
}

std::vector<TemporaryAttributes::Run> TemporaryAttributes::foreground(TextRange range) const {
    std::vector<Run> result;
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), range.location,
                               [](std::int64_t s, const Run& r) { return s < r.end; });
    for (; it != m_runs.end() && it->start < range.end(); ++it)
        result.push_back(*it);
    return result;
}

void TemporaryAttributes::setLayer(const QString& name, std::vector<ColoredRange> ranges,
                                   bool fullWidth) {
    std::sort(ranges.begin(), ranges.end(), [](const ColoredRange& a, const ColoredRange& b) {
        return a.range.location < b.range.location;
    });
    for (Layer& layer : m_layers) {
        if (layer.name == name) {
            layer.ranges = std::move(ranges);
            layer.fullWidth = fullWidth;
            return;
        }
    }
    m_layers.push_back({name, std::move(ranges), fullWidth});
}

void TemporaryAttributes::clearLayer(const QString& name) {
    for (Layer& layer : m_layers)
        if (layer.name == name)
            layer.ranges.clear();
}

std::vector<ColoredRange> TemporaryAttributes::layerRanges(const Layer& layer,
                                                           TextRange range) const {
    std::vector<ColoredRange> result;
    // Ranges are sorted by location and do not overlap within a layer, so their ends are
    // sorted too: walk back from the first range that begins after `range`.
    auto it = std::upper_bound(layer.ranges.begin(), layer.ranges.end(), range.end(),
                               [](std::int64_t s, const ColoredRange& r) {
                                   return s < r.range.location;
                               });
    while (it != layer.ranges.begin()) {
        --it;
        if (it->range.end() < range.location)
            break;
        result.push_back(*it);
    }
    std::reverse(result.begin(), result.end());
    return result;
}

void TemporaryAttributes::textChanged(TextRange edited, std::int64_t delta) {
    const std::int64_t oldEnd = edited.location + edited.length - delta;
    // Text inserted at a range's start goes before it, at its end after it; a range's part
    // inside the replaced text shrinks away.
    auto moveStart = [&](std::int64_t p) {
        if (p < edited.location)
            return p;
        return p >= oldEnd ? p + delta : edited.end();
    };
    auto moveEnd = [&](std::int64_t p) {
        if (p <= edited.location)
            return p;
        return p >= oldEnd ? p + delta : edited.location;
    };
    if (oldEnd > edited.location)
        removeForeground({edited.location, oldEnd - edited.location});
    for (Run& run : m_runs) {
        run.start = moveStart(run.start);
        run.end = std::max(run.start, moveEnd(run.end));
    }
    std::erase_if(m_runs, [](const Run& r) { return r.end <= r.start; });
    for (Layer& layer : m_layers) {
        for (ColoredRange& colored : layer.ranges) {
            std::int64_t start = moveStart(colored.range.location);
            std::int64_t end = std::max(start, moveEnd(colored.range.end()));
            colored.range = {start, end - start};
        }
    }
}

void TemporaryAttributes::clear() {
    m_runs.clear();
    m_layers.clear();
}

} // namespace vendrix::app
