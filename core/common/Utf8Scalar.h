#pragma once

#include <cstddef>
#include <cstdint>

namespace vendrix::utf8 {

/// Writes the one to four UTF-8 bytes of scalar value `c` at `p`; returns the end.
inline unsigned char* writeScalar(std::uint32_t c, unsigned char* p) {
    if (c < 0x80) {
        *p++ = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
        *p++ = static_cast<unsigned char>(0xC0 | (c >> 6));
        *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *p++ = static_cast<unsigned char>(0xE0 | (c >> 12));
        *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        *p++ = static_cast<unsigned char>(0xF0 | (c >> 18));
        *p++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
    return p;
}

} // namespace vendrix::utf8
