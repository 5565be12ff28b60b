#include "core/syntax/TokenKind.h"

namespace vendrix {

namespace {
constexpr std::array<std::string_view, 17> kRawValues = {
    "keyword",     "type",         "function",  "string",   "number",   "constant",
    "comment",     "preprocessor", "attribute", "property", "variable", "tag",
    "punctuation", "heading",      "emphasis",  "strong",   "link",
};
} // namespace

std::string_view rawValue(TokenKind kind) {
    auto index = static_cast<std::size_t>(kind);
    return index < kRawValues.size() ? kRawValues[index] : std::string_view{};
}

std::optional<TokenKind> tokenKindFromRawValue(std::string_view raw) {
    for (std::size_t i = 0; i < kRawValues.size(); ++i) {
        if (kRawValues[i] == raw)
            return allTokenKinds[i];
    }
    return std::nullopt;
}

std::string Token::description() const {
    return std::string(rawValue(kind)) + "@" + std::to_string(range.location) + "+" +
           std::to_string(range.length);
}

} // namespace vendrix
