#pragma once

#include "core/common/TextRange.h"
#include "core/common/TextSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// An immutable copy of a text at one revision, held as shared chunks of about a megabyte.
/// The storage keeps the chunks it handed out and replaces only those an edit touches, so
/// taking the next copy after some typing costs a chunk, not the whole text. Readers that
/// walk the text as a TextSource (the session writer) use it; readers that need one
/// contiguous string use TextSnapshot. Cheap to copy; safe to read from any thread.
class TextChunkSnapshot final : public TextSource {
public:
    struct Chunk {
        std::shared_ptr<const char16_t[]> units;
        std::int64_t length = 0;
    };

    TextChunkSnapshot() = default;
    /// `chunks` in text order; empty chunks are left out.
    TextChunkSnapshot(std::vector<Chunk> chunks, std::uint64_t revision);

    std::int64_t length() const override { return m_length; }
    void copyUnits(TextRange range, char16_t* out) const override;
    std::uint64_t revision() const { return m_revision; }

    std::size_t chunkCount() const { return m_chunks.size(); }
    /// The units of chunk `index` (< chunkCount()).
    std::u16string_view chunk(std::size_t index) const {
        return {m_chunks[index].units.get(), static_cast<std::size_t>(m_chunks[index].length)};
    }
    /// The shared storage of chunk `index`: equal pointers mean one copy of those units.
    const char16_t* chunkIdentity(std::size_t index) const { return m_chunks[index].units.get(); }
    /// The whole text as one string (a copy).
    std::u16string string() const;

private:
    std::vector<Chunk> m_chunks;
    std::vector<std::int64_t> m_starts; // offset of each chunk in the text
    std::int64_t m_length = 0;
    std::uint64_t m_revision = 0;
};

} // namespace vendrix
