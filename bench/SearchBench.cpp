// Find-all over a 64 MB text: literal (with and without case), whole word and regular
// expressions, each against a std::boyer_moore_horspool_searcher scan for the literal over
// the same UTF-16 text. Ratios use the process's CPU seconds, all threads together; the
// "Time" column is wall time, what the user waits (on a shared machine it also measures the
// neighbours). Each search also runs once under the 2-second interactive budget; the counter
// "inBudget" says whether it finished inside it.
#include "bench/BenchSupport.h"
#include "core/search/BackgroundSearch.h"
#include "core/search/SearchEngine.h"

#include <ctime>
#include <functional>
#include <limits>

namespace {

using vendrix::SearchBudget;
using vendrix::SearchEngine;
using vendrix::SearchOptions;
using vendrix::SearchPattern;
using vendrix::bench::mostlyAsciiText64;

constexpr std::u16string_view kWord = u"count";

double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void recordAverage(benchmark::State& state, const std::string& name, double seconds) {
    vendrix::bench::RatioReport::shared().record(name,
                                                 seconds / static_cast<double>(state.iterations()));
}

void BM_Baseline_HorspoolLiteral(benchmark::State& state) {
    const std::u16string& haystack = mostlyAsciiText64();
    double total = 0;
    std::size_t found = 0;
    for (auto _ : state) {
        double start = threadSeconds();
        std::boyer_moore_horspool_searcher searcher(kWord.begin(), kWord.end());
        found = 0;
        auto at = haystack.begin();
        for (;;) {
            auto [first, last] = searcher(at, haystack.end());
            if (first == haystack.end())
                break;
            ++found;
            at = last;
        }
        benchmark::DoNotOptimize(found);
        total += threadSeconds() - start;
    }
    state.counters["matches"] = static_cast<double>(found);
    recordAverage(state, "baseline: horspool_searcher literal", total);
}

void runFindAll(benchmark::State& state, const std::string& name, SearchOptions options) {
    auto pattern = SearchPattern::compile(options);
    if (!pattern) {
        state.SkipWithError("pattern does not compile");
        return;
    }
    const std::u16string& haystack = mostlyAsciiText64();
    double total = 0;
    std::size_t found = 0;
    for (auto _ : state) {
        double start = threadSeconds();
        auto result = SearchEngine::findAll(*pattern, haystack, std::nullopt,
                                            std::numeric_limits<std::int64_t>::max(),
                                            SearchBudget::unlimited());
        total += threadSeconds() - start;
        found = result ? result->ranges.size() : 0;
    }
    auto budgeted = SearchEngine::findAll(
        *pattern, haystack, std::nullopt, std::numeric_limits<std::int64_t>::max(),
        SearchBudget(vendrix::BackgroundSearch::interactiveTimeout, nullptr));
    state.counters["inBudget"] = budgeted.has_value() ? 1 : 0;
    state.counters["matches"] = static_cast<double>(found);
    recordAverage(state, name, total);
}

void BM_FindAll_Literal_MatchCase(benchmark::State& state) {
    runFindAll(state, "findAll literal, match case", SearchOptions{u"count", false, true, false});
}
void BM_FindAll_Literal_IgnoreCase(benchmark::State& state) {
    runFindAll(state, "findAll literal, ignore case", SearchOptions{u"COUNT", false, false, false});
}
void BM_FindAll_Literal_IgnoreCase_TurkishI(benchmark::State& state) {
    runFindAll(state, "findAll literal, ignore case, i class",
               SearchOptions{u"INDEX", false, false, false});
}
void BM_FindAll_WholeWord(benchmark::State& state) {
    runFindAll(state, "findAll whole word, ignore case",
               SearchOptions{u"data", false, false, true});
}
void BM_FindAll_Literal_RegexEngine(benchmark::State& state) {
    runFindAll(state, "findAll literal as regex (engine)",
               SearchOptions{u"count", true, true, false});
}
void BM_FindAll_Regex_Ing(benchmark::State& state) {
    runFindAll(state, "findAll regex \\b\\w+ing\\b",
               SearchOptions{u"\\b\\w+ing\\b", true, false, false});
}
void BM_FindAll_Regex_TurkishWord(benchmark::State& state) {
    runFindAll(state, "findAll regex \\bçalış\\w*",
               SearchOptions{u"\\bçalış\\w*", true, false, false});
}

BENCHMARK(BM_Baseline_HorspoolLiteral)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindAll_Literal_MatchCase)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindAll_Literal_IgnoreCase)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindAll_Literal_IgnoreCase_TurkishI)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindAll_WholeWord)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindAll_Literal_RegexEngine)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FindAll_Regex_Ing)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FindAll_Regex_TurkishWord)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    mostlyAsciiText64(); // generate the input outside the measurements
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vendrix::bench::RatioReport::shared().print("baseline: horspool_searcher literal");
    return 0;
}
