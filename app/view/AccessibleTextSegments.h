#pragma once

#include "core/common/TextRange.h"

#include <cstdint>

namespace vendrix {
class LineIndex;
class TextSource;
} // namespace vendrix

namespace vendrix::app {

/// The pieces of a text that assistive technology reads one at a time: characters, words,
/// sentences and lines. Every answer reads only a small window around the offset asked
/// about, so a question about a gigabyte document or a line of millions of characters costs
/// no more than one about a short text.
///
/// - character: one grapheme cluster (LF on its own), as the caret moves;
/// - word: a run of word characters or of punctuation (the core's word classes) with the
///   white space after it on its line; white space at a line's start is a piece of its own;
/// - sentence: a sentence of the line (Unicode sentence rules over at most
///   kSentenceWindow units around the offset);
/// - line (also paragraph): the text line with its LF. A line longer than kLinePiece units is
///   read in pieces of about kLinePiece units that start at fixed places (multiples of
///   kLinePiece from the line's start, moved back to a cluster boundary), so that the pieces
///   before and after an offset are the same whichever offset asks.
/// The LF ending a line is a piece of its own for words and sentences. At the end of the text
/// every kind answers the empty range there.
class AccessibleTextSegments {
public:
    enum class Kind { character, word, sentence, line };

    static constexpr std::int64_t kLinePiece = 4096;
    static constexpr std::int64_t kSentenceWindow = 1 << 15;

    AccessibleTextSegments(const TextSource& text, const LineIndex& lines)
        : m_text(text), m_lines(lines) {}

    /// The piece holding `offset` (clamped to the text).
    TextRange at(std::int64_t offset, Kind kind) const;
    /// The piece just before the one holding `offset`; empty at the text's start.
    TextRange before(std::int64_t offset, Kind kind) const;
    /// The piece just after the one holding `offset`; empty at the text's end.
    TextRange after(std::int64_t offset, Kind kind) const;

private:
    TextRange word(std::int64_t offset) const;
    TextRange sentence(std::int64_t offset) const;
    TextRange line(std::int64_t offset) const;
    bool isSpaceAt(std::int64_t offset) const;

    const TextSource& m_text;
    const LineIndex& m_lines;
};

} // namespace vendrix::app
