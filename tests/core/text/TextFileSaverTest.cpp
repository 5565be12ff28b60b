// Piece-by-piece encoding and the streamed save: the pieces must add up to exactly what the
// whole-text encoder gives, and a save that fails or is cancelled leaves the old file alone.
#include "core/text/TextFileCodec.h"
#include "core/text/TextFileEncoder.h"
#include "core/text/TextFileSaver.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <unistd.h>

namespace vendrix {
namespace {

namespace fs = std::filesystem;

/// Everything the encoder hands out until it stops, and its error if any.
std::expected<std::string, TextEncodingError> encodeInPieces(std::u16string_view text,
                                                             TextEncoding encoding,
                                                             LineEnding ending,
                                                             std::size_t pieceUnits) {
    // Straight from the string, and from a text source read a piece at a time: the same.
    const StringTextSource source(text);
    TextFileEncoder direct(text, encoding, ending, pieceUnits);
    TextFileEncoder copied(static_cast<const TextSource&>(source), encoding, ending, pieceUnits);
    std::string out[2];
    TextFileEncoder* encoders[2] = {&direct, &copied};
    for (int k = 0; k < 2; ++k)
        for (std::string_view piece = encoders[k]->next(); !piece.empty();
             piece = encoders[k]->next())
            out[k].append(piece);
    EXPECT_EQ(out[0], out[1]);
    EXPECT_EQ(direct.error(), copied.error());
    if (direct.error())
        return std::unexpected(*direct.error());
    EXPECT_TRUE(direct.finished());
    return out[0];
}

/// Random text of `length` units drawn from `alphabet` pieces (some of them two units).
std::u16string randomText(std::mt19937& random, std::size_t length,
                          const std::vector<std::u16string>& alphabet) {
    std::u16string text;
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    while (text.size() < length)
        text += alphabet[pick(random)];
    return text;
}

void expectSameAsWholeEncode(std::u16string_view text, std::size_t pieceUnits) {
    for (TextEncoding encoding : textEncoding::allCases) {
        for (LineEnding ending : lineEnding::allCases) {
            const auto whole = TextFileCodec::encode(text, encoding, ending);
            const auto pieces = encodeInPieces(text, encoding, ending, pieceUnits);
            ASSERT_EQ(whole.has_value(), pieces.has_value())
                << textEncoding::rawValue(encoding) << " " << lineEnding::rawValue(ending)
                << " pieces of " << pieceUnits;
            if (whole)
                ASSERT_EQ(*whole, *pieces) << textEncoding::rawValue(encoding) << " "
                                           << lineEnding::rawValue(ending) << " pieces of "
                                           << pieceUnits;
            else
                ASSERT_EQ(whole.error(), pieces.error()) << textEncoding::rawValue(encoding);
        }
    }
}

TEST(TextFileEncoderTest, PiecesAddUpToTheWholeEncodeForEveryEncodingAndLineEnding) {
    std::mt19937 random(12);
    // Text every code page can hold (ASCII, Turkish letters, Latin-1 letters, U+00FF), and
    // text with what only the Unicode encodings hold: the euro sign, CJK, pairs, lone halves.
    const std::vector<std::u16string> codePage{u"a", u"b", u"\n", u"\n", u" ", u"ğ", u"ş", u"ı",
                                               u"é", u"\u00FF", u"\t", u"0123456789abcdef"};
    const std::vector<std::u16string> any{u"x", u"\n", u"ğ", u"€", u"語", u"😀", u"\xD800",
                                          u"\xDC00", u"\n\n", u"long ascii run here!", u"é"};
    for (std::size_t pieceUnits : {1u, 2u, 3u, 15u, 16u, 17u, 33u, 1000u}) {
        for (int round = 0; round < 6; ++round) {
            expectSameAsWholeEncode(randomText(random, 20 + 37 * round, codePage), pieceUnits);
            expectSameAsWholeEncode(randomText(random, 20 + 37 * round, any), pieceUnits);
        }
    }
    // Empty text: only the byte order mark, if any.
    expectSameAsWholeEncode(u"", 4);
}

TEST(TextFileEncoderTest, PieceBoundariesNeverSplitASurrogatePairOrALineBreak) {
    // Pairs and LFs at every position relative to the piece boundaries, inside and outside
    // the sixteen-unit blocks of the fast path.
    std::u16string text;
    for (int i = 0; i < 40; ++i)
        text += std::u16string(static_cast<std::size_t>(i % 19), u'a') + u"😀\n";
    for (std::size_t pieceUnits = 1; pieceUnits <= 34; ++pieceUnits)
        expectSameAsWholeEncode(text, pieceUnits);

    // In ISO-8859-1 the first pair is the error, found whichever piece holds it, with the
    // offset counted in the CR LF text and both halves named.
    const std::u16string latin = u"ab\ncd\n\n" + std::u16string(30, u'z') + u"\n😀";
    for (std::size_t pieceUnits : {1u, 2u, 16u, 40u}) {
        auto failed = encodeInPieces(latin, TextEncoding::isoLatin1, LineEnding::crlf, pieceUnits);
        ASSERT_FALSE(failed);
        EXPECT_EQ(failed.error(), TextEncodingError::unencodable(TextEncoding::isoLatin1,
                                                                 static_cast<std::int64_t>(
                                                                     latin.size() - 2 + 4),
                                                                 u"😀"));
    }
}

class TextFileSaverTest : public ::testing::Test {
protected:
    test::TempDir dir;
    fs::path file = dir.path() / "doc.txt";

    std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            all.push_back(entry.path().filename().string());
        std::sort(all.begin(), all.end());
        return all;
    }
};

TEST_F(TextFileSaverTest, WritesWhatTheWholeEncodeGivesAndReportsProgress) {
    std::u16string text;
    for (int i = 0; i < 200000; ++i)
        text += u"satır ğüşiöç line\n";
    test::writeFileBytes(file, "old");
    std::size_t calls = 0, lastDone = 0;
    auto saved = TextFileSaver::save(text, TextEncoding::windows1254, LineEnding::crlf, file, {},
                                     [&](std::size_t done, std::size_t total) {
                                         EXPECT_EQ(total, text.size());
                                         EXPECT_GT(done, lastDone);
                                         lastDone = done;
                                         ++calls;
                                     });
    ASSERT_TRUE(saved);
    EXPECT_EQ(test::readFileBytes(file),
              *TextFileCodec::encode(text, TextEncoding::windows1254, LineEnding::crlf));
    EXPECT_EQ(lastDone, text.size());
    EXPECT_GT(calls, 1u);
    EXPECT_EQ(names(), std::vector<std::string>{"doc.txt"});
}

TEST_F(TextFileSaverTest, UnencodableTextOrACancelLeavesTheOldFileAndNoTemporaryFile) {
    std::u16string text(3 * TextFileEncoder::defaultPieceUnits, u'a');
    text += u"ğ"; // found only after several pieces were written to the temporary file
    test::writeFileBytes(file, "old");
    auto failed = TextFileSaver::save(text, TextEncoding::isoLatin1, LineEnding::lf, file);
    ASSERT_FALSE(failed);
    ASSERT_TRUE(failed.error().encoding);
    EXPECT_EQ(failed.error().encoding->offset, static_cast<std::int64_t>(text.size() - 1));
    EXPECT_FALSE(failed.error().wasCancelled());
    EXPECT_EQ(test::readFileBytes(file), "old");
    EXPECT_EQ(names(), std::vector<std::string>{"doc.txt"});

    // Cancelled after the second piece, and cancelled only at the last moment (the text is
    // four pieces, asked before each, then once before the rename): the old file stays.
    for (int askedBeforeCancel : {2, 4}) {
        int asked = 0;
        UserFileWriteOptions options;
        options.cancelled = [&] { return ++asked > askedBeforeCancel; };
        auto cancelled =
            TextFileSaver::save(std::u16string(text.size(), u'b'), TextEncoding::utf8,
                                LineEnding::lf, file, options);
        ASSERT_FALSE(cancelled);
        EXPECT_TRUE(cancelled.error().wasCancelled());
        EXPECT_EQ(test::readFileBytes(file), "old");
        EXPECT_EQ(names(), std::vector<std::string>{"doc.txt"});
    }
}

TEST_F(TextFileSaverTest, HardLinkedFileIsNotTouchedWhenTheTextCannotBeEncoded) {
    test::writeFileBytes(file, "old");
    fs::create_hard_link(file, dir.path() / "alias.txt");
    std::u16string text(2 * TextFileEncoder::defaultPieceUnits, u'a');
    text += u"€";
    auto failed = TextFileSaver::save(text, TextEncoding::isoLatin5, LineEnding::lf, file);
    ASSERT_FALSE(failed);
    EXPECT_TRUE(failed.error().encoding);
    EXPECT_EQ(test::readFileBytes(file), "old");

    // Encodable: written in place, both names see it.
    text.back() = u'ş';
    auto saved = TextFileSaver::save(text, TextEncoding::isoLatin5, LineEnding::lf, file);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->method, UserFileWriteMethod::inPlace);
    EXPECT_EQ(test::readFileBytes(dir.path() / "alias.txt"),
              std::string(text.size() - 1, 'a') + "\xFE");
}

} // namespace
} // namespace vendrix
