// Tokenizing throughput and the cost of a typing step in a large file.
//
// Baseline: a plain scan that only splits the same text into lines (building its line index).
// Times are thread CPU time, so that other work on a shared machine does not distort them.
// Full tokenizing should reach at least 100 MB/s; a typing step near the start of an
// 800,000-line file should re-tokenize only a handful of lines and cost under 0.2 ms.
#include "BenchSupport.h"
#include "core/syntax/HighlightEngine.h"
#include "core/syntax/LanguageID.h"
#include "core/text/LineIndex.h"

#include <ctime>
#include <random>
#include <string>

namespace vendrix {
namespace {

constexpr std::size_t kBigFileUnits = 20u << 20; // 20 MB of mostly ASCII text

std::u16string makeJavaScript(std::size_t units, unsigned seed = 1) {
    static const char16_t* lines[] = {
        u"function compute(value, index) {",
        u"  const result = value * 2 + index; // double it",
        u"  if (result > 0x1F && name !== \"limit\") {",
        u"    return `item ${index}: ${result.toFixed(2)}`;",
        u"  }",
        u"  let total = 0, ratio = 1.5e-3;",
        u"  for (const entry of list) total += entry.size;",
        u"  /* a block comment",
        u"     that spans two lines */",
        u"  await fetch('https://example.com/api', { method: 'POST' });",
        u"  this.emit('changed', { total, ratio, ready: true });",
        u"}",
        u"class Store extends Base { static create() { return new Store(null); } }",
        u"",
    };
    std::mt19937 rng(seed);
    std::u16string text;
    text.reserve(units + 128);
    while (text.size() < units) {
        std::size_t pick = rng() % std::size(lines);
        if (pick == 7) { // keep the two-line comment together
            text += lines[7];
            text += u'\n';
            pick = 8;
        }
        text += lines[pick];
        text += u'\n';
    }
    return text;
}

std::u16string makeMarkdown(std::size_t units, unsigned seed = 2) {
    static const char16_t* lines[] = {
        u"# A heading with `code`",
        u"Some *emphasised* and **strong** text with a [link](https://example.com/page).",
        u"- a list item with `inline code` and an <kbd>Ctrl</kbd> key",
        u"1. an ordered item",
        u"> a quoted line",
        u"Plain prose that goes on for a while without any markup at all, as most prose does.",
        u"",
        u"```js",
        u"const x = 1; // inside a fence",
        u"```",
        u"***",
    };
    std::mt19937 rng(seed);
    std::u16string text;
    text.reserve(units + 128);
    while (text.size() < units) {
        std::size_t pick = rng() % std::size(lines);
        if (pick >= 7 && pick <= 9) {
            text += u"```js\nconst x = 1; // inside a fence\n```\n";
            continue;
        }
        text += lines[pick];
        text += u'\n';
    }
    return text;
}

/// Thread CPU time in seconds: the machine running the benchmarks is shared, so wall time
/// mostly measures the other processes.
double cpuNow() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

const std::u16string& javascriptText() {
    static const std::u16string text = makeJavaScript(kBigFileUnits);
    return text;
}
const std::u16string& markdownText() {
    static const std::u16string text = makeMarkdown(kBigFileUnits);
    return text;
}

void record(benchmark::State& state, const std::string& name, double seconds) {
    bench::RatioReport::shared().record(name, seconds / static_cast<double>(state.iterations()));
}

void runSplitBaseline(benchmark::State& state, const std::u16string& text, const char* name) {
    double seconds = 0;
    for (auto _ : state) {
        const double start = cpuNow();
        LineIndex index(text);
        benchmark::DoNotOptimize(index.lineCount());
        seconds += cpuNow() - start;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    record(state, name, seconds);
}

/// Tokens of every line, collected the way the editor collects a request's tokens.
void runFullTokens(benchmark::State& state, const std::u16string& text, std::string_view language,
                   const char* name) {
    LineIndex index(text);
    StringTextSource source(text);
    double seconds = 0;
    std::size_t tokens = 0;
    for (auto _ : state) {
        const double start = cpuNow();
        auto engine = HighlightEngine::create(language, index.lineCount(), 20000);
        auto result = engine->tokens(0, index.lineCount() - 1, source, index);
        tokens = result.size();
        benchmark::DoNotOptimize(result.data());
        seconds += cpuNow() - start;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["tokens"] = static_cast<double>(tokens);
    record(state, name, seconds);
}

/// Catching up over every line without a callback (what scrolling to the end costs).
void runCatchUp(benchmark::State& state, const std::u16string& text, std::string_view language,
                const char* name) {
    LineIndex index(text);
    StringTextSource source(text);
    double seconds = 0;
    for (auto _ : state) {
        const double start = cpuNow();
        auto engine = HighlightEngine::create(language, index.lineCount(), 20000);
        benchmark::DoNotOptimize(engine->state(index.lineCount() - 1, source, index));
        seconds += cpuNow() - start;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    record(state, name, seconds);
}

void BM_SplitLinesJavaScript(benchmark::State& state) {
    runSplitBaseline(state, javascriptText(), "split lines (baseline), 20 MB JavaScript");
}
void BM_SplitLinesMarkdown(benchmark::State& state) {
    runSplitBaseline(state, markdownText(), "split lines, 20 MB Markdown");
}
void BM_TokenizeJavaScript(benchmark::State& state) {
    runFullTokens(state, javascriptText(), LanguageID::javascript, "tokenize 20 MB JavaScript");
}
void BM_TokenizeMarkdown(benchmark::State& state) {
    runFullTokens(state, markdownText(), LanguageID::markdown, "tokenize 20 MB Markdown");
}
void BM_CatchUpJavaScript(benchmark::State& state) {
    runCatchUp(state, javascriptText(), LanguageID::javascript,
               "catch up (states only) 20 MB JavaScript");
}
void BM_CatchUpMarkdown(benchmark::State& state) {
    runCatchUp(state, markdownText(), LanguageID::markdown,
               "catch up (states only) 20 MB Markdown");
}

/// The document as the editor stores it: an editable head in front of a large, unchanged
/// tail (the gap sits near the edit), so the benchmark does not measure moving the text.
class HeadTailSource final : public TextSource {
public:
    HeadTailSource(std::u16string head, std::u16string_view tail)
        : m_head(std::move(head)), m_tail(tail) {}
    std::int64_t length() const override {
        return static_cast<std::int64_t>(m_head.size() + m_tail.size());
    }
    void copyUnits(TextRange range, char16_t* out) const override {
        auto at = static_cast<std::size_t>(range.location);
        auto count = static_cast<std::size_t>(range.length);
        while (count > 0 && at < m_head.size()) {
            *out++ = m_head[at++];
            --count;
        }
        if (count > 0)
            m_tail.copy(out, count, at - m_head.size());
    }
    std::u16string& head() { return m_head; }

private:
    std::u16string m_head;
    std::u16string_view m_tail;
};

const std::u16string& typingText() {
    constexpr std::int64_t kLines = 800000;
    static const std::u16string text = [] {
        std::u16string all = makeJavaScript(kLines * 40, 3);
        std::size_t at = 0;
        for (std::int64_t line = 0; line < kLines && at != std::u16string::npos; ++line)
            at = all.find(u'\n', at + 1);
        return at == std::u16string::npos ? all : all.substr(0, at);
    }();
    return text;
}

/// Alternately inserts `typed` near the start of an 800,000-line file and deletes it again.
void runTypingStep(benchmark::State& state, char16_t typed, const char* name) {
    const std::u16string& text = typingText();
    const std::size_t headSize = 4096;
    HeadTailSource source(text.substr(0, headSize), std::u16string_view(text).substr(headSize));
    LineIndex index(source);
    auto engine = HighlightEngine::create(LanguageID::javascript, index.lineCount(), 20000);
    (void)engine->state(index.lineCount() - 1, source, index); // every state known
    const std::int64_t editAt = index.lineStart(12) + 3;
    double seconds = 0;
    std::int64_t scanned = 0;
    bool insert = true;
    for (auto _ : state) {
        // The storage and its line index change first, as in the editor; only the
        // highlighting work is timed: noteEdit plus the visible lines' tokens.
        TextRange edited{editAt, insert ? 1 : 0};
        if (insert)
            source.head().insert(static_cast<std::size_t>(editAt), 1, typed);
        else
            source.head().erase(static_cast<std::size_t>(editAt), 1);
        index.update(edited, insert ? 1 : -1, source);
        insert = !insert;

        const std::int64_t before = engine->linesScanned();
        const double start = cpuNow();
        engine->noteEdit(edited, index);
        auto tokens = engine->tokens(0, 60, source, index);
        benchmark::DoNotOptimize(tokens.data());
        seconds += cpuNow() - start;
        scanned += engine->linesScanned() - before;
    }
    const auto steps = static_cast<double>(state.iterations());
    state.counters["ms_per_step"] = seconds * 1e3 / steps;
    state.counters["lines_tokenized_per_step"] = static_cast<double>(scanned) / steps;
    state.counters["lines_beyond_window"] = static_cast<double>(scanned) / steps - 61;
    state.counters["valid_lines_after"] = static_cast<double>(engine->validLineCount());
    record(state, name, seconds);
}

void BM_TypingStep(benchmark::State& state) {
    runTypingStep(state, u'x', "typing step (noteEdit + 61 visible lines), 800,000 lines");
}
void BM_TypingNewLine(benchmark::State& state) {
    runTypingStep(state, u'\n', "typing a line break, 800,000 lines");
}

BENCHMARK(BM_SplitLinesJavaScript)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SplitLinesMarkdown)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TokenizeJavaScript)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TokenizeMarkdown)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CatchUpJavaScript)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CatchUpMarkdown)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TypingStep)->Unit(benchmark::kMicrosecond)->Iterations(400);
BENCHMARK(BM_TypingNewLine)->Unit(benchmark::kMicrosecond)->Iterations(400);

} // namespace
} // namespace vendrix

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vendrix::bench::RatioReport::shared().print("split lines (baseline), 20 MB JavaScript");
    return 0;
}
