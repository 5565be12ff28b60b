#pragma once

#include "core/common/TextRange.h"

#include <QColor>

#include <cstdint>
#include <vector>

namespace vendrix::app {

/// Foreground colour runs over a text: sorted, never overlapping; setting a colour on a range
/// replaces what was there.
class ColorRuns {
public:
    struct Run {
        std::int64_t start = 0;
        std::int64_t end = 0;
        QColor color;
        bool underline = false;
    };

    /// Sets the colour of `range`, replacing what was there.
    void add(TextRange range, const QColor& color, bool underline = false);
    /// Removes the colour from `range` (runs reaching past it keep their outer parts).
    void remove(TextRange range);
    void clear() { m_runs.clear(); }
    /// The runs overlapping `range`, in order (whole runs, not cut to the range).
    std::vector<Run> overlapping(TextRange range) const;
    std::size_t size() const { return m_runs.size(); }
    bool empty() const { return m_runs.empty(); }

    /// Follows an edit (`editedRange` holds the new text, `changeInLength` is new minus old
    /// length): the colour of replaced text is dropped, text inserted inside a run takes its
    /// colour, text inserted at a run's edge does not.
    void textChanged(TextRange editedRange, std::int64_t changeInLength);

private:
    std::vector<Run> m_runs;
};

} // namespace vendrix::app
