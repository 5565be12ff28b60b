#pragma once

#include "core/syntax/SyntaxTokenizer.h"

namespace vendrix {

/// The line tokenizer of XML and HTML. State: bits 0-7 the mode (0 text, 1 comment, 2 inside
/// a tag, 3 and 4 in a double- or single-quoted attribute value, 5 CDATA, 6 script content,
/// 7 style content, 8 declaration or processing instruction; above 8 reads as 0); bits 8-9
/// the raw-text element whose start tag is still open (1 script, 2 style).
class MarkupTokenizer final : public SyntaxTokenizer {
public:
    explicit MarkupTokenizer(bool htmlMode) : html(htmlMode) {}

    /// HTML mode: the contents of script and style elements are raw text.
    bool html;

    [[nodiscard]] std::uint32_t tokenizeLine(const char16_t* units, std::int64_t count,
                                             std::uint32_t state, TokenEmitter emit) const override;
};

} // namespace vendrix
