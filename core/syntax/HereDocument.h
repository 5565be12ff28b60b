#pragma once

#include "core/syntax/CodeScanner.h"

#include <cstdint>

namespace vendrix::syntax_detail {

/// Shell here-documents: the "<<WORD" operator on a code line, and the body lines after it up
/// to the line that holds only WORD. Between lines the body is carried in the state as
/// kStateBase | flags in the low byte and a 24-bit hash of WORD in the bits above.
struct HereDocument {
    static constexpr std::uint32_t kStateBase = 0xF0;
    /// The word was quoted ('WORD', "WORD" or \WORD): the body has no expansions.
    static constexpr std::uint32_t kQuoted = 1;
    /// "<<-": leading tabs are stripped from the terminator line.
    static constexpr std::uint32_t kStripTabs = 2;

    static bool isBodyState(std::uint32_t state) { return (state & 0xFC) == kStateBase; }

    /// The operator "<<" at p, when it starts a here-document: its word's span goes to
    /// [wordStart, result) and the body state to `state`. -1 when it is not one ("<<<", or no
    /// word after it).
    static std::int64_t parseOpener(const char16_t* u, std::int64_t n, std::int64_t p,
                                    std::int64_t& wordStart, std::uint32_t& state);

    /// Tokenizes one body line in `state`; the next state, 0 after the terminator line.
    static std::uint32_t bodyLine(const CodeScanner& scan, std::uint32_t state);
};

} // namespace vendrix::syntax_detail
