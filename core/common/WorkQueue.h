#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vendrix {

/// Runs a closure on the thread that owns the results (the shell's main thread).
using MainExecutor = std::function<void(std::function<void()>)>;

/// A concurrent queue of work items run by a fixed set of worker threads, in submission
/// order of starting (items may run at the same time on different workers). Thread-safe.
/// Destroying the queue lets running items finish and drops items that have not started.
/// With one worker the items run one after another, as on a serial queue.
class WorkQueue {
public:
    /// `label` names the worker threads (as far as the system allows); at least one worker.
    WorkQueue(std::string label, unsigned workerCount);
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    /// The process's one pool of workers (as many as the machine has cores, at least four),
    /// which the shell's job runner and the background searches share. Created on first use.
    [[nodiscard]] static WorkQueue& shared();

    /// Queues `work` to run on a worker.
    void async(std::function<void()> work);
    [[nodiscard]] const std::string& label() const { return m_label; }

private:
    void workerLoop();

    std::string m_label;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_items;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace vendrix
