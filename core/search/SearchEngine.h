#pragma once

#include "core/common/TextRange.h"
#include "core/search/SearchBudget.h"
#include "core/search/SearchPattern.h"

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// The matches of a find-all, in text order.
struct FindAllResult {
    std::vector<TextRange> ranges;
    /// More matches existed than the limit allowed.
    bool truncated = false;

    friend bool operator==(const FindAllResult&, const FindAllResult&) = default;
};

/// How many matches a count found.
struct MatchCount {
    std::int64_t count = 0;
    /// More matches existed than the limit allowed.
    bool truncated = false;

    friend bool operator==(const MatchCount&, const MatchCount&) = default;
};

/// A planned replace-all: ascending, non-overlapping ranges and what replaces each.
struct ReplacePlan {
    std::vector<TextRange> ranges;
    std::vector<std::u16string> replacements;
    std::int64_t count = 0;
    /// The limit stopped the planning while further matches existed: the plan is partial.
    bool truncated = false;

    /// The text with every range replaced, in one pass. None when the plan does not fit the
    /// text (a range outside it, ranges out of order or overlapping, counts that disagree),
    /// as happens when the text changed after planning; an empty plan gives the text back.
    [[nodiscard]] std::optional<std::u16string> applied(std::u16string_view text) const;

    friend bool operator==(const ReplacePlan&, const ReplacePlan&) = default;
};

/// Find and replace over one text. Stateless; every operation is a pure function of its
/// arguments and may run on any thread. Positions are UTF-16 offsets. A budget failure
/// (`timedOut`, `cancelled`) drops everything found so far.
struct SearchEngine {
    static constexpr std::int64_t defaultLimit = 100'000;

    /// At most `limit` matches of `range` (none: the whole text).
    [[nodiscard]] static std::expected<FindAllResult, SearchFailure>
    findAll(const SearchPattern& pattern, std::u16string_view text, std::optional<TextRange> range,
            std::int64_t limit, const SearchBudget& budget);

    /// The number of matches findAll would return, without building them: for a caller that
    /// shows only how many there are.
    [[nodiscard]] static std::expected<MatchCount, SearchFailure>
    countAll(const SearchPattern& pattern, std::u16string_view text,
             std::optional<TextRange> range, std::int64_t limit, const SearchBudget& budget);

    /// The next match after the selection (forward) or the last one starting before it
    /// (backward), wrapping around the text when `wraps`; none when there is no match.
    /// The selection is clamped to the text.
    [[nodiscard]] static std::expected<std::optional<TextRange>, SearchFailure>
    findNext(const SearchPattern& pattern, std::u16string_view text, TextRange selection,
             bool forward, bool wraps, const SearchBudget& budget);

    /// The text that replaces the selection when the selection is exactly a match; none
    /// otherwise. A regular expression expands the replacement as a template for that
    /// match; a plain search inserts it literally.
    [[nodiscard]] static std::expected<std::optional<std::u16string>, SearchFailure>
    replacementForSelection(const SearchPattern& pattern, std::u16string_view text,
                            TextRange selection, std::u16string_view replacement,
                            const SearchBudget& budget);

    /// Plans the replacement of at most `limit` matches of `range` (none: the whole text).
    [[nodiscard]] static std::expected<ReplacePlan, SearchFailure>
    planReplaceAll(const SearchPattern& pattern, std::u16string_view text,
                   std::u16string_view replacement, std::optional<TextRange> range,
                   std::int64_t limit, const SearchBudget& budget);
};

} // namespace vendrix
