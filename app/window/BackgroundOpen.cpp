#include "app/window/BackgroundOpen.h"

#include "app/jobs/PoolJobRunner.h"

#include <QTimer>
#include <QWidget>

#include <algorithm>

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

BackgroundOpen::BackgroundOpen(JobRunner& runner, QWidget* panelParent, QString path,
                               QString name, int panelDelayMilliseconds,
                               std::function<void(Result)> done, std::function<void(double)> step,
                               Loader load)
    : m_path(std::move(path)), m_done(std::move(done)) {
    const auto cancelled = [] {
        return Result(std::unexpected(
            windowFiles::ReadFailure{windowFiles::ReadFailure::Kind::cancelled, {}}));
    };
    // The work has its own copies of the path and the loader and touches nothing else but
    // the token.
    m_job = runner.run(
        this, JobOptions{title(name), panelParent, std::max(panelDelayMilliseconds, 0)},
        [path = m_path, step = std::move(step), load = std::move(load)](ProgressToken& token) {
            if (step)
                step(0.0);
            const auto report = [&](double fraction) {
                if (step)
                    step(fraction);
                return token.step(static_cast<std::int64_t>(fraction * 1e6), 1'000'000, 0.0,
                                  1.0);
            };
            return load ? load(report) : windowFiles::load(path, report);
        },
        [this, cancelled](std::optional<Result> result, const ProgressToken& token) {
            // A cancel that came after the last check still means: open nothing.
            if (!result || (token.isCancelled() && *result))
                result = cancelled();
            if (auto finished = std::exchange(m_done, nullptr))
                finished(std::move(*result));
        });
}

BackgroundOpen::~BackgroundOpen() {
    m_job.cancel();
    m_job.wait();
}

void BackgroundOpen::cancel() { m_job.cancel(); }

ProgressPanel* BackgroundOpen::panel() const { return PoolJobRunner::panelOf(m_job); }

} // namespace vendrix::app
