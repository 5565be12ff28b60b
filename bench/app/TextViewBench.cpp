// Opening, typing and paging in very large texts: the editor's own text view against
// QPlainTextEdit doing the same work on the same generated files, in one run, offscreen.
// Prints one table of times, memory and ratios.
#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "app/view/LineNumberRulerView.h"
#include "bench/BenchSupport.h"
#include "core/text/LineIndex.h"
#include "core/text/TextFileCodec.h"
#include "core/text/TextStorage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

/// Median of `runs` timings of `step`, stopping early once `cap` seconds have been spent
/// (the baseline can take seconds per step).
double median(int runs, const std::function<void()>& step, double cap = 1e9, int* done = nullptr) {
    std::vector<double> times;
    auto start = Clock::now();
    for (int i = 0; i < runs; ++i) {
        auto t = Clock::now();
        step();
        times.push_back(seconds(t));
        if (seconds(start) > cap)
            break;
    }
    if (done)
        *done = static_cast<int>(times.size());
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

/// `lines` lines of mostly ASCII words with a few Turkish letters, about `bytes` in all.
std::string makeLines(int lines, std::size_t bytes) {
    std::string words = bench::makeMostlyAsciiText(bytes * 2, 7);
    for (char& c : words)
        if (c == '\n')
            c = ' ';
    const std::size_t perLine = bytes / static_cast<std::size_t>(lines) - 1;
    std::string out;
    out.reserve(bytes + static_cast<std::size_t>(lines));
    std::size_t at = 0;
    for (int i = 0; i < lines; ++i) {
        std::size_t end = at + perLine;
        while (end < words.size() && (static_cast<unsigned char>(words[end]) & 0xC0) == 0x80)
            ++end; // whole UTF-8 sequences only
        out.append(words, at, end - at);
        out += '\n';
        at = end;
    }
    return out;
}

std::string makeSingleLineJSON(std::size_t bytes) {
    std::string out = "[";
    out.reserve(bytes + 200);
    for (int i = 0; out.size() < bytes; ++i) {
        out += "{\"id\":" + std::to_string(i) + ",\"name\":\"öğe " + std::to_string(i * 7) +
               "\",\"tags\":[\"alpha\",\"beta\"],\"active\":" + (i % 2 ? "true" : "false") +
               ",\"score\":" + std::to_string(i % 1000) + ".5},";
    }
    out.back() = ']';
    return out;
}

/// Decodes a file the way the editor reads it: mapped, then decoded in one pass.
DecodedText readAndDecode(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    qint64 size = file.size();
    uchar* mapped = file.map(0, size);
    if (!mapped)
        return {};
    DecodedText decoded = TextFileCodec::decode(
        std::string_view(reinterpret_cast<const char*>(mapped), static_cast<size_t>(size)));
    file.unmap(mapped);
    return decoded;
}

bool skipBaseline() {
    return qEnvironmentVariableIsSet("VENDRIX_BENCH_SKIP_BASELINE");
}

struct Row {
    std::string name;
    double vendrix = 0;  // seconds, or megabytes for memory rows
    double baseline = 0; // 0: not measured
    std::string target;
    bool met = true;
    bool memory = false;
    std::string note;
};

std::vector<Row> g_rows;

void record(std::string name, double vendrix, double baseline, std::string target, bool met,
            bool memory = false, std::string note = {}) {
    g_rows.push_back(
        {std::move(name), vendrix, baseline, std::move(target), met, memory, std::move(note)});
    const Row& r = g_rows.back();
    std::fprintf(stderr, "  measured %s\n", r.name.c_str());
}

/// The editor's path: read, decode, document (storage + line index), view with ruler, paint.
struct VendrixEditor {
    std::unique_ptr<EditorDocument> document;
    std::unique_ptr<EditorTextView> view;
    LineNumberRulerView* ruler = nullptr;

    void open(const QString& path, bool wraps) {
        auto start = Clock::now();
        DecodedText decoded = readAndDecode(path);
        double read = 0;
        double decode = seconds(start);
        document = std::make_unique<EditorDocument>(QUuid::createUuid());
        document->setFileURL(path);
        document->setText(std::move(decoded.text), decoded.isBinary);
        double storage = seconds(start);
        view = std::make_unique<EditorTextView>();
        ruler = new LineNumberRulerView(
            view.get(), [this]() -> const LineIndex* { return &document->lineIndex(); });
        view->resize(1000, 700);
        view->setWrapsLines(wraps);
        view->setDocument(document.get());
        double shown = seconds(start);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            std::fprintf(stderr, "  window not exposed\n");
        view->viewport()->repaint();
        std::fprintf(stderr,
                     "  open: read %.0f ms, decode %.0f ms, storage+index %.0f ms, view %.0f ms, "
                     "paint %.0f ms\n",
                     read * 1e3, (decode - read) * 1e3, (storage - decode) * 1e3,
                     (shown - storage) * 1e3, (seconds(start) - shown) * 1e3);
    }
    /// Types a character and lets the view repaint what changed, as the event loop would.
    void keystroke() {
        view->insertText(u"x");
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }
    void key(Qt::Key key) {
        QTest::keyClick(view.get(), key);
        view->viewport()->repaint();
        ruler->repaint();
    }
    void close() {
        view.reset();
        document.reset();
    }
};

/// The baseline: the same bytes decoded the same way, shown by QPlainTextEdit.
struct PlainEditor {
    std::unique_ptr<QPlainTextEdit> edit;

    void open(const QString& path, bool wraps) {
        if (skipBaseline())
            return;
        DecodedText decoded = readAndDecode(path);
        QString text(reinterpret_cast<const QChar*>(decoded.text.data()),
                     static_cast<qsizetype>(decoded.text.size()));
        decoded.text = {};
        edit = std::make_unique<QPlainTextEdit>();
        edit->resize(1000, 700);
        edit->setFont(EditorTextView().layoutModel().font()); // the same font as the editor
        edit->setLineWrapMode(wraps ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        edit->setPlainText(text);
        edit->show();
        if (!QTest::qWaitForWindowExposed(edit.get()))
            std::fprintf(stderr, "  window not exposed\n");
        edit->viewport()->repaint();
    }
    void moveTo(int position) {
        if (!edit)
            return;
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(position);
        edit->setTextCursor(cursor);
    }
    void keystroke() {
        if (!edit)
            return;
        edit->textCursor().insertText(QStringLiteral("x"));
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }
    void key(Qt::Key key) {
        if (!edit)
            return;
        QTest::keyClick(edit.get(), key);
        edit->viewport()->repaint();
    }
    void close() { edit.reset(); }
};

void printTable(double textMegabytes) {
    std::printf("\n%-44s %12s %14s %9s  %-28s %s\n", "measurement", "Vendrix", "QPlainTextEdit",
                "ratio", "target", "met");
    for (const Row& r : g_rows) {
        auto value = [&](double v) {
            char buffer[32];
            if (r.memory)
                std::snprintf(buffer, sizeof buffer, "%.0f MB", v);
            else
                std::snprintf(buffer, sizeof buffer, "%.3f ms", v * 1e3);
            return std::string(buffer);
        };
        std::string ratio = "-";
        if (r.baseline > 0 && r.vendrix > 0) {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.1fx", r.baseline / r.vendrix);
            ratio = buffer;
        }
        std::printf("%-44s %12s %14s %9s  %-28s %s %s\n", r.name.c_str(), value(r.vendrix).c_str(),
                    r.baseline > 0 ? value(r.baseline).c_str() : "-", ratio.c_str(),
                    r.target.c_str(), r.met ? "yes" : "NO", r.note.c_str());
    }
    std::printf("\n(ratio = QPlainTextEdit / Vendrix; the 64 MB text is %.0f MB as UTF-16)\n",
                textMegabytes);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir directory;
    if (qEnvironmentVariableIsSet("VENDRIX_BENCH_PAINT_LOOP")) {
        // Profiling aid: page through a small text, painting every page.
        std::string text = makeLines(20'000, 20'000 * 80);
        DecodedText decoded = TextFileCodec::decode(text);
        auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
        document->setText(std::move(decoded.text));
        EditorTextView view;
        view.resize(1000, 700);
        view.setDocument(document.get());
        view.show();
        (void)QTest::qWaitForWindowExposed(&view);
        auto start = Clock::now();
        for (int i = 0; i < 400; ++i) {
            QTest::keyClick(&view, Qt::Key_PageDown);
            view.viewport()->repaint();
        }
        std::printf("%.3f ms per page\n", seconds(start) / 400 * 1e3);
        return 0;
    }
    const QString bigPath = directory.filePath(QStringLiteral("big.txt"));
    const QString jsonPath = directory.filePath(QStringLiteral("line.json"));
    {
        std::string big = makeLines(800'000, 64u << 20);
        std::ofstream(bigPath.toStdString(), std::ios::binary)
            .write(big.data(), static_cast<std::streamsize>(big.size()));
        std::string json = makeSingleLineJSON(20u << 20);
        std::ofstream(jsonPath.toStdString(), std::ios::binary)
            .write(json.data(), static_cast<std::streamsize>(json.size()));
    }
    std::fprintf(stderr, "files written\n");

    // 64 MB, ~800,000 lines.
    double utf16Megabytes = 0;
    VendrixEditor vendrix;
    double rssBefore = residentMegabytes();
    auto start = Clock::now();
    vendrix.open(bigPath, false);
    double vendrixOpen = seconds(start);
    double vendrixResident = residentMegabytes();
    utf16Megabytes = static_cast<double>(vendrix.document->length()) * 2 / (1024.0 * 1024.0);
    std::fprintf(stderr, "  %lld lines\n",
                 static_cast<long long>(vendrix.document->lineIndex().lineCount()));
    vendrix.view->setSelectedRange({0, 0});
    double vendrixStartKey = median(101, [&] { vendrix.keystroke(); });
    std::int64_t middle = vendrix.document->length() / 2;
    vendrix.view->setSelectedRange({middle, 0});
    vendrix.view->scrollRangeToVisible({middle, 0});
    double vendrixMiddleKey = median(101, [&] { vendrix.keystroke(); });
    vendrix.view->setSelectedRange({0, 0});
    vendrix.view->setScrollOrigin({0, 0});
    double vendrixPageDown = median(101, [&] { vendrix.key(Qt::Key_PageDown); });
    {
        auto t = Clock::now();
        for (int i = 0; i < 20; ++i)
            vendrix.ruler->repaint();
        double ruler = seconds(t) / 20;
        t = Clock::now();
        for (int i = 0; i < 20; ++i)
            vendrix.view->viewport()->repaint();
        double text = seconds(t) / 20;
        double layout = 0;
        for (int i = 0; i < 20; ++i) {
            vendrix.view->layoutModel().invalidateAll();
            t = Clock::now();
            (void)vendrix.view->visibleLineFragments();
            layout += seconds(t) / 20;
        }
        t = Clock::now();
        for (int i = 0; i < 20; ++i)
            QTest::keyClick(vendrix.view.get(), Qt::Key_PageDown);
        double keys = seconds(t) / 20;
        std::fprintf(stderr,
                     "  page: paint %.3f ms, ruler %.3f ms, layout %.3f ms, PageDown key without "
                     "paint %.3f ms\n",
                     text * 1e3, ruler * 1e3, layout * 1e3, keys * 1e3);
    }
    vendrix.close();

    PlainEditor plain;
    double plainRssBefore = residentMegabytes();
    start = Clock::now();
    plain.open(bigPath, false);
    double plainOpen = seconds(start);
    double plainResident = residentMegabytes() - plainRssBefore + rssBefore;
    plain.moveTo(0);
    double plainStartKey = median(
        21, [&] { plain.keystroke(); }, 5);
    plain.moveTo(plain.edit ? plain.edit->document()->characterCount() / 2 : 0);
    if (plain.edit)
        plain.edit->ensureCursorVisible();
    double plainMiddleKey = median(
        21, [&] { plain.keystroke(); }, 5);
    plain.moveTo(0);
    double plainPageDown = median(
        21, [&] { plain.key(Qt::Key_PageDown); }, 5);
    plain.close();

    record("64 MB: read+decode+index+first paint", vendrixOpen, plainOpen,
           "<= 0.5 s and >= 8x faster", vendrixOpen <= 0.5 && plainOpen / vendrixOpen >= 8);
    double memoryLimit = 2 * utf16Megabytes + 80;
    record("64 MB: resident memory after opening", vendrixResident, plainResident,
           "<= " + std::to_string(static_cast<int>(memoryLimit)) + " MB",
           vendrixResident <= memoryLimit, true);
    record("64 MB: keystroke at start (median)", vendrixStartKey, plainStartKey, "<= 2 ms",
           vendrixStartKey <= 0.002);
    record("64 MB: keystroke in the middle (median)", vendrixMiddleKey, plainMiddleKey, "<= 2 ms",
           vendrixMiddleKey <= 0.002);
    record("64 MB: PageDown frame (median)", vendrixPageDown, plainPageDown, "<= 5 ms",
           vendrixPageDown <= 0.005);

    // 20 MB single-line JSON.
    start = Clock::now();
    vendrix.open(jsonPath, true);
    double vendrixJsonOpen = seconds(start);
    std::int64_t jsonMiddle = vendrix.document->length() / 2;
    vendrix.view->setSelectedRange({jsonMiddle, 0});
    vendrix.view->scrollRangeToVisible({jsonMiddle, 0});
    double vendrixWrapKey = median(101, [&] { vendrix.keystroke(); });
    vendrix.view->setWrapsLines(false);
    vendrix.view->scrollRangeToVisible({jsonMiddle, 0});
    double vendrixNoWrapKey = median(101, [&] { vendrix.keystroke(); });
    double vendrixEnd = median(11, [&] {
        vendrix.view->setSelectedRange({0, 0});
        vendrix.view->setScrollOrigin({0, 0});
        vendrix.key(Qt::Key_End);
    });
    vendrix.view->setWrapsLines(true);
    // Wrapped, End goes to the end of the caret's row; pressed again, to the line's end.
    double vendrixEndWrapped = median(11, [&] {
        vendrix.view->setSelectedRange({0, 0});
        vendrix.view->setScrollOrigin({0, 0});
        vendrix.key(Qt::Key_End);
        vendrix.key(Qt::Key_End);
    });
    const bool reachedLineEnd =
        vendrix.view->caretOffset() == vendrix.view->document()->lineIndex().range(0).end();
    vendrix.close();

    start = Clock::now();
    plain.open(jsonPath, true);
    double plainJsonOpen = seconds(start);
    int plainRuns = 0;
    plain.moveTo(plain.edit ? plain.edit->document()->characterCount() / 2 : 0);
    double plainWrapKey = median(
        5, [&] { plain.keystroke(); }, 3, &plainRuns);
    if (plain.edit)
        plain.edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    double plainNoWrapKey = median(
        5, [&] { plain.keystroke(); }, 3);
    double plainEnd = median(
        3,
        [&] {
            plain.moveTo(0);
            plain.key(Qt::Key_End);
        },
        3);
    plain.close();

    record("20 MB one line: open + first paint", vendrixJsonOpen, plainJsonOpen, "<= 1 s",
           vendrixJsonOpen <= 1);
    record("20 MB one line: keystroke, wrap on", vendrixWrapKey, plainWrapKey, "<= 5 ms",
           vendrixWrapKey <= 0.005, false, plainRuns < 5 ? "(baseline capped)" : "");
    record("20 MB one line: keystroke, wrap off", vendrixNoWrapKey, plainNoWrapKey, "<= 5 ms",
           vendrixNoWrapKey <= 0.005);
    record("20 MB one line: End key, wrap off", vendrixEnd, plainEnd, "", true);
    record("20 MB one line: End twice, wrap on", vendrixEndWrapped, 0, "", reachedLineEnd, false,
           reachedLineEnd ? "" : "(caret not at the line end)");

    printTable(utf16Megabytes);
    return 0;
}
