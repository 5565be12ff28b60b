#include "core/syntax/MarkdownTokenizer.h"

#include "core/syntax/ScanSupport.h"

#include <algorithm>

namespace vendrix {

using namespace syntax_detail;

namespace {

constexpr std::int64_t kWindow = 512;
constexpr std::uint32_t kFenced = 1;
constexpr std::uint32_t kComment = 2;

std::int64_t runLength(const char16_t* u, std::int64_t n, std::int64_t p, char16_t c) {
    std::int64_t q = p;
    while (q < n && u[q] == c)
        ++q;
    return q - p;
}

struct InlineScanner {
    const char16_t* u;
    std::int64_t n;
    TokenEmitter emit;
    std::int64_t emittedEnd = 0; // end of the last token, so a "!" is never claimed twice

    void token(std::int64_t location, std::int64_t length, TokenKind kind) {
        if (length <= 0)
            return;
        if (emit)
            emit(location, length, kind);
        emittedEnd = location + length;
    }

    /// Emphasis or strong text opened by the run at p; returns the position to continue at.
    std::int64_t emphasis(std::int64_t p) {
        const char16_t c = u[p];
        const std::int64_t run = runLength(u, n, p, c);
        const std::int64_t afterRun = p + run;
        bool opens = run <= 3 && afterRun < n && !isBlank(u[afterRun]);
        if (opens && c == u'_' && p > 0 && (isLetter(u[p - 1]) || isDigit(u[p - 1])))
            opens = false;
        if (!opens)
            return afterRun;
        const std::int64_t windowEnd = std::min(n, p + kWindow);
        std::int64_t q = afterRun;
        while (q < windowEnd) {
            if (u[q] == u'\\') {
                q += 2;
                continue;
            }
            if (u[q] != c) {
                ++q;
                continue;
            }
            std::int64_t closing = runLength(u, n, q, c);
            if (closing >= run && !isBlank(u[q - 1]) && q + run <= windowEnd) {
                token(p, q + run - p, run == 1 ? TokenKind::emphasis : TokenKind::strong);
                return q + run;
            }
            q += closing;
        }
        return afterRun;
    }

    std::int64_t codeSpan(std::int64_t p) {
        const std::int64_t run = runLength(u, n, p, u'`');
        const std::int64_t windowEnd = std::min(n, p + kWindow);
        std::int64_t q = p + run;
        while (q < windowEnd) {
            if (u[q] != u'`') {
                ++q;
                continue;
            }
            std::int64_t closing = runLength(u, n, q, u'`');
            if (closing == run && q + closing <= windowEnd) {
                token(p, q + closing - p, TokenKind::string);
                return q + closing;
            }
            q += closing;
        }
        return p + run;
    }

    std::int64_t link(std::int64_t p) {
        const std::int64_t windowEnd = std::min(n, p + kWindow);
        int depth = 0;
        std::int64_t close = -1;
        for (std::int64_t q = p; q < windowEnd; ++q) {
            if (u[q] == u'\\') {
                ++q;
            } else if (u[q] == u'[') {
                ++depth;
            } else if (u[q] == u']' && --depth == 0) {
                close = q;
                break;
            }
        }
        if (close < 0 || close + 1 >= n || u[close + 1] != u'(')
            return p + 1;
        const std::int64_t destinationEnd = std::min(n, close + 1 + kWindow);
        std::int64_t paren = close + 2;
        while (paren < destinationEnd && u[paren] != u')')
            ++paren;
        if (paren >= destinationEnd)
            return p + 1;
        std::int64_t start = (p > 0 && u[p - 1] == u'!' && p - 1 >= emittedEnd) ? p - 1 : p;
        token(start, close + 1 - start, TokenKind::link);
        token(close + 1, paren - close, TokenKind::attribute);
        return paren + 1;
    }

    std::int64_t angle(std::int64_t p) {
        if (p + 1 >= n)
            return p + 1;
        char16_t next = u[p + 1];
        if (!(isLetter(next) || next == u'_' || next == u'/' || next > 0x7F))
            return p + 1;
        const std::int64_t windowEnd = std::min(n, p + kWindow);
        for (std::int64_t q = p + 1; q < windowEnd; ++q) {
            if (u[q] == u'<')
                return p + 1;
            if (u[q] == u'>') {
                bool autoLink = find(u, q, p, "://") >= 0;
                token(p, q + 1 - p, autoLink ? TokenKind::attribute : TokenKind::tag);
                return q + 1;
            }
        }
        return p + 1;
    }

    /// Runs the inline scan from p; returns the state for the next line.
    std::uint32_t scan(std::int64_t p) {
        while (p < n) {
            switch (u[p]) {
            case u'\\':
                p += 2;
                break;
            case u'*':
            case u'_':
                p = emphasis(p);
                break;
            case u'`':
                p = codeSpan(p);
                break;
            case u'[':
                p = link(p);
                break;
            case u'<':
                if (matchesAt(u, n, p, "<!--")) {
                    std::int64_t end = find(u, n, p + 4, "-->");
                    if (end < 0) {
                        token(p, n - p, TokenKind::comment);
                        return kComment;
                    }
                    token(p, end + 3 - p, TokenKind::comment);
                    p = end + 3;
                } else {
                    p = angle(p);
                }
                break;
            default:
                ++p;
            }
        }
        return 0;
    }
};

} // namespace

std::uint32_t MarkdownTokenizer::tokenizeLine(const char16_t* u, std::int64_t n,
                                              std::uint32_t state, TokenEmitter emit) const {
    InlineScanner inlines{u, n, emit};
    const std::int64_t l = skipBlanks(u, n, 0);
    const std::uint32_t block = state & 0xFF;

    if (block == kComment) {
        std::int64_t end = find(u, n, 0, "-->");
        if (end < 0) {
            inlines.token(0, n, TokenKind::comment);
            return kComment;
        }
        inlines.token(0, end + 3, TokenKind::comment);
        return inlines.scan(end + 3);
    }
    if (block == kFenced) {
        inlines.token(0, n, TokenKind::string);
        const std::uint32_t fenceKind = (state >> 8) & 0xFF;
        const std::int64_t fenceLength = (state >> 16) & 0xFF;
        const std::uint32_t listIndent = state >> 24;
        const char16_t fence = fenceKind == 1 ? u'`' : fenceKind == 2 ? u'~' : 0;
        if (fence != 0 && l <= listIndent + 3 && l < n) {
            std::int64_t run = runLength(u, n, l, fence);
            if (run >= fenceLength && skipBlanks(u, n, l + run) == n)
                return listIndent << 8;
        }
        return state;
    }

    // Normal text: bits 8-15 hold the content indent of the list item the line may belong to
    // (0 outside lists). Blank lines and lines indented at least that far stay in the item.
    const std::uint32_t listIndent = (state >> 8) & 0xFF;
    if (l >= n)
        return listIndent << 8;
    const std::uint32_t kept = l >= static_cast<std::int64_t>(listIndent) ? listIndent << 8 : 0;
    auto scanRest = [&](std::int64_t from, std::uint32_t next) {
        std::uint32_t result = inlines.scan(from);
        return result == kComment ? kComment : next;
    };
    /// The state after a list marker ending at `end`: its content starts after 1 to 4 blanks.
    auto listItem = [&](std::int64_t end) {
        std::int64_t content = skipBlanks(u, n, end);
        if (content >= n || content - end > 4)
            content = end + 1;
        return static_cast<std::uint32_t>(std::min<std::int64_t>(content, 255)) << 8;
    };
    const char16_t c = u[l];
    const bool fenceCharacter = c == u'`' || c == u'~';
    if (fenceCharacter && l <= listIndent + 3) {
        std::int64_t run = runLength(u, n, l, c);
        if (run >= 3) {
            inlines.token(0, n, TokenKind::string);
            return kFenced + 256u * (c == u'`' ? 1u : 2u) +
                   65536u * static_cast<std::uint32_t>(std::min<std::int64_t>(run, 255)) +
                   (kept << 16);
        }
    }
    if (l > 3)
        return scanRest(0, kept);

    if (c == u'*' || c == u'-' || c == u'_' || c == u'=') {
        std::int64_t count = 0;
        bool only = true;
        for (std::int64_t q = l; q < n && only; ++q) {
            if (u[q] == c)
                ++count;
            else if (!isBlank(u[q]))
                only = false;
        }
        if (only && c == u'=') {
            inlines.token(l, n - l, TokenKind::heading);
            return kept;
        }
        if (only && count >= 3) {
            inlines.token(l, n - l, TokenKind::punctuation);
            return kept;
        }
        if (c == u'_' || c == u'=')
            return scanRest(0, kept);
    }
    if ((c == u'+' || c == u'*' || c == u'-') && l + 1 < n && isBlank(u[l + 1])) {
        inlines.token(l, 1, TokenKind::keyword);
        return scanRest(l + 1, listItem(l + 1));
    }
    if (c == u'>') {
        inlines.token(l, n - l, TokenKind::comment);
        return kept;
    }
    if (c == u'#') {
        std::int64_t run = runLength(u, n, l, u'#');
        if (run <= 6 && (l + run == n || isBlank(u[l + run]))) {
            inlines.token(l, n - l, TokenKind::heading);
            return kept;
        }
    }
    if (isDigit(c)) {
        std::int64_t q = l;
        while (q < n && isDigit(u[q]))
            ++q;
        if (q - l <= 9 && q < n && (u[q] == u'.' || u[q] == u')') &&
            (q + 1 == n || isBlank(u[q + 1]))) {
            inlines.token(l, q + 1 - l, TokenKind::keyword);
            return scanRest(q + 1, listItem(q + 1));
        }
    }
    return scanRest(0, kept);
}

} // namespace vendrix
