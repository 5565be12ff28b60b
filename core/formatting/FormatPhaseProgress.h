#pragma once

#include "core/formatting/FormatProgress.h"

#include <cstdint>

namespace vendrix {

/// The progress checkpoints of one formatting phase, which covers `from` to `to` of the job's
/// token. A checkpoint is taken once per 64 KiB window of the loop position (byte
/// offset or token index), so a loop that advances by large strides still checks every window
/// it enters. Without a token it does nothing.
class FormatPhaseProgress {
public:
    FormatPhaseProgress(ProgressToken* token, std::uint64_t total, double from, double to)
        : m_progress(token), m_total(total), m_from(from), m_to(to) {}

    /// False when the job has been cancelled.
    bool at(std::uint64_t position) {
        if (m_progress == nullptr || (position >> 16) == m_window)
            return true;
        m_window = position >> 16;
        return m_progress->step(static_cast<std::int64_t>(position),
                                static_cast<std::int64_t>(m_total), m_from, m_to);
    }
    /// The phase is complete: raises the fraction to the phase's end.
    bool finish() {
        return m_progress == nullptr ||
               m_progress->step(static_cast<std::int64_t>(m_total),
                                static_cast<std::int64_t>(m_total), m_from, m_to);
    }
    /// Reads the cancellation flag now.
    bool isCancelled() const { return m_progress != nullptr && m_progress->isCancelled(); }
    /// For long scans inside one token: checks the flag only, every 1 MiB of `position`.
    bool within(std::uint64_t position) {
        if (m_progress == nullptr || (position & 0xFFFFF) != 0)
            return true;
        return !m_progress->isCancelled();
    }

private:
    ProgressToken* m_progress;
    std::uint64_t m_total;
    double m_from;
    double m_to;
    std::uint64_t m_window = ~std::uint64_t{0};
};

} // namespace vendrix
