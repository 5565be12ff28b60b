#pragma once

#include "core/common/TextRange.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vendrix {

/// A replacement template of a regular-expression replace, parsed once for an expression with
/// a known number of capture groups:
/// - "$" followed by digits inserts a capture group; of the digits, the longest leading run
///   that names an existing group is taken ("$12" with one group is group 1 and then "2");
/// - "$" with no usable digit after it is a literal "$" ("cost $", "$x");
/// - "\" makes the next character literal ("\$" is "$", "\\" is "\"); a "\" at the very end
///   is a literal backslash.
/// A group that took no part in the match inserts nothing.
class ReplacementTemplate {
public:
    ReplacementTemplate(std::u16string_view templateText, std::int32_t groupCount);

    /// The replacement for one match; `group(n)` gives group n's range in `text`.
    [[nodiscard]] std::u16string
    expand(std::u16string_view text,
           const std::function<std::optional<TextRange>(std::int32_t)>& group) const;

private:
    // A piece is either literal text or a capture group number.
    std::vector<std::variant<std::u16string, std::int32_t>> m_pieces;
};

/// What the user typed in the replace field, turned into template syntax: "\n" becomes a
/// line feed, "\t" a tab, any other backslash pair is kept for the template, and a backslash
/// at the very end is doubled so that it stays a literal backslash.
[[nodiscard]] std::u16string regexTemplate(std::u16string_view replacement);

} // namespace vendrix
