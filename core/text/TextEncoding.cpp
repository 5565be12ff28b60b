#include "core/text/TextEncoding.h"

#include "core/common/LargeString.h"
#include "core/common/Utf8.h"

#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vendrix::textEncoding {

namespace {

/// The user-facing labels, in case order.
constexpr std::string_view kDisplayNames[] = {
    "UTF-8",        "UTF-8 BOM",  "UTF-16 LE",           "UTF-16 BE",          "Windows-1254",
    "ISO-8859-9",   "ISO-8859-1", "UTF-16 LE (BOM'suz)", "UTF-16 BE (BOM'suz)",
};
static_assert(std::size(kDisplayNames) == allCases.size());

bool isUTF16(TextEncoding e) {
    return e == TextEncoding::utf16LE || e == TextEncoding::utf16BE ||
           e == TextEncoding::utf16LENoBOM || e == TextEncoding::utf16BENoBOM;
}
bool isLittleEndian16(TextEncoding e) {
    return e == TextEncoding::utf16LE || e == TextEncoding::utf16LENoBOM;
}
bool isSingleByte(TextEncoding e) {
    return e == TextEncoding::windows1254 || e == TextEncoding::isoLatin5 ||
           e == TextEncoding::isoLatin1;
}

// Bytes 80-9F of Windows-1254; the positions the standard leaves open keep their C1 value so
// that every byte decodes and the mapping stays a bijection.
constexpr char16_t kWindows1254High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x008E, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178};

/// The 256-entry decoding table of a single-byte encoding.
std::array<char16_t, 256> singleByteTable(TextEncoding e) {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[static_cast<size_t>(b)] = static_cast<char16_t>(b);
    if (e == TextEncoding::isoLatin1)
        return table;
    table[0xD0] = 0x011E;
    table[0xDD] = 0x0130;
    table[0xDE] = 0x015E;
    table[0xF0] = 0x011F;
    table[0xFD] = 0x0131;
    table[0xFE] = 0x015F;
    if (e == TextEncoding::windows1254)
        for (int b = 0x80; b < 0xA0; ++b)
            table[static_cast<size_t>(b)] = kWindows1254High[b - 0x80];
    return table;
}

/// How far walkUTF8() went: the bytes taken (fewer than given at the first invalid sequence)
/// and the UTF-16 units they make.
struct Walked {
    size_t bytes = 0;
    size_t units = 0;
};

/// Walks strict UTF-8 up to its first invalid sequence. With Write, stores UTF-16 at `out`,
/// which must have 16 units of slack past the decoded length.
template <bool Write>
Walked walkUTF8(const unsigned char* s, size_t n, char16_t* out) {
    size_t i = 0;
    size_t units = 0;
    while (i < n) {
#if defined(__SSE2__)
        // Sixteen ASCII bytes at a time: the common case in source files and logs.
        // The output has 16 units of slack past the end, so a widened block may always be
        // stored whole; only its ASCII prefix counts.
        while (i + 16 <= n) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(v));
            if constexpr (Write) {
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + units), _mm_unpacklo_epi8(v, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + units + 8),
                                 _mm_unpackhi_epi8(v, zero));
            }
            unsigned ascii = mask == 0 ? 16u : static_cast<unsigned>(__builtin_ctz(mask));
            i += ascii;
            units += ascii;
            if (mask != 0)
                break;
        }
        if (i >= n)
            break;
#endif
        unsigned b = s[i];
        if (b < 0x80) {
            if constexpr (Write)
                out[units] = static_cast<char16_t>(b);
            ++units;
            ++i;
            continue;
        }
        auto cont = [&](size_t at, unsigned lo, unsigned hi) {
            return at < n && s[at] >= lo && s[at] <= hi;
        };
        if (b < 0xC2)
            return {i, units}; // stray continuation byte or overlong two-byte form
        if (b < 0xE0) {
            if (!cont(i + 1, 0x80, 0xBF))
                return {i, units};
            if constexpr (Write)
                out[units] = static_cast<char16_t>(((b & 0x1F) << 6) | (s[i + 1] & 0x3F));
            ++units;
            i += 2;
        } else if (b < 0xF0) {
            unsigned lo = b == 0xE0 ? 0xA0 : 0x80; // no overlongs
            unsigned hi = b == 0xED ? 0x9F : 0xBF; // no surrogates
            if (!cont(i + 1, lo, hi) || !cont(i + 2, 0x80, 0xBF))
                return {i, units};
            if constexpr (Write)
                out[units] = static_cast<char16_t>(((b & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) |
                                                   (s[i + 2] & 0x3F));
            ++units;
            i += 3;
        } else if (b < 0xF5) {
            unsigned lo = b == 0xF0 ? 0x90 : 0x80; // no overlongs
            unsigned hi = b == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
            if (!cont(i + 1, lo, hi) || !cont(i + 2, 0x80, 0xBF) || !cont(i + 3, 0x80, 0xBF))
                return {i, units};
            if constexpr (Write) {
                char32_t cp = ((b & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) |
                              ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
                cp -= 0x10000;
                out[units] = static_cast<char16_t>(0xD800 + (cp >> 10));
                out[units + 1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            }
            units += 2;
            i += 4;
        } else {
            return {i, units};
        }
    }
    return {i, units};
}

std::expected<std::u16string, TextEncodingError> decodeUTF8(TextEncoding e, std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    // One pass that validates and decodes: UTF-16 never needs more units than UTF-8 has
    // bytes, plus slack for the last widened block.
    Walked walked;
    std::u16string text = buildUTF16String(bytes.size() + 16, [&](char16_t* out) {
        walked = walkUTF8<true>(s, bytes.size(), out);
        return walked.bytes < bytes.size() ? 0 : walked.units;
    });
    if (walked.bytes < bytes.size())
        return std::unexpected(TextEncodingError::invalidData(e));
    return text;
}

std::expected<std::u16string, TextEncodingError> decodeUTF16(TextEncoding e, std::string_view bytes) {
    const bool little = isLittleEndian16(e);
    if (bytes.size() >= 2) {
        auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
        if ((little && b0 == 0xFF && b1 == 0xFE) || (!little && b0 == 0xFE && b1 == 0xFF))
            bytes.remove_prefix(2);
    }
    if (bytes.size() % 2 != 0)
        return std::unexpected(TextEncodingError::invalidData(e));
    const size_t count = bytes.size() / 2;
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    std::u16string text = buildUTF16String(count, [&](char16_t* out) {
        if (little && std::endian::native == std::endian::little) {
            std::memcpy(out, s, count * 2);
        } else {
            for (size_t i = 0; i < count; ++i)
                out[i] = little ? static_cast<char16_t>(s[2 * i] | (s[2 * i + 1] << 8))
                                : static_cast<char16_t>((s[2 * i] << 8) | s[2 * i + 1]);
        }
        return count;
    });
    for (size_t i = 0; i < count; ++i) {
        char16_t c = text[i];
        if (c < 0xD800 || c > 0xDFFF)
            continue;
        if (c >= 0xDC00 || i + 1 == count || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
            return std::unexpected(TextEncodingError::invalidData(e));
        ++i;
    }
    return text;
}

std::u16string decodeSingleByte(TextEncoding e, std::string_view bytes) {
    const auto table = singleByteTable(e);
    return buildUTF16String(bytes.size(), [&](char16_t* out) {
        for (size_t i = 0; i < bytes.size(); ++i)
            out[i] = table[static_cast<unsigned char>(bytes[i])];
        return bytes.size();
    });
}

std::string encodeUTF8(bool bom, std::u16string_view text) {
    std::string out;
    if (bom)
        out.append("\xEF\xBB\xBF");
    utf8::append(out, text); // a lone surrogate has no UTF-8 form and becomes U+FFFD
    return out;
}

std::string encodeUTF16(TextEncoding e, std::u16string_view text) {
    const bool little = isLittleEndian16(e);
    std::string out;
    out.reserve(2 * text.size() + 2);
    if (writesBOM(e))
        out.append(little ? "\xFF\xFE" : "\xFE\xFF");
    const size_t start = out.size();
    out.resize(start + 2 * text.size());
    auto* dst = reinterpret_cast<unsigned char*>(out.data() + start);
    if (little && std::endian::native == std::endian::little) {
        std::memcpy(dst, text.data(), text.size() * 2);
    } else {
        for (size_t i = 0; i < text.size(); ++i) {
            auto lo = static_cast<unsigned char>(text[i] & 0xFF);
            auto hi = static_cast<unsigned char>(text[i] >> 8);
            dst[2 * i] = little ? lo : hi;
            dst[2 * i + 1] = little ? hi : lo;
        }
    }
    return out;
}

std::expected<std::string, TextEncodingError> encodeSingleByte(TextEncoding e,
                                                               std::u16string_view text) {
    // The exact inverse of the decoding table.
    const auto table = singleByteTable(e);
    std::array<std::int16_t, 256> low{};
    low.fill(-1);
    std::vector<std::pair<char16_t, unsigned char>> high;
    for (int b = 0; b < 256; ++b) {
        char16_t cp = table[static_cast<size_t>(b)];
        if (cp < 256)
            low[cp] = static_cast<std::int16_t>(b);
        else
            high.emplace_back(cp, static_cast<unsigned char>(b));
    }
    std::string out;
    out.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        char16_t c = text[i];
        int byte = -1;
        if (c < 256) {
            byte = low[c];
        } else if (c < 0xD800 || c > 0xDFFF) {
            for (const auto& [cp, b] : high)
                if (cp == c)
                    byte = b;
        }
        if (byte < 0) {
            std::u16string character(1, c);
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF)
                character.push_back(text[i + 1]);
            return std::unexpected(TextEncodingError::unencodable(
                e, static_cast<std::int64_t>(i), std::move(character)));
        }
        out.push_back(static_cast<char>(byte));
    }
    return out;
}

} // namespace

std::string_view displayName(TextEncoding encoding) {
    return kDisplayNames[cases.indexOf(encoding)];
}

bool writesBOM(TextEncoding encoding) {
    return encoding == TextEncoding::utf8BOM || encoding == TextEncoding::utf16LE ||
           encoding == TextEncoding::utf16BE;
}

bool isValidUTF8(std::string_view bytes) {
    return walkUTF8<false>(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                           nullptr)
               .bytes == bytes.size();
}

std::size_t decodeValidUTF8(std::string_view bytes, char16_t* out) {
    const DecodedUTF8 decoded = decodeUTF8Prefix(bytes, out);
    return decoded.bytes == bytes.size() ? decoded.units : 0;
}

DecodedUTF8 decodeUTF8Prefix(std::string_view bytes, char16_t* out) {
    const Walked walked =
        walkUTF8<true>(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out);
    return {walked.bytes, walked.units};
}

void decodeSingleByte(TextEncoding encoding, std::string_view bytes, char16_t* out) {
    const auto table = singleByteTable(encoding);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < bytes.size(); ++i)
        out[i] = table[s[i]];
}

std::expected<std::u16string, TextEncodingError> decode(TextEncoding encoding,
                                                        std::string_view bytes) {
    if (isUTF16(encoding))
        return decodeUTF16(encoding, bytes);
    if (isSingleByte(encoding))
        return decodeSingleByte(encoding, bytes);
    return decodeUTF8(encoding, bytes);
}

std::expected<std::string, TextEncodingError> encode(TextEncoding encoding,
                                                     std::u16string_view text) {
    if (isUTF16(encoding))
        return encodeUTF16(encoding, text);
    if (isSingleByte(encoding))
        return encodeSingleByte(encoding, text);
    return encodeUTF8(encoding == TextEncoding::utf8BOM, text);
}

} // namespace vendrix::textEncoding
