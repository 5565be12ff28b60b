#include "app/context/JobRunner.h"

#include <QDialog>

namespace vendrix::app {

bool JobState::begin() {
    std::lock_guard guard(m_lock);
    if (m_abandoned)
        return false;
    m_started = true;
    return true;
}

void JobState::stop() {
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_stopped.notify_all();
}

bool JobState::hasStopped() const {
    std::lock_guard guard(m_lock);
    return m_stop;
}

void JobState::waitUntilStopped() const {
    std::unique_lock lock(m_lock);
    m_stopped.wait(lock, [this] { return m_stop; });
}

bool JobState::abandonOrWait() {
    std::unique_lock lock(m_lock);
    if (!m_started) {
        m_abandoned = true;
        return true;
    }
    m_stopped.wait(lock, [this] { return m_stop; });
    return false;
}

void JobHandle::cancel() const {
    if (m_state)
        m_state->token->cancel();
}

bool JobHandle::isCancelled() const { return m_state && m_state->token->isCancelled(); }

ProgressToken* JobHandle::token() const { return m_state ? m_state->token.get() : nullptr; }

bool JobHandle::hasStopped() const { return m_state && m_state->hasStopped(); }

void JobHandle::wait() const {
    if (m_state)
        m_state->waitUntilStopped();
}

QDialog* JobHandle::panel() const { return m_state ? m_state->panel.data() : nullptr; }

} // namespace vendrix::app
