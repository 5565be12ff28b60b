// The habits every command shares: --help, --version, "--" and refused unknown options.
#include "support/CliRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>

namespace vendrix {
namespace {

using test::CliRun;
using test::shellQuoted;

const test::CliRunner cli{VENDRIX_CLI_PATH};

/// A command with the arguments around its one input, a name that starts with "-".
struct Case {
    std::string command;
    std::vector<std::string> before;
    std::string input;
    std::vector<std::string> after;
};

const std::vector<Case> cases = {
    {"decode", {}, "-plain.txt", {}},
    {"convert", {"--to", "utf-8"}, "-plain.txt", {}},
    {"goto", {}, "-plain.txt", {"1"}},
    {"lines", {"sortAscending"}, "-plain.txt", {}},
    {"format", {"json"}, "-data.json", {}},
    {"codec", {"url-encode"}, "-plain.txt", {}},
    {"find", {"hello"}, "-plain.txt", {}},
    {"replace", {"-o", "out.txt", "hello", "bye"}, "-plain.txt", {}},
    {"detect", {}, "-data.json", {}},
    {"tokens", {}, "-data.json", {}},
    {"session", {}, "-state", {}},
    {"settings", {}, "-settings.plist", {}},
};

std::string join(const std::vector<std::string>& words) {
    std::string line;
    for (const auto& word : words)
        line += (line.empty() ? "" : " ") + shellQuoted(word);
    return line;
}

const std::regex versionLine("vendrix-cli [0-9]+\\.[0-9]+\\.[0-9]+\n");

TEST(ConventionsCliTest, EveryCommandTakesHelpVersionAndDoubleDashAndRefusesUnknownOptions) {
    test::TempDir dir;
    test::writeFileBytes(dir.path() / "-plain.txt", "hello world\n");
    test::writeFileBytes(dir.path() / "-data.json", "{\"a\": 1}\n");
    std::filesystem::create_directory(dir.path() / "-state");
    const std::string inDir = "cd " + shellQuoted(dir.path().string());
    for (const auto& c : cases) {
        CliRun help = cli.run(c.command + " --help");
        EXPECT_EQ(help.status, 0) << c.command;
        EXPECT_TRUE(help.out.starts_with("Usage: vendrix-cli " + c.command + " ")) << help.out;
        EXPECT_EQ(help.err, "");
        CliRun version = cli.run(c.command + " --version");
        EXPECT_EQ(version.status, 0) << c.command;
        EXPECT_TRUE(std::regex_match(version.out, versionLine)) << version.out;

        CliRun unknown = cli.run(c.command + " --no-such-option " + join(c.before));
        EXPECT_EQ(unknown.status, 2) << c.command;
        EXPECT_EQ(unknown.out, "") << c.command;
        EXPECT_TRUE(unknown.err.starts_with("vendrix-cli " + c.command +
                                            ": unknown option --no-such-option\n"))
            << unknown.err;

        std::vector<std::string> args = c.before;
        args.push_back("--");
        args.push_back(c.input);
        args.insert(args.end(), c.after.begin(), c.after.end());
        CliRun dashed = cli.run(c.command + " " + join(args), test::withShellSetup(inDir));
        EXPECT_EQ(dashed.status, 0) << c.command << ": " << dashed.err;
        std::erase(args, "--");
        CliRun undashed = cli.run(c.command + " " + join(args), test::withShellSetup(inDir));
        EXPECT_EQ(undashed.status, 2) << c.command;
        EXPECT_NE(undashed.err.find("unknown option " + c.input), std::string::npos)
            << undashed.err;
    }
    EXPECT_EQ(test::readFileBytes(dir.path() / "out.txt"), "bye world\n");
    // After "--", --help is a file name like any other.
    CliRun notHelp = cli.run("decode -- --help", test::withShellSetup(inDir));
    EXPECT_EQ(notHelp.status, 1);
    EXPECT_EQ(notHelp.err, "vendrix-cli: cannot read --help: No such file or directory\n");
    // An option's value may start with "-".
    CliRun indented = cli.run("lines indent --indent-unit -- -", test::withInput("a\nb\n"));
    EXPECT_EQ(indented.out, "--a\n--b\n");
}

TEST(ConventionsCliTest, TheToolItselfTakesHelpVersionAndRefusesUnknownOptions) {
    CliRun help = cli.run("--help");
    EXPECT_EQ(help.status, 0);
    for (const auto& c : cases)
        EXPECT_NE(help.out.find("\n  " + c.command + " "), std::string::npos) << c.command;
    EXPECT_EQ(cli.run("-h").out, help.out);
    EXPECT_EQ(cli.run("help").out, help.out);
    EXPECT_EQ(cli.run("help replace").out, cli.run("replace --help").out);

    CliRun version = cli.run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, versionLine)) << version.out;

    for (const char* wrong : {"--no-such-option", "-x", "nosuchcommand", "", "help nosuchcommand"}) {
        CliRun refused = cli.run(wrong);
        EXPECT_EQ(refused.status, 2) << wrong;
        EXPECT_EQ(refused.out, "") << wrong;
        EXPECT_NE(refused.err.find("Usage: vendrix-cli COMMAND"), std::string::npos) << wrong;
    }
    // Unreadable inputs are named with the reason, never a crash.
    CliRun directory = cli.run("decode /");
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.err, "vendrix-cli: cannot read /: Is a directory\n");
}

} // namespace
} // namespace vendrix
