#pragma once

// A small document (text + line index kept up to date the way the editor keeps them) and a
// reference tokenizer for the engine tests.
#include "core/syntax/HighlightEngine.h"
#include "core/syntax/LanguageCatalog.h"
#include "core/text/LineIndex.h"

#include <string>
#include <vector>

namespace vendrix::test {

struct Document {
    std::u16string text;
    LineIndex index;

    explicit Document(std::u16string initial) : text(std::move(initial)), index(text) {}

    /// Replaces `old` by `with`; returns the edited range in the new text.
    TextRange replace(TextRange old, std::u16string_view with) {
        text.replace(static_cast<size_t>(old.location), static_cast<size_t>(old.length), with);
        TextRange edited{old.location, static_cast<std::int64_t>(with.size())};
        index.update(edited, edited.length - old.length, text);
        return edited;
    }
};

/// Tokens of every line, tokenizing line by line with the state carried over (the simplest
/// possible reading of the document), in document offsets.
inline std::vector<std::vector<Token>> referenceTokens(const SyntaxTokenizer& tokenizer,
                                                       std::u16string_view text,
                                                       std::int64_t maxLineLength = 20000) {
    LineIndex index(text);
    std::vector<std::vector<Token>> lines(static_cast<size_t>(index.lineCount()));
    std::uint32_t state = 0;
    for (std::int64_t i = 0; i < index.lineCount(); ++i) {
        TextRange range = index.range(i);
        std::int64_t count = std::min(range.length, maxLineLength);
        auto& out = lines[static_cast<size_t>(i)];
        auto emit = [&](std::int64_t location, std::int64_t length, TokenKind kind) {
            if (length > 0)
                out.emplace_back(range.location + location, length, kind);
        };
        state =
            tokenizer.tokenizeLine(text.data() + range.location, count, state, TokenEmitter(emit));
    }
    return lines;
}

inline std::vector<Token> flatten(const std::vector<std::vector<Token>>& lines, std::int64_t first,
                                  std::int64_t last) {
    std::vector<Token> out;
    for (std::int64_t i = first; i <= last && i < static_cast<std::int64_t>(lines.size()); ++i)
        out.insert(out.end(), lines[static_cast<size_t>(i)].begin(),
                   lines[static_cast<size_t>(i)].end());
    return out;
}

} // namespace vendrix::test
