#pragma once

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
/// hits a search of the decoded, LF-normalised text would give: the query is encoded once,
/// the bytes are scanned with the vector filter, and line, column and preview are worked out
/// for the hits alone. Only for what the bytes answer exactly: a plain query without line
/// breaks, with case, or without case when it is ASCII and no other character folds like
/// its letters (so not i, k or s) nor expands into it (ß for "ss"). Immutable.
class Utf8LiteralSearch {
public:
    /// None when the pattern needs the decoded text.
    [[nodiscard]] static std::optional<Utf8LiteralSearch> make(const SearchPattern& pattern);
    /// Like make(), but also for an ASCII query without case whose letters other characters
    /// fold like (i, k, s): exact only for bytes that are all ASCII, where no such character
    /// can occur. The caller checks the bytes.
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
    Utf8LiteralSearch() = default;
    static std::optional<Utf8LiteralSearch> make(const SearchPattern& pattern, bool onlyAscii);
    std::int64_t find(std::string_view text, std::int64_t from, std::int64_t to) const;
    bool boundariesAllow(std::string_view text, std::int64_t start) const;

    std::string m_needle; // UTF-8; lower-case ASCII without case
    bool m_caseInsensitive = false;
    bool m_wholeWord = false;
};

} // namespace vendrix
