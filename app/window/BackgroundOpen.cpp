#include "app/window/BackgroundOpen.h"

#include "app/jobs/ProgressPanel.h"
#include "core/formatting/FormatProgress.h"

#include <QWidget>

namespace vendrix::app {

QString BackgroundOpen::title(const QString& name) {
    return QStringLiteral("“") + name + QStringLiteral("” açılıyor…");
}

void BackgroundOpen::whenNotBusy(QObject* context, std::function<bool()> busy,
                                 std::function<void()> step) {
    if (!busy()) {
        step();
        return;
    }
    QTimer::singleShot(50, context, [context, busy = std::move(busy), step = std::move(step)]() mutable {
        whenNotBusy(context, std::move(busy), std::move(step));
    });
}

BackgroundOpen::BackgroundOpen(QWidget* panelParent, QString path, QString name,
                               int panelDelayMilliseconds, std::function<void(Result)> done,
                               std::function<void(double)> step, Loader load)
    : m_path(std::move(path)), m_progress(std::make_shared<FormatProgress>()),
      m_done(std::move(done)) {
    m_panelTimer.setSingleShot(true);
    connect(&m_panelTimer, &QTimer::timeout, this, [this, panelParent = QPointer<QWidget>(panelParent),
                                                    name] {
        if (m_finished.load(std::memory_order_acquire))
            return;
        m_panel = new ProgressPanel(panelParent, title(name), m_progress);
        m_panel->setAttribute(Qt::WA_DeleteOnClose, false);
        QObject::connect(m_panel, &ProgressPanel::cancelRequested, [this] { cancel(); });
        m_panel->present();
    });
    m_panelTimer.start(std::max(panelDelayMilliseconds, 0));
    // The worker touches only the progress object (thread-safe), its own copy of the path and
    // m_result, which the main thread reads after joining it.
    m_worker = std::thread([this, progress = m_progress, path = m_path, step = std::move(step),
                            load = std::move(load)] {
        if (step)
            step(0.0);
        const auto report = [&](double fraction) {
            if (step)
                step(fraction);
            return progress->step(static_cast<std::int64_t>(fraction * 1e6), 1'000'000, 0.0, 1.0);
        };
        Result result = load ? load(report) : windowFiles::load(path, report);
        m_result = std::move(result);
        m_finished.store(true, std::memory_order_release);
        QMetaObject::invokeMethod(this, &BackgroundOpen::finish, Qt::QueuedConnection);
    });
}

BackgroundOpen::~BackgroundOpen() {
    m_progress->cancel();
    if (m_worker.joinable())
        m_worker.join();
    if (m_panel) {
        m_panel->finish();
        delete m_panel;
    }
}

void BackgroundOpen::cancel() { m_progress->cancel(); }

void BackgroundOpen::finish() {
    if (m_worker.joinable())
        m_worker.join();
    m_panelTimer.stop();
    if (m_panel) {
        m_panel->finish();
        m_panel->deleteLater();
    }
    if (!m_result)
        return;
    // A cancel that came after the last check still means: open nothing.
    if (m_progress->isCancelled() && *m_result)
        m_result = std::unexpected(windowFiles::ReadFailure{windowFiles::ReadFailure::Kind::cancelled, {}});
    Result result = std::move(*m_result);
    m_result.reset();
    if (auto done = std::exchange(m_done, nullptr))
        done(std::move(result));
}

} // namespace vendrix::app
