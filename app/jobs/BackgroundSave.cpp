#include "app/jobs/BackgroundSave.h"

#include "app/jobs/PoolJobRunner.h"
#include "app/jobs/ProgressPanel.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace vendrix::app {

namespace {

BackgroundSave::Result cancelledSave() {
    return std::unexpected(TextFileSaveFailure{
        std::nullopt, UserFileError{UserFileErrorKind::cancelled, "save", {}, 0}});
}

/// The snapshot, handed from the main thread (which takes it once the text is copied) to the
/// job (which waits for it). None: the save is cancelled.
struct SnapshotHandoff {
    std::mutex lock;
    std::condition_variable given;
    bool isGiven = false;
    std::optional<TextChunkSnapshot> snapshot;

    void give(std::optional<TextChunkSnapshot> taken) {
        {
            std::lock_guard guard(lock);
            snapshot = std::move(taken);
            isGiven = true;
        }
        given.notify_all();
    }
    /// The snapshot once given; null when there is none or the token is cancelled first.
    const TextChunkSnapshot* await(const ProgressToken& token) {
        std::unique_lock guard(lock);
        while (!isGiven && !token.isCancelled())
            given.wait_for(guard, std::chrono::milliseconds(20));
        return isGiven && snapshot ? &*snapshot : nullptr;
    }
};

} // namespace

BackgroundSave::Result BackgroundSave::run(JobRunner& runner, const Request& request,
                                           QWidget* parent, const Options& options,
                                           std::optional<TextChunkSnapshot>* captured) {
    auto handoff = std::make_shared<SnapshotHandoff>();
    const std::filesystem::path target(QFile::encodeName(request.target).toStdString());
    QEventLoop loop;
    std::optional<Result> result;

    // The job reads only the snapshot (immutable once given, its chunks shared) and its own
    // copies of the request's values.
    const JobHandle job = runner.run(
        &loop, JobOptions{request.title, parent, std::max(options.panelDelayMilliseconds, 0)},
        [handoff, target, encoding = request.encoding, lineEnding = request.lineEnding,
         fault = options.fault](ProgressToken& token) -> Result {
            const TextChunkSnapshot* snapshot = handoff->await(token);
            if (!snapshot)
                return cancelledSave();
            UserFileWriteOptions writeOptions;
            writeOptions.fault = fault;
            writeOptions.cancelled = [&token] { return token.isCancelled(); };
            return TextFileSaver::save(*snapshot, encoding, lineEnding, target, writeOptions,
                                       [&](std::size_t done, std::size_t total) {
                                           // The last stretch is the flush to the disk after
                                           // the final piece.
                                           token.step(static_cast<std::int64_t>(done),
                                                      static_cast<std::int64_t>(total), 0.0, 0.95);
                                       });
        },
        [&](std::optional<Result> saved, const ProgressToken&) {
            result = saved ? std::move(*saved) : cancelledSave();
            loop.quit();
        });

    // Copying a large text for the snapshot goes a step per event-loop turn.
    const auto take = [&] {
        handoff->give(request.capture ? request.capture() : std::nullopt);
    };
    QTimer preparation;
    preparation.setInterval(0);
    QObject::connect(&preparation, &QTimer::timeout, [&] {
        if (job.isCancelled()) {
            preparation.stop();
            handoff->give(std::nullopt);
        } else if (request.prepare()) {
            preparation.stop();
            take();
        }
    });
    if (!request.prepare || request.prepare())
        take();
    else
        preparation.start();

    // The runner shows the panel (at once for no delay); the caller hears of it here.
    QTimer panelWatch;
    panelWatch.setInterval(ProgressPanel::refreshMilliseconds / 4);
    const auto watchPanel = [&] {
        if (ProgressPanel* panel = PoolJobRunner::panelOf(job)) {
            panelWatch.stop();
            if (options.panelShown)
                options.panelShown(*panel);
        }
    };
    QObject::connect(&panelWatch, &QTimer::timeout, watchPanel);
    panelWatch.start();
    watchPanel();
    if (!result)
        loop.exec();
    preparation.stop();
    panelWatch.stop();
    if (captured) {
        std::lock_guard guard(handoff->lock);
        *captured = std::move(handoff->snapshot);
    }
    return std::move(*result);
}

} // namespace vendrix::app
