#pragma once

#include "core/common/TextRange.h"
#include "core/common/TextSource.h"
#include "core/syntax/LineStateBuffer.h"
#include "core/syntax/SyntaxTokenizer.h"
#include "core/syntax/TokenKind.h"
#include "core/text/LineIndex.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// Produces the tokens of any range of lines of one document and stays correct across edits
/// without re-tokenizing the whole document. It remembers, per line, the tokenizer state at
/// the start of the line (never the tokens). After an edit only the states from the edited
/// line on are distrusted; re-tokenizing stops trusting nothing once it reaches a line whose
/// fresh state equals the remembered one, up to the next region the edits made unreliable.
///
/// The document is read through a TextSource (any storage, read in line-sized chunks) and its
/// LineIndex; both must describe the same, current text. Lines are tokenized only over their
/// first `maxLineLength` units. Requests for lines outside the text are clamped into it, and a
/// line index that claims more text than the source holds is read only as far as the text
/// goes. Not thread-safe: requests and noteEdit are serialised with the edits they describe.
class HighlightEngine {
public:
    /// Receives one token in document coordinates.
    using TokenVisitor = std::function<void(const Token&)>;

    /// An engine for a catalog language; null for plain text and unknown identifiers.
    [[nodiscard]] static std::unique_ptr<HighlightEngine>
    create(std::string_view languageID, std::int64_t lineCount, std::int64_t maxLineLength);

    HighlightEngine(std::string languageID, std::shared_ptr<const SyntaxTokenizer> tokenizer,
                    std::int64_t lineCount, std::int64_t maxLineLength);

    /// Forgets every state except line 0's; the line buffer and statistics stay.
    void reset(std::int64_t lineCount);

    /// Call after every text change with the range of the new text that replaced the old (in
    /// the new text's coordinates) and the already updated line index.
    void noteEdit(TextRange editedRange, const LineIndex& lineIndex);

    /// Tokens of lines firstLine...lastLine (inclusive), in order, in document offsets.
    [[nodiscard]] std::vector<Token> tokens(std::int64_t firstLine, std::int64_t lastLine,
                                            const TextSource& text, const LineIndex& lineIndex);
    /// Tokens clipped to a character range; tokens whose overlap is empty are left out.
    [[nodiscard]] std::vector<Token> tokens(TextRange range, const TextSource& text,
                                            const LineIndex& lineIndex);
    /// Like tokens(firstLine, lastLine, ...) but hands each token to `visit` instead of
    /// collecting them.
    void visitTokens(std::int64_t firstLine, std::int64_t lastLine, const TextSource& text,
                     const LineIndex& lineIndex, const TokenVisitor& visit);
    /// The tokenizer state at the start of `line` (clamped into the text).
    [[nodiscard]] std::uint32_t state(std::int64_t line, const TextSource& text,
                                      const LineIndex& lineIndex);

    /// One-shot tokenizing of a whole text with maxLineLength 20,000; an unknown language gives
    /// no tokens.
    [[nodiscard]] static std::vector<Token> tokenize(std::u16string_view text,
                                                     std::string_view languageID);

    const std::string& languageID() const { return m_languageID; }
    std::int64_t maxLineLength() const { return m_maxLineLength; }
    /// Lines passed to the tokenizer over the engine's life.
    std::int64_t linesScanned() const { return m_linesScanned; }
    std::int64_t validLineCount() const { return m_validCount; }
    std::int64_t knownLineCount() const { return m_states.size(); }
    std::int64_t breakCount() const { return static_cast<std::int64_t>(m_breaks.size()); }

    /// A half-open range of line indexes.
    struct LineSpan {
        std::int64_t lower;
        std::int64_t upper;
        friend bool operator==(const LineSpan&, const LineSpan&) = default;
    };
    /// The ranges of remembered states that are not trusted (for tests and diagnostics).
    const std::vector<LineSpan>& breaks() const { return m_breaks; }

private:
    /// Copies the (capped) line into the buffer; returns its start offset and unit count.
    std::pair<std::int64_t, std::int64_t> readLine(std::int64_t line, const TextSource& text,
                                                   const LineIndex& lineIndex);
    void storeState(std::int64_t line, std::uint32_t state);
    template <typename Visit>
    void forEachToken(std::int64_t firstLine, std::int64_t lastLine, const TextSource& text,
                      const LineIndex& lineIndex, Visit&& visit);
    void catchUp(std::int64_t line, const TextSource& text, const LineIndex& lineIndex);
    void markFrontier();
    /// Resets when the index's line count no longer matches what the engine knows.
    void checkLineCount(const LineIndex& lineIndex);
    std::int64_t breakContaining(std::int64_t line) const;
    void normaliseBreaks();
    void clampBreaks();

    std::string m_languageID;
    std::shared_ptr<const SyntaxTokenizer> m_tokenizer;
    std::int64_t m_maxLineLength;
    LineStateBuffer m_states;
    std::int64_t m_validCount = 1;
    std::vector<LineSpan> m_breaks;
    std::int64_t m_lineCount = 1;
    std::vector<char16_t> m_buffer;
    std::int64_t m_linesScanned = 0;
};

} // namespace vendrix
