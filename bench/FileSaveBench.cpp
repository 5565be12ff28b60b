// Saving a 64 MB document: encoding plus the safe atomic save, against writing the same bytes
// straight into the file with write + fsync (what an unsafe editor would do). The editor's save
// is the streamed one (encoded piece by piece into the temporary file); the whole-text encode
// followed by the write is kept for comparison.
#include "BenchSupport.h"
#include "core/text/TextFileCodec.h"
#include "core/text/TextFileSaver.h"
#include "core/text/UserFileWriter.h"

#include <chrono>
#include <cstdlib>
#include <system_error>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using vendrix::bench::RatioReport;
namespace fs = std::filesystem;

const std::string& sixtyFourMB() {
    static const std::string bytes = vendrix::bench::makeMostlyAsciiText(64u << 20);
    return bytes;
}

const std::u16string& documentText() {
    static const std::u16string text = vendrix::TextFileCodec::decode(sixtyFourMB()).text;
    return text;
}

/// A scratch directory on the same disk as the build (not a tmpfs, so fsync costs what it
/// costs for a user's file); main() removes it.
const fs::path& scratchDirectory() {
    static const fs::path dir = [] {
        std::string pattern = (fs::current_path() / "bench-save-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return fs::path(pattern);
    }();
    return dir;
}

void plainWrite(const fs::path& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        std::abort();
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count <= 0)
            std::abort();
        done += static_cast<std::size_t>(count);
    }
    if (::fsync(fd) != 0)
        std::abort();
    ::close(fd);
}

/// Runs `body` once untimed (first writes of a fresh file pay for block allocation that later
/// saves do not), then for the benchmark's iterations, recording the mean seconds.
RatioReport& crlfReport() {
    static RatioReport report;
    return report;
}

template <typename Body>
void timed(benchmark::State& state, const char* name, Body body, RatioReport& report) {
    body();
    double total = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        body();
        total += std::chrono::duration<double>(Clock::now() - start).count();
    }
    report.record(name, total / static_cast<double>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sixtyFourMB().size()));
}

template <typename Body> void timed(benchmark::State& state, const char* name, Body body) {
    timed(state, name, body, RatioReport::shared());
}

void BM_StreamedSave64MB(benchmark::State& state) {
    const fs::path file = scratchDirectory() / "streamed.txt";
    plainWrite(file, sixtyFourMB());
    const std::u16string& text = documentText();
    timed(state, "streamed encode + atomic save 64 MB (target <= 1.5x)", [&] {
        auto saved = vendrix::TextFileSaver::save(text, vendrix::TextEncoding::utf8,
                                                  vendrix::LineEnding::lf, file);
        if (!saved || saved->method != vendrix::UserFileWriteMethod::atomicReplace)
            std::abort();
    });
}

/// CR LF written while encoding, against write + fsync of the same (larger) bytes.
void BM_StreamedSaveCRLF64MB(benchmark::State& state) {
    static const std::string crlfBytes = *vendrix::TextFileCodec::encode(
        documentText(), vendrix::TextEncoding::utf8, vendrix::LineEnding::crlf);
    const fs::path plain = scratchDirectory() / "plain-crlf.txt";
    plainWrite(plain, crlfBytes);
    double baseline = 0;
    for (int i = 0; i < 3; ++i) {
        auto start = Clock::now();
        plainWrite(plain, crlfBytes);
        baseline += std::chrono::duration<double>(Clock::now() - start).count() / 3;
    }
    crlfReport().record("write + fsync of the CR LF bytes", baseline);
    const fs::path file = scratchDirectory() / "streamed-crlf.txt";
    plainWrite(file, crlfBytes);
    timed(
        state, "streamed encode (LF -> CR LF) + atomic save", [&] {
            auto saved = vendrix::TextFileSaver::save(documentText(), vendrix::TextEncoding::utf8,
                                                      vendrix::LineEnding::crlf, file);
            if (!saved)
                std::abort();
        },
        crlfReport());
}

void BM_WriteAndFsync64MB(benchmark::State& state) {
    const fs::path file = scratchDirectory() / "plain.txt";
    plainWrite(file, sixtyFourMB());
    timed(state, "write + fsync 64 MB", [&] { plainWrite(file, sixtyFourMB()); });
}

void BM_EncodeAndAtomicSave64MB(benchmark::State& state) {
    const fs::path file = scratchDirectory() / "document.txt";
    plainWrite(file, sixtyFourMB());
    const std::u16string& text = documentText();
    timed(state, "whole encode, then atomic save 64 MB (before)", [&] {
        auto bytes = vendrix::TextFileCodec::encode(text, vendrix::TextEncoding::utf8,
                                                    vendrix::LineEnding::lf);
        if (!bytes || bytes->size() != sixtyFourMB().size())
            std::abort();
        auto saved = vendrix::UserFileWriter::write(*bytes, file);
        if (!saved || saved->method != vendrix::UserFileWriteMethod::atomicReplace)
            std::abort();
    });
}

/// The two halves of the save, to see which one costs.
void BM_Encode64MB(benchmark::State& state) {
    const std::u16string& text = documentText();
    timed(state, "  of which: encode 64 MB", [&] {
        auto bytes = vendrix::TextFileCodec::encode(text, vendrix::TextEncoding::utf8,
                                                    vendrix::LineEnding::lf);
        benchmark::DoNotOptimize(bytes->data());
    });
}

void BM_AtomicSave64MB(benchmark::State& state) {
    const fs::path file = scratchDirectory() / "ready.txt";
    plainWrite(file, sixtyFourMB());
    timed(state, "  of which: atomic save of ready bytes", [&] {
        if (!vendrix::UserFileWriter::write(sixtyFourMB(), file))
            std::abort();
    });
}

void BM_EncodeAndInPlaceSave64MB(benchmark::State& state) {
    const fs::path file = scratchDirectory() / "linked.txt";
    plainWrite(file, sixtyFourMB());
    fs::create_hard_link(file, scratchDirectory() / "linked-alias.txt");
    const std::u16string& text = documentText();
    timed(state, "encode + in-place save 64 MB (hard link)", [&] {
        auto bytes = vendrix::TextFileCodec::encode(text, vendrix::TextEncoding::utf8,
                                                    vendrix::LineEnding::lf);
        auto saved = vendrix::UserFileWriter::write(*bytes, file);
        if (!saved || saved->method != vendrix::UserFileWriteMethod::inPlace)
            std::abort();
    });
}

BENCHMARK(BM_WriteAndFsync64MB)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_StreamedSave64MB)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_StreamedSaveCRLF64MB)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_EncodeAndAtomicSave64MB)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_Encode64MB)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_AtomicSave64MB)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_EncodeAndInPlaceSave64MB)->Unit(benchmark::kMillisecond)->Iterations(6);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(scratchDirectory(), ignored);
    RatioReport::shared().print("write + fsync 64 MB");
    crlfReport().print("write + fsync of the CR LF bytes");
    return 0;
}
