#pragma once

#include "core/common/TextRange.h"
#include "core/editing/LineOperation.h"
#include "core/editing/TextEdit.h"
#include "core/text/LineIndex.h"

#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// The line commands as pure functions of a text, its line index and the selection.
///
/// Texts hold LF line breaks only. Positions and selections are UTF-16 units; a selection
/// outside the text is clamped into it first. A line index that is out of step with the text
/// is a programming error: debug builds stop, release builds refuse (no edit).
/// Every command returns the edit to apply, or nothing when it would not change the text.
class LineOperations {
public:
    LineOperations() = delete;

    [[nodiscard]] static std::optional<TextEdit> apply(LineOperation operation,
                                                       std::u16string_view text,
                                                       const LineIndex& lineIndex,
                                                       TextRange selection, int tabWidth);
    /// The same, building the line index from the text first.
    [[nodiscard]] static std::optional<TextEdit>
    apply(LineOperation operation, std::u16string_view text, TextRange selection, int tabWidth);

    /// Duplicates the whole line block of the selection, even for a selection within one
    /// line; the selection stays. With an out-of-step index the edit changes nothing.
    [[nodiscard]] static TextEdit duplicateLines(std::u16string_view text,
                                                 const LineIndex& lineIndex, TextRange selection);
    /// Prefixes every non-empty line of the block with `unit`; selects the whole block.
    [[nodiscard]] static std::optional<TextEdit> indent(std::u16string_view text,
                                                        const LineIndex& lineIndex,
                                                        TextRange selection,
                                                        std::u16string_view unit);
    /// Removes up to one indentation step from every line of the block: up to `tabWidth`
    /// leading spaces, or one leading tab.
    [[nodiscard]] static std::optional<TextEdit> outdent(std::u16string_view text,
                                                         const LineIndex& lineIndex,
                                                         TextRange selection, int tabWidth);

    /// Replaces every tab by spaces up to the next tab stop; columns count grapheme clusters
    /// from the start of `s`. A tab width below 1 counts as 1.
    [[nodiscard]] static std::u16string expandTabs(std::u16string_view s, int tabWidth);
    /// Rewrites the leading run of spaces and tabs as tabs followed by spaces.
    [[nodiscard]] static std::u16string tabifyLeading(std::u16string_view s, int tabWidth);
    /// Full upper-casing without a locale: "i" becomes "I".
    [[nodiscard]] static std::u16string upper(std::u16string_view s);
    /// Full lower-casing without a locale; "İ" becomes a plain "i".
    [[nodiscard]] static std::u16string lower(std::u16string_view s);
    /// Upper-cases the first character of every run of letters, numbers and apostrophes
    /// (U+0027, U+2019) and lower-cases the rest of the run.
    [[nodiscard]] static std::u16string title(std::u16string_view s);
};

} // namespace vendrix
