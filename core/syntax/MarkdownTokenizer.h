#pragma once

#include "core/syntax/SyntaxTokenizer.h"

namespace vendrix {

/// The line tokenizer of Markdown. State: bits 0-7 the block (0 normal, 1 fenced code, 2 HTML
/// comment); bits 8-15 the fence character of an open code block (1 backtick, 2 tilde);
/// bits 16-23 the length of its opening fence, clamped to 255. Inline constructs are looked
/// for only within 512 units of their opening.
class MarkdownTokenizer final : public SyntaxTokenizer {
public:
    [[nodiscard]] std::uint32_t tokenizeLine(const char16_t* units, std::int64_t count,
                                             std::uint32_t state, TokenEmitter emit) const override;
};

} // namespace vendrix
