#include "core/editing/TextNavigation.h"

#include "core/common/TextSource.h"
#include "core/editing/Unicode.h"
#include "core/text/LineIndex.h"

#include <algorithm>
#include <string>

namespace vendrix {
namespace {

/// Clusters longer than this are cut (a pathological stack of combining marks).
constexpr std::int64_t kWindow = 96;
/// Word moves read the line in chunks of this many units.
constexpr std::int64_t kChunk = 4096;

using unicode::WordClass;

std::u16string readWindow(const TextSource& text, TextRange range) {
    std::u16string window(static_cast<std::size_t>(range.length), u'\0');
    text.copyUnits(range, window.data());
    return window;
}

WordClass classOf(std::u16string_view units, std::size_t at) {
    return unicode::wordClass(unicode::scalarAt(units, at).value);
}

/// Visits the clusters of [from, limit) in order as (start, end, class) until `visit` returns
/// false. `limit` is a line's end, so no cluster crosses it.
template <typename Visit>
void scanForward(const TextSource& text, std::int64_t from, std::int64_t limit, Visit&& visit) {
    std::int64_t position = from;
    while (position < limit) {
        const std::int64_t chunkEnd = std::min(limit, position + kChunk);
        const std::u16string units = readWindow(text, {position, chunkEnd - position});
        unicode::GraphemeClusters clusters(units);
        std::size_t at = 0;
        while (at < units.size()) {
            std::size_t end = clusters.clusterEnd(at);
            // A cluster touching the chunk's end may go on past it: read it with the next chunk.
            if (end == units.size() && chunkEnd < limit && at > 0)
                break;
            if (!visit(position + static_cast<std::int64_t>(at),
                       position + static_cast<std::int64_t>(end), classOf(units, at)))
                return;
            at = end;
        }
        position += static_cast<std::int64_t>(at);
    }
}

/// Visits the clusters of [limit, from) backwards as (start, end, class) until `visit`
/// returns false. `limit` is a line's start.
template <typename Visit>
void scanBackward(const TextSource& text, std::int64_t from, std::int64_t limit, Visit&& visit) {
    std::int64_t position = from;
    while (position > limit) {
        const std::int64_t chunkStart = std::max(limit, position - kChunk);
        const std::u16string units = readWindow(text, {chunkStart, position - chunkStart});
        unicode::GraphemeClusters clusters(units);
        std::size_t at = units.size();
        while (at > 0) {
            std::size_t start = clusters.clusterStart(at);
            if (start == 0 && chunkStart > limit && at < units.size())
                break;
            if (!visit(chunkStart + static_cast<std::int64_t>(start),
                       chunkStart + static_cast<std::int64_t>(at), classOf(units, start)))
                return;
            at = start;
        }
        position = chunkStart + static_cast<std::int64_t>(at);
    }
}

} // namespace

std::int64_t TextNavigation::nextCharacter(std::int64_t offset) const {
    const std::int64_t length = m_text.length();
    if (offset >= length)
        return length;
    offset = std::max<std::int64_t>(offset, 0);
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (offset >= line.end())
        return std::min(offset + 1, length); // the LF
    std::int64_t end = std::min(line.end(), offset + kWindow);
    std::u16string window = readWindow(m_text, {offset, end - offset});
    return offset + static_cast<std::int64_t>(unicode::GraphemeClusters(window).clusterEnd(0));
}

std::int64_t TextNavigation::previousCharacter(std::int64_t offset) const {
    if (offset <= 0)
        return 0;
    offset = std::min(offset, m_text.length());
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (offset <= line.location)
        return offset - 1; // back over the LF
    std::int64_t start = std::max(line.location, offset - kWindow);
    std::u16string window = readWindow(m_text, {start, offset - start});
    return start +
           static_cast<std::int64_t>(unicode::GraphemeClusters(window).clusterStart(window.size()));
}

std::int64_t TextNavigation::snapToCharacter(std::int64_t offset) const {
    offset = std::clamp<std::int64_t>(offset, 0, m_text.length());
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (offset <= line.location || offset >= line.end())
        return offset;
    std::int64_t start = std::max(line.location, offset - kWindow);
    std::int64_t end = std::min(line.end(), offset + kWindow);
    std::u16string window = readWindow(m_text, {start, end - start});
    unicode::GraphemeClusters clusters(window);
    const auto at = static_cast<std::size_t>(offset - start);
    if (clusters.isBoundary(at))
        return offset;
    return start + static_cast<std::int64_t>(clusters.clusterStart(at + 1));
}

std::int64_t TextNavigation::nextWordEnd(std::int64_t offset) const {
    const std::int64_t length = m_text.length();
    if (offset >= length)
        return length;
    offset = snapToCharacter(std::max<std::int64_t>(offset, 0));
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (offset >= line.end())
        return offset + 1; // the LF
    // Skip white space, then one run of the class found there.
    std::int64_t result = line.end();
    bool inRun = false;
    WordClass run = WordClass::space;
    scanForward(m_text, offset, line.end(), [&](std::int64_t, std::int64_t end, WordClass kind) {
        if (!inRun) {
            if (kind == WordClass::space)
                return true;
            inRun = true;
            run = kind;
        } else if (kind != run) {
            return false;
        }
        result = end;
        return true;
    });
    return result;
}

std::int64_t TextNavigation::previousWordStart(std::int64_t offset) const {
    if (offset <= 0)
        return 0;
    offset = snapToCharacter(std::min(offset, m_text.length()));
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (offset <= line.location)
        return offset - 1; // back over the LF
    std::int64_t result = line.location;
    bool inRun = false;
    WordClass run = WordClass::space;
    scanBackward(m_text, offset, line.location,
                 [&](std::int64_t start, std::int64_t, WordClass kind) {
                     if (!inRun) {
                         if (kind == WordClass::space)
                             return true;
                         inRun = true;
                         run = kind;
                     } else if (kind != run) {
                         return false;
                     }
                     result = start;
                     return true;
                 });
    return result;
}

TextRange TextNavigation::wordRange(std::int64_t offset) const {
    if (m_text.length() == 0)
        return {0, 0};
    offset = std::clamp<std::int64_t>(offset, 0, m_text.length());
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (line.length == 0)
        return {line.location, 0};
    offset = snapToCharacter(std::min(offset, line.end() - 1));
    WordClass run = WordClass::space;
    std::int64_t end = offset;
    bool first = true;
    scanForward(m_text, offset, line.end(), [&](std::int64_t, std::int64_t to, WordClass kind) {
        if (first) {
            run = kind;
            first = false;
        } else if (kind != run) {
            return false;
        }
        end = to;
        return true;
    });
    std::int64_t start = offset;
    scanBackward(m_text, offset, line.location,
                 [&](std::int64_t from, std::int64_t, WordClass kind) {
                     if (kind != run)
                         return false;
                     start = from;
                     return true;
                 });
    return {start, end - start};
}

TextRange TextNavigation::lineRangeWithBreak(std::int64_t offset) const {
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    std::int64_t end = std::min(line.end() + 1, m_text.length());
    return {line.location, end - line.location};
}

} // namespace vendrix
