#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vendrix {
namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& argument) {
    std::string out = "'";
    for (char c : argument) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

CliRun runCli(const std::vector<std::string>& args, const test::TempDir& dir) {
    const std::string errPath = (dir.path() / "stderr.txt").string();
    std::string command = quoted(VENDRIX_CLI_PATH);
    for (const auto& arg : args)
        command += " " + quoted(arg);
    command += " 2>" + quoted(errPath);
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = test::readFileBytes(errPath);
    return run;
}

TEST(SearchCliTest, FindPrintsHitsOfAllFiles) {
    test::TempDir dir;
    const std::string a = (dir.path() / "a.txt").string();
    const std::string b = (dir.path() / "b.txt").string();
    test::writeFileBytes(a, "int count = 0;\r\n\tcount++; // count\r\n");
    test::writeFileBytes(b, "ISTANBUL \xC4\xB0stanbul\ncounter\n");

    CliRun find = runCli({"find", "count", a, b}, dir);
    EXPECT_EQ(find.status, 0) << find.err;
    EXPECT_EQ(find.out, a + ":1:5: int count = 0;\n" + a + ":2:2: count++; // count\n" + a +
                            ":2:14: count++; // count\n" + b + ":2:1: counter\n4 hits\n");

    CliRun whole = runCli({"find", "--whole-word", "--limit", "2", "count", a, b}, dir);
    EXPECT_EQ(whole.status, 0);
    EXPECT_TRUE(whole.out.ends_with(":2:2: count++; // count\n2 hits (truncated)\n")) << whole.out;

    CliRun turkish = runCli({"find", "istanbul", b}, dir);
    EXPECT_EQ(turkish.out, b + ":1:1: ISTANBUL \xC4\xB0stanbul\n" + b +
                               ":1:10: ISTANBUL \xC4\xB0stanbul\n2 hits\n");
    CliRun matchCase = runCli({"find", "--match-case", "istanbul", b}, dir);
    EXPECT_EQ(matchCase.out, "0 hits\n");

    // Latin-1 bytes that are not UTF-8 still decode.
    const std::string latin = (dir.path() / "latin.txt").string();
    test::writeFileBytes(latin, "caf\xE9 au lait\n");
    CliRun latinFind = runCli({"find", "--regex", "caf.", latin}, dir);
    EXPECT_EQ(latinFind.out, latin + ":1:1: caf\xC3\xA9 au lait\n1 hits\n");
}

TEST(SearchCliTest, FindReportsBadPatternsAndTimeouts) {
    test::TempDir dir;
    const std::string file = (dir.path() / "slow.txt").string();
    test::writeFileBytes(file, std::string(40, 'a') + "b\n");

    CliRun invalid = runCli({"find", "--regex", "--whole-word", "a)|(b", file}, dir);
    EXPECT_EQ(invalid.status, 1);
    EXPECT_NE(invalid.err.find("a)|(b"), std::string::npos) << invalid.err;
    EXPECT_EQ(invalid.out, "");
    CliRun empty = runCli({"find", "", file}, dir);
    EXPECT_EQ(empty.status, 1);
    EXPECT_FALSE(empty.err.empty());
    CliRun timedOut = runCli({"find", "--regex", "--timeout", "0.2", "(a+)+$", file}, dir);
    EXPECT_EQ(timedOut.status, 3);
    EXPECT_NE(timedOut.err.find("timedOut"), std::string::npos) << timedOut.err;
    CliRun missing = runCli({"find", "x", (dir.path() / "missing.txt").string()}, dir);
    EXPECT_EQ(missing.status, 1);
    CliRun usage = runCli({"find", "x"}, dir);
    EXPECT_EQ(usage.status, 2);
}

TEST(SearchCliTest, ReplaceRewritesTheFileInItsOwnForm) {
    test::TempDir dir;
    const std::string file = (dir.path() / "in.txt").string();
    test::writeFileBytes(file, "a1 b2\r\nc3 $x\r\n");

    CliRun swapped = runCli({"replace", "--regex", "(\\w)(\\d)", "$2$1", file}, dir);
    EXPECT_EQ(swapped.status, 0) << swapped.err;
    EXPECT_EQ(swapped.out, "1a 2b\r\n3c $x\r\n");
    EXPECT_EQ(swapped.err, "3 replacements\n");

    // A plain replacement is inserted literally, "$" and backslashes included.
    CliRun literal = runCli({"replace", "$x", "cost $1\\", file}, dir);
    EXPECT_EQ(literal.out, "a1 b2\r\nc3 cost $1\\\r\n");

    const std::string out = (dir.path() / "out.txt").string();
    CliRun limited =
        runCli({"replace", "--regex", "--limit", "1", "\\d", "#", file, "-o", out}, dir);
    EXPECT_EQ(limited.status, 0);
    EXPECT_EQ(limited.out, "");
    EXPECT_EQ(limited.err, "1 replacements (truncated)\n");
    EXPECT_EQ(test::readFileBytes(out), "a# b2\r\nc3 $x\r\n");

    // Latin-1 stays Latin-1; a result it cannot hold is refused and nothing is written.
    const std::string latin = (dir.path() / "latin.txt").string();
    test::writeFileBytes(latin, "caf\xE9\n");
    CliRun keptLatin = runCli({"replace", "caf", "CAF", latin}, dir);
    EXPECT_EQ(keptLatin.out, "CAF\xE9\n");
    CliRun unencodable = runCli({"replace", "caf", "\xC4\x9F", latin, "-o", latin}, dir);
    EXPECT_EQ(unencodable.status, 1);
    EXPECT_EQ(test::readFileBytes(latin), "caf\xE9\n");
}

} // namespace
} // namespace vendrix
