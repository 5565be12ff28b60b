// The document's edit path on a 64 MB text: opening, keystrokes through the undo machinery,
// undo and redo of a typing run, and a 10,000-range edit. Baseline: one plain copy of the
// text. Times are CPU time of this thread, the machine running it being shared.

#include "app/document/EditorDocument.h"
#include "bench/app/BenchText.h"

#include <QCoreApplication>
#include <QUndoStack>

#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

using vendrix::TextRange;
using vendrix::app::EditorDocument;

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

/// Runs `operation` `count` times and returns the seconds per run.
double measure(int count, const std::function<void()>& operation) {
    const double start = threadSeconds();
    for (int i = 0; i < count; ++i)
        operation();
    return (threadSeconds() - start) / count;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::u16string text = vendrix::bench::makeSourceText(std::size_t{64} << 20);
    std::vector<std::pair<const char*, double>> results;

    results.emplace_back("copy of the whole text (baseline)", measure(3, [&] {
                             auto copy = std::make_unique_for_overwrite<char16_t[]>(text.size());
                             std::memcpy(copy.get(), text.data(), text.size() * sizeof(char16_t));
                             asm volatile("" : : "r"(copy.get()) : "memory"); // keep the copy
                         }));

    EditorDocument document(QUuid::createUuid());
    results.emplace_back("setText: storage and line index",
                         measure(3, [&] { document.setText(text); }));

    EditorDocument::EditOptions typing;
    typing.typing = true;
    std::int64_t caret = document.length() - 100;
    results.emplace_back("keystroke near the end (typing run)", measure(20000, [&] {
                             document.applyEdit({caret, 0}, u"x", typing);
                             ++caret;
                         }));
    document.breakTypingRun();
    caret = document.length() / 2;
    results.emplace_back("keystroke in the middle (typing run)", measure(1000, [&] {
                             document.applyEdit({caret, 0}, u"x", typing);
                             ++caret;
                         }));
    results.emplace_back("undo of a 1,000-character typing step",
                         measure(1, [&] { document.undo(); }));
    results.emplace_back("redo of it", measure(1, [&] { document.redo(); }));

    std::vector<TextRange> ranges;
    std::vector<std::u16string> replacements;
    for (std::int64_t at = 0; ranges.size() < 10000; at += document.length() / 10001) {
        ranges.push_back({at, 3});
        replacements.push_back(u"abcd");
    }
    EditorDocument::EditOptions replaceAll;
    replaceAll.actionName = QStringLiteral("Tümünü Değiştir");
    results.emplace_back("10,000-range edit as one step", measure(1, [&] {
                             document.applyEdits(ranges, replacements, replaceAll);
                         }));
    results.emplace_back("undo of it", measure(1, [&] { document.undo(); }));

    const double base = results.front().second;
    std::printf("Document edit path on %zu UTF-16 units (CPU time per operation):\n", text.size());
    for (const auto& [name, seconds] : results)
        std::printf("  %-42s %14.3f us  %10.2e x baseline\n", name, seconds * 1e6, seconds / base);
    return 0;
}
