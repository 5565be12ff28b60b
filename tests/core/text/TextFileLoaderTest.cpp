#include "core/text/TextFileLoader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace vendrix {
namespace {

namespace fs = std::filesystem;

/// Over 9 MB of UTF-8 lines with two- and four-byte characters, so that the decoder's 4 MB
/// blocks end inside characters and lines.
std::string manyLines(const char* lineBreak) {
    std::string bytes;
    std::mt19937 rng(11);
    while (bytes.size() < (9u << 20)) {
        bytes += rng() % 5 == 0 ? "çalış ğüş " : "plain words ";
        if (rng() % 700 == 0)
            bytes += "\xF0\x9F\x98\x80";
        if (rng() % 3 == 0)
            bytes += lineBreak;
    }
    return bytes;
}

TEST(TextFileLoaderTest, TheIndexBuiltBesideTheDecoderEqualsOneBuiltAfterIt) {
    test::TempDir dir;
    for (const char* lineBreak : {"\n", "\r\n"}) {
        const fs::path file = dir.path() / "lines.txt";
        const std::string bytes = manyLines(lineBreak);
        test::writeFileBytes(file, bytes);
        std::vector<double> fractions;
        auto loaded = TextFileLoader::load(file, {}, [&](double fraction) {
            fractions.push_back(fraction);
            return true;
        });
        ASSERT_TRUE(loaded);
        const DecodedText expected = TextFileCodec::decode(bytes);
        ASSERT_TRUE(loaded->file.decoded == expected);
        EXPECT_TRUE(loaded->index == LineIndex(std::u16string_view(expected.text)));
        EXPECT_TRUE(loaded->index.matches(StringTextSource(expected.text)));
        ASSERT_FALSE(fractions.empty());
        EXPECT_TRUE(std::ranges::is_sorted(fractions));
        EXPECT_EQ(fractions.back(), 1.0);
    }
    // Decoded beside the read and then done again (not UTF-8 after all), or normalised after
    // a CR in the last block: the index is the text's all the same.
    for (const std::string tail : {"\xFE", "\r\n"}) {
        const fs::path file = dir.path() / "lines.txt";
        const std::string bytes = manyLines("\n") + tail + "son\n";
        test::writeFileBytes(file, bytes);
        auto loaded = TextFileLoader::load(file, {.chunkSize = 1 << 20, .progress = {}});
        ASSERT_TRUE(loaded);
        ASSERT_TRUE(loaded->file.decoded == TextFileCodec::decode(bytes));
        EXPECT_TRUE(loaded->index == LineIndex(std::u16string_view(loaded->file.decoded.text)));
    }
    // Small, empty and without a final line break.
    for (const std::string bytes : {std::string(), std::string("a"), std::string("a\n"),
                                    std::string("\n\n\xC3\xA7")}) {
        const fs::path file = dir.path() / "small.txt";
        test::writeFileBytes(file, bytes);
        auto loaded = TextFileLoader::load(file);
        ASSERT_TRUE(loaded);
        EXPECT_TRUE(loaded->index == LineIndex(std::u16string_view(loaded->file.decoded.text)));
    }
}

TEST(TextFileLoaderTest, CancelledWhileReadingOrAfterDecodingFailsAsCancelled) {
    test::TempDir dir;
    const fs::path file = dir.path() / "lines.txt";
    test::writeFileBytes(file, manyLines("\n"));
    for (double at : {0.1, 0.8, TextFileLoader::kDecodedFraction, 1.0}) { // 0.8: while decoding
        auto loaded = TextFileLoader::load(file, {.chunkSize = 1 << 20, .progress = {}},
                                           [&](double fraction) { return fraction < at; });
        ASSERT_FALSE(loaded) << at;
        EXPECT_EQ(loaded.error().kind, UserFileErrorKind::cancelled);
    }
    // The bar moves while the text is decoded, not only once it is (read in one chunk, the
    // file is decoded after its read rather than beside it).
    std::vector<double> fractions;
    ASSERT_TRUE(TextFileLoader::load(file, {.chunkSize = 16 << 20, .progress = {}}, [&](double fraction) {
        fractions.push_back(fraction);
        return true;
    }));
    EXPECT_TRUE(std::ranges::any_of(fractions, [](double f) {
        return f > TextFileLoader::kReadFraction && f < TextFileLoader::kDecodedFraction;
    }));
    auto missing = TextFileLoader::load(dir.path() / "missing.txt");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, UserFileErrorKind::notFound);
}

} // namespace
} // namespace vendrix
