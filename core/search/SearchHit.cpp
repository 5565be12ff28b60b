#include "core/search/SearchHit.h"

#include "core/search/UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <algorithm>
#include <memory>

namespace vendrix {

namespace {

/// A character break iterator per thread: creating one costs far more than using it.
icu::BreakIterator* characterBreaks() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> created(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(created) : nullptr;
    }();
    return iterator.get();
}

/// Widens [start, end) of `line` to whole composed characters.
void widenToCharacters(std::u16string_view line, std::int64_t& start, std::int64_t& end) {
    icu::BreakIterator* breaks = characterBreaks();
    if (!breaks)
        return;
    UErrorCode status = U_ZERO_ERROR;
    UText local = UTEXT_INITIALIZER;
    UText* text = utext_openUChars(&local, line.data(), static_cast<int64_t>(line.size()), &status);
    breaks->setText(text, status);
    if (U_SUCCESS(status)) {
        // The iterator moves an offset inside a surrogate pair to the pair's start before
        // looking for the previous boundary, so pairs are stepped over here first.
        if (unicodeText::splitsPair(line, start))
            --start;
        if (unicodeText::splitsPair(line, end))
            ++end;
        const auto lineLength = static_cast<std::int64_t>(line.size());
        if (start > 0 && !breaks->isBoundary(static_cast<int32_t>(start)))
            start = std::max<std::int64_t>(0, breaks->preceding(static_cast<int32_t>(start)));
        if (end < lineLength && !breaks->isBoundary(static_cast<int32_t>(end))) {
            std::int32_t next = breaks->following(static_cast<int32_t>(end));
            end = next == icu::BreakIterator::DONE ? lineLength : next;
        }
    }
    // The iterator keeps its own shallow clone of the UText; it is given new text before
    // every use, so the stale one is never read.
    utext_close(text);
}

} // namespace

std::u16string SearchHit::makePreview(std::u16string_view text, TextRange line,
                                      std::int64_t matchLocation, std::int64_t* previewColumn) {
    const auto textLength = static_cast<std::int64_t>(text.size());
    const std::int64_t lineStart = std::clamp<std::int64_t>(line.location, 0, textLength);
    const std::int64_t lineEnd = std::clamp<std::int64_t>(line.end(), lineStart, textLength);
    std::u16string_view lineText =
        text.substr(static_cast<size_t>(lineStart), static_cast<size_t>(lineEnd - lineStart));
    const auto lineLength = static_cast<std::int64_t>(lineText.size());

    std::int64_t start = 0;
    std::int64_t end = lineLength;
    if (lineLength > previewWindow) {
        const std::int64_t match = matchLocation - lineStart;
        start =
            std::max<std::int64_t>(0, std::min(lineLength - previewWindow, match - previewLead));
        end = start + previewWindow;
        widenToCharacters(lineText, start, end);
    }
    const bool leadingEllipsis = start > 0;
    const bool trailingEllipsis = end < lineLength;

    std::u16string excerpt(
        lineText.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
    std::replace(excerpt.begin(), excerpt.end(), u'\t', u' ');
    std::size_t stripped = 0;
    if (!leadingEllipsis) {
        stripped = std::min(excerpt.find_first_not_of(u' '), excerpt.size());
        excerpt.erase(0, stripped);
    }
    if (previewColumn) {
        const std::int64_t inExcerpt =
            matchLocation - lineStart - start - static_cast<std::int64_t>(stripped);
        *previewColumn =
            std::clamp<std::int64_t>(inExcerpt, 0, static_cast<std::int64_t>(excerpt.size())) +
            (leadingEllipsis ? 1 : 0);
    }

    std::u16string preview;
    preview.reserve(excerpt.size() + 2);
    if (leadingEllipsis)
        preview.push_back(u'\u2026');
    preview += excerpt;
    if (trailingEllipsis)
        preview.push_back(u'\u2026');
    return preview;
}

} // namespace vendrix
