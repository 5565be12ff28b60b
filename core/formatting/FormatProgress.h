#pragma once

#include "core/common/ProgressToken.h"
#include "core/formatting/FormatError.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

namespace vendrix {

/// Progress and cancellation of one formatting job, shared between the thread that shows the
/// progress (and may cancel) and the worker that formats. Thread-safe: both fields are read
/// and written only under the object's own mutex.
///
/// A worker binds the job's progress object for the duration of a formatter call with a
/// `FormatProgress::Scope`; formatters find it through `current()`, so concurrent jobs on
/// different threads each see their own.
class FormatProgress : public ProgressToken {
public:
    /// The message of the error a cancelled formatter returns.
    static constexpr std::u16string_view cancelledMessage = u"İptal edildi";

    FormatProgress() = default;
    FormatProgress(const FormatProgress&) = delete;
    FormatProgress& operator=(const FormatProgress&) = delete;

    /// The progress object bound on this thread, or null when the caller bound none.
    [[nodiscard]] static FormatProgress* current();

    /// Binds a progress object as `current()` on this thread until the scope ends, then
    /// restores the previous binding. A null pointer binds none.
    class Scope {
    public:
        explicit Scope(std::shared_ptr<FormatProgress> progress);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        std::shared_ptr<FormatProgress> m_progress;
        FormatProgress* m_previous;
    };

    /// A checkpoint of a formatter phase: with a bound progress object, steps it as
    /// `step(done, total, from, to)` would. Returns false when the job is cancelled; without a
    /// bound object it does nothing and returns true.
    static bool checkpoint(std::int64_t done, std::int64_t total, double from, double to) {
        FormatProgress* progress = current();
        return progress == nullptr || progress->step(done, total, from, to);
    }
    /// True when a progress object is bound and cancelled.
    [[nodiscard]] static bool currentIsCancelled() {
        FormatProgress* progress = current();
        return progress != nullptr && progress->isCancelled();
    }
    /// "İptal edildi" at line 1, column 1, offset 0.
    [[nodiscard]] static FormatError cancelledError() {
        return FormatError::unpositioned(std::u16string(cancelledMessage));
    }

    /// Checkpoints of a phase whose position advances through 0..<total: one per window of
    /// 65536 positions (the first position that reaches a new window), mapped onto from...to.
    class WindowCheckpoints {
    public:
        WindowCheckpoints(std::int64_t total, double from, double to)
            : m_total(total), m_from(from), m_to(to) {}
        /// False when cancelled.
        bool operator()(std::int64_t position) {
            if (position < m_next)
                return true;
            m_next = (position | 0xFFFF) + 1;
            return checkpoint(position, m_total, m_from, m_to);
        }

    private:
        std::int64_t m_total;
        double m_from, m_to;
        std::int64_t m_next = 0;
    };
};

} // namespace vendrix
