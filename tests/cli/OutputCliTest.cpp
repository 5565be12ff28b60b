// What the tool leaves behind when its output cannot be written or it is killed mid-write.
#include "core/common/Uuid.h"
#include "support/CliRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::CliStdout;
using test::shellQuoted;

const test::CliRunner cli{VENDRIX_CLI_PATH};

/// A directory with a small text, a JSON file and a large text.
struct Inputs {
    test::TempDir dir;
    std::string text = path("plain.txt"), json = path("data.json"), big = path("big.txt");
    Inputs() {
        test::writeFileBytes(text, "hello world\n");
        test::writeFileBytes(json, "{\"a\": [1, 2], \"b\": \"c\"}\n");
        std::string lines;
        while (lines.size() < 224000)
            lines += "lorem ipsum dolor sit amet\n";
        test::writeFileBytes(big, lines);
    }
    std::string path(const std::string& name) const { return (dir.path() / name).string(); }
};

/// One run of every command (and of the tool's own options) that writes to standard output.
std::vector<std::string> stdoutRuns(const Inputs& in) {
    const std::string t = shellQuoted(in.text), j = shellQuoted(in.json);
    return {"decode " + t,
            "convert " + t + " --to utf-16le",
            "goto " + t + " 1:3",
            "lines sortAscending " + t,
            "format json-minify " + j,
            "codec base64-encode " + t,
            "find hello " + t,
            "replace hello bye " + t,
            "detect " + j,
            "tokens " + j,
            "session " + shellQuoted(in.dir.path().string()),
            "settings " + shellQuoted(in.path("none.plist")),
            "--help",
            "--version",
            "help convert",
            "codec --help"};
}

std::set<std::string> entries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

unsigned modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(OutputCliTest, FailedWritesToStandardOutputFailTheRun) {
    Inputs in;
    for (const auto& run : stdoutRuns(in)) {
        ASSERT_EQ(cli.run(run).status, 0) << run;
        CliRun full = cli.run(run, test::withStdout(CliStdout::full));
        EXPECT_EQ(full.status, 1) << run;
        EXPECT_EQ(full.err, "vendrix-cli: cannot write to standard output: No space left on "
                            "device\n")
            << run;
    }
    // A file-size limit cuts the output short part of the way through.
    CliRun limited = cli.run("convert " + shellQuoted(in.big) + " --to utf-8",
                             test::withShellSetup("trap '' XFSZ; ulimit -f 8"));
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, "vendrix-cli: cannot write to standard output: File too large\n");
    EXPECT_LT(limited.out.size(), 224000u);
}

TEST(OutputCliTest, AClosedPipeEndsTheRunQuietly) {
    Inputs in;
    for (const auto& run : stdoutRuns(in)) {
        CliRun killed = cli.run(run, test::withStdout(CliStdout::closedPipe));
        EXPECT_EQ(killed.status, 128 + SIGPIPE) << run;
        EXPECT_EQ(killed.err, "") << run;
        // With SIGPIPE ignored the write fails with EPIPE instead: still quiet, but no success.
        CliRun ignored =
            cli.run(run, test::withStdout(CliStdout::closedPipe, "trap '' PIPE"));
        EXPECT_EQ(ignored.status, 1) << run;
        EXPECT_EQ(ignored.err, "") << run;
    }
}

TEST(OutputCliTest, RewritingInPlaceKeepsModeAndOwnerAndNewFilesFollowTheUmask) {
    Inputs in;
    ASSERT_EQ(::chmod(in.text.c_str(), 0600), 0);
    const std::string t = shellQuoted(in.text);
    CliRun replaced = cli.run("replace hello bye " + t + " -o " + t);
    ASSERT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(test::readFileBytes(in.text), "bye world\n");
    EXPECT_EQ(modeOf(in.text), 0600u);

    ASSERT_EQ(::chmod(in.text.c_str(), 0640), 0);
    ASSERT_EQ(cli.run("convert " + t + " --to utf-16le -o " + t).status, 0);
    EXPECT_EQ(modeOf(in.text), 0640u);

    for (const char* command : {"replace bye hi ", "convert --to utf-8 "}) {
        const std::string fresh = in.path(std::string("new-") + command[0] + ".txt");
        CliRun made = cli.run(command + t + " -o " + shellQuoted(fresh), test::withShellSetup("umask 027"));
        ASSERT_EQ(made.status, 0) << command << made.err;
        EXPECT_EQ(modeOf(fresh), 0640u) << command;
    }

    if (::geteuid() == 0) { // only the superuser may give a file away
        ASSERT_EQ(::chown(in.text.c_str(), 4242, 4343), 0);
        ASSERT_EQ(cli.run("replace hi hey " + t + " -o " + t).status, 0);
        struct stat st {};
        ASSERT_EQ(::stat(in.text.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 4242u);
        EXPECT_EQ(st.st_gid, 4343u);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
    }
}

TEST(OutputCliTest, AKilledWriteLeavesTheOldFileAndNoLitter) {
    Inputs in;
    const std::string out = in.path("out.txt");
    test::writeFileBytes(out, "original");
    const auto before = entries(in.dir.path());
    // SIGXFSZ at its default action kills the program in the middle of writing.
    CliRun killed = cli.run("convert " + shellQuoted(in.big) + " --to utf-8 -o " + shellQuoted(out),
                            test::withShellSetup("ulimit -f 8"));
    EXPECT_EQ(killed.status, 128 + SIGXFSZ);
    EXPECT_EQ(test::readFileBytes(out), "original");
    EXPECT_EQ(entries(in.dir.path()), before);
}

TEST(OutputCliTest, TheNextRunSweepsStaleTemporaryFilesAndNothingElse) {
    Inputs in;
    const fs::path& dir = in.dir.path();
    std::string lower = Uuid::random().uuidString();
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string uuid = Uuid::random().uuidString();
    const std::vector<std::string> stale = {".out.txt." + uuid + ".tmp",
                                            ".report.json." + Uuid::random().uuidString() + ".tmp"};
    const std::vector<std::string> kept = {".out.txt.tmp",
                                           ".out.txt." + lower + ".tmp",
                                           "out.txt." + uuid + ".tmp",
                                           ".out.txt." + uuid + ".tmp.bak",
                                           ".." + uuid + ".tmp",
                                           ".young.txt." + Uuid::random().uuidString() + ".tmp"};
    const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& name : stale)
        test::writeFileBytes(dir / name, "half a file");
    for (const auto& name : kept)
        test::writeFileBytes(dir / name, "the user's");
    for (const auto& name : stale)
        fs::last_write_time(dir / name, hourAgo);
    for (size_t i = 0; i + 1 < kept.size(); ++i)
        fs::last_write_time(dir / kept[i], hourAgo);
    // Written after the run started, as by a writer running alongside.
    fs::last_write_time(dir / kept.back(), fs::file_time_type::clock::now() + std::chrono::hours(1));
    const std::string folder = ".folder." + Uuid::random().uuidString() + ".tmp";
    fs::create_directory(dir / folder);
    fs::last_write_time(dir / folder, hourAgo);

    CliRun run = cli.run("convert " + shellQuoted(in.text) + " --to utf-8 -o " +
                         shellQuoted((dir / "out.txt").string()));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::readFileBytes(dir / "out.txt"), "hello world\n");
    std::set<std::string> expected(kept.begin(), kept.end());
    expected.insert({"plain.txt", "data.json", "big.txt", "out.txt", folder});
    EXPECT_EQ(entries(dir), expected);
    for (const auto& name : kept)
        EXPECT_EQ(test::readFileBytes(dir / name), "the user's") << name;
}

} // namespace
} // namespace vendrix
