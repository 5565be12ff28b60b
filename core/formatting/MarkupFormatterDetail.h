#pragma once

// Internals of MarkupFormatter shared by its tokenizer and its structure and writing passes.

#include "core/formatting/FormatFailure.h"
#include "core/formatting/FormatPhaseProgress.h"
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

using PhaseProgress = FormatPhaseProgress;

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
[[nodiscard]] std::optional<FormatFailure> tokenize(std::string_view input, Dialect dialect,
                                                    std::vector<Tok>& tokens, ProgressToken* token);

} // namespace vendrix::markup
