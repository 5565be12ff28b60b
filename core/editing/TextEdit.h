#pragma once

#include "core/common/TextRange.h"

#include <string>
#include <string_view>

namespace vendrix {

/// One replacement of a text: the UTF-16 range to replace, its new text, and the selection
/// to set afterwards in coordinates of the new text.
struct TextEdit {
    TextRange range;
    std::u16string replacement;
    TextRange selection;

    /// The text with `range` replaced by `replacement`. A range that does not fit `text`
    /// changes nothing: the text comes back as it was.
    [[nodiscard]] std::u16string applied(std::u16string_view text) const;

    friend bool operator==(const TextEdit&, const TextEdit&) = default;
};

} // namespace vendrix
