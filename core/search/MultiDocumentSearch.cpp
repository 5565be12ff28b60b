#include "core/search/MultiDocumentSearch.h"

#include "core/search/MatchEnumeration.h"
#include "core/text/LineIndex.h"

#include <cstdint>

namespace vendrix {

std::expected<MultiDocumentResult, SearchFailure>
MultiDocumentSearch::search(const SearchPattern& pattern, std::span<const SearchDocument> documents,
                            std::int64_t limit, const SearchBudget& budget) {
    MultiDocumentResult result;
    std::vector<TextRange> ranges;
    for (const SearchDocument& document : documents) {
        const std::int64_t remaining = limit - static_cast<std::int64_t>(result.hits.size());
        if (remaining < 1) {
            result.truncated = true;
            break;
        }
        ranges.clear();
        bool documentTruncated = false;
        const std::u16string_view text = document.text;
        auto failure = enumerateMatchRanges(
            pattern, text, TextRange{0, static_cast<std::int64_t>(text.size())}, budget,
            remaining < INT64_MAX ? remaining + 1 : remaining, [&](TextRange match) {
                if (static_cast<std::int64_t>(ranges.size()) >= remaining) {
                    documentTruncated = true;
                    return false;
                }
                ranges.push_back(match);
                return true;
            });
        if (failure)
            return std::unexpected(*failure);
        if (ranges.empty())
            continue;
        ++result.documentCount;
        result.truncated = result.truncated || documentTruncated;
        // Only documents with hits pay for a line index.
        const LineIndex index(text);
        std::int64_t line = 0;
        for (const TextRange& range : ranges) {
            while (line + 1 < index.lineCount() &&
                   index.lineStart(line + 1) <= range.location)
                ++line;
            SearchHit hit;
            hit.documentID = document.id;
            hit.range = range;
            hit.line = line;
            hit.column = range.location - index.lineStart(line);
            hit.preview =
                SearchHit::makePreview(text, index.range(line), range.location, &hit.previewColumn);
            result.hits.push_back(std::move(hit));
        }
    }
    return result;
}

} // namespace vendrix
