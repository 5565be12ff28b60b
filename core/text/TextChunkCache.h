#pragma once

#include "core/common/TextSource.h"
#include "core/text/TextChunkSnapshot.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vendrix {

/// Copies of a changing text in chunks, kept across edits: an edit marks only the chunks it
/// touches as stale (the units after it keep their copies, at shifted offsets), and
/// refresh() copies stale parts a bounded amount at a time, so the owner can spread the
/// first copy of a large text over several event-loop turns and later copies cost only what
/// changed. The owner reports every change of its text through noteReplace(); a text
/// changed behind the cache's back is served stale. Inactive (holding nothing) until the
/// first refresh() or snapshot(); clear() makes it inactive again. Not thread-safe; the
/// snapshots it hands out are.
class TextChunkCache {
public:
    /// 512 Ki units: a megabyte per chunk.
    static constexpr std::int64_t defaultChunkUnits = std::int64_t{1} << 19;

    explicit TextChunkCache(std::int64_t chunkUnits = defaultChunkUnits);

    bool isActive() const { return !m_entries.empty(); }
    /// Units [location, location + removed) of the text were replaced by `inserted` units.
    void noteReplace(std::int64_t location, std::int64_t removed, std::int64_t inserted);
    /// Units of the text (of length `textLength`) not copied yet: all of them while inactive.
    std::int64_t staleUnits(std::int64_t textLength) const;
    /// Copies stale parts of `text`, chunk by chunk, until at least `budget` units were
    /// copied or nothing is stale. True when every unit is current.
    bool refresh(const TextSource& text, std::int64_t budget);
    /// The current copy of `text`, copying whatever is stale first.
    TextChunkSnapshot snapshot(const TextSource& text, std::uint64_t revision);
    /// Drops every copy (snapshots handed out keep theirs) and becomes inactive.
    void clear();
    /// Units held in copies (those shared with snapshots counted once, here).
    std::int64_t heldUnits() const;
    std::size_t entryCount() const { return m_entries.size(); }

private:
    /// A run of the text: copied (units set) or stale.
    struct Entry {
        std::int64_t length = 0;
        std::shared_ptr<const char16_t[]> units;
    };

    std::int64_t totalLength() const;
    /// The entry holding `offset` (the last one for the end of the text); moves the cursor.
    std::size_t entryAt(std::int64_t offset);
    void mergeInto(std::size_t first, std::size_t last, std::int64_t length);

    std::int64_t m_chunkUnits;
    std::vector<Entry> m_entries; // cover the text in order, without gaps
    // The last entry found and its offset: edits and lookups near each other stay cheap.
    std::size_t m_cursor = 0;
    std::int64_t m_cursorStart = 0;
};

} // namespace vendrix
