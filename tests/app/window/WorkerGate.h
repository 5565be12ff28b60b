#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vendrix::app::test {

/// Holds the worker at the first progress report at or past `at` until released.
class Gate {
public:
    explicit Gate(double at) : m_at(at) {}
    void pass(double fraction) {
        if (fraction < m_at)
            return;
        std::unique_lock lock(m_mutex);
        m_reached = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    bool waitReached() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_reached; });
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    double m_at;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_reached = false;
    bool m_open = false;
};

} // namespace vendrix::app::test
