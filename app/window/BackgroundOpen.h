#pragma once

#include "app/context/JobRunner.h"
#include "app/window/WindowFiles.h"

#include <QObject>
#include <QString>

#include <expected>
#include <functional>

class QWidget;

namespace vendrix::app {

class ProgressPanel;

/// Reads, decodes and indexes one large file as a job of the window's runner while the window
/// goes on painting and taking input. Once the open has run `panelDelayMilliseconds` a
/// progress panel appears ("“name” açılıyor…", a bar, "Vazgeç"; Escape too); cancelling stops
/// the job, which frees whatever it had read. `done` runs on the main thread exactly once,
/// after the job has finished: with the loaded file, the failure, or the kind `cancelled`.
/// Destroying the object cancels the job and waits for it, without calling `done`.
class BackgroundOpen final : public QObject {
    Q_OBJECT

public:
    using Result = std::expected<LoadedTextFile, windowFiles::ReadFailure>;
    /// Reads something other than the file at `path` (a session buffer): runs on the worker,
    /// reporting progress like windowFiles::load and failing as `cancelled` when told to stop.
    using Loader = std::function<Result(const std::function<bool(double)>& progress)>;

    /// `step`, when given, runs on the worker before the read starts (with 0) and at every
    /// progress report (a test seam: it may hold the worker at a chosen point).
    BackgroundOpen(JobRunner& runner, QWidget* panelParent, QString path, QString name,
                   int panelDelayMilliseconds, std::function<void(Result)> done,
                   std::function<void(double)> step = {}, Loader load = {});
    ~BackgroundOpen() override;

    /// Asks the worker to stop; `done` follows with `cancelled` (unless it had finished).
    void cancel();
    const QString& path() const { return m_path; }
    /// The progress panel, once it has appeared.
    ProgressPanel* panel() const;
    /// The panel's title for a file name.
    static QString title(const QString& name);
    /// Runs `step` once `busy` answers false, asking again every 50 ms from `context`'s
    /// event loop (a result that arrives while a prompt is up waits for it to close).
    static void whenNotBusy(QObject* context, std::function<bool()> busy, std::function<void()> step);

private:
    QString m_path;
    std::function<void(Result)> m_done;
    JobHandle m_job;
};

} // namespace vendrix::app
