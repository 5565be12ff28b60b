// The editor's text storage on a 64 MB document: opening, keystrokes with the line index
// kept up to date, reads for the view and snapshots. Baseline: one plain copy of the text.

#include "BenchSupport.h"
#include "core/text/LineIndex.h"
#include "core/text/TextStorage.h"

#include <cstring>
#include <memory>

namespace vendrix::bench {
namespace {

constexpr std::size_t kDocumentBytes = std::size_t{64} << 20;

const std::u16string& document() {
    static const std::u16string text = [] {
        std::string utf8 = makeMostlyAsciiText(kDocumentBytes);
        // Widen byte by byte: the few non-ASCII bytes become Latin-1 units, which is as good
        // as any text for these measurements and keeps the length at 64 Mi units.
        return std::u16string(utf8.begin(), utf8.end());
    }();
    return text;
}

// Baseline: one allocation and copy of the whole text.
void BM_CopyWholeText(benchmark::State& state) {
    const std::u16string& text = document();
    for (auto _ : state) {
        auto copy = std::make_unique_for_overwrite<char16_t[]>(text.size());
        std::memcpy(copy.get(), text.data(), text.size() * sizeof(char16_t));
        benchmark::DoNotOptimize(copy.get());
    }
}

void BM_OpenStorage(benchmark::State& state) {
    const std::u16string& text = document();
    for (auto _ : state) {
        TextStorage storage(text);
        benchmark::DoNotOptimize(storage.length());
    }
}

/// A run of typing in the middle of the document: storage edit plus line index update,
/// the work of one keystroke below the view.
void BM_KeystrokeInTheMiddle(benchmark::State& state) {
    TextStorage storage(document());
    LineIndex index{std::u16string_view(document())};
    std::int64_t caret = storage.length() / 2;
    for (auto _ : state) {
        storage.replace({caret, 0}, u"x");
        index.update({caret, 1}, 1, storage);
        ++caret;
    }
}

/// The storage's share of the same keystrokes: the gap stays at the caret.
void BM_StorageKeystrokeInTheMiddle(benchmark::State& state) {
    TextStorage storage(document());
    std::int64_t caret = storage.length() / 2;
    storage.replace({caret, 0}, u"x"); // the gap moves to the caret once
    for (auto _ : state) {
        storage.replace({++caret, 0}, u"x");
    }
}

/// Keystrokes near the end: the line index shifts only the few line starts after the caret,
/// leaving what the storage itself costs.
void BM_KeystrokeNearTheEnd(benchmark::State& state) {
    TextStorage storage(document());
    LineIndex index{std::u16string_view(document())};
    std::int64_t caret = storage.length() - 1000;
    for (auto _ : state) {
        storage.replace({caret, 0}, u"x");
        index.update({caret, 1}, 1, storage);
        ++caret;
    }
}

/// Typing alternating between two places 1 MB apart: the gap moves that far every time.
void BM_KeystrokeJumping1MB(benchmark::State& state) {
    TextStorage storage(document());
    std::int64_t a = storage.length() / 2, b = a + (std::int64_t{1} << 19);
    bool first = true;
    for (auto _ : state) {
        storage.replace({first ? a++ : b++, 0}, u"x");
        ++b;
        first = !first;
    }
}

/// What the view does per frame: copy the units of 60 visible lines of 80 units.
void BM_ReadVisibleLines(benchmark::State& state) {
    TextStorage storage(document());
    storage.replace({storage.length() / 2, 0}, u"x"); // the gap sits in the middle
    char16_t buffer[60 * 81];
    const std::int64_t from = storage.length() / 2 - 2400;
    for (auto _ : state) {
        storage.copyUnits({from, 60 * 81}, buffer);
        benchmark::DoNotOptimize(buffer);
    }
}

/// A snapshot after each edit (copies once per revision) and a second one at the same
/// revision (shared).
void BM_SnapshotPerRevision(benchmark::State& state) {
    TextStorage storage(document());
    for (auto _ : state) {
        storage.replace({0, 0}, u"x");
        TextSnapshot first = storage.snapshot();
        TextSnapshot second = storage.snapshot();
        benchmark::DoNotOptimize(second.view().data());
    }
}

void BM_SnapshotSameRevision(benchmark::State& state) {
    TextStorage storage(document());
    TextSnapshot keep = storage.snapshot();
    for (auto _ : state) {
        TextSnapshot again = storage.snapshot();
        benchmark::DoNotOptimize(again.view().data());
    }
}

BENCHMARK(BM_CopyWholeText)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenStorage)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_KeystrokeInTheMiddle)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(BM_StorageKeystrokeInTheMiddle)->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_KeystrokeNearTheEnd)->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_KeystrokeJumping1MB)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(BM_ReadVisibleLines)->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_SnapshotPerRevision)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SnapshotSameRevision)->Unit(benchmark::kMicrosecond)->Iterations(20000);

/// Prints every benchmark's time per iteration as a ratio of the baseline copy.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // CPU time: the machine running this is shared, and wall time there measures the
            // neighbours as much as the code.
            const double seconds =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            RatioReport::shared().record(run.benchmark_name(), seconds);
            m_seconds.emplace_back(run.benchmark_name(), seconds);
        }
    }
    /// The small figures (a keystroke is a millionth of a copy) need more than two decimals.
    void printFineRatios(const std::string& baseline) const {
        double base = 0;
        for (const auto& [name, seconds] : m_seconds)
            if (name == baseline)
                base = seconds;
        if (base <= 0)
            return;
        std::printf("\nCPU time per operation as a fraction of %s:\n", baseline.c_str());
        for (const auto& [name, seconds] : m_seconds)
            std::printf("  %-44s %12.3f us  %10.2e x\n", name.c_str(), seconds * 1e6,
                        seconds / base);
    }

private:
    std::vector<std::pair<std::string, double>> m_seconds;
};

} // namespace
} // namespace vendrix::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    vendrix::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    vendrix::bench::RatioReport::shared().print("BM_CopyWholeText/iterations:5");
    reporter.printFineRatios("BM_CopyWholeText/iterations:5");
    benchmark::Shutdown();
    return 0;
}
