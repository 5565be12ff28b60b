#pragma once

#include "core/files/FolderSearch.h"

#include <QObject>

#include <expected>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vendrix::app {

/// One search over folders on disk, run off the main thread: the core's FolderSearch (which
/// spreads the files over its own pool) with a cancellation token. Results arrive on the main
/// thread in path order, in batches (resultsReady, then takeResults()); finished() follows the
/// last batch. Destroying the job cancels the search and waits for it.
class FolderSearchJob final : public QObject {
    Q_OBJECT

public:
    using Outcome = std::expected<FolderSearchSummary, SearchFailure>;

    FolderSearchJob(SearchPattern pattern, std::vector<std::string> roots,
                    FolderSearchOptions options, QObject* parent = nullptr);
    ~FolderSearchJob() override;
    FolderSearchJob(const FolderSearchJob&) = delete;
    FolderSearchJob& operator=(const FolderSearchJob&) = delete;

    void start();
    /// Asks the search to stop; finished() follows with `cancelled` (or the summary, when it
    /// had already ended).
    void cancel();
    bool isRunning() const { return m_started && !m_outcome; }
    /// The results delivered since the last call, in path order.
    std::vector<FileSearchResult> takeResults();
    /// Set once finished() was emitted.
    const std::optional<Outcome>& outcome() const { return m_outcome; }

signals:
    void resultsReady();
    void finished();

private:
    void deliver();

    SearchPattern m_pattern;
    std::vector<std::string> m_roots;
    FolderSearchOptions m_options;
    std::shared_ptr<SearchCancellation> m_cancellation = std::make_shared<SearchCancellation>();
    std::mutex m_lock;
    std::vector<FileSearchResult> m_pending;
    std::optional<Outcome> m_finalOutcome;
    bool m_deliveryQueued = false;
    bool m_started = false;
    std::optional<Outcome> m_outcome;
    std::jthread m_thread;
};

} // namespace vendrix::app
