// The session against the user: keystroke latency on the main thread while a session pass
// writes a 64 MB dirty document, and the start of the real executable until its first paint
// (empty session and a 50-tab session with a 64 MB unsaved buffer in a background tab)
// against a bare window started the same way. Times are wall-clock (steady clock).

#include "app/document/EditorDocument.h"
#include "app/session/SessionController.h"
#include "bench/app/BenchText.h"
#include "core/persistence/SessionStore.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using vendrix::SessionState;
using vendrix::SessionStore;
using vendrix::SessionTab;
using vendrix::Uuid;
using vendrix::app::EditorDocument;
using vendrix::app::SessionController;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Latencies {
    double median = 0;
    double worst = 0;
    std::size_t count = 0;
};

Latencies summarize(std::vector<double> samples) {
    if (samples.empty())
        return {};
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back(), samples.size()};
}

/// One keystroke at the end of the document, then the events it queued.
double keystroke(EditorDocument& document) {
    EditorDocument::EditOptions typing;
    typing.typing = true;
    const double start = now();
    document.applyEdit({document.length(), 0}, u"x", typing);
    QCoreApplication::processEvents();
    return now() - start;
}

void keystrokesDuringFlush(const std::u16string& text) {
    QTemporaryDir directory;
    auto store = std::make_unique<SessionStore>(directory.filePath(QStringLiteral("session")).toStdString());
    if (!store->prepareDirectory() || !store->acquireLock()) {
        std::printf("Keystrokes during a session pass: the session directory failed\n");
        return;
    }
    (void)store->load();
    SessionController session(std::move(store));
    EditorDocument document(QUuid::createUuid());
    document.setUntitledNumber(1);
    document.setText(text);
    document.applyEdit({document.length(), 0}, u"y");
    document.setDirty(true);
    session.snapshotProvider = [&] { return SessionController::Snapshot{{&document}, &document}; };

    std::vector<double> quiet;
    for (int i = 0; i < 2000; ++i)
        quiet.push_back(keystroke(document));

    const int savesBefore = session.saveCount();
    double start = now();
    (void)session.flush(false);
    const double flushCall = now() - start;
    std::vector<double> busy;
    start = now();
    while (session.saveCount() == savesBefore && !session.lastError() && now() - start < 60)
        busy.push_back(keystroke(document));
    const double passSeconds = now() - start;
    session.drain();

    const Latencies base = summarize(quiet);
    const Latencies during = summarize(busy);
    std::printf("Keystrokes while a session pass writes a 64 MB dirty document:\n");
    std::printf("  flush(false) call on the main thread   %10.3f ms\n", flushCall * 1e3);
    std::printf("  pass finished after %.3f s%s\n", passSeconds,
                session.lastError() ? " (FAILED)"
                : session.saveCount() == savesBefore ? " (NOT FINISHED in 60 s)" : "");
    std::printf("  no pass running (baseline): %zu keystrokes, median %8.3f ms, worst %8.3f ms\n",
                base.count, base.median * 1e3, base.worst * 1e3);
    std::printf("  during the pass:            %zu keystrokes, median %8.3f ms, worst %8.3f ms\n",
                during.count, during.median * 1e3, during.worst * 1e3);
    if (during.count && base.median > 0)
        std::printf("  ratio to baseline: median %8.2f x, worst %8.2f x "
                    "(targets: median <= 2 ms, worst <= 16 ms)\n",
                    during.median / base.median, during.worst / base.worst);
}

/// Starts `program` with the offscreen platform and the given XDG home; seconds until it
/// exited with status 0 after its first paint, or a negative value when it did not.
double startUntilFirstPaint(const QString& program, const QString& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("VENDRIX_EXIT_AFTER_FIRST_PAINT"), QStringLiteral("1"));
    QDir(home).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double start = now();
    process.start(program, {});
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    const double seconds = now() - start;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? seconds : -1;
}

/// The median of `runs` starts (negative when any start failed).
double medianStart(const QString& program, const QString& home, int runs = 3) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double seconds = startUntilFirstPaint(program, home);
        if (seconds < 0)
            return -1;
        times.push_back(seconds);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

/// A session of 50 tabs in `home`'s data directory: 49 small unsaved untitled tabs, the first
/// selected, and a 64 MB unsaved buffer in a background tab.
bool writeLargeSession(const QString& home, const std::u16string& bigText) {
    SessionStore store((home + QStringLiteral("/data/Vendrix")).toStdString());
    if (!store.prepareDirectory())
        return false;
    std::vector<SessionTab> tabs;
    for (int i = 0; i < 50; ++i) {
        SessionTab tab;
        tab.id = Uuid::random();
        tab.untitledNumber = i + 1;
        tab.bufferFile = SessionStore::bufferName(tab.id);
        tab.isDirty = true;
        const std::u16string small = u"tab " + std::u16string(200, u'a') + u"\n";
        if (!store.writeBuffer(i == 25 ? std::u16string_view(bigText) : small, *tab.bufferFile))
            return false;
        tabs.push_back(std::move(tab));
    }
    const Uuid selected = tabs.front().id;
    return store.writeSession(SessionState(std::move(tabs), selected)).has_value();
}

void startUp(const std::u16string& bigText) {
    QTemporaryDir baselineHome, emptyHome, largeHome;
    const QString editor = QStringLiteral(VENDRIX_PATH);
    const double baseline = medianStart(QStringLiteral(FIRST_PAINT_BASELINE_PATH), baselineHome.path());
    const double empty = medianStart(editor, emptyHome.path());
    const bool written = writeLargeSession(largeHome.path(), bigText);
    const double large = written ? medianStart(editor, largeHome.path()) : -1;
    std::printf("Start until the first paint (median of 3, offscreen):\n");
    std::printf("  bare QMainWindow (baseline)          %10.1f ms\n", baseline * 1e3);
    std::printf("  vendrix, empty session               %10.1f ms  %6.2f x baseline (target: <= 1.5 x)\n",
                empty * 1e3, empty / baseline);
    std::printf("  vendrix, 50 tabs + 64 MB background  %10.1f ms  %6.2f x empty session "
                "(target: <= 2 x)%s\n",
                large * 1e3, large / empty, written ? "" : " (SESSION NOT WRITTEN)");
    if (baseline < 0 || empty < 0 || large < 0)
        std::printf("  (a negative time: that start did not exit 0 after its first paint)\n");
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::u16string text = vendrix::bench::makeSourceText(std::size_t{64} << 20);
    keystrokesDuringFlush(text);
    startUp(text);
    return 0;
}
