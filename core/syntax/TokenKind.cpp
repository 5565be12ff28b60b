#include "core/syntax/TokenKind.h"

namespace vendrix {

std::string Token::description() const {
    return std::string(rawValue(kind)) + "@" + std::to_string(range.location) + "+" +
           std::to_string(range.length);
}

} // namespace vendrix
