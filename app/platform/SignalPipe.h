#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace vendrix::app {

/// Turns asynchronous termination signals into a Qt signal on the main thread: a sigaction
/// handler writes the signal number into a pipe (the only async-signal-safe step), and a
/// socket notifier on the main thread reads it and emits signalReceived(). One pipe per
/// process: installing a second one fails.
class SignalPipe final : public QObject {
    Q_OBJECT

public:
    explicit SignalPipe(QObject* parent = nullptr);
    /// Restores the default disposition of the signals it handled and closes the pipe.
    ~SignalPipe() override;

    /// Installs the handler for each signal (e.g. SIGTERM, SIGINT, SIGHUP). False, with
    /// nothing installed, when the pipe cannot be made or another SignalPipe is installed.
    bool install(std::initializer_list<int> signalNumbers);
    bool isInstalled() const { return m_readFD >= 0; }

signals:
    /// Once per delivered signal, in delivery order.
    void signalReceived(int signalNumber);

private:
    void drain();

    int m_readFD = -1;
    int m_writeFD = -1;
    std::vector<int> m_signals;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace vendrix::app
