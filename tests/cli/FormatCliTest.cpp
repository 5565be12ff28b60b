// vendrix-cli format and codec, run as a script would run them.
#include "support/CliRunner.h"
#include "support/TestSupport.h"

#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"

#include <gtest/gtest.h>

namespace {

using vendrix::test::CliRun;
using vendrix::test::shellQuoted;
using vendrix::test::TempDir;
using vendrix::test::withInput;

const vendrix::test::CliRunner cli{VENDRIX_CLI_PATH};

TEST(FormatCliTest, JSONKinds) {
    struct Case {
        const char* args;
        const char* input;
        const char* expected;
    } cases[] = {
        {"format json", "{\"b\":1,\"a\":[]}\n", "{\n  \"b\": 1,\n  \"a\": []\n}\n"},
        {"format json --indent 4", "[1]", "[\n    1\n]"},
        {"format json --indent tab", "[1]", "[\n\t1\n]"},
        {"format json-sorted", "{\"b\":1,\"a\":2}", "{\n  \"a\": 2,\n  \"b\": 1\n}"},
        {"format json-minify", "{ \"b\" : 1 , // x\n \"a\" : 2 }", "{\"b\":1,\"a\":2}"},
        {"format json-minify-sorted", "{ \"b\" : 1 , \"a\" : 2 }", "{\"a\":2,\"b\":1}"},
        // Bytes that are not UTF-8 read as U+FFFD; a byte-order mark is not written.
        {"format json-minify", "\xEF\xBB\xBF[\"\xFF\", \"\xC3\xA7\"]", "[\"\xEF\xBF\xBD\",\"\xC3\xA7\"]"},
        {"format json", "\xEF\xBB\xBF[\"\xC3\xA7\"]\n", "[\n  \"\xC3\xA7\"\n]\n"},
        {"format json-validate", "{\"a\":[1,{\"b\":null}]} /* c */",
         "Geçerli JSON (derinlik 3, yorum içeriyor)\n"},
        {"format json-validate", "[]", "Geçerli JSON (derinlik 1)\n"},
        {"format json-validate --json", "[1]",
         "{\"hasComments\":false,\"maxDepth\":1,\"valid\":true,\"valueCount\":2}\n"},
        {"format auto", "  [1]", "[\n  1\n]"},
        {"format auto --language json", "[1]", "[\n  1\n]"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli.run(c.args, withInput(c.input));
        EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
        EXPECT_EQ(run.out, c.expected) << c.args;
    }
}

TEST(FormatCliTest, FileArgumentAndErrors) {
    TempDir dir;
    const auto file = dir.path() / "doc.json";
    vendrix::test::writeFileBytes(file, "{\"k\":\n  [1,]}");
    CliRun run = cli.run("format json " + shellQuoted(file.string()), withInput(""));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "satır 2, sütun 6: Sondaki virgül\n");

    run = cli.run("format json-validate", withInput("\xF0\x9F\x98\x80"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "satır 1, sütun 1: Beklenmeyen karakter '\xF0\x9F\x98\x80'\n");

    run = cli.run("format json-validate", withInput(""));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "satır 1, sütun 1: Boş girdi\n");

    EXPECT_EQ(cli.run("format yaml", withInput("x")).status, 2);
    EXPECT_EQ(cli.run("format json --indent 3", withInput("[]")).status, 2);
    EXPECT_EQ(cli.run("format", withInput("")).status, 2);
    EXPECT_EQ(
        cli.run("format json " + shellQuoted((dir.path() / "missing").string()), withInput(""))
            .status,
        1);
    run = cli.run("format auto", withInput("plain words"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Bu belge için biçimlendirici yok"), std::string::npos);
}

TEST(FormatCliTest, LargeJSONFilesAreStreamedOnlyWhenTheyFormat) {
    // Files of megabytes are mapped, checked and written in blocks; whatever fails gives its
    // error and no output, and input the blocks cannot take goes the whole-output way.
    std::string records = "[";
    for (int i = 0; records.size() < (3 << 20); ++i)
        records += (i ? ",\n" : "") + std::string("{\"id\": ") + std::to_string(i) +
                   ", \"name\": \"çalış \\u00e7 " + std::to_string(i) + "\", \"v\": [1.5e3, true, null]}";
    const std::string deep = std::string(12, '[') + std::string(1 << 20, '1').insert(1, ",") +
                             std::string(12, ']');
    struct Case {
        std::string bytes;
        std::optional<vendrix::FormatIndent> indent;
    } cases[] = {
        {records + "]\n", vendrix::FormatIndent::spaces(4)},
        {records + "]", std::nullopt},
        {records + ",]\n", vendrix::FormatIndent::spaces(2)},     // fails at the end
        {records + "] /* x", std::nullopt},                      // a tokenizer error last
        {"[\"\xFF\"," + records.substr(1) + "]", std::nullopt}, // not UTF-8
        {deep, vendrix::FormatIndent::spaces(4)},                 // may pass the output limit
    };
    TempDir dir;
    const auto file = dir.path() / "big.json";
    for (const Case& c : cases) {
        vendrix::test::writeFileBytes(file, c.bytes);
        const std::string args = c.indent ? (c.indent->spaceCount() == 4 ? "format json --indent 4"
                                                                        : "format json")
                                          : "format json-minify";
        const CliRun run = cli.run(args + " " + shellQuoted(file.string()), withInput(""));
        const auto expected = vendrix::JSONFormatter::formatFileBytes(c.bytes, c.indent, false);
        if (expected) {
            EXPECT_EQ(run.status, 0) << args << ": " << run.err;
            EXPECT_TRUE(run.out == *expected) << args << ": " << run.out.size() << " bytes";
        } else {
            EXPECT_EQ(run.status, 1) << args;
            EXPECT_EQ(run.out.size(), 0u) << args;
            EXPECT_EQ(run.err, vendrix::FormatText::toUTF8(expected.error().description()) + "\n");
        }
    }
}

TEST(FormatCliTest, MarkupSQLAndCSSKinds) {
    struct Case {
        const char* args;
        const char* input;
    } cases[] = {
        {"format xml", "<a><b>x</b><c/></a>\n"},
        {"format html --indent 4", "<html><body><p>x</p></body></html>"},
        {"format markup-minify", "<a>\n  <b>x</b>\n</a>"},
        {"format html-minify", "<div>\n  <p>x</p>\n</div>"},
        {"format sql", "select a, b from t where x = 1"},
        {"format css", "a{color:red;margin:0}"},
        {"format css-minify", "a {\n  color: red;\n}\n"},
    };
    // Each kind reaches its formatter: output that differs from the input, status 0.
    for (const Case& c : cases) {
        const CliRun run = cli.run(c.args, withInput(c.input));
        EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
        EXPECT_FALSE(run.out.empty()) << c.args;
        EXPECT_NE(run.out, c.input) << c.args;
    }
    const CliRun run = cli.run("format xml", withInput("<a><b></a>"));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("satır 1, sütun ")) << run.err;
}

TEST(FormatCliTest, Codecs) {
    struct Case {
        const char* operation;
        const char* input;
        const char* expected;
    } cases[] = {
        {"html-encode", "<a href=\"x\">&'", "&lt;a href=&quot;x&quot;&gt;&amp;&#39;"},
        {"html-decode", "&lt;&#65;&#x42;&copy;", "<AB©"},
        {"json-escape", "a\tb\"", "\"a\\tb\\\"\""},
        {"json-unescape", "\"\\uD83D\\uDE00\"", "😀"},
        {"base64-encode", "abc", "YWJj"},
        {"base64-decode", "YW Jj\n", "abc"},
        {"url-encode", "a b/ç", "a%20b%2F%C3%A7"},
        {"url-decode", "a+b%20c", "a+b c"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli.run(std::string("codec ") + c.operation, withInput(c.input));
        EXPECT_EQ(run.status, 0) << c.operation << ": " << run.err;
        EXPECT_EQ(run.out, c.expected) << c.operation;
    }
    CliRun run = cli.run("codec url-decode", withInput("ab%G1"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "satır 1, sütun 3: Geçersiz yüzde kodlaması\n");
    run = cli.run("codec base64-decode", withInput("YW*j"));
    EXPECT_EQ(run.err, "satır 1, sütun 3: Geçersiz Base64 karakteri\n");
    EXPECT_EQ(cli.run("codec rot13", withInput("x")).status, 2);
}

} // namespace
