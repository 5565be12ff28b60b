#include "core/text/UserFileDecoder.h"

#include "core/text/TextStorage.h"

#include <cstring>
#include <optional>
#include <thread>
#include <sys/mman.h>
#include <unistd.h>

namespace vendrix {

namespace {

/// Units for a file of `byteCount` bytes: its text never has more units than the file has
/// bytes (UTF-8 and single-byte encodings), plus the decoder's slack and the storage's gap.
/// The bytes sit at the end, at least byteCount + 2 × slack bytes after the front.
std::size_t capacityFor(std::uint64_t byteCount) {
    const auto bytes = static_cast<std::int64_t>(byteCount);
    return static_cast<std::size_t>(bytes + static_cast<std::int64_t>(textEncoding::kDecodeSlack) +
                                    TextStorage::gapToOpenWith(bytes));
}

bool isUTF16(TextEncoding encoding) {
    return encoding == TextEncoding::utf16LE || encoding == TextEncoding::utf16BE ||
           encoding == TextEncoding::utf16LENoBOM || encoding == TextEncoding::utf16BENoBOM;
}

/// Every CR LF pair and every lone CR become LF, in place; returns the new length.
std::size_t normalizeInPlace(char16_t* text, std::size_t length) {
    const void* found = nullptr;
    std::size_t write = 0;
    for (std::size_t i = 0; i < length; ++i)
        if (text[i] == u'\r') {
            found = text + i;
            write = i;
            break;
        }
    if (!found)
        return length;
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

/// Files from this size on have their text pages faulted in on a second thread.
constexpr std::uint64_t kTouchAsideBytes = std::uint64_t{32} << 20;

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
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(m_buffer.data());
    const std::uintptr_t from = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(bytes()) & ~(page - 1);
    if (to <= from)
        return;
#if defined(MADV_POPULATE_WRITE)
    if (::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) == 0)
        return;
#endif
    // Older kernels: one write a page. The pages are still untouched, so they read as zero.
    for (std::uintptr_t at = from; at < to; at += page)
        *reinterpret_cast<volatile char*>(at) = 0;
}

DecodedText InPlaceText::decode(std::uint64_t count, const DecodedPrefix& prefix,
                                std::size_t blockBytes) && {
    const std::string_view data(bytes(), static_cast<std::size_t>(std::min(count, m_byteCount)));
    const DetectedEncoding detected = TextFileCodec::detectEncoding(data);
    if (isUTF16(detected.encoding)) {
        // Two bytes a unit: the text would overtake its own bytes. Decode from a copy.
        std::string copy(data);
        std::u16string().swap(m_buffer);
        return TextFileCodec::decode(copy);
    }
    DecodedText result;
    result.isBinary = detected.isBinary;
    result.encoding = detected.encoding;
    const bool hasCR = std::memchr(data.data(), '\r', data.size()) != nullptr;
    char16_t* out = m_buffer.data();
    // Block by block, front to back: the same single forward pass, with the units written so
    // far final (and told) when no normalisation follows.
    const DecodedPrefix* tell = prefix && (result.isBinary || !hasCR) ? &prefix : nullptr;
    blockBytes = std::max<std::size_t>(blockBytes, 4);
    std::size_t units = 0;
    const auto inBlocks = [&](std::string_view body, bool utf8, TextEncoding encoding) {
        while (!body.empty()) {
            std::size_t take = std::min(blockBytes, body.size());
            // Valid UTF-8 splits only before a lead byte; one is at most three bytes back.
            while (utf8 && take < body.size() &&
                   (static_cast<unsigned char>(body[take]) & 0xC0) == 0x80)
                --take;
            const std::string_view block = body.substr(0, take);
            if (utf8) {
                units += textEncoding::decodeValidUTF8(block, out + units);
            } else {
                textEncoding::decodeSingleByte(encoding, block, out + units);
                units += block.size();
            }
            body.remove_prefix(take);
            if (tell)
                (*tell)(out, units);
        }
    };
    if (detected.encoding == TextEncoding::utf8 || detected.encoding == TextEncoding::utf8BOM) {
        std::string_view body = data;
        if (body.starts_with("\xEF\xBB\xBF"))
            body.remove_prefix(3);
        // Detection validated the whole of a file it calls UTF-8; one with a byte order mark
        // is checked here, and falls back to ISO-8859-1 like any undecodable file.
        if (detected.encoding == TextEncoding::utf8 || textEncoding::isValidUTF8(body)) {
            inBlocks(body, true, TextEncoding::utf8);
        } else {
            result.encoding = TextEncoding::isoLatin1;
            inBlocks(data, false, TextEncoding::isoLatin1);
        }
    } else {
        inBlocks(data, false, detected.encoding);
    }
    if (!result.isBinary && hasCR) {
        result.lineEnding = lineEnding::detect(std::u16string_view(out, units)).value_or(LineEnding::lf);
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

namespace UserFileDecoder {

std::expected<DecodedUserFile, UserFileError> read(const std::filesystem::path& path,
                                                   UserFileReadOptions options,
                                                   const DecodedPrefix& prefix) {
    if (options.memoryPerByte == 0)
        options.memoryPerByte = kMemoryPerByte;
    std::optional<InPlaceText> text;
    std::jthread toucher; // joined before `text` goes
    auto placed = UserFileReader::readInto(path, options, [&](std::uint64_t size) {
        text.emplace(size);
        // A large file's text pages are faulted in beside the read instead of after it.
        if (size >= kTouchAsideBytes)
            toucher = std::jthread([&text] { text->touchTextPages(); });
        return text->bytes();
    });
    if (toucher.joinable())
        toucher.join();
    if (!placed)
        return std::unexpected(placed.error());
    if (placed->grew) {
        // Appended to while being read: read it the general way, which follows growth.
        text.reset();
        auto contents = UserFileReader::read(path, options);
        if (!contents)
            return std::unexpected(contents.error());
        return DecodedUserFile{TextFileCodec::decode(contents->bytes), contents->stamp,
                               contents->endedEarly};
    }
    return DecodedUserFile{std::move(*text).decode(placed->size, prefix), placed->stamp,
                           placed->endedEarly};
}

} // namespace UserFileDecoder
} // namespace vendrix
