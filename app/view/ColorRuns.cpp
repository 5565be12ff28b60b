#include "app/view/ColorRuns.h"

#include "core/common/OffsetAfterEdit.h"

#include <algorithm>

namespace vendrix::app {

void ColorRuns::remove(TextRange range) {
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

void ColorRuns::add(TextRange range, const QColor& color, bool underline) {
    if (range.length <= 0)
        return;
    remove(range);
    Run run{range.location, range.end(), color, underline};
    auto at = std::lower_bound(m_runs.begin(), m_runs.end(), run.start,
                               [](const Run& r, std::int64_t s) { return r.start < s; });
    m_runs.insert(at, run);
}

std::vector<ColorRuns::Run> ColorRuns::overlapping(TextRange range) const {
    std::vector<Run> result;
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), range.location,
                               [](std::int64_t s, const Run& r) { return s < r.end; });
    for (; it != m_runs.end() && it->start < range.end(); ++it)
        result.push_back(*it);
    return result;
}

void ColorRuns::textChanged(TextRange edited, std::int64_t delta) {
    const std::int64_t oldEnd = edited.end() - delta;
    if (oldEnd > edited.location)
        remove({edited.location, oldEnd - edited.location});
    for (Run& run : m_runs) {
        TextRange moved = rangeAfterEdit({run.start, run.end - run.start}, edited, delta);
        run.start = moved.location;
        run.end = moved.end();
    }
    std::erase_if(m_runs, [](const Run& r) { return r.end <= r.start; });
}

} // namespace vendrix::app
