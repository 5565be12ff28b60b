// JSON formatting throughput on a 20 MB single-line document, against nlohmann::json
// (parse + dump) and a plain copy of the input measured in the same run.
#include "bench/BenchSupport.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONBlockStream.h"
#include "core/formatting/JSONFormatter.h"

#include <nlohmann/json.hpp>

#include <ctime>
#include <cstring>
#include <functional>
#include <map>

namespace {

using vendrix::FormatIndent;
using vendrix::JSONFormatter;

constexpr std::size_t kDocumentBytes = 20 << 20;

// A single-line document of records with strings (some non-ASCII and escaped), integers,
// decimals, booleans, nulls, nested arrays and objects.
const std::string& document() {
    static const std::string json = [] {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> small(0, 9999);
        static const char* names[] = {"Ayşe", "Çağrı", "Gülşen", "Mehmet", "Zoë", "Ødegaard",
                                      "José", "Ivan", "Li Wei", "Oğuz"};
        std::string out = "{\"generated\":true,\"records\":[";
        out.reserve(kDocumentBytes + 1024);
        for (int i = 0; out.size() < kDocumentBytes; ++i) {
            if (i > 0)
                out += ',';
            out += "{\"id\":" + std::to_string(i) + ",\"name\":\"" + names[i % 10] +
                   "\",\"score\":" + std::to_string(small(rng)) + "." +
                   std::to_string(small(rng)) + ",\"active\":" + (i % 3 ? "true" : "false") +
                   ",\"tags\":[\"alpha\",\"beta\",\"g\\u00e4mma\"],\"parent\":null,"
                   "\"address\":{\"city\":\"İstanbul\",\"zip\":\"34" +
                   std::to_string(small(rng)) + "\",\"line\":\"No: " + std::to_string(i) +
                   " \\\"B\\\" blok\"},\"values\":[" + std::to_string(small(rng)) + "," +
                   std::to_string(-small(rng)) + ",1e-3]}";
        }
        out += "]}";
        return out;
    }();
    return json;
}

std::map<std::string, double>& measuredSeconds() {
    static std::map<std::string, double> seconds;
    return seconds;
}

double megabytes() {
    return static_cast<double>(document().size()) / (1 << 20);
}

// CPU seconds of this thread: the machine running the benchmarks may be shared, and CPU time
// keeps the ratios meaningful when other processes take turns on the cores.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs `body` for the benchmark's iterations and records the mean CPU seconds per iteration.
void measure(benchmark::State& state, const std::string& name,
             const std::function<std::size_t()>& body) {
    std::size_t produced = 0;
    const double start = threadSeconds();
    for (auto _ : state)
        benchmark::DoNotOptimize(produced += body());
    const double elapsed = threadSeconds() - start;
    if (produced == 0)
        state.SkipWithError("no output");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document().size()));
    const double perRun = elapsed / static_cast<double>(state.iterations());
    vendrix::bench::RatioReport::shared().record(name, perRun);
    measuredSeconds()[name] = perRun;
}

void BM_Memcpy(benchmark::State& state) {
    std::string copy(document().size(), '\0');
    measure(state, "baseline memcpy", [&] {
        std::memcpy(copy.data(), document().data(), document().size());
        benchmark::ClobberMemory();
        return copy.size();
    });
}

// The least a formatter must do: copy the input into a newly allocated string.
void BM_CopyToNewString(benchmark::State& state) {
    measure(state, "baseline copy into a new string", [] {
        std::string copy = document();
        benchmark::DoNotOptimize(copy.data());
        return copy.size();
    });
}

void BM_NlohmannPretty(benchmark::State& state) {
    measure(state, "baseline nlohmann parse+dump(2)",
            [] { return nlohmann::json::parse(document()).dump(2).size(); });
}

void BM_NlohmannMinify(benchmark::State& state) {
    measure(state, "baseline nlohmann parse+dump()",
            [] { return nlohmann::json::parse(document()).dump().size(); });
}

std::size_t formatted(std::optional<FormatIndent> indent, bool sortKeys) {
    auto out = JSONFormatter::formatUTF8(document(), indent, sortKeys);
    return out ? out->size() : 0;
}

void BM_Pretty(benchmark::State& state) {
    measure(state, "vendrix pretty", [] { return formatted(FormatIndent::spaces(2), false); });
}

void BM_PrettySorted(benchmark::State& state) {
    measure(state, "vendrix pretty sorted", [] { return formatted(FormatIndent::spaces(2), true); });
}

void BM_Minify(benchmark::State& state) {
    measure(state, "vendrix minify", [] { return formatted(std::nullopt, false); });
}

void BM_Validate(benchmark::State& state) {
    measure(state, "vendrix validate", [] {
        auto summary = JSONFormatter::validateUTF8(document());
        return summary ? static_cast<std::size_t>(summary->valueCount) : 0;
    });
}

// The command-line tool's way: the output in 1 MiB blocks (here counted and dropped) once
// the input is known to format, instead of one string.
std::size_t blocks(std::optional<FormatIndent> indent) {
    std::size_t size = 0;
    auto result = vendrix::JSONBlockStream::format(document(), indent, [&](std::string_view b) {
        size += b.size();
        return true;
    });
    return std::holds_alternative<vendrix::JSONBlockStream::Done>(result) ? size : 0;
}

void BM_PrettyBlocks(benchmark::State& state) {
    measure(state, "vendrix pretty (blocks)", [] { return blocks(FormatIndent::spaces(2)); });
}

void BM_MinifyBlocks(benchmark::State& state) {
    measure(state, "vendrix minify (blocks)", [] { return blocks(std::nullopt); });
}

// The editor's entry points, which add the UTF-16 <-> UTF-8 conversions of the document text.
const std::u16string& documentText() {
    static const std::u16string text = vendrix::FormatText::fromUTF8(document());
    return text;
}

void BM_PrettyUTF16(benchmark::State& state) {
    documentText();
    measure(state, "vendrix pretty (UTF-16 text)", [] {
        auto out = JSONFormatter::pretty(documentText(), FormatIndent::spaces(2), false);
        return out ? out->size() : 0;
    });
}

void BM_MinifyUTF16(benchmark::State& state) {
    documentText();
    measure(state, "vendrix minify (UTF-16 text)", [] {
        auto out = JSONFormatter::minify(documentText(), false);
        return out ? out->size() : 0;
    });
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyToNewString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NlohmannPretty)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NlohmannMinify)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pretty)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrettySorted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Minify)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Validate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrettyBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinifyBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrettyUTF16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinifyUTF16)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    document();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto& report = vendrix::bench::RatioReport::shared();
    std::printf("\nDocument: %.1f MB on one line\n", megabytes());
    std::printf("Times are CPU time of the benchmark thread, mean per run.\n\nThroughput:\n");
    for (const auto& [name, seconds] : measuredSeconds())
        std::printf("  %-40s %10.1f MB/s\n", name.c_str(), megabytes() / seconds);
    report.print("baseline memcpy");
    report.print("baseline copy into a new string");
    report.print("baseline nlohmann parse+dump(2)");
    report.print("baseline nlohmann parse+dump()");
    std::printf("\nTargets: pretty and minify at least 5x faster than nlohmann (ratio <= 0.2)"
                " and within 10x of memcpy (ratio <= 10).\n");
    return 0;
}
