#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace vendrix {

/// Progress and cancellation of one background job, shared between the thread that shows the
/// progress (and may cancel) and the worker that does the work. Thread-safe: the flag and the
/// fraction are atomics, the phase is read and written under the token's own mutex.
///
/// Long-running core functions take a token (null: nobody watches, nothing cancels) and check
/// it at their checkpoints; they never look for one anywhere else.
class ProgressToken {
public:
    ProgressToken() = default;
    ProgressToken(const ProgressToken&) = delete;
    ProgressToken& operator=(const ProgressToken&) = delete;

    /// Asks the job to stop; never cleared again.
    void cancel() { m_cancelled.store(true, std::memory_order_release); }
    [[nodiscard]] bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }

    /// The completed fraction, 0...1; it never goes down.
    [[nodiscard]] double fraction() const { return m_fraction.load(std::memory_order_acquire); }
    /// Raises the fraction to `value` (clamped to 0...1); a lower value changes nothing.
    void raise(double value);
    /// Maps `done` of `total` onto the range from...to and raises the fraction to it. A total
    /// below 1 counts as complete. Returns false when cancelled.
    bool step(std::int64_t done, std::int64_t total, double from, double to);

    /// What the job is doing now, for the progress panel's label (empty: the job's title).
    [[nodiscard]] std::u16string phase() const;
    void setPhase(std::u16string phase);

    /// The cancellation check of a possibly absent token.
    [[nodiscard]] static bool isCancelled(const ProgressToken* token) {
        return token != nullptr && token->isCancelled();
    }
    /// step() on a possibly absent token: true (go on) without one.
    static bool step(ProgressToken* token, std::int64_t done, std::int64_t total, double from,
                     double to) {
        return token == nullptr || token->step(done, total, from, to);
    }

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<double> m_fraction{0.0};
    mutable std::mutex m_phaseLock;
    std::u16string m_phase;
};

} // namespace vendrix
