#include "core/syntax/CSSTokenizer.h"

#include "core/syntax/ScanSupport.h"

#include <algorithm>

namespace vendrix {

using namespace syntax_detail;

namespace {

constexpr std::int64_t kSelectorLookahead = 256;

inline bool isNameChar(char16_t c) {
    return isLetter(c) || isDigit(c) || c == u'_' || c == u'-' || c > 0x7F;
}
/// A name begins with a letter, "_", a unit above 0x7F, or "-" followed by a name character.
inline bool startsName(const char16_t* u, std::int64_t n, std::int64_t p) {
    if (p >= n)
        return false;
    char16_t c = u[p];
    if (isLetter(c) || c == u'_' || c > 0x7F)
        return true;
    return c == u'-' && p + 1 < n && isNameChar(u[p + 1]);
}
inline std::int64_t nameEnd(const char16_t* u, std::int64_t n, std::int64_t p) {
    while (p < n && isNameChar(u[p]))
        ++p;
    return p;
}

} // namespace

std::uint32_t CSSTokenizer::tokenizeLine(const char16_t* u, std::int64_t n, std::uint32_t state,
                                         TokenEmitter emit) const {
    std::uint32_t depth = (state >> 8) & 0xFF;
    bool value = (state >> 16) & 1;
    auto packed = [&](std::uint32_t low) { return low | (depth << 8) | (value ? 1u << 16 : 0u); };

    std::int64_t p = 0;
    if ((state & 0xFF) == 1) {
        std::int64_t end = find(u, n, 0, "*/");
        if (end < 0) {
            emit.token(0, n, TokenKind::comment);
            return packed(1);
        }
        emit.token(0, end + 2, TokenKind::comment);
        p = end + 2;
    }

    while (p < n) {
        const char16_t c = u[p];
        const char16_t next = p + 1 < n ? u[p + 1] : 0;
        if (isBlank(c)) {
            ++p;
        } else if (c == u'/' && next == u'*') {
            std::int64_t end = find(u, n, p + 2, "*/");
            if (end < 0) {
                emit.token(p, n - p, TokenKind::comment);
                return packed(1);
            }
            emit.token(p, end + 2 - p, TokenKind::comment);
            p = end + 2;
        } else if (c == u'/' && next == u'/' && (p == 0 || isBlank(u[p - 1]))) {
            emit.token(p, n - p, TokenKind::comment);
            return packed(0);
        } else if (c == u'"' || c == u'\'') {
            std::int64_t q = p + 1;
            while (q < n && u[q] != c)
                q += u[q] == u'\\' ? 2 : 1;
            std::int64_t end = std::min(q + 1, n);
            emit.token(p, end - p, TokenKind::string);
            p = end;
        } else if (isDigit(c) || (c == u'.' && isDigit(next)) ||
                   (value && c == u'-' && (isDigit(next) || next == u'.'))) {
            std::int64_t q = c == u'-' ? p + 1 : p;
            while (q < n && (isDigit(u[q]) || u[q] == u'.'))
                ++q;
            while (q < n && (isLetter(u[q]) || u[q] == u'%'))
                ++q;
            emit.token(p, q - p, TokenKind::number);
            p = q;
        } else if (c == u'!') {
            std::int64_t q = skipBlanks(u, n, p + 1);
            if (matchesAt(u, n, q, "important", true)) {
                emit.token(p, q + 9 - p, TokenKind::keyword);
                p = q + 9;
            } else {
                ++p;
            }
        } else if ((c == u'@' || c == u'$' || c == u'#') && p + 1 < n && isNameChar(next)) {
            std::int64_t q = nameEnd(u, n, p + 1);
            TokenKind kind = c == u'@'   ? TokenKind::keyword
                             : c == u'$' ? TokenKind::variable
                             : value     ? TokenKind::number
                                         : TokenKind::type;
            emit.token(p, q - p, kind);
            p = q;
        } else if (c == u'.' && !value && isNameChar(next)) {
            std::int64_t q = nameEnd(u, n, p + 1);
            emit.token(p, q - p, TokenKind::type);
            p = q;
        } else if (c == u':' && !value) {
            bool pseudo = depth == 0 || isLetter(next) || next > 0x7F || next == u'_' ||
                          next == u':' || (next == u'-' && p + 2 < n && isLetter(u[p + 2]));
            if (pseudo) {
                std::int64_t q = p + 1;
                if (q < n && u[q] == u':')
                    ++q;
                q = nameEnd(u, n, q);
                emit.token(p, q - p, TokenKind::attribute);
                p = q;
            } else {
                value = true;
                ++p;
            }
        } else if (c == u'{') {
            depth = std::min(depth + 1, 255u);
            value = false;
            ++p;
        } else if (c == u'}') {
            depth = depth == 0 ? 0 : depth - 1;
            value = false;
            ++p;
        } else if (c == u';') {
            value = false;
            ++p;
        } else if (startsName(u, n, p)) {
            const std::int64_t end = nameEnd(u, n, p);
            const bool custom = end - p >= 2 && u[p] == u'-' && u[p + 1] == u'-';
            const std::int64_t after = skipBlanks(u, n, end);
            const char16_t following = after < n ? u[after] : 0;
            if (following == u'(') {
                emit.token(p, end - p, TokenKind::function);
            } else if (value) {
                if (custom)
                    emit.token(p, end - p, TokenKind::variable);
            } else if (depth > 0 && following == u':') {
                bool selector = after + 1 < n && u[after + 1] == u':';
                if (!selector && after == end && startsName(u, n, after + 1)) {
                    const std::int64_t limit = std::min(n, after + 1 + kSelectorLookahead);
                    for (std::int64_t q = after + 1; q < limit; ++q) {
                        if (u[q] == u';' || u[q] == u'}')
                            break;
                        if (u[q] == u'{') {
                            selector = true;
                            break;
                        }
                    }
                }
                if (selector) {
                    emit.token(p, end - p, TokenKind::tag);
                } else {
                    emit.token(p, end - p, custom ? TokenKind::variable : TokenKind::property);
                    value = true;
                    p = after + 1;
                    continue;
                }
            } else {
                emit.token(p, end - p, TokenKind::tag);
            }
            p = end;
        } else {
            ++p;
        }
    }
    return packed(0);
}

} // namespace vendrix
