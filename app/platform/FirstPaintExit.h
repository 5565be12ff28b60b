#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <utility>
#include <unistd.h>

namespace vendrix::app {

/// For start-up measurements: installed on the application, it exits the process with status
/// 0 as soon as the first paint event of any widget of `window` has been handled while
/// `busy` (if given) answers false, e.g. once no file is still being opened. It skips
/// every orderly shutdown on purpose (no session write, no teardown). Header-only, so that
/// the measurement's bare-window baseline exits the same way without linking the shell.
class FirstPaintExit final : public QObject {
public:
    explicit FirstPaintExit(QWidget* window, QObject* parent = nullptr,
                            std::function<bool()> busy = {})
        : QObject(parent), m_window(window), m_busy(std::move(busy)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_armed && !(m_busy && m_busy())) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->window() == m_window) {
                m_armed = true;
                QTimer::singleShot(0, [] {
                    std::fflush(nullptr);
                    ::_exit(0);
                });
            }
        }
        return false;
    }

private:
    QWidget* m_window;
    std::function<bool()> m_busy;
    bool m_armed = false;
};

} // namespace vendrix::app
