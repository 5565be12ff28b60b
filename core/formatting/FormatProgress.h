#pragma once

#include "core/common/ProgressToken.h"
#include "core/formatting/FormatError.h"

#include <cstdint>
#include <string_view>

namespace vendrix {

/// The formatters' checkpoints over the ProgressToken of the job they run in. Every formatter
/// takes its token as a parameter (null: nobody watches and nothing cancels) and hands it on
/// to its phases. Thread-safe as the token is.
struct FormatProgress {
    /// The message of the error a cancelled formatter returns.
    static constexpr std::u16string_view cancelledMessage = FormatError::cancelledMessage;

    /// A checkpoint of a formatter phase: steps the token as `step(done, total, from, to)`
    /// would. Returns false when the job is cancelled; without a token it does nothing and
    /// returns true.
    static bool checkpoint(ProgressToken* token, std::int64_t done, std::int64_t total,
                           double from, double to) {
        return ProgressToken::step(token, done, total, from, to);
    }
    /// True when there is a token and it is cancelled.
    [[nodiscard]] static bool isCancelled(const ProgressToken* token) {
        return ProgressToken::isCancelled(token);
    }
    /// "İptal edildi" at line 1, column 1, offset 0.
    [[nodiscard]] static FormatError cancelledError() { return FormatError::cancelled(); }

    /// Checkpoints of a phase whose position advances through 0..<total: one per window of
    /// 65536 positions (the first position that reaches a new window), mapped onto from...to.
    class WindowCheckpoints {
    public:
        WindowCheckpoints(ProgressToken* token, std::int64_t total, double from, double to)
            : m_token(token), m_total(total), m_from(from), m_to(to) {}
        /// False when cancelled.
        bool operator()(std::int64_t position) {
            if (position < m_next)
                return true;
            m_next = (position | 0xFFFF) + 1;
            return checkpoint(m_token, position, m_total, m_from, m_to);
        }

    private:
        ProgressToken* m_token;
        std::int64_t m_total;
        double m_from, m_to;
        std::int64_t m_next = 0;
    };
};

} // namespace vendrix
