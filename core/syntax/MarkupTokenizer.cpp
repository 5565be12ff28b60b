#include "core/syntax/MarkupTokenizer.h"

#include "core/syntax/ScanSupport.h"

namespace vendrix {

using namespace syntax_detail;

namespace {

enum Mode : std::uint32_t {
    text = 0,
    comment = 1,
    inTag = 2,
    doubleQuoted = 3,
    singleQuoted = 4,
    cdata = 5,
    script = 6,
    style = 7,
    declaration = 8,
};
enum RawElement : std::uint32_t { none = 0, rawScript = 1, rawStyle = 2 };

inline bool isNameStart(char16_t c) {
    return isLetter(c) || c == u'_' || c > 0x7F;
}
inline bool isNamePart(char16_t c) {
    return isLetter(c) || isDigit(c) || c == u'_' || c == u'-' || c == u'.' || c == u':' ||
           c > 0x7F;
}
inline bool isEntityPart(char16_t c) {
    return isLetter(c) || isDigit(c) || c == u'#';
}

} // namespace

std::uint32_t MarkupTokenizer::tokenizeLine(const char16_t* u, std::int64_t n, std::uint32_t state,
                                            TokenEmitter emit) const {
    std::uint32_t mode = state & 0xFF;
    if (mode > declaration)
        mode = text;
    std::uint32_t raw = (state >> 8) & 0x3;
    if (n == 0)
        return mode | (raw << 8);

    std::int64_t p = 0;
    std::int64_t tokenStart = 0; // where a declaration resumed on this line began
    bool afterEquals = false;
    while (p < n) {
        switch (mode) {
        case text: {
            const char16_t c = u[p];
            if (c == u'&') {
                std::int64_t q = p + 1;
                while (q < n && q - p <= 32 && isEntityPart(u[q]))
                    ++q;
                if (q > p + 1 && q - p - 1 <= 32 && q < n && u[q] == u';') {
                    emit.token(p, q + 1 - p, TokenKind::constant);
                    p = q + 1;
                } else {
                    ++p;
                }
                continue;
            }
            if (c != u'<') {
                ++p;
                continue;
            }
            if (matchesAt(u, n, p, "<!--")) {
                emit.token(p, 4, TokenKind::comment);
                p += 4;
                mode = comment;
                continue;
            }
            if (matchesAt(u, n, p, "<![CDATA[")) {
                emit.token(p, 9, TokenKind::string);
                p += 9;
                mode = cdata;
                continue;
            }
            if (p + 1 < n && (u[p + 1] == u'!' || u[p + 1] == u'?')) {
                tokenStart = p;
                mode = declaration;
                continue;
            }
            const bool closing = p + 1 < n && u[p + 1] == u'/';
            const std::int64_t nameStart = p + (closing ? 2 : 1);
            if (nameStart < n && isNameStart(u[nameStart])) {
                std::int64_t q = nameStart + 1;
                while (q < n && isNamePart(u[q]))
                    ++q;
                emit.token(p, q - p, TokenKind::tag);
                if (html && !closing) {
                    if (matchesAt(u, q, nameStart, "script", true) && q - nameStart == 6)
                        raw = rawScript;
                    else if (matchesAt(u, q, nameStart, "style", true) && q - nameStart == 5)
                        raw = rawStyle;
                }
                p = q;
                mode = inTag;
                afterEquals = false;
                continue;
            }
            ++p;
            continue;
        }
        case inTag: {
            const char16_t c = u[p];
            if (isBlank(c)) {
                ++p;
            } else if (c == u'>') {
                emit.token(p, 1, TokenKind::tag);
                ++p;
                mode = raw == rawScript ? script : raw == rawStyle ? style : text;
                raw = none;
            } else if (c == u'/' && p + 1 < n && u[p + 1] == u'>') {
                emit.token(p, 2, TokenKind::tag);
                p += 2;
                mode = text;
                raw = none;
            } else if (c == u'?' && p + 1 < n && u[p + 1] == u'>') {
                emit.token(p, 2, TokenKind::preprocessor);
                p += 2;
                mode = text;
                raw = none;
            } else if (c == u'"' || c == u'\'') {
                std::int64_t q = p + 1;
                while (q < n && u[q] != c)
                    ++q;
                if (q >= n) {
                    emit.token(p, n - p, TokenKind::string);
                    return (c == u'"' ? doubleQuoted : singleQuoted) | (raw << 8);
                }
                emit.token(p, q + 1 - p, TokenKind::string);
                p = q + 1;
                afterEquals = false;
            } else if (c == u'=') {
                afterEquals = true;
                ++p;
            } else if (c == u'<') {
                // An unfinished tag: its remembered element belongs to it and is dropped.
                mode = text;
                raw = none;
            } else {
                std::int64_t q = p;
                while (q < n) {
                    char16_t d = u[q];
                    if (isBlank(d) || d == u'"' || d == u'\'' || d == u'<' || d == u'=' ||
                        d == u'>' || (d == u'/' && q + 1 < n && u[q + 1] == u'>'))
                        break;
                    ++q;
                }
                emit.token(p, q - p, afterEquals ? TokenKind::string : TokenKind::attribute);
                afterEquals = false;
                p = q;
            }
            continue;
        }
        case doubleQuoted:
        case singleQuoted: {
            const char16_t quote = mode == doubleQuoted ? u'"' : u'\'';
            std::int64_t q = p;
            while (q < n && u[q] != quote)
                ++q;
            if (q >= n) {
                emit.token(p, n - p, TokenKind::string);
                return mode | (raw << 8);
            }
            emit.token(p, q + 1 - p, TokenKind::string);
            p = q + 1;
            mode = inTag;
            afterEquals = false;
            continue;
        }
        case comment:
        case cdata: {
            const bool isComment = mode == comment;
            std::int64_t end = isComment ? find(u, n, p, "-->") : find(u, n, p, "]]>");
            TokenKind kind = isComment ? TokenKind::comment : TokenKind::string;
            if (end < 0) {
                emit.token(p, n - p, kind);
                return mode | (raw << 8);
            }
            emit.token(p, end + 3 - p, kind);
            p = end + 3;
            mode = text;
            continue;
        }
        case script:
        case style: {
            std::int64_t end =
                mode == script ? find(u, n, p, "</script", true) : find(u, n, p, "</style", true);
            if (end < 0)
                return mode | (raw << 8);
            p = end;
            mode = text;
            continue;
        }
        case declaration: {
            std::int64_t q = p;
            while (q < n && u[q] != u'>')
                ++q;
            if (q >= n) {
                emit.token(tokenStart, n - tokenStart, TokenKind::preprocessor);
                return mode | (raw << 8);
            }
            emit.token(tokenStart, q + 1 - tokenStart, TokenKind::preprocessor);
            p = q + 1;
            mode = text;
            continue;
        }
        default:
            mode = text;
            continue;
        }
    }
    return mode | (raw << 8);
}

} // namespace vendrix
