#pragma once

#include "core/search/SearchBudget.h"
#include "core/common/WorkQueue.h"

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace vendrix {

/// The queue searches run on: the process's one pool of workers (WorkQueue::shared()), which
/// the shell's job runner uses too.
[[nodiscard]] WorkQueue& searchQueue();

/// Runs search work off the main thread under a fresh budget and hands the result back
/// through the main executor. Thread-safe; `run` may be called from any thread.
class BackgroundSearch {
public:
    /// Budget of interactive searches (find next, replace, live count), in seconds.
    static constexpr double interactiveTimeout = 2.0;
    /// Budget of bulk operations (replace-all, multi-tab search), in seconds.
    static constexpr double bulkTimeout = 10.0;

    explicit BackgroundSearch(MainExecutor mainExecutor,
                              WorkQueue& queue = searchQueue())
        : m_mainExecutor(std::move(mainExecutor)), m_queue(queue) {}

    /// Starts `work(budget)` on the search queue with a budget of `timeoutSeconds` counted
    /// from now, then runs `completion(result)` through the main executor. Returns the
    /// budget's cancellation token at once. Cancelling makes the work's next budget check
    /// fail; the completion still runs with whatever the work returned, so callers drop the
    /// results of requests they superseded.
    template <class Work, class Completion>
    std::shared_ptr<SearchCancellation> run(double timeoutSeconds, Work work,
                                            Completion completion) const {
        using Result = std::invoke_result_t<Work&, const SearchBudget&>;
        auto cancellation = std::make_shared<SearchCancellation>();
        SearchBudget budget(timeoutSeconds, cancellation);
        MainExecutor executor = m_mainExecutor;
        m_queue.async([budget, executor, work = std::move(work),
                       completion = std::move(completion)]() mutable {
            auto result = std::make_shared<Result>(work(budget));
            executor([completion, result]() mutable { completion(std::move(*result)); });
        });
        return cancellation;
    }

private:
    MainExecutor m_mainExecutor;
    WorkQueue& m_queue;
};

} // namespace vendrix
