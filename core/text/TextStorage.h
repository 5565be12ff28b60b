#pragma once

#include "core/common/TextRange.h"
#include "core/common/TextSource.h"
#include "core/text/TextChunkCache.h"
#include "core/text/TextChunkSnapshot.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vendrix {

/// An immutable copy of a document's text at one revision, for background work (search,
/// session writes, formatting) that reads while the user keeps typing. Cheap to copy.
class TextSnapshot final : public TextSource {
public:
    TextSnapshot() : m_text(std::make_shared<const std::u16string>()) {}
    TextSnapshot(std::shared_ptr<const std::u16string> text, std::uint64_t revision)
        : m_text(std::move(text)), m_revision(revision) {}

    std::int64_t length() const override { return static_cast<std::int64_t>(m_text->size()); }
    void copyUnits(TextRange range, char16_t* out) const override {
        m_text->copy(out, static_cast<size_t>(range.length), static_cast<size_t>(range.location));
    }
    std::u16string_view view() const { return *m_text; }
    std::uint64_t revision() const { return m_revision; }

private:
    friend class TextStorage; // keeps a snapshot it installed as its own cached copy

    std::shared_ptr<const std::u16string> m_text;
    std::uint64_t m_revision = 0;
};

/// The editor's text: UTF-16 code units of an LF-only text in a gap buffer, with one mutation,
/// replace(). Reading never moves the gap except through contiguous(). Not thread-safe: only
/// the owning (main) thread touches it; other threads read snapshots.
class TextStorage final : public TextSource {
public:
    TextStorage();
    /// A storage holding `text` at `revision` (an owner that numbers its texts itself starts
    /// a new storage where the old one left off).
    explicit TextStorage(std::u16string_view text, std::uint64_t revision = 0);
    /// A storage that takes over `text`, without copying it when its capacity leaves room for
    /// the editing gap (see gapToOpenWith()): a freshly decoded file of a gigabyte is not
    /// copied again.
    static std::unique_ptr<TextStorage> adopting(std::u16string&& text, std::uint64_t revision);

    /// Spare units after a text of `length` units that a storage opened on it keeps for
    /// typing; a decoder that reserves them spares the storage a copy.
    static std::int64_t gapToOpenWith(std::int64_t length);

    std::int64_t length() const override;
    void copyUnits(TextRange range, char16_t* out) const override;

    /// The unit at `offset` (0 <= offset < length()).
    char16_t at(std::int64_t offset) const;
    /// A copy of `range`, clamped to the text.
    std::u16string substring(TextRange range) const;
    /// The whole text as one string (a copy).
    std::u16string string() const;

    /// The units of `range` as one contiguous view, moving the gap out of the range if it lies
    /// inside. Valid until the next replace() or contiguous() call.
    std::u16string_view contiguous(TextRange range);
    /// The whole text as one contiguous view (moves the gap to the end).
    std::u16string_view contiguous() { return contiguous({0, length()}); }
    /// The units of `range` (clamped) as at most two views, the part before the gap first,
    /// without moving the gap. The second view is empty when the range does not span the gap.
    /// Valid until the next replace() or contiguous() call.
    std::pair<std::u16string_view, std::u16string_view> pieces(TextRange range) const;

    /// Replaces `range` (clamped to the text) by `text`; the one way the text changes.
    /// Bumps revision() by one.
    void replace(TextRange range, std::u16string_view text);
    /// Replaces the whole text by the text of `text` (bumping revision() by one, like
    /// replace()) and keeps that immutable string as the cached copy snapshot() hands out, so
    /// a whole-text change costs one copy into the buffer and none for its next snapshot. The
    /// buffer is reused when the text fits it.
    void replaceAll(const TextSnapshot& text);
    /// Increases by one on every replace() or replaceAll() unless the owner renumbers it.
    std::uint64_t revision() const { return m_revision; }
    /// Renumbers the current text: an owner that counts its own steps (one step made of
    /// several replace() calls) keeps the storage, and so its snapshots, on its count. The
    /// owner must never give two different texts the same number.
    void setRevision(std::uint64_t revision) {
        if (m_chunksRevision == m_revision)
            m_chunksRevision = revision;
        m_revision = revision;
    }

    /// An immutable copy of the current text; repeated calls at the same revision share it.
    TextSnapshot snapshot() const;

    /// The current text as shared chunks of about a megabyte. The storage keeps the chunks
    /// (until dropChunks()) and an edit replaces only those it touches, so after the first
    /// call the next costs about a chunk per place edited. The first copy of a large text
    /// can be spread over several calls of prepareChunks().
    TextChunkSnapshot chunkSnapshot() const {
        syncChunks();
        return m_chunks.snapshot(*this, m_revision);
    }
    /// Copies stale chunks until at least `budgetUnits` units were copied; true when a
    /// chunkSnapshot() would copy nothing.
    bool prepareChunks(std::int64_t budgetUnits) const {
        syncChunks();
        return m_chunks.refresh(*this, budgetUnits);
    }
    /// The units a chunkSnapshot() would copy now.
    std::int64_t staleChunkUnits() const {
        syncChunks();
        return m_chunks.staleUnits(length());
    }
    /// The units held by the kept chunks (their memory is twice that in bytes).
    std::int64_t chunkCacheUnits() const { return m_chunks.heldUnits(); }
    /// Frees the kept chunks; snapshots handed out keep theirs.
    void dropChunks() const { m_chunks.clear(); }

private:
    struct Adopt {};
    TextStorage(Adopt, std::u16string&& text, std::uint64_t revision);
    /// Drops the kept chunks when the text changed without them being told (a change that
    /// bypassed replace() but moved the revision on): a stale copy is never handed out.
    void syncChunks() const {
        if (m_chunksRevision != m_revision) {
            m_chunks.clear();
            m_chunksRevision = m_revision;
        }
    }
    void moveGapTo(std::int64_t offset);
    void ensureGap(std::int64_t needed);

    std::u16string m_buffer; // [0, m_gapStart) text, gap, [m_gapEnd, size) text
    std::int64_t m_gapStart = 0;
    std::int64_t m_gapEnd = 0;
    std::uint64_t m_revision = 0;
    mutable std::shared_ptr<const std::u16string> m_snapshot; // the current text, cached
    // Chunked copies for chunkSnapshot(); every change of the text must be reported to it.
    mutable TextChunkCache m_chunks;
    mutable std::uint64_t m_chunksRevision = 0; // the revision m_chunks is in step with
};

} // namespace vendrix
