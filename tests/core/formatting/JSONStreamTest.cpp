// The streaming JSON formatter and the file-bytes entry point against the token pipeline and
// the decoding path: the same bytes and the same errors for generated documents.
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONBlockStream.h"
#include "core/formatting/JSONFormatter.h"

#include "support/JSONDocuments.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

// What the command-line tool did before it had a byte path: decode (invalid bytes replaced),
// format the text, encode the result.
std::expected<std::string, FormatError> throughText(std::string_view bytes,
                                                    std::optional<FormatIndent> indent,
                                                    bool sortKeys) {
    const std::u16string text = FormatText::fromUTF8(bytes);
    auto result = indent ? JSONFormatter::pretty(text, *indent, sortKeys)
                         : JSONFormatter::minify(text, sortKeys);
    if (!result)
        return std::unexpected(result.error());
    return FormatText::toUTF8(*result);
}

TEST(JSONStreamTest, GeneratedDocumentsGiveTheTokenPipelinesBytesAndErrors) {
    test::JSONDocuments documents(20261207);
    int valid = 0;
    for (int round = 0; round < 10000; ++round) {
        const std::string input = documents.next();
        const std::string disagreement = test::streamDisagreement(input);
        ASSERT_EQ(disagreement, "") << "input: " << input;
        valid += JSONFormatter::validateUTF8(input).has_value();
        // The file-bytes entry point, sorted or not, against decode-format-encode.
        const bool sortKeys = round % 4 == 0;
        const auto indent = round % 2 ? std::optional(FormatIndent::spaces(2)) : std::nullopt;
        ASSERT_EQ(JSONFormatter::formatFileBytes(input, indent, sortKeys),
                  throughText(input, indent, sortKeys))
            << "input: " << input;
    }
    EXPECT_GT(valid, 3000);
    EXPECT_LT(valid, 9000);
}

TEST(JSONStreamTest, OutputLimitFailsAtTheSameTokenUnlessAnEarlierFaultWins) {
    // Deep nesting with a wide indent passes the 64 MiB output limit; a tokenizer error
    // anywhere, or a grammar error before the limit, is reported instead.
    const std::string deep = std::string(3000, '[') + "1" + std::string(3000, ']');
    for (const std::string& input : {deep, deep + " @", deep + "1", "[}" + deep, deep + "\"x"}) {
        const auto wide = FormatIndent::spaces(40);
        const auto streamed = JSONFormatter::streamUTF8(input, wide);
        ASSERT_FALSE(streamed);
        EXPECT_EQ(streamed, JSONFormatter::formatTokensUTF8(input, wide, false));
        EXPECT_TRUE(JSONFormatter::streamUTF8(input, std::nullopt) ==
                    JSONFormatter::formatTokensUTF8(input, std::nullopt, false));
    }
    EXPECT_EQ(JSONFormatter::streamUTF8(deep, FormatIndent::spaces(40)).error().message,
              u"Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir");
}

// What the UTF-16 stream stands for: the text's UTF-8 form streamed, finished and decoded.
std::expected<std::u16string, FormatError> throughBytes(std::u16string_view text,
                                                        std::optional<FormatIndent> indent) {
    auto bytes = FormatText::inputBytes(text);
    auto output = JSONFormatter::streamUTF8(*bytes, indent);
    if (!output)
        return std::unexpected(output.error());
    return FormatText::finish(std::move(*output), *bytes);
}

TEST(JSONStreamTest, UTF16StreamGivesTheUTF8StreamsTextAndErrors) {
    // Generated documents as text, some with unpaired surrogates put anywhere (in strings,
    // comments, words, between tokens) or next to a pair.
    test::JSONDocuments documents(20261208);
    std::mt19937 rng(5);
    const std::u16string inserts[] = {u"\xD800", u"\xDFFF", u"\xDBFF\xDC00", u"\xDC00\xD800",
                                      u"\xD83D", u"\xFEFF", u"\u00E7"};
    const std::optional<FormatIndent> indents[] = {FormatIndent::spaces(2), FormatIndent::tab(),
                                                   FormatIndent::spaces(0), std::nullopt};
    int failures = 0;
    for (int round = 0; round < 6000; ++round) {
        std::u16string text = FormatText::fromUTF8(documents.next());
        for (int e = round % 3 == 0 ? 1 + static_cast<int>(rng() % 3) : 0; e > 0; --e)
            text.insert(rng() % (text.size() + 1), inserts[rng() % std::size(inserts)]);
        for (const auto& indent : indents) {
            const auto streamed = JSONFormatter::streamUTF16(text, indent);
            ASSERT_EQ(streamed, throughBytes(text, indent))
                << "input: " << FormatText::toUTF8(text) << (indent ? " pretty" : " minify");
            failures += !streamed;
        }
    }
    // Units above 0xFF whose low byte is a digit, a hex letter, '.' or a letter of a word.
    for (const std::u16string text : {u"1\u0131", u"[\"\\u00\u0131\u0130\"]", u"\u0131", u"-\u0130",
                                      u"1.\u0131", u"1e\u0131", u"tru\u0165", u"1\u012E0",
                                      u"[1,\u015B]", u"\"\\u\u0161\u0161\u0161\u0161\""}) {
        for (const auto& indent : indents)
            EXPECT_EQ(JSONFormatter::streamUTF16(text, indent), throughBytes(text, indent))
                << FormatText::toUTF8(text);
    }
    EXPECT_GT(failures, 2000);
    EXPECT_LT(failures, 20000);
}

TEST(JSONStreamTest, WideIndentationReadsBackToTheSameDocument) {
    // Long runs of blanks (skipped a block at a time): pretty output read again gives itself,
    // and its minified form is the original's, on bytes and on text.
    test::JSONDocuments documents(20261210);
    int checked = 0;
    for (int round = 0; round < 2000; ++round) {
        const std::string input = documents.next();
        const auto indent = round % 2 ? FormatIndent::spaces(23) : FormatIndent::tab();
        const auto pretty = JSONFormatter::streamUTF8(input, indent);
        if (!pretty || pretty->size() > 200000)
            continue;
        const std::string spaced = *pretty + std::string(round % 40, ' ') + "\r\n";
        EXPECT_EQ(JSONFormatter::streamUTF8(spaced, indent), JSONFormatter::streamUTF8(*pretty + "\n", indent));
        EXPECT_EQ(JSONFormatter::streamUTF8(spaced, std::nullopt),
                  JSONFormatter::streamUTF8(input + (input.ends_with('\n') ? "" : "\n"), std::nullopt))
            << input;
        const std::u16string text = FormatText::fromUTF8(spaced);
        EXPECT_EQ(JSONFormatter::streamUTF16(text, indent), throughBytes(text, indent));
        ++checked;
    }
    EXPECT_GT(checked, 500);
}

TEST(JSONStreamTest, UTF16StreamPastItsUnitLimitAnswersAsTheUTF8Stream) {
    // Nesting whose output passes a third of the byte limit in units: within the limit with
    // a narrow indent, past it with a wide one, and a later tokenizer error in either case.
    const std::u16string deep = std::u16string(1400, u'[') + u"\"\x00E7\xD800\"" +
                                std::u16string(1400, u']');
    for (const std::u16string& text : {deep, deep + u" @", u"[}" + deep}) {
        for (int width : {4, 16, 40}) {
            const auto indent = FormatIndent::spaces(width);
            const auto streamed = JSONFormatter::streamUTF16(text, indent);
            EXPECT_EQ(streamed, throughBytes(text, indent)) << width;
        }
    }
    EXPECT_TRUE(JSONFormatter::streamUTF16(deep, FormatIndent::spaces(16)).has_value());
    EXPECT_FALSE(JSONFormatter::streamUTF16(deep, FormatIndent::spaces(40)).has_value());
}

// The line starts of a text as its line index holds them: 0, then the offset after each LF.
std::vector<std::int64_t> lineStartsOf(std::u16string_view text) {
    std::vector<std::int64_t> starts{0};
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == u'\n')
            starts.push_back(static_cast<std::int64_t>(i + 1));
    return starts;
}

TEST(JSONStreamTest, PrettyNotesTheLineStartsOfItsOutput) {
    // The same output and errors as plain pretty output, and the output's own line starts
    // (comments holding line feeds, trailing white space cut, a final line feed kept).
    const auto check = [](const std::u16string& text, FormatIndent indent) {
        std::vector<std::int64_t> starts{42};
        const auto pretty = JSONFormatter::pretty(text, indent, starts);
        ASSERT_EQ(pretty, JSONFormatter::pretty(text, indent, false)) << FormatText::toUTF8(text);
        if (pretty)
            ASSERT_EQ(starts, lineStartsOf(*pretty)) << FormatText::toUTF8(text);
        else
            ASSERT_TRUE(starts.empty());
    };
    test::JSONDocuments documents(20261211);
    for (int round = 0; round < 3000; ++round)
        check(FormatText::fromUTF8(documents.next()),
              round % 2 ? FormatIndent::spaces(2) : FormatIndent::tab());
    for (const std::u16string text :
         {u"", u"\n", u"1", u"1\n", u"{}", u"[]\n\n", u"[1,{\"a\":[]}]", u"/* a\nb */",
          u"// x\n[1, /* a\r\nb\n */ 2] // y\n", u"[1,\n// c\r\n2]  \n", u"[\"\xD800\"]\n",
          u"{\"a\":1 /*\n*/}", u"[1,2", u"[\"a\nb\"]"})
        check(text, FormatIndent::spaces(4));
    // Large enough for the buffers' huge pages; and past the unit limit, where the output
    // is made on bytes and notes no starts.
    std::u16string large = u"[";
    for (int i = 0; large.size() < (std::size_t{3} << 20); ++i)
        large += u"{\"k\":[1,2,{\"x\":\"\u00e7\"}]}, /* c\n */";
    check(large + u"0]\n", FormatIndent::spaces(2));
    const std::u16string deep = std::u16string(1400, u'[') + u"1" + std::u16string(1400, u']');
    std::vector<std::int64_t> starts;
    ASSERT_TRUE(JSONFormatter::pretty(deep, FormatIndent::spaces(16), starts));
    EXPECT_TRUE(starts.empty());
}

TEST(JSONStreamTest, BlockStreamHandsOverTheStreamsBytesInBlocksOrItsErrorAlone) {
    // Tiny blocks put block ends everywhere, also inside white space held back at a block's end.
    test::JSONDocuments documents(20261209);
    const std::optional<FormatIndent> indents[] = {FormatIndent::spaces(2), FormatIndent::tab(),
                                                   std::nullopt};
    for (int round = 0; round < 3000; ++round) {
        const std::string input = documents.next();
        if (!FormatText::isValidUTF8(input))
            continue;
        for (const auto& indent : indents) {
            const auto whole = JSONFormatter::streamUTF8(input, indent);
            std::string joined;
            int blocks = 0;
            const auto result = JSONBlockStream::format(
                input, indent,
                [&](std::string_view block) {
                    EXPECT_FALSE(block.empty());
                    joined += block;
                    ++blocks;
                    return true;
                },
                1 + round % 50);
            if (!whole) {
                ASSERT_TRUE(std::holds_alternative<FormatError>(result)) << input;
                ASSERT_EQ(std::get<FormatError>(result), whole.error()) << input;
                ASSERT_EQ(blocks, 0) << input;
                continue;
            }
            ASSERT_TRUE(std::holds_alternative<JSONBlockStream::Done>(result)) << input;
            ASSERT_EQ(joined, *whole) << input;
            if (joined.size() > 400)
                EXPECT_GT(blocks, 1) << input;
        }
    }
    auto none = [](std::string_view) {
        ADD_FAILURE() << "a block was handed over";
        return false;
    };
    // Deep nesting with a wide indent may pass the output limit: the whole output decides.
    const std::string deep = std::string(3000, '[') + std::string(3000, ']');
    EXPECT_TRUE(std::holds_alternative<JSONBlockStream::MayNotFit>(
        JSONBlockStream::format(deep, FormatIndent::spaces(40), none)));
    // A consumer that refuses a block stops the formatting with a failure.
    const std::string list = "[" + std::string(1000, '1') + "," + std::string(1000, '2') + "]";
    for (const auto& indent : indents) {
        EXPECT_TRUE(std::holds_alternative<FormatError>(
            JSONBlockStream::format(list, indent, [](std::string_view) { return false; }, 64)));
    }
    // Minified output of many short runs takes the writing pass instead of keeping the runs.
    std::string spaced = "[";
    for (int i = 0; i < 3000; ++i)
        spaced += (i ? " , " : "") + std::to_string(i % 10);
    spaced += " ]\n";
    std::string joined;
    EXPECT_TRUE(std::holds_alternative<JSONBlockStream::Done>(JSONBlockStream::format(
        spaced, std::nullopt, [&](std::string_view b) { return joined += b, true; }, 100)));
    EXPECT_EQ(joined, *JSONFormatter::streamUTF8(spaced, std::nullopt));
}

} // namespace
} // namespace vendrix
