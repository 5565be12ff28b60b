#include "core/syntax/YAMLTokenizer.h"

#include "core/syntax/ScanSupport.h"

#include <algorithm>

namespace vendrix {

using namespace syntax_detail;

namespace {

constexpr std::uint32_t kBlockScalar = 1;

inline bool blankOrEnd(const char16_t* u, std::int64_t n, std::int64_t p) {
    return p >= n || isBlank(u[p]);
}

/// The end of a quoted scalar opened at p (after the closing quote), or -1 when it does not
/// close on the line. Double quotes take backslash escapes; single quotes a doubled quote.
std::int64_t quotedEnd(const char16_t* u, std::int64_t n, std::int64_t p) {
    const char16_t quote = u[p];
    std::int64_t q = p + 1;
    while (q < n) {
        if (quote == u'"' && u[q] == u'\\') {
            q += 2;
        } else if (u[q] == quote) {
            if (quote == u'\'' && q + 1 < n && u[q + 1] == u'\'') {
                q += 2;
                continue;
            }
            return q + 1;
        } else {
            ++q;
        }
    }
    return -1;
}

bool isConstantWord(const char16_t* u, std::int64_t start, std::int64_t end) {
    static const char* const words[] = {"true", "false", "yes", "no", "on", "off", "null", "~"};
    for (const char* word : words) {
        auto length = static_cast<std::int64_t>(std::char_traits<char>::length(word));
        if (end - start == length && matchesAt(u, end, start, word, length, true))
            return true;
    }
    return false;
}

bool isNumeric(const char16_t* u, std::int64_t start, std::int64_t end) {
    std::int64_t p = start;
    if (p < end && (u[p] == u'+' || u[p] == u'-'))
        ++p;
    if (p >= end || !(isDigit(u[p]) || u[p] == u'.'))
        return false;
    bool digit = false;
    for (; p < end; ++p) {
        char16_t c = u[p];
        if (isDigit(c)) {
            digit = true;
        } else if (!(c == u'+' || c == u'-' || c == u'.' || c == u'_' || c == u'x' || c == u'o' ||
                     (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'))) {
            return false;
        }
    }
    return digit;
}

} // namespace

std::uint32_t YAMLTokenizer::tokenizeLine(const char16_t* u, std::int64_t n, std::uint32_t state,
                                          TokenEmitter emit) const {
    const std::int64_t first = skipBlanks(u, n, 0);
    if ((state & 0xFF) == kBlockScalar) {
        const std::int64_t column = (state >> 8) & 0xFFFF;
        if (first >= n)
            return state;
        if (first > column) {
            emit.token(first, n - first, TokenKind::string);
            return state;
        }
    }
    if (first >= n)
        return 0;

    std::int64_t p = first;
    // A block scalar without a key or dash on its line (a bare "|" continuing an entry) takes
    // the line's indentation as its reference column.
    std::int64_t reference = first;
    if (first == 0) {
        if ((matchesAt(u, n, 0, "---") || matchesAt(u, n, 0, "...")) && blankOrEnd(u, n, 3)) {
            emit.token(0, 3, TokenKind::keyword);
            p = skipBlanks(u, n, 3);
        }
        if (p < n && u[p] == u'%') {
            emit.token(p, n - p, TokenKind::preprocessor);
            return 0;
        }
    }

    while (p < n && u[p] == u'-' && blankOrEnd(u, n, p + 1)) {
        emit.token(p, 1, TokenKind::punctuation);
        reference = p;
        p = skipBlanks(u, n, p + 1);
    }
    if (p < n && u[p] == u'#') {
        emit.token(p, n - p, TokenKind::comment);
        return 0;
    }

    // A key at the start of the entry.
    if (p < n) {
        std::int64_t keyEnd = -1;
        std::int64_t colon = -1;
        const char16_t c = u[p];
        if (c == u'"' || c == u'\'') {
            std::int64_t end = quotedEnd(u, n, p);
            if (end > 0) {
                std::int64_t after = skipBlanks(u, n, end);
                if (after < n && u[after] == u':' && blankOrEnd(u, n, after + 1)) {
                    keyEnd = end;
                    colon = after;
                }
            }
        } else if (!(c == u'!' || c == u'#' || c == u'&' || c == u'*' || c == u'>' || c == u'[' ||
                     c == u'{' || c == u'|')) {
            for (std::int64_t q = p; q < n; ++q) {
                if (u[q] == u'#' && q > p && isBlank(u[q - 1]))
                    break;
                if (u[q] == u':' && blankOrEnd(u, n, q + 1)) {
                    std::int64_t end = q;
                    while (end > p && isBlank(u[end - 1]))
                        --end;
                    if (end > p) {
                        keyEnd = end;
                        colon = q;
                    }
                    break;
                }
            }
        }
        if (keyEnd > 0) {
            emit.token(p, keyEnd - p, TokenKind::property);
            reference = p;
            p = skipBlanks(u, n, colon + 1);
        }
    }

    // Brackets open on this line: inside them a "," or a closing bracket ends a plain scalar;
    // outside them both are ordinary text.
    int flowDepth = 0;
    while (p < n) {
        const char16_t c = u[p];
        if (c == u'[' || c == u'{') {
            ++flowDepth;
            ++p;
        } else if (c == u']' || c == u'}') {
            flowDepth = std::max(flowDepth - 1, 0);
            ++p;
        } else if (isBlank(c) || c == u',') {
            ++p;
        } else if (c == u'!') {
            std::int64_t q = p;
            while (q < n && !isBlank(u[q]))
                ++q;
            emit.token(p, q - p, TokenKind::type);
            p = q;
        } else if (c == u'&' || c == u'*') {
            std::int64_t q = p + 1;
            while (q < n && !isBlank(u[q]) && u[q] != u',' && u[q] != u'}' && u[q] != u']')
                ++q;
            emit.token(p, q - p, TokenKind::variable);
            p = q;
        } else if (c == u'"' || c == u'\'') {
            std::int64_t end = quotedEnd(u, n, p);
            if (end < 0)
                end = n;
            emit.token(p, end - p, TokenKind::string);
            p = end;
        } else if (c == u'#' && (p == 0 || isBlank(u[p - 1]))) {
            emit.token(p, n - p, TokenKind::comment);
            return 0;
        } else {
            if (c == u'|' || c == u'>') {
                std::int64_t q = p + 1;
                while (q < n && (u[q] == u'+' || u[q] == u'-' || isDigit(u[q])))
                    ++q;
                std::int64_t rest = skipBlanks(u, n, q);
                if (rest == n || u[rest] == u'#') {
                    emit.token(p, q - p, TokenKind::punctuation);
                    if (rest < n)
                        emit.token(rest, n - rest, TokenKind::comment);
                    return kBlockScalar + 256u * static_cast<std::uint32_t>(
                                                     std::min<std::int64_t>(reference, 65535));
                }
            }
            // A plain scalar, or a key inside a flow or compact mapping.
            std::int64_t q = p;
            bool key = false;
            while (q < n) {
                char16_t d = u[q];
                if ((flowDepth > 0 && (d == u',' || d == u']' || d == u'}')) ||
                    (d == u'#' && isBlank(u[q - 1])))
                    break;
                if (d == u':' && blankOrEnd(u, n, q + 1)) {
                    key = true;
                    break;
                }
                ++q;
            }
            std::int64_t end = q;
            while (end > p && isBlank(u[end - 1]))
                --end;
            if (key) {
                emit.token(p, end - p, TokenKind::property);
                reference = p;
                p = q + 1;
                continue;
            }
            if (isConstantWord(u, p, end))
                emit.token(p, end - p, TokenKind::constant);
            else if (isNumeric(u, p, end))
                emit.token(p, end - p, TokenKind::number);
            p = q;
        }
    }
    return 0;
}

} // namespace vendrix
