#pragma once

#include "app/context/JobRunner.h"
#include "core/files/FolderSearch.h"

#include <QObject>

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vendrix::app {

/// One search over folders on disk as a job of the window's runner: the core's FolderSearch
/// (which spreads the files over its own threads) with a cancellation token. Results arrive on
/// the main thread in path order, in batches (resultsReady, then takeResults()); finished()
/// follows the last batch. Destroying the job cancels the search; the worker then touches
/// nothing of it.
class FolderSearchJob final : public QObject {
    Q_OBJECT

public:
    using Outcome = std::expected<FolderSearchSummary, SearchFailure>;

    FolderSearchJob(JobRunner& runner, SearchPattern pattern, std::vector<std::string> roots,
                    FolderSearchOptions options, QObject* parent = nullptr);
    ~FolderSearchJob() override;
    FolderSearchJob(const FolderSearchJob&) = delete;
    FolderSearchJob& operator=(const FolderSearchJob&) = delete;

    void start();
    /// Asks the search to stop; finished() follows with `cancelled` (or the summary, when it
    /// had already ended).
    void cancel();
    bool isRunning() const { return m_handle.isValid() && !m_outcome; }
    /// The results delivered since the last call, in path order.
    std::vector<FileSearchResult> takeResults();
    /// Set once finished() was emitted.
    const std::optional<Outcome>& outcome() const { return m_outcome; }

signals:
    void resultsReady();
    void finished();

private:
    struct Shared;
    void deliver();
    void done(std::optional<Outcome> outcome);

    JobRunner& m_runner;
    SearchPattern m_pattern;
    std::vector<std::string> m_roots;
    FolderSearchOptions m_options;
    std::shared_ptr<Shared> m_shared;
    JobHandle m_handle;
    std::optional<Outcome> m_outcome;
};

} // namespace vendrix::app
