#include "core/common/Utf8.h"

#include "core/common/Utf8Scalar.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vendrix::utf8 {

namespace {

/// Units handled per step of the ASCII fast paths.
constexpr std::size_t kAsciiBlock = 16;

/// True when the 16 units at `units` are all below U+0080; with SSE2 writes their bytes to
/// `out` (when given) in the same step.
inline bool asciiBlock(const char16_t* units, unsigned char* out) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8));
    const __m128i high =
        _mm_and_si128(_mm_or_si128(a, b), _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xFFFF)
        return false;
    if (out)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(a, b));
    return true;
#else
    std::uint64_t any = 0;
    for (std::size_t k = 0; k < kAsciiBlock; k += 4) {
        std::uint64_t four;
        std::memcpy(&four, units + k, 8);
        any |= four;
    }
    if (any & 0xFF80FF80FF80FF80ull)
        return false;
    if (out)
        for (std::size_t k = 0; k < kAsciiBlock; ++k)
            out[k] = static_cast<unsigned char>(units[k]);
    return true;
#endif
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes one character at `i`; returns its length in bytes and sets `scalar`, or returns the
// length of the maximal invalid subpart (at least 1) and sets `scalar` to U+FFFD.
std::size_t decodeOne(std::string_view bytes, std::size_t i, std::uint32_t& scalar) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const std::size_t left = bytes.size() - i;
    scalar = 0xFFFD;
    if (b0 < 0x80) {
        scalar = b0;
        return 1;
    }
    std::size_t need;
    unsigned char lo = 0x80, hi = 0xBF;
    std::uint32_t value;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        value = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        value = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0;
        else if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        value = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        return 1;
    }
    for (std::size_t k = 1; k <= need; ++k) {
        if (k >= left)
            return k;
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if (k == 1 ? (b < lo || b > hi) : !isContinuation(b))
            return k;
        value = (value << 6) | (b & 0x3F);
    }
    scalar = value;
    return need + 1;
}

} // namespace

std::u16string decode(std::string_view bytes) {
    std::u16string out;
    appendDecoded(out, bytes);
    return out;
}

std::string encode(std::u16string_view text) {
    std::string out;
    append(out, text);
    return out;
}

// Appends the UTF-8 form of `text`; writes through a pointer into storage sized exactly.
void append(std::string& out, std::u16string_view text) {
    const std::size_t n = text.size();
    std::size_t length = 0;
    for (std::size_t i = 0; i < n;) {
        // Mostly-ASCII text goes sixteen units at a time; any other block unit by unit.
        if (i + kAsciiBlock <= n && asciiBlock(text.data() + i, nullptr)) {
            length += kAsciiBlock;
            i += kAsciiBlock;
            continue;
        }
        const std::size_t blockEnd = std::min(n, i + kAsciiBlock);
        for (; i < blockEnd; ++i) {
            const char16_t c = text[i];
            if (c < 0x80) {
                length += 1;
            } else if (c < 0x800) {
                length += 2;
            } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
                       text[i + 1] <= 0xDFFF) {
                length += 4;
                ++i;
            } else {
                length += 3; // other units, and a lone surrogate written as U+FFFD
            }
        }
    }
    const std::size_t base = out.size();
    if (out.capacity() < base + length)
        out.reserve(base + length);
    out.resize_and_overwrite(base + length, [&](char* data, std::size_t) {
        auto* p = reinterpret_cast<unsigned char*>(data + base);
        std::size_t i = 0;
        std::size_t slowUntil = 0; // after a block that is not all ASCII, unit by unit
        while (i < n) {
            if (i >= slowUntil) {
                if (i + kAsciiBlock <= n && asciiBlock(text.data() + i, p)) {
                    p += kAsciiBlock;
                    i += kAsciiBlock;
                    continue;
                }
                slowUntil = i + kAsciiBlock;
            }
            std::uint32_t c = text[i++];
            if (c >= 0xD800 && c <= 0xDFFF) {
                if (c <= 0xDBFF && i < n && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
                    c = 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
                else
                    c = 0xFFFD;
            }
            p = writeScalar(c, p);
        }
        return base + length;
    });
}

// Appends the UTF-16 form of `bytes`; the storage is sized for the worst case (one unit per
// byte) and cut to the length written.
void appendDecoded(std::u16string& out, std::string_view bytes) {
    const std::size_t n = bytes.size();
    const std::size_t base = out.size();
    out.resize_and_overwrite(base + n, [&](char16_t* data, std::size_t) {
        char16_t* p = data + base;
        std::size_t i = 0;
        while (i < n) {
            while (i + 8 <= n) {
                std::uint64_t eight;
                std::memcpy(&eight, bytes.data() + i, 8);
                if (eight & 0x8080808080808080ull)
                    break;
                for (int k = 0; k < 8; ++k)
                    p[k] = static_cast<char16_t>(bytes[i + k]);
                p += 8;
                i += 8;
            }
            if (i >= n)
                break;
            std::uint32_t scalar;
            i += decodeOne(bytes, i, scalar);
            if (scalar >= 0x10000) {
                *p++ = static_cast<char16_t>(0xD800 + ((scalar - 0x10000) >> 10));
                *p++ = static_cast<char16_t>(0xDC00 + ((scalar - 0x10000) & 0x3FF));
            } else {
                *p++ = static_cast<char16_t>(scalar);
            }
        }
        return static_cast<std::size_t>(p - data);
    });
}

} // namespace vendrix::utf8
