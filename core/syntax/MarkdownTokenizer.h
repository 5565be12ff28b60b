#pragma once

#include "core/syntax/SyntaxTokenizer.h"

namespace vendrix {

/// The line tokenizer of Markdown. State: bits 0-7 the block (0 normal, 1 fenced code, 2 HTML
/// comment). In normal text, bits 8-15 hold the content indent of the list item the next line
/// may continue (0 outside lists; clamped to 255). In a code block, bits 8-15 hold the fence
/// character (1 backtick, 2 tilde), bits 16-23 the length of the opening fence (clamped to
/// 255) and bits 24-31 the list content indent the fence was opened under, which its closing
/// fence may be indented by. Inline constructs are looked for only within 512 units of their
/// opening.
class MarkdownTokenizer final : public SyntaxTokenizer {
public:
    [[nodiscard]] std::uint32_t tokenizeLine(const char16_t* units, std::int64_t count,
                                             std::uint32_t state, TokenEmitter emit) const override;
};

} // namespace vendrix
