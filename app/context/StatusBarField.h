#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

namespace vendrix::app {

/// A field in the status bar: a small label its owner fills (text, tooltip, visibility), and
/// `clicked` when the user clicks it. Main thread only.
class StatusBarField final : public QObject {
    Q_OBJECT

public:
    StatusBarField(QString fieldID, QLabel* fieldLabel)
        : id(std::move(fieldID)), label(fieldLabel) {}

    const QString id;
    QPointer<QLabel> label;

signals:
    /// A left click on the visible label.
    void clicked();
};

} // namespace vendrix::app
