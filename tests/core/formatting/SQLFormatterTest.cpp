#include "core/formatting/SQLFormatter.h"
#include "core/formatting/FormatProgress.h"
#include "support/FormattingSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <random>

namespace vendrix {
namespace {

using test::u16;
using test::u8;

std::string pretty(std::string_view input, FormatIndent indent = FormatIndent::spaces(2)) {
    return test::describe(SQLFormatter::pretty(u16(input), indent));
}

// Golden files: NAME.in.sql is the input, NAME.pretty-N.sql / NAME.pretty-tab.sql the output.
TEST(SQLFormatterTest, MatchesGoldenFiles) {
    int compared = 0;
    for (const test::GoldenOutput& golden : test::goldenOutputs(test::dataPath("formatting/sql"))) {
        const std::optional<FormatIndent> indent = test::indentForMode(golden.mode);
        ASSERT_TRUE(indent) << golden.file;
        EXPECT_EQ(pretty(golden.input, *indent), golden.expected) << golden.file;
        ++compared;
    }
    EXPECT_GE(compared, 3);
}

struct LayoutCase {
    const char* name;
    const char* input;
    const char* expected;
};

TEST(SQLFormatterTest, BreaksClausesAndNormalisesSpacing) {
    const LayoutCase cases[] = {
        {"clauses, conditions and between",
         "select a, b from t where x = 1 and y between 1 and 2 order by a",
         "SELECT a, b\nFROM t\nWHERE x = 1\n  AND y BETWEEN 1 AND 2\nORDER BY a"},
        {"sub-query in from", "select * from (select id from u) s",
         "SELECT *\nFROM (\n  SELECT id\n  FROM u\n) s"},
        {"join with modifiers stays on one line",
         "select * from a left outer join b on a.id = b.id",
         "SELECT *\nFROM a\nLEFT OUTER JOIN b ON a.id = b.id"},
        {"conditions under on", "select * from a join b on a.x = b.x and a.y = b.y or a.z",
         "SELECT *\nFROM a\nJOIN b ON a.x = b.x\n  AND a.y = b.y\n  OR a.z"},
        {"delete from", "delete from t", "DELETE FROM t"},
        {"statements are separated by an empty line", "select 1; select 2",
         "SELECT 1;\n\nSELECT 2"},
        {"comment after ; stays on the line", "select 1; -- note\nselect 2",
         "SELECT 1;-- note\n\nSELECT 2"},
        {"comment on its own line", "select a -- first\n, b\nfrom t",
         "SELECT a -- first\n, b\nFROM t"},
        {"block comment keeps its place", "select /* all */ * from t",
         "SELECT /* all */ *\nFROM t"},
        {"casts and json operators", "select x::int, a->>'k', b -> 'j', c :: text",
         "SELECT x::INT, a ->> 'k', b -> 'j', c::TEXT"},
        {"case of identifiers is kept", "select Id from MyTable", "SELECT Id\nFROM MyTable"},
        {"variables are no keywords", "select @select, @From", "SELECT @select, @From"},
        {"quoted literals", "select 'it''s', 'a\\'b', \"x\"\"y\", `z`",
         "SELECT 'it''s', 'a\\'b', \"x\"\"y\", `z`"},
        {"bracketed identifiers", "select [a b], [c\nfrom t", "SELECT [a b], [ c\nFROM t"},
        {"function calls and spaced parentheses",
         "insert into t (a, b) values (count(*), foo(x)) ; select * from x where y in (1, 2)",
         "INSERT INTO t (a, b)\nVALUES (COUNT(*), foo(x));\n\nSELECT *\nFROM x\nWHERE y IN (1, 2)"},
        {"window clauses stay inline",
         "select rank() over (partition by a order by b) from t order by c",
         "SELECT rank() OVER(PARTITION BY a ORDER BY b)\nFROM t\nORDER BY c"},
        {"group by in a sub-query", "select * from (select a from t group by a) q",
         "SELECT *\nFROM (\n  SELECT a\n  FROM t\n  GROUP BY a\n) q"},
        {"unbalanced parentheses are written as they come", "select a) from (b",
         "SELECT a)\nFROM (b"},
        {"numbers and dots", "select .5, 1.5e3, t.col from s.t",
         "SELECT .5, 1.5e3, t.col\nFROM s.t"},
        {"byte-order mark and trailing line feed", "\xEF\xBB\xBFselect 1\n", "SELECT 1\n"},
        {"shell comment needs a space", "select #x, 1 # c\nfrom t", "SELECT # x, 1 # c\nFROM t"},
        {"nested sub-queries", "select (select max(x) from (select x from t) a) from u",
         "SELECT (\n  SELECT MAX(x)\n  FROM (\n    SELECT x\n    FROM t\n  ) a\n)\nFROM u"},
        {"with starts a sub-query", "insert into t (with q as (select 1) select * from q)",
         "INSERT INTO t (\n  WITH q AS (\n    SELECT 1\n  )\n  SELECT *\n  FROM q\n)"},
        {"empty input", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pretty(c.input), c.expected) << c.name;
    EXPECT_EQ(pretty("select a from (select b from c)", FormatIndent::tab()),
              "SELECT a\nFROM (\n\tSELECT b\n\tFROM c\n)");
}

TEST(SQLFormatterTest, ReportsUnterminatedStringsAndComments) {
    const LayoutCase cases[] = {
        {"single quote", "select 'abc", "error: 1:8:7 Kapanmamış dize"},
        {"escaped closing quote", "select 'ab\\'", "error: 1:8:7 Kapanmamış dize"},
        {"double-quoted identifier", "select \"abc", "error: 1:8:7 Kapanmamış dize"},
        {"backquote after a line", "select 1,\nğ, `x", "error: 2:4:13 Kapanmamış dize"},
        {"block comment", "select 1 /* x *", "error: 1:10:9 Kapanmamış yorum"},
        {"comment close needs its own bytes", "/*/", "error: 1:1:0 Kapanmamış yorum"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pretty(c.input), c.expected) << c.name;
}

TEST(SQLFormatterTest, StaysLinearAndBoundedOnHostileInput) {
    // A long line of "[" without "]": each would scan to the end of the line.
    const std::string brackets(400000, '[');
    auto result = SQLFormatter::prettyBytes(brackets, FormatIndent::spaces(2));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->size(), 2 * brackets.size() - 1); // "[ [ [ ..."

    // Deeply nested sub-queries: the indentation alone would reach terabytes.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "(select ";
    auto tooDeep = SQLFormatter::prettyBytes(deep, FormatIndent::spaces(2));
    ASSERT_FALSE(tooDeep.has_value());
    EXPECT_EQ(tooDeep.error().message, u"Çıktı çok büyük (aşırı iç içe yapı)");
    EXPECT_EQ(tooDeep.error().offset % 8, 1) << "positioned at a SELECT";

    auto hugeUnit =
        SQLFormatter::prettyBytes("select a from (select b)", FormatIndent::spaces(1 << 30));
    ASSERT_FALSE(hugeUnit.has_value());
    EXPECT_EQ(hugeUnit.error().message, u"Çıktı çok büyük (aşırı iç içe yapı)");
}

TEST(SQLFormatterTest, FindsCommentEndsAnywhereInLongComments) {
    // Long comments are searched in slices of 1 MiB; an end straddling a border must be found.
    for (std::size_t shift = (1u << 20) - 3; shift <= (1u << 20) + 3; ++shift) {
        const std::string input = "/*" + std::string(shift, 'x') + "*/ select 'a'";
        auto result = SQLFormatter::prettyBytes(input, FormatIndent::spaces(2));
        ASSERT_TRUE(result.has_value()) << shift;
        EXPECT_EQ(result->size(), input.size()) << shift; // the comment, a line break, the query
    }
}

TEST(SQLFormatterTest, ArbitraryInputEndsInAResultOrAnError) {
    const char* pieces[] = {"select ", "from ", "(",   ")", "where ",   "and ",  "or ", "between ",
                            "left ",   "join ", "on ", ";", "--c\n",    "/*x*/", "'s'", "group ",
                            "by ",     "with ", "[",   "]", "\"",       "'",     "`",   "::",
                            "->>",     "#",     "\n",  "x", "\xC3\xA7", "@a",    ".5",  ","};
    std::mt19937 rng(9);
    int formatted = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string input;
        for (int k = static_cast<int>(rng() % 40); k > 0; --k)
            input += pieces[rng() % std::size(pieces)];
        auto result = SQLFormatter::pretty(u16(input), FormatIndent::spaces(2));
        if (result) {
            ++formatted;
            // Formatting only adds or removes white space and changes keyword case.
            std::string compactIn, compactOut;
            for (char c : input)
                if (c != ' ' && c != '\n')
                    compactIn += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            for (char c : u8(*result))
                if (c != ' ' && c != '\n')
                    compactOut += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(compactOut, compactIn) << input;
        } else {
            const std::u16string& message = result.error().message;
            EXPECT_TRUE(message == u"Kapanmamış dize" || message == u"Kapanmamış yorum") << input;
        }
    }
    EXPECT_GT(formatted, 300);
}

TEST(SQLFormatterTest, HonoursCancellation) {
    ProgressToken progress;
    progress.cancel();
    auto result = SQLFormatter::pretty(u"select 1", FormatIndent::spaces(2), &progress);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), FormatProgress::cancelledError());
}

} // namespace
} // namespace vendrix
