#include "app/platform/SignalPipe.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vendrix::app {

namespace {

std::atomic<int> g_writeFD{-1};

extern "C" void writeSignalNumber(int signalNumber) {
    const int savedErrno = errno;
    const int fd = g_writeFD.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe drops the byte; the signals already queued lead to the same quit.
        [[maybe_unused]] ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

SignalPipe::SignalPipe(QObject* parent) : QObject(parent) {}

SignalPipe::~SignalPipe() {
    for (int signalNumber : m_signals) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(signalNumber, &action, nullptr);
    }
    if (m_writeFD >= 0) {
        int expected = m_writeFD;
        g_writeFD.compare_exchange_strong(expected, -1);
        ::close(m_writeFD);
    }
    delete m_notifier;
    if (m_readFD >= 0)
        ::close(m_readFD);
}

bool SignalPipe::install(std::initializer_list<int> signalNumbers) {
    if (m_readFD >= 0 || g_writeFD.load() >= 0)
        return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m_readFD = fds[0];
    m_writeFD = fds[1];
    g_writeFD.store(m_writeFD);
    m_notifier = new QSocketNotifier(m_readFD, QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { drain(); });
    for (int signalNumber : signalNumbers) {
        struct sigaction action {};
        action.sa_handler = writeSignalNumber;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(signalNumber, &action, nullptr) == 0)
            m_signals.push_back(signalNumber);
    }
    return true;
}

void SignalPipe::drain() {
    unsigned char bytes[64];
    for (;;) {
        const ssize_t count = ::read(m_readFD, bytes, sizeof bytes);
        if (count <= 0)
            break;
        for (ssize_t i = 0; i < count; ++i)
            emit signalReceived(bytes[i]);
    }
}

} // namespace vendrix::app
