#pragma once

// The scanning steps of the code tokenizer over one line: comments, string literals (with
// raw-string delimiters, interpolations and shell expansions), numbers, regular expression
// literals and the nested constructs of shell code.
#include "core/syntax/CodeSyntax.h"
#include "core/syntax/ScanSupport.h"
#include "core/syntax/SyntaxTokenizer.h"

#include <algorithm>
#include <cstdint>

namespace vendrix::syntax_detail {

inline bool matchesAt(const char16_t* u, std::int64_t n, std::int64_t p,
                      const std::u16string& marker) {
    auto length = static_cast<std::int64_t>(marker.size());
    if (length == 0 || p + length > n || u[p] != marker[0])
        return false; // the first unit decides most tests without a call
    return std::equal(marker.begin() + 1, marker.end(), u + p + 1);
}

inline std::int64_t hashRun(const char16_t* u, std::int64_t n, std::int64_t p) {
    std::int64_t q = p;
    while (q < n && u[q] == u'#')
        ++q;
    return q - p;
}

struct CodeScanner {
    /// Nested literals and expansions deeper than this are not looked into (bounded work and
    /// stack on pathological lines).
    static constexpr int kMaxNesting = 8;

    const CodeSyntax& syntax;
    const char16_t* u;
    std::int64_t n;
    TokenEmitter emit;

    void token(std::int64_t location, std::int64_t length, TokenKind kind) const {
        if (emit && length > 0)
            emit(location, length, kind);
    }

    bool isIdentifierStart(char16_t c) const {
        return isLetter(c) || c == u'_' || c > 0x7F ||
               (syntax.identifierExtra != 0 && c == syntax.identifierExtra);
    }
    bool isIdentifierPart(char16_t c) const { return isIdentifierStart(c) || isDigit(c); }

    /// Scans a block comment body from q at depth d; returns the end of the comment or -1
    /// when it does not close on this line (d then holds the depth at the line end).
    std::int64_t blockComment(std::int64_t q, int& d) const;

    /// The length of `rule`'s opener at p, 0 when it does not open there. For a hash-delimited
    /// rule, `hashes` receives the number of leading "#".
    std::int64_t openerLength(std::int64_t p, const StringRule& rule, std::int64_t& hashes) const {
        if (!rule.hashDelimited) {
            hashes = 0;
            return matchesAt(u, n, p, rule.open) ? static_cast<std::int64_t>(rule.open.size()) : 0;
        }
        hashes = hashRun(u, n, p);
        if (hashes == 0)
            return 0;
        // The rest of the opener after its one "#" in the table.
        const auto rest = static_cast<std::int64_t>(rule.open.size()) - 1;
        if (p + hashes + rest > n ||
            !std::equal(rule.open.begin() + 1, rule.open.end(), u + p + hashes))
            return 0;
        return hashes + rest;
    }

    /// Scans a string body of `rule` from q; the end after the closer, or -1 when open.
    /// `hashes` is the delimiter's "#" count of a hash-delimited rule.
    std::int64_t stringBody(std::int64_t q, const StringRule& rule, std::int64_t hashes = 0,
                            int nesting = 0) const {
        if (rule.hashDelimited || rule.interpolation != 0 || rule.nestedExpansions)
            return nestingStringBody(q, rule, hashes, nesting);
        const auto closeLength = static_cast<std::int64_t>(rule.close.size());
        while (q < n) {
            if (rule.escape != 0 && u[q] == rule.escape) {
                q += 2;
            } else if (matchesAt(u, n, q, rule.close)) {
                if (rule.doubledCloseEscapes && matchesAt(u, n, q + closeLength, rule.close)) {
                    q += 2 * closeLength;
                    continue;
                }
                return q + closeLength;
            } else {
                ++q;
            }
        }
        return -1;
    }

    /// The string body scan of a rule with raw-string delimiters, interpolations or shell
    /// expansions.
    std::int64_t nestingStringBody(std::int64_t q, const StringRule& rule, std::int64_t hashes,
                                   int nesting) const;

    /// From just after an interpolation's "(": the end after its matching ")", skipping the
    /// string literals inside; -1 when the line ends first.
    std::int64_t interpolationEnd(std::int64_t q, int nesting) const;

    /// The end of the regular expression literal whose "/" is at p (after its flags), or -1
    /// when no closing "/" follows on the line.
    std::int64_t regexEnd(std::int64_t p) const;

    /// Whether the word before p (and the blanks after it) is a keyword after which a "/"
    /// starts a regex, as in "return /x/".
    bool keywordBeforeStartsRegex(std::int64_t p) const;

    /// Shell: from just after "${", "$(" or "(", the end after the matching `close`; quotes,
    /// escapes and nested expansions are skipped whole. -1 when the line ends first.
    std::int64_t shellGroupEnd(std::int64_t q, char16_t close, int nesting) const;

    /// Shell: the end of the variable token at the "$" at p ("$name", "${...}" with nested
    /// braces and quotes, or "$" and one special character); -1 when none starts there.
    std::int64_t variableEnd(std::int64_t p) const;

    /// Shell: the end of the arithmetic "((" at p (after its "))"), or n when it stays open.
    std::int64_t arithmeticEnd(std::int64_t p) const;
};

} // namespace vendrix::syntax_detail
