#include "app/features/search/MatchHighlighter.h"

#include "app/context/EditorContext.h"
#include "app/view/EditorTextView.h"

#include <QColor>

namespace vendrix::app {
namespace {

std::vector<ColoredRange> colored(const std::vector<TextRange>& ranges, const QColor& color) {
    std::vector<ColoredRange> result;
    result.reserve(ranges.size());
    for (const TextRange& range : ranges)
        if (!range.empty())
            result.push_back({range, color});
    return result;
}

} // namespace

void MatchHighlighter::setFindRanges(std::vector<TextRange> ranges) {
    findRanges = std::move(ranges);
    if (EditorTextView* view = ctx.textView()) {
        if (findRanges.empty())
            view->clearBackgroundLayer(BackgroundLayer::findMatches);
        else
            view->setBackgroundLayer(BackgroundLayer::findMatches,
                                     colored(findRanges, findColor()));
    }
}

bool MatchHighlighter::setWordRanges(std::vector<TextRange> ranges) {
    if (ranges == wordRanges)
        return false;
    wordRanges = std::move(ranges);
    if (EditorTextView* view = ctx.textView()) {
        if (wordRanges.empty())
            view->clearBackgroundLayer(BackgroundLayer::selectedWord);
        else
            view->setBackgroundLayer(BackgroundLayer::selectedWord,
                                     colored(wordRanges, wordColor()));
    }
    return true;
}

void MatchHighlighter::redraw() const {
    EditorTextView* view = ctx.textView();
    if (!view)
        return;
    view->setBackgroundLayer(BackgroundLayer::findMatches, colored(findRanges, findColor()));
    view->setBackgroundLayer(BackgroundLayer::selectedWord, colored(wordRanges, wordColor()));
}

QColor MatchHighlighter::findColor() {
    // Light enough under the dark theme's text to keep 4.5:1.
    return {255, 214, 0, 80};
}

QColor MatchHighlighter::wordColor() {
    return {120, 160, 255, 70};
}

void MatchHighlighter::clear() {
    setFindRanges({});
    setWordRanges({});
}

} // namespace vendrix::app
