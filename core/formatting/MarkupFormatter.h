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

/// Pretty-prints and minifies XML and HTML without building a document tree: the UTF-8 bytes
/// are tokenized into a flat token array, one structure pass pairs start and end tags (strictly
/// in XML; with void elements, implied end tags and stray end tags in HTML), and the writer
/// copies token bytes, putting each tag, comment and text run on its own line at its depth.
/// Elements whose content carries text are copied verbatim; whitespace-only text between tags
/// is dropped.
///
/// Inputs of up to 4294967294 bytes. Reports progress (tokenizing 0-0.4, structure 0.4-0.6,
/// writing 0.6-1.0) and observes cancellation through the `progress` token each operation
/// takes (null: none). Re-entrant.
struct MarkupFormatter {
    enum class Dialect : std::uint8_t { xml, html };

    /// Token kinds. `declaration` is `<!DOCTYPE ...>` and any other `<!...>`; `rawText` is the
    /// content of an HTML script, style or textarea element.
    enum class Kind : std::uint8_t {
        startTag,
        endTag,
        text,
        comment,
        cdata,
        pi,
        declaration,
        rawText
    };

    /// One token; all offsets are byte offsets into the UTF-8 input. The name range is empty
    /// (0, 0) for tokens without a name.
    struct Tok {
        std::uint32_t start;
        std::uint32_t end;
        std::uint32_t nameStart;
        std::uint32_t nameEnd;
        Kind kind;
        /// The start tag ends with "/>".
        bool selfClosing;
    };
    static_assert(sizeof(Tok) == 20);

    /// Each tag, comment and text run on its own line, indented by nesting depth.
    [[nodiscard]] static std::expected<std::u16string, FormatError>
    pretty(std::u16string_view text, Dialect dialect, FormatIndent indent,
           ProgressToken* progress = nullptr);
    /// The same pipeline without line breaks or indentation.
    [[nodiscard]] static std::expected<std::u16string, FormatError>
    minify(std::u16string_view text, Dialect dialect, ProgressToken* progress = nullptr);

    /// The byte-level pipeline behind pretty (with an indent) and minify (without): takes UTF-8
    /// bytes, returns the finished UTF-8 output (trailing blanks removed, the input's final line
    /// feed kept). Error positions refer to `utf8`.
    [[nodiscard]] static std::expected<std::string, FormatError>
    formatBytes(std::string_view utf8, Dialect dialect, std::optional<FormatIndent> indent,
                ProgressToken* progress = nullptr);
    /// pretty (with an indent) or minify on a file's bytes read as UTF-8, invalid sequences
    /// standing for U+FFFD, with UTF-8 output: valid UTF-8 is formatted in place, anything
    /// else decoded first; the same as encoding the result of the text operations.
    [[nodiscard]] static std::expected<std::string, FormatError>
    formatFileBytes(std::string_view bytes, Dialect dialect, std::optional<FormatIndent> indent,
                    ProgressToken* progress = nullptr);
};

} // namespace vendrix
