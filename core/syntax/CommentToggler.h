#pragma once

#include "core/common/TextRange.h"
#include "core/common/TextSource.h"
#include "core/syntax/LanguageDefinition.h"

#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// Comments or uncomments the lines of a selection with a line comment marker, or wraps or
/// unwraps the selection in block comment delimiters. Pure: returns the edit to apply.
class CommentToggler {
public:
    /// One replacement and the selection to set after it.
    struct Edit {
        TextRange range;
        std::u16string replacement;
        TextRange selection;
        friend bool operator==(const Edit&, const Edit&) = default;
    };

    /// The edit for `selection` (clamped into the text). A non-empty line comment marker takes
    /// precedence over the block comment. None when the language has neither.
    [[nodiscard]] static std::optional<Edit>
    toggle(const TextSource& text, TextRange selection,
           const std::optional<std::u16string>& lineComment,
           const std::optional<BlockComment>& blockComment);

    /// The lines a selection covers: from the start of the line holding its start to the end
    /// of the line holding its end (before the LF), where a non-empty selection that ends just
    /// after an LF does not take the next line. The same line block as the line commands use.
    [[nodiscard]] static TextRange lineSpan(const TextSource& text, TextRange selection);
};

} // namespace vendrix
