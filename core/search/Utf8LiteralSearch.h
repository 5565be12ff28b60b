#pragma once

#include "core/search/LiteralScan.h"
#include "core/search/SearchBudget.h"
#include "core/search/SearchFailure.h"
#include "core/search/SearchPattern.h"

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// One hit found in a file's bytes, located as in the decoded text (SearchHit's line,
/// column and preview).
struct Utf8Hit {
    std::int64_t line = 0;
    std::int64_t column = 0;
    std::u16string preview;
    /// Where the match starts in `preview`.
    std::int64_t previewColumn = 0;

    friend bool operator==(const Utf8Hit&, const Utf8Hit&) = default;
};

/// The hits of a Utf8LiteralSearch over one file.
struct Utf8SearchResult {
    std::vector<Utf8Hit> hits;
    /// More hits existed than the limit allowed.
    bool truncated = false;
};

/// A plain search run on the bytes of a UTF-8 file instead of its decoded text, with the
/// hits a search of the decoded, LF-normalised text would give: the query is encoded once
/// (without case, each character as every UTF-8 form it may take in the text: i as i, I, İ
/// and ı, k as k, K and the Kelvin sign, whatever their lengths), the bytes are scanned with
/// the vector filter on the query's rarest bytes, and line, column and preview are worked out
/// for the hits alone. Only for what the bytes answer exactly: a plain query without line
/// breaks that the literal matcher takes, and without case none that a text character
/// folding into several (ß for "ss") could match. Immutable.
class Utf8LiteralSearch {
public:
    /// None when the pattern needs the decoded text.
    [[nodiscard]] static std::optional<Utf8LiteralSearch> make(const SearchPattern& pattern);
    /// Like make(), but also for an ASCII query without case that characters folding into
    /// several could match (ß for "ss"): exact only for bytes that are all ASCII, where no
    /// such character can occur. The caller checks the bytes.
    [[nodiscard]] static std::optional<Utf8LiteralSearch>
    makeForAscii(const SearchPattern& pattern);

    /// True when TextFileCodec::decode reads `bytes` as UTF-8 (with or without a byte order
    /// mark): the bytes can then be searched as they are.
    [[nodiscard]] static bool readsAsUtf8(std::string_view bytes);

    /// At most `limit` hits (limit >= 1) in `bytes`, as MultiDocumentSearch reports them for
    /// the decoded text, when TextFileCodec::decode reads the bytes as UTF-8; none when it
    /// would not (checked along with the search, in one pass over the bytes). A budget
    /// failure drops everything.
    [[nodiscard]] std::expected<std::optional<Utf8SearchResult>, SearchFailure>
    searchIfUtf8(std::string_view bytes, std::int64_t limit, const SearchBudget& budget) const;

private:
    /// The UTF-8 forms one query character may take in the text (with case, the whole query
    /// is one character of one form). Forms never are prefixes or suffixes of each other.
    struct Unit {
        std::vector<std::string> forms;
        std::int64_t minLength = 0;
        std::int64_t maxLength = 0;
    };
    struct Match {
        std::int64_t start = 0;
        std::int64_t end = 0;
    };

    Utf8LiteralSearch() = default;
    static std::optional<Utf8LiteralSearch> make(const SearchPattern& pattern, bool onlyAscii);
    /// Chooses the anchor and the filter; false when no unit can be filtered.
    bool prepareProbe();
    std::optional<Match> find(std::string_view text, std::int64_t from, std::int64_t startLimit,
                              std::int64_t readEnd) const;
    bool boundariesAllow(std::string_view text, Match match) const;

    std::vector<Unit> m_units;
    bool m_wholeWord = false;
    std::int64_t m_minLength = 0; // bytes of a match
    std::int64_t m_maxLength = 0;
    // The filter looks at the bytes from the start of unit m_anchor on, where the units
    // before it took between m_minBefore and m_maxBefore bytes; its slots reach at most
    // m_reach bytes past that start.
    std::size_t m_anchor = 0;
    std::int64_t m_minBefore = 0;
    std::int64_t m_maxBefore = 0;
    std::int64_t m_reach = 0;
    literalScan::Probe<unsigned char> m_probe;
    int m_probeWidth = 1; // bytes compared per slot: 1, 2 or 4
};

} // namespace vendrix
