// The find controller on large texts, each figure against the core doing the same search
// alone in the same run:
//  - typing into a 64 MB text while the live count of a common word runs (keystroke latency,
//    median and worst) vs the same typing with the count off;
//  - replace-all of 1,000,000 matches in 64 MB (plan in the background, one undoable edit)
//    vs SearchEngine::planReplaceAll + ReplacePlan::applied, and undo and redo of it against
//    the same baseline (each checked to restore the text, its line index and the selection);
//  - find in all tabs over 20 tabs of 3 MB vs MultiDocumentSearch::search.
// Wall-clock times: the controller's work crosses threads.

#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/features/search/FindController.h"
#include "app/view/EditorTextView.h"
#include "app/window/EditorWindowController.h"
#include "core/text/LineIndex.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using namespace vendrix;
using namespace vendrix::app;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// Lines of words where "value" is common; `units` long.
std::u16string makeText(std::size_t units) {
    static constexpr std::u16string_view words[] = {u"int", u"return", u"value", u"for",
                                                    u"while", u"çalış", u"öğe", u"= 0;"};
    std::u16string out;
    out.reserve(units + 64);
    std::uint32_t state = 7;
    int column = 0;
    while (out.size() < units) {
        state = state * 1664525u + 1013904223u;
        out += words[(state >> 16) % std::size(words)];
        column += 6;
        const bool newline = column > 40 + static_cast<int>((state >> 8) % 40);
        out += newline ? u'\n' : u' ';
        if (newline)
            column = 0;
    }
    return out;
}

/// Runs the event loop until `done`; returns the longest single turn (a main-thread stall).
double waitUntil(const std::function<bool()>& done) {
    double longest = 0;
    while (!done()) {
        const auto turn = Clock::now();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longest = std::max(longest, secondsSince(turn));
    }
    return longest;
}

struct Latency {
    double median = 0;
    double worst = 0;
};

/// Types `keys` characters 0.35 s apart (long enough for each delayed count to start).
Latency typeKeys(EditorWindowController& window, FindController& find, int keys) {
    std::vector<double> times;
    for (int i = 0; i < keys; ++i) {
        const auto start = Clock::now();
        window.textView()->insertText(u"x");
        QCoreApplication::processEvents();
        times.push_back(secondsSince(start));
        // Idle time: the count starts meanwhile and its start (snapshot) and completion land
        // between keystrokes, as for a real typist; each event turn is timed as a keystroke.
        const auto idle = Clock::now();
        while (secondsSince(idle) < 0.35) {
            const auto turn = Clock::now();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const double spent = secondsSince(turn);
            if (spent > 0.002)
                times.push_back(spent);
            QThread::msleep(2);
        }
    }
    waitUntil([&] { return !find.isCounting(); });
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ScriptedPrompter prompter; // no question may block a benchmark
    EditorWindowController window(EditorWindowController::Options{&prompter, nullptr});
    FindController find(window);

    // Naming parts on the command line ("typing", "replace", "tabs") runs only those.
    const QStringList parts = application.arguments().mid(1);
    const auto runs = [&](const char* part) {
        return parts.isEmpty() || parts.contains(QLatin1String(part));
    };

    // 1. Typing while the live count runs.
    if (runs("typing")) {
        std::printf("preparing 64 MB...\n");
        std::fflush(stdout);
        const std::u16string big = makeText(std::size_t{64} << 20);
        EditorDocument& document = window.newDocument(big);
        window.select({document.length() / 2, 0});
        find.setQuery(QStringLiteral("value"));
        const Latency off = typeKeys(window, find, 12);
        find.setLiveCounting(true);
        find.startCount();
        waitUntil([&] { return !find.isCounting(); });
        const Latency on = typeKeys(window, find, 12);
        std::printf("typing, live count off: median %.2f ms, worst %.2f ms\n", off.median * 1e3,
                    off.worst * 1e3);
        std::printf("typing, live count on (%s): median %.2f ms, worst %.2f ms\n",
                    find.countStatus().toUtf8().constData(), on.median * 1e3, on.worst * 1e3);
        std::printf("ratio on/off: median %.2fx, worst %.2fx\n", on.median / off.median,
                    on.worst / off.worst);
        std::fflush(stdout);
        find.setLiveCounting(false);
        find.scheduleCount(0);
        document.setDirty(false);
        window.closeDocument(document);
    }

    // 2. Replace-all of 1,000,000 matches in 64 MB, then undo and redo of it.
    if (runs("replace")) {
        std::u16string text;
        text.reserve(std::size_t{64} << 20);
        while (text.size() < (std::size_t{64} << 20) - 70)
            text += u"cat and some more words to fill the line up to sixty-seven units.\n";
        SearchOptions options{u"cat", false, true, false};
        const SearchPattern pattern = *SearchPattern::compile(options);
        auto start = Clock::now();
        const ReplacePlan plan = *SearchEngine::planReplaceAll(pattern, text, u"lion", std::nullopt,
                                                               INT64_MAX, SearchBudget::unlimited());
        const auto applied = plan.applied(text);
        const double core = secondsSince(start);

        EditorDocument& document = window.newDocument(text);
        const TextRange selection{1000, 3};
        window.select(selection);
        find.setQuery(QStringLiteral("cat"));
        find.setReplacement(QStringLiteral("lion"));
        find.setMatchCase(true);
        start = Clock::now();
        find.replaceAll();
        const double stall = waitUntil([&] { return !find.isBusy(); });
        const double controller = secondsSince(start);
        const bool same = applied && document.storage()->string() == *applied;
        std::printf("replace all, %lld matches in 64 MB: controller %.3f s, core alone %.3f s, "
                    "ratio %.2fx (%s)\n",
                    static_cast<long long>(plan.count), controller, core, controller / core,
                    same ? "same text" : "TEXT DIFFERS");
        std::printf("  longest main-thread turn (applying the edit): %.3f s\n", stall);
        std::fflush(stdout);

        // Undo and redo run on the main thread; each is timed up to the next painted state.
        const auto timeStep = [&](const std::function<void()>& step) {
            const auto begin = Clock::now();
            step();
            QCoreApplication::processEvents();
            return secondsSince(begin);
        };
        const double undo = timeStep([&] { document.undo(); });
        const std::u16string afterUndo = document.storage()->string();
        const bool undone = afterUndo == text && document.lineIndex() == LineIndex(afterUndo) &&
                            window.textView()->selectedRange() == selection;
        const double redo = timeStep([&] { document.redo(); });
        const std::u16string afterRedo = document.storage()->string();
        const bool redone = applied && afterRedo == *applied &&
                            document.lineIndex() == LineIndex(afterRedo);
        std::printf("  undo %.3f s (ratio %.2fx of core alone, %s), redo %.3f s (ratio %.2fx, %s)\n",
                    undo, undo / core, undone ? "text, lines and selection restored" : "UNDO DIFFERS",
                    redo, redo / core, redone ? "text and lines restored" : "REDO DIFFERS");
        std::fflush(stdout);
        document.setDirty(false);
        window.closeDocument(document);
    }

    // 3. Find in all tabs, 20 tabs of 3 MB.
    if (runs("tabs")) {
        std::vector<SearchDocument> documents;
        std::vector<std::u16string> texts;
        for (int i = 0; i < 20; ++i) {
            EditorDocument& document = window.newDocument(makeText(std::size_t{3} << 20));
            texts.push_back(document.storage()->string());
        }
        for (EditorDocument* document : window.documents())
            if (document->storage())
                documents.emplace_back(toCoreUuid(document->id()), document->storage()->snapshot());
        find.setQuery(QStringLiteral("öğe öğe öğe öğe"));
        find.setMatchCase(false);
        const SearchPattern pattern = *SearchPattern::compile(find.options());
        auto start = Clock::now();
        const auto core = MultiDocumentSearch::search(pattern, documents, 10'000,
                                                      SearchBudget::unlimited());
        const double coreSeconds = secondsSince(start);
        MultiDocumentResult received;
        QObject::connect(&find, &FindController::resultsFound,
                         [&](const MultiDocumentResult& result) { received = result; });
        start = Clock::now();
        find.findInAllTabs();
        const double stall = waitUntil([&] { return !find.isBusy(); });
        const double controller = secondsSince(start);
        std::printf("find in all tabs, 20 x 3 MB (%zu hits): controller %.3f s, core alone "
                    "%.3f s, ratio %.2fx (%s)\n",
                    received.hits.size(), controller, coreSeconds, controller / coreSeconds,
                    core && *core == received ? "same hits" : "HITS DIFFER");
        std::printf("  longest main-thread turn: %.3f s\n", stall);
    }
    return 0;
}
