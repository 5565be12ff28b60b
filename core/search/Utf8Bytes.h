#pragma once

// Counting and checking over the bytes of UTF-8 text, vectorised where it pays: what a search
// in a file's bytes needs to report hits as the decoded text would place them.
#include <cstdint>
#include <string_view>
#include <utility>

namespace vendrix::utf8Bytes {

/// UTF-16 units of the valid UTF-8 in [from, to) of `s`: one per character, two for the
/// four-byte ones.
[[nodiscard]] std::int64_t utf16Units(const unsigned char* s, std::int64_t from, std::int64_t to);

/// Line feeds in [from, to) of `s` before the first CR there, and where that CR is (`to`
/// without one).
[[nodiscard]] std::pair<std::int64_t, std::int64_t> lineFeedsBeforeCR(const char* s,
                                                                      std::int64_t from,
                                                                      std::int64_t to);

/// Strict UTF-8 validity exactly as the file decoder judges it (no overlong forms, no
/// surrogates, nothing above U+10FFFF), with long ASCII stretches skipped 32 bytes at a time.
[[nodiscard]] bool isValid(std::string_view bytes);

} // namespace vendrix::utf8Bytes
