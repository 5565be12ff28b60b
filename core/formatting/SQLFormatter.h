#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

class ProgressToken;

/// Pretty-prints SQL of any dialect without parsing it: a tokenizer that knows the common
/// quoting and comment conventions, then one writer pass that starts clauses on new lines,
/// indents sub-queries and AND/OR conditions, upper-cases a fixed keyword list and normalises
/// spacing around punctuation. Everything that is not a keyword is copied byte for byte.
/// Only the tokenizer fails ("Kapanmamış dize", "Kapanmamış yorum").
struct SQLFormatter {
    enum class Kind : std::uint8_t {
        word,
        quoted,
        string,
        number,
        lineComment,
        blockComment,
        open,
        close,
        comma,
        semicolon,
        dot,
        op
    };

    /// Reports progress to and stops when cancelled through `progress` (null: none).
    [[nodiscard]] static std::expected<std::u16string, FormatError> pretty(
        std::u16string_view text, FormatIndent indent, ProgressToken* progress = nullptr);

    /// The byte-level pipeline behind pretty: UTF-8 in, finished UTF-8 out. Error positions
    /// refer to `utf8`.
    [[nodiscard]] static std::expected<std::string, FormatError> prettyBytes(
        std::string_view utf8, FormatIndent indent, ProgressToken* progress = nullptr);
};

} // namespace vendrix
