#pragma once

#include "core/search/LiteralCount.h"
#include "core/search/LiteralScan.h"
#include "core/search/SearchOptions.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// The fast path of a plain (non-expression) search over the UTF-16 units, comparing simple
/// case foldings when case does not matter. Candidates are found by a vector filter on three
/// of the query's units, the rarest in source code and prose wherever they lie (each with
/// every unit that folds like it without case), and verified unit by unit; a query none of
/// whose units has few enough case variants for the filter uses a Boyer–Moore–Horspool scan
/// instead. It exists only
/// for queries where it finds exactly the matches of the compiled expression:
/// - with case: any well-formed query (matches are plain unit comparisons);
/// - without case: a query of BMP characters none of whose full case foldings expand to
///   several characters (the dotted and dotless i excepted: they become a four-member class
///   in the expression, which the matcher mirrors). A text character whose full folding
///   expands into part of the query (ß for "ss", ﬁ for "fi") would match the expression but
///   not the simple folding; isExactFor() reports such texts so the caller uses the
///   expression engine there instead.
/// Immutable; safe to share across threads.
class LiteralMatcher {
public:
    /// None when the options need the expression engine.
    [[nodiscard]] static std::optional<LiteralMatcher> make(const SearchOptions& options);

    /// Number of UTF-16 units of every match.
    [[nodiscard]] std::int64_t length() const { return static_cast<std::int64_t>(m_needle.size()); }
    /// False when [from, to) holds a character that makes the simple folding differ from the
    /// expression's full folding for this query.
    [[nodiscard]] bool isExactFor(std::u16string_view text, std::int64_t from,
                                  std::int64_t to) const;
    /// Start of the first match lying inside [from, to), or -1. Whole-word checks look at the
    /// characters around the match even outside [from, to). `from` must not split a
    /// surrogate pair.
    [[nodiscard]] std::int64_t find(std::u16string_view text, std::int64_t from,
                                    std::int64_t to) const;

    /// Receives the starts of the next `count` matches, in order (a batch, so that a frequent
    /// query does not pay a call per match); returns false to stop, ignoring any matches of
    /// the batch it did not want.
    using MatchSink = bool (*)(void* context, const std::int64_t* starts, std::int64_t count);
    /// Every match lying inside [from, to), in order, each search going on from the end of
    /// the previous match (as repeated find() calls would), handed to `sink` until it returns
    /// false. Returns where a search of the text after `to` goes on (the last match's end or
    /// to - length() + 1, whichever is later), or -1 when the sink stopped.
    std::int64_t findEach(std::u16string_view text, std::int64_t from, std::int64_t to,
                          MatchSink sink, void* context) const;

    /// True when countMatches() counts without finding the matches one by one: a query of
    /// at most eight units without whole words, each unit in U+0001...U+00FE (an ASCII letter
    /// in either case without case), that cannot overlap itself (so every position where
    /// it matches holds a match of the sequential search).
    [[nodiscard]] bool countsAlone() const { return m_byteQuery.length != 0; }
    /// When countsAlone(): the number of matches lying inside [from, to), as findEach would
    /// hand them over.
    [[nodiscard]] std::int64_t countMatches(std::u16string_view text, std::int64_t from,
                                            std::int64_t to) const;

    /// The same matcher without the vector filter (the Horspool scan alone), to compare
    /// the two in tests and benchmarks.
    [[nodiscard]] LiteralMatcher withoutVectorScan() const;
    /// True when some text characters (ß for "ss") send a search to the expression engine.
    [[nodiscard]] bool hasExpansionHazards() const { return !m_expandingHazards.empty(); }
    /// True when find() uses the vector filter.
    [[nodiscard]] bool usesVectorScan() const { return m_probeWidth != 0; }

private:
    LiteralMatcher() = default;
    void prepareProbe();
    void prepareByteQuery();
    template <class Accept>
    std::int64_t vectorScan(const char16_t* text, std::int64_t from, std::int64_t to,
                            Accept& accept) const;
    std::int64_t scan(const char16_t* text, std::int64_t from, std::int64_t to) const;
    bool boundariesAllow(std::u16string_view text, std::int64_t start) const;

    std::u16string m_needle; // the query's units, or their fold keys without case
    bool m_caseInsensitive = false;
    bool m_wholeWord = false;
    std::array<std::int32_t, 256> m_skip{};
    template <class Accept>
    std::int64_t groupScan(const char16_t* text, std::int64_t from, std::int64_t to,
                           std::int64_t readable, Accept& accept) const;

    std::vector<char16_t> m_expandingHazards; // text characters that call for the engine
    // A query of at most eight units whose every unit matches one text unit, or (without
    // case) an ASCII letter in either case: verified by one vector compare of the text unit
    // with 0x20 set where `m_unitFold` has it against `m_units`.
    bool m_unitsCompare = false;
    std::array<char16_t, 8> m_units{};
    std::array<char16_t, 8> m_unitFold{};
    literalScan::Probe<char16_t> m_probe;
    int m_probeWidth = 0; // units compared per slot: 1, 2 or 4; 0 without the vector filter
    bool m_groupFolded = false; // the group filter folds ASCII letters (see prepareProbe)
    literalScan::ByteQuery m_byteQuery; // length 0 unless countsAlone()
};

namespace literalFolding {
/// The key under which a BMP unit is compared without case: its simple case folding, with
/// İ and ı keyed like i (surrogates are their own key).
[[nodiscard]] char16_t key(char16_t unit);
/// True when the full case folding of `c` has more than one code point.
[[nodiscard]] bool expands(char32_t c);
} // namespace literalFolding

} // namespace vendrix
