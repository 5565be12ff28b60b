#include "core/search/SearchEngine.h"

#include "core/search/MatchEnumeration.h"
#include "core/search/ReplacementTemplate.h"
#include "core/search/UnicodeText.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace vendrix {

namespace {

TextRange wholeText(std::u16string_view text) {
    return TextRange{0, static_cast<std::int64_t>(text.size())};
}

/// The first match in `range`, or none.
std::expected<std::optional<TextRange>, SearchFailure> firstMatch(const SearchPattern& pattern,
                                                                  std::u16string_view text,
                                                                  TextRange range,
                                                                  const SearchBudget& budget) {
    std::optional<TextRange> found;
    auto failure = enumerateMatches(pattern, text, range, budget, [&](const SearchMatch& match) {
        found = match.range;
        return false;
    });
    if (failure)
        return std::unexpected(*failure);
    return found;
}

/// Makes room in a find-all's result for `needed` ranges, ahead of time by the density of
/// the matches found so far (the last one ends at `reached` of [start, end)), so that a long
/// result is seldom moved while it grows: each move copies it and touches fresh pages. The
/// step is bounded (eight times the room so far, or 64k ranges) so that a dense start of a
/// sparse text does not reserve far more than it needs.
void makeRoom(std::vector<TextRange>& ranges, std::size_t needed, std::int64_t start,
              std::int64_t reached, std::int64_t end, std::int64_t limit) {
    const std::size_t room = ranges.capacity();
    if (needed <= room)
        return;
    const double scanned = static_cast<double>(std::max<std::int64_t>(reached - start, 1));
    const double estimate =
        static_cast<double>(needed) * static_cast<double>(std::max<std::int64_t>(end - start, 1)) /
        scanned * 1.1;
    const std::size_t grow = std::max(needed, room + room / 2);
    const std::size_t most = std::max<std::size_t>(8 * room, std::size_t{1} << 16);
    std::size_t ahead = estimate >= static_cast<double>(most) ? most
                                                              : static_cast<std::size_t>(estimate);
    ahead = std::max(ahead, grow);
    if (limit < INT64_MAX)
        ahead = std::min(ahead, static_cast<std::size_t>(limit));
    ranges.reserve(std::max(ahead, needed));
}

} // namespace

std::optional<std::u16string> ReplacePlan::applied(std::u16string_view text) const {
    const auto length = static_cast<std::int64_t>(text.size());
    if (ranges.size() != replacements.size() || count != static_cast<std::int64_t>(ranges.size()))
        return std::nullopt;
    std::int64_t cursor = 0;
    std::int64_t finalLength = length;
    for (size_t i = 0; i < ranges.size(); ++i) {
        const TextRange& range = ranges[i];
        if (!range.fits(length) || range.location < cursor)
            return std::nullopt;
        cursor = range.end();
        finalLength += static_cast<std::int64_t>(replacements[i].size()) - range.length;
    }
    std::u16string out;
    out.reserve(static_cast<size_t>(finalLength));
    cursor = 0;
    for (size_t i = 0; i < ranges.size(); ++i) {
        out.append(text.substr(static_cast<size_t>(cursor),
                               static_cast<size_t>(ranges[i].location - cursor)));
        out += replacements[i];
        cursor = ranges[i].end();
    }
    out.append(text.substr(static_cast<size_t>(cursor)));
    return out;
}

std::expected<FindAllResult, SearchFailure> SearchEngine::findAll(const SearchPattern& pattern,
                                                                  std::u16string_view text,
                                                                  std::optional<TextRange> range,
                                                                  std::int64_t limit,
                                                                  const SearchBudget& budget) {
    FindAllResult result;
    const TextRange scope = range.value_or(wholeText(text));
    const auto length = static_cast<std::int64_t>(text.size());
    const std::int64_t start = std::clamp<std::int64_t>(scope.location, 0, length);
    const std::int64_t end = std::clamp<std::int64_t>(scope.end(), start, length);
    auto& ranges = result.ranges;
    auto failure = enumerateMatchRangeBatches(
        pattern, text, scope, budget, limit < INT64_MAX ? limit + 1 : limit,
        [&](std::span<const TextRange> batch) {
            const auto found = static_cast<std::int64_t>(ranges.size());
            const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(
                limit - found, 0, static_cast<std::int64_t>(batch.size())));
            if (wanted > 0) {
                makeRoom(ranges, ranges.size() + wanted, start, batch[wanted - 1].end(), end,
                         limit);
                ranges.insert(ranges.end(), batch.begin(),
                              batch.begin() + static_cast<std::ptrdiff_t>(wanted));
            }
            if (wanted < batch.size()) {
                result.truncated = true;
                return false;
            }
            return true;
        });
    if (failure)
        return std::unexpected(*failure);
    // Room reserved by an estimate that the rest of the text did not bear out (a dense start)
    // is given back rather than kept with the result.
    if (ranges.capacity() > ranges.size() + ranges.size() / 4 + 1024)
        ranges.shrink_to_fit();
    return result;
}

std::expected<MatchCount, SearchFailure> SearchEngine::countAll(const SearchPattern& pattern,
                                                                std::u16string_view text,
                                                                std::optional<TextRange> range,
                                                                std::int64_t limit,
                                                                const SearchBudget& budget) {
    MatchCount result;
    if (auto counted = countLiteralMatches(pattern, text, range.value_or(wholeText(text)), budget,
                                           limit)) {
        if (!*counted)
            return std::unexpected(counted->error());
        result.count = std::clamp<std::int64_t>(**counted, 0, std::max<std::int64_t>(limit, 0));
        result.truncated = **counted > result.count;
        return result;
    }
    auto failure = enumerateMatchRangeBatches(
        pattern, text, range.value_or(wholeText(text)), budget,
        limit < INT64_MAX ? limit + 1 : limit, [&](std::span<const TextRange> batch) {
            const std::int64_t wanted = std::clamp<std::int64_t>(
                limit - result.count, 0, static_cast<std::int64_t>(batch.size()));
            result.count += wanted;
            if (wanted < static_cast<std::int64_t>(batch.size())) {
                result.truncated = true;
                return false;
            }
            return true;
        });
    if (failure)
        return std::unexpected(*failure);
    return result;
}

std::expected<std::optional<TextRange>, SearchFailure>
SearchEngine::findNext(const SearchPattern& pattern, std::u16string_view text, TextRange selection,
                       bool forward, bool wraps, const SearchBudget& budget) {
    const auto length = static_cast<std::int64_t>(text.size());
    const std::int64_t s = std::clamp<std::int64_t>(selection.location, 0, length);
    const std::int64_t n = std::clamp<std::int64_t>(selection.length, 0, length - s);
    const std::int64_t e = s + n;

    if (forward) {
        auto first = firstMatch(pattern, text, TextRange{e, length - e}, budget);
        if (!first)
            return first;
        if (*first) {
            const TextRange& found = **first;
            if (found.length != 0 || found.location != s || n > 0)
                return first;
            // An empty match right at the caret would keep the caret in place: look again
            // one whole character further on.
            if (e < length) {
                std::int64_t next = e + unicodeText::codePointLength(text, e);
                auto again = firstMatch(pattern, text, TextRange{next, length - next}, budget);
                if (!again || *again)
                    return again;
            }
        }
        if (!wraps)
            return std::optional<TextRange>();
        return firstMatch(pattern, text, wholeText(text), budget);
    }

    std::optional<TextRange> before;
    auto failure =
        enumerateMatches(pattern, text, wholeText(text), budget, [&](const SearchMatch& match) {
            if (match.range.location >= s)
                return false;
            before = match.range;
            return true;
        });
    if (failure)
        return std::unexpected(*failure);
    if (before || !wraps)
        return before;
    std::optional<TextRange> last;
    failure =
        enumerateMatches(pattern, text, wholeText(text), budget, [&](const SearchMatch& match) {
            if (!(match.range.length == 0 && match.range.location == s && n == 0))
                last = match.range;
            return true;
        });
    if (failure)
        return std::unexpected(*failure);
    return last;
}

std::expected<std::optional<std::u16string>, SearchFailure>
SearchEngine::replacementForSelection(const SearchPattern& pattern, std::u16string_view text,
                                      TextRange selection, std::u16string_view replacement,
                                      const SearchBudget& budget) {
    if (!selection.fits(static_cast<std::int64_t>(text.size())))
        return std::optional<std::u16string>();
    const bool isRegex = pattern.options().isRegex;
    std::optional<ReplacementTemplate> expander;
    if (isRegex)
        expander.emplace(regexTemplate(replacement), pattern.groupCount());
    std::optional<std::u16string> result;
    auto failure = enumerateMatches(
        pattern, text, selection, budget,
        [&](const SearchMatch& match) {
            if (match.range != selection)
                return false;
            if (expander)
                result = expander->expand(text, [&](std::int32_t g) { return match.group(g); });
            else
                result = std::u16string(replacement);
            return false;
        },
        /*anchored=*/true);
    if (failure)
        return std::unexpected(*failure);
    return result;
}

std::expected<ReplacePlan, SearchFailure>
SearchEngine::planReplaceAll(const SearchPattern& pattern, std::u16string_view text,
                             std::u16string_view replacement, std::optional<TextRange> range,
                             std::int64_t limit, const SearchBudget& budget) {
    std::optional<ReplacementTemplate> expander;
    if (pattern.options().isRegex)
        expander.emplace(regexTemplate(replacement), pattern.groupCount());
    ReplacePlan plan;
    auto failure = enumerateMatches(
        pattern, text, range.value_or(wholeText(text)), budget, [&](const SearchMatch& match) {
            if (plan.count >= limit) {
                plan.truncated = true;
                return false;
            }
            plan.ranges.push_back(match.range);
            if (expander)
                plan.replacements.push_back(
                    expander->expand(text, [&](std::int32_t g) { return match.group(g); }));
            else
                plan.replacements.emplace_back(replacement);
            ++plan.count;
            return true;
        });
    if (failure)
        return std::unexpected(*failure);
    return plan;
}

} // namespace vendrix
