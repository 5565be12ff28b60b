#include "core/formatting/FormatProgress.h"


namespace vendrix {

namespace {

thread_local FormatProgress* boundProgress = nullptr;

} // namespace

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
