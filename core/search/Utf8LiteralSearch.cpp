#include "core/search/Utf8LiteralSearch.h"

#include "core/common/Utf8.h"
#include "core/search/LiteralMatcher.h"
#include "core/search/LiteralScan.h"
#include "core/search/SearchHit.h"
#include "core/search/UnicodeText.h"
#include "core/search/Utf8Bytes.h"
#include "core/text/TextEncoding.h"
#include "core/text/TextFileCodec.h"

#include <algorithm>
#include <cstring>

namespace vendrix {

namespace {

constexpr std::string_view kBOM = "\xEF\xBB\xBF";
/// Bytes checked and then scanned at a time (while they are in the cache), and between two
/// budget checks.
constexpr std::int64_t kWindow = std::int64_t{1} << 18;

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

/// Walks the bytes forward, counting line breaks as the decoded text will have them (LF, CR
/// and CR LF each one LF).
class LineTracker {
public:
    explicit LineTracker(std::string_view text) : m_text(text) {}

    /// Moves to `offset` (never backwards); line() and lineStart() describe its line.
    void advanceTo(std::int64_t offset) {
        const char* s = m_text.data();
        std::int64_t at = m_position;
        while (at < offset) {
            auto [feeds, stop] = utf8Bytes::lineFeedsBeforeCR(s, at, offset);
            // The LF of a CR LF was counted with its CR.
            if (feeds > 0 && s[at] == '\n' && at > 0 && s[at - 1] == '\r')
                --feeds;
            if (stop > at)
                if (const void* lf = memrchr(s + at, '\n', static_cast<size_t>(stop - at)))
                    m_lineStart = static_cast<const char*>(lf) - s + 1;
            m_line += feeds;
            if (stop == offset)
                break;
            ++m_line; // the CR
            m_lineStart = stop + 1;
            at = stop + 1;
        }
        m_position = offset;
    }
    /// Where the current line ends: its first CR or LF at or after `from`, or the end.
    std::int64_t lineEnd(std::int64_t from) const {
        const char* s = m_text.data();
        const auto rest = static_cast<size_t>(static_cast<std::int64_t>(m_text.size()) - from);
        const void* lf = std::memchr(s + from, '\n', rest);
        std::int64_t end = lf ? static_cast<const char*>(lf) - s
                              : static_cast<std::int64_t>(m_text.size());
        if (const void* cr = std::memchr(s + from, '\r', static_cast<size_t>(end - from)))
            end = static_cast<const char*>(cr) - s;
        return end;
    }
    std::int64_t line() const { return m_line; }
    std::int64_t lineStart() const { return m_lineStart; }

private:
    std::string_view m_text;
    std::int64_t m_position = 0;
    std::int64_t m_line = 0;
    std::int64_t m_lineStart = 0;
};

char32_t codePointAt(const unsigned char* s, std::int64_t at) {
    unsigned b = s[at];
    if (b < 0x80)
        return b;
    if (b < 0xE0)
        return ((b & 0x1F) << 6) | (s[at + 1] & 0x3F);
    if (b < 0xF0)
        return ((b & 0x0F) << 12) | ((s[at + 1] & 0x3F) << 6) | (s[at + 2] & 0x3F);
    return ((b & 0x07) << 18) | ((s[at + 1] & 0x3F) << 12) | ((s[at + 2] & 0x3F) << 6) |
           (s[at + 3] & 0x3F);
}

unsigned char asciiLower(unsigned char b) { return b >= 'A' && b <= 'Z' ? b + 32 : b; }

} // namespace

std::optional<Utf8LiteralSearch> Utf8LiteralSearch::make(const SearchPattern& pattern) {
    return make(pattern, false);
}

std::optional<Utf8LiteralSearch> Utf8LiteralSearch::makeForAscii(const SearchPattern& pattern) {
    return make(pattern, true);
}

std::optional<Utf8LiteralSearch> Utf8LiteralSearch::make(const SearchPattern& pattern,
                                                         bool onlyAscii) {
    const SearchOptions& options = pattern.options();
    const LiteralMatcher* literal = pattern.literal();
    // Line breaks in the query would meet CR and CR LF, which the decoded text no longer has.
    // Characters that fold into several (ß into "ss") are not ASCII.
    if (options.isRegex || !literal || (literal->hasExpansionHazards() && !onlyAscii) ||
        options.query.find_first_of(u"\r\n") != std::u16string::npos)
        return std::nullopt;
    Utf8LiteralSearch search;
    search.m_caseInsensitive = !options.matchCase;
    search.m_wholeWord = options.wholeWord;
    if (search.m_caseInsensitive) {
        std::u16string keys;
        for (char16_t c : options.query) {
            if (c >= 0x80)
                return std::nullopt;
            keys.push_back(literalFolding::key(c));
        }
        // No other character may fold like a query letter (K for k, ſ for s, İ and ı for i).
        for (char32_t c = 0x80; c < 0x10000 && !onlyAscii; ++c)
            if (!unicodeText::isSurrogate(static_cast<char16_t>(c)) &&
                keys.find(literalFolding::key(static_cast<char16_t>(c))) != std::u16string::npos)
                return std::nullopt;
        for (char16_t c : options.query)
            search.m_needle.push_back(static_cast<char>(asciiLower(static_cast<unsigned char>(c))));
    } else {
        search.m_needle = utf8::encode(options.query);
    }
    return search;
}

namespace {

/// Checks the UTF-8 of a text a part at a time, just ahead of the search, while the part is
/// still in the cache. Starts from a point where the text before is known to be valid and
/// no character is cut.
class Utf8Checker {
public:
    Utf8Checker(std::string_view text, std::size_t checkedTo) : m_text(text), m_checked(checkedTo) {}

    /// Checks at least up to `to`; false once something invalid was met.
    bool checkTo(std::int64_t to) {
        const std::size_t n = m_text.size();
        if (!m_valid || static_cast<std::size_t>(to) <= m_checked)
            return m_valid;
        // End at an ASCII byte, where no character can be cut.
        std::size_t end = std::min(n, static_cast<std::size_t>(to));
        while (end < n && static_cast<unsigned char>(m_text[end]) >= 0x80)
            ++end;
        m_valid = utf8Bytes::isValid(m_text.substr(m_checked, end - m_checked));
        m_checked = end;
        return m_valid;
    }

private:
    std::string_view m_text;
    std::size_t m_checked;
    bool m_valid = true;
};

/// Where the search text starts in `bytes` and how far detection has checked it; none when
/// TextFileCodec::decode would not read the bytes as UTF-8 for a reason seen there.
std::optional<std::pair<std::size_t, std::size_t>> utf8Start(std::string_view bytes) {
    // A byte order mark decides before anything else; invalid bytes after it make the whole
    // file single-byte text (the checker finds them).
    if (bytes.starts_with(kBOM))
        return std::pair<std::size_t, std::size_t>{kBOM.size(), 0};
    // Detection looks at a sample first (byte order marks, UTF-16 without one, binary data)
    // and checks the whole data only when the sample decides nothing. The sample is handed
    // to it whole and cut after a complete character, so that its verdict on the sample is
    // its verdict on the file; the rest is left to the checker.
    std::size_t cut = std::min(bytes.size(), TextFileCodec::kSampleSize);
    while (cut < bytes.size() && cut < TextFileCodec::kSampleSize + 4 &&
           isContinuation(static_cast<unsigned char>(bytes[cut])))
        ++cut;
    const DetectedEncoding head = TextFileCodec::detectEncoding(bytes.substr(0, cut));
    if (head.isBinary || head.encoding != TextEncoding::utf8)
        return std::nullopt;
    return std::pair<std::size_t, std::size_t>{0, cut};
}

} // namespace

bool Utf8LiteralSearch::readsAsUtf8(std::string_view bytes) {
    auto start = utf8Start(bytes);
    if (!start)
        return false;
    const std::string_view text = bytes.substr(start->first);
    return Utf8Checker(text, start->second).checkTo(static_cast<std::int64_t>(text.size()));
}

std::int64_t Utf8LiteralSearch::find(std::string_view text, std::int64_t from,
                                     std::int64_t to) const {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const auto* needle = reinterpret_cast<const unsigned char*>(m_needle.data());
    const auto m = static_cast<std::int64_t>(m_needle.size());
    const std::int64_t limit = to - m + 1;
    literalScan::Probe<unsigned char> probe;
    probe.lastOffset = m - 1;
    probe.middleOffset = m / 2;
    if (!m_caseInsensitive) {
        probe.first.fill(needle[0]);
        probe.last.fill(needle[m - 1]);
        probe.middle.fill(needle[m / 2]);
        auto verify = [&](std::int64_t p) {
            return m <= 2 || std::memcmp(s + p + 1, needle + 1, static_cast<size_t>(m - 2)) == 0;
        };
        return literalScan::scan<1>(s, from, limit, probe, verify);
    }
    auto upper = [](unsigned char b) {
        return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - 32) : b;
    };
    probe.first = {needle[0], upper(needle[0]), needle[0], needle[0]};
    probe.last = {needle[m - 1], upper(needle[m - 1]), needle[m - 1], needle[m - 1]};
    probe.middle = {needle[m / 2], upper(needle[m / 2]), needle[m / 2], needle[m / 2]};
    auto verify = [&](std::int64_t p) {
        for (std::int64_t i = 1; i + 1 < m; ++i)
            if (asciiLower(s[p + i]) != needle[i])
                return false;
        return true;
    };
    return literalScan::scan<2>(s, from, limit, probe, verify);
}

bool Utf8LiteralSearch::boundariesAllow(std::string_view text, std::int64_t start) const {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::int64_t end = start + static_cast<std::int64_t>(m_needle.size());
    if (start > 0) {
        std::int64_t before = start - 1;
        while (before > 0 && isContinuation(s[before]))
            --before;
        if (unicodeText::isWordBoundaryBlocker(codePointAt(s, before)))
            return false;
    }
    return end >= static_cast<std::int64_t>(text.size()) ||
           !unicodeText::isWordBoundaryBlocker(codePointAt(s, end));
}

std::expected<std::optional<Utf8SearchResult>, SearchFailure>
Utf8LiteralSearch::searchIfUtf8(std::string_view bytes, std::int64_t limit,
                                const SearchBudget& budget) const {
    if (auto failure = budget.check())
        return std::unexpected(*failure);
    const auto start = utf8Start(bytes);
    if (!start)
        return std::nullopt;
    const std::string_view text = bytes.substr(start->first);
    Utf8Checker checker(text, start->second);
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const auto length = static_cast<std::int64_t>(text.size());
    const auto m = static_cast<std::int64_t>(m_needle.size());

    Utf8SearchResult result;
    LineTracker lines(text);
    // The line of the previous hit, decoded once for all its hits.
    std::int64_t cachedLine = -1;
    std::u16string lineText;
    std::int64_t previousHit = 0, previousColumn = 0;
    std::int64_t position = 0;
    while (position + m <= length) {
        const std::int64_t windowEnd = std::min(length, position + kWindow + m - 1);
        if (!checker.checkTo(windowEnd))
            return std::nullopt;
        const std::int64_t found = find(text, position, windowEnd);
        if (found < 0) {
            position = windowEnd - m + 1;
            if (auto failure = budget.check())
                return std::unexpected(*failure);
            continue;
        }
        if (m_wholeWord && !boundariesAllow(text, found)) {
            position = found + 1;
            continue;
        }
        if (static_cast<std::int64_t>(result.hits.size()) >= limit) {
            result.truncated = true;
            break;
        }
        lines.advanceTo(found);
        Utf8Hit hit;
        hit.line = lines.line();
        if (hit.line == cachedLine) {
            hit.column = previousColumn + utf8Bytes::utf16Units(s, previousHit, found);
        } else {
            hit.column = utf8Bytes::utf16Units(s, lines.lineStart(), found);
            const std::int64_t lineEnd = lines.lineEnd(found);
            lineText = utf8::decode(text.substr(static_cast<size_t>(lines.lineStart()),
                                                static_cast<size_t>(lineEnd - lines.lineStart())));
            cachedLine = hit.line;
        }
        previousHit = found;
        previousColumn = hit.column;
        hit.preview = SearchHit::makePreview(
            lineText, TextRange{0, static_cast<std::int64_t>(lineText.size())}, hit.column,
            &hit.previewColumn);
        result.hits.push_back(std::move(hit));
        position = found + m;
        if ((result.hits.size() & 2047) == 0)
            if (auto failure = budget.check())
                return std::unexpected(*failure);
    }
    // Hits stopped at the limit count only if the rest is UTF-8 too.
    if (!checker.checkTo(length))
        return std::nullopt;
    return result;
}

} // namespace vendrix
