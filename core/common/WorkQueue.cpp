#include "core/common/WorkQueue.h"

#include <pthread.h>

#include <algorithm>

namespace vendrix {

WorkQueue::WorkQueue(std::string label, unsigned workerCount) : m_label(std::move(label)) {
    workerCount = std::max(workerCount, 1u);
    m_workers.reserve(workerCount);
    for (unsigned i = 0; i < workerCount; ++i) {
        m_workers.emplace_back([this] { workerLoop(); });
        // Thread names are limited to 15 bytes.
        pthread_setname_np(m_workers.back().native_handle(), m_label.substr(0, 15).c_str());
    }
}

WorkQueue& WorkQueue::shared() {
    static WorkQueue queue("vendrix.work", std::max(4u, std::thread::hardware_concurrency()));
    return queue;
}

WorkQueue::~WorkQueue() {
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
        m_items.clear();
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void WorkQueue::async(std::function<void()> work) {
    {
        std::lock_guard lock(m_lock);
        if (m_stopping)
            return;
        m_items.push_back(std::move(work));
    }
    m_wake.notify_one();
}

void WorkQueue::workerLoop() {
    for (;;) {
        std::function<void()> item;
        {
            std::unique_lock lock(m_lock);
            m_wake.wait(lock, [this] { return m_stopping || !m_items.empty(); });
            if (m_stopping)
                return;
            item = std::move(m_items.front());
            m_items.pop_front();
        }
        item();
    }
}

} // namespace vendrix
