#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vendrix {
namespace {

using test::u16;
using test::u8;

std::string pretty(std::string_view json, FormatIndent indent = FormatIndent::spaces(2),
                   bool sortKeys = false) {
    auto result = JSONFormatter::pretty(u16(json), indent, sortKeys);
    EXPECT_TRUE(result) << json << " -> " << u8(result.error().description());
    return result ? u8(*result) : std::string();
}

std::string minify(std::string_view json, bool sortKeys = false) {
    auto result = JSONFormatter::minify(u16(json), sortKeys);
    EXPECT_TRUE(result) << json << " -> " << u8(result.error().description());
    return result ? u8(*result) : std::string();
}

TEST(JSONFormatterTest, PrettyLayout) {
    struct Case {
        const char* name;
        const char* input;
        const char* expected;
    } cases[] = {
        {"members on their own lines", R"({"b":1,"a":[]})", "{\n  \"b\": 1,\n  \"a\": []\n}"},
        {"empty containers stay on one line", "[ ]", "[]"},
        {"empty object", "{ \n }", "{}"},
        {"nested", R"([1,{"x":[true,null]}])",
         "[\n  1,\n  {\n    \"x\": [\n      true,\n      null\n    ]\n  }\n]"},
        {"same-line comment follows its value", "{\"a\":1 // note\n}",
         "{\n  \"a\": 1 // note\n}"},
        {"comment on its own line", "[\n// first\n1]", "[\n  // first\n  1\n]"},
        {"leading comment", "/* head */ {\"a\":1}", "/* head */\n{\n  \"a\": 1\n}"},
        {"block comment on the same line keeps pending space", "{\"a\": /*c*/ 1}",
         "{\n  \"a\": /*c*/ 1\n}"},
        {"comment inside empty brackets", "[/*c*/]", "[ /*c*/\n]"},
        {"bytes copied as they stand", R"(["\u00e7\"", -0.5E+3, "ç"])",
         "[\n  \"\\u00e7\\\"\",\n  -0.5E+3,\n  \"ç\"\n]"},
        {"bare scalar", "  42  ", "42"},
        {"final line feed kept", "[1]\n\n", "[\n  1\n]\n"},
        {"byte order mark dropped", "\xEF\xBB\xBF{}", "{}"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pretty(c.input), c.expected) << c.name;
    EXPECT_EQ(pretty("[1,[2]]", FormatIndent::tab()), "[\n\t1,\n\t[\n\t\t2\n\t]\n]");
    EXPECT_EQ(pretty("[1]", FormatIndent::spaces(0)), "[\n1\n]");
}

TEST(JSONFormatterTest, MinifyDropsCommentsAndWhiteSpace) {
    EXPECT_EQ(minify("{\"a\":1 // note\n, \"b\" : [ 1 , 2 ] /* x */}"), R"({"a":1,"b":[1,2]})");
    EXPECT_EQ(minify("[ ]\n"), "[]\n");
}

TEST(JSONFormatterTest, SortedKeys) {
    EXPECT_EQ(pretty(R"({"b":1,"a":[]})", FormatIndent::spaces(2), true),
              "{\n  \"a\": [],\n  \"b\": 1\n}");
    // Raw key bytes: "a!" before "a" (the ! is below the closing quote); duplicates keep order.
    EXPECT_EQ(minify(R"({"a":1,"a!":2,"b":3,"a":4})", true), R"({"a!":2,"a":1,"a":4,"b":3})");
    // Nested objects sort too; arrays keep their order.
    EXPECT_EQ(minify(R"([{"z":{"y":1,"x":2}},{"b":[3,1],"a":0}])", true),
              R"([{"z":{"x":2,"y":1}},{"a":0,"b":[3,1]}])");
}

TEST(JSONFormatterTest, SortedKeysCarryTheirCommentsAndStayValid) {
    const std::string input = "{\n"
                              "  // about zeta\n"
                              "  \"zeta\": 1, // after zeta\n"
                              "  \"alpha\": {\"d\": 4, /* mid */ \"c\": 3} /* after alpha */,\n"
                              "  \"mid\": [2, 1] // last\n"
                              "  // closing remark\n"
                              "}\n";
    const std::string expected = "{\n"
                                 "  \"alpha\": {\n"
                                 "    \"c\": 3,\n"
                                 "    \"d\": 4 /* mid */\n"
                                 "  }, /* after alpha */\n"
                                 "  \"mid\": [\n"
                                 "    2,\n"
                                 "    1\n"
                                 "  ], // last\n"
                                 "  // about zeta\n"
                                 "  \"zeta\": 1 // after zeta\n"
                                 "  // closing remark\n"
                                 "}\n";
    const std::string sorted = pretty(input, FormatIndent::spaces(2), true);
    EXPECT_EQ(sorted, expected);
    auto summary = JSONFormatter::validate(u16(sorted));
    ASSERT_TRUE(summary) << u8(summary.error().description());
    EXPECT_TRUE(summary->hasComments);
    EXPECT_EQ(pretty(sorted, FormatIndent::spaces(2), true), sorted); // sorting is idempotent
}

TEST(JSONFormatterTest, SortingHandlesCommentsAfterTheLastComma) {
    // Comments in an object without members become its trailer.
    EXPECT_EQ(pretty("{ /* only */ }", FormatIndent::spaces(2), true), "{ /* only */\n}");
    const std::string input = "{\"b\":1,\n\"a\":2\n/* end */}";
    EXPECT_EQ(pretty(input, FormatIndent::spaces(2), true),
              "{\n  \"a\": 2,\n  \"b\": 1\n  /* end */\n}");
}

TEST(JSONFormatterTest, SummaryCountsValuesDepthAndComments) {
    auto summary = JSONFormatter::validate(u"{\"a\":[1,{\"b\":null}]} /* c */");
    ASSERT_TRUE(summary);
    EXPECT_EQ(*summary, (JSONFormatter::Summary{true, 3, 5}));
    summary = JSONFormatter::validate(u"[{\"a\":[1,{\"b\":null}]}]");
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->maxDepth, 4);
    summary = JSONFormatter::validate(u"\"x\"");
    ASSERT_TRUE(summary);
    EXPECT_EQ(*summary, (JSONFormatter::Summary{false, 0, 1}));
}

struct ErrorCase {
    const char* name;
    std::string input;
    std::string message;
    std::int64_t line, column, offset;
};

TEST(JSONFormatterTest, ErrorsWithTheirPositions) {
    const std::string emoji = "\xF0\x9F\x98\x80"; // two UTF-16 units
    const ErrorCase cases[] = {
        {"trailing comma in array", "[1,]", "Sondaki virgül", 1, 4, 3},
        {"trailing comma in object", "{\"a\":1,}", "Sondaki virgül", 1, 8, 7},
        {"value missing after colon", "{\"a\":}", "Değer bekleniyordu", 1, 6, 5},
        {"colon missing", "{\"a\" 1}", "':' bekleniyordu", 1, 6, 5},
        {"key not a string", "{1:2}", "Anahtar (çift tırnaklı dize) bekleniyordu", 1, 2, 1},
        {"comma where a value belongs", "[,1]", "Değer bekleniyordu", 1, 2, 1},
        {"closing bracket at the root", "]", "Değer bekleniyordu", 1, 1, 0},
        {"wrong closing bracket", "[1}", "',' ya da ']' bekleniyordu", 1, 3, 2},
        {"two values in an object", "{\"a\":1 2}", "',' ya da '}' bekleniyordu", 1, 8, 7},
        {"extra content", "1 2", "Fazladan içerik (tek bir kök değer bekleniyordu)", 1, 3, 2},
        {"unclosed array", "[1", "Beklenmeyen son (kapanmamış '[')", 1, 3, 2},
        {"unclosed object", "{\"a\":[1]\n", "Beklenmeyen son (kapanmamış '{')", 2, 1, 9},
        {"empty", "", "Boş girdi", 1, 1, 0},
        {"only comments", " // a\n/* b */", "Boş girdi", 1, 1, 0},
        {"only a byte order mark", "\xEF\xBB\xBF", "Boş girdi", 1, 1, 0},
        {"line feed in a string", "[\"ab\ncd\"]", "Kapanmamış dize (satır sonu)", 1, 5, 4},
        {"tab in a string", "\"a\tb\"", "Dize içinde denetim karakteri", 1, 3, 2},
        {"unclosed string", "[\"abc", "Kapanmamış dize", 1, 2, 1},
        {"backslash at the end", "\"ab\\", "Kapanmamış dize", 1, 1, 0},
        {"bad escape", "\"a\\x\"", "Geçersiz kaçış dizisi", 1, 3, 2},
        {"short unicode escape", "\"\\u12\"", "Geçersiz \\u kaçışı", 1, 2, 1},
        {"unicode escape at the end", "\"\\u1", "Geçersiz \\u kaçışı", 1, 2, 1},
        {"non-hex unicode escape", "\"\\u12G4\"", "Geçersiz \\u kaçışı", 1, 2, 1},
        {"minus alone", "-", "Geçersiz sayı", 1, 1, 0},
        {"leading zero", "01", "Geçersiz sayı", 1, 1, 0},
        {"dot without digits", "[1.]", "Geçersiz sayı", 1, 2, 1},
        {"exponent without digits", "1e", "Geçersiz sayı", 1, 1, 0},
        {"two dots", "1.5.2", "Geçersiz sayı", 1, 1, 0},
        {"letter after number", "[12x]", "Geçersiz sayı", 1, 2, 1},
        {"non-ASCII after number", "1" + emoji, "Geçersiz sayı", 1, 1, 0},
        {"short word", "nul", "Geçersiz değer", 1, 1, 0},
        {"long word", "[truex]", "Geçersiz değer", 1, 2, 1},
        {"capitalised word", "True", "Beklenmeyen karakter 'T'", 1, 1, 0},
        {"lone slash", "[1]/", "Beklenmeyen karakter '/'", 1, 4, 3},
        {"unclosed block comment", "[1] /*/", "Kapanmamış yorum", 1, 5, 4},
        {"control character shown escaped", "[\x01]", "Beklenmeyen karakter '\\u0001'", 1, 2, 1},
        {"four-byte character shown", "[" + emoji + "]", "Beklenmeyen karakter '" + std::string(emoji) + "'", 1, 2, 1},
        {"character cut at the end", "[\xE2\x82", "Beklenmeyen karakter '\xEF\xBF\xBD'", 1, 2, 1},
        {"single quotes", "{'a':1}", "Beklenmeyen karakter '''", 1, 2, 1},
        {"after four-byte characters on a later line",
         "{\"" + emoji + emoji + "\": 1,\n  \"k" + emoji + "\": x}",
         "Beklenmeyen karakter 'x'", 2, 10, 21},
    };
    for (const ErrorCase& c : cases) {
        auto result = JSONFormatter::validate(u16(c.input));
        ASSERT_FALSE(result) << c.name;
        EXPECT_EQ(u8(result.error().message), c.message) << c.name;
        EXPECT_EQ(result.error().line, c.line) << c.name;
        EXPECT_EQ(result.error().column, c.column) << c.name;
        EXPECT_EQ(result.error().offset, c.offset) << c.name;
        // Pretty-printing and minifying stop at the same error.
        auto formatted = JSONFormatter::pretty(u16(c.input), FormatIndent::spaces(2), true);
        ASSERT_FALSE(formatted) << c.name;
        EXPECT_EQ(formatted.error(), result.error()) << c.name;
        auto minified = JSONFormatter::minify(u16(c.input), false);
        ASSERT_FALSE(minified) << c.name;
        EXPECT_EQ(minified.error(), result.error()) << c.name;
    }
}

TEST(JSONFormatterTest, ErrorOffsetMatchesTheUTF16Text) {
    // The reported offset points at the offending character in the UTF-16 text.
    const std::u16string text = u16("{\"a\xF0\x9F\x98\x80ç\":\n [1, 2,, 3]}");
    auto result = JSONFormatter::validate(text);
    ASSERT_FALSE(result);
    EXPECT_EQ(text[static_cast<std::size_t>(result.error().offset)], u',');
    EXPECT_EQ(text[static_cast<std::size_t>(result.error().offset) - 1], u',');
}

TEST(JSONFormatterTest, DeepNestingFormatsWithoutRecursion) {
    constexpr std::size_t depth = 1000000;
    const std::string arrays = std::string(depth, '[') + std::string(depth, ']');
    auto summary = JSONFormatter::validateUTF8(arrays);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->maxDepth, static_cast<std::int64_t>(depth));
    auto minified = JSONFormatter::formatUTF8(arrays, std::nullopt, true);
    ASSERT_TRUE(minified);
    EXPECT_EQ(*minified, arrays);
    // Pretty output of this depth would be terabytes: it fails with the size message.
    auto wide = JSONFormatter::formatUTF8(arrays, FormatIndent::spaces(4), false);
    ASSERT_FALSE(wide);
    EXPECT_EQ(u8(wide.error().message), "Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir");

    std::string objects;
    objects.reserve(depth * 6 + 8);
    for (std::size_t i = 0; i < depth; ++i)
        objects += "{\"k\":";
    objects += "1";
    objects.append(depth, '}');
    auto sorted = JSONFormatter::formatUTF8(objects, std::nullopt, true);
    ASSERT_TRUE(sorted);
    EXPECT_EQ(*sorted, objects);
    // Sorted pretty output of a deep object fails on the size limit after sorting it fully.
    std::string shallower;
    for (std::size_t i = 0; i < depth / 10; ++i)
        shallower += "{\"k\":";
    shallower += "1";
    shallower.append(depth / 10, '}');
    auto sortedPretty = JSONFormatter::formatUTF8(shallower, FormatIndent::tab(), true);
    ASSERT_FALSE(sortedPretty);
    EXPECT_EQ(u8(sortedPretty.error().message), "Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir");
}

TEST(JSONFormatterTest, OutputLimitAppliesToPrettyButNotMinify) {
    // About 4 KiB deep with a wide indent: far more than 64 MiB pretty, tiny minified.
    const std::string input = std::string(2000, '[') + "1" + std::string(2000, ']');
    auto result = JSONFormatter::formatUTF8(input, FormatIndent::spaces(40), false);
    ASSERT_FALSE(result);
    EXPECT_EQ(u8(result.error().message), "Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir");
    EXPECT_EQ(result.error().line, 1);
    EXPECT_GT(result.error().offset, 0);
    auto small = JSONFormatter::formatUTF8(input, std::nullopt, false);
    ASSERT_TRUE(small);
    EXPECT_EQ(*small, input);
    // The same depth with a narrow indent stays under the limit.
    EXPECT_TRUE(JSONFormatter::formatUTF8(input, FormatIndent::spaces(1), false));
}

std::string largeDocument(std::size_t bytes) {
    std::string json = "[";
    for (int i = 0; json.size() < bytes; ++i)
        json += "{\"id\":" + std::to_string(i) + ",\"name\":\"item çğü " + std::to_string(i) +
                "\",\"tags\":[\"a\",\"b\"],\"ok\":true},";
    json += "null]";
    return json;
}

TEST(JSONFormatterTest, ReportsProgressAndStopsWhenCancelledFromAnotherThread) {
    const std::u16string text = u16(largeDocument(24 << 20));
    auto progress = std::make_shared<ProgressToken>();
    std::atomic<bool> started = false;
    std::expected<std::u16string, FormatError> result;
    std::thread worker([&] {
        started = true;
        result = JSONFormatter::pretty(text, FormatIndent::spaces(2), true, progress.get());
    });
    while (!started || progress->fraction() == 0.0)
        std::this_thread::yield();
    progress->cancel();
    worker.join();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), FormatProgress::cancelledError());
    EXPECT_EQ(u8(result.error().message), "İptal edildi");

    // Without cancellation the fraction moves through the phases into the writing phase.
    auto complete = std::make_shared<ProgressToken>();
    ASSERT_TRUE(JSONFormatter::minify(u16(largeDocument(1 << 20)), false, complete.get()));
    EXPECT_GT(complete->fraction(), 0.55);
    EXPECT_LE(complete->fraction(), 1.0);
}

TEST(JSONFormatterTest, LongTokensStillMeetCheckpoints) {
    // One token spanning megabytes must not hide the job from progress and cancellation.
    const std::size_t length = 4 << 20;
    const std::string inputs[] = {
        "\"" + std::string(length, 'a') + "\"",
        std::string(length, '7'),
        "t" + std::string(length, 'x'),
    };
    for (const std::string& input : inputs) {
        auto progress = std::make_shared<ProgressToken>();
        (void)JSONFormatter::tokenize(input, progress.get());
        EXPECT_GT(progress->fraction(), 0.4) << input.substr(0, 8);
    }
}

TEST(JSONFormatterTest, CancelledBeforeStartReturnsTheCancellationError) {
    ProgressToken progress;
    progress.cancel();
    EXPECT_EQ(JSONFormatter::validate(u"[1]", &progress).error(), FormatProgress::cancelledError());
    EXPECT_EQ(JSONFormatter::pretty(std::u16string(3 << 20, u' ') + u"\"", FormatIndent::tab(), false,
                                    &progress)
                  .error(),
              FormatProgress::cancelledError());
}

} // namespace
} // namespace vendrix
