#pragma once
// Shared by the window and session benchmarks: a deterministic source-like text.

#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

namespace vendrix::bench {

/// Source-like lines of 20 to 100 units, deterministic.
inline std::u16string makeSourceText(std::size_t units) {
    static constexpr std::u16string_view words[] = {u"int",   u"return", u"value", u"for", u"while",
                                                    u"çalış", u"öğe",    u"{",     u"}",   u"= 0;"};
    std::u16string out;
    out.reserve(units + 128);
    std::uint32_t state = 42;
    std::size_t line = 0;
    while (out.size() < units) {
        state = state * 1664525u + 1013904223u;
        out += words[(state >> 16) % std::size(words)];
        line += 6;
        out += line > 20 + (state >> 8) % 80 ? u'\n' : u' ';
        if (out.back() == u'\n')
            line = 0;
    }
    return out;
}

} // namespace vendrix::bench
