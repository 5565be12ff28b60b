#pragma once

#include "core/common/TextRange.h"

#include <cstdint>

namespace vendrix {

class LineIndex;
class TextSource;

/// Caret movements over a text that is read in small windows, so that they cost the same on
/// a line of millions of characters as on a short one. Every result lies on a grapheme
/// cluster boundary (never inside a surrogate pair or a combining sequence); LF is a cluster
/// of its own. Words are runs of clusters of one `unicode::WordClass`.
class TextNavigation {
public:
    TextNavigation(const TextSource& text, const LineIndex& lines) : m_text(text), m_lines(lines) {}

    std::int64_t nextCharacter(std::int64_t offset) const;
    std::int64_t previousCharacter(std::int64_t offset) const;
    /// The nearest cluster boundary at or before `offset`.
    std::int64_t snapToCharacter(std::int64_t offset) const;

    /// The end of the word at or after `offset` (white space is skipped first, then one run of
    /// word characters or of punctuation); at a line's end, the next line's start.
    std::int64_t nextWordEnd(std::int64_t offset) const;
    /// The start of the word at or before `offset`; at a line's start, the previous line's end.
    std::int64_t previousWordStart(std::int64_t offset) const;
    /// The run of word characters, white space or punctuation under `offset` (double click).
    TextRange wordRange(std::int64_t offset) const;
    /// The line holding `offset` with its LF (triple click).
    TextRange lineRangeWithBreak(std::int64_t offset) const;

private:
    const TextSource& m_text;
    const LineIndex& m_lines;
};

} // namespace vendrix
