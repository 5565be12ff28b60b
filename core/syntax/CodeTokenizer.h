#pragma once

#include "core/syntax/CodeSyntax.h"
#include "core/syntax/SyntaxTokenizer.h"

#include <array>

namespace vendrix {

/// The table-driven line tokenizer of the C-like and script languages. State between lines:
/// 0 normal code; 1 + 256 * depth inside a block comment (depth 1...255, clamped); 2 + i
/// inside the unterminated multi-line string of rule i (for a raw-string rule, plus 256 times
/// the number of "#" beyond the first); a shell here-document body as HereDocument describes.
class CodeTokenizer final : public SyntaxTokenizer {
public:
    /// The syntax must outlive the tokenizer (the built-in syntaxes live for the program).
    explicit CodeTokenizer(const CodeSyntax& syntax);

    const CodeSyntax& syntax() const { return *m_syntax; }

    [[nodiscard]] std::uint32_t tokenizeLine(const char16_t* units, std::int64_t count,
                                             std::uint32_t state, TokenEmitter emit) const override;

private:
    const CodeSyntax* m_syntax;
    // ASCII units that can begin a comment marker or a string opener; every other ASCII
    // unit skips those tests.
    std::array<bool, 128> m_opensSomething{};
};

} // namespace vendrix
