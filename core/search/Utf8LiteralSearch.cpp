#include "core/search/Utf8LiteralSearch.h"

#include "core/common/Utf8.h"
#include "core/search/ByteFrequency.h"
#include "core/search/LiteralMatcher.h"
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
    search.m_wholeWord = options.wholeWord;
    if (options.matchCase) {
        search.m_units.push_back(Unit{{utf8::encode(options.query)}, 0, 0});
    } else {
        // The matcher compares fold keys unit by unit (its query has BMP characters alone):
        // each query character stands for every BMP character with its key, found in one
        // pass over the keys.
        std::vector<std::int32_t> firstWithKey(0x10000, -1); // a position holding each key
        for (std::size_t i = options.query.size(); i-- > 0;) {
            if (onlyAscii && options.query[i] >= 0x80)
                return std::nullopt;
            firstWithKey[literalFolding::key(options.query[i])] = static_cast<std::int32_t>(i);
        }
        search.m_units.resize(options.query.size());
        const char32_t end = onlyAscii ? 0x80 : 0x10000;
        for (char32_t c = 0; c < end; ++c) {
            const auto unit = static_cast<char16_t>(c);
            const std::int32_t i = firstWithKey[literalFolding::key(unit)];
            if (i >= 0 && !unicodeText::isSurrogate(unit))
                search.m_units[static_cast<std::size_t>(i)].forms.push_back(
                    utf8::encode(std::u16string(1, unit)));
        }
        for (std::size_t i = 0; i < options.query.size(); ++i)
            search.m_units[i] = search.m_units[static_cast<std::size_t>(
                firstWithKey[literalFolding::key(options.query[i])])];
    }
    for (Unit& unit : search.m_units) {
        unit.minLength = INT64_MAX;
        for (const std::string& form : unit.forms) {
            unit.minLength = std::min(unit.minLength, static_cast<std::int64_t>(form.size()));
            unit.maxLength = std::max(unit.maxLength, static_cast<std::int64_t>(form.size()));
        }
        search.m_minLength += unit.minLength;
        search.m_maxLength += unit.maxLength;
    }
    if (!search.prepareProbe())
        return std::nullopt;
    return search;
}

bool Utf8LiteralSearch::prepareProbe() {
    // The filter needs slots at fixed distances: from the start of some unit (the anchor)
    // on, as long as the units have forms of one length, and into the first bytes of the
    // first unit that has not. Each slot allows the bytes its forms have there (at most
    // four). Of every anchor's slots the three rarest are taken, and the anchor whose three
    // let the fewest candidates through. An anchor after a unit of one length has no slot
    // that the anchor before that unit lacks, so only the first unit and those after a unit of
    // several lengths are tried (which keeps this linear in the query's length).
    double bestRate = 2.0;
    std::int64_t before = 0, minBefore = 0;
    for (std::size_t anchor = 0; anchor < m_units.size(); ++anchor) {
        if (anchor > 0 && m_units[anchor - 1].minLength == m_units[anchor - 1].maxLength) {
            minBefore += m_units[anchor].minLength;
            before += m_units[anchor].maxLength;
            continue;
        }
        std::vector<byteFrequency::Slot> slots;
        std::vector<std::vector<unsigned char>> allowed;
        std::int64_t offset = 0;
        for (std::size_t j = anchor; j < m_units.size(); ++j) {
            const Unit& unit = m_units[j];
            for (std::int64_t k = 0; k < unit.minLength; ++k) {
                std::vector<unsigned char> bytes;
                for (const std::string& form : unit.forms) {
                    const auto b = static_cast<unsigned char>(form[static_cast<std::size_t>(k)]);
                    if (std::find(bytes.begin(), bytes.end(), b) == bytes.end())
                        bytes.push_back(b);
                }
                if (bytes.size() > 4)
                    continue;
                std::uint32_t cost = 0;
                for (unsigned char b : bytes)
                    cost += byteFrequency::kPer100k[b];
                slots.push_back({offset + k, cost});
                allowed.resize(static_cast<std::size_t>(offset + k + 1));
                allowed[static_cast<std::size_t>(offset + k)] = std::move(bytes);
            }
            if (unit.minLength != unit.maxLength)
                break;
            offset += unit.minLength;
        }
        std::vector<byteFrequency::Slot> chosen = byteFrequency::rarest(std::move(slots));
        const double rate = chosen.empty() ? 2.0 : byteFrequency::passRate(chosen);
        if (rate < bestRate) {
            bestRate = rate;
            while (chosen.size() < 3)
                chosen.push_back(chosen.front());
            std::array<std::array<unsigned char, 4>*, 3> sets = {&m_probe.first, &m_probe.second,
                                                                 &m_probe.third};
            std::array<std::int64_t*, 3> offsets = {&m_probe.firstOffset, &m_probe.secondOffset,
                                                    &m_probe.thirdOffset};
            m_probeWidth = 1;
            m_reach = 0;
            for (std::size_t i = 0; i < 3; ++i) {
                const auto& bytes = allowed[static_cast<std::size_t>(chosen[i].offset)];
                for (std::size_t k = 0; k < 4; ++k)
                    (*sets[i])[k] = bytes[std::min(k, bytes.size() - 1)];
                *offsets[i] = chosen[i].offset;
                m_probeWidth = std::max(m_probeWidth, bytes.size() == 1   ? 1
                                                      : bytes.size() == 2 ? 2
                                                                          : 4);
                m_reach = std::max(m_reach, chosen[i].offset);
            }
            m_anchor = anchor;
            m_minBefore = minBefore;
            m_maxBefore = before;
        }
        // Every unit's first byte is at a fixed distance from its start, so an anchor lacks
        // slots only where that byte takes more than four values.
        minBefore += m_units[anchor].minLength;
        before += m_units[anchor].maxLength;
    }
    return bestRate <= 1.0;
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

std::optional<Utf8LiteralSearch::Match>
Utf8LiteralSearch::find(std::string_view text, std::int64_t from, std::int64_t startLimit,
                        std::int64_t readEnd) const {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    Match match;
    // A candidate is where the anchor unit would start: the units before it are matched
    // backwards from there (no form is another's suffix, so at most one fits), the rest
    // forwards (no form is another's prefix).
    auto verify = [&](std::int64_t q) {
        std::int64_t at = q;
        for (std::size_t j = m_anchor; j-- > 0;) {
            const Unit& unit = m_units[j];
            bool fits = false;
            for (const std::string& form : unit.forms) {
                const auto n = static_cast<std::int64_t>(form.size());
                if (at - n >= from && std::memcmp(s + at - n, form.data(), form.size()) == 0) {
                    at -= n;
                    fits = true;
                    break;
                }
            }
            if (!fits)
                return false;
        }
        match.start = at;
        at = q;
        for (std::size_t j = m_anchor; j < m_units.size(); ++j) {
            const Unit& unit = m_units[j];
            bool fits = false;
            for (const std::string& form : unit.forms) {
                const auto n = static_cast<std::int64_t>(form.size());
                if (at + n <= readEnd && std::memcmp(s + at, form.data(), form.size()) == 0) {
                    at += n;
                    fits = true;
                    break;
                }
            }
            if (!fits)
                return false;
        }
        match.end = at;
        return true;
    };
    // Every match starting before startLimit has its anchor before startLimit + m_maxBefore,
    // and its filtered bytes inside it, before readEnd.
    const std::int64_t limit = std::min(startLimit + m_maxBefore, readEnd - m_reach);
    const std::int64_t qFrom = from + m_minBefore;
    std::int64_t found = -1;
    switch (m_probeWidth) {
    case 1: found = literalScan::scan<1>(s, qFrom, limit, m_probe, verify); break;
    case 2: found = literalScan::scan<2>(s, qFrom, limit, m_probe, verify); break;
    default: found = literalScan::scan<4>(s, qFrom, limit, m_probe, verify); break;
    }
    if (found < 0)
        return std::nullopt;
    return match;
}

bool Utf8LiteralSearch::boundariesAllow(std::string_view text, Match match) const {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    if (match.start > 0) {
        std::int64_t before = match.start - 1;
        while (before > 0 && isContinuation(s[before]))
            --before;
        if (unicodeText::isWordBoundaryBlocker(codePointAt(s, before)))
            return false;
    }
    return match.end >= static_cast<std::int64_t>(text.size()) ||
           !unicodeText::isWordBoundaryBlocker(codePointAt(s, match.end));
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

    Utf8SearchResult result;
    LineTracker lines(text);
    // The line of the previous hit, decoded once for all its hits.
    std::int64_t cachedLine = -1;
    std::u16string lineText;
    std::int64_t previousHit = 0, previousColumn = 0;
    std::int64_t position = 0;
    while (position + m_minLength <= length) {
        // Matches starting in the window are looked for in bytes already checked.
        const std::int64_t startLimit = std::min(length, position + kWindow);
        const std::int64_t windowEnd = std::min(length, startLimit + m_maxLength - 1);
        if (!checker.checkTo(windowEnd))
            return std::nullopt;
        const std::optional<Match> match = find(text, position, startLimit, windowEnd);
        if (!match) {
            position = startLimit;
            if (auto failure = budget.check())
                return std::unexpected(*failure);
            continue;
        }
        const std::int64_t found = match->start;
        if (m_wholeWord && !boundariesAllow(text, *match)) {
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
        position = match->end;
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
