#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QTimer;

namespace vendrix::app {

/// The clock and the one-shot timer the session controller schedules its writes with;
/// replaceable so that tests can drive time by hand.
class SessionTimer {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~SessionTimer() = default;
    virtual TimePoint now() const = 0;
    /// Arms the timer to call `fire` once after `delay` (at least 0), replacing any armed one.
    virtual void start(std::chrono::milliseconds delay, std::function<void()> fire) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

/// The real thing: the steady clock and a single-shot QTimer on the calling (main) thread.
class QtSessionTimer final : public SessionTimer {
public:
    QtSessionTimer();
    ~QtSessionTimer() override;
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    void start(std::chrono::milliseconds delay, std::function<void()> fire) override;
    void stop() override;
    bool isActive() const override;

private:
    std::unique_ptr<QTimer> m_timer;
    std::function<void()> m_fire;
};

} // namespace vendrix::app
