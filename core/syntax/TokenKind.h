#pragma once

#include "core/common/EnumCases.h"
#include "core/common/TextRange.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// The closed set of token kinds. The raw value of a kind is its case name; the raw values
/// are also the keys under which the colour theme stores one colour per kind.
enum class TokenKind : std::uint8_t {
    keyword,
    type,
    function,
    string,
    number,
    constant,
    comment,
    preprocessor,
    attribute,
    property,
    variable,
    tag,
    punctuation,
    heading,
    emphasis,
    strong,
    link,
};

/// The kinds and their raw values (each its case name).
inline constexpr auto tokenKindCases = enumCases<TokenKind>({
    {TokenKind::keyword, "keyword"},
    {TokenKind::type, "type"},
    {TokenKind::function, "function"},
    {TokenKind::string, "string"},
    {TokenKind::number, "number"},
    {TokenKind::constant, "constant"},
    {TokenKind::comment, "comment"},
    {TokenKind::preprocessor, "preprocessor"},
    {TokenKind::attribute, "attribute"},
    {TokenKind::property, "property"},
    {TokenKind::variable, "variable"},
    {TokenKind::tag, "tag"},
    {TokenKind::punctuation, "punctuation"},
    {TokenKind::heading, "heading"},
    {TokenKind::emphasis, "emphasis"},
    {TokenKind::strong, "strong"},
    {TokenKind::link, "link"},
});
/// Every kind, in declaration order.
inline constexpr const auto& allTokenKinds = tokenKindCases.all();

/// The kind's raw value ("keyword", "type", ...).
[[nodiscard]] constexpr std::string_view rawValue(TokenKind kind) {
    return tokenKindCases.rawValue(kind);
}
/// The kind whose raw value is exactly `raw`; none for any other string (case matters).
[[nodiscard]] constexpr std::optional<TokenKind> tokenKindFromRawValue(std::string_view raw) {
    return tokenKindCases.fromRawValue(raw);
}

/// One highlighted stretch of text: a range of UTF-16 units (absolute in the document when
/// produced by the highlight engine, line-relative inside a tokenizer) and its kind.
struct Token {
    TextRange range;
    TokenKind kind = TokenKind::keyword;

    Token() = default;
    constexpr Token(std::int64_t location, std::int64_t length, TokenKind tokenKind)
        : range{location, length}, kind(tokenKind) {}

    /// The kind's raw value, "@", the location and "+", the length: "keyword@12+6".
    [[nodiscard]] std::string description() const;

    friend constexpr bool operator==(const Token&, const Token&) = default;
};

} // namespace vendrix

/// Kinds hash as their raw values do.
template <> struct std::hash<vendrix::TokenKind> {
    std::size_t operator()(vendrix::TokenKind kind) const noexcept {
        return std::hash<std::string_view>{}(vendrix::rawValue(kind));
    }
};
