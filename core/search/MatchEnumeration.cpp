#include "core/search/MatchEnumeration.h"

#include "core/search/LiteralMatcher.h"
#include "core/search/UnicodeText.h"

#include <unicode/regex.h>
#include <unicode/utext.h>

#include <algorithm>
#include <memory>

namespace vendrix {

namespace {

/// Checks the budget every so often: a clock read per engine callback would cost more than
/// the matching itself on simple expressions.
class BudgetMeter {
public:
    explicit BudgetMeter(const SearchBudget& budget) : m_budget(budget) {}

    bool checkNow() {
        if (!m_failure)
            m_failure = m_budget.check();
        return !m_failure;
    }
    bool tick() {
        if ((++m_ticks & (kInterval - 1)) != 0)
            return !m_failure;
        return checkNow();
    }
    const std::optional<SearchFailure>& failure() const { return m_failure; }

private:
    static constexpr std::uint32_t kInterval = 2048;
    const SearchBudget& m_budget;
    std::uint32_t m_ticks = 0;
    std::optional<SearchFailure> m_failure;
};

// Called by the engine every few thousand backtracking steps of one match attempt.
UBool U_CALLCONV onMatchProgress(const void* context, int32_t /*steps*/) {
    return static_cast<BudgetMeter*>(const_cast<void*>(context))->checkNow();
}
// Called by the engine each time it moves the start of its match attempts.
UBool U_CALLCONV onFindProgress(const void* context, int64_t /*index*/) {
    return static_cast<BudgetMeter*>(const_cast<void*>(context))->tick();
}

/// Units of text scanned by the literal matcher between two budget checks.
constexpr std::int64_t kLiteralWindow = 1 << 20;

std::optional<SearchFailure> enumerateLiteral(const LiteralMatcher& literal,
                                              std::u16string_view text, std::int64_t start,
                                              std::int64_t end, BudgetMeter& meter,
                                              const MatchHandler& handler) {
    const std::int64_t m = literal.length();
    std::int64_t pos = start;
    while (pos + m <= end) {
        std::int64_t windowEnd = std::min(end, pos + kLiteralWindow + m - 1);
        std::int64_t found = literal.find(text, pos, windowEnd);
        if (found < 0) {
            pos = windowEnd - m + 1;
            if (!meter.checkNow())
                return meter.failure();
            continue;
        }
        if (!handler(SearchMatch{TextRange{found, m}, nullptr}))
            return std::nullopt;
        pos = found + m;
        if (!meter.tick())
            return meter.failure();
    }
    return std::nullopt;
}

} // namespace

std::optional<TextRange> SearchMatch::group(std::int32_t n) const {
    if (!matcher)
        return n == 0 ? std::optional<TextRange>(range) : std::nullopt;
    if (n < 0 || n > matcher->groupCount())
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::int64_t start = matcher->start64(n, status);
    std::int64_t end = matcher->end64(n, status);
    if (U_FAILURE(status) || start < 0)
        return std::nullopt;
    return TextRange{start, end - start};
}

std::optional<SearchFailure> enumerateMatches(const SearchPattern& pattern,
                                              std::u16string_view text, TextRange range,
                                              const SearchBudget& budget,
                                              const MatchHandler& handler, bool anchored) {
    const auto length = static_cast<std::int64_t>(text.size());
    std::int64_t start = std::clamp<std::int64_t>(range.location, 0, length);
    std::int64_t end = std::clamp<std::int64_t>(range.end(), start, length);
    if (unicodeText::splitsPair(text, start))
        ++start;
    if (unicodeText::splitsPair(text, end))
        --end;
    end = std::max(start, end);

    BudgetMeter meter(budget);
    if (!meter.checkNow())
        return meter.failure();

    if (const LiteralMatcher* literal = pattern.literal();
        literal && !anchored && literal->isExactFor(text, start, end))
        return enumerateLiteral(*literal, text, start, end, meter, handler);

    UErrorCode status = U_ZERO_ERROR;
    UText local = UTEXT_INITIALIZER;
    UText* input = utext_openUChars(&local, text.data(), length, &status);
    std::unique_ptr<icu::RegexMatcher> matcher(pattern.regex().matcher(status));
    if (U_FAILURE(status) || !matcher) {
        utext_close(input);
        return SearchFailure::timedOut();
    }
    matcher->reset(input);
    matcher->region(start, end, status);
    matcher->useTransparentBounds(true);
    matcher->useAnchoringBounds(false);
    matcher->setMatchCallback(onMatchProgress, &meter, status);
    matcher->setFindProgressCallback(onFindProgress, &meter, status);

    std::optional<SearchFailure> failure;
    if (anchored) {
        if (matcher->lookingAt(status)) {
            SearchMatch match{TextRange{matcher->start64(status), 0}, matcher.get()};
            match.range.length = matcher->end64(status) - match.range.location;
            handler(match);
        }
    } else {
        while (U_SUCCESS(status) && matcher->find(status)) {
            SearchMatch match{TextRange{matcher->start64(status), 0}, matcher.get()};
            match.range.length = matcher->end64(status) - match.range.location;
            if (!handler(match))
                break;
            if (!meter.tick())
                break;
        }
    }
    if (meter.failure())
        failure = meter.failure();
    else if (U_FAILURE(status))
        failure = SearchFailure::timedOut(); // the engine ran out of backtracking memory
    matcher.reset();
    utext_close(input);
    return failure;
}

} // namespace vendrix
