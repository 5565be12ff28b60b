#pragma once

#include "core/common/ProgressToken.h"

#include <QMetaObject>
#include <QPointer>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

class QDialog;
class QObject;
class QWidget;

namespace vendrix::app {

/// The work of one background job. `run` happens on a worker thread and may touch only the
/// job's own data and the token; `finished` happens on the main thread afterwards.
class BackgroundJob {
public:
    virtual ~BackgroundJob() = default;
    /// Does the work, checking the token. Skipped when the token was cancelled before a worker
    /// took the job.
    virtual void run(ProgressToken& token) = 0;
    /// Runs once on the main thread after `run` has returned or was skipped; never when the
    /// job's owner has been destroyed meanwhile.
    virtual void finished(const ProgressToken& token) = 0;
};

/// How a job shows itself while it runs.
struct JobOptions {
    /// The progress panel's title ("“a.json” açılıyor…"); empty: the job shows no panel.
    QString title;
    /// The window the panel is modal over (null: the whole application).
    QWidget* panelParent = nullptr;
    /// How long the job runs before its panel ("Vazgeç" cancels) appears; 0: at once.
    int panelDelayMilliseconds = 500;
};

/// What the runner, the worker and the job's handles share about one job. Thread-safe where
/// stated; the rest is the runner's, on the main thread.
class JobState {
public:
    /// Shared with the progress panel; thread-safe.
    const std::shared_ptr<ProgressToken> token = std::make_shared<ProgressToken>();

    /// Worker side: false when the job was abandoned before it started (then it never runs).
    bool begin();
    /// Worker side: the worker is done with the job (it ran, or was skipped).
    void stop();
    /// Thread-safe: true once stop() has run.
    [[nodiscard]] bool hasStopped() const;
    /// Blocks until stop() has run.
    void waitUntilStopped() const;
    /// Runner side, at shutdown: a job not started yet never starts (true); a running one
    /// is waited for (false).
    bool abandonOrWait();

    // The runner's, main thread only.
    std::unique_ptr<BackgroundJob> job;
    QPointer<QObject> owner;
    bool hasOwner = false;
    QMetaObject::Connection ownerWatch;
    QPointer<QDialog> panel;
    bool delivered = false;

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_stopped;
    bool m_started = false;
    bool m_abandoned = false;
    bool m_stop = false;
};

/// A started job as its owner sees it; copies refer to the same job, a default handle to
/// none. Main thread only, apart from cancel(), isCancelled() and token().
class JobHandle {
public:
    JobHandle() = default;
    explicit JobHandle(std::shared_ptr<JobState> state) : m_state(std::move(state)) {}

    [[nodiscard]] bool isValid() const { return m_state != nullptr; }
    /// Asks the job to stop (its `finished` still follows).
    void cancel() const;
    [[nodiscard]] bool isCancelled() const;
    /// The job's token; null for an empty handle.
    [[nodiscard]] ProgressToken* token() const;
    /// True once the worker is done with the job (ran or skipped); `finished` may still be
    /// on its way.
    [[nodiscard]] bool hasStopped() const;
    /// Blocks until the worker is done with the job.
    void wait() const;
    /// The progress panel while it is shown, else null.
    [[nodiscard]] QDialog* panel() const;

private:
    std::shared_ptr<JobState> m_state;
};

namespace jobDetail {

/// A BackgroundJob made of two callables (see JobRunner::run).
template <class Work, class Done>
class CallableJob final : public BackgroundJob {
public:
    using Result = std::invoke_result_t<Work&, ProgressToken&>;
    CallableJob(Work work, Done done) : m_work(std::move(work)), m_done(std::move(done)) {}
    void run(ProgressToken& token) override { m_result.emplace(m_work(token)); }
    void finished(const ProgressToken& token) override { m_done(std::move(m_result), token); }

private:
    Work m_work;
    Done m_done;
    std::optional<Result> m_result;
};

} // namespace jobDetail

/// Runs background jobs on the process's pool of workers, shows a job's progress panel once
/// it has run for its delay, and hands each job back on the main thread. Jobs do not wait for
/// each other. Main thread only; a job's token may be used anywhere.
class JobRunner {
public:
    virtual ~JobRunner() = default;

    /// Starts `job`. `owner`, when given, is watched: destroying it cancels the job, and
    /// the job's `finished` is then never called.
    virtual JobHandle start(QObject* owner, std::unique_ptr<BackgroundJob> job,
                            const JobOptions& options) = 0;

    /// start() for two callables: `work(ProgressToken&)` returns a value on a worker;
    /// `done(std::optional<R> result, const ProgressToken&)` gets it on the main thread (none
    /// when the job was cancelled before it started).
    template <class Work, class Done>
    JobHandle run(QObject* owner, const JobOptions& options, Work work, Done done) {
        return start(owner,
                     std::make_unique<jobDetail::CallableJob<Work, Done>>(std::move(work),
                                                                          std::move(done)),
                     options);
    }

    /// Lets a worker free `value` (giving back a large text's memory takes milliseconds); if
    /// no worker gets to it, it is freed with the job.
    template <class T>
    void dispose(T value) {
        run(
            nullptr, JobOptions{},
            [held = std::move(value)](ProgressToken&) mutable {
                T gone = std::move(held);
                return true;
            },
            [](std::optional<bool>, const ProgressToken&) {});
    }
};

} // namespace vendrix::app
