#include "core/search/MatchEnumeration.h"

#include "core/search/LiteralMatcher.h"
#include "core/search/UnicodeText.h"

#include <unicode/regex.h>
#include <unicode/utext.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace vendrix {

namespace {

/// Checks the budget every so often: a clock read per engine callback would cost more than
/// the matching itself on simple expressions.
class BudgetMeter {
public:
    explicit BudgetMeter(const SearchBudget& budget) : m_budget(budget) {}

    /// Makes the meter stop the scan (without a failure) once `firstFull` drops below
    /// `index`: a parallel slice whose results an earlier slice made unnecessary.
    void abandonWhen(const std::atomic<unsigned>* firstFull, unsigned index) {
        m_firstFull = firstFull;
        m_index = index;
    }

    /// Makes the scan stop (without a failure) before it tries a start at or after `limit`.
    void stopStartsAt(std::int64_t limit) { m_stopAt = limit; }

    /// The engine moves on to try matches starting at `index`.
    bool advanceTo(std::int64_t index) {
        if (index >= m_stopAt) {
            m_stopped = true;
            return false;
        }
        return tick();
    }

    bool checkNow() {
        if (!m_failure)
            m_failure = m_budget.check();
        if (m_firstFull && m_firstFull->load(std::memory_order_relaxed) < m_index)
            m_abandoned = true;
        return !m_failure && !m_abandoned;
    }
    bool tick() {
        if ((++m_ticks & (kInterval - 1)) != 0)
            return !m_failure && !m_abandoned;
        return checkNow();
    }
    const std::optional<SearchFailure>& failure() const { return m_failure; }
    bool abandoned() const { return m_abandoned; }
    bool stopped() const { return m_stopped || m_abandoned; }

private:
    static constexpr std::uint32_t kInterval = 2048;
    const SearchBudget& m_budget;
    std::uint32_t m_ticks = 0;
    std::optional<SearchFailure> m_failure;
    const std::atomic<unsigned>* m_firstFull = nullptr;
    unsigned m_index = 0;
    bool m_abandoned = false;
    std::int64_t m_stopAt = INT64_MAX;
    bool m_stopped = false;
};

// Called by the engine every few thousand backtracking steps of one match attempt.
UBool U_CALLCONV onMatchProgress(const void* context, int32_t /*steps*/) {
    return static_cast<BudgetMeter*>(const_cast<void*>(context))->checkNow();
}
// Called by the engine each time it moves the start of its match attempts.
UBool U_CALLCONV onFindProgress(const void* context, int64_t index) {
    return static_cast<BudgetMeter*>(const_cast<void*>(context))->advanceTo(index);
}

/// Units of text scanned by the literal matcher between two budget checks.
constexpr std::int64_t kLiteralWindow = 1 << 20;

/// Runs the literal matcher over [start, end) a window at a time, checking the budget after
/// each window and each batch of matches. `deliver(starts, count)` receives the matches and
/// returns false to stop.
template <class Deliver>
std::optional<SearchFailure> enumerateLiteral(const LiteralMatcher& literal,
                                              std::u16string_view text, std::int64_t start,
                                              std::int64_t end, BudgetMeter& meter,
                                              Deliver& deliver) {
    struct Context {
        Deliver& deliver;
        BudgetMeter& meter;
        bool delivererStopped = false;
    } context{deliver, meter};
    auto sink = [](void* opaque, const std::int64_t* starts, std::int64_t count) {
        auto& c = *static_cast<Context*>(opaque);
        if (!c.deliver(starts, count)) {
            c.delivererStopped = true;
            return false;
        }
        return c.meter.checkNow();
    };
    const std::int64_t m = literal.length();
    std::int64_t pos = start;
    while (pos + m <= end) {
        const std::int64_t windowEnd = std::min(end, pos + kLiteralWindow + m - 1);
        pos = literal.findEach(text, pos, windowEnd, sink, &context);
        if (pos < 0)
            return context.delivererStopped ? std::nullopt : meter.failure();
        if (!meter.checkNow())
            return meter.failure();
    }
    return std::nullopt;
}

std::optional<SearchFailure> enumerateLiteralMatches(const LiteralMatcher& literal,
                                                     std::u16string_view text, std::int64_t start,
                                                     std::int64_t end, BudgetMeter& meter,
                                                     const MatchHandler& handler) {
    const std::int64_t m = literal.length();
    auto deliver = [&](const std::int64_t* starts, std::int64_t count) {
        for (std::int64_t i = 0; i < count; ++i)
            if (!handler(SearchMatch{TextRange{starts[i], m}, nullptr}))
                return false;
        return true;
    };
    return enumerateLiteral(literal, text, start, end, meter, deliver);
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

namespace {

/// The range an enumeration covers: clamped to the text, never splitting a surrogate pair.
std::pair<std::int64_t, std::int64_t> enumerationBounds(std::u16string_view text, TextRange range) {
    const auto length = static_cast<std::int64_t>(text.size());
    std::int64_t start = std::clamp<std::int64_t>(range.location, 0, length);
    std::int64_t end = std::clamp<std::int64_t>(range.end(), start, length);
    if (unicodeText::splitsPair(text, start))
        ++start;
    if (unicodeText::splitsPair(text, end))
        --end;
    return {start, std::max(start, end)};
}

/// An expression matcher over [start, end) of the text, with transparent and non-anchoring
/// bounds and the budget wired into the engine's callbacks.
class Scanner {
public:
    Scanner(const SearchPattern& pattern, std::u16string_view text, std::int64_t start,
            std::int64_t end, BudgetMeter& meter)
        : m_start(start), m_end(end), m_meter(meter) {
        m_input = utext_openUChars(&m_local, text.data(), static_cast<std::int64_t>(text.size()),
                                   &m_status);
        m_matcher.reset(pattern.regex().matcher(m_status));
        if (U_FAILURE(m_status) || !m_matcher)
            return;
        m_matcher->reset(m_input);
        m_matcher->region(start, end, m_status);
        m_matcher->useTransparentBounds(true);
        m_matcher->useAnchoringBounds(false);
        m_matcher->setMatchCallback(onMatchProgress, &m_meter, m_status);
        m_matcher->setFindProgressCallback(onFindProgress, &m_meter, m_status);
    }
    ~Scanner() {
        m_matcher.reset();
        utext_close(m_input);
    }
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    const icu::RegexMatcher* matcher() const { return m_matcher.get(); }

    /// The next match after the previous one (the engine steps over empty matches).
    std::optional<TextRange> next() {
        if (!usable() || !m_matcher->find(m_status))
            return std::nullopt;
        return current();
    }
    /// The first match starting at or after `from`, as a scan that had arrived there would
    /// find it.
    std::optional<TextRange> nextFrom(std::int64_t from) {
        if (!usable() || from > m_end)
            return std::nullopt;
        m_matcher->region(m_start, m_end, from, m_status);
        return next();
    }
    /// The match starting exactly at the range start, if any.
    std::optional<TextRange> anchored() {
        if (!usable() || !m_matcher->lookingAt(m_status))
            return std::nullopt;
        return current();
    }
    /// The failure that stopped the scan, if any. An engine error other than a budget stop
    /// means it ran out of backtracking memory: the expression is too costly.
    std::optional<SearchFailure> failure() const {
        if (m_meter.failure())
            return m_meter.failure();
        if (m_meter.stopped())
            return std::nullopt;
        if (U_FAILURE(m_status))
            return SearchFailure::timedOut();
        return std::nullopt;
    }

private:
    bool usable() const {
        return U_SUCCESS(m_status) && m_matcher && !m_meter.failure() && !m_meter.stopped();
    }
    TextRange current() {
        std::int64_t start = m_matcher->start64(m_status);
        return TextRange{start, m_matcher->end64(m_status) - start};
    }

    std::int64_t m_start, m_end;
    BudgetMeter& m_meter;
    UErrorCode m_status = U_ZERO_ERROR;
    UText m_local = UTEXT_INITIALIZER;
    UText* m_input = nullptr;
    std::unique_ptr<icu::RegexMatcher> m_matcher;
};

/// Where a scan continues after `match`: its end, or one character further for an empty
/// match.
std::int64_t resumeAfter(std::u16string_view text, TextRange match) {
    if (match.length > 0)
        return match.end();
    return match.end() + unicodeText::codePointLength(text, match.end());
}

/// The matches one thread found in its slice [from, to) of a parallel scan, scanning as if
/// an earlier scan had arrived exactly at `from`.
struct SliceScan {
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::vector<TextRange> matches; // starting in [from, to), in order
    bool complete = true;           // false: stopped at the match cap before `to`
    std::optional<SearchFailure> failure;
};

void scanSlice(const SearchPattern& pattern, std::u16string_view text, std::int64_t start,
               std::int64_t end, const SearchBudget& budget, std::int64_t cap,
               std::atomic<unsigned>& firstFull, unsigned index, SliceScan& slice) {
    BudgetMeter meter(budget);
    meter.abandonWhen(&firstFull, index);
    meter.stopStartsAt(slice.to); // the next slice covers the starts from there on
    Scanner scanner(pattern, text, start, end, meter);
    std::optional<TextRange> match = scanner.nextFrom(slice.from);
    while (match && match->location < slice.to) {
        if (static_cast<std::int64_t>(slice.matches.size()) >= cap) {
            // The handler will stop within this slice (or just after it): later slices
            // need not finish, the merge continues on its own if it must.
            slice.complete = false;
            unsigned seen = firstFull.load();
            while (index < seen && !firstFull.compare_exchange_weak(seen, index)) {
            }
            break;
        }
        slice.matches.push_back(*match);
        if (!meter.tick())
            break;
        match = scanner.next();
    }
    if (meter.abandoned())
        slice.complete = false;
    slice.failure = scanner.failure();
}

} // namespace

std::optional<SearchFailure> enumerateMatches(const SearchPattern& pattern,
                                              std::u16string_view text, TextRange range,
                                              const SearchBudget& budget,
                                              const MatchHandler& handler, bool anchored) {
    const auto [start, end] = enumerationBounds(text, range);
    BudgetMeter meter(budget);
    if (!meter.checkNow())
        return meter.failure();

    if (const LiteralMatcher* literal = pattern.literal();
        literal && !anchored && literal->isExactFor(text, start, end))
        return enumerateLiteralMatches(*literal, text, start, end, meter, handler);

    Scanner scanner(pattern, text, start, end, meter);
    if (anchored) {
        if (auto match = scanner.anchored())
            handler(SearchMatch{*match, scanner.matcher()});
    } else {
        while (auto match = scanner.next()) {
            if (!handler(SearchMatch{*match, scanner.matcher()}) || !meter.tick())
                break;
        }
    }
    return scanner.failure();
}

std::optional<SearchFailure>
enumerateMatchRanges(const SearchPattern& pattern, std::u16string_view text, TextRange range,
                     const SearchBudget& budget, std::int64_t maxMatches,
                     const RangeHandler& handler, ParallelScan parallel) {
    const auto [start, end] = enumerationBounds(text, range);
    unsigned threads =
        parallel.threads ? parallel.threads : std::min(8u, std::thread::hardware_concurrency());
    // Literal searches are bound by memory speed already; \G depends on where the previous
    // match ended, which a slice cannot know.
    const bool split = threads > 1 && end - start >= parallel.minimumLength &&
                       end - start >= static_cast<std::int64_t>(threads) * 2 &&
                       !(pattern.literal() && pattern.literal()->isExactFor(text, start, end)) &&
                       pattern.expression().find(u"\\G") == std::u16string::npos;
    if (!split)
        return enumerateMatches(pattern, text, TextRange{start, end - start}, budget,
                                [&](const SearchMatch& match) { return handler(match.range); });
    {
        BudgetMeter meter(budget);
        if (!meter.checkNow())
            return meter.failure();
    }

    // Each slice is scanned as if a scan had arrived at its first position. Matching at a
    // position does not depend on where the scan started (look-behind and anchors see the
    // whole text), so a slice's matches are the real ones as soon as the real scan reaches
    // a position the slice scan also passed through; only a match reaching across a slice
    // boundary needs a short rescan on the calling thread.
    const std::int64_t cap = std::max<std::int64_t>(maxMatches, 1);
    std::vector<SliceScan> slices(threads);
    const std::int64_t step = (end - start) / threads;
    for (unsigned i = 0; i < threads; ++i) {
        slices[i].from = i == 0 ? start : slices[i - 1].to;
        // The last slice also takes an empty match at the very end.
        slices[i].to = i + 1 == threads ? end + 1 : start + step * (i + 1);
        if (i + 1 < threads && unicodeText::splitsPair(text, slices[i].to))
            ++slices[i].to;
    }
    std::atomic<unsigned> firstFull{threads}; // the first slice that reached the cap
    std::vector<std::thread> workers;
    try {
        for (unsigned i = 1; i < threads; ++i)
            workers.emplace_back(scanSlice, std::cref(pattern), text, start, end, std::cref(budget),
                                 cap, std::ref(firstFull), i, std::ref(slices[i]));
    } catch (const std::system_error&) {
        // No more threads: the slices without a worker are scanned here.
    }
    scanSlice(pattern, text, start, end, budget, cap, firstFull, 0, slices[0]);
    for (auto i = static_cast<unsigned>(workers.size() + 1); i < threads; ++i)
        scanSlice(pattern, text, start, end, budget, cap, firstFull, i, slices[i]);
    for (std::thread& worker : workers)
        worker.join();
    for (const SliceScan& slice : slices)
        if (slice.failure)
            return slice.failure;

    BudgetMeter meter(budget);
    Scanner rescanner(pattern, text, start, end, meter);
    // Where the real scan looks for its next match. Leaving a slice, every position before
    // the slice's end has been tried, so the scan moves on to at least that end.
    std::int64_t position = start;
    auto lowerBound = [](const std::vector<TextRange>& matches, std::int64_t from) {
        return static_cast<size_t>(
            std::lower_bound(matches.begin(), matches.end(), from,
                             [](const TextRange& m, std::int64_t p) { return m.location < p; }) -
            matches.begin());
    };
    for (const SliceScan& slice : slices) {
        const auto& matches = slice.matches;
        // The slice scan's own position before its match j.
        auto positionBefore = [&](size_t j) {
            return j == 0 ? slice.from : resumeAfter(text, matches[j - 1]);
        };
        size_t j = lowerBound(matches, position);
        for (;;) {
            if (positionBefore(j) <= position) {
                // In step with the slice scan: every position it skipped also fails here.
                for (; j < matches.size(); ++j) {
                    if (!handler(matches[j]))
                        return std::nullopt;
                    position = resumeAfter(text, matches[j]);
                }
                if (slice.complete)
                    break;
                // The slice stopped early: go on from where it stopped.
                while (auto match = rescanner.nextFrom(position)) {
                    if (match->location >= slice.to)
                        break;
                    if (!handler(*match))
                        return std::nullopt;
                    position = resumeAfter(text, *match);
                }
                if (auto failure = rescanner.failure())
                    return failure;
                break;
            }
            // The previous match ended inside one of the slice's matches: rescan until the
            // two scans meet again.
            auto match = rescanner.nextFrom(position);
            if (auto failure = rescanner.failure())
                return failure;
            if (!match)
                return std::nullopt;
            if (match->location >= slice.to)
                break;
            if (!handler(*match))
                return std::nullopt;
            position = resumeAfter(text, *match);
            j = lowerBound(matches, position);
        }
        position = std::max(position, slice.to);
    }
    return std::nullopt;
}

} // namespace vendrix

namespace vendrix {

std::optional<SearchFailure>
enumerateMatchRangeBatches(const SearchPattern& pattern, std::u16string_view text,
                           TextRange range, const SearchBudget& budget, std::int64_t maxMatches,
                           const RangeBatchHandler& handler, ParallelScan parallel) {
    const LiteralMatcher* literal = pattern.literal();
    const auto [start, end] = enumerationBounds(text, range);
    if (!literal || !literal->isExactFor(text, start, end))
        return enumerateMatchRanges(pattern, text, range, budget, maxMatches,
                                    [&](TextRange match) { return handler({&match, 1}); },
                                    parallel);
    BudgetMeter meter(budget);
    if (!meter.checkNow())
        return meter.failure();
    const std::int64_t m = literal->length();
    std::array<TextRange, 512> ranges;
    auto deliver = [&](const std::int64_t* starts, std::int64_t count) {
        for (std::int64_t done = 0; done < count;) {
            const std::int64_t n = std::min<std::int64_t>(count - done, ranges.size());
            for (std::int64_t i = 0; i < n; ++i)
                ranges[static_cast<std::size_t>(i)] = TextRange{starts[done + i], m};
            if (!handler({ranges.data(), static_cast<std::size_t>(n)}))
                return false;
            done += n;
        }
        return true;
    };
    return enumerateLiteral(*literal, text, start, end, meter, deliver);
}

std::optional<std::expected<std::int64_t, SearchFailure>>
countLiteralMatches(const SearchPattern& pattern, std::u16string_view text, TextRange range,
                    const SearchBudget& budget, std::int64_t maxMatches) {
    const LiteralMatcher* literal = pattern.literal();
    if (!literal || !literal->countsAlone())
        return std::nullopt;
    const auto [start, end] = enumerationBounds(text, range);
    if (!literal->isExactFor(text, start, end))
        return std::nullopt;
    BudgetMeter meter(budget);
    if (!meter.checkNow())
        return std::unexpected(*meter.failure());
    const std::int64_t m = literal->length();
    std::int64_t count = 0;
    for (std::int64_t pos = start; pos + m <= end && count <= std::max<std::int64_t>(maxMatches, 0);) {
        const std::int64_t windowEnd = std::min(end, pos + kLiteralWindow + m - 1);
        count += literal->countMatches(text, pos, windowEnd);
        pos = windowEnd - m + 1;
        if (!meter.checkNow())
            return std::unexpected(*meter.failure());
    }
    return count;
}

} // namespace vendrix
