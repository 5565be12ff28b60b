#include "core/text/TextStorage.h"
#include "core/text/UserFileDecoder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>
#include <unistd.h>

namespace vendrix {
namespace {

namespace fs = std::filesystem;

DecodedText decodeInPlace(std::string_view bytes) {
    InPlaceText text(bytes.size());
    std::memcpy(text.bytes(), bytes.data(), bytes.size());
    return std::move(text).decode(bytes.size());
}

/// Random file contents of the kinds that take different paths: ASCII runs ending on both
/// sides of the 16-byte blocks, multi-byte characters across block edges, broken UTF-8, CR
/// and CR LF, byte order marks, NUL-heavy (binary) data and UTF-16.
std::string randomFile(std::mt19937& rng) {
    static const char* pieces[] = {"a", "0123456789abcde", "\n", "\r\n", "\r", "ç", "Ğ", "€",
                                   "中", "\xF0\x9F\x98\x80", "\t", " "};
    std::string bytes;
    const int kind = static_cast<int>(rng() % 8);
    if (kind == 0)
        bytes = "\xEF\xBB\xBF";
    if (kind == 1)
        bytes = "\xFF\xFE";
    const int count = static_cast<int>(rng() % 120);
    for (int i = 0; i < count; ++i) {
        if (kind == 1) {
            bytes += static_cast<char>('a' + rng() % 26);
            bytes += rng() % 20 == 0 ? '\xD8' : '\0';
        } else if (kind == 2 && rng() % 25 == 0) {
            bytes += static_cast<char>(0x80 + rng() % 128); // invalid UTF-8, single-byte guess
        } else if (kind == 3 && rng() % 10 == 0) {
            bytes += '\0'; // binary-looking
        } else {
            bytes += pieces[rng() % std::size(pieces)];
        }
    }
    if (kind == 4 && !bytes.empty())
        bytes.pop_back(); // may cut a multi-byte character: invalid at the very end
    return bytes;
}

TEST(InPlaceTextTest, DecodesExactlyLikeTheCodec) {
    std::mt19937 rng(20);
    for (int round = 0; round < 4000; ++round) {
        const std::string bytes = randomFile(rng);
        const DecodedText expected = TextFileCodec::decode(bytes);
        const DecodedText decoded = decodeInPlace(bytes);
        ASSERT_EQ(decoded, expected) << "round " << round;
        if (expected.encoding == TextEncoding::utf8) {
            // Room for the storage's gap is kept, so opening does not copy the text again.
            const auto length = static_cast<std::int64_t>(decoded.text.size());
            EXPECT_GE(static_cast<std::int64_t>(decoded.text.capacity()),
                      length + TextStorage::gapToOpenWith(length));
        }
    }
    // Pure ASCII of every length around the vector blocks, with one non-ASCII character at
    // each position near the end.
    for (std::size_t length = 0; length < 70; ++length) {
        std::string ascii(length, 'x');
        for (std::size_t i = 0; i < length; ++i)
            ascii[i] = static_cast<char>('!' + (i * 7) % 90);
        ASSERT_EQ(decodeInPlace(ascii), TextFileCodec::decode(ascii)) << length;
        for (std::size_t at = length > 40 ? length - 40 : 0; at < length; ++at) {
            std::string mixed = ascii;
            mixed.replace(at, 1, "ş");
            ASSERT_EQ(decodeInPlace(mixed), TextFileCodec::decode(mixed)) << length << " " << at;
        }
    }
}

TEST(InPlaceTextTest, DecodedBlockByBlockTellsOnlyFinalUnits) {
    // Tiny blocks put block edges inside multi-byte characters and next to CRs; every prefix
    // told must already be the final text's, and the whole must equal the codec's.
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        const std::string bytes = randomFile(rng);
        const std::size_t block = 4 + rng() % 9;
        const DecodedText expected = TextFileCodec::decode(bytes);
        std::vector<std::u16string> told;
        InPlaceText text(bytes.size());
        std::memcpy(text.bytes(), bytes.data(), bytes.size());
        const DecodedText decoded = std::move(text).decode(
            bytes.size(), [&](const char16_t* units, std::size_t count) { told.emplace_back(units, count); },
            block);
        ASSERT_EQ(decoded, expected) << "round " << round;
        std::size_t previous = 0;
        for (const std::u16string& prefix : told) {
            ASSERT_GT(prefix.size(), previous) << "round " << round;
            ASSERT_EQ(prefix, decoded.text.substr(0, prefix.size())) << "round " << round;
            previous = prefix.size();
        }
        // Told to the end exactly when nothing changes after decoding.
        const bool final = (told.empty() ? 0 : told.back().size()) == decoded.text.size();
        const bool normalised = !decoded.isBinary && bytes.find('\r') != std::string::npos;
        const TextEncoding detected = TextFileCodec::detectEncoding(bytes).encoding;
        const bool utf16 = detected == TextEncoding::utf16LE || detected == TextEncoding::utf16BE ||
                           detected == TextEncoding::utf16LENoBOM ||
                           detected == TextEncoding::utf16BENoBOM;
        if (!normalised && !utf16)
            EXPECT_TRUE(final) << "round " << round;
        if (normalised || utf16)
            EXPECT_TRUE(told.empty()) << "round " << round;
    }
}

TEST(UserFileDecoderTest, ReadsDecodesAndFollowsAFileChangingUnderIt) {
    test::TempDir dir;
    const fs::path file = dir.path() / "a.txt";
    std::string bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += "satır " + std::to_string(i) + "\r\n";
    test::writeFileBytes(file, bytes);
    auto read = UserFileDecoder::read(file, {.chunkSize = 4096, .progress = {}});
    ASSERT_TRUE(read);
    EXPECT_EQ(read->decoded, TextFileCodec::decode(bytes));
    EXPECT_EQ(read->decoded.lineEnding, LineEnding::crlf);
    EXPECT_EQ(read->stamp, FileStamp::of(file).value());
    EXPECT_FALSE(read->endedEarly);

    // Truncated after the first chunk: what was read is decoded, nothing past it.
    bool truncated = false;
    auto shrunk = UserFileDecoder::read(
        file, {.chunkSize = 4096, .progress = [&](std::uint64_t, std::uint64_t) {
                   if (!truncated) {
                       EXPECT_EQ(::truncate(file.c_str(), 100), 0);
                   }
                   truncated = true;
                   return true;
               }});
    ASSERT_TRUE(shrunk);
    EXPECT_TRUE(shrunk->endedEarly);
    EXPECT_EQ(shrunk->decoded, TextFileCodec::decode(std::string_view(bytes).substr(0, 4096)));

    // Appended to while read: read again to its new end.
    test::writeFileBytes(file, bytes);
    bool grown = false;
    auto longer = UserFileDecoder::read(
        file, {.chunkSize = 4096, .progress = [&](std::uint64_t, std::uint64_t) {
                   if (!grown) {
                       FILE* out = std::fopen(file.c_str(), "ab");
                       std::fputs("son", out);
                       std::fclose(out);
                   }
                   grown = true;
                   return true;
               }});
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->decoded, TextFileCodec::decode(bytes + "son"));
}

TEST(UserFileDecoderTest, LargeFileDecodedWhileItsTextPagesAreTouchedAside) {
    // From 32 MB on, a second thread faults in the text's pages while the bytes are read
    // into the same buffer; it must leave the bytes alone.
    test::TempDir dir;
    const fs::path file = dir.path() / "large.txt";
    std::string bytes;
    bytes.reserve(34u << 20);
    std::mt19937 rng(4);
    while (bytes.size() < (34u << 20)) {
        bytes += rng() % 8 == 0 ? "çalış ğüş\r\n" : "plain ascii words of a log line\n";
        if (rng() % 1000 == 0)
            bytes += "\xF0\x9F\x98\x80";
    }
    test::writeFileBytes(file, bytes);
    auto read = UserFileDecoder::read(file);
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->decoded == TextFileCodec::decode(bytes));
}

TEST(UserFileDecoderTest, FileBeyondFreeMemoryIsRefusedBeforeAllocating) {
    test::TempDir dir;
    const fs::path file = dir.path() / "big.log";
    test::writeFileBytes(file, std::string(100000, 'x'));
    int placed = 0;
    std::vector<char> sink;
    auto refused = UserFileReader::readInto(
        file, {.progress = {}, .memoryPerByte = 2.5, .availableMemory = 200000}, [&](std::uint64_t size) {
            ++placed;
            sink.resize(size);
            return sink.data();
        });
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, UserFileErrorKind::tooLarge);
    EXPECT_EQ(refused.error().errnoValue, ENOMEM);
    EXPECT_EQ(placed, 0);
    auto decoded = UserFileDecoder::read(file, {.progress = {}, .memoryPerByte = 0, .availableMemory = 200000});
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.error().errnoValue, ENOMEM);
    // With the memory there, the same file opens.
    auto opened = UserFileDecoder::read(file, {.progress = {}, .memoryPerByte = 0, .availableMemory = 300000});
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->decoded.text.size(), 100000u);
    // The system's own figure is known on this platform.
    EXPECT_GT(UserFileReader::availableMemory(), 0u);
}

} // namespace
} // namespace vendrix
