#pragma once

// Small Unicode helpers private to the syntax library.
#include <string>
#include <string_view>

namespace vendrix::syntax_detail {

/// Full Unicode lower-casing in the root locale.
std::u16string lowercased(std::u16string_view text);

} // namespace vendrix::syntax_detail
