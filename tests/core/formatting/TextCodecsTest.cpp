#include "core/formatting/FormatText.h"
#include "core/formatting/TextCodecs.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

using test::u16;
using test::u8;

TEST(TextCodecTest, HTMLEncodeAndDecode) {
    EXPECT_EQ(u8(TextCodec::htmlEncode(u16("a<b & \"c\" 'd' > ç😀"))),
              "a&lt;b &amp; &quot;c&quot; &#39;d&#39; &gt; ç😀");
    EXPECT_EQ(TextCodec::htmlNamedEntities().size(), 24u);
    struct Case {
        const char* name;
        const char* input;
        const char* expected;
    } cases[] = {
        {"named and numeric", "&lt;&#65;&#x42;&copy;", "<AB©"},
        {"unknown name kept", "&nosuch;", "&nosuch;"},
        {"zero kept", "&#0;", "&#0;"},
        {"surrogate kept", "&#xD800;", "&#xD800;"},
        {"beyond Unicode kept", "&#x110000;", "&#x110000;"},
        {"overflowing number kept", "&#99999999999;", "&#99999999999;"},
        {"no semicolon", "R&D", "R&D"},
        {"ampersand ends the search", "&&amp;", "&&"},
        {"empty name", "&;", "&;"},
        {"hash alone", "&#;", "&#;"},
        {"x without digits", "&#x;", "&#x;"},
        {"upper-case X", "&#X41;", "A"},
        {"four-byte reference", "&#128512;", "😀"},
        {"names are case-sensitive", "&AMP;", "&AMP;"},
        {"32-character name is looked up", "&abcdefghijklmnopqrstuvwxyzabcdef;",
         "&abcdefghijklmnopqrstuvwxyzabcdef;"},
        {"non-BMP scalars count once", "&😀😀;x", "&😀😀;x"},
        {"all named", "&nbsp;&hellip;&mdash;&euro;&times;", "\u00A0…—€×"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(u8(TextCodec::htmlDecode(u16(c.input))), c.expected) << c.name;
    // Names of up to 32 characters are resolved; a longer one is not.
    const std::string name32 = "#" + std::string(29, '0') + "65";
    const std::string name33 = "#" + std::string(30, '0') + "65";
    EXPECT_EQ(u8(TextCodec::htmlDecode(u16("&" + name32 + ";"))), "A");
    EXPECT_EQ(u8(TextCodec::htmlDecode(u16("&" + name33 + ";"))), "&" + name33 + ";");
    const std::u16string sample = u16("<p class=\"x\">Tom & Jerry's ©</p>");
    EXPECT_EQ(TextCodec::htmlDecode(TextCodec::htmlEncode(sample)), sample);
}

TEST(TextCodecTest, JSONEscape) {
    EXPECT_EQ(u8(TextCodec::jsonEscape(u16("a\tb\"c"))), "\"a\\tb\\\"c\"");
    EXPECT_EQ(u8(TextCodec::jsonEscape(u"\u0001/\u2028\u2029\b\f\n\r\\\u001F")),
              "\"\\u0001/\\u2028\\u2029\\b\\f\\n\\r\\\\\\u001f\"");
    EXPECT_EQ(u8(TextCodec::jsonEscape(u16("çğ😀"))), "\"çğ😀\"");
}

struct DecodeError {
    const char* name;
    const char* input;
    const char* message;
    std::int64_t column;
};

void expectErrors(const std::vector<DecodeError>& cases,
                  std::expected<std::u16string, FormatError> (*decode)(std::u16string_view)) {
    for (const DecodeError& c : cases) {
        auto result = decode(u16(c.input));
        ASSERT_FALSE(result) << c.name;
        EXPECT_EQ(u8(result.error().message), c.message) << c.name;
        EXPECT_EQ(result.error().line, 1) << c.name;
        EXPECT_EQ(result.error().column, c.column) << c.name;
    }
}

TEST(TextCodecTest, JSONUnescape) {
    struct Case {
        const char* name;
        const char* input;
        const char* expected;
    } cases[] = {
        {"surrogate pair", "\"\\uD83D\\uDE00\"", "😀"},
        {"without quotes", "a\\nb", "a\nb"},
        {"one quote only", "\"a", "\"a"},
        {"lone quote", "\"", "\""},
        {"all escapes", "\\\"\\/\\\\\\b\\f\\n\\r\\t", "\"/\\\b\f\n\r\t"},
        {"basic plane", "\\u00e7\\u20AC", "ç€"},
        {"raw text kept", "çğ😀", "çğ😀"},
    };
    for (const Case& c : cases) {
        auto result = TextCodec::jsonUnescape(u16(c.input));
        ASSERT_TRUE(result) << c.name;
        EXPECT_EQ(u8(*result), c.expected) << c.name;
    }
    expectErrors(
        {
            {"lone high surrogate", "\\uD83D", "Eşsiz vekil (surrogate) \\u kaçışı", 1},
            {"high then text", "x\\uD83Dy", "Eşsiz vekil (surrogate) \\u kaçışı", 2},
            {"high then high", "\\uD83D\\uD83D", "Eşsiz vekil (surrogate) \\u kaçışı", 1},
            {"lone low surrogate", "\"\\uDE00\"", "Eşsiz vekil (surrogate) \\u kaçışı", 2},
            {"short escape", "\"\\u12\"", "Geçersiz \\u kaçışı", 2},
            {"escape cut by the closing quote", "\"\\u123\"", "Geçersiz \\u kaçışı", 2},
            {"unknown escape", "😀\\x", "Geçersiz kaçış dizisi", 3},
            {"backslash at the end", "ab\\", "Yarım kaçış dizisi", 3},
            {"backslash before the closing quote", "\"ab\\\"", "Yarım kaçış dizisi", 4},
        },
        TextCodec::jsonUnescape);
    const std::u16string sample = u16("tab\there \"quoted\" \\ / ç 😀 \u2028 \x01");
    auto back = TextCodec::jsonUnescape(TextCodec::jsonEscape(sample));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, sample);
}

TEST(TextCodecTest, Base64) {
    EXPECT_EQ(u8(TextCodec::base64Encode(u"abc")), "YWJj");
    EXPECT_EQ(u8(TextCodec::base64Encode(u"a")), "YQ==");
    EXPECT_EQ(u8(TextCodec::base64Encode(u"ab")), "YWI=");
    EXPECT_EQ(u8(TextCodec::base64Encode(u"")), "");
    struct Case {
        const char* input;
        const char* expected;
    } cases[] = {
        {"YWJj", "abc"}, {"YW Jj", "abc"}, {"YQ", "a"},        {"YWI", "ab"},
        {"", ""},        {"\tYQ==\r\n", "a"}, {"w6c", "ç"},     {"-_8", "\xEF\xBF"},
    };
    for (const Case& c : cases) {
        if (std::string_view(c.input) == "-_8")
            continue; // checked below: not text
        auto result = TextCodec::base64Decode(u16(c.input));
        ASSERT_TRUE(result) << c.input;
        EXPECT_EQ(u8(*result), c.expected) << c.input;
    }
    // The URL-safe alphabet decodes like the standard one.
    EXPECT_EQ(TextCodec::base64Decode(u"8J-YgA"), TextCodec::base64Decode(u"8J+YgA"));
    EXPECT_EQ(u8(*TextCodec::base64Decode(u"8J-YgA")), "😀");
    expectErrors(
        {
            {"one character", "Y", "Geçersiz Base64 (uzunluk ya da dolgu)", 1},
            {"pad in the middle", "YQ==YQ==", "Geçersiz Base64 (uzunluk ya da dolgu)", 1},
            {"too many pads", "Y===", "Geçersiz Base64 (uzunluk ya da dolgu)", 1},
            {"invalid character", "YW*j", "Geçersiz Base64 karakteri", 3},
            {"non-ASCII character", "ç", "Geçersiz Base64 karakteri", 1},
            {"not UTF-8", "/w==", "Çözülen veri UTF-8 metin değil", 1},
            {"cut sequence", "-_8", "Çözülen veri UTF-8 metin değil", 1},
        },
        TextCodec::base64Decode);
    for (const char* text : {"", "a", "ab", "abc", "çalış 😀", "line\nbreak"}) {
        auto back = TextCodec::base64Decode(TextCodec::base64Encode(u16(text)));
        ASSERT_TRUE(back);
        EXPECT_EQ(u8(*back), text);
    }
}

TEST(TextCodecTest, URLEncoding) {
    EXPECT_EQ(u8(TextCodec::urlEncode(u16("a b/ç"))), "a%20b%2F%C3%A7");
    EXPECT_EQ(u8(TextCodec::urlEncode(u16("AZaz09-._~+"))), "AZaz09-._~%2B");
    EXPECT_EQ(u8(*TextCodec::urlDecode(u"a+b")), "a+b");
    EXPECT_EQ(u8(*TextCodec::urlDecode(u"%c3%a7%C3%A7%41")), "ççA");
    expectErrors(
        {
            {"percent at the end", "ab%2", "Geçersiz yüzde kodlaması", 3},
            {"percent alone", "%", "Geçersiz yüzde kodlaması", 1},
            {"non-hex digit", "x%G1", "Geçersiz yüzde kodlaması", 2},
            {"not UTF-8", "%FF", "Çözülen veri UTF-8 metin değil", 1},
            {"half a character", "%C3", "Çözülen veri UTF-8 metin değil", 1},
        },
        TextCodec::urlDecode);
    const std::u16string sample = u16("q=ç ğ&x=1/2?😀%");
    EXPECT_EQ(*TextCodec::urlDecode(TextCodec::urlEncode(sample)), sample);
}

TEST(TextCodecTest, RandomTextsRoundTripAndDecodersNeverFailOnEncoderOutput) {
    std::mt19937 rng(5);
    const char32_t pieces[] = {U'a', U'&', U';', U'#', U'<', U'"', U'\'', U'\\', U'%', U'+',
                               U'=', U'\n', U'\t', 0x01, 0x1F, 0xE7, 0x2028, 0x20AC, 0xFFFD,
                               0x1F600, 0x10FFFF};
    for (int round = 0; round < 500; ++round) {
        std::u16string text;
        const int length = static_cast<int>(rng() % 40);
        for (int i = 0; i < length; ++i) {
            const char32_t c = pieces[rng() % std::size(pieces)];
            if (c >= 0x10000) {
                text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
                text.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                text.push_back(static_cast<char16_t>(c));
            }
        }
        EXPECT_EQ(TextCodec::htmlDecode(TextCodec::htmlEncode(text)), text);
        EXPECT_EQ(TextCodec::jsonUnescape(TextCodec::jsonEscape(text)), text);
        EXPECT_EQ(TextCodec::base64Decode(TextCodec::base64Encode(text)), text);
        EXPECT_EQ(TextCodec::urlDecode(TextCodec::urlEncode(text)), text);
        // Decoding arbitrary text ends in a result or a positioned error inside the text.
        for (auto decode : {TextCodec::jsonUnescape, TextCodec::base64Decode, TextCodec::urlDecode}) {
            auto result = decode(text);
            if (!result) {
                EXPECT_GE(result.error().offset, 0);
                EXPECT_LE(result.error().offset, static_cast<std::int64_t>(text.size()));
            }
        }
        (void)TextCodec::htmlDecode(text);
    }
}

} // namespace
} // namespace vendrix
