#include "app/jobs/PoolJobRunner.h"

#include "app/jobs/ProgressPanel.h"
#include "core/common/WorkQueue.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <mutex>

namespace vendrix::app {

struct PoolJobRunner::Link {
    std::mutex lock;
    PoolJobRunner* runner = nullptr;
};

PoolJobRunner::PoolJobRunner(QObject* parent) : PoolJobRunner(WorkQueue::shared(), parent) {}

PoolJobRunner::PoolJobRunner(WorkQueue& pool, QObject* parent)
    : QObject(parent), m_pool(pool), m_link(std::make_shared<Link>()) {
    m_link->runner = this;
}

PoolJobRunner::~PoolJobRunner() {
    {
        std::lock_guard guard(m_link->lock);
        m_link->runner = nullptr;
    }
    for (const auto& state : m_active)
        state->token->cancel();
    for (const auto& state : m_active) {
        state->abandonOrWait();
        disconnect(state->ownerWatch);
        if (state->panel) {
            if (auto* panel = qobject_cast<ProgressPanel*>(state->panel.data()))
                panel->finish();
            delete state->panel.data();
        }
        // The job's data goes here, on the main thread, whoever started it.
        state->job.reset();
    }
}

ProgressPanel* PoolJobRunner::panelOf(const JobHandle& handle) {
    return qobject_cast<ProgressPanel*>(handle.panel());
}

JobHandle PoolJobRunner::start(QObject* owner, std::unique_ptr<BackgroundJob> job,
                               const JobOptions& options) {
    auto state = std::make_shared<JobState>();
    state->job = std::move(job);
    state->owner = owner;
    state->hasOwner = owner != nullptr;
    if (owner) {
        std::weak_ptr<JobState> weak = state;
        state->ownerWatch = connect(owner, &QObject::destroyed, this, [this, weak] {
            if (auto alive = weak.lock()) {
                alive->token->cancel();
                closePanel(*alive);
            }
        });
    }
    m_active.push_back(state);

    if (!options.title.isEmpty()) {
        if (options.panelDelayMilliseconds <= 0) {
            showPanel(state, options);
        } else {
            std::weak_ptr<JobState> weak = state;
            QTimer::singleShot(options.panelDelayMilliseconds, this,
                               [this, weak, options] {
                                   if (auto alive = weak.lock(); alive && !alive->delivered)
                                       showPanel(alive, options);
                               });
        }
    }

    // The worker touches the job and its token only; the job goes back to the main thread
    // through the link, or stays with the state when the runner is gone.
    m_pool.async([state, link = m_link] {
        if (state->begin() && !state->token->isCancelled())
            state->job->run(*state->token);
        state->stop();
        std::lock_guard guard(link->lock);
        if (PoolJobRunner* runner = link->runner)
            QMetaObject::invokeMethod(
                runner, [runner, state] { runner->deliver(state); }, Qt::QueuedConnection);
    });
    return JobHandle(state);
}

void PoolJobRunner::showPanel(const std::shared_ptr<JobState>& state, const JobOptions& options) {
    if (state->panel || state->delivered || (state->hasOwner && !state->owner))
        return;
    auto* panel = new ProgressPanel(options.panelParent, options.title, state->token);
    panel->setAttribute(Qt::WA_DeleteOnClose, false);
    std::weak_ptr<ProgressToken> token = state->token;
    connect(panel, &ProgressPanel::cancelRequested, this, [token] {
        if (auto alive = token.lock())
            alive->cancel();
    });
    state->panel = panel;
    panel->present();
}

void PoolJobRunner::closePanel(JobState& state) {
    if (QPointer<QDialog> panel = state.panel) {
        state.panel = nullptr;
        if (auto* progress = qobject_cast<ProgressPanel*>(panel.data()))
            progress->finish();
        panel->deleteLater();
    }
}

void PoolJobRunner::deliver(const std::shared_ptr<JobState>& state) {
    m_active.erase(std::remove(m_active.begin(), m_active.end(), state), m_active.end());
    state->delivered = true;
    disconnect(state->ownerWatch);
    closePanel(*state);
    std::unique_ptr<BackgroundJob> job = std::move(state->job);
    if (job && (!state->hasOwner || state->owner))
        job->finished(*state->token);
}

} // namespace vendrix::app
