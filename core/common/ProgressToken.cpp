#include "core/common/ProgressToken.h"

#include <algorithm>

namespace vendrix {

void ProgressToken::raise(double value) {
    value = std::clamp(value, 0.0, 1.0);
    double seen = m_fraction.load(std::memory_order_relaxed);
    // Several threads may report at once: the largest value wins, the fraction never drops.
    while (value > seen &&
           !m_fraction.compare_exchange_weak(seen, value, std::memory_order_acq_rel)) {
    }
}

bool ProgressToken::step(std::int64_t done, std::int64_t total, double from, double to) {
    const double part = total < 1 ? 1.0
                                  : std::min(static_cast<double>(done) /
                                                 static_cast<double>(total),
                                             1.0);
    raise(from + (to - from) * part);
    return !isCancelled();
}

std::u16string ProgressToken::phase() const {
    std::lock_guard guard(m_phaseLock);
    return m_phase;
}

void ProgressToken::setPhase(std::u16string phase) {
    std::lock_guard guard(m_phaseLock);
    m_phase = std::move(phase);
}

} // namespace vendrix
