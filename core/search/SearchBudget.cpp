#include "core/search/SearchBudget.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace vendrix {

std::uint64_t SearchBudget::now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000ull +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

SearchBudget::SearchBudget(double timeoutSeconds, std::shared_ptr<SearchCancellation> cancellation)
    : m_cancellation(std::move(cancellation)) {
    std::uint64_t start = now();
    if (std::isnan(timeoutSeconds) || std::isinf(timeoutSeconds))
        return; // no deadline
    double nanoseconds = std::max(timeoutSeconds, 0.0) * 1e9;
    // Anything at or beyond the remaining range of the clock is no deadline at all.
    if (nanoseconds >= static_cast<double>(UINT64_MAX - start)) {
        m_deadline = UINT64_MAX;
        return;
    }
    m_deadline = start + static_cast<std::uint64_t>(nanoseconds);
}

std::optional<SearchFailure> SearchBudget::check() const {
    if (m_cancellation && m_cancellation->isCancelled())
        return SearchFailure::cancelled();
    if (m_deadline != UINT64_MAX && now() >= m_deadline)
        return SearchFailure::timedOut();
    return std::nullopt;
}

} // namespace vendrix
