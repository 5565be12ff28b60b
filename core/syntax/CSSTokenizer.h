#pragma once

#include "core/syntax/SyntaxTokenizer.h"

namespace vendrix {

/// The line tokenizer of CSS (with the SCSS line comments and variables). State: bits 0-7
/// 0 normal or 1 inside a block comment; bits 8-15 the brace depth (0...255); bit 16 set
/// inside a declaration value.
class CSSTokenizer final : public SyntaxTokenizer {
public:
    [[nodiscard]] std::uint32_t tokenizeLine(const char16_t* units, std::int64_t count,
                                             std::uint32_t state, TokenEmitter emit) const override;
};

} // namespace vendrix
