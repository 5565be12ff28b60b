#pragma once

#include "core/common/TextRange.h"

#include <QColor>

#include <vector>

namespace vendrix::app {

class EditorContext;

/// The ranges marked in the text view for the find bar: the matches of the last live count
/// and the occurrences of the selected word. Each set is a background layer of its own, so
/// neither overwrites the other or the syntax colours. Main thread only.
class MatchHighlighter {
public:
    explicit MatchHighlighter(EditorContext& context) : ctx(context) {}

    EditorContext& ctx;
    std::vector<TextRange> findRanges;
    std::vector<TextRange> wordRanges;

    /// Stores and draws the find matches (empty: clears the layer).
    void setFindRanges(std::vector<TextRange> ranges);
    /// Stores and draws the word occurrences; false when they equal the ones shown.
    bool setWordRanges(std::vector<TextRange> ranges);
    /// Lays both sets on the text view again (after it shows another document).
    void redraw() const;
    void clear();

    /// The marks' colours (over the text's background, below the selection).
    static QColor findColor();
    static QColor wordColor();
};

} // namespace vendrix::app
