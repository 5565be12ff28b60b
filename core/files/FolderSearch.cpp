#include "core/files/FolderSearch.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace vendrix {

namespace {

/// Files a worker may start beyond the oldest file not yet reported, per worker.
constexpr std::int64_t kWindowPerWorker = 32;

/// The shared state of one run: the walker, the results waiting for their turn, the counts.
/// Everything is guarded by `lock`.
class Run {
public:
    Run(std::span<const std::string> roots, const FolderSearchOptions& options,
        std::shared_ptr<const FileSearchPlan> plan, const SearchBudget& budget,
        const FolderSearch::Sink& sink, unsigned workers)
        : m_walker(std::vector<std::string>(roots.begin(), roots.end()), options.walk),
          m_options(options), m_plan(std::move(plan)), m_budget(budget), m_sink(sink),
          m_window(kWindowPerWorker * workers) {}

    void work() {
        FileSearcher searcher(m_plan, m_options.maxFileSize);
        std::unique_lock lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || m_taken < m_reported + m_window; });
            if (m_stop)
                return;
            std::optional<WalkEntry> entry = m_walker.next();
            if (!entry)
                return;
            const std::int64_t index = m_taken++;
            // Hits before this file can only be more than those reported so far.
            const std::int64_t remaining =
                std::max<std::int64_t>(1, m_options.limit - m_summary.hitCount);
            lock.unlock();
            std::expected<FileSearchResult, SearchFailure> result =
                examine(searcher, *entry, remaining);
            lock.lock();
            if (!result) {
                if (!m_failure)
                    m_failure = result.error();
                stop();
                return;
            }
            m_ready.emplace(index, std::move(*result));
            report();
        }
    }

    std::expected<FolderSearchSummary, SearchFailure> finish() {
        std::lock_guard lock(m_lock);
        if (m_failure)
            return std::unexpected(*m_failure);
        // A last check: a search cancelled after its final file still ends as cancelled.
        if (auto failure = m_budget.check())
            return std::unexpected(*failure);
        return m_summary;
    }

private:
    std::expected<FileSearchResult, SearchFailure>
    examine(FileSearcher& searcher, const WalkEntry& entry, std::int64_t remaining) {
        if (entry.kind == WalkEntry::Kind::file)
            return searcher.search(entry.path, remaining, m_budget);
        FileSearchResult result;
        result.path = entry.path;
        result.errnoValue = entry.errnoValue;
        result.status = entry.kind == WalkEntry::Kind::linkLoop
                            ? FileSearchResult::Status::linkLoop
                            : FileSearchResult::Status::unreadable;
        return result;
    }

    /// Hands the results that are next in path order to the sink.
    void report() {
        for (auto it = m_ready.find(m_reported); it != m_ready.end();
             it = m_ready.find(m_reported)) {
            FileSearchResult result = std::move(it->second);
            m_ready.erase(it);
            ++m_reported;
            if (m_stop)
                continue;
            if (auto failure = m_budget.check()) {
                m_failure = failure;
                stop();
                continue;
            }
            if (m_summary.hitCount >= m_options.limit) {
                // The limit was reached and a file remained.
                m_summary.truncated = true;
                stop();
                continue;
            }
            count(result);
            const bool interesting =
                !result.hits.empty() || result.status != FileSearchResult::Status::searched;
            if (interesting && m_sink)
                m_sink(std::move(result));
        }
        m_wake.notify_all();
    }

    void count(FileSearchResult& result) {
        using Status = FileSearchResult::Status;
        switch (result.status) {
        case Status::searched: {
            ++m_summary.filesSearched;
            const std::int64_t room = m_options.limit - m_summary.hitCount;
            if (static_cast<std::int64_t>(result.hits.size()) > room) {
                result.hits.resize(static_cast<std::size_t>(room));
                result.truncated = true;
            }
            if (!result.hits.empty())
                ++m_summary.filesWithHits;
            m_summary.hitCount += static_cast<std::int64_t>(result.hits.size());
            m_summary.truncated = m_summary.truncated || result.truncated;
            if (result.truncated)
                stop();
            break;
        }
        case Status::binary:
            ++m_summary.binarySkipped;
            break;
        case Status::tooLarge:
            ++m_summary.tooLargeSkipped;
            break;
        case Status::unreadable:
        case Status::linkLoop:
            ++m_summary.problems;
            break;
        }
    }

    void stop() {
        m_stop = true;
        m_wake.notify_all();
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    FolderWalker m_walker;
    FolderSearchOptions m_options;
    std::shared_ptr<const FileSearchPlan> m_plan;
    SearchBudget m_budget;
    const FolderSearch::Sink& m_sink;
    std::int64_t m_window;
    std::int64_t m_taken = 0;
    std::int64_t m_reported = 0;
    std::map<std::int64_t, FileSearchResult> m_ready;
    FolderSearchSummary m_summary;
    std::optional<SearchFailure> m_failure;
    bool m_stop = false;
};

} // namespace

namespace FolderSearch {

std::expected<FolderSearchSummary, SearchFailure>
run(const SearchPattern& pattern, std::span<const std::string> roots,
    const FolderSearchOptions& options, const SearchBudget& budget, const Sink& sink) {
    if (auto failure = budget.check())
        return std::unexpected(*failure);
    unsigned workers = options.workerCount;
    if (workers == 0)
        workers = std::max(1u, std::thread::hardware_concurrency());
    auto plan = std::make_shared<const FileSearchPlan>(pattern);
    Run state(roots, options, std::move(plan), budget, sink, workers);
    {
        std::vector<std::jthread> threads;
        threads.reserve(workers - 1);
        for (unsigned i = 1; i < workers; ++i)
            threads.emplace_back([&state] { state.work(); });
        state.work(); // the calling thread is a worker too
    }
    return state.finish();
}

} // namespace FolderSearch
} // namespace vendrix
