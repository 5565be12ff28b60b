// Line sorting, duplicate removal and visual-column measurement against a plain code-unit
// sort of the same lines.
#include "bench/BenchSupport.h"
#include "core/editing/ColumnLayout.h"
#include "core/editing/LineOperations.h"

#include <algorithm>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace vendrix;

/// CPU time of the calling thread: the machine is shared, so wall-clock time would measure
/// the neighbours as much as the code.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr std::size_t kSortLines = 1'000'000;
constexpr std::size_t kRectangleLines = 100'000;
const char* const kBaseline = "baseline: std::sort by code units";

/// Lines of two to six words drawn from a list of source-code and Turkish words, so that
/// most lines hold non-ASCII letters and many share their first word.
std::u16string makeLines(std::size_t count, std::size_t distinct, unsigned seed,
                         bool accented = false) {
    static const char16_t* plainWords[] = {u"int",   u"return", u"value", u"for",   u"while",
                                           u"const", u"if",     u"else",  u"data",  u"count",
                                           u"ğüş",   u"çalış",  u"öğe",   u"Index", u"İzmir",
                                           u"ılık",  u"{",      u"}",     u"();",   u"= 0;"};
    // Letters such as é, à and ñ expand to several collation elements: these lines take the
    // collator's own path.
    static const char16_t* accentedWords[] = {u"café", u"à",      u"señor", u"résumé", u"naïve",
                                              u"été",  u"garçon", u"déjà",  u"über",   u"Ångström"};
    const char16_t* const* words = accented ? accentedWords : plainWords;
    const std::size_t wordCount = accented ? std::size(accentedWords) : std::size(plainWords);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::size_t> pickWord(0, wordCount - 1);
    std::uniform_int_distribution<int> pickLength(2, 6);
    std::vector<std::u16string> pool;
    pool.reserve(distinct);
    for (std::size_t i = 0; i < distinct; ++i) {
        std::u16string line;
        for (int n = pickLength(rng); n > 0; --n) {
            if (!line.empty())
                line.push_back(u' ');
            line += words[pickWord(rng)];
        }
        line += u" " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
        pool.push_back(std::move(line));
    }
    std::uniform_int_distribution<std::size_t> pickLine(0, distinct - 1);
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += pool[distinct == count ? i : pickLine(rng)];
        text.push_back(u'\n');
    }
    return text;
}

const std::u16string& sortText() {
    static const std::u16string text = makeLines(kSortLines, kSortLines, 1);
    return text;
}

const std::u16string& accentedText() {
    static const std::u16string text = makeLines(kSortLines, kSortLines, 3, true);
    return text;
}

const std::u16string& duplicateText() {
    static const std::u16string text = makeLines(kSortLines, kSortLines / 4, 2);
    return text;
}

/// Source-like lines with tabs, and every tenth line with CJK text or an emoji.
const std::u16string& rectangleText() {
    static const std::u16string text = [] {
        std::u16string out;
        for (std::size_t i = 0; i < kRectangleLines; ++i) {
            out += u"\tif (value_" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                   u" > limit) { count += 1; }";
            if (i % 10 == 3)
                out += u" // 中文注释 \U0001F600";
            if (i % 10 == 7)
                out += u"\t\u00E7al\u0131\u015F";
            out.push_back(u'\n');
        }
        return out;
    }();
    return text;
}

std::vector<std::u16string_view> splitLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    std::size_t at = 0;
    for (std::size_t lf; (lf = text.find(u'\n', at)) != std::u16string_view::npos; at = lf + 1)
        lines.push_back(text.substr(at, lf - at));
    return lines;
}

template <typename Body>
void timed(benchmark::State& state, const std::string& name, std::size_t lines, Body body) {
    double best = 1e100;
    for (auto _ : state) {
        const double start = threadSeconds();
        body();
        best = std::min(best, threadSeconds() - start);
    }
    state.counters["cpu ns/line"] = best / static_cast<double>(lines) * 1e9;
    bench::RatioReport::shared().record(name + " (per line)", best / static_cast<double>(lines));
}

void BM_BaselineSortByCodeUnits(benchmark::State& state) {
    const std::vector<std::u16string_view> lines = splitLines(sortText());
    timed(state, kBaseline, lines.size(), [&] {
        std::vector<std::u16string_view> copy = lines;
        std::sort(copy.begin(), copy.end());
        benchmark::DoNotOptimize(copy.data());
    });
}

void BM_SortAscending(benchmark::State& state) {
    const std::u16string& text = sortText();
    const LineIndex index(text);
    timed(state, "sortAscending", kSortLines, [&] {
        auto edit = LineOperations::apply(LineOperation::sortAscending, text, index, {0, 0}, 4);
        benchmark::DoNotOptimize(edit);
    });
}

void BM_SortDescending(benchmark::State& state) {
    const std::u16string& text = sortText();
    const LineIndex index(text);
    timed(state, "sortDescending", kSortLines, [&] {
        auto edit = LineOperations::apply(LineOperation::sortDescending, text, index, {0, 0}, 4);
        benchmark::DoNotOptimize(edit);
    });
}

void BM_SortAscendingAccented(benchmark::State& state) {
    const std::u16string& text = accentedText();
    const LineIndex index(text);
    timed(state, "sortAscending, accented lines (collator path)", kSortLines, [&] {
        auto edit = LineOperations::apply(LineOperation::sortAscending, text, index, {0, 0}, 4);
        benchmark::DoNotOptimize(edit);
    });
}

void BM_RemoveDuplicates(benchmark::State& state) {
    const std::u16string& text = duplicateText();
    const LineIndex index(text);
    timed(state, "removeDuplicates", kSortLines, [&] {
        auto edit = LineOperations::apply(LineOperation::removeDuplicates, text, index, {0, 0}, 4);
        benchmark::DoNotOptimize(edit);
    });
}

void BM_RectangleSpans(benchmark::State& state) {
    const std::u16string& text = rectangleText();
    const LineIndex index(text);
    const ColumnSelection rectangle{{0, 10}, {kRectangleLines - 1, 40}, std::nullopt};
    timed(state, "visual columns of a 100,000-line rectangle", kRectangleLines, [&] {
        auto spans = ColumnLayout::spans(rectangle, text, index, 4);
        benchmark::DoNotOptimize(spans.data());
    });
}

} // namespace

BENCHMARK(BM_BaselineSortByCodeUnits)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortAscending)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortDescending)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortAscendingAccented)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveDuplicates)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RectangleSpans)->Iterations(5)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vendrix::bench::RatioReport::shared().print(std::string(kBaseline) + " (per line)");
    return 0;
}
