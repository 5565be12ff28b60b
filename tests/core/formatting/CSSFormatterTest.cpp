#include "core/formatting/CSSFormatter.h"
#include "core/formatting/FormatProgress.h"
#include "support/FormattingSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace vendrix {
namespace {

using test::describe;
using test::u16;
using test::u8;

std::string pretty(std::string_view input, FormatIndent indent = FormatIndent::spaces(2)) {
    return describe(CSSFormatter::pretty(u16(input), indent));
}
std::string minify(std::string_view input) {
    return describe(CSSFormatter::minify(u16(input)));
}

// Golden files: NAME.in.css is the input, NAME.pretty-N.css / NAME.min.css the outputs.
TEST(CSSFormatterTest, MatchesGoldenFiles) {
    int compared = 0;
    for (const test::GoldenOutput& golden : test::goldenOutputs(test::dataPath("formatting/css"))) {
        const std::optional<FormatIndent> indent = test::indentForMode(golden.mode);
        EXPECT_EQ(indent ? pretty(golden.input, *indent) : minify(golden.input), golden.expected)
            << golden.file;
        ++compared;
    }
    EXPECT_GE(compared, 5);
}

struct LayoutCase {
    const char* name;
    const char* input;
    const char* prettyOutput; // two-space indent
    const char* minifiedOutput;
};

TEST(CSSFormatterTest, WritesRulesDeclarationsAndBlocks) {
    const LayoutCase cases[] = {
        {"selectors and declarations", "a,b  >  c{color:red;margin:0 auto}",
         "a, b > c {\n  color: red;\n  margin: 0 auto;\n}", "a,b>c{color:red;margin:0 auto}"},
        {"top-level rules are separated", "a{x:1}b{y:2}", "a {\n  x: 1;\n}\n\nb {\n  y: 2;\n}",
         "a{x:1}b{y:2}"},
        {"nested media block", "@media print{a{x:1}b{y:2}}c{z:3}",
         "@media print {\n  a {\n    x: 1;\n  }\n  b {\n    y: 2;\n  }\n}\n\nc {\n  z: 3;\n}",
         "@media print{a{x:1}b{y:2}}c{z:3}"},
        {"empty block", "a {}", "a {}", "a{}"},
        {"comment before a rule", "/* note */\na{x:1}", "/* note */\na {\n  x: 1;\n}", "a{x:1}"},
        {"string with ; and }", "a{content:\"x;}\\\"\" ; b:c}",
         "a {\n  content: \"x;}\\\"\";\n  b: c;\n}", "a{content:\"x;}\\\"\";b:c}"},
        {"url with ; and } in parentheses", "a { background: url(a;b}c) }",
         "a {\n  background: url(a;b}c);\n}", "a{background:url(a;b}c)}"},
        {"import statement", "@import  url(\"x.css\")  screen ;", "@import url(\"x.css\") screen;",
         "@import url(\"x.css\") screen;"},
        {"value commas", "a{font: 12px / 1.5 a , b}", "a {\n  font: 12px / 1.5 a , b;\n}",
         "a{font:12px / 1.5 a,b}"},
        {"commas inside functions and attribute selectors",
         "a[x=\",\"] , b:is(c , d){e:f(1 , 2) , g}",
         "a[x=\",\"], b:is(c , d) {\n  e: f(1 , 2) , g;\n}",
         "a[x=\",\"],b:is(c , d){e:f(1 , 2),g}"},
        {"declaration without colon", "a{foo}", "a {\n  foo;\n}", "a{foo}"},
        {"trailing segment without semicolon", "x:1", "x: 1", "x:1"},
        {"comment inside a declaration", "a{b: /*c*/ d}", "a {\n  b: /*c*/ d;\n}", "a{b:d}"},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "a{}",
         "a {}", "a{}"},
        {"empty input", "", "", ""},
        {"final line feed is kept", "a{}\n\n", "a {}\n", "a{}\n"},
        {"combinators in minify", "a > b + c ~ d e{}", "a > b + c ~ d e {}", "a>b+c~d e{}"},
        {"escaped quote and newline in string", "a{b:'x\\'y'}", "a {\n  b: 'x\\'y';\n}",
         "a{b:'x\\'y'}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pretty(c.input), c.prettyOutput) << c.name;
        EXPECT_EQ(minify(c.input), c.minifiedOutput) << c.name;
    }
    EXPECT_EQ(pretty("@media x{a{b:c}}", FormatIndent::tab()),
              "@media x {\n\ta {\n\t\tb: c;\n\t}\n}");
}

struct ErrorCase {
    const char* name;
    const char* input;
    const char* expected;
};

TEST(CSSFormatterTest, ReportsEveryFailureAtItsPosition) {
    const ErrorCase cases[] = {
        {"closing brace without a block", "a{}\n}", "error: 2:1:4 Fazladan '}'"},
        {"unclosed block", "a {", "error: 1:3:2 Kapanmamış '{'"},
        {"innermost unclosed block", "@media x {\n  a { b: c }\n  ğ {",
         "error: 3:5:28 Kapanmamış '{'"},
        {"string running into a line feed", "a{b:\"x\ny\"}", "error: 1:5:4 Kapanmamış dize"},
        {"string running to the end", "a{b:'x\\'}", "error: 1:5:4 Kapanmamış dize"},
        {"unterminated comment", "a{} /* x *", "error: 1:5:4 Kapanmamış yorum"},
        {"comment close needs its own bytes", "/*/", "error: 1:1:0 Kapanmamış yorum"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pretty(c.input), c.expected) << c.name;
        EXPECT_EQ(minify(c.input), c.expected) << c.name;
    }
}

TEST(CSSFormatterTest, DeepNestingMinifiesOrFailsCleanly) {
    std::string deep;
    constexpr int kDepth = 100000;
    for (int i = 0; i < kDepth; ++i)
        deep += "a{";
    for (int i = 0; i < kDepth; ++i)
        deep += "}";
    EXPECT_EQ(CSSFormatter::formatBytes(deep, std::nullopt).value(), deep);
    auto tooDeep = CSSFormatter::formatBytes(deep, FormatIndent::spaces(2));
    ASSERT_FALSE(tooDeep.has_value());
    EXPECT_EQ(tooDeep.error().message,
              u"Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir");
    EXPECT_EQ(tooDeep.error().offset % 2, 0) << "positioned just after a '{'";

    auto hugeUnit = CSSFormatter::formatBytes("a{b{c:d}}", FormatIndent::spaces(1 << 30));
    ASSERT_FALSE(hugeUnit.has_value());
    EXPECT_EQ(hugeUnit.error().offset, 4);
}

TEST(CSSFormatterTest, MinifyOfPrettyEqualsMinify) {
    std::vector<std::string> corpus;
    for (const auto& entry : std::filesystem::directory_iterator(test::dataPath("formatting/css")))
        if (entry.path().filename().string().find(".in.") != std::string::npos)
            corpus.push_back(test::readFileBytes(entry.path()));
    // Random sheets from structural pieces, broken ones included (they must fail alike).
    const char* pieces[] = {"a",   " b",      ">",        ",",        "+", "~",   "{",
                            "}",   ";",       ":",        "(",        ")", "[x]", "\"s;}\"",
                            "'q'", "/* c */", "@media x", "url(a;b)", " ", "\n",  "1px"};
    std::mt19937 rng(3);
    for (int i = 0; i < 2000; ++i) {
        std::string input;
        for (int k = static_cast<int>(rng() % 30); k > 0; --k)
            input += pieces[rng() % std::size(pieces)];
        corpus.push_back(input);
    }
    int checked = 0;
    for (const std::string& input : corpus) {
        auto prettied = CSSFormatter::formatBytes(input, FormatIndent::spaces(2));
        auto minified = CSSFormatter::formatBytes(input, std::nullopt);
        ASSERT_EQ(prettied.has_value(), minified.has_value()) << input;
        if (!minified) {
            EXPECT_EQ(prettied.error(), minified.error()) << input;
            continue;
        }
        auto again = CSSFormatter::formatBytes(*prettied, std::nullopt);
        ASSERT_TRUE(again.has_value()) << input;
        EXPECT_EQ(*again, *minified) << input;
        ++checked;
    }
    EXPECT_GT(checked, 200);
}

TEST(CSSFormatterTest, FindsCommentEndsAnywhereInLongComments) {
    // Long comments are searched in slices of 1 MiB; an end straddling a border must be found.
    for (std::size_t shift = (1u << 20) - 3; shift <= (1u << 20) + 3; ++shift) {
        const std::string comment = "/*" + std::string(shift, 'x') + "*/";
        auto result = CSSFormatter::formatBytes(comment + "a{}", FormatIndent::spaces(2));
        ASSERT_TRUE(result.has_value()) << shift;
        EXPECT_EQ(*result, comment + "\na {}") << shift;
    }
}

TEST(CSSFormatterTest, HonoursCancellation) {
    ProgressToken progress;
    progress.cancel();
    auto result = CSSFormatter::minify(u"a{}", &progress);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), FormatProgress::cancelledError());
}

} // namespace
} // namespace vendrix
