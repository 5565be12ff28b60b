#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"

#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

class ProgressToken;

/// Pretty-prints and minifies CSS, nested at-rule blocks included, in one pass over the UTF-8
/// bytes: the text between structural characters ("{", "}" and ";" outside parentheses) is
/// collected with whitespace collapsed and written as a selector or a declaration in normalised
/// form. Strings and comments are copied unchanged; comments are dropped when minifying.
/// Every operation reports progress to and stops when cancelled through `progress` (null: none).
struct CSSFormatter {
    /// One rule, declaration and closing brace per line; top-level blocks separated by an
    /// empty line.
    [[nodiscard]] static std::expected<std::u16string, FormatError> pretty(
        std::u16string_view text, FormatIndent indent, ProgressToken* progress = nullptr);
    /// No line breaks, comments dropped, spaces around combinators and commas removed.
    [[nodiscard]] static std::expected<std::u16string, FormatError>
    minify(std::u16string_view text, ProgressToken* progress = nullptr);

    /// The byte-level pass behind pretty (with an indent) and minify (without): UTF-8 in,
    /// finished UTF-8 out. Error positions refer to `utf8`.
    [[nodiscard]] static std::expected<std::string, FormatError>
    formatBytes(std::string_view utf8, std::optional<FormatIndent> indent,
                ProgressToken* progress = nullptr);
};

} // namespace vendrix
