// Colouring in the editor against a plain-text widget with a rule-based highlighter colouring
// the same JavaScript: a keystroke until its frame is painted coloured (10 MB file), Ctrl+End
// in a large file (60 MB by default): time to the first frame and until the visible lines are
// coloured, and paging down from the top of both files: each Page Down until its frame is
// painted with the newly visible lines coloured (median and worst frame). CPU milliseconds of the main thread; the printed ratios are the baseline's
// time over ours (above 1: we are faster). Run with QT_QPA_PLATFORM=offscreen.
//   bench_highlighting [large-file-MB]

#include "app/context/MenuBuilder.h"
#include "app/document/EditorDocument.h"
#include "app/features/highlighting/HighlightingFeature.h"
#include "app/view/EditorTextView.h"
#include "app/window/EditorWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vendrix;
using namespace vendrix::app;

/// JavaScript-like lines with keywords, strings, numbers and comments, deterministic.
std::u16string makeJavaScript(std::size_t units) {
    static constexpr std::u16string_view lines[] = {
        u"function compute(value, factor) {",
        u"    const result = value * factor + 42; // scale it",
        u"    if (result > 100) { return 'large'; }",
        u"    let name = \"item-\" + String(result);",
        u"    /* a block comment on one line */",
        u"    for (let i = 0; i < 10; i++) { total += i; }",
        u"    return name;",
        u"}",
    };
    std::u16string out;
    out.reserve(units + 128);
    for (std::size_t i = 0; out.size() < units; ++i) {
        out += lines[i % std::size(lines)];
        out += u'\n';
    }
    return out;
}

/// Comparable rules for the baseline: keywords, numbers, strings, line and block comments.
class RuleHighlighter final : public QSyntaxHighlighter {
public:
    explicit RuleHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
        keyword.setForeground(QColor(0x9B2393));
        number.setForeground(QColor(0x1C00CF));
        string.setForeground(QColor(0xC41A16));
        comment.setForeground(QColor(0x5D6C79));
    }

protected:
    void highlightBlock(const QString& text) override {
        static const QRegularExpression keywords(
            QStringLiteral("\\b(function|const|let|var|if|else|for|while|return|new|class)\\b"));
        static const QRegularExpression numbers(QStringLiteral("\\b\\d+\\b"));
        static const QRegularExpression strings(QStringLiteral("\"[^\"]*\"|'[^']*'"));
        static const QRegularExpression lineComment(QStringLiteral("//[^\\n]*"));
        for (const auto& [pattern, format] : {std::pair{&keywords, &keyword},
                                              {&numbers, &number},
                                              {&strings, &string},
                                              {&lineComment, &comment}}) {
            auto it = pattern->globalMatch(text);
            while (it.hasNext()) {
                auto match = it.next();
                setFormat(static_cast<int>(match.capturedStart()),
                          static_cast<int>(match.capturedLength()), *format);
            }
        }
        // Block comments carry over lines through the block state.
        setCurrentBlockState(0);
        qsizetype start = previousBlockState() == 1 ? 0 : text.indexOf(QStringLiteral("/*"));
        while (start >= 0) {
            const qsizetype end = text.indexOf(QStringLiteral("*/"), start + 2);
            const qsizetype length = end < 0 ? text.size() - start : end + 2 - start;
            if (end < 0)
                setCurrentBlockState(1);
            setFormat(static_cast<int>(start), static_cast<int>(length), comment);
            start = end < 0 ? -1 : text.indexOf(QStringLiteral("/*"), end + 2);
        }
    }

private:
    QTextCharFormat keyword, number, string, comment;
};

/// CPU time of this thread: the machine running the benchmark is shared, and wall-clock
/// time there mostly measures who else runs. Everything measured runs on this thread.
class CpuTimer {
public:
    void start() { m_start = now(); }
    double elapsedMs() const { return (now() - m_start) * 1e3; }

private:
    static double now() {
        timespec time{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
    }
    double m_start = 0;
};

double ms(const CpuTimer& timer) {
    return timer.elapsedMs();
}

struct Ours {
    Ours() : controller(EditorWindowController::Options{nullptr, nullptr}) {
        controller.attachMenus(builder);
        feature.attach(controller);
        feature.contributeMenus(builder);
        controller.window()->resize(1000, 800);
        controller.show();
    }
    EditorDocument& open(std::u16string text, bool colored = true) {
        EditorDocument& document = controller.newDocument(std::move(text));
        controller.setLanguage(colored ? std::optional<std::string>("javascript") : std::nullopt,
                               document);
        settle();
        return document;
    }
    /// The visible lines are coloured for the current text.
    bool coloredNow() {
        EditorDocument* document = controller.activeDocument();
        if (!document || !document->languageID())
            return true;
        const auto& colored = feature.colored();
        if (!colored || colored->generation != feature.generation() || feature.isCatchingUp())
            return false;
        const TextRange visible = controller.textView()->visibleCharacterRange();
        const LineIndex& lines = document->lineIndex();
        return colored->firstLine <= lines.lineNumber(visible.location) &&
               colored->lastLine >= lines.lineNumber(visible.end());
    }
    void settle() {
        do
            QApplication::processEvents();
        while (!coloredNow());
        controller.textView()->viewport()->repaint();
    }
    EditorWindowController controller;
    MenuBuilder builder;
    HighlightingFeature feature;
};

constexpr int kPages = 120;

struct Frames {
    double median = 0;
    double worst = 0;
    /// The first visible line after the last page: the pages really moved through the text.
    std::int64_t reachedLine = 0;
};

Frames summarize(std::vector<double> frames, std::int64_t reachedLine) {
    std::sort(frames.begin(), frames.end());
    return frames.empty() ? Frames{}
                          : Frames{frames[frames.size() / 2], frames.back(), reachedLine};
}

void pressPageDown(QWidget& widget) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(&widget, &release);
}

/// Pages down from the top: each frame is the key until the painted frame, with the lines
/// that came into view coloured.
Frames pageDown(Ours& ours) {
    EditorTextView& view = *ours.controller.textView();
    view.setSelectedRange({0, 0});
    view.scrollRangeToVisible({0, 0});
    ours.settle();
    std::vector<double> frames;
    for (int i = 0; i < kPages; ++i) {
        CpuTimer timer;
        timer.start();
        pressPageDown(view);
        ours.settle();
        frames.push_back(ms(timer));
    }
    EditorDocument& document = *ours.controller.activeDocument();
    return summarize(std::move(frames),
                     document.lineIndex().lineNumber(view.visibleCharacterRange().location));
}

/// The same for the baseline, whose highlighter has coloured the whole text already.
Frames pageDown(QPlainTextEdit& edit) {
    edit.moveCursor(QTextCursor::Start);
    QApplication::processEvents();
    edit.viewport()->repaint();
    std::vector<double> frames;
    for (int i = 0; i < kPages; ++i) {
        CpuTimer timer;
        timer.start();
        pressPageDown(edit);
        QApplication::processEvents();
        edit.viewport()->repaint();
        frames.push_back(ms(timer));
    }
    return summarize(std::move(frames), edit.cursorForPosition(QPoint(0, 0)).blockNumber());
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::size_t largeMB = argc > 1 ? std::stoul(argv[1]) : 60;
    const int keystrokes = 200;
    std::printf("%-44s %12s %12s %8s\n", "case", "vendrix ms", "baseline ms", "ratio");
    auto report = [](const char* name, double ours, double baseline) {
        std::printf("%-44s %12.3f %12.3f %8.2f\n", name, ours, baseline,
                    ours > 0 ? baseline / ours : 0.0);
        std::fflush(stdout);
    };
    auto reportPages = [&](std::size_t mb, const Frames& ours, const Frames& baseline) {
        char name[64];
        std::snprintf(name, sizeof name, "page down, median frame (%zu MB)", mb);
        report(name, ours.median, baseline.median);
        std::snprintf(name, sizeof name, "page down, worst frame (%zu MB)", mb);
        report(name, ours.worst, baseline.worst);
        std::printf("  (%d pages from the top reached line %lld; the baseline line %lld)\n", kPages,
                    static_cast<long long>(ours.reachedLine),
                    static_cast<long long>(baseline.reachedLine));
    };

    // Keystroke to coloured frame, 10 MB.
    const std::u16string medium = makeJavaScript(10u << 20);
    // The baseline shows the text in our font, so that a page holds the same lines.
    const QFont font = Ours().controller.textView()->editorFont();
    auto typeInto = [&](bool colored) {
        Ours ours;
        EditorDocument& document = ours.open(medium, colored);
        EditorTextView& view = *ours.controller.textView();
        const std::int64_t middle =
            document.lineIndex().lineStart(document.lineIndex().lineCount() / 2);
        view.setSelectedRange({middle, 0});
        view.scrollRangeToVisible({middle, 0});
        ours.settle();
        CpuTimer timer;
        timer.start();
        for (int i = 0; i < keystrokes; ++i) {
            view.insertText(i % 2 ? u"/" : u"x");
            ours.settle();
        }
        return ms(timer) / keystrokes;
    };
    const double oursPlain = typeInto(false);
    const double oursKey = typeInto(true);
    auto pageDownOurs = [&](const std::u16string& text, bool colored) {
        Ours ours;
        ours.open(text, colored);
        return pageDown(ours);
    };
    const Frames oursPage = pageDownOurs(medium, true);
    const Frames oursPagePlain = pageDownOurs(medium, false);
    if (qEnvironmentVariableIsSet("VENDRIX_BENCH_OURS_ONLY")) {
        std::printf("keystroke: coloured %.3f ms, uncoloured %.3f ms\n", oursKey, oursPlain);
        std::printf("page down (10 MB): coloured median %.3f worst %.3f ms, uncoloured median "
                    "%.3f worst %.3f ms, reached line %lld\n",
                    oursPage.median, oursPage.worst, oursPagePlain.median, oursPagePlain.worst,
                    static_cast<long long>(oursPage.reachedLine));
        return 0;
    }
    double baseKey = 0;
    Frames basePage;
    {
        QPlainTextEdit edit;
        edit.setFont(font);
        edit.resize(1000, 800);
        edit.show();
        edit.setPlainText(QString::fromStdU16String(medium));
        RuleHighlighter highlighter(edit.document());
        QApplication::processEvents();
        QTextCursor cursor(edit.document()->findBlockByNumber(edit.document()->blockCount() / 2));
        edit.setTextCursor(cursor);
        edit.ensureCursorVisible();
        QApplication::processEvents();
        CpuTimer timer;
        timer.start();
        for (int i = 0; i < keystrokes; ++i) {
            edit.textCursor().insertText(i % 2 ? QStringLiteral("/") : QStringLiteral("x"));
            QApplication::processEvents();
            edit.viewport()->repaint();
        }
        baseKey = ms(timer) / keystrokes;
        basePage = pageDown(edit);
    }
    report("keystroke to coloured frame (10 MB)", oursKey, baseKey);
    report("  (ours uncoloured, for reference)", oursPlain, baseKey);
    reportPages(10, oursPage, basePage);
    report("  (ours uncoloured median, for reference)", oursPagePlain.median, basePage.median);

    // Ctrl+End in a large file.
    const std::u16string large = makeJavaScript(largeMB << 20);
    double oursFirst = 0, oursColored = 0;
    Frames oursLargePage, baseLargePage;
    {
        Ours ours;
        EditorDocument& document = ours.open(large);
        EditorTextView& view = *ours.controller.textView();
        CpuTimer timer;
        timer.start();
        view.setSelectedRange({document.length(), 0});
        view.scrollRangeToVisible({document.length(), 0});
        view.viewport()->repaint();
        oursFirst = ms(timer);
        ours.settle();
        oursColored = ms(timer);
        oursLargePage = pageDown(ours);
    }
    double baseFirst = 0, baseColored = 0;
    {
        QPlainTextEdit edit;
        edit.setFont(font);
        edit.resize(1000, 800);
        edit.show();
        edit.setPlainText(QString::fromStdU16String(large));
        QApplication::processEvents();
        CpuTimer timer;
        timer.start();
        // The highlighter colours from the top on its own; attaching it just before the jump
        // gives it the same start as ours (states known only at the top).
        RuleHighlighter highlighter(edit.document());
        edit.moveCursor(QTextCursor::End);
        edit.viewport()->repaint();
        baseFirst = ms(timer);
        QApplication::processEvents();
        edit.viewport()->repaint();
        baseColored = ms(timer);
        baseLargePage = pageDown(edit);
    }
    char name[64];
    std::snprintf(name, sizeof name, "Ctrl+End first frame (%zu MB)", largeMB);
    report(name, oursFirst, baseFirst);
    std::snprintf(name, sizeof name, "Ctrl+End until coloured (%zu MB)", largeMB);
    report(name, oursColored, baseColored);
    reportPages(largeMB, oursLargePage, baseLargePage);
    return 0;
}
