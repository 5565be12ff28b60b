// The detect and tokens commands, driven as a script would drive them.
#include "support/CliRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

namespace vendrix {
namespace {

using test::CliRun;

const test::CliRunner cli{VENDRIX_CLI_PATH};

std::string quoted(const std::filesystem::path& path) {
    return test::shellQuoted(path.string());
}

TEST(SyntaxCliTest, DetectsFromNameFirstLineAndContent) {
    test::TempDir dir;
    struct Case {
        const char* name;
        const char* content;
        const char* language;
    };
    const Case cases[] = {
        {"Main.SWIFT", "", "swift"},
        {"tool", "#!/usr/bin/env python3\nprint(1)\n", "python"},
        {"page", "\n  <!DOCTYPE html>\n<html>", "html"},
        {"data", "[{\"a\": 1}]", "json"},
        {"notes.txt", "just words", "plain"},
        {"latin1", "<?xml version=\"1.0\"?>\n<a>\xE7</a>", "xml"},
    };
    for (const Case& c : cases) {
        auto path = dir.path() / c.name;
        test::writeFileBytes(path, c.content);
        CliRun result = cli.run("detect " + quoted(path));
        EXPECT_EQ(result.status, 0) << c.name;
        EXPECT_EQ(nlohmann::json::parse(result.out), nlohmann::json({{"language", c.language}}))
            << c.name;
    }
    EXPECT_NE(cli.run("detect " + quoted(dir.path() / "missing.js")).status, 0);
    EXPECT_EQ(cli.run("detect").status, 2);
}

TEST(SyntaxCliTest, PrintsTokensAsTextAndJSON) {
    test::TempDir dir;
    auto path = dir.path() / "a.js";
    test::writeFileBytes(path, "let x = 0x1F; /* a\r\nç */ `t`\n");
    CliRun text = cli.run("tokens " + quoted(path));
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "1:0 3 keyword\n"
                        "1:8 4 number\n"
                        "1:14 4 comment\n"
                        "2:0 4 comment\n"
                        "2:5 3 string\n");

    CliRun json = cli.run("tokens --json " + quoted(path));
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(nlohmann::json::parse(json.out),
              nlohmann::json::parse(R"([[1,0,3,"keyword"],[1,8,4,"number"],[1,14,4,"comment"],
                                        [2,0,4,"comment"],[2,5,3,"string"]])"));

    // The override wins over the file name; plain text has no tokens.
    CliRun sql = cli.run("tokens --language sql " + quoted(path));
    EXPECT_EQ(sql.out.substr(0, 14), "1:8 4 number\n1");
    EXPECT_EQ(cli.run("tokens --language plain " + quoted(path)).out, "");
    EXPECT_EQ(cli.run("tokens --language rust " + quoted(path)).status, 2);
    EXPECT_EQ(cli.run("tokens --json --language plain " + quoted(path)).out, "[]\n");
}

TEST(SyntaxCliTest, TokensOfAGoldenSampleMatchTheGoldenFile) {
    auto sample = test::dataPath("syntax/sample.yaml");
    CliRun result = cli.run("tokens " + quoted(sample));
    ASSERT_EQ(result.status, 0);
    std::string golden = test::readFileBytes(test::dataPath("syntax/sample.yaml.tokens"));
    // The golden file adds a header line and each token's text after a tab.
    std::string stripped;
    std::size_t start = golden.find('\n') + 1;
    while (start < golden.size()) {
        std::size_t end = golden.find('\n', start);
        std::string line = golden.substr(start, end - start);
        stripped += line.substr(0, line.find('\t')) + "\n";
        start = end + 1;
    }
    EXPECT_EQ(result.out, stripped);
}

} // namespace
} // namespace vendrix
