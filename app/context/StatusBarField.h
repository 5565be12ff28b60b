#pragma once

#include <QLabel>
#include <QPointer>
#include <QString>

#include <functional>

namespace vendrix::app {

/// A feature's field in the status bar: a small label the feature fills (text, tooltip,
/// visibility) and an optional click handler, run on the main thread.
struct StatusBarField {
    QString id;
    QPointer<QLabel> label;
    std::function<void()> onClick;
};

} // namespace vendrix::app
