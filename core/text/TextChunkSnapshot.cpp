#include "core/text/TextChunkSnapshot.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

namespace vendrix {

TextChunkSnapshot::TextChunkSnapshot(std::vector<Chunk> chunks, std::uint64_t revision)
    : m_revision(revision) {
    std::erase_if(chunks, [](const Chunk& chunk) { return chunk.length <= 0; });
    m_chunks = std::move(chunks);
    m_starts.reserve(m_chunks.size());
    for (const Chunk& chunk : m_chunks) {
        m_starts.push_back(m_length);
        m_length += chunk.length;
    }
}

void TextChunkSnapshot::copyUnits(TextRange range, char16_t* out) const {
    assert(range.fits(m_length) && "TextChunkSnapshot::copyUnits: range outside the text");
    if (range.length <= 0 || !range.fits(m_length))
        return;
    // The last chunk starting at or before the range.
    auto index = static_cast<std::size_t>(
        std::upper_bound(m_starts.begin(), m_starts.end(), range.location) - m_starts.begin() - 1);
    std::int64_t at = range.location;
    const std::int64_t end = range.end();
    while (at < end) {
        const Chunk& chunk = m_chunks[index];
        const std::int64_t offset = at - m_starts[index];
        const std::int64_t count = std::min(chunk.length - offset, end - at);
        std::memcpy(out, chunk.units.get() + offset, static_cast<std::size_t>(count) * sizeof(char16_t));
        out += count;
        at += count;
        ++index;
    }
}

std::u16string TextChunkSnapshot::string() const {
    std::u16string text;
    text.reserve(static_cast<std::size_t>(m_length));
    for (std::size_t i = 0; i < m_chunks.size(); ++i)
        text.append(chunk(i));
    return text;
}

} // namespace vendrix
