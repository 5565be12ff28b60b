// Markup formatting throughput on a generated 20 MB XML document, against a plain memcpy of the
// same bytes in the same run. Target: XML pretty-printing at 100 MB/s or more.

#include "BenchSupport.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/MarkupFormatter.h"

#include <cstring>
#include <ctime>
#include <random>

namespace {

using vendrix::FormatIndent;
using vendrix::MarkupFormatter;

constexpr std::size_t kDocumentBytes = 20u << 20;

/// A single-line XML document of about `bytes` bytes, the shape pretty-on-open meets: nested
/// records with attributes, text and mixed content, comments, CDATA and empty elements.
const std::string& document() {
    static const std::string text = [] {
        std::mt19937 rng(42);
        std::uniform_int_distribution<int> pick(0, 99);
        std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><catalog xmlns:x=\"urn:x\">";
        out.reserve(kDocumentBytes + 4096);
        for (int i = 0; out.size() < kDocumentBytes; ++i) {
            const std::string id = std::to_string(i);
            out +=
                "<record id=\"r" + id + "\" kind=\"" + (pick(rng) < 50 ? "kitap" : "dergi") + "\">";
            out += "<title>Kayıt " + id + " başlığı</title><authors>";
            for (int a = pick(rng) % 3; a >= 0; --a)
                out += "<author role=\"yazar\">Ayşe Yılmaz " + std::to_string(a) + "</author>";
            out += "</authors><price currency=\"TRY\">" + std::to_string(pick(rng)) + ".50</price>";
            if (pick(rng) < 30)
                out += "<!-- gözden geçirilecek -->";
            if (pick(rng) < 20)
                out += "<notes><![CDATA[a < b && c > d]]></notes>";
            out += "<summary>Metin <em>vurgulu</em> ve <b>kalın</b> bölümler.</summary><x:flag/>"
                   "<tags><tag>a</tag><tag>b</tag></tags></record>";
        }
        out += "</catalog>";
        return out;
    }();
    return text;
}

/// CPU time of the calling thread: the machine is shared, so wall time mostly measures the
/// other jobs running beside the benchmark.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

/// Runs `body` per iteration, reports bytes processed and records the mean CPU time per run.
template <typename Body> void timed(benchmark::State& state, const std::string& name, Body body) {
    const std::string& input = document();
    double seconds = 0;
    for (auto _ : state) {
        const double start = threadSeconds();
        body(input);
        seconds += threadSeconds() - start;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    vendrix::bench::RatioReport::shared().record(name,
                                                 seconds / static_cast<double>(state.iterations()));
}

void BM_MemcpyBaseline(benchmark::State& state) {
    std::string copy(document().size(), '\0');
    timed(state, "memcpy", [&](const std::string& input) {
        std::memcpy(copy.data(), input.data(), input.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    });
}

void BM_XMLPrettyBytes(benchmark::State& state) {
    timed(state, "xml pretty (UTF-8)", [](const std::string& input) {
        auto out = MarkupFormatter::formatBytes(input, MarkupFormatter::Dialect::xml,
                                                FormatIndent::spaces(2));
        if (!out)
            std::abort();
        benchmark::DoNotOptimize(out->data());
    });
}

void BM_XMLMinifyBytes(benchmark::State& state) {
    timed(state, "xml minify (UTF-8)", [](const std::string& input) {
        auto out = MarkupFormatter::formatBytes(input, MarkupFormatter::Dialect::xml, std::nullopt);
        if (!out)
            std::abort();
        benchmark::DoNotOptimize(out->data());
    });
}

void BM_HTMLPrettyBytes(benchmark::State& state) {
    timed(state, "html pretty (UTF-8)", [](const std::string& input) {
        auto out = MarkupFormatter::formatBytes(input, MarkupFormatter::Dialect::html,
                                                FormatIndent::spaces(2));
        if (!out)
            std::abort();
        benchmark::DoNotOptimize(out->data());
    });
}

// The editor's path: UTF-16 text in, UTF-16 text out, conversions included.
void BM_XMLPrettyText(benchmark::State& state) {
    static const std::u16string text = vendrix::FormatText::fromUTF8(document());
    timed(state, "xml pretty (UTF-16 text)", [](const std::string&) {
        auto out =
            MarkupFormatter::pretty(text, MarkupFormatter::Dialect::xml, FormatIndent::spaces(2));
        if (!out)
            std::abort();
        benchmark::DoNotOptimize(out->data());
    });
}

void BM_XMLMinifyText(benchmark::State& state) {
    static const std::u16string text = vendrix::FormatText::fromUTF8(document());
    timed(state, "xml minify (UTF-16 text)", [](const std::string&) {
        auto out = MarkupFormatter::minify(text, MarkupFormatter::Dialect::xml);
        if (!out)
            std::abort();
        benchmark::DoNotOptimize(out->data());
    });
}

BENCHMARK(BM_MemcpyBaseline)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_XMLPrettyBytes)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_XMLMinifyBytes)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_HTMLPrettyBytes)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_XMLPrettyText)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_XMLMinifyText)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::printf("Document: %.1f MB of single-line XML\n",
                static_cast<double>(document().size()) / 1e6);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vendrix::bench::RatioReport::shared().print("memcpy");
    std::printf("(CPU time of the benchmark thread; throughput = document size / time)\n");
    return 0;
}
