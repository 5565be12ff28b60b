// The editor's literal count (a find-all of a plain query over the whole text, and the count
// alone without the ranges) against the
// memory floor: memchr over the same UTF-16 buffer for a byte it does not hold. Over the
// 64 MB document (128 MB of UTF-16) and, memory permitting, a 1 GB one (2 GB of UTF-16)
// made of copies of it. The literal matcher's own scan is also timed without its vector
// filter (the Horspool scan alone) for comparison. Times are the fastest of the
// iterations in the thread's CPU time (memory stalls included): everything here runs on the
// calling thread, and on a shared machine wall time also measures the neighbours.
#include "bench/BenchSupport.h"
#include "core/search/LiteralMatcher.h"
#include "core/search/SearchEngine.h"

#include <cstring>
#include <ctime>
#include <fstream>
#include <limits>
#include <memory>

namespace {

using vendrix::LiteralMatcher;
using vendrix::SearchBudget;
using vendrix::SearchEngine;
using vendrix::SearchOptions;
using vendrix::SearchPattern;
using vendrix::bench::mostlyAsciiText64;

/// MemAvailable from /proc/meminfo, in bytes (0 when unknown).
std::uint64_t availableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kb = 0;
    std::string unit;
    while (meminfo >> key >> kb >> unit)
        if (key == "MemAvailable:")
            return kb * 1024;
    return 0;
}

/// 1 GB of text as 2 GB of UTF-16: the 64 MB document repeated. Empty when the machine has
/// too little memory free for it and the matches.
const std::u16string& text1G() {
    static const std::u16string tiled = [] {
        constexpr std::size_t units = std::size_t{1} << 30;
        if (availableMemory() < 4 * units * sizeof(char16_t))
            return std::u16string();
        const std::u16string& piece = mostlyAsciiText64();
        std::u16string out;
        out.reserve(units);
        while (out.size() + piece.size() <= units)
            out += piece;
        out.append(piece, 0, units - out.size());
        return out;
    }();
    return tiled;
}

const std::u16string& textFor(const benchmark::State& state) {
    return state.range(0) == 1 ? text1G() : mostlyAsciiText64();
}
std::string sizeName(const benchmark::State& state) {
    return state.range(0) == 1 ? " [1 GB]" : " [64 MB]";
}

double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

template <class Work>
void timed(benchmark::State& state, const std::string& name, Work work) {
    double best = std::numeric_limits<double>::max();
    for (auto _ : state) {
        const double start = threadSeconds();
        work();
        best = std::min(best, threadSeconds() - start);
    }
    vendrix::bench::RatioReport::shared().record(name + sizeName(state), best);
}

bool skipWithoutText(benchmark::State& state) {
    if (!textFor(state).empty())
        return false;
    state.SkipWithError("not enough free memory for 2 GB of UTF-16: skipped");
    return true;
}

void BM_Floor_MemchrAbsent(benchmark::State& state) {
    if (skipWithoutText(state))
        return;
    const std::u16string& text = textFor(state);
    // A byte value the buffer does not hold, so memchr reads all of it.
    bool seen[256] = {};
    for (char16_t unit : mostlyAsciiText64()) {
        seen[unit & 0xFF] = true;
        seen[unit >> 8] = true;
    }
    int absent = 0;
    while (absent < 255 && seen[absent])
        ++absent;
    timed(state, "floor: memchr absent byte", [&] {
        benchmark::DoNotOptimize(std::memchr(text.data(), absent, text.size() * sizeof(char16_t)));
    });
}

/// Counts the matches: with their ranges (find-all), or the count alone (no ranges built), as
/// a caller that shows only the number asks for it.
void runCount(benchmark::State& state, const std::string& name, SearchOptions options,
              bool countOnly = false) {
    if (skipWithoutText(state))
        return;
    auto pattern = SearchPattern::compile(options);
    if (!pattern || !pattern->literal()) {
        state.SkipWithError("no literal fast path");
        return;
    }
    const std::u16string& text = textFor(state);
    constexpr auto unlimited = std::numeric_limits<std::int64_t>::max();
    std::int64_t count = 0;
    timed(state, name, [&] {
        if (countOnly) {
            auto result = SearchEngine::countAll(*pattern, text, std::nullopt, unlimited,
                                                 SearchBudget::unlimited());
            count = result ? result->count : 0;
        } else {
            auto result = SearchEngine::findAll(*pattern, text, std::nullopt, unlimited,
                                                SearchBudget::unlimited());
            count = result ? static_cast<std::int64_t>(result->ranges.size()) : 0;
        }
    });
    state.counters["matches"] = static_cast<double>(count);
}

void runMatcher(benchmark::State& state, const std::string& name, SearchOptions options,
                bool vector) {
    if (skipWithoutText(state))
        return;
    auto pattern = SearchPattern::compile(options);
    const LiteralMatcher matcher =
        vector ? *pattern->literal() : pattern->literal()->withoutVectorScan();
    const std::u16string& text = textFor(state);
    const auto length = static_cast<std::int64_t>(text.size());
    std::size_t count = 0;
    timed(state, name, [&] {
        count = 0;
        for (std::int64_t at = 0; (at = matcher.find(text, at, length)) >= 0; at += matcher.length())
            ++count;
    });
    state.counters["matches"] = static_cast<double>(count);
}

const SearchOptions kAbsentCase{u"zebra", false, true, false};
const SearchOptions kAbsentNoCase{u"Zebra", false, false, false};
const SearchOptions kFrequentCase{u"count", false, true, false};
const SearchOptions kFrequentNoCase{u"COUNT", false, false, false};
const SearchOptions kTurkishNoCase{u"\u00C7ALI\u015E", false, false, false};

void BM_Count_AbsentCase(benchmark::State& s) { runCount(s, "count zebra, case", kAbsentCase); }
void BM_Count_AbsentNoCase(benchmark::State& s) { runCount(s, "count Zebra, no case", kAbsentNoCase); }
void BM_Count_FrequentCase(benchmark::State& s) { runCount(s, "count count, case", kFrequentCase); }
void BM_Count_FrequentNoCase(benchmark::State& s) {
    runCount(s, "count COUNT, no case", kFrequentNoCase);
}
void BM_Count_TurkishNoCase(benchmark::State& s) {
    runCount(s, "count \u00C7ALI\u015E, no case", kTurkishNoCase);
}
void BM_CountOnly_AbsentCase(benchmark::State& s) {
    runCount(s, "count only zebra, case", kAbsentCase, true);
}
void BM_CountOnly_FrequentCase(benchmark::State& s) {
    runCount(s, "count only count, case", kFrequentCase, true);
}
void BM_CountOnly_FrequentNoCase(benchmark::State& s) {
    runCount(s, "count only COUNT, no case", kFrequentNoCase, true);
}
void BM_Horspool_AbsentCase(benchmark::State& s) {
    runMatcher(s, "old horspool zebra, case", kAbsentCase, false);
}
void BM_Horspool_FrequentNoCase(benchmark::State& s) {
    runMatcher(s, "old horspool COUNT, no case", kFrequentNoCase, false);
}
void BM_Vector_FrequentNoCase(benchmark::State& s) {
    runMatcher(s, "matcher COUNT, no case", kFrequentNoCase, true);
}

// Argument 0: the 64 MB document; 1: the 1 GB one.
BENCHMARK(BM_Floor_MemchrAbsent)->Unit(benchmark::kMillisecond)->Iterations(7)->Arg(0)->Arg(1);
BENCHMARK(BM_Count_AbsentCase)->Unit(benchmark::kMillisecond)->Iterations(7)->Arg(0)->Arg(1);
BENCHMARK(BM_Count_AbsentNoCase)->Unit(benchmark::kMillisecond)->Iterations(7)->Arg(0)->Arg(1);
BENCHMARK(BM_Count_FrequentCase)->Unit(benchmark::kMillisecond)->Iterations(7)->Arg(0)->Arg(1);
BENCHMARK(BM_Count_FrequentNoCase)->Unit(benchmark::kMillisecond)->Iterations(7)->Arg(0)->Arg(1);
BENCHMARK(BM_CountOnly_AbsentCase)->Unit(benchmark::kMillisecond)->Iterations(7)->Arg(0);
BENCHMARK(BM_CountOnly_FrequentCase)->Unit(benchmark::kMillisecond)->Iterations(7)->Arg(0)->Arg(1);
BENCHMARK(BM_CountOnly_FrequentNoCase)->Unit(benchmark::kMillisecond)->Iterations(7)->Arg(0)->Arg(1);
BENCHMARK(BM_Count_TurkishNoCase)->Unit(benchmark::kMillisecond)->Iterations(7)->Arg(0);
BENCHMARK(BM_Horspool_AbsentCase)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(0);
BENCHMARK(BM_Horspool_FrequentNoCase)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(0);
BENCHMARK(BM_Vector_FrequentNoCase)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    mostlyAsciiText64(); // generate the inputs outside the measurements
    if (text1G().empty())
        std::printf("Less than 4 GB of memory free: the 1 GB runs are skipped.\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto& report = vendrix::bench::RatioReport::shared();
    report.print("floor: memchr absent byte [64 MB]");
    report.print("floor: memchr absent byte [1 GB]");
    std::printf("\nTarget: each count at most 2x the memchr floor of the same size.\n");
    return 0;
}
