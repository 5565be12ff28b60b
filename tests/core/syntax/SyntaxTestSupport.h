#pragma once

// Helpers shared by the syntax tests: run a tokenizer over one line and describe tokens
// readably as kind[text].
#include "core/syntax/LanguageCatalog.h"
#include "core/syntax/SyntaxTokenizer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

namespace vendrix::test {

struct LineResult {
    std::vector<Token> tokens; // line-relative
    std::uint32_t state = 0;
};

inline LineResult tokenizeLine(const SyntaxTokenizer& tokenizer, std::u16string_view line,
                               std::uint32_t state = 0) {
    LineResult result;
    auto emit = [&](std::int64_t location, std::int64_t length, TokenKind kind) {
        result.tokens.emplace_back(location, length, kind);
    };
    result.state = tokenizer.tokenizeLine(line.data(), static_cast<std::int64_t>(line.size()),
                                          state, TokenEmitter(emit));
    return result;
}

inline const SyntaxTokenizer& tokenizerFor(std::string_view languageID) {
    const LanguageDefinition* definition = LanguageCatalog::definition(languageID);
    if (!definition)
        throw std::runtime_error("no language " + std::string(languageID));
    return *definition->tokenizer;
}

/// "keyword[let] number[0x1F]" for tokens over `text` (offsets relative to `text`).
inline std::string describe(std::u16string_view text, const std::vector<Token>& tokens) {
    std::string out;
    for (const Token& token : tokens) {
        if (!out.empty())
            out += ' ';
        out += std::string(rawValue(token.kind)) + "[";
        if (token.range.location >= 0 &&
            token.range.end() <= static_cast<std::int64_t>(text.size()))
            out += u8(text.substr(static_cast<size_t>(token.range.location),
                                  static_cast<size_t>(token.range.length)));
        else
            out += "<out of line>";
        out += "]";
    }
    return out;
}

/// One line tokenized from a given state: the tokens it must give and the state after it.
struct LineCase {
    const char* name;
    std::string_view language;
    const char* line;
    std::uint32_t stateIn;
    const char* expected;
    std::uint32_t stateOut;
};

/// Checks every case; the state after the line must also be the same when no emitter is
/// given (the engine computes states ahead that way).
inline void expectLineCases(std::span<const LineCase> cases) {
    for (const LineCase& row : cases) {
        SCOPED_TRACE(row.name);
        const std::u16string line = u16(row.line);
        const SyntaxTokenizer& tokenizer = tokenizerFor(row.language);
        auto result = tokenizeLine(tokenizer, line, row.stateIn);
        EXPECT_EQ(describe(line, result.tokens), row.expected);
        EXPECT_EQ(result.state, row.stateOut);
        EXPECT_EQ(tokenizer.tokenizeLine(line.data(), static_cast<std::int64_t>(line.size()),
                                         row.stateIn, TokenEmitter{}),
                  row.stateOut);
    }
}

} // namespace vendrix::test
