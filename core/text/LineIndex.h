#pragma once

#include "core/common/TextRange.h"
#include "core/common/TextSource.h"

#include <cstdint>
#include <cstddef>
#include <string_view>
#include <vector>

namespace vendrix {

/// The table of line starts of an LF-normalised text, kept up to date incrementally.
/// Offsets are UTF-16 code units; only LF (U+000A) ends a line. An empty text has one line,
/// and a text ending with LF has an empty last line.
///
/// Every index-taking query clamps its argument to the valid range instead of reading out of
/// bounds. A value type; not shared between threads without copying (even const queries may
/// settle a pending shift, see update()).
class LineIndex {
public:
    /// The index of an empty text.
    LineIndex();
    explicit LineIndex(std::u16string_view text);
    /// Builds from any text source, reading at most 65,536 units per fetch.
    explicit LineIndex(const TextSource& text);
    /// The same index as LineIndex(text), for a large text scanned in two halves at once (a
    /// second thread takes the later half); for a worker that made the text and indexes it.
    static LineIndex ofLargeText(std::u16string_view text);
    /// Adopts a table of line starts made with appendLineStarts() over the whole text of
    /// `length` units, beginning with the entry 0 (so that parts of a text can be scanned
    /// while others are still being produced).
    LineIndex(std::vector<std::int64_t> starts, std::int64_t length);
    /// Appends `base + i + 1` for every LF at position i of `units`.
    static void appendLineStarts(std::u16string_view units, std::int64_t base,
                                 std::vector<std::int64_t>& starts);

    /// Offset at which each line begins; strictly increasing, starting with 0. A copy of the
    /// whole table (for tests and checks): hot paths use lineStart(), range() and lineNumber().
    std::vector<std::int64_t> lineStarts() const;
    /// Length of the indexed text.
    std::int64_t length() const { return m_length; }
    /// Number of lines, never below 1.
    std::int64_t lineCount() const { return static_cast<std::int64_t>(count()); }
    /// Length of the longest line without its LF; 0 for an empty text. Kept up to date by
    /// update() at the cost of the lines an edit touched; only an edit that shortens the one
    /// longest line makes the next call scan all lines again.
    std::int64_t longestLineLength() const;
    /// True when some line is longer than `length`; answered without any scan whenever the
    /// longest line is known to be no longer (even after the longest line was shortened).
    bool hasLineLongerThan(std::int64_t length) const;

    /// 0-based line holding `offset`; before 0 gives line 0, at or past the end the last line.
    /// An offset at the start of a line belongs to that line.
    std::int64_t lineNumber(std::int64_t offset) const;
    /// The line's extent without its LF. A line outside 0..<lineCount is clamped into it.
    TextRange range(std::int64_t line) const;
    /// Offset where `line` starts (clamped like range()).
    std::int64_t lineStart(std::int64_t line) const;

    /// Updates the index after an edit of the text. `editedRange` is the range of the new
    /// text that replaced the old, `changeInLength` is new length - old length, `newText` is
    /// the whole new text. Costs the edited text plus the number of line starts between this
    /// edit and the previous one: the table keeps a gap at the last edit, and the shift of all
    /// starts after it is kept pending and settled lazily as the gap moves, so typing or adding
    /// and removing line breaks in a million-line text stays cheap wherever the cursor is.
    /// An inconsistent report (the replaced length negative, or lengths not adding up) is a
    /// programming error: debug builds stop, release builds rebuild the index from the text.
    void update(TextRange editedRange, std::int64_t changeInLength, const TextSource& newText);
    void update(TextRange editedRange, std::int64_t changeInLength, std::u16string_view newText);

    /// True when the index equals one built from `text` (used by debug checks and tests).
    bool matches(const TextSource& text) const;

    friend bool operator==(const LineIndex& a, const LineIndex& b);

private:
    void rebuild(const TextSource& text);
    /// After the starts are in m_starts: trims spare room and opens the gap at the end.
    void finishTable();
    /// Number of entries, the gap excluded.
    size_t count() const { return m_starts.size() - (m_gapEnd - m_gapBegin); }
    /// The start of line `i` (0 <= i < count()), pending shift included.
    std::int64_t startAt(size_t i) const {
        return i < m_gapBegin ? m_starts[i]
                              : m_starts[i + (m_gapEnd - m_gapBegin)] + m_pendingShift;
    }
    /// Moves the gap (and with it the boundary of the pending shift) before entry `index`;
    /// the entries passing it take on or give up the shift. Costs the distance moved.
    void moveGapTo(size_t index) const;
    /// Makes the gap at least `units` entries wide.
    void widenGap(size_t units);
    /// Index of the first line start greater than `offset`.
    size_t firstStartAfter(std::int64_t offset) const;
    /// Length of line `i` (0 <= i < count()), pending shift included.
    std::int64_t lengthAt(size_t i) const {
        return (i + 1 < count() ? startAt(i + 1) - 1 : m_length) - startAt(i);
    }

    // The table of starts with a gap of unused entries at m_gapBegin..<m_gapEnd. Entries
    // before the gap hold their true value; those after it are m_pendingShift short of it.
    mutable std::vector<std::int64_t> m_starts;
    mutable size_t m_gapBegin = 0;
    mutable size_t m_gapEnd = 0;
    mutable std::int64_t m_pendingShift = 0;
    std::int64_t m_length = 0;
    // The longest line's length, -1 while unknown; and a bound no line exceeds, kept even
    // while the exact value is unknown.
    mutable std::int64_t m_longest = 0;
    mutable std::int64_t m_longestBound = 0;
};

} // namespace vendrix
