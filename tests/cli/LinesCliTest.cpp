// vendrix-cli lines, run as a script would run it.
#include "support/CliRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using vendrix::test::CliRun;
using vendrix::test::shellQuoted;
using vendrix::test::TempDir;
using vendrix::test::withInput;

const vendrix::test::CliRunner cli{VENDRIX_CLI_PATH};

TEST(LinesCliTest, Operations) {
    struct Case {
        const char* args;
        const char* input;
        const char* expected;
    } cases[] = {
        {"lines sortAscending", "ş\ns\nı\ni\n", "ı\ni\ns\nş\n"},
        {"lines sortDescending", "a\r\nc\r\nb", "c\nb\na"},
        {"lines removeDuplicates", "x\ny\nx\n", "x\ny\n"},
        {"lines upperCase", "istanbul ß", "ISTANBUL SS"},
        {"lines lowerCase", "İZMİR", "izmir"},
        {"lines titleCase", "o’neil's DAY", "O’neil's Day"},
        {"lines joinLines", "a  \n   b\nc", "a b c"},
        {"lines tabsToSpaces --tab-width 2", "\tx", "  x"},
        {"lines leadingSpacesToTabs --tab-width 0", "  x", "\t\tx"},
        {"lines moveDown --selection 0:0", "1\n2\n3", "2\n1\n3"},
        {"lines deleteLines --selection 2:0", "1\n2\n3", "1\n3"},
        {"lines indent", "a\n\nb", "\ta\n\n\tb"},
        {"lines indent --indent-unit '  '", "a", "  a"},
        {"lines outdent --tab-width 2", "    a\n\tb", "  a\nb"},
        {"lines moveUp --selection 0:0", "1\n2", "1\n2"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli.run(c.args, withInput(c.input));
        EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
        EXPECT_EQ(run.out, c.expected) << c.args;
    }
}

TEST(LinesCliTest, JSONOutputAndFileArgument) {
    CliRun run = cli.run("lines upperCase --json --selection 2:3", withInput("ab cd ef"));
    ASSERT_EQ(run.status, 0) << run.err;
    auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["text"], "ab CD ef");
    EXPECT_EQ(json["selection"], nlohmann::json::array({2, 3}));
    EXPECT_EQ(json["changed"], true);

    run = cli.run("lines moveUp --json --selection 0:0", withInput("1\n2"));
    json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["changed"], false);
    EXPECT_EQ(json["text"], "1\n2");
    EXPECT_EQ(json["selection"], nlohmann::json::array({0, 0}));

    TempDir dir;
    const auto file = dir.path() / "lines.txt";
    vendrix::test::writeFileBytes(file, "b\na\n");
    run = cli.run("lines sortAscending " + shellQuoted(file.string()), withInput("ignored"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "a\nb\n");
}

TEST(LinesCliTest, BadArgumentsAndInput) {
    const char* usageErrors[] = {
        "lines",
        "lines frobnicate",
        "lines SortAscending",
        "lines upperCase --selection 5",
        "lines upperCase --selection -1:2",
        "lines upperCase --selection 1:99",
        "lines upperCase --tab-width four",
        "lines tabsToSpaces --tab-width 2000000000",
        "lines upperCase --bogus",
        "lines upperCase a b",
    };
    for (const char* args : usageErrors) {
        const CliRun run = cli.run(args, withInput("abc"));
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("Usage: vendrix-cli lines"), std::string::npos) << args;
        EXPECT_TRUE(run.out.empty()) << args;
    }
    CliRun run = cli.run("lines upperCase", withInput("ab\xff"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("UTF-8"), std::string::npos);
    EXPECT_TRUE(run.out.empty());
    run = cli.run("lines upperCase /nonexistent/file", withInput(""));
    EXPECT_EQ(run.status, 1);
}

} // namespace
