// Opening a large file: detection + decoding and the line index, against memcpy of the bytes.
#include "BenchSupport.h"
#include "core/common/LargeString.h"
#include "core/text/LineIndex.h"
#include "core/text/TextFileCodec.h"
#include "core/text/UserFileDecoder.h"

#include <chrono>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using vendrix::bench::RatioReport;

const std::string& sixtyFourMB() {
    static const std::string text = vendrix::bench::makeMostlyAsciiText(64u << 20);
    return text;
}

/// Runs `body` for the benchmark's iterations and records the mean seconds under `name`.
template <typename Body>
void timed(benchmark::State& state, const char* name, Body body) {
    double total = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        body();
        total += std::chrono::duration<double>(Clock::now() - start).count();
    }
    RatioReport::shared().record(name, total / static_cast<double>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sixtyFourMB().size()));
}

void BM_Memcpy64MB(benchmark::State& state) {
    const std::string& text = sixtyFourMB();
    std::vector<char> target(text.size());
    timed(state, "memcpy 64 MB", [&] {
        std::memcpy(target.data(), text.data(), text.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    });
}

/// The physical floor of any decoder: the 128 MB of UTF-16 it produces are fresh memory that
/// the kernel must hand over zeroed. Copies the bytes into such a buffer.
void BM_MemcpyIntoFreshText(benchmark::State& state) {
    const std::string& text = sixtyFourMB();
    timed(state, "memcpy into a fresh 128 MB text buffer", [&] {
        std::u16string fresh = vendrix::buildUTF16String(text.size(), [&](char16_t* out) {
            std::memcpy(out, text.data(), text.size());
            return text.size();
        });
        benchmark::DoNotOptimize(fresh.data());
    });
}

void BM_DetectAndDecode64MB(benchmark::State& state) {
    const std::string& text = sixtyFourMB();
    timed(state, "detect + decode 64 MB (target <= 4x)", [&] {
        vendrix::DecodedText decoded = vendrix::TextFileCodec::decode(text);
        benchmark::DoNotOptimize(decoded.text.data());
    });
}

/// The editor's path: the bytes placed at the end of the text's own buffer (a memcpy standing
/// for read(), untimed) and decoded there. Compared with the fresh-buffer memcpy above.
void BM_DecodeInPlace64MB(benchmark::State& state) {
    const std::string& text = sixtyFourMB();
    double total = 0;
    for (auto _ : state) {
        vendrix::InPlaceText buffer(text.size());
        std::memcpy(buffer.bytes(), text.data(), text.size());
        auto start = Clock::now();
        vendrix::DecodedText decoded = std::move(buffer).decode(text.size());
        total += std::chrono::duration<double>(Clock::now() - start).count();
        benchmark::DoNotOptimize(decoded.text.data());
    }
    RatioReport::shared().record("decode in place 64 MB (target <= 2x fresh memcpy)",
                                 total / static_cast<double>(state.iterations()));
}

/// The whole of it with the placing: what opening costs after the read() itself.
void BM_PlaceAndDecodeInPlace64MB(benchmark::State& state) {
    const std::string& text = sixtyFourMB();
    timed(state, "place (memcpy) + decode in place 64 MB", [&] {
        vendrix::InPlaceText buffer(text.size());
        std::memcpy(buffer.bytes(), text.data(), text.size());
        vendrix::DecodedText decoded = std::move(buffer).decode(text.size());
        benchmark::DoNotOptimize(decoded.text.data());
    });
}

void BM_LineIndexBuild64MB(benchmark::State& state) {
    static const std::u16string decoded = vendrix::TextFileCodec::decode(sixtyFourMB()).text;
    timed(state, "LineIndex build 64 MB (target <= 2x)", [&] {
        vendrix::LineIndex index(decoded);
        benchmark::DoNotOptimize(index.lineCount());
    });
}

void BM_LineIndexUpdateAtStart(benchmark::State& state) {
    std::u16string text;
    for (int i = 0; i < 800000; ++i)
        text += u"a line of text that is about sixty units long, give or take\n";
    vendrix::LineIndex index(text);
    const vendrix::StringTextSource source(text);
    double total = 0;
    for (auto _ : state) {
        // Insert one character at the start, then take it out again, as two edits.
        text.insert(text.begin(), u'x');
        auto start = Clock::now();
        index.update({0, 1}, 1, vendrix::StringTextSource(text));
        total += std::chrono::duration<double>(Clock::now() - start).count();
        text.erase(text.begin());
        index.update({0, 0}, -1, vendrix::StringTextSource(text));
    }
    RatioReport::shared().record("LineIndex update, 1 char at start of 800,000 lines (< 1 ms)",
                                 total / static_cast<double>(state.iterations()));
    (void)source;
}

BENCHMARK(BM_Memcpy64MB)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_MemcpyIntoFreshText)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_DetectAndDecode64MB)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_DecodeInPlace64MB)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_PlaceAndDecodeInPlace64MB)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_LineIndexBuild64MB)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_LineIndexUpdateAtStart)->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    RatioReport::shared().print("memcpy 64 MB");
    RatioReport::shared().print("memcpy into a fresh 128 MB text buffer");
    return 0;
}
