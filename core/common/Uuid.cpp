#include "core/common/Uuid.h"

#include <uuid/uuid.h>

namespace vendrix {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr bool isHyphenPosition(std::size_t i) {
    return i == 8 || i == 13 || i == 18 || i == 23;
}

} // namespace

Uuid Uuid::random() {
    uuid_t raw;
    uuid_generate_random(raw);
    Uuid result;
    for (std::size_t i = 0; i < 16; ++i)
        result.bytes[i] = raw[i];
    return result;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    // Parsed by hand rather than with uuid_parse so that the length is checked on the view
    // itself (an embedded NUL must not end the text early).
    if (text.size() != 36)
        return std::nullopt;
    Uuid result;
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (isHyphenPosition(i)) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        int high = hexValue(text[i]);
        int low = i + 1 < text.size() && !isHyphenPosition(i + 1) ? hexValue(text[i + 1]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        result.bytes[byte++] = static_cast<std::uint8_t>(high * 16 + low);
        i += 2;
    }
    return byte == 16 ? std::optional<Uuid>(result) : std::nullopt;
}

std::string Uuid::uuidString() const {
    uuid_t raw;
    for (std::size_t i = 0; i < 16; ++i)
        raw[i] = bytes[i];
    char text[37];
    uuid_unparse_upper(raw, text);
    return std::string(text, 36);
}

} // namespace vendrix
