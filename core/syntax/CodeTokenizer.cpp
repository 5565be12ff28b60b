#include "core/syntax/CodeTokenizer.h"

#include "core/syntax/CodeScanner.h"
#include "core/syntax/HereDocument.h"

#include <algorithm>

namespace vendrix {

using namespace syntax_detail;

namespace {

/// Identifies the last thing scanned on the line, to tell a regex "/" from a division.
enum class Before : std::uint8_t {
    nothing, ///< the line start, an operator or an opening bracket: a "/" starts a regex
    operand, ///< a value, a closing bracket or a string: a "/" divides
    word,    ///< an identifier: a "/" starts a regex only after some keywords
};

/// The characters that may follow "@", "#" or "$" to start a name.
inline bool isNameStart(char16_t c) {
    return isLetter(c) || c == u'_' || c > 0x7F;
}
inline bool isNamePart(char16_t c) {
    return isLetter(c) || isDigit(c) || c == u'_' || c > 0x7F;
}

inline bool isWordUnit(char16_t c) {
    return isLetter(c) || isDigit(c) || c == u'_';
}

/// The end of the number starting at q.
inline std::int64_t numberEnd(const char16_t* u, std::int64_t n, std::int64_t q) {
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
        if (isWordUnit(c)) {
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
        while (q < n && isWordUnit(u[q]))
            q += exponentSign(q) ? 2 : 1;
    }
    return std::min(q, n);
}

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
    const CodeScanner scan{syntax, u, n, emit};
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
    } else if (syntax.hereDocuments && HereDocument::isBodyState(state)) {
        return HereDocument::bodyLine(scan, state);
    } else if (low >= 2 && low - 2 < syntax.strings.size()) {
        const StringRule& rule = syntax.strings[low - 2];
        const std::int64_t hashes = rule.hashDelimited ? ((state >> 8) & 0xFF) + 1 : 0;
        std::int64_t end = scan.stringBody(0, rule, hashes);
        if (end < 0) {
            scan.token(0, n, rule.kind);
            return state;
        }
        scan.token(0, end, rule.kind);
        p = end;
    }
    if (p >= n)
        return 0;

    // The body state of the first here-document opened on this line, taken up by the next.
    std::uint32_t hereDocument = 0;
    std::int64_t arithmeticEnd = 0;
    // A "/" after the line start or an operator starts a regex; never on a "#!" line, nor after
    // a "/" that found no closing one (which keeps lines of unclosed "/[" linear).
    bool regexLiterals = syntax.regexLiterals && !(n >= 2 && u[0] == u'#' && u[1] == u'!');
    Before before = p > 0 ? Before::operand : Before::nothing;
    const std::int64_t firstNonBlank = skipBlanks(u, n, 0);
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
                    char16_t previous = u[p - 1];
                    if (!(isBlank(previous) || previous == u'&' || previous == u'(' ||
                          previous == u';' || previous == u'|'))
                        continue;
                }
                scan.token(p, n - p, TokenKind::comment);
                return hereDocument;
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
                std::int64_t hashes = 0;
                const std::int64_t opener = scan.openerLength(p, rule, hashes);
                if (opener == 0)
                    continue;
                std::int64_t end = scan.stringBody(p + opener, rule, hashes);
                if (end < 0) {
                    scan.token(p, n - p, rule.kind);
                    if (!rule.multiline)
                        return hereDocument;
                    std::uint32_t extra =
                        hashes > 1
                            ? static_cast<std::uint32_t>(std::min<std::int64_t>(hashes - 1, 255))
                            : 0;
                    return 2 + static_cast<std::uint32_t>(i) + 256 * extra;
                }
                TokenKind kind = rule.kind;
                if (syntax.stringKeys) {
                    std::int64_t after = skipBlanks(u, n, end);
                    if (after < n && u[after] == u':')
                        kind = TokenKind::property;
                }
                scan.token(p, end - p, kind);
                p = end;
                before = Before::operand;
                matchedString = true;
                break;
            }
            if (matchedString)
                continue;
            if (c == u'/' && regexLiterals &&
                (before == Before::nothing ||
                 (before == Before::word && scan.keywordBeforeStartsRegex(p)))) {
                std::int64_t end = scan.regexEnd(p);
                if (end > 0) {
                    scan.token(p, end - p, TokenKind::string);
                    p = end;
                    before = Before::operand;
                    continue;
                }
                regexLiterals = false;
            }
        }
        if (isDigit(c) || (c == u'.' && p + 1 < n && isDigit(u[p + 1]))) {
            if (p > 0 && scan.isIdentifierPart(u[p - 1])) {
                ++p;
                continue;
            }
            std::int64_t end = numberEnd(u, n, p);
            scan.token(p, end - p, TokenKind::number);
            p = end;
            before = Before::operand;
            continue;
        }
        if (!scan.isIdentifierStart(c)) {
            const bool hasNext = p + 1 < n;
            if ((c == u'+' || c == u'-') && hasNext && u[p + 1] == c && before != Before::nothing) {
                p += 2; // a postfix "++" or "--" leaves an operand: "i++ / 2" divides
                continue;
            }
            before = (c == u')' || c == u']') ? Before::operand : Before::nothing;
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
            if (c == u'$' && syntax.dollarVariables) {
                std::int64_t end = scan.variableEnd(p);
                if (end > 0) {
                    scan.token(p, end - p, TokenKind::variable);
                    p = end;
                    continue;
                }
            }
            if (syntax.hereDocuments && hasNext && u[p + 1] == c) {
                if (c == u'(' && p >= arithmeticEnd) {
                    arithmeticEnd = scan.arithmeticEnd(p);
                } else if (c == u'<' && p >= arithmeticEnd) {
                    std::int64_t wordAt = 0;
                    std::uint32_t body = 0;
                    std::int64_t end = HereDocument::parseOpener(u, n, p, wordAt, body);
                    if (end > 0) {
                        scan.token(wordAt, end - wordAt, TokenKind::string);
                        if (hereDocument == 0)
                            hereDocument = body;
                        p = end;
                        continue;
                    }
                    p += 2; // "<<<" or a lone "<<"
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
        before = Before::word;
        p = end;
    }
    return hereDocument;
}

} // namespace vendrix
