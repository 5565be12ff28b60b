#include "core/text/TextChunkCache.h"

#include "core/text/ChunkMemory.h"

#include <algorithm>
#include <limits>

namespace vendrix {

TextChunkCache::TextChunkCache(std::int64_t chunkUnits) : m_chunkUnits(std::max<std::int64_t>(chunkUnits, 1)) {}

std::int64_t TextChunkCache::totalLength() const {
    std::int64_t total = 0;
    for (const Entry& entry : m_entries)
        total += entry.length;
    return total;
}

std::size_t TextChunkCache::entryAt(std::int64_t offset) {
    if (m_cursor >= m_entries.size()) {
        m_cursor = 0;
        m_cursorStart = 0;
    }
    while (m_cursor > 0 && offset < m_cursorStart) {
        --m_cursor;
        m_cursorStart -= m_entries[m_cursor].length;
    }
    while (m_cursor + 1 < m_entries.size() && offset >= m_cursorStart + m_entries[m_cursor].length) {
        m_cursorStart += m_entries[m_cursor].length;
        ++m_cursor;
    }
    return m_cursor;
}

void TextChunkCache::mergeInto(std::size_t first, std::size_t last, std::int64_t length) {
    m_entries[first] = Entry{length, nullptr};
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                    m_entries.begin() + static_cast<std::ptrdiff_t>(last) + 1);
}

void TextChunkCache::noteReplace(std::int64_t location, std::int64_t removed, std::int64_t inserted) {
    if (m_entries.empty())
        return;
    std::size_t first = entryAt(location);
    std::int64_t firstStart = m_cursorStart;
    // A pure insertion on a boundary goes to a stale neighbour before it when there is one,
    // sparing the copied entry after the boundary.
    if (removed == 0 && location == firstStart && first > 0 && !m_entries[first - 1].units) {
        --first;
        firstStart -= m_entries[first].length;
    }
    // The last entry the removed units reach into.
    std::size_t last = first;
    std::int64_t lastEnd = firstStart + m_entries[first].length;
    while (lastEnd < location + removed && last + 1 < m_entries.size())
        lastEnd += m_entries[++last].length;
    const std::int64_t length = lastEnd - firstStart - removed + inserted;
    mergeInto(first, last, length);

    // A small stale run takes in a neighbour, so that edits do not leave slivers behind.
    if (length < m_chunkUnits / 4 && m_entries.size() > 1) {
        if (first + 1 < m_entries.size()) {
            mergeInto(first, first + 1, length + m_entries[first + 1].length);
        } else {
            firstStart -= m_entries[first - 1].length;
            mergeInto(first - 1, first, length + m_entries[first - 1].length);
            --first;
        }
    }
    m_cursor = first;
    m_cursorStart = firstStart;
}

std::int64_t TextChunkCache::staleUnits(std::int64_t textLength) const {
    if (m_entries.empty())
        return textLength;
    std::int64_t stale = 0;
    for (const Entry& entry : m_entries)
        if (!entry.units)
            stale += entry.length;
    return stale;
}

bool TextChunkCache::refresh(const TextSource& text, std::int64_t budget) {
    // A cache that lost track of the text's length (a change not reported) starts over
    // rather than hand out a copy of the wrong size.
    if (m_entries.empty() || totalLength() != text.length())
        m_entries.assign(1, Entry{text.length(), nullptr});
    m_cursor = 0;
    m_cursorStart = 0;

    std::int64_t copied = 0;
    bool current = true;
    std::int64_t start = 0;
    for (std::size_t i = 0; i < m_entries.size(); start += m_entries[i].length, ++i) {
        if (m_entries[i].units || m_entries[i].length == 0)
            continue;
        if (copied >= budget) {
            current = false;
            break;
        }
        // A stale run of up to one and a half chunks is copied whole; a longer one is split.
        const std::int64_t length = m_entries[i].length;
        const std::int64_t piece = length <= m_chunkUnits + m_chunkUnits / 2 ? length : m_chunkUnits;
        std::shared_ptr<char16_t[]> units = ChunkMemory::allocate(piece);
        text.copyUnits({start, piece}, units.get());
        if (piece < length)
            m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                             Entry{length - piece, nullptr});
        m_entries[i] = Entry{piece, std::move(units)};
        copied += piece;
    }
    return current;
}

TextChunkSnapshot TextChunkCache::snapshot(const TextSource& text, std::uint64_t revision) {
    refresh(text, std::numeric_limits<std::int64_t>::max());
    std::vector<TextChunkSnapshot::Chunk> chunks;
    chunks.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        chunks.push_back({entry.units, entry.length});
    return TextChunkSnapshot(std::move(chunks), revision);
}

void TextChunkCache::clear() {
    m_entries = {};
    m_cursor = 0;
    m_cursorStart = 0;
}

std::int64_t TextChunkCache::heldUnits() const {
    std::int64_t held = 0;
    for (const Entry& entry : m_entries)
        if (entry.units)
            held += entry.length;
    return held;
}

} // namespace vendrix
