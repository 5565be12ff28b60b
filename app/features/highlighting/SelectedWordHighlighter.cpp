#include "app/features/highlighting/SelectedWordHighlighter.h"

#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "app/features/highlighting/SyntaxTheme.h"
#include "app/view/EditorTextView.h"
#include "core/search/WordHighlight.h"
#include "core/text/TextStorage.h"

#include <algorithm>

namespace vendrix::app {

SelectedWordHighlighter::SelectedWordHighlighter(EditorContext& context,
                                                 std::function<bool()> enabled,
                                                 std::function<bool()> dark, QObject* parent)
    : QObject(parent), m_context(context), m_enabled(std::move(enabled)), m_dark(std::move(dark)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(delayMs);
    connect(&m_timer, &QTimer::timeout, this, &SelectedWordHighlighter::refresh);
}

void SelectedWordHighlighter::schedule() {
    m_timer.start();
}

void SelectedWordHighlighter::clear() {
    if (m_marked.empty())
        return;
    m_marked.clear();
    if (EditorTextView* view = m_context.textView()) {
        view->clearBackgroundLayer(BackgroundLayer::selectedWord);
        view->viewport()->update();
    }
}

void SelectedWordHighlighter::refresh() {
    m_timer.stop();
    EditorTextView* view = m_context.textView();
    EditorDocument* document = m_context.activeDocument();
    if (!view || !document || !document->isLoaded() || view->document() != document ||
        (m_enabled && !m_enabled())) {
        clear();
        return;
    }
    const TextStorage& text = *document->storage();
    const TextRange selection = view->selectedRange();
    if (selection.length < 1 || selection.length > WordHighlight::maxWordLength ||
        selection.end() > text.length()) {
        clear();
        return;
    }
    // Only the selection and the units around it are read, never the whole text (the
    // storage is a gap buffer; making it contiguous would move the gap).
    const std::int64_t aroundStart = std::max<std::int64_t>(0, selection.location - 1);
    const std::int64_t aroundEnd = std::min(text.length(), selection.end() + 1);
    const std::u16string around = text.substring({aroundStart, aroundEnd - aroundStart});
    const auto word =
        WordHighlight::candidate(around, {selection.location - aroundStart, selection.length});
    if (!word) {
        clear();
        return;
    }
    const TextRange visible = view->visibleCharacterRange();
    const std::int64_t windowStart = std::max<std::int64_t>(0, visible.location - 1);
    const std::int64_t windowEnd = std::min(text.length(), visible.end() + 1);
    const std::u16string window = text.substring({windowStart, windowEnd - windowStart});
    std::vector<TextRange> found =
        WordHighlight::occurrences(*word, window, {visible.location - windowStart, visible.length},
                                   WordHighlight::defaultLimit);
    std::vector<ColoredRange> ranges;
    std::vector<TextRange> marked;
    const QColor color = SyntaxTheme::selectedWord(m_dark && m_dark());
    for (TextRange range : found) {
        range.location += windowStart;
        if (range == selection)
            continue; // the selection shows itself
        ranges.push_back({range, color});
        marked.push_back(range);
    }
    if (marked == m_marked)
        return;
    m_marked = std::move(marked);
    view->setBackgroundLayer(BackgroundLayer::selectedWord, std::move(ranges));
    view->viewport()->update();
}

} // namespace vendrix::app
