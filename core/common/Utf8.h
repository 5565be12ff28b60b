#pragma once

#include <string>
#include <string_view>

namespace vendrix::utf8 {

/// Decodes UTF-8, replacing each maximal invalid subsequence by one U+FFFD. No length limit.
[[nodiscard]] std::u16string decode(std::string_view bytes);
/// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string encode(std::u16string_view text);
/// Appends the UTF-8 form of `text` to `out` (same rules as encode()).
void append(std::string& out, std::u16string_view text);
/// Appends the UTF-16 form of `bytes` to `out` (same rules as decode()).
void appendDecoded(std::u16string& out, std::string_view bytes);

} // namespace vendrix::utf8
