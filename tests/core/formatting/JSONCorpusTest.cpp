// Golden files, round-trip properties and a validation corpus for the JSON formatter.
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"

#include "support/JSONDocuments.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <random>

namespace vendrix {
namespace {

using test::u16;
using test::u8;

struct Variant {
    const char* suffix;
    std::optional<FormatIndent> indent;
    bool sortKeys;
};

const Variant kVariants[] = {
    {".pretty2.json", FormatIndent::spaces(2), false},
    {".pretty4.json", FormatIndent::spaces(4), false},
    {".prettytab.json", FormatIndent::tab(), false},
    {".sorted2.json", FormatIndent::spaces(2), true},
    {".minify.json", std::nullopt, false},
    {".sortedminify.json", std::nullopt, true},
};

std::string format(std::string_view input, std::optional<FormatIndent> indent, bool sortKeys) {
    auto result = indent ? JSONFormatter::pretty(u16(input), *indent, sortKeys)
                         : JSONFormatter::minify(u16(input), sortKeys);
    EXPECT_TRUE(result) << u8(result.error().description());
    return result ? u8(*result) : std::string();
}

std::vector<std::filesystem::path> goldenInputs() {
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(test::dataPath("formatting/json")))
        if (entry.path().string().ends_with(".input.json"))
            inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

TEST(JSONGoldenTest, EveryInputMatchesItsExpectedOutputs) {
    const auto inputs = goldenInputs();
    ASSERT_GE(inputs.size(), 5u);
    for (const auto& path : inputs) {
        const std::string input = test::readFileBytes(path);
        std::string stem = path.string();
        stem.resize(stem.size() - std::string_view(".input.json").size());
        int compared = 0;
        for (const Variant& variant : kVariants) {
            const std::filesystem::path expectedPath = stem + variant.suffix;
            if (!std::filesystem::exists(expectedPath))
                continue;
            ++compared;
            EXPECT_EQ(format(input, variant.indent, variant.sortKeys),
                      test::readFileBytes(expectedPath))
                << expectedPath.filename();
        }
        EXPECT_GE(compared, 2) << path.filename();
    }
}

// Valid documents beyond the golden files, for the properties below.
const char* const kValidCorpus[] = {
    "0",
    "-0.0e-0",
    "\"\\u00e7\\uD83D\\uDE00\\/\\b\\f\\n\\r\\t\\\\\\\"\"",
    "[]",
    "{}",
    "[[],{},[[]],{\"a\":{}}]",
    "{\"a\":1,\"b\":[true,false,null],\"c\":{\"d\":\"e\"}}",
    "[1, 2.5, -3e10, 4E+2, 5.0e-1]",
    "{\"z\":1,\"y\":2,\"x\":{\"w\":[{\"v\":0,\"u\":1}]}}",
    "// head\n{\n  \"a\": 1, // one\n  /* two */ \"b\": 2\n  // tail\n}\n",
    "[ /* empty */ ]",
    "{\"k\": /* inside */ [1, /* between */ 2]}",
    "\xEF\xBB\xBF{\"bom\": true}\r\n",
    "{\"çğü\": \"ş\xF0\x9F\x98\x80\", \"a\": \"\xE2\x82\xAC\"}",
    "[\"\x7F\", \"\xF4\x8F\xBF\xBF\"]",
    "{\"dup\":1,\"dup\":2,\"a!\":3,\"a\":4}",
};

std::vector<std::string> propertyCorpus() {
    std::vector<std::string> corpus(std::begin(kValidCorpus), std::end(kValidCorpus));
    for (const auto& path : goldenInputs())
        corpus.push_back(test::readFileBytes(path));
    return corpus;
}

TEST(JSONPropertyTest, MinifyOfPrettyEqualsMinify) {
    for (const std::string& input : propertyCorpus()) {
        for (bool sortKeys : {false, true}) {
            const std::string minified = format(input, std::nullopt, sortKeys);
            for (FormatIndent indent : {FormatIndent::spaces(2), FormatIndent::spaces(4),
                                        FormatIndent::tab(), FormatIndent::spaces(0)}) {
                const std::string prettyText = format(input, indent, sortKeys);
                EXPECT_EQ(format(prettyText, std::nullopt, sortKeys), minified) << input;
                // Pretty output is a fixed point and validates with the same summary.
                EXPECT_EQ(format(prettyText, indent, sortKeys), prettyText) << input;
                auto before = JSONFormatter::validate(u16(input));
                auto after = JSONFormatter::validate(u16(prettyText));
                ASSERT_TRUE(before && after) << input;
                EXPECT_EQ(before->maxDepth, after->maxDepth) << input;
                EXPECT_EQ(before->valueCount, after->valueCount) << input;
            }
            // Sorting only reorders: the minified forms have the same length.
            EXPECT_EQ(minified.size(), format(input, std::nullopt, !sortKeys).size()) << input;
        }
    }
}

struct CorpusCase {
    const char* name;
    std::string text;
};

std::vector<CorpusCase> validDocuments() {
    std::vector<CorpusCase> cases = {
        {"zero", "0"},
        {"negative zero", "-0"},
        {"fraction", "0.5"},
        {"exponent", "1e5"},
        {"signed exponent", "-1.25E-7"},
        {"plus exponent", "2e+30"},
        {"big integer", "123456789012345678901234567890"},
        {"long fraction", "3.14159265358979323846264338327950288"},
        {"true", "true"},
        {"false", "false"},
        {"null", "null"},
        {"empty string", "\"\""},
        {"all simple escapes", "\"\\\" \\\\ \\/ \\b \\f \\n \\r \\t\""},
        {"unicode escape lower", "\"\\u00e9\""},
        {"unicode escape upper", "\"\\u00E9\""},
        {"surrogate pair escape", "\"\\uD834\\uDD1E\""},
        {"lone high surrogate escape", "\"\\uD800\""},
        {"lone low surrogate escape", "\"\\uDC00\""},
        {"raw four-byte character", "\"\xF0\x9D\x84\x9E\""},
        {"raw DEL", "\"\x7F\""},
        {"raw U+2028", "\"\xE2\x80\xA8\""},
        {"empty array", "[]"},
        {"empty object", "{}"},
        {"nested empties", "[[[]],{},[{}]]"},
        {"object of everything", "{\"a\":1,\"b\":\"s\",\"c\":[],\"d\":{},\"e\":true,\"f\":null}"},
        {"white space everywhere", " \t\r\n[ 1 ,\r\n 2 ]\n\t "},
        {"line comment", "[1] // done"},
        {"block comment", "/* lead */ [1]"},
        {"comments between tokens", "{/*a*/\"k\"/*b*/:/*c*/1/*d*/}"},
        {"comment with stars", "/***/ /* ** / */ 1"},
        {"byte order mark", "\xEF\xBB\xBF[1]"},
        {"duplicate keys", "{\"a\":1,\"a\":2}"},
        {"deep arrays", std::string(100000, '[') + std::string(100000, ']')},
        {"deep objects", [] {
             std::string s;
             for (int i = 0; i < 50000; ++i)
                 s += "{\"a\":";
             return s + "0" + std::string(50000, '}');
         }()},
    };
    return cases;
}

std::vector<CorpusCase> invalidDocuments() {
    return {
        {"empty", ""},
        {"only white space", " \n\t"},
        {"only a comment", "// nothing"},
        {"leading zero", "01"},
        {"leading plus", "+1"},
        {"bare dot", ".5"},
        {"dot at the end", "1."},
        {"exponent without digits", "1e"},
        {"exponent sign only", "1e+"},
        {"minus alone", "-"},
        {"minus letter", "-a"},
        {"hex number", "0x10"},
        {"infinity", "Infinity"},
        {"NaN", "NaN"},
        {"two dots", "1.2.3"},
        {"number then letter", "12a"},
        {"capital True", "True"},
        {"truncated null", "nul"},
        {"nullx", "nullx"},
        {"single-quoted string", "'a'"},
        {"unclosed string", "\"abc"},
        {"raw line feed in string", "\"a\nb\""},
        {"raw tab in string", "\"a\tb\""},
        {"raw NUL in string", std::string("\"a\0b\"", 5)},
        {"raw 0x1F in string", "\"\x1F\""},
        {"bad escape", "\"\\a\""},
        {"escaped single quote", "\"\\'\""},
        {"short unicode escape", "\"\\u12\""},
        {"unicode escape with non-hex", "\"\\uZZZZ\""},
        {"upper-case U escape", "\"\\U0041\""},
        {"backslash at the end", "\"\\"},
        {"trailing comma in array", "[1,2,]"},
        {"trailing comma in object", "{\"a\":1,}"},
        {"leading comma", "[,1]"},
        {"double comma", "[1,,2]"},
        {"missing comma", "[1 2]"},
        {"missing colon", "{\"a\" 1}"},
        {"missing value", "{\"a\":}"},
        {"unquoted key", "{a:1}"},
        {"number key", "{1:1}"},
        {"mismatched brackets", "[}"},
        {"unclosed array", "[1"},
        {"unclosed object", "{\"a\":1"},
        {"extra closing", "[1]]"},
        {"two roots", "{} {}"},
        {"unclosed block comment", "/* x"},
        {"lone slash", "/"},
        {"hash comment", "# x\n1"},
        {"raw control character", "[\x01]"},
        {"stray non-ASCII", "[\xC3\xA7]"},
        {"deep unclosed", std::string(100000, '[')},
        {"deep with trailing comma", std::string(1000, '[') + "1," + std::string(1000, ']')},
    };
}

TEST(JSONValidationCorpusTest, AcceptsEveryValidAndRejectsEveryInvalidDocument) {
    int accepted = 0, rejected = 0;
    const auto valid = validDocuments();
    const auto invalid = invalidDocuments();
    for (const CorpusCase& c : valid) {
        auto result = JSONFormatter::validateUTF8(c.text);
        EXPECT_TRUE(result) << c.name << ": " << (result ? "" : u8(result.error().description()));
        accepted += result.has_value();
    }
    for (const CorpusCase& c : invalid) {
        auto result = JSONFormatter::validateUTF8(c.text);
        EXPECT_FALSE(result) << c.name;
        rejected += !result.has_value();
    }
    std::cout << "JSON validation corpus: " << accepted << " of " << valid.size()
              << " valid documents accepted, " << rejected << " of " << invalid.size()
              << " invalid documents rejected\n";
}

TEST(JSONStreamTest, EveryCorpusDocumentGivesTheTokenPipelinesBytesAndErrors) {
    std::vector<std::string> inputs = propertyCorpus();
    for (const auto& list : {validDocuments(), invalidDocuments()})
        for (const CorpusCase& c : list)
            inputs.push_back(c.text);
    for (const std::string& input : inputs)
        EXPECT_EQ(test::streamDisagreement(input), "") << "input: " << input;
}

// Mutated documents: whatever the damage, every operation ends in a result or a positioned
// error, all operations agree on validity, and valid results keep the round-trip property.
TEST(JSONPropertyTest, MutatedInputsEndInAResultOrAConsistentError) {
    std::mt19937 rng(20261207);
    const std::vector<std::string> seeds = propertyCorpus();
    const std::string alphabet = "{}[]:,\"\\/*tfnule0123456789.-+ \n\r\t\x01\x7F\xC3\xA7\xF0\x9F\x98\x80\xFF";
    int valid = 0, invalid = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = seeds[rng() % seeds.size()];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = rng() % (text.size() + 1);
            switch (rng() % 4) {
            case 0: // insert
                text.insert(at, 1, alphabet[rng() % alphabet.size()]);
                break;
            case 1: // delete
                if (at < text.size())
                    text.erase(at, 1);
                break;
            case 2: // replace
                if (at < text.size())
                    text[at] = alphabet[rng() % alphabet.size()];
                break;
            default: // truncate
                text.resize(at);
                break;
            }
        }
        const std::u16string utf16 = FormatText::fromUTF8(text);
        auto validated = JSONFormatter::validate(utf16);
        auto prettyText = JSONFormatter::pretty(utf16, FormatIndent::spaces(2), round % 2 == 0);
        auto minified = JSONFormatter::minify(utf16, round % 2 == 0);
        ASSERT_EQ(validated.has_value(), prettyText.has_value()) << text;
        ASSERT_EQ(validated.has_value(), minified.has_value()) << text;
        if (!validated) {
            ++invalid;
            EXPECT_EQ(prettyText.error(), validated.error()) << text;
            EXPECT_EQ(minified.error(), validated.error()) << text;
            EXPECT_GE(validated.error().offset, 0);
            EXPECT_LE(validated.error().offset, static_cast<std::int64_t>(utf16.size()));
            EXPECT_GE(validated.error().line, 1);
            EXPECT_GE(validated.error().column, 1);
            continue;
        }
        ++valid;
        auto again = JSONFormatter::minify(*prettyText, round % 2 == 0);
        ASSERT_TRUE(again) << text;
        EXPECT_EQ(*again, *minified) << text;
    }
    EXPECT_GT(valid, 100);
    EXPECT_GT(invalid, 1000);
}

} // namespace
} // namespace vendrix
