#pragma once

#include "core/search/SearchFailure.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace vendrix {

/// A cancellation flag shared between the thread that may cancel (the main thread) and the
/// searches running with it. Once cancelled it stays cancelled. Thread-safe: the flag is
/// read and written under the token's own mutex.
class SearchCancellation {
public:
    SearchCancellation() = default;
    SearchCancellation(const SearchCancellation&) = delete;
    SearchCancellation& operator=(const SearchCancellation&) = delete;

    void cancel() {
        std::lock_guard lock(m_lock);
        m_flag = true;
    }
    [[nodiscard]] bool isCancelled() const {
        std::lock_guard lock(m_lock);
        return m_flag;
    }

private:
    mutable std::mutex m_lock;
    bool m_flag = false;
};

/// The limits of one search: a deadline on the monotonic clock and an optional cancellation
/// token. Immutable; the deadline is fixed when the budget is made. Copy it freely across
/// threads (the token is shared).
class SearchBudget {
public:
    /// A deadline `timeoutSeconds` from now; an infinite or NaN timeout means no deadline, a
    /// negative one means now.
    SearchBudget(double timeoutSeconds, std::shared_ptr<SearchCancellation> cancellation);

    /// No deadline and no token.
    [[nodiscard]] static SearchBudget unlimited() { return SearchBudget(); }

    /// Nanoseconds on the monotonic clock; UINT64_MAX means no deadline.
    [[nodiscard]] std::uint64_t deadline() const { return m_deadline; }
    [[nodiscard]] const std::shared_ptr<SearchCancellation>& cancellation() const {
        return m_cancellation;
    }

    /// None while the search may go on; `cancelled` wins over `timedOut`.
    [[nodiscard]] std::optional<SearchFailure> check() const;

    /// The monotonic clock in nanoseconds (time since boot, not counting suspension).
    [[nodiscard]] static std::uint64_t now();

private:
    SearchBudget() = default;

    std::uint64_t m_deadline = UINT64_MAX;
    std::shared_ptr<SearchCancellation> m_cancellation;
};

} // namespace vendrix
