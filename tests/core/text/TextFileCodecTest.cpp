#include "core/text/TextFileCodec.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

using test::u16;
using std::string_literals::operator""s;

TEST(TextEncodingTest, IdentifiersAndNames) {
    for (TextEncoding e : textEncoding::allCases)
        EXPECT_EQ(textEncoding::fromRawValue(textEncoding::rawValue(e)), e);
    EXPECT_EQ(textEncoding::fromRawValue("UTF-8"), std::nullopt);
    EXPECT_EQ(textEncoding::rawValue(TextEncoding::utf16LENoBOM), "utf-16le-nobom");
    EXPECT_EQ(textEncoding::displayName(TextEncoding::utf16BENoBOM), "UTF-16 BE (BOM'suz)");
    int boms = 0;
    for (TextEncoding e : textEncoding::allCases)
        boms += textEncoding::writesBOM(e);
    EXPECT_EQ(boms, 3);
}

TEST(TextEncodingTest, StrictUTF8RejectsEveryMalformedForm) {
    struct Case {
        const char* name;
        std::string bytes;
        bool valid;
    } cases[] = {
        {"empty", "", true},
        {"ascii across the vector width", std::string(40, 'a') + "\xC3\xA7" + std::string(17, 'b'), true},
        {"four-byte emoji", "\xF0\x9F\x98\x80", true},
        {"largest scalar", "\xF4\x8F\xBF\xBF", true},
        {"overlong two-byte", "\xC0\xAF", false},
        {"overlong C1", "\xC1\xBF", false},
        {"overlong three-byte", "\xE0\x80\xAF", false},
        {"overlong four-byte", "\xF0\x80\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"F5 lead", "\xF5\x80\x80\x80", false},
        {"truncated at end", "abc\xE2\x82", false},
        {"truncated inside vector", std::string(20, 'a') + "\xE2\x82" + std::string(20, 'a'), false},
        {"stray continuation", "a\x80", false},
        {"FF byte", "\xFF", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textEncoding::isValidUTF8(c.bytes), c.valid) << c.name;
        EXPECT_EQ(textEncoding::decode(TextEncoding::utf8, c.bytes).has_value(), c.valid) << c.name;
    }
    EXPECT_EQ(*textEncoding::decode(TextEncoding::utf8, "\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(TextEncodingTest, UTF8DecodeMatchesReferenceOnRandomText) {
    std::mt19937 rng(3);
    const char32_t pool[] = {U'a', U'\n', U'z', U'ç', U'Ğ', U'€', U'中', U'\U0001F600', U'\u0301'};
    for (int round = 0; round < 50; ++round) {
        std::u16string expected;
            for (int i = 0, n = static_cast<int>(rng() % 200); i < n; ++i) {
            char32_t cp = pool[rng() % std::size(pool)];
            if (cp >= 0x10000) {
                expected.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                expected.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            } else {
                expected.push_back(static_cast<char16_t>(cp));
            }
        }
        // ICU's converter is the reference for the UTF-8 form.
        std::string bytes = test::u8(expected);
        auto decoded = textEncoding::decode(TextEncoding::utf8, bytes);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(*decoded, expected);
        EXPECT_EQ(*textEncoding::encode(TextEncoding::utf8, expected), bytes);
    }
}

TEST(TextEncodingTest, UTF8EncodeOfAsciiRunsMatchesReference) {
    // The encoder takes ASCII sixteen units at a time: runs of every length around that,
    // with surrogate pairs and lone surrogates (written as U+FFFD) on both sides of a block
    // boundary.
    std::mt19937 rng(7);
    const std::u16string others[] = {u"ş", u"€", u"\U0001F600",
                                     std::u16string(1, char16_t(0xD800)),
                                     std::u16string(1, char16_t(0xDC00))};
    for (int round = 0; round < 200; ++round) {
        std::u16string text;
        for (int piece = 0, pieces = static_cast<int>(rng() % 6); piece < pieces; ++piece) {
            text.append(rng() % 40, static_cast<char16_t>(u'a' + rng() % 26));
            text += others[rng() % std::size(others)];
        }
        text.append(rng() % 20, u'x');
        EXPECT_EQ(*textEncoding::encode(TextEncoding::utf8, text), test::u8(text)) << round;
    }
}

TEST(TextEncodingTest, SingleByteTablesAndUnencodableCharacters) {
    EXPECT_EQ(*textEncoding::decode(TextEncoding::isoLatin5, "\xD0\xDD\xDE\xF0\xFD\xFE"),
              u"ĞİŞğış");
    EXPECT_EQ(*textEncoding::decode(TextEncoding::windows1254, "\x80\x81\x9F\xFD"), u"€\u0081Ÿı");
    EXPECT_EQ(*textEncoding::decode(TextEncoding::isoLatin1, "\xFD"), u"ý");
    // Every byte round-trips in every single-byte encoding.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    for (TextEncoding e : {TextEncoding::windows1254, TextEncoding::isoLatin5, TextEncoding::isoLatin1}) {
        auto decoded = textEncoding::decode(e, all);
        ASSERT_EQ(decoded->size(), 256u);
        EXPECT_EQ(*textEncoding::encode(e, *decoded), all);
    }

    auto latin1 = textEncoding::encode(TextEncoding::isoLatin1, u"aĞb");
    ASSERT_FALSE(latin1);
    EXPECT_EQ(latin1.error(), TextEncodingError::unencodable(TextEncoding::isoLatin1, 1, u"Ğ"));
    EXPECT_EQ(*textEncoding::encode(TextEncoding::isoLatin5, u"aĞb"), "a\xD0" "b");
    EXPECT_EQ(*textEncoding::encode(TextEncoding::windows1254, u"aĞb"), "a\xD0" "b");
    EXPECT_FALSE(textEncoding::encode(TextEncoding::isoLatin5, u"€"));
    EXPECT_EQ(*textEncoding::encode(TextEncoding::windows1254, u"€"), "\x80");
    auto astral = textEncoding::encode(TextEncoding::windows1254, u"\U0001F600x");
    ASSERT_FALSE(astral);
    EXPECT_EQ(astral.error().offset, 0);
    EXPECT_EQ(astral.error().character, u"\U0001F600");
    // A lone surrogate is reported, not written.
    std::u16string lone = u"ab";
    lone.insert(1, 1, char16_t(0xD800));
    auto loneResult = textEncoding::encode(TextEncoding::isoLatin1, lone);
    ASSERT_FALSE(loneResult);
    EXPECT_EQ(loneResult.error().offset, 1);
    EXPECT_EQ(*textEncoding::encode(TextEncoding::utf8, lone), "a\xEF\xBF\xBD" "b");
}

TEST(TextEncodingTest, UTF16KindsAndByteOrderMarks) {
    EXPECT_EQ(*textEncoding::encode(TextEncoding::utf16BE, u"A"), "\xFE\xFF\x00\x41"s);
    EXPECT_EQ(*textEncoding::encode(TextEncoding::utf16LENoBOM, u"A"), "\x41\x00"s);
    EXPECT_EQ(*textEncoding::encode(TextEncoding::utf16LE, u"A"), "\xFF\xFE\x41\x00"s);
    EXPECT_EQ(*textEncoding::encode(TextEncoding::utf8BOM, u"A"), "\xEF\xBB\xBF" "A");
    EXPECT_EQ(*textEncoding::decode(TextEncoding::utf16LENoBOM, "\xFF\xFE\x41\x00"s), u"A");
    EXPECT_EQ(*textEncoding::decode(TextEncoding::utf16BE, "\x00\x41"s), u"A");
    EXPECT_EQ(*textEncoding::decode(TextEncoding::utf16LE, "\x3D\xD8\x00\xDE"s), u"\U0001F600");
    for (std::string bad : {"\x41\x00\x42"s, "\x00\xD8"s, "\x00\xDC\x41\x00"s, "\x00\xD8\x41\x00"s})
        EXPECT_FALSE(textEncoding::decode(TextEncoding::utf16LE, bad)) << bad.size();
    EXPECT_EQ(*textEncoding::decode(TextEncoding::utf8BOM, "\xEF\xBB\xBF" "abc"), u"abc");
    EXPECT_EQ(*textEncoding::decode(TextEncoding::utf8, "\xEF\xBB\xBF" "abc"), u"abc");
}

TEST(TextFileCodecTest, Detection) {
    struct Case {
        const char* name;
        std::string bytes;
        DetectedEncoding expected;
    } cases[] = {
        {"empty", "", {TextEncoding::utf8, false}},
        {"utf-8 bom", "\xEF\xBB\xBF" "x", {TextEncoding::utf8BOM, false}},
        {"utf-16le bom", "\xFF\xFE" "x", {TextEncoding::utf16LE, false}},
        {"utf-16be bom", "\xFE\xFF", {TextEncoding::utf16BE, false}},
        {"utf-16le no bom", "\x41\x00\x42\x00"s, {TextEncoding::utf16LENoBOM, false}},
        {"utf-16be no bom", "\x00\x41\x00\x42"s, {TextEncoding::utf16BENoBOM, false}},
        {"odd length with NULs", "\x41\x00\x42"s, {TextEncoding::isoLatin1, true}},
        {"one NUL in 200 ascii bytes", std::string(100, 'a') + '\0' + std::string(99, 'b'),
         {TextEncoding::utf8, false}},
        {"vertical tabs with a NUL", std::string(89, 'a') + std::string(10, '\v') + '\0' + "x",
         {TextEncoding::isoLatin1, true}},
        {"controls without NUL", std::string(50, '\x01'), {TextEncoding::utf8, false}},
        {"invalid utf-8 with FD", "ab\xFD", {TextEncoding::windows1254, false}},
        {"invalid utf-8 with E7 F6", "\xE7\xF6", {TextEncoding::isoLatin1, false}},
        // One letter decides between Windows-1254 and ISO-8859-1: each byte below is the only
        // non-ASCII byte of its file. D0 DD DE F0 FD FE are ĞİŞğış and 80-9F printable only in
        // Windows-1254; A0 (no-break space) is the same in both.
        {"only D0 (Ğ)", "a\xD0z", {TextEncoding::windows1254, false}},
        {"only DD (İ)", "a\xDDz", {TextEncoding::windows1254, false}},
        {"only DE (Ş)", "a\xDEz", {TextEncoding::windows1254, false}},
        {"only F0 (ğ)", "da\xF0", {TextEncoding::windows1254, false}},
        {"only FD (ı)", "a\xFDz", {TextEncoding::windows1254, false}},
        {"only FE (ş)", "a\xFEz", {TextEncoding::windows1254, false}},
        {"only 80 (€)", "5\x80", {TextEncoding::windows1254, false}},
        {"only 9F (Ÿ)", "\x9Fz", {TextEncoding::windows1254, false}},
        {"only A0 (no-break space)", "a\xA0z", {TextEncoding::isoLatin1, false}},
        {"turkish utf-8", "çalışğ", {TextEncoding::utf8, false}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextFileCodec::detectEncoding(c.bytes), c.expected) << c.name;
    std::string frequentControls = std::string(160, 'a') + std::string(30, '\t') + "\n\n\f\r\x1B" + '\0';
    EXPECT_FALSE(TextFileCodec::detectEncoding(frequentControls).isBinary);
}

TEST(TextFileCodecTest, DecodeFallsBackAndNormalises) {
    DecodedText crlf = TextFileCodec::decode("a\r\nb\r\nc\rd");
    EXPECT_EQ(crlf.text, u"a\nb\nc\nd");
    EXPECT_EQ(crlf.lineEnding, LineEnding::crlf);
    EXPECT_EQ(crlf.encoding, TextEncoding::utf8);
    EXPECT_TRUE(crlf.mixedLineEndings);

    // Mixed styles and NUL characters are told apart from clean files in every encoding path.
    struct Told {
        const char* name;
        std::string bytes;
        LineEnding ending;
        bool mixed;
        bool nul;
    } told[] = {
        {"crlf only", "a\r\nb\r\n", LineEnding::crlf, false, false},
        {"lf only", "a\nb\n", LineEnding::lf, false, false},
        {"cr only", "a\rb\r", LineEnding::cr, false, false},
        {"crlf beside lf", "a\r\nb\nc\r\n", LineEnding::crlf, true, false},
        {"lone cr among lf", "a\nb\rc\n", LineEnding::lf, true, false},
        {"nul in text", std::string(100, 'a') + '\0' + "\n", LineEnding::lf, false, true},
        {"nul in windows-1254", "\xFE\r\n"s + '\0' + std::string(100, 'b'), LineEnding::crlf, false,
         true},
        {"utf-16le bom, mixed, nul",
         "\xFF\xFE"
         "a\0\r\0\n\0b\0\n\0\0\0"s,
         LineEnding::lf, true, true},
        {"utf-16 bytes are not nul characters",
         "\xFF\xFE"
         "a\0\n\0"s,
         LineEnding::lf, false, false},
        {"binary is neither", std::string(10, '\0') + "\r\n\n", LineEnding::lf, false, false},
    };
    for (const Told& c : told) {
        const DecodedText decoded = TextFileCodec::decode(c.bytes);
        EXPECT_EQ(decoded.lineEnding, c.ending) << c.name;
        EXPECT_EQ(decoded.mixedLineEndings, c.mixed) << c.name;
        EXPECT_EQ(decoded.holdsNul, c.nul) << c.name;
    }

    DecodedText odd = TextFileCodec::decode("\xFF\xFE\x41"s);
    EXPECT_EQ(odd.encoding, TextEncoding::isoLatin1);
    EXPECT_EQ(odd.text, u"ÿþA");
    EXPECT_FALSE(odd.isBinary);

    DecodedText binary = TextFileCodec::decode("\x01\x00\x02\r\n"s);
    EXPECT_TRUE(binary.isBinary);
    EXPECT_EQ(binary.text, u16("\x01") + u'\0' + u"\x02\r\n");
    EXPECT_EQ(binary.lineEnding, LineEnding::lf);

    DecodedText turkish = TextFileCodec::decode("\xFE\xFD\r");
    EXPECT_EQ(turkish.encoding, TextEncoding::windows1254);
    EXPECT_EQ(turkish.text, u"şı\n");
    EXPECT_EQ(turkish.lineEnding, LineEnding::cr);

    auto forced = TextFileCodec::decode("\xFE\xFD", TextEncoding::isoLatin1);
    ASSERT_TRUE(forced);
    EXPECT_EQ(forced->text, u"þý");
    EXPECT_FALSE(forced->isBinary);
    EXPECT_FALSE(TextFileCodec::decode("\xFE", TextEncoding::utf8));
}

TEST(TextFileCodecTest, EncodeAppliesLineEndingBeforeEncoding) {
    auto crlf = TextFileCodec::encode(u"a\nş", TextEncoding::isoLatin1, LineEnding::crlf);
    ASSERT_FALSE(crlf);
    EXPECT_EQ(crlf.error().offset, 3);
    EXPECT_EQ(*TextFileCodec::encode(u"a\nb", TextEncoding::utf16BENoBOM, LineEnding::cr),
              "\x00" "a\x00\r\x00" "b"s);
    // Every encoding round-trips text it can represent, with each line ending.
    for (TextEncoding e : textEncoding::allCases)
        for (LineEnding ending : lineEnding::allCases) {
            std::u16string text = e == TextEncoding::isoLatin1 ? u"satir 1\nçüö Ü\n\nend"
                                                                : u"satır 1\nçğış İĞÜ\n\nend";
            auto bytes = TextFileCodec::encode(text, e, ending);
            ASSERT_TRUE(bytes) << textEncoding::rawValue(e);
            auto back = TextFileCodec::decode(*bytes, e);
            ASSERT_TRUE(back);
            EXPECT_EQ(back->text, text) << textEncoding::rawValue(e);
            EXPECT_EQ(back->lineEnding, ending) << textEncoding::rawValue(e);
        }
}

} // namespace
} // namespace vendrix
