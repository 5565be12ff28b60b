#pragma once

#include "app/context/JobRunner.h"

#include <QObject>

#include <memory>
#include <vector>

namespace vendrix {
class WorkQueue;
}

namespace vendrix::app {

class ProgressPanel;

/// The shell's job runner: runs each job on a worker of a WorkQueue (the process's one pool
/// unless told otherwise), shows its ProgressPanel once it has run for its delay, and
/// delivers `finished` through this object's event loop. Destroying the runner cancels every
/// job it started, waits for those running and drops the others, calling no `finished`: no
/// job of it is running afterwards. Main thread only.
class PoolJobRunner final : public QObject, public JobRunner {
    Q_OBJECT

public:
    explicit PoolJobRunner(QObject* parent = nullptr);
    PoolJobRunner(WorkQueue& pool, QObject* parent = nullptr);
    ~PoolJobRunner() override;

    JobHandle start(QObject* owner, std::unique_ptr<BackgroundJob> job,
                    const JobOptions& options) override;

    /// How many jobs have been started and not yet handed back.
    [[nodiscard]] std::size_t activeCount() const { return m_active.size(); }
    /// The panel of a job, as the shell's own type.
    [[nodiscard]] static ProgressPanel* panelOf(const JobHandle& handle);

private:
    /// What the workers post through: cleared when the runner goes, so a late worker posts
    /// nothing.
    struct Link;

    void showPanel(const std::shared_ptr<JobState>& state, const JobOptions& options);
    void closePanel(JobState& state);
    void deliver(const std::shared_ptr<JobState>& state);

    WorkQueue& m_pool;
    std::shared_ptr<Link> m_link;
    std::vector<std::shared_ptr<JobState>> m_active;
};

} // namespace vendrix::app
