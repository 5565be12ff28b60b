// How the layout model follows edits of the text: only what an edit touched is laid out again.
#include "app/view/TextLayoutModel.h"

#include "app/document/EditorDocument.h"
#include "core/text/LineIndex.h"
#include "core/text/TextStorage.h"

#include <algorithm>
#include <vector>

namespace vendrix::app {

void TextLayoutModel::textChanged(TextRange edited, std::int64_t delta, std::int64_t oldLineCount) {
    if (!m_document)
        return;
    const LineIndex& index = m_document->lineIndex();
    if (edited.location == 0 && edited.length == index.length()) {
        // Nothing of the old text is left (a replace-all, a whole-document format, undo of
        // one): start over as for a new text. Layouts come back only for what is drawn.
        m_longestLine = index.longestLineLength();
        invalidateAll();
        return;
    }
    const std::int64_t lineDelta = index.lineCount() - oldLineCount;
    const std::int64_t firstLine = index.lineNumber(edited.location);
    const std::int64_t newLastLine = index.lineNumber(edited.end());
    const std::int64_t oldLastLine = newLastLine - lineDelta;

    for (std::int64_t line = firstLine; line <= newLastLine; ++line)
        m_longestLine = std::max(m_longestLine, index.range(line).length);

    if (lineDelta == 0 && firstLine == newLastLine) {
        // Layouts of later lines stay valid; only their offsets move.
        if (delta != 0)
            for (auto& [key, entry] : m_cache)
                if (key.line > firstLine)
                    entry->range.location += delta;
        auto it = m_long.find(firstLine);
        if (it == m_long.end()) {
            dropLayouts(firstLine, firstLine);
            refreshLineRows(firstLine);
            return;
        }
        TextRange range = index.range(firstLine);
        if (range.length < LineSegmentation::kThreshold / 2) {
            m_long.erase(it);
            dropLayouts(firstLine, firstLine);
            refreshLineRows(firstLine);
            return;
        }
        LineSegmentation::Change change =
            it->second.update(*m_document->storage(), range, edited.location - range.location,
                              edited.length - delta, edited.length);
        // Keep the layouts of untouched segments; renumber those after the change. Wrapped,
        // the rows of the segment before may end differently, and those after keep theirs
        // only when the line's rows meet again at their start.
        int keepBefore = change.first;
        bool keepAfter = true;
        if (wraps()) {
            keepBefore = std::max(change.first - 1, 0);
            keepAfter = realignWrapStarts(firstLine, it->second, change);
        }
        std::unordered_map<Key, std::unique_ptr<Segment>, KeyHash> kept;
        const int shift = change.newCount - change.oldCount;
        for (auto& [key, entry] : m_cache) {
            if (key.line != firstLine || key.segment < keepBefore) {
                kept.emplace(key, std::move(entry));
            } else if (keepAfter && key.segment >= change.first + change.oldCount) {
                entry->range.location += delta;
                kept.emplace(Key{key.line, key.segment + shift}, std::move(entry));
            }
        }
        m_cache = std::move(kept);
        if (wraps()) {
            auto& segments = it->second.segments();
            const int last = keepAfter ? change.first + change.newCount : it->second.count();
            for (int k = keepBefore; k < last; ++k) {
                segments[static_cast<size_t>(k)].rows =
                    estimateRows(it->second.segmentEnd(k) - segments[static_cast<size_t>(k)].start);
                segments[static_cast<size_t>(k)].rowsExact = false;
            }
            refreshLineRows(firstLine);
        }
        return;
    }

    // Lines were added or removed: renumber what follows.
    std::unordered_map<std::int64_t, LineSegmentation> keptLong;
    for (auto& [line, segmentation] : m_long) {
        if (line < firstLine)
            keptLong.emplace(line, std::move(segmentation));
        else if (line > oldLastLine)
            keptLong.emplace(line + lineDelta, std::move(segmentation));
    }
    m_long = std::move(keptLong);
    std::unordered_map<Key, std::unique_ptr<Segment>, KeyHash> kept;
    for (auto& [key, entry] : m_cache) {
        if (key.line < firstLine) {
            kept.emplace(key, std::move(entry));
        } else if (key.line > oldLastLine) {
            entry->range.location += delta;
            kept.emplace(Key{key.line + lineDelta, key.segment}, std::move(entry));
        }
    }
    m_cache = std::move(kept);
    if (wraps()) {
        std::vector<std::int32_t> rows;
        for (std::int64_t line = firstLine; line <= newLastLine; ++line)
            rows.push_back(estimateRows(index.range(line).length));
        m_rows.splice(firstLine, oldLastLine - firstLine + 1, rows);
    }
}

} // namespace vendrix::app
