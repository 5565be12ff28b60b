#include "core/text/InPlaceText.h"

#include "core/common/Utf8.h"
#include "core/text/TextStorage.h"

#include <algorithm>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace vendrix {

namespace {

/// Units for a file of `byteCount` bytes: its text never has more units than the file has
/// bytes (UTF-8 and single-byte encodings), plus the decoder's slack and the storage's gap.
/// The bytes sit at the end, at least byteCount + 2 × slack bytes after the front: decoding
/// byte k onwards writes from unit k at the latest, so it never reaches a byte not yet read.
std::size_t capacityFor(std::uint64_t byteCount) {
    const auto bytes = static_cast<std::int64_t>(byteCount);
    return static_cast<std::size_t>(bytes + static_cast<std::int64_t>(textEncoding::kDecodeSlack) +
                                    TextStorage::gapToOpenWith(bytes));
}

/// Every CR LF pair and every lone CR become LF, in place; returns the new length.
std::size_t normalizeInPlace(char16_t* text, std::size_t length) {
    const char16_t* found = std::find(text, text + length, u'\r');
    std::size_t write = static_cast<std::size_t>(found - text);
    for (std::size_t read = write; read < length; ++read) {
        const char16_t c = text[read];
        if (c == u'\r') {
            text[write++] = u'\n';
            if (read + 1 < length && text[read + 1] == u'\n')
                ++read;
        } else {
            text[write++] = c;
        }
    }
    return write;
}

/// Bytes at the end of `size` bytes that begin a UTF-8 character not complete within them.
std::size_t incompleteTail(const char* bytes, std::size_t size) {
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, size); ++back) {
        const auto b = static_cast<unsigned char>(bytes[size - back]);
        if ((b & 0xC0) == 0x80)
            continue;
        const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

/// Units turned back into bytes this many at a time.
constexpr std::size_t kRedoChunk = std::size_t{1} << 16;

} // namespace

InPlaceText::InPlaceText(std::uint64_t byteCount) : m_byteCount(byteCount) {
    const std::size_t units = capacityFor(byteCount);
    // Sized without being written: untouched pages cost nothing until the bytes arrive.
    m_buffer.resize_and_overwrite(units, [units](char16_t*, std::size_t) { return units; });
}

char* InPlaceText::bytes() {
    return reinterpret_cast<char*>(m_buffer.data()) + 2 * m_buffer.size() - m_byteCount;
}

void InPlaceText::touchTextPages() {
#if defined(MADV_POPULATE_WRITE)
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(m_buffer.data());
    const std::uintptr_t from = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(bytes()) & ~(page - 1);
    // In slices: populating holds the address space's lock, and a thread being started (its
    // stack mapped) meanwhile would wait for all of it. Where the kernel cannot populate,
    // the decoder faults the pages in itself: writing to them here could undo its text.
    constexpr std::uintptr_t kSlice = std::uintptr_t{32} << 20;
    for (std::uintptr_t at = from; at < to; at += kSlice)
        if (::madvise(reinterpret_cast<void*>(at), std::min(kSlice, to - at), MADV_POPULATE_WRITE) != 0)
            return;
#endif
}

bool InPlaceText::decodeArrived(std::uint64_t arrived, const DecodedPrefix& prefix,
                                std::size_t blockBytes) {
    return advance(std::min(arrived, m_byteCount), false, prefix, blockBytes);
}

void InPlaceText::tell(const DecodedPrefix& prefix) {
    if (prefix && m_units > m_told) {
        m_told = m_units;
        prefix(m_buffer.data(), m_units);
    }
}

bool InPlaceText::decodeUTF8(const char* block, std::size_t from, std::size_t to) {
    const textEncoding::DecodedUTF8 decoded = textEncoding::decodeUTF8Prefix(
        std::string_view(block + from, to - from), m_buffer.data() + m_units);
    m_decodedBytes += decoded.bytes;
    m_units += decoded.units;
    return decoded.bytes == to - from;
}

bool InPlaceText::advance(std::uint64_t end, bool last, const DecodedPrefix& prefix,
                          std::size_t blockBytes) {
    const char* data = bytes();
    if (m_guess == Guess::undecided) {
        // The sample decides everything but UTF-8 against a single-byte encoding.
        if (!last && end < std::min<std::uint64_t>(m_byteCount, TextFileCodec::kSampleSize))
            return true;
        const auto found = TextFileCodec::detectFromSample(std::string_view(data, end));
        if (!found) {
            m_guess = Guess::utf8;
        } else if (found->encoding == TextEncoding::utf8BOM) {
            m_guess = Guess::utf8BOM;
            m_hasBOM = true;
            m_decodedBytes = 3;
        } else {
            m_guess = found->isBinary ? Guess::binary : Guess::utf16;
        }
    }
    if (m_guess == Guess::utf16 || m_guess == Guess::notUTF8)
        return false;
    blockBytes = std::max<std::size_t>(blockBytes, 4);
    while (m_decodedBytes < end) {
        std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes, end - m_decodedBytes));
        const char* block = data + m_decodedBytes;
        if (m_guess == Guess::binary) {
            textEncoding::decodeSingleByte(TextEncoding::isoLatin1, std::string_view(block, take),
                                           m_buffer.data() + m_units);
            m_decodedBytes += take;
            m_units += take;
            tell(prefix); // shown as read: no line break changes
            continue;
        }
        // A block ends on a character's end unless the bytes end there for good.
        if (!last || m_decodedBytes + take < end)
            take -= incompleteTail(block, take);
        if (take == 0)
            break; // the rest of a character has not arrived
        // Bytes just read, and about to be decoded: looking for a NUL costs little here.
        if (!m_sawNul)
            m_sawNul = std::memchr(block, '\0', take) != nullptr;
        std::size_t cr = take;
        if (!m_sawCR)
            if (const void* found = std::memchr(block, '\r', take))
                cr = static_cast<std::size_t>(static_cast<const char*>(found) - block);
        if (!decodeUTF8(block, 0, cr)) {
            m_guess = Guess::notUTF8;
            return false;
        }
        if (cr < take) {
            // Normalising changes nothing before the first CR: those units are final.
            tell(prefix);
            m_sawCR = true;
            if (!decodeUTF8(block, cr, take)) {
                m_guess = Guess::notUTF8;
                return false;
            }
        }
        if (!m_sawCR)
            tell(prefix);
    }
    return true;
}

TextEncoding InPlaceText::redoAsSingleByte(std::uint64_t count) {
    char16_t* text = m_buffer.data();
    const std::u16string_view decoded(text, m_units);
    const std::string_view rest(bytes() + m_decodedBytes, static_cast<std::size_t>(count - m_decodedBytes));
    // The units decoded so far came from valid UTF-8: encoding them again gives back exactly
    // the bytes they came from, a chunk at a time.
    std::string chunk;
    TextEncoding encoding = TextEncoding::isoLatin1;
    if (!m_hasBOM) {
        bool windows = TextFileCodec::hasWindows1254Byte(rest);
        for (std::size_t at = 0; !windows && at < m_units;) {
            std::size_t upTo = std::min(m_units, at + kRedoChunk);
            if (upTo < m_units && isHighSurrogate(text[upTo - 1]))
                ++upTo;
            chunk.clear();
            utf8::append(chunk, decoded.substr(at, upTo - at));
            windows = TextFileCodec::hasWindows1254Byte(chunk);
            at = upTo;
        }
        if (windows)
            encoding = TextEncoding::windows1254;
    }
    // Back to front: a character never has fewer bytes than units, so the units a chunk's
    // bytes decode to land at or after the units they were made from, which are read by then.
    // They end before the bytes not yet decoded, which are decoded last, front to back.
    std::size_t write = static_cast<std::size_t>(m_decodedBytes);
    for (std::size_t upTo = m_units; upTo > 0;) {
        std::size_t from = upTo > kRedoChunk ? upTo - kRedoChunk : 0;
        if (from > 0 && isLowSurrogate(text[from]))
            --from;
        chunk.clear();
        utf8::append(chunk, decoded.substr(from, upTo - from));
        write -= chunk.size();
        textEncoding::decodeSingleByte(encoding, chunk, text + write);
        upTo = from;
    }
    if (m_hasBOM)
        textEncoding::decodeSingleByte(encoding, "\xEF\xBB\xBF", text);
    textEncoding::decodeSingleByte(encoding, rest, text + m_decodedBytes);
    m_units = static_cast<std::size_t>(count);
    m_decodedBytes = count;
    return encoding;
}

DecodedText InPlaceText::decode(std::uint64_t count, const DecodedPrefix& prefix,
                                std::size_t blockBytes) && {
    count = std::min(count, m_byteCount);
    advance(count, true, prefix, blockBytes);
    if (m_guess == Guess::utf16) {
        // Two bytes a unit: the text would overtake its own bytes. Decode from a copy.
        std::string copy(bytes(), static_cast<std::size_t>(count));
        std::u16string().swap(m_buffer);
        return TextFileCodec::decode(copy);
    }
    DecodedText result;
    char16_t* out = m_buffer.data();
    bool hasCR = m_sawCR;
    if (m_guess == Guess::notUTF8) {
        // Decoded as UTF-8 until a byte that is not: the single-byte text replaces it.
        if (prefix && m_told > 0)
            prefix(out, 0);
        m_told = 0;
        hasCR = hasCR || std::memchr(bytes() + m_decodedBytes, '\r', count - m_decodedBytes);
        m_sawNul = m_sawNul || std::memchr(bytes() + m_decodedBytes, '\0', count - m_decodedBytes);
        result.encoding = redoAsSingleByte(count);
    } else {
        result.encoding = m_guess == Guess::binary    ? TextEncoding::isoLatin1
                          : m_guess == Guess::utf8BOM ? TextEncoding::utf8BOM
                                                      : TextEncoding::utf8;
        result.isBinary = m_guess == Guess::binary;
    }
    std::size_t units = m_units;
    result.holdsNul = !result.isBinary && m_sawNul;
    if (!result.isBinary && hasCR) {
        const lineEnding::Survey found = lineEnding::survey(std::u16string_view(out, units));
        result.lineEnding = found.dominant.value_or(LineEnding::lf);
        result.mixedLineEndings = found.mixed;
        units = normalizeInPlace(out, units);
    }

    // Give back the pages past the text and its gap: they held the bytes, now decoded.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto base = reinterpret_cast<std::uintptr_t>(out);
    const std::uintptr_t keep =
        base + 2 * (units + static_cast<std::size_t>(
                                TextStorage::gapToOpenWith(static_cast<std::int64_t>(units))));
    const std::uintptr_t from = (keep + page - 1) & ~(page - 1);
    const std::uintptr_t to = (base + 2 * m_buffer.size()) & ~(page - 1);
    if (to > from + (std::uintptr_t{1} << 20))
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);

    m_buffer.resize(units);
    result.text = std::move(m_buffer);
    return result;
}

} // namespace vendrix
