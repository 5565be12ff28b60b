#include "app/features/findinfiles/FolderSearchJob.h"

#include <cmath>

namespace vendrix::app {

FolderSearchJob::FolderSearchJob(SearchPattern pattern, std::vector<std::string> roots,
                                 FolderSearchOptions options, QObject* parent)
    : QObject(parent), m_pattern(std::move(pattern)), m_roots(std::move(roots)),
      m_options(std::move(options)) {}

FolderSearchJob::~FolderSearchJob() {
    m_cancellation->cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void FolderSearchJob::start() {
    if (m_started)
        return;
    m_started = true;
    m_thread = std::jthread([this] {
        // No deadline: the user stops a long search with "Vazgeç".
        const SearchBudget budget(INFINITY, m_cancellation);
        Outcome outcome = FolderSearch::run(
            m_pattern, m_roots, m_options, budget, [this](FileSearchResult&& result) {
                std::lock_guard lock(m_lock);
                m_pending.push_back(std::move(result));
                if (!std::exchange(m_deliveryQueued, true))
                    QMetaObject::invokeMethod(
                        this, [this] { deliver(); }, Qt::QueuedConnection);
            });
        std::lock_guard lock(m_lock);
        m_finalOutcome = std::move(outcome);
        if (!std::exchange(m_deliveryQueued, true))
            QMetaObject::invokeMethod(
                this, [this] { deliver(); }, Qt::QueuedConnection);
    });
}

void FolderSearchJob::cancel() {
    m_cancellation->cancel();
}

std::vector<FileSearchResult> FolderSearchJob::takeResults() {
    std::lock_guard lock(m_lock);
    return std::exchange(m_pending, {});
}

void FolderSearchJob::deliver() {
    bool hasResults = false;
    std::optional<Outcome> outcome;
    {
        std::lock_guard lock(m_lock);
        m_deliveryQueued = false;
        hasResults = !m_pending.empty();
        outcome = m_finalOutcome;
    }
    if (hasResults)
        emit resultsReady();
    if (outcome && !m_outcome) {
        // Anything that came with the final batch was taken above; the worker is done.
        if (m_thread.joinable())
            m_thread.join();
        m_outcome = std::move(outcome);
        emit finished();
    }
}

} // namespace vendrix::app
