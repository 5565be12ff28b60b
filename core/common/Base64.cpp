#include "core/common/Base64.h"

#include <algorithm>
#include <cstdint>

namespace vendrix::base64 {

namespace {

constexpr std::string_view alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

std::uint32_t byteAt(std::string_view bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

} // namespace

std::string encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = byteAt(bytes, i) << 16;
        std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
        if (count > 1)
            group |= byteAt(bytes, i + 1) << 8;
        if (count > 2)
            group |= byteAt(bytes, i + 2);
        out += alphabet[(group >> 18) & 63];
        out += alphabet[(group >> 12) & 63];
        out += count > 1 ? alphabet[(group >> 6) & 63] : '=';
        out += count > 2 ? alphabet[group & 63] : '=';
    }
    return out;
}

std::optional<std::string> decode(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        int padding = 0;
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            char c = text[i + j];
            if (c == '=' && last && j >= 2) {
                ++padding;
                group <<= 6;
                continue;
            }
            int value = sextet(c);
            if (value < 0 || padding > 0)
                return std::nullopt;
            group = (group << 6) | static_cast<std::uint32_t>(value);
        }
        out.push_back(static_cast<char>(group >> 16));
        if (padding < 2)
            out.push_back(static_cast<char>((group >> 8) & 0xFF));
        if (padding < 1)
            out.push_back(static_cast<char>(group & 0xFF));
    }
    return out;
}

} // namespace vendrix::base64
