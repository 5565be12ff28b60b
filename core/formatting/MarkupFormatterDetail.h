#pragma once

// Internals of MarkupFormatter shared by its tokenizer and its structure and writing passes.

#include "core/formatting/FormatProgress.h"
#include "core/formatting/MarkupFormatter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::markup {

using Tok = MarkupFormatter::Tok;
using Kind = MarkupFormatter::Kind;
using Dialect = MarkupFormatter::Dialect;

/// A failure found by a pass: the message and the byte offset it refers to, or no offset for
/// failures that belong to no position (cancellation, input too large).
struct Failure {
    std::u16string message;
    std::optional<std::uint64_t> byteOffset;
};

/// The progress checkpoints of one phase. A checkpoint is taken once per 64 KiB window of the
/// loop position (byte offset or token index), so a loop that advances by large strides still
/// checks every window it enters. Without a bound FormatProgress it does nothing.
class PhaseProgress {
public:
    PhaseProgress(std::uint64_t total, double from, double to)
        : m_progress(FormatProgress::current()), m_total(total), m_from(from), m_to(to) {}

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
    FormatProgress* m_progress;
    std::uint64_t m_total;
    double m_from;
    double m_to;
    std::uint64_t m_window = ~std::uint64_t{0};
};

inline bool isBlank(unsigned char byte) {
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n';
}
inline bool isASCIILetter(unsigned char byte) {
    return (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
}
inline unsigned char lowerASCII(unsigned char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte | 0x20) : byte;
}
/// ASCII case-insensitive equality of two byte strings.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

/// The HTML element-name sets, each built once on first use. `lowerName` is lower-cased.
bool isVoidElement(std::string_view lowerName);
bool isRawTextElement(std::string_view lowerName);
bool isPreformattedElement(std::string_view lowerName);
bool endsOpenParagraph(std::string_view lowerName);

/// Splits the UTF-8 input into tokens (progress 0 to 0.4). `input` starts at byte 0 of the
/// whole text; offsets in the tokens refer to it.
[[nodiscard]] std::optional<Failure> tokenize(std::string_view input, Dialect dialect,
                                              std::vector<Tok>& tokens);

} // namespace vendrix::markup
