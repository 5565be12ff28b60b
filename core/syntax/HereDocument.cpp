#include "core/syntax/HereDocument.h"

namespace vendrix::syntax_detail {

namespace {

/// 24 bits of FNV-1a over the word's units.
std::uint32_t wordHash(const char16_t* u, std::int64_t start, std::int64_t end) {
    std::uint32_t h = 0x811c9dc5u;
    for (std::int64_t i = start; i < end; ++i)
        h = (h ^ u[i]) * 0x01000193u;
    return (h >> 24) ^ (h & 0xFFFFFFu);
}

/// Units that end an unquoted here-document word.
bool endsWord(char16_t c) {
    return isBlank(c) || c == u';' || c == u'&' || c == u'|' || c == u'<' || c == u'>' ||
           c == u'(' || c == u')' || c == u'\'' || c == u'"' || c == u'`';
}

} // namespace

std::int64_t HereDocument::parseOpener(const char16_t* u, std::int64_t n, std::int64_t p,
                                       std::int64_t& wordStart, std::uint32_t& state) {
    std::int64_t q = p + 2;
    if (q < n && u[q] == u'<')
        return -1; // a here-string
    std::uint32_t flags = 0;
    if (q < n && u[q] == u'-') {
        flags |= kStripTabs;
        ++q;
    }
    q = skipBlanks(u, n, q);
    if (q >= n)
        return -1;
    wordStart = q;
    std::int64_t start = q;
    std::int64_t end = q;
    std::int64_t after = q;
    if (u[q] == u'\'' || u[q] == u'"') {
        const char16_t quote = u[q];
        start = q + 1;
        end = start;
        while (end < n && u[end] != quote)
            ++end;
        if (end >= n)
            return -1;
        after = end + 1;
        flags |= kQuoted;
    } else {
        if (u[q] == u'\\') {
            flags |= kQuoted;
            start = ++q;
        }
        end = q;
        while (end < n && !endsWord(u[end]))
            ++end;
        after = end;
    }
    if (end == start)
        return -1;
    state = kStateBase | flags | (wordHash(u, start, end) << 8);
    return after;
}

std::uint32_t HereDocument::bodyLine(const CodeScanner& scan, std::uint32_t state) {
    const char16_t* u = scan.u;
    const std::int64_t n = scan.n;
    std::int64_t start = 0;
    if (state & kStripTabs) {
        while (start < n && u[start] == u'\t')
            ++start;
    }
    std::int64_t end = n;
    if (end > start && u[end - 1] == u'\r')
        --end;
    if (end > start && wordHash(u, start, end) == (state >> 8)) {
        scan.token(start, end - start, TokenKind::string);
        return 0;
    }
    if (!scan.emit)
        return state;
    if (state & kQuoted) {
        scan.token(0, n, TokenKind::string);
        return state;
    }
    // Expansions in the body are variables; the text around them is string.
    std::int64_t text = 0;
    for (std::int64_t p = 0; p < n;) {
        if (u[p] == u'\\') {
            p += 2;
            continue;
        }
        std::int64_t variable = u[p] == u'$' ? scan.variableEnd(p) : -1;
        if (variable < 0) {
            ++p;
            continue;
        }
        scan.token(text, p - text, TokenKind::string);
        scan.token(p, variable - p, TokenKind::variable);
        text = p = variable;
    }
    scan.token(text, n - text, TokenKind::string);
    return state;
}

} // namespace vendrix::syntax_detail
