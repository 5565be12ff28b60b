#include "core/syntax/CodeTokenizer.h"

#include "core/syntax/ScanSupport.h"

#include <algorithm>

namespace vendrix {

namespace {

using Units = const char16_t*;

using syntax_detail::isBlank;
using syntax_detail::isDigit;
using syntax_detail::isLetter;
using syntax_detail::skipBlanks;

inline bool isAlnumUnderscore(char16_t c) {
    return isLetter(c) || isDigit(c) || c == u'_';
}
/// The characters that may follow "@", "#" or "$" to start a name.
inline bool isNameStart(char16_t c) {
    return isLetter(c) || c == u'_' || c > 0x7F;
}
inline bool isNamePart(char16_t c) {
    return isAlnumUnderscore(c) || c > 0x7F;
}

inline bool matchesAt(Units u, std::int64_t n, std::int64_t p, const std::u16string& marker) {
    auto length = static_cast<std::int64_t>(marker.size());
    if (length == 0 || p + length > n)
        return false;
    return std::equal(marker.begin(), marker.end(), u + p);
}

struct Scanner {
    const CodeSyntax& syntax;
    Units u;
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
    std::int64_t blockComment(std::int64_t q, int& d) const {
        const bool nests = syntax.nestedBlockComments;
        const auto closeLength = static_cast<std::int64_t>(syntax.blockClose.size());
        const auto openLength = static_cast<std::int64_t>(syntax.blockOpen.size());
        while (q < n) {
            if (matchesAt(u, n, q, syntax.blockClose)) {
                --d;
                q += closeLength;
                if (d > 0 && nests)
                    continue;
                d = 0;
                return q;
            }
            if (nests && matchesAt(u, n, q, syntax.blockOpen)) {
                ++d;
                q += openLength;
                continue;
            }
            ++q;
        }
        return -1;
    }

    /// Scans a string body of `rule` from q; the end after the closer, or -1 when open.
    std::int64_t stringBody(std::int64_t q, const StringRule& rule) const {
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

    std::int64_t number(std::int64_t q) const {
        bool hex = false;
        if (u[q] == u'0' && q + 1 < n && (u[q + 1] == u'x' || u[q + 1] == u'X')) {
            q += 2;
            hex = true;
        }
        auto exponentSign = [&](std::int64_t at) {
            return (u[at] == u'e' || u[at] == u'E') && at + 1 < n &&
                   (u[at + 1] == u'+' || u[at + 1] == u'-');
        };
        bool fraction = false;
        while (q < n) {
            char16_t c = u[q];
            if (isAlnumUnderscore(c)) {
                q += (!hex && exponentSign(q)) ? 2 : 1;
            } else if (c == u'.' && !hex && q + 1 < n && isDigit(u[q + 1])) {
                ++q;
                fraction = true;
                break;
            } else {
                break;
            }
        }
        if (fraction) {
            while (q < n && isAlnumUnderscore(u[q]))
                q += exponentSign(q) ? 2 : 1;
        }
        return std::min(q, n);
    }
};

} // namespace

CodeTokenizer::CodeTokenizer(const CodeSyntax& syntax) : m_syntax(&syntax) {
    auto note = [&](const std::u16string& marker) {
        if (!marker.empty() && marker[0] < 128)
            m_opensSomething[marker[0]] = true;
    };
    for (const auto& marker : syntax.lineComments)
        note(marker);
    note(syntax.blockOpen);
    for (const auto& rule : syntax.strings)
        note(rule.open);
}

std::uint32_t CodeTokenizer::tokenizeLine(const char16_t* u, std::int64_t n, std::uint32_t state,
                                          TokenEmitter emit) const {
    const CodeSyntax& syntax = *m_syntax;
    const Scanner scan{syntax, u, n, emit};
    std::int64_t p = 0;

    const std::uint32_t low = state & 0xFF;
    if (low == 1 && !syntax.blockOpen.empty()) {
        int depth = static_cast<int>((state >> 8) & 0xFF);
        std::int64_t end = scan.blockComment(0, depth);
        if (end < 0) {
            scan.token(0, n, TokenKind::comment);
            return 1 + 256 * static_cast<std::uint32_t>(std::clamp(depth, 0, 255));
        }
        scan.token(0, end, TokenKind::comment);
        p = end;
    } else if (low >= 2 && low - 2 < syntax.strings.size()) {
        const StringRule& rule = syntax.strings[low - 2];
        std::int64_t end = scan.stringBody(0, rule);
        if (end < 0) {
            scan.token(0, n, rule.kind);
            return state;
        }
        scan.token(0, end, rule.kind);
        p = end;
    }
    if (p >= n)
        return 0;

    std::int64_t firstNonBlank = skipBlanks(u, n, 0);
    while (p < n) {
        const char16_t c = u[p];
        if (isBlank(c)) {
            ++p;
            continue;
        }
        if (c >= 128 || m_opensSomething[c]) {
            for (const auto& marker : syntax.lineComments) {
                if (!matchesAt(u, n, p, marker))
                    continue;
                if (syntax.lineCommentNeedsBoundary && p > 0) {
                    char16_t before = u[p - 1];
                    if (!(isBlank(before) || before == u'&' || before == u'(' || before == u';' ||
                          before == u'|'))
                        continue;
                }
                scan.token(p, n - p, TokenKind::comment);
                return 0;
            }
            if (matchesAt(u, n, p, syntax.blockOpen)) {
                int depth = 1;
                std::int64_t end = scan.blockComment(
                    p + static_cast<std::int64_t>(syntax.blockOpen.size()), depth);
                if (end < 0) {
                    scan.token(p, n - p, TokenKind::comment);
                    return 1 + 256 * static_cast<std::uint32_t>(std::clamp(depth, 0, 255));
                }
                scan.token(p, end - p, TokenKind::comment);
                p = end;
                continue;
            }
            bool matchedString = false;
            for (std::size_t i = 0; i < syntax.strings.size(); ++i) {
                const StringRule& rule = syntax.strings[i];
                if (!matchesAt(u, n, p, rule.open))
                    continue;
                std::int64_t end =
                    scan.stringBody(p + static_cast<std::int64_t>(rule.open.size()), rule);
                if (end < 0) {
                    scan.token(p, n - p, rule.kind);
                    return rule.multiline ? 2 + static_cast<std::uint32_t>(i) : 0;
                }
                TokenKind kind = rule.kind;
                if (syntax.stringKeys) {
                    std::int64_t after = skipBlanks(u, n, end);
                    if (after < n && u[after] == u':')
                        kind = TokenKind::property;
                }
                scan.token(p, end - p, kind);
                p = end;
                matchedString = true;
                break;
            }
            if (matchedString)
                continue;
        }
        if (isDigit(c) || (c == u'.' && p + 1 < n && isDigit(u[p + 1]))) {
            if (p > 0 && scan.isIdentifierPart(u[p - 1])) {
                ++p;
                continue;
            }
            std::int64_t end = scan.number(p);
            scan.token(p, end - p, TokenKind::number);
            p = end;
            continue;
        }
        if (!scan.isIdentifierStart(c)) {
            const bool hasNext = p + 1 < n;
            if (c == u'@' && syntax.attributes && hasNext && isNameStart(u[p + 1])) {
                std::int64_t end = p + 1;
                while (end < n && isNamePart(u[end]))
                    ++end;
                scan.token(p, end - p, TokenKind::attribute);
                p = end;
                continue;
            }
            if (c == u'#' && syntax.hashMode == CodeSyntax::HashMode::lineDirective &&
                p == firstNonBlank) {
                scan.token(p, n - p, TokenKind::preprocessor);
                return 0;
            }
            if (c == u'#' && syntax.hashMode == CodeSyntax::HashMode::identifier && hasNext &&
                isNameStart(u[p + 1])) {
                std::int64_t end = p + 1;
                while (end < n && isNamePart(u[end]))
                    ++end;
                scan.token(p, end - p, TokenKind::preprocessor);
                p = end;
                continue;
            }
            if (c == u'$' && syntax.dollarVariables && hasNext) {
                char16_t next = u[p + 1];
                std::int64_t end = -1;
                if (next == u'{') {
                    end = p + 2;
                    while (end < n && u[end] != u'}')
                        ++end;
                    end = std::min(end + 1, n);
                } else if (isNameStart(next)) {
                    end = p + 1;
                    while (end < n && isNamePart(u[end]))
                        ++end;
                } else if (isDigit(next) || next == u'!' || next == u'#' || next == u'$' ||
                           next == u'*' || next == u'-' || next == u'?' || next == u'@') {
                    end = p + 2;
                }
                if (end > 0) {
                    scan.token(p, end - p, TokenKind::variable);
                    p = end;
                    continue;
                }
            }
            ++p;
            continue;
        }
        std::int64_t end = p + 1;
        while (end < n && scan.isIdentifierPart(u[end]))
            ++end;
        if (emit) {
            std::optional<TokenKind> kind = syntax.keywords.lookup(u, p, end);
            if (!kind && syntax.functionCalls) {
                std::int64_t after = skipBlanks(u, n, end);
                if (after < n && u[after] == u'(')
                    kind = TokenKind::function;
            }
            if (!kind && syntax.capitalizedTypes && c >= u'A' && c <= u'Z')
                kind = TokenKind::type;
            if (kind)
                scan.token(p, end - p, *kind);
        }
        p = end;
    }
    return 0;
}

} // namespace vendrix
