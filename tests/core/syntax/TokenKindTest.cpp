#include "core/syntax/TokenKind.h"
#include "core/syntax/KeywordTable.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace vendrix {
namespace {

using test::u16;

TEST(TokenKindTest, RawValuesRoundTripInDeclarationOrder) {
    ASSERT_EQ(allTokenKinds.size(), 17u);
    for (std::size_t i = 0; i < allTokenKinds.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(allTokenKinds[i]), i);
        EXPECT_EQ(tokenKindFromRawValue(rawValue(allTokenKinds[i])), allTokenKinds[i]);
    }
    EXPECT_EQ(rawValue(TokenKind::preprocessor), "preprocessor");
    EXPECT_EQ(tokenKindFromRawValue("tag"), TokenKind::tag);
    EXPECT_EQ(tokenKindFromRawValue("Keyword"), std::nullopt);
    EXPECT_EQ(tokenKindFromRawValue(""), std::nullopt);
    EXPECT_EQ(sizeof(TokenKind), 1u);
    std::unordered_set<TokenKind> set(allTokenKinds.begin(), allTokenKinds.end());
    EXPECT_EQ(set.size(), 17u);
}

TEST(TokenKindTest, TokenDescriptionAndEquality) {
    EXPECT_EQ(Token(0, 5, TokenKind::keyword).description(), "keyword@0+5");
    EXPECT_EQ(Token(12, 6, TokenKind::link).description(), "link@12+6");
    EXPECT_EQ(Token(1, 2, TokenKind::tag), Token(1, 2, TokenKind::tag));
    EXPECT_NE(Token(1, 2, TokenKind::tag), Token(1, 2, TokenKind::type));
    EXPECT_NE(Token(1, 2, TokenKind::tag), Token(1, 3, TokenKind::tag));
}

std::optional<TokenKind> look(const KeywordTable& table, std::u16string_view word) {
    // Look the word up inside a larger buffer to check that only the span is read.
    std::u16string buffer = u"((" + std::u16string(word) + u"))";
    return table.lookup(buffer.data(), 2, 2 + static_cast<std::int64_t>(word.size()));
}

TEST(KeywordTableTest, LooksUpWordsWithCaseRules) {
    KeywordTable insensitive({{TokenKind::keyword, {"select"}}}, true);
    EXPECT_EQ(look(insensitive, u"SELECT"), TokenKind::keyword);
    EXPECT_EQ(look(insensitive, u"Select"), TokenKind::keyword);
    EXPECT_EQ(look(insensitive, u"select"), TokenKind::keyword);
    EXPECT_EQ(look(insensitive, u"selec"), std::nullopt);
    EXPECT_EQ(look(insensitive, u"selects"), std::nullopt);

    KeywordTable sensitive({{TokenKind::constant, {"true"}}}, false);
    EXPECT_EQ(look(sensitive, u"true"), TokenKind::constant);
    EXPECT_EQ(look(sensitive, u"True"), std::nullopt);

    // Stored in full lower case, looked up with ASCII folding only.
    KeywordTable turkish({{TokenKind::keyword, {"İF", "ÇAY"}}}, true);
    EXPECT_EQ(look(turkish, u"çay"), TokenKind::keyword);
    EXPECT_EQ(look(turkish, u"ÇAY"), std::nullopt);
    EXPECT_EQ(look(turkish, u"i\u0307f"), TokenKind::keyword);
}

TEST(KeywordTableTest, FirstRegistrationWinsAndLengthCutOff) {
    KeywordTable table({{TokenKind::keyword, {"type"}}, {TokenKind::type, {"type", "int"}}}, false);
    EXPECT_EQ(look(table, u"type"), TokenKind::keyword);
    EXPECT_EQ(look(table, u"int"), TokenKind::type);
    EXPECT_EQ(table.entries().size(), 2u);

    const std::string w32(32, 'a'), w33(33, 'a');
    KeywordTable longWords({{TokenKind::keyword, {w32, w33}}}, false);
    EXPECT_EQ(look(longWords, u16(w32)), TokenKind::keyword);
    EXPECT_EQ(look(longWords, u16(w33)), std::nullopt);

    KeywordTable empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(look(empty, u"type"), std::nullopt);
    EXPECT_EQ(look(empty, u""), std::nullopt);
}

TEST(KeywordTableTest, HashIsSixteenBitFNV1a) {
    // FNV-1a of the single unit 0x0061 XORed as one 16-bit value.
    std::uint64_t expected = (0xcbf29ce484222325ULL ^ 0x61ULL) * 0x100000001b3ULL;
    EXPECT_EQ(KeywordTable::hash(u"a", 1, false), expected);
    EXPECT_EQ(KeywordTable::hash(u"A", 1, true), expected);
    std::uint64_t wide = (0xcbf29ce484222325ULL ^ 0x011EULL) * 0x100000001b3ULL;
    EXPECT_EQ(KeywordTable::hash(u"\u011E", 1, false), wide);
    EXPECT_EQ(KeywordTable::hash(u"", 0, false), 0xcbf29ce484222325ULL);
}

} // namespace
} // namespace vendrix
