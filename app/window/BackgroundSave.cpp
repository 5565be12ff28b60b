#include "app/window/BackgroundSave.h"

#include "app/jobs/ProgressPanel.h"
#include "core/formatting/FormatProgress.h"

#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <optional>
#include <thread>

namespace vendrix::app {

BackgroundSave::Result BackgroundSave::run(const Request& request, QWidget* parent,
                                           const Options& options,
                                           std::optional<TextChunkSnapshot>* captured) {
    auto progress = std::make_shared<FormatProgress>();
    UserFileWriteOptions writeOptions;
    writeOptions.fault = options.fault;
    writeOptions.cancelled = [progress] { return progress->isCancelled(); };
    const std::filesystem::path target(QFile::encodeName(request.target).toStdString());

    QEventLoop loop;
    std::optional<Result> result;
    std::atomic<bool> finished{false};
    std::optional<TextChunkSnapshot> snapshot;
    std::thread worker;
    const auto cancelled = [&] {
        result = std::unexpected(TextFileSaveFailure{
            std::nullopt, UserFileError{UserFileErrorKind::cancelled, "save", {}, 0}});
        finished.store(true, std::memory_order_release);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    };
    const auto start = [&] {
        snapshot = request.capture ? request.capture() : std::nullopt;
        if (!snapshot) {
            cancelled();
            return;
        }
        // The worker reads only the snapshot (immutable, its chunks shared) and writes only
        // `result`, which this thread reads after the join.
        worker = std::thread([&] {
            Result saved = TextFileSaver::save(
                *snapshot, request.encoding, request.lineEnding, target, writeOptions,
                [&](std::size_t done, std::size_t total) {
                    // The last stretch is the flush to the disk after the final piece.
                    progress->step(static_cast<std::int64_t>(done),
                                   static_cast<std::int64_t>(total), 0.0, 0.95);
                });
            result = std::move(saved);
            finished.store(true, std::memory_order_release);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    };

    // Copying a large text for the snapshot goes a step per event-loop turn.
    QTimer preparation;
    preparation.setInterval(0);
    QObject::connect(&preparation, &QTimer::timeout, [&] {
        if (progress->isCancelled()) {
            preparation.stop();
            cancelled();
        } else if (request.prepare()) {
            preparation.stop();
            start();
        }
    });
    if (!request.prepare || request.prepare())
        start();
    else
        preparation.start();

    QPointer<ProgressPanel> panel;
    QTimer panelTimer;
    panelTimer.setSingleShot(true);
    QObject::connect(&panelTimer, &QTimer::timeout, [&] {
        if (finished.load(std::memory_order_acquire))
            return;
        panel = new ProgressPanel(parent, request.title, progress);
        QObject::connect(panel, &ProgressPanel::cancelRequested, [progress] { progress->cancel(); });
        panel->present();
        if (options.panelShown)
            options.panelShown(*panel);
    });
    panelTimer.start(std::max(options.panelDelayMilliseconds, 0));
    if (!finished.load(std::memory_order_acquire))
        loop.exec();
    if (worker.joinable())
        worker.join();
    preparation.stop();
    panelTimer.stop();
    if (panel) {
        panel->finish();
        panel->deleteLater();
    }
    if (captured)
        *captured = std::move(snapshot);
    return std::move(*result);
}

} // namespace vendrix::app
