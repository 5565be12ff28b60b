#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/JSONGrammar.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vendrix::jsonScan {

/// Tokenizes UTF-8 bytes or UTF-16 units in one pass, handing each token to the sink in input
/// order:
///   bool push(std::uint32_t start, std::uint32_t end, JSONFormatter::Kind, bool newlineBefore)
/// returns false to stop, and then `FormatError failure()` is the result. A UTF-16 sink also
/// has `void loneSurrogate()`, called for each unpaired surrogate in a string or a comment.
/// Progress checkpoints cover 0...`phaseEnd` of `token` (null: none). None when every
/// token was taken, else the tokenizer's first error (or the sink's failure). Instantiated for
/// the sinks of this library.
template <class CharT, class Sink>
std::optional<FormatError> scan(std::basic_string_view<CharT> units, Sink& sink, double phaseEnd,
                                ProgressToken* token);

/// Collects the tokens into a token array (the token pipeline); fails only when memory is
/// exhausted.
struct TokenArraySink {
    JSONFormatter::TokenArray tokens;
    bool push(std::uint32_t start, std::uint32_t end, JSONFormatter::Kind kind, bool newlineBefore) {
        if (tokens.size() == tokens.capacity() &&
            !tokens.reserve(tokens.capacity() + tokens.capacity() / 2 + 16))
            return false;
        tokens.append(JSONFormatter::Tok{start, end, kind, newlineBefore});
        return true;
    }
    FormatError failure() const { return FormatError::unpositioned(u"Girdi çok büyük"); }
};

/// A sink that takes every token: scanning with it finds the first tokenizer error.
struct CheckSink {
    bool push(std::uint32_t, std::uint32_t, JSONFormatter::Kind, bool) { return true; }
    void loneSurrogate() {}
    FormatError failure() { return {}; }
};

/// A sink that takes every token, checks the significant ones against the grammar (keeping
/// the first failure) and counts them: after a scan the token pipeline's verdict is the
/// tokenizer's error, else `grammarError`, else the grammar's end-of-input verdict.
struct GrammarSink {
    explicit GrammarSink(std::string_view bytes) : input(bytes) {}
    [[gnu::always_inline]] bool push(std::uint32_t start, std::uint32_t, JSONFormatter::Kind kind,
                                     bool) {
        ++tokens;
        if (kind == JSONFormatter::Kind::lineComment || kind == JSONFormatter::Kind::blockComment) {
            grammar.sawComment();
        } else if (!grammarError) {
            if (const char16_t* message = grammar.take(kind)) [[unlikely]]
                grammarError = FormatError::at(input, start, message);
        }
        return true;
    }
    FormatError failure() { return {}; }

    std::string_view input;
    JSONGrammar grammar;
    std::optional<FormatError> grammarError;
    std::uint64_t tokens = 0;
};

// The check of every token (see GrammarSink) that also keeps the runs of adjacent significant
// tokens, which joined are the minified output, while they stay few.
struct RunSink : GrammarSink {
    using GrammarSink::GrammarSink;
    [[gnu::always_inline]] bool push(std::uint32_t start, std::uint32_t end,
                                     JSONFormatter::Kind kind, bool newlineBefore) {
        GrammarSink::push(start, end, kind, newlineBefore);
        if (kind == JSONFormatter::Kind::lineComment || kind == JSONFormatter::Kind::blockComment)
            return true;
        if (start == runEnd) {
            runEnd = end;
            return true;
        }
        if (runEnd != runStart && !tooMany) {
            runs.push_back({runStart, runEnd});
            tooMany = runs.size() > maxRuns;
        }
        runStart = start;
        runEnd = end;
        return true;
    }
    struct Run {
        std::uint32_t start, end;
    };
    std::vector<Run> runs;
    std::size_t maxRuns = 0;
    bool tooMany = false;
    std::uint32_t runStart = 0;
    std::uint32_t runEnd = 0;
};

} // namespace vendrix::jsonScan
