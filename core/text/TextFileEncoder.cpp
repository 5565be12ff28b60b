#include "core/text/TextFileEncoder.h"

#include "core/common/Utf8Scalar.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vendrix {

namespace {

constexpr std::size_t kBlock = 16;

bool isLittleEndian16(TextEncoding e) {
    return e == TextEncoding::utf16LE || e == TextEncoding::utf16LENoBOM;
}
bool isUTF16(TextEncoding e) {
    return isLittleEndian16(e) || e == TextEncoding::utf16BE || e == TextEncoding::utf16BENoBOM;
}
bool isSingleByte(TextEncoding e) {
    return e == TextEncoding::windows1254 || e == TextEncoding::isoLatin5 ||
           e == TextEncoding::isoLatin1;
}
bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::string_view byteOrderMark(TextEncoding e) {
    switch (e) {
    case TextEncoding::utf8BOM:
        return "\xEF\xBB\xBF";
    case TextEncoding::utf16LE:
        return "\xFF\xFE";
    case TextEncoding::utf16BE:
        return "\xFE\xFF";
    default:
        return {};
    }
}

/// What one step of the ASCII fast path did: units of text read, bytes written.
struct AsciiRun {
    std::size_t units = 0;
    std::size_t bytes = 0;
};

/// The ASCII units at the start of the sixteen at `units`, narrowed to bytes with the line
/// ending applied, written to `out` (which has room for 32 bytes). Stops before the first unit
/// outside ASCII; none: nothing read.
inline AsciiRun asciiRun(const char16_t* units, unsigned char* out, LineEnding ending) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8));
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    const __m128i asciiA = _mm_cmpeq_epi16(_mm_and_si128(a, high), zero);
    const __m128i asciiB = _mm_cmpeq_epi16(_mm_and_si128(b, high), zero);
    // Bit k set: unit k is ASCII.
    const auto ascii = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(asciiA, asciiB)));
    const auto count = static_cast<std::size_t>(std::countr_zero(~ascii)); // 0...16
    if (count == 0)
        return {};
    __m128i bytes = _mm_packus_epi16(a, b); // lanes past `count` are never used
    if (ending != LineEnding::lf) {
        const __m128i lf = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'));
        const unsigned kept = count == kBlock ? 0xFFFFu : (1u << count) - 1;
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(lf)) & kept;
        if (mask != 0) {
            if (ending == LineEnding::cr) {
                bytes = _mm_or_si128(_mm_andnot_si128(lf, bytes),
                                     _mm_and_si128(lf, _mm_set1_epi8('\r')));
            } else {
                alignas(16) unsigned char block[kBlock];
                _mm_store_si128(reinterpret_cast<__m128i*>(block), bytes);
                std::size_t written = 0, start = 0;
                while (mask != 0) {
                    const unsigned at = static_cast<unsigned>(std::countr_zero(mask));
                    mask &= mask - 1;
                    std::memcpy(out + written, block + start, at - start);
                    written += at - start;
                    out[written++] = '\r';
                    out[written++] = '\n';
                    start = at + 1;
                }
                std::memcpy(out + written, block + start, count - start);
                return {count, written + count - start};
            }
        }
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
    return {count, count};
#else
    (void)units;
    (void)out;
    (void)ending;
    return {}; // the unit-by-unit path handles everything
#endif
}

} // namespace

TextFileEncoder::TextFileEncoder(std::u16string_view text, TextEncoding encoding,
                                 LineEnding lineEnding, std::size_t pieceUnits)
    : TextFileEncoder(nullptr, text, encoding, lineEnding, pieceUnits) {}

TextFileEncoder::TextFileEncoder(const TextSource& source, TextEncoding encoding,
                                 LineEnding lineEnding, std::size_t pieceUnits)
    : TextFileEncoder(&source, {}, encoding, lineEnding, pieceUnits) {}

TextFileEncoder::TextFileEncoder(const TextSource* source, std::u16string_view text,
                                 TextEncoding encoding, LineEnding lineEnding,
                                 std::size_t pieceUnits)
    : m_source(source), m_text(text), m_encoding(encoding), m_lineEnding(lineEnding),
      m_pieceUnits(std::max<std::size_t>(pieceUnits, 1)) {
    if (m_source)
        m_window.reserve(m_pieceUnits + 1);
    // At most four bytes per unit (a UTF-16 CR LF), a surrogate's partner, the byte order
    // mark and room for one whole block past the end.
    m_buffer = std::make_unique<unsigned char[]>(maxPieceBytes());
    if (isSingleByte(encoding)) {
        // The exact inverse of the decoding table, as the whole-text encoder builds it.
        m_inverse = std::make_unique<std::array<std::uint8_t, 65536>>();
        m_inverse->fill(0);
        std::string all(256, '\0');
        for (int b = 0; b < 256; ++b)
            all[static_cast<std::size_t>(b)] = static_cast<char>(b);
        const std::u16string decoded = textEncoding::decode(encoding, all).value_or(u"");
        for (std::size_t b = 0; b < decoded.size(); ++b)
            (*m_inverse)[decoded[b]] = static_cast<std::uint8_t>(b + 1 > 255 ? 0 : b + 1);
        // Byte FF maps to +1 = 256, which the table cannot hold: the one code point that
        // decodes from FF is U+00FF in all three code pages, handled below.
    }
}

TextFileEncoder::~TextFileEncoder() = default;

void TextFileEncoder::restart() {
    m_position = 0;
    m_insertedUnits = 0;
    m_wroteBOM = false;
    m_error.reset();
}

std::size_t TextFileEncoder::maxPieceBytes() const {
    return 4 * (m_pieceUnits + 1) + 4 + 4 * kBlock;
}

std::string_view TextFileEncoder::next() { return next(m_buffer.get()); }

std::string_view TextFileEncoder::next(unsigned char* out) {
    if (m_error)
        return {};
    std::size_t written = 0;
    if (!m_wroteBOM) {
        m_wroteBOM = true;
        const std::string_view bom = byteOrderMark(m_encoding);
        if (!bom.empty()) // most encodings have none, and its data() may then be null
            std::memcpy(out, bom.data(), bom.size());
        written = bom.size();
    }
    const std::size_t length = this->length();
    if (m_position < length) {
        const std::size_t from = m_position;
        std::size_t to = std::min(length, from + m_pieceUnits);
        // The piece, with one unit more where there is one: a surrogate pair is encoded as one
        // character and never split between pieces.
        const std::size_t seen = std::min(length, to + 1) - from;
        std::u16string_view piece;
        if (m_source) {
            m_window.resize(seen);
            m_source->copyUnits({static_cast<std::int64_t>(from), static_cast<std::int64_t>(seen)},
                                m_window.data());
            piece = m_window;
        } else {
            piece = m_text.substr(from, seen);
        }
        std::size_t count = to - from;
        if (count < seen && isHigh(piece[count - 1]) && isLow(piece[count]))
            ++count;
        m_piece = piece.substr(0, count);
        std::size_t done = count;
        if (isUTF16(m_encoding))
            written += encodeUTF16(count, out + written);
        else if (isSingleByte(m_encoding))
            written += encodeSingleByte(count, out + written, done);
        else
            written += encodeUTF8(count, out + written);
        m_position = from + done;
    }
    return {reinterpret_cast<const char*>(out), written};
}

std::size_t TextFileEncoder::encodeUTF8(std::size_t to, unsigned char* out) {
    const char16_t* text = m_piece.data();
    unsigned char* p = out;
    std::size_t i = 0;
    while (i < to) {
        if (i + kBlock <= to) {
            const AsciiRun run = asciiRun(text + i, p, m_lineEnding);
            p += run.bytes;
            i += run.units;
            if (run.units == kBlock)
                continue;
        }
        // Unit by unit up to the first character outside ASCII, then blocks again.
        const std::size_t blockEnd = std::min(to, i + kBlock);
        while (i < blockEnd) {
            std::uint32_t c = text[i++];
            if (c == '\n') {
                if (m_lineEnding != LineEnding::lf)
                    *p++ = '\r';
                if (m_lineEnding != LineEnding::cr)
                    *p++ = '\n';
                continue;
            }
            if (c >= 0xD800 && c <= 0xDFFF) {
                // A lone surrogate has no UTF-8 form; it is written as U+FFFD.
                if (c <= 0xDBFF && i < to && isLow(text[i]))
                    c = 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00u);
                else
                    c = 0xFFFD;
            }
            p = utf8::writeScalar(c, p);
            if (c >= 0x80)
                break;
        }
    }
    return static_cast<std::size_t>(p - out);
}

std::size_t TextFileEncoder::encodeUTF16(std::size_t to, unsigned char* out) {
    const bool little = isLittleEndian16(m_encoding);
    const char16_t* text = m_piece.data();
    unsigned char* p = out;
    auto put = [&](char16_t unit) {
        const auto lo = static_cast<unsigned char>(unit & 0xFF);
        const auto hi = static_cast<unsigned char>(unit >> 8);
        *p++ = little ? lo : hi;
        *p++ = little ? hi : lo;
    };
    std::size_t i = 0;
    while (i < to) {
#if defined(__SSE2__)
        // Eight units at a time; CR LF needs room to grow and goes unit by unit.
        if (i + 8 <= to) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
            const __m128i lf = _mm_cmpeq_epi16(v, _mm_set1_epi16('\n'));
            const bool hasLF = _mm_movemask_epi8(lf) != 0;
            if (!hasLF || m_lineEnding != LineEnding::crlf) {
                if (hasLF && m_lineEnding == LineEnding::cr)
                    v = _mm_or_si128(_mm_andnot_si128(lf, v), _mm_and_si128(lf, _mm_set1_epi16('\r')));
                if (little != (std::endian::native == std::endian::little))
                    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
                p += 16;
                i += 8;
                continue;
            }
        }
#endif
        const std::size_t blockEnd = std::min(to, i + 8);
        for (; i < blockEnd; ++i) {
            const char16_t c = text[i];
            if (c == u'\n' && m_lineEnding != LineEnding::lf) {
                put(u'\r');
                if (m_lineEnding == LineEnding::crlf)
                    put(u'\n');
            } else {
                put(c);
            }
        }
    }
    return static_cast<std::size_t>(p - out);
}

std::size_t TextFileEncoder::encodeSingleByte(std::size_t to, unsigned char* out,
                                              std::size_t& done) {
    const char16_t* text = m_piece.data();
    const auto& inverse = *m_inverse;
    unsigned char* p = out;
    std::size_t i = 0;
    while (i < to) {
        if (i + kBlock <= to) {
            const AsciiRun run = asciiRun(text + i, p, m_lineEnding);
            p += run.bytes;
            m_insertedUnits += static_cast<std::int64_t>(run.bytes - run.units);
            i += run.units;
            if (run.units == kBlock)
                continue;
        }
        const std::size_t blockEnd = std::min(to, i + kBlock);
        for (; i < blockEnd; ++i) {
            const char16_t c = text[i];
            if (c == u'\n') {
                if (m_lineEnding != LineEnding::lf)
                    *p++ = '\r';
                if (m_lineEnding == LineEnding::crlf) {
                    *p++ = '\n';
                    ++m_insertedUnits;
                } else if (m_lineEnding == LineEnding::lf) {
                    *p++ = '\n';
                }
                continue;
            }
            if (c < 0x80) {
                *p++ = static_cast<unsigned char>(c);
                continue;
            }
            int byte = c == 0xFF ? 0xFF : static_cast<int>(inverse[c]) - 1;
            if (byte < 0) {
                std::u16string character(1, c);
                if (isHigh(c) && i + 1 < to && isLow(text[i + 1]))
                    character.push_back(text[i + 1]);
                m_error = TextEncodingError::unencodable(
                    m_encoding, static_cast<std::int64_t>(m_position + i) + m_insertedUnits,
                    std::move(character));
                done = i;
                return static_cast<std::size_t>(p - out);
            }
            *p++ = static_cast<unsigned char>(byte);
            ++i; // up to the first character outside ASCII, then blocks again
            break;
        }
    }
    return static_cast<std::size_t>(p - out);
}

} // namespace vendrix
