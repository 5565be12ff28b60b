#pragma once

// Internals of SQLFormatter shared by its tokenizer and its writer.

#include "core/formatting/FormatProgress.h"
#include "core/formatting/SQLFormatter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::sql {

using Kind = SQLFormatter::Kind;

/// One token. `keyword` points into the keyword set and is empty for everything else.
struct Tok {
    std::int64_t start;
    std::int64_t end;
    Kind kind;
    std::string_view keyword;
    bool newlineBefore;
};

/// A failure and the byte offset it refers to (none for a cancellation).
struct Failure {
    std::u16string message;
    std::optional<std::int64_t> byteOffset;
};

/// Steps the bound progress object once per 64 KiB window of a phase's position.
class PhaseProgress {
public:
    PhaseProgress(std::int64_t total, double from, double to)
        : m_progress(FormatProgress::current()), m_total(total), m_from(from), m_to(to) {}
    bool at(std::int64_t position) {
        if (m_progress == nullptr || (position >> 16) == m_window)
            return true;
        m_window = position >> 16;
        return m_progress->step(position, m_total, m_from, m_to);
    }
    /// Reads the cancellation flag, for long scans inside one token.
    bool cancelledNow() const { return m_progress != nullptr && m_progress->isCancelled(); }
    /// The phase is complete: raises the fraction to the phase's end.
    bool finish() {
        return m_progress == nullptr || m_progress->step(m_total, m_total, m_from, m_to);
    }

private:
    FormatProgress* m_progress;
    std::int64_t m_total;
    double m_from, m_to;
    std::int64_t m_window = -1;
};

inline Failure cancelledFailure() {
    return Failure{std::u16string(FormatProgress::cancelledMessage), std::nullopt};
}

/// Splits the UTF-8 input into tokens (progress 0 to 0.5). Only unterminated strings and
/// comments fail.
[[nodiscard]] std::optional<Failure> tokenize(std::string_view s, std::vector<Tok>& tokens);

} // namespace vendrix::sql
