#include "core/syntax/CodeScanner.h"

#include <string_view>

namespace vendrix::syntax_detail {

namespace {

inline bool isAlnumUnderscore(char16_t c) {
    return isLetter(c) || isDigit(c) || c == u'_';
}

} // namespace

std::int64_t CodeScanner::blockComment(std::int64_t q, int& d) const {
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

std::int64_t CodeScanner::nestingStringBody(std::int64_t q, const StringRule& rule,
                                            std::int64_t hashes, int nesting) const {
    const auto closeLength = static_cast<std::int64_t>(rule.close.size());
    while (q < n) {
        if (rule.escape != 0 && u[q] == rule.escape) {
            std::int64_t after = q + 1;
            if (rule.hashDelimited) {
                if (hashRun(u, n, after) < hashes) {
                    ++q; // a plain backslash in a raw string
                    continue;
                }
                after += hashes;
            }
            if (rule.interpolation != 0 && after < n && u[after] == rule.interpolation) {
                q = interpolationEnd(after + 1, nesting);
                if (q < 0)
                    return -1;
                continue;
            }
            q = after + 1;
        } else if (rule.nestedExpansions && u[q] == u'$' && q + 1 < n &&
                   (u[q + 1] == u'{' || u[q + 1] == u'(') && nesting < kMaxNesting) {
            q = shellGroupEnd(q + 2, u[q + 1] == u'{' ? u'}' : u')', nesting + 1);
            if (q < 0)
                return -1;
        } else if (matchesAt(u, n, q, rule.close)) {
            std::int64_t end = q + closeLength;
            if (rule.hashDelimited) {
                if (hashRun(u, n, end) < hashes - 1) {
                    ++q;
                    continue;
                }
                end += hashes - 1;
            }
            if (rule.doubledCloseEscapes && matchesAt(u, n, end, rule.close)) {
                q = end + closeLength;
                continue;
            }
            return end;
        } else {
            ++q;
        }
    }
    return -1;
}

std::int64_t CodeScanner::interpolationEnd(std::int64_t q, int nesting) const {
    int depth = 1;
    while (q < n) {
        const char16_t c = u[q];
        if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            if (--depth == 0)
                return q + 1;
        } else if (nesting < kMaxNesting) {
            bool literal = false;
            for (const StringRule& rule : syntax.strings) {
                std::int64_t hashes = 0;
                std::int64_t opener = openerLength(q, rule, hashes);
                if (opener == 0)
                    continue;
                q = stringBody(q + opener, rule, hashes, nesting + 1);
                if (q < 0)
                    return -1;
                literal = true;
                break;
            }
            if (literal)
                continue;
        }
        ++q;
    }
    return -1;
}

std::int64_t CodeScanner::regexEnd(std::int64_t p) const {
    bool inClass = false;
    std::int64_t q = p + 1;
    while (q < n) {
        const char16_t c = u[q];
        if (c == u'\\') {
            q += 2;
        } else if (inClass) {
            inClass = c != u']';
            ++q;
        } else if (c == u'[') {
            inClass = true;
            ++q;
        } else if (c == u'/') {
            ++q;
            while (q < n && isLetter(u[q])) // flags
                ++q;
            return q;
        } else {
            ++q;
        }
    }
    return -1;
}

bool CodeScanner::keywordBeforeStartsRegex(std::int64_t p) const {
    std::int64_t end = p;
    while (end > 0 && isBlank(u[end - 1]))
        --end;
    std::int64_t start = end;
    while (start > 0 && isIdentifierPart(u[start - 1]))
        --start;
    static constexpr std::string_view words[] = {"return", "typeof",     "case",  "do",     "else",
                                                 "in",     "instanceof", "new",   "delete", "void",
                                                 "throw",  "yield",      "await", "of"};
    const std::int64_t length = end - start;
    for (std::string_view word : words) {
        if (static_cast<std::int64_t>(word.size()) == length &&
            matchesAt(u, n, start, word.data(), length))
            return true;
    }
    return false;
}

std::int64_t CodeScanner::shellGroupEnd(std::int64_t q, char16_t close, int nesting) const {
    while (q < n) {
        const char16_t c = u[q];
        if (c == u'\\') {
            q += 2;
        } else if (c == close) {
            return q + 1;
        } else if (c == u'\'') {
            std::int64_t end = q + 1;
            while (end < n && u[end] != u'\'')
                ++end;
            if (end >= n)
                return -1;
            q = end + 1;
        } else if (c == u'"') {
            ++q;
            while (q < n && u[q] != u'"') {
                if (u[q] == u'\\') {
                    q += 2;
                } else if (u[q] == u'$' && q + 1 < n && (u[q + 1] == u'{' || u[q + 1] == u'(') &&
                           nesting < kMaxNesting) {
                    q = shellGroupEnd(q + 2, u[q + 1] == u'{' ? u'}' : u')', nesting + 1);
                    if (q < 0)
                        return -1;
                } else {
                    ++q;
                }
            }
            if (q >= n)
                return -1;
            ++q;
        } else if (nesting < kMaxNesting &&
                   ((c == u'$' && q + 1 < n && (u[q + 1] == u'{' || u[q + 1] == u'(')) ||
                    (c == u'(' && close == u')'))) {
            const bool dollar = c == u'$';
            q = shellGroupEnd(q + (dollar ? 2 : 1), dollar && u[q + 1] == u'{' ? u'}' : u')',
                              nesting + 1);
            if (q < 0)
                return -1;
        } else {
            ++q;
        }
    }
    return -1;
}

std::int64_t CodeScanner::variableEnd(std::int64_t p) const {
    if (p + 1 >= n)
        return -1;
    const char16_t next = u[p + 1];
    if (next == u'{') {
        std::int64_t end = shellGroupEnd(p + 2, u'}', 0);
        return end < 0 ? n : end;
    }
    if (isLetter(next) || next == u'_' || next > 0x7F) {
        std::int64_t end = p + 1;
        while (end < n && (isAlnumUnderscore(u[end]) || u[end] > 0x7F))
            ++end;
        return end;
    }
    if (isDigit(next) || next == u'!' || next == u'#' || next == u'$' || next == u'*' ||
        next == u'-' || next == u'?' || next == u'@')
        return p + 2;
    return -1;
}

std::int64_t CodeScanner::arithmeticEnd(std::int64_t p) const {
    int depth = 0;
    for (std::int64_t q = p; q < n; ++q) {
        if (u[q] == u'(') {
            ++depth;
        } else if (u[q] == u')' && --depth == 0) {
            return q + 1;
        }
    }
    return n;
}

} // namespace vendrix::syntax_detail
