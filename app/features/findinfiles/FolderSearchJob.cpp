#include "app/features/findinfiles/FolderSearchJob.h"

#include <cmath>
#include <mutex>

namespace vendrix::app {

/// What the worker and the job share: the results not taken yet, and the job to tell (null
/// once it is gone). Guarded by `lock`.
struct FolderSearchJob::Shared {
    std::mutex lock;
    std::vector<FileSearchResult> pending;
    bool deliveryQueued = false;
    FolderSearchJob* receiver = nullptr;
    std::shared_ptr<SearchCancellation> cancellation = std::make_shared<SearchCancellation>();

    void add(FileSearchResult&& result) {
        std::lock_guard guard(lock);
        pending.push_back(std::move(result));
        // Posted while the job cannot go (its destructor takes the lock to detach).
        if (receiver && !std::exchange(deliveryQueued, true))
            QMetaObject::invokeMethod(
                receiver, [job = receiver] { job->deliver(); }, Qt::QueuedConnection);
    }
};

FolderSearchJob::FolderSearchJob(JobRunner& runner, SearchPattern pattern,
                                 std::vector<std::string> roots, FolderSearchOptions options,
                                 QObject* parent)
    : QObject(parent), m_runner(runner), m_pattern(std::move(pattern)), m_roots(std::move(roots)),
      m_options(std::move(options)), m_shared(std::make_shared<Shared>()) {
    m_shared->receiver = this;
}

FolderSearchJob::~FolderSearchJob() {
    cancel();
    std::lock_guard guard(m_shared->lock);
    m_shared->receiver = nullptr;
}

void FolderSearchJob::start() {
    if (m_handle.isValid())
        return;
    // No panel of the runner's: the search shows its progress in its own panel, with its own
    // "Vazgeç". No deadline either: the user stops a long search.
    m_handle = m_runner.run(
        this, JobOptions{},
        [shared = m_shared, pattern = m_pattern, roots = m_roots,
         options = m_options](ProgressToken&) {
            const SearchBudget budget(INFINITY, shared->cancellation);
            return FolderSearch::run(
                pattern, roots, options, budget,
                [&shared](FileSearchResult&& result) { shared->add(std::move(result)); });
        },
        [this](std::optional<Outcome> outcome, const ProgressToken&) { done(std::move(outcome)); });
}

void FolderSearchJob::cancel() {
    m_shared->cancellation->cancel();
    if (m_handle.isValid())
        m_handle.cancel();
}

std::vector<FileSearchResult> FolderSearchJob::takeResults() {
    std::lock_guard guard(m_shared->lock);
    return std::exchange(m_shared->pending, {});
}

void FolderSearchJob::deliver() {
    bool hasResults = false;
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->deliveryQueued = false;
        hasResults = !m_shared->pending.empty();
    }
    if (hasResults)
        emit resultsReady();
}

void FolderSearchJob::done(std::optional<Outcome> outcome) {
    if (m_outcome)
        return;
    // Whatever the worker added last comes before the end.
    deliver();
    // None: cancelled before a worker took the job.
    m_outcome =
        outcome ? std::move(*outcome) : Outcome(std::unexpected(SearchFailure::cancelled()));
    emit finished();
}

} // namespace vendrix::app
