#include "app/session/SessionTimer.h"

#include <QTimer>

#include <algorithm>

namespace vendrix::app {

QtSessionTimer::QtSessionTimer() : m_timer(std::make_unique<QTimer>()) {
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] {
        // The callback may arm the timer again; take it out first.
        auto fire = std::move(m_fire);
        m_fire = nullptr;
        if (fire)
            fire();
    });
}

QtSessionTimer::~QtSessionTimer() = default;

void QtSessionTimer::start(std::chrono::milliseconds delay, std::function<void()> fire) {
    m_fire = std::move(fire);
    m_timer->start(std::max(delay, std::chrono::milliseconds(0)));
}

void QtSessionTimer::stop() {
    m_timer->stop();
    m_fire = nullptr;
}

bool QtSessionTimer::isActive() const {
    return m_timer->isActive();
}

} // namespace vendrix::app
