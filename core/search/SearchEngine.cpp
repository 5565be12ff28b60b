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

/// Collects a find-all's ranges in blocks of fixed size, so that a long result is never
/// moved while it grows (each doubling of one vector copies it and touches fresh pages), and
/// hands them over in one vector of the exact size. A short result stays in its first block.
class RangeCollector {
public:
    void add(std::span<const TextRange> ranges) {
        while (!ranges.empty()) {
            if (m_current.size() == kBlock) {
                m_blocks.push_back(std::move(m_current));
                m_current = {};
                m_current.reserve(kBlock);
            }
            const std::size_t n = std::min(ranges.size(), kBlock - m_current.size());
            m_current.insert(m_current.end(), ranges.begin(), ranges.begin() + n);
            ranges = ranges.subspan(n);
        }
    }
    [[nodiscard]] std::size_t size() const { return m_blocks.size() * kBlock + m_current.size(); }
    std::vector<TextRange> take() {
        if (m_blocks.empty())
            return std::move(m_current);
        std::vector<TextRange> all;
        all.reserve(size());
        for (const auto& block : m_blocks)
            all.insert(all.end(), block.begin(), block.end());
        all.insert(all.end(), m_current.begin(), m_current.end());
        return all;
    }

private:
    static constexpr std::size_t kBlock = 8192;
    std::vector<std::vector<TextRange>> m_blocks;
    std::vector<TextRange> m_current;
};

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
    RangeCollector ranges;
    std::int64_t found = 0;
    auto failure = enumerateMatchRangeBatches(
        pattern, text, range.value_or(wholeText(text)), budget,
        limit < INT64_MAX ? limit + 1 : limit, [&](std::span<const TextRange> batch) {
            const auto wanted = static_cast<std::size_t>(
                std::min<std::int64_t>(limit - found, static_cast<std::int64_t>(batch.size())));
            ranges.add(batch.first(wanted));
            found += static_cast<std::int64_t>(wanted);
            if (wanted < batch.size()) {
                result.truncated = true;
                return false;
            }
            return true;
        });
    if (failure)
        return std::unexpected(*failure);
    result.ranges = ranges.take();
    return result;
}

std::expected<MatchCount, SearchFailure> SearchEngine::countAll(const SearchPattern& pattern,
                                                                std::u16string_view text,
                                                                std::optional<TextRange> range,
                                                                std::int64_t limit,
                                                                const SearchBudget& budget) {
    MatchCount result;
    auto failure = enumerateMatchRangeBatches(
        pattern, text, range.value_or(wholeText(text)), budget,
        limit < INT64_MAX ? limit + 1 : limit, [&](std::span<const TextRange> batch) {
            const std::int64_t wanted = std::min<std::int64_t>(
                limit - result.count, static_cast<std::int64_t>(batch.size()));
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
