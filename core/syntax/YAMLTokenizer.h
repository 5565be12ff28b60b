#pragma once

#include "core/syntax/SyntaxTokenizer.h"

namespace vendrix {

/// The line tokenizer of YAML. State: bits 0-7 0 normal or 1 inside a block scalar; bits 8-23
/// the column of the key or dash that introduced the block scalar (clamped to 65,535).
class YAMLTokenizer final : public SyntaxTokenizer {
public:
    [[nodiscard]] std::uint32_t tokenizeLine(const char16_t* units, std::int64_t count,
                                             std::uint32_t state, TokenEmitter emit) const override;
};

} // namespace vendrix
