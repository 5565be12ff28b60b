#include "core/formatting/FormatProgress.h"

#include <algorithm>

namespace vendrix {

namespace {

thread_local FormatProgress* boundProgress = nullptr;

} // namespace

double FormatProgress::fraction() const {
    std::lock_guard guard(m_lock);
    return m_fraction;
}

bool FormatProgress::isCancelled() const {
    std::lock_guard guard(m_lock);
    return m_cancelled;
}

void FormatProgress::cancel() {
    std::lock_guard guard(m_lock);
    m_cancelled = true;
}

bool FormatProgress::step(std::int64_t done, std::int64_t total, double from, double to) {
    const double e = total < 1 ? 1.0
                               : std::min(static_cast<double>(done) / static_cast<double>(total),
                                          1.0);
    const double value = from + (to - from) * e;
    std::lock_guard guard(m_lock);
    if (value > m_fraction)
        m_fraction = value;
    return !m_cancelled;
}

FormatProgress* FormatProgress::current() {
    return boundProgress;
}

FormatProgress::Scope::Scope(std::shared_ptr<FormatProgress> progress)
    : m_progress(std::move(progress)), m_previous(boundProgress) {
    boundProgress = m_progress.get();
}

FormatProgress::Scope::~Scope() {
    boundProgress = m_previous;
}

} // namespace vendrix
