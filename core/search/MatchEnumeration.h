#pragma once

#include "core/common/TextRange.h"
#include "core/search/SearchBudget.h"
#include "core/search/SearchPattern.h"

#include <unicode/uversion.h>

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

U_NAMESPACE_BEGIN
class RegexMatcher;
U_NAMESPACE_END

namespace vendrix {

/// One match handed to a MatchHandler; valid only during the call.
struct SearchMatch {
    TextRange range;
    /// Capture group `n` (0 is the whole match); none when the group took no part in the
    /// match or does not exist.
    [[nodiscard]] std::optional<TextRange> group(std::int32_t n) const;

    const icu::RegexMatcher* matcher = nullptr; // null for literal matches
};

/// Receives each match in text order; returns false to stop the enumeration (no failure).
using MatchHandler = std::function<bool(const SearchMatch&)>;

/// Enumerates the matches of `pattern` in `range` of `text` (clamped to the text; an end or
/// start inside a surrogate pair is moved out of it). Look-behind and look-ahead see the
/// text outside the range; ^ and $ match only at real line boundaries. With `anchored` only
/// a match starting exactly at the range start is considered. Empty matches are stepped over
/// by whole code points.
///
/// The budget is checked at the start, periodically while the engine scans (also inside one
/// long match attempt, so a catastrophic expression stops too) and after matches. A failure
/// ends the enumeration and is returned; the handler has then seen a partial result that the
/// caller must drop. An expression that exhausts the engine's backtracking memory counts as
/// `timedOut`.
[[nodiscard]] std::optional<SearchFailure>
enumerateMatches(const SearchPattern& pattern, std::u16string_view text, TextRange range,
                 const SearchBudget& budget, const MatchHandler& handler, bool anchored = false);

/// How a long range may be split over threads by enumerateMatchRanges.
struct ParallelScan {
    /// Ranges shorter than this are scanned on the calling thread alone.
    std::int64_t minimumLength = 1 << 21;
    /// Threads to use; 0 means one per core, at most 8.
    unsigned threads = 0;
};

/// Receives each match range in text order; returns false to stop.
using RangeHandler = std::function<bool(TextRange)>;

/// enumerateMatches without capture groups. A long range searched with the expression engine
/// is split into slices scanned by several threads at once; the matches reach `handler` on
/// the calling thread, in order, exactly as one scan over the range finds them. Each slice
/// collects at most `maxMatches` matches (the most the handler will accept).
[[nodiscard]] std::optional<SearchFailure>
enumerateMatchRanges(const SearchPattern& pattern, std::u16string_view text, TextRange range,
                     const SearchBudget& budget, std::int64_t maxMatches,
                     const RangeHandler& handler, ParallelScan parallel = {});

/// Receives a batch of match ranges in text order; returns false to stop (any ranges of the
/// batch after the last one wanted are ignored).
using RangeBatchHandler = std::function<bool(std::span<const TextRange>)>;

/// enumerateMatchRanges handing the matches over in batches: a literal query's in blocks of
/// many matches (so a frequent one costs no call per match), any other one match at a time.
[[nodiscard]] std::optional<SearchFailure>
enumerateMatchRangeBatches(const SearchPattern& pattern, std::u16string_view text,
                           TextRange range, const SearchBudget& budget, std::int64_t maxMatches,
                           const RangeBatchHandler& handler, ParallelScan parallel = {});

/// The number of matches of `range`, for a plain query whose matcher counts them without
/// finding each (LiteralMatcher::countsAlone()); none for any other pattern or text. The
/// budget is checked between windows of the text; counting stops once more than
/// `maxMatches` were seen (the count returned is then above it, not exact).
[[nodiscard]] std::optional<std::expected<std::int64_t, SearchFailure>>
countLiteralMatches(const SearchPattern& pattern, std::u16string_view text, TextRange range,
                    const SearchBudget& budget, std::int64_t maxMatches);

} // namespace vendrix
