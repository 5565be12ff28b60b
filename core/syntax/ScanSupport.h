#pragma once

// Character tests and in-place matching shared by the hand-written line tokenizers.
#include <cstdint>

namespace vendrix::syntax_detail {

inline bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}
inline bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
inline bool isLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
inline char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? (c | 0x20) : c;
}

inline std::int64_t skipBlanks(const char16_t* u, std::int64_t n, std::int64_t p) {
    while (p < n && isBlank(u[p]))
        ++p;
    return p;
}

/// True when the ASCII literal `s` (length `length`) occurs at p, entirely within the line.
inline bool matchesAt(const char16_t* u, std::int64_t n, std::int64_t p, const char* s,
                      std::int64_t length, bool ignoreASCIICase = false) {
    if (p < 0 || p + length > n)
        return false;
    for (std::int64_t i = 0; i < length; ++i) {
        char16_t c = ignoreASCIICase ? asciiLower(u[p + i]) : u[p + i];
        if (c != static_cast<char16_t>(s[i]))
            return false;
    }
    return true;
}

template <std::size_t N>
inline bool matchesAt(const char16_t* u, std::int64_t n, std::int64_t p, const char (&s)[N],
                      bool ignoreASCIICase = false) {
    return matchesAt(u, n, p, s, static_cast<std::int64_t>(N - 1), ignoreASCIICase);
}

/// The first position at or after `from` where the literal occurs; -1 when none.
template <std::size_t N>
inline std::int64_t find(const char16_t* u, std::int64_t n, std::int64_t from, const char (&s)[N],
                         bool ignoreASCIICase = false) {
    const auto length = static_cast<std::int64_t>(N - 1);
    const char16_t first = static_cast<char16_t>(s[0]);
    for (std::int64_t p = from; p + length <= n; ++p) {
        char16_t c = ignoreASCIICase ? asciiLower(u[p]) : u[p];
        if (c == first && matchesAt(u, n, p, s, length, ignoreASCIICase))
            return p;
    }
    return -1;
}

} // namespace vendrix::syntax_detail
