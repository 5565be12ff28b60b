#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vendrix::base64 {

/// Standard Base64 (the "+/" alphabet) of `bytes`, padded with "=" to a multiple of four.
[[nodiscard]] std::string encode(std::string_view bytes);
/// Strict decoding of standard Base64: a multiple of four characters of the alphabet, with
/// "=" only as one or two final characters of the last quantum. None for anything else.
[[nodiscard]] std::optional<std::string> decode(std::string_view text);

} // namespace vendrix::base64
