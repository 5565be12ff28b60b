// Typing into a column selection of 10,000 lines: one keystroke, including the repaint,
// against a plain single-caret keystroke in the same document, in the same run, offscreen.
#include "app/context/MenuBuilder.h"
#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/features/columnselection/ColumnSelectionFeature.h"
#include "app/view/EditorTextView.h"
#include "app/window/EditorWindowController.h"

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace vendrix;
using namespace vendrix::app;
using Clock = std::chrono::steady_clock;

namespace {

double medianMilliseconds(int runs, const std::function<void()>& step) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        step();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::u16string makeLines(int lines) {
    std::u16string text;
    for (int i = 0; i < lines; ++i)
        text += u"    value_" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                u" = compute(alpha, beta, gamma) + offset; // line\n";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kLines = 10000;
    constexpr int kRuns = 40;

    ScriptedPrompter prompter;
    EditorWindowController controller(EditorWindowController::Options{&prompter, nullptr});
    ColumnSelectionFeature feature;
    feature.attach(controller);
    controller.newDocument(makeLines(kLines));
    controller.show();
    EditorTextView* view = controller.textView();
    view->resize(1000, 800);
    view->setFocus();
    QApplication::processEvents();

    auto keystroke = [view] {
        QTest::keyClick(view, Qt::Key_X);
        view->viewport()->repaint();
    };

    // Plain caret in the middle of the first line.
    view->setSelectedRange({12, 0});
    keystroke(); // warm up
    const double plain = medianMilliseconds(kRuns, keystroke);

    // A zero-width column over every line at column 12.
    feature.select({{0, 12}, {kLines - 1, 12}, std::nullopt});
    keystroke();
    const double column = medianMilliseconds(kRuns, keystroke);
    const bool typedEverywhere =
        controller.activeDocument()->lineIndex().lineCount() > kLines && feature.isActive();

    std::printf("Column typing, %d lines, median of %d keystrokes incl. repaint\n", kLines, kRuns);
    std::printf("  plain caret keystroke:   %8.3f ms\n", plain);
    std::printf("  column keystroke:        %8.3f ms  (target <= 16 ms)\n", column);
    std::printf("  ratio column / plain:    %8.1f\n", column / std::max(plain, 1e-6));
    std::printf("  column mode kept:        %s\n", typedEverywhere ? "yes" : "NO");
    return typedEverywhere ? 0 : 1;
}
