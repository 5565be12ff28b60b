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
        } else if (kind == 5 && i == count / 2) {
            bytes += '\0'; // a NUL in text
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

/// What a DecodedPrefix was told, checked as it is told: counts grow, nothing follows a
/// withdrawal, and the units told are kept as they were then.
struct Told {
    std::u16string units; // as told, before anything could change them
    bool withdrawn = false;
    bool afterWithdrawal = false;
    DecodedPrefix prefix() {
        return [this](const char16_t* text, std::size_t count) {
            afterWithdrawal = afterWithdrawal || withdrawn;
            if (count == 0) {
                withdrawn = true;
                units.clear();
                return;
            }
            ASSERT_GT(count, units.size());
            units.append(text + units.size(), count - units.size());
        };
    }
};

bool isUTF16(TextEncoding e) {
    return e == TextEncoding::utf16LE || e == TextEncoding::utf16BE ||
           e == TextEncoding::utf16LENoBOM || e == TextEncoding::utf16BENoBOM;
}

TEST(InPlaceTextTest, DecodedBlockByBlockTellsOnlyFinalUnits) {
    // Tiny blocks put block edges inside multi-byte characters and next to CRs; every prefix
    // told must already be the final text's, and the whole must equal the codec's.
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        const std::string bytes = randomFile(rng);
        const std::size_t block = 4 + rng() % 9;
        const DecodedText expected = TextFileCodec::decode(bytes);
        Told told;
        InPlaceText text(bytes.size());
        std::memcpy(text.bytes(), bytes.data(), bytes.size());
        const DecodedText decoded = std::move(text).decode(bytes.size(), told.prefix(), block);
        ASSERT_EQ(decoded, expected) << "round " << round;
        ASSERT_FALSE(told.afterWithdrawal) << "round " << round;
        EXPECT_EQ(told.units, decoded.text.substr(0, told.units.size())) << "round " << round;
        // Told to the end exactly when nothing changes after decoding; withdrawn only when
        // the bytes were not UTF-8 after all.
        const bool normalised = !decoded.isBinary && bytes.find('\r') != std::string::npos;
        const bool utf8 = expected.encoding == TextEncoding::utf8 || expected.encoding == TextEncoding::utf8BOM;
        if (!normalised && (utf8 || decoded.isBinary))
            EXPECT_EQ(told.units.size(), decoded.text.size()) << "round " << round;
        if (told.withdrawn || isUTF16(expected.encoding))
            EXPECT_TRUE(told.units.empty()) << "round " << round;
        if (utf8 || decoded.isBinary)
            EXPECT_FALSE(told.withdrawn) << "round " << round;
    }
}

/// Over kSampleSize bytes that decoding takes for UTF-8 (or, by the first bytes, for UTF-8
/// with a byte order mark, binary or UTF-16), with characters of two to four bytes, with or
/// without a byte that makes the single-byte guess Windows-1254.
std::string longHead(std::mt19937& rng) {
    static const char* plain[] = {"abc def ", "\n", "\xC3\xA7", "\xE4\xB8\xAD", "\xF1\xAF\xAA\xBC", "\t"};
    static const char* marked[] = {"\xC4\x9E", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    std::string bytes;
    const int kind = static_cast<int>(rng() % 6);
    if (kind == 0)
        bytes = "\xEF\xBB\xBF";
    if (kind == 1)
        bytes = "\xFF\xFE";
    while (bytes.size() < TextFileCodec::kSampleSize + rng() % 3000) {
        if (kind == 2 && rng() % 3 == 0)
            bytes += '\0'; // binary by its sample
        else if (kind == 3 && rng() % 2 == 0)
            bytes += marked[rng() % std::size(marked)];
        else
            bytes += plain[rng() % std::size(plain)];
    }
    return bytes;
}

TEST(InPlaceTextTest, DecodedWhileTheBytesArriveEqualsTheCodec) {
    // Bytes placed a random stretch at a time, the rest of the buffer holding bytes that are
    // never UTF-8: decoding ahead must take only what has arrived, and a guess that a later
    // byte proves wrong (a broken or truncated character, a stray byte, far past the first
    // blocks) must come out as the codec's decoding of the whole, with what was told withdrawn.
    std::mt19937 rng(31);
    for (int round = 0; round < 400; ++round) {
        std::string bytes = longHead(rng) + randomFile(rng);
        if (round % 4 == 0)
            bytes += static_cast<char>(0x80 + rng() % 128); // not UTF-8 only at the very end
        const std::size_t block = 4 + rng() % 300;
        const DecodedText expected = TextFileCodec::decode(bytes);
        Told told;
        InPlaceText text(bytes.size());
        std::memset(text.bytes(), 0xFF, bytes.size());
        std::size_t arrived = 0;
        while (arrived < bytes.size()) {
            const std::size_t more = std::min<std::size_t>(bytes.size() - arrived, 1 + rng() % 9000);
            std::memcpy(text.bytes() + arrived, bytes.data() + arrived, more);
            arrived += more;
            if (rng() % 8 != 0)
                text.decodeArrived(arrived, told.prefix(), block);
        }
        const DecodedText decoded = std::move(text).decode(bytes.size(), told.prefix(), block);
        ASSERT_EQ(decoded, expected) << "round " << round;
        ASSERT_FALSE(told.afterWithdrawal) << "round " << round;
        EXPECT_EQ(told.units, decoded.text.substr(0, told.units.size())) << "round " << round;
        if (expected.encoding == TextEncoding::utf8 || expected.encoding == TextEncoding::utf8BOM)
            EXPECT_FALSE(told.withdrawn) << "round " << round;
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
    // From 32 MB on, a file read in one chunk has a second thread fault in the text's pages
    // while the bytes are read into the same buffer; it must leave the bytes alone. Read in
    // chunks, the same file is decoded beside its read.
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
    const DecodedText expected = TextFileCodec::decode(bytes);
    auto read = UserFileDecoder::read(file, {.chunkSize = 64u << 20, .progress = {}});
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->decoded == expected);
    auto beside = UserFileDecoder::read(file);
    ASSERT_TRUE(beside);
    EXPECT_TRUE(beside->decoded == expected);
}

/// About 5 MB of UTF-8 lines with two- to four-byte characters: more than one decoding block,
/// read in many chunks.
std::string fiveMegabytes() {
    std::string bytes;
    std::mt19937 rng(12);
    while (bytes.size() < (5u << 20))
        bytes += rng() % 4 == 0 ? "çalış ğüş 中文 \xF0\x9F\x98\x80\n" : "plain words of a line\n";
    return bytes;
}

TEST(UserFileDecoderTest, DecodedBesideTheReadFallsBackWhereTheGuessWasWrong) {
    test::TempDir dir;
    const fs::path file = dir.path() / "big.txt";
    const std::string base = fiveMegabytes();
    // Put at the start of a line about `fromEnd` bytes before the end.
    const auto near = [&](std::string bytes, std::size_t fromEnd, std::string_view put) {
        return bytes.insert(bytes.rfind('\n', bytes.size() - fromEnd) + 1, put);
    };
    struct Case {
        const char* name;
        std::string bytes;
        bool withdrawn;
    };
    const Case cases[] = {
        {"not UTF-8 near the end", near(base, 100, "\xE7"), true},
        {"a Windows-1254 byte near the end", near(base, 7, "\x9E"), true},
        {"NUL far in", near(base, 1000, std::string_view("\0", 1)), false},
        {"CR only in the last block", near(base, 50, "\r\n"), false},
        {"byte order mark", "\xEF\xBB\xBF" + base, false},
        {"byte order mark, not UTF-8 at the end", "\xEF\xBB\xBF" + base + "\xC3", true},
        {"UTF-16", "\xFF\xFE" + base, false},
    };
    for (const Case& c : cases) {
        test::writeFileBytes(file, c.bytes);
        Told told;
        auto read = UserFileDecoder::read(file, {.chunkSize = 256 << 10, .progress = {}}, told.prefix());
        ASSERT_TRUE(read) << c.name;
        const DecodedText expected = TextFileCodec::decode(c.bytes);
        EXPECT_TRUE(read->decoded == expected) << c.name;
        EXPECT_EQ(told.withdrawn, c.withdrawn) << c.name;
        EXPECT_FALSE(told.afterWithdrawal) << c.name;
        EXPECT_TRUE(told.units == std::u16string_view(expected.text).substr(0, told.units.size())) << c.name;
    }
}

TEST(UserFileDecoderTest, FileChangingOrCancelledWhileDecodedBesideTheRead) {
    test::TempDir dir;
    const fs::path file = dir.path() / "big.txt";
    const std::string bytes = fiveMegabytes();
    const UserFileReadOptions chunks{.chunkSize = 256 << 10, .progress = {}};
    // Truncated mid-read, inside a character: what was read is decoded as the codec would.
    test::writeFileBytes(file, bytes);
    std::size_t cut = 3u << 20;
    while ((static_cast<unsigned char>(bytes[cut]) & 0xC0) != 0x80)
        ++cut;
    UserFileReadOptions options = chunks;
    options.progress = [&](std::uint64_t done, std::uint64_t) {
        if (done == (1u << 20))
            EXPECT_EQ(::truncate(file.c_str(), static_cast<off_t>(cut)), 0);
        return true;
    };
    Told told;
    auto shrunk = UserFileDecoder::read(file, options, told.prefix());
    ASSERT_TRUE(shrunk);
    EXPECT_TRUE(shrunk->endedEarly);
    EXPECT_TRUE(shrunk->decoded == TextFileCodec::decode(std::string_view(bytes).substr(0, cut)));
    EXPECT_TRUE(told.units == std::u16string_view(shrunk->decoded.text).substr(0, told.units.size()));

    // Appended to near the end of the read: read again, and whatever was told is withdrawn.
    test::writeFileBytes(file, bytes);
    bool appended = false;
    options.progress = [&](std::uint64_t done, std::uint64_t) {
        if (done == (5u << 20) && !appended) {
            appended = true;
            FILE* out = std::fopen(file.c_str(), "ab");
            std::fputs("son", out);
            std::fclose(out);
        }
        return true;
    };
    told = Told();
    auto longer = UserFileDecoder::read(file, options, told.prefix());
    ASSERT_TRUE(longer);
    EXPECT_TRUE(longer->decoded == TextFileCodec::decode(bytes + "son"));
    EXPECT_TRUE(told.units.empty());
    EXPECT_FALSE(told.afterWithdrawal);

    // Cancelled halfway: fails, having withdrawn whatever it told before freeing the text.
    options.progress = [&](std::uint64_t done, std::uint64_t) { return done < (5u << 19); };
    told = Told();
    auto cancelled = UserFileDecoder::read(file, options, told.prefix());
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.error().kind, UserFileErrorKind::cancelled);
    EXPECT_TRUE(told.units.empty());
    EXPECT_FALSE(told.afterWithdrawal);
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
