// A file of a gigabyte: open to first paint, memory, keystrokes at start, middle and end,
// Ctrl+End, a scrollbar drag to the middle, soft wrap switched on and PageDown after it.
// The open is compared, in the same run, with reading the same file into fresh memory and
// copying it into a fresh buffer of its UTF-16 size (the floor of any editor that holds the
// text as UTF-16). The file is made of the 64 MB benchmark text, written to /tmp (or
// $VENDRIX_HUGE_DIR) and deleted at the end. VENDRIX_HUGE_MB sets its size (default 1024).
#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "app/view/LineNumberRulerView.h"
#include "bench/BenchSupport.h"
#include "core/text/LineIndex.h"
#include "core/text/TextFileLoader.h"
#include "core/text/UserFileReader.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QUuid>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace vendrix;
using namespace vendrix::app;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

/// Seconds of CPU the calling thread has used.
double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

/// The median main-thread CPU time of the last median() call: on a shared machine the wall
/// time also holds the waits for a core, this does not.
double lastCpuMedian = 0;

/// Median time of `step`, each run after an untimed `setup`.
double median(int runs, const std::function<void(int)>& step,
              const std::function<void(int)>& setup = {}) {
    std::vector<double> times, cpu;
    for (int i = 0; i < runs; ++i) {
        if (setup)
            setup(i);
        auto t = Clock::now();
        const double c = threadCpuSeconds();
        step(i);
        cpu.push_back(threadCpuSeconds() - c);
        times.push_back(seconds(t));
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    lastCpuMedian = cpu[cpu.size() / 2];
    return times[times.size() / 2];
}

void row(const char* name, double value, const char* unit, const char* target, bool met) {
    std::printf("  %-46s %10.3f %-3s %-34s %s\n", name, value, unit, target, met ? "yes" : "NO");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int megabytes = qEnvironmentVariableIsSet("VENDRIX_HUGE_MB")
                              ? qEnvironmentVariableIntValue("VENDRIX_HUGE_MB")
                              : 1024;
    const std::string directory = qEnvironmentVariableIsSet("VENDRIX_HUGE_DIR")
                                      ? qEnvironmentVariable("VENDRIX_HUGE_DIR").toStdString()
                                      : std::string("/tmp");
    // With --write PATH only the file is written (for scripts/bench-huge.sh).
    const bool writeOnly = argc == 3 && std::strcmp(argv[1], "--write") == 0;
    const std::string path = writeOnly ? std::string(argv[2])
                                       : directory + "/vendrix-huge-" + std::to_string(::getpid()) + ".txt";
    {
        const std::string piece = bench::makeMostlyAsciiText(64u << 20);
        std::ofstream out(path, std::ios::binary);
        for (int written = 0; written < megabytes; written += 64)
            out.write(piece.data(), static_cast<std::streamsize>(
                                        std::min<std::size_t>(piece.size(), std::size_t(megabytes - written) << 20)));
    }
    if (writeOnly)
        return 0;
    struct Remove {
        std::string path;
        ~Remove() { std::remove(path.c_str()); }
    } remove{path};

    // Baselines: the bytes read into fresh memory, and a copy into a fresh UTF-16-sized buffer.
    double readSeconds = 0, copySeconds = 0;
    std::uint64_t fileBytes = 0;
    {
        auto t = Clock::now();
        auto bytes = UserFileReader::read(path, {.maxSize = ~std::uint64_t{0} >> 1, .progress = {}});
        readSeconds = seconds(t);
        if (!bytes) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        fileBytes = bytes->bytes.size();
        t = Clock::now();
        std::unique_ptr<char16_t[]> fresh(new char16_t[fileBytes]);
        std::memcpy(fresh.get(), bytes->bytes.data(), fileBytes);
        std::memcpy(reinterpret_cast<char*>(fresh.get()) + fileBytes, bytes->bytes.data(), fileBytes);
        copySeconds = seconds(t);
    }
    const double baseline = readSeconds + copySeconds;
    const double residentBefore = residentMegabytes();

    // The editor's path: read, decode in place and index (on the opening worker in the
    // editor), document (the storage adopts the text and takes the index), view with its
    // ruler, first paint. The loader's progress marks where its steps end.
    auto start = Clock::now();
    double readEnd = 0, decodeEnd = 0;
    auto loaded = TextFileLoader::load(path, {.maxSize = ~std::uint64_t{0} >> 1, .progress = {}},
                                       [&](double fraction) {
                                           if (fraction >= TextFileLoader::kReadFraction && readEnd == 0)
                                               readEnd = seconds(start);
                                           if (fraction >= TextFileLoader::kDecodedFraction && decodeEnd == 0)
                                               decodeEnd = seconds(start);
                                           return true;
                                       });
    if (!loaded) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    const double decodeSeconds = seconds(start);
    auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
    document->setFileURL(QString::fromStdString(path));
    document->setText(std::move(loaded->file.decoded.text), std::move(loaded->index));
    const double documentSeconds = seconds(start);
    auto view = std::make_unique<EditorTextView>();
    auto* ruler = new LineNumberRulerView(
        view.get(), [&]() -> const LineIndex* { return &document->lineIndex(); });
    view->resize(1000, 700);
    view->setDocument(document.get());
    view->show();
    (void)QTest::qWaitForWindowExposed(view.get());
    view->viewport()->repaint();
    ruler->repaint();
    const double openSeconds = seconds(start);
    const double resident = residentMegabytes();
    const double utf16Megabytes = static_cast<double>(document->length()) * 2 / (1 << 20);
    const double residentLimit = 1.1 * utf16Megabytes + 100;

    auto paint = [&] {
        QApplication::sendPostedEvents();
        QApplication::processEvents();
        view->viewport()->repaint();
        ruler->repaint();
    };
    auto typeAt = [&](std::int64_t offset) {
        view->setSelectedRange({offset, 0});
        view->scrollRangeToVisible({offset, 0});
        paint();
        return median(51, [&](int) {
            view->insertText(u"x");
            paint();
        });
    };
    if (qEnvironmentVariableIsSet("VENDRIX_HUGE_PROFILE_MIDDLE")) {
        // Profiling aid: keystrokes at the start, then many in the middle, or at the
        // per-mille position the variable gives (0 start ... 1000 end).
        bool given = false;
        const int perMille = qEnvironmentVariableIntValue("VENDRIX_HUGE_PROFILE_MIDDLE", &given);
        (void)typeAt(0);
        const std::int64_t at = given ? document->length() / 1000 * std::clamp(perMille, 0, 1000)
                                      : document->length() / 2;
        const double each = typeAt(at);
        const double cpu = lastCpuMedian;
        for (int i = 0; i < 2000; ++i) {
            view->insertText(u"x");
            paint();
        }
        std::printf("keystroke at %lld: %.3f ms (CPU %.3f ms)\n", static_cast<long long>(at),
                    each * 1e3, cpu * 1e3);
        return 0;
    }
    const double keyStart = typeAt(0);
    const double cpuStart = lastCpuMedian;
    const double keyMiddle = typeAt(document->length() / 2);
    const double cpuMiddle = lastCpuMedian;
    const double keyEnd = typeAt(document->length());
    const double cpuEnd = lastCpuMedian;
    // Each Ctrl+End starts at the top (untimed), so it travels the whole text.
    const double ctrlEnd = median(
        11,
        [&](int) {
            QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
            paint();
        },
        [&](int) {
            QTest::keyClick(view.get(), Qt::Key_Home, Qt::ControlModifier);
            paint();
        });
    QScrollBar* bar = view->verticalScrollBar();
    // The thumb dragged from the top to the middle, a little elsewhere each time.
    const double drag = median(
        11,
        [&](int i) {
            bar->setValue(bar->maximum() / 2 + i * 997);
            paint();
        },
        [&](int) {
            bar->setValue(0);
            paint();
        });
    view->setSelectedRange({0, 0});
    view->setScrollOrigin({0, 0});
    paint();
    auto wrapStart = Clock::now();
    view->setWrapsLines(true);
    paint();
    const double wrapOn = seconds(wrapStart);
    const double pageDown = median(51, [&](int) {
        QTest::keyClick(view.get(), Qt::Key_PageDown);
        paint();
    });
    const double wrappedKey = median(51, [&](int) {
        view->insertText(u"\n");
        paint();
    });

    std::printf("\n%d MB file (%llu bytes, %lld lines, %.0f MB as UTF-16)\n", megabytes,
                static_cast<unsigned long long>(fileBytes),
                static_cast<long long>(document->lineIndex().lineCount()), utf16Megabytes);
    std::printf("  baseline: read() into fresh memory %.3f s + copy into a fresh UTF-16-sized "
                "buffer %.3f s = %.3f s\n",
                readSeconds, copySeconds, baseline);
    std::printf("  open: read (most of the decoding beside it) %.3f s, rest of the decoding %.3f s, "
                "line index %.3f s, document %.3f s, "
                "view+first paint %.3f s\n",
                readEnd, decodeEnd - readEnd, decodeSeconds - decodeEnd,
                documentSeconds - decodeSeconds, openSeconds - documentSeconds);
    row("open to first paint (s)", openSeconds, "s", "<= 1.5 s", openSeconds <= 1.5);
    std::printf("  %-46s %10.2fx of the read+copy baseline\n", "open / baseline", openSeconds / baseline);
    row("resident after opening (MB)", resident, "MB",
        ("<= 1.1 x UTF-16 + 100 = " + std::to_string(static_cast<int>(residentLimit)) + " MB").c_str(),
        resident <= residentLimit);
    std::printf("  %-46s %10.0f MB before opening\n", "", residentBefore);
    row("keystroke at start (median)", keyStart * 1e3, "ms", "<= 2 ms", keyStart <= 0.002);
    row("keystroke in the middle (median)", keyMiddle * 1e3, "ms", "<= 2 ms", keyMiddle <= 0.002);
    row("keystroke at the end (median)", keyEnd * 1e3, "ms", "<= 2 ms", keyEnd <= 0.002);
    std::printf("  %-46s %6.3f / %.3f / %.3f ms\n", "  main-thread CPU (start / middle / end)",
                cpuStart * 1e3, cpuMiddle * 1e3, cpuEnd * 1e3);
    row("Ctrl+End (median)", ctrlEnd * 1e3, "ms", "<= 50 ms", ctrlEnd <= 0.05);
    row("scrollbar drag to the middle (median)", drag * 1e3, "ms", "<= 50 ms", drag <= 0.05);
    row("wrap switched on (once)", wrapOn * 1e3, "ms", "(no full pass)", true);
    row("wrap on, then PageDown (median)", pageDown * 1e3, "ms", "<= 16 ms", pageDown <= 0.016);
    row("wrap on, Enter at the top (median)", wrappedKey * 1e3, "ms", "<= 2 ms", wrappedKey <= 0.002);
    view.reset();
    document.reset();
    return 0;
}
