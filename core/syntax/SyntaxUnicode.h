#pragma once

// Small Unicode helpers private to the syntax library.
#include <string>
#include <string_view>

namespace vendrix::syntax_detail {

/// Full Unicode lower-casing in the root locale.
std::u16string lowercased(std::u16string_view text);
/// UTF-8 to UTF-16; invalid bytes become U+FFFD.
std::u16string utf16(std::string_view utf8);
/// UTF-16 to UTF-8; lone surrogates become U+FFFD.
std::string utf8(std::u16string_view utf16);

} // namespace vendrix::syntax_detail
