#pragma once

#include "app/context/JobRunner.h"
#include "app/workspace/WindowFiles.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <cstddef>
#include <expected>
#include <optional>
#include <type_traits>
#include <utility>

class QWidget;

namespace vendrix::app {

class ProgressPanel;

/// Reads, decodes and indexes one large file as a job of the window's runner while the window
/// goes on painting and taking input. Once the open has run `panelDelayMilliseconds` a
/// progress panel appears ("“name” açılıyor…", a bar, "Vazgeç"; Escape too); cancelling stops
/// the job, which frees whatever it had read. `done(Result)` runs on the main thread exactly
/// once, after the job has finished: with the loaded file, the failure, or the kind
/// `cancelled`. Destroying the object cancels the job and waits for it, without calling `done`.
class BackgroundOpen final : public QObject {
    Q_OBJECT

public:
    using Result = std::expected<LoadedTextFile, windowFiles::ReadFailure>;

    /// `step(double)`, when given, runs on the worker before the read starts (with 0) and at
    /// every progress report (a test seam: it may hold the worker at a chosen point).
    /// `load(progress)`, when given, reads something other than the file at `path` (a session
    /// buffer) on the worker, reporting progress like windowFiles::load and failing as
    /// `cancelled` when told to stop. Either may also be an empty callable.
    template <class Done, class Step = std::nullptr_t, class Load = std::nullptr_t>
    BackgroundOpen(JobRunner& runner, QWidget* panelParent, QString path, QString name,
                   int panelDelayMilliseconds, Done done, Step step = nullptr, Load load = nullptr)
        : m_path(std::move(path)) {
        // The work has its own copies of the path and the callables and touches nothing
        // else but the token.
        m_job = runner.run(
            this, JobOptions{title(name), panelParent, std::max(panelDelayMilliseconds, 0)},
            [path = m_path, step = std::move(step), load = std::move(load)](ProgressToken& token) {
                const auto report = [&](double fraction) {
                    if constexpr (!std::is_null_pointer_v<Step>)
                        if (step)
                            step(fraction);
                    return token.step(static_cast<std::int64_t>(fraction * 1e6), 1'000'000, 0.0,
                                      1.0);
                };
                if constexpr (!std::is_null_pointer_v<Step>)
                    if (step)
                        step(0.0);
                if constexpr (!std::is_null_pointer_v<Load>)
                    if (load)
                        return Result(load(report));
                return windowFiles::load(path, report);
            },
            [done = std::move(done)](std::optional<Result> result,
                                     const ProgressToken& token) mutable {
                // A cancel that came after the last check still means: open nothing.
                if (!result || (token.isCancelled() && *result))
                    result = cancelled();
                done(std::move(*result));
            });
    }
    ~BackgroundOpen() override;

    /// Asks the worker to stop; `done` follows with `cancelled` (unless it had finished).
    void cancel();
    const QString& path() const { return m_path; }
    /// The progress panel, once it has appeared.
    ProgressPanel* panel() const;
    /// The panel's title for a file name.
    static QString title(const QString& name);
    /// Runs `step()` once `busy()` answers false, asking again every 50 ms from `context`'s
    /// event loop (a result that arrives while a prompt is up waits for it to close).
    template <class Busy, class Step>
    static void whenNotBusy(QObject* context, Busy busy, Step step) {
        if (!busy()) {
            step();
            return;
        }
        QTimer::singleShot(50, context,
                           [context, busy = std::move(busy), step = std::move(step)]() mutable {
                               whenNotBusy(context, std::move(busy), std::move(step));
                           });
    }

private:
    static Result cancelled();

    QString m_path;
    JobHandle m_job;
};

} // namespace vendrix::app
