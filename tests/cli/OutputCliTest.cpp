// What the tool leaves behind when its output cannot be written or it is killed mid-write.
#include "core/common/Uuid.h"
#include "support/CliRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <thread>
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

/// Runs `arguments` stopped at `point` of a test build (VENDRIX_CLI_TEST_PAUSE) and calls
/// `change` while the run waits there; `paused` tells whether the run got there at all.
CliRun runChangingInputAt(const std::string& arguments, const std::string& point,
                          const std::function<void()>& change, bool& paused) {
    test::TempDir dir;
    const std::string fifo = (dir.path() / "pause").string();
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> finished = false;
    CliRun run;
    std::thread runner([&] {
        run =
            cli.run(arguments, test::withEnvironment("VENDRIX_CLI_TEST_PAUSE", point + ":" + fifo));
        finished = true;
        // A reader, however brief, lets the opening below return when the run never paused.
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (reader >= 0)
            ::close(reader);
    });
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC); // the run is waiting
    paused = !finished;
    if (paused)
        change();
    if (writer >= 0)
        ::close(writer); // the run goes on
    runner.join();
    return run;
}

// A mapped file that shrinks inside its last page reads as zeros past its new end instead of
// faulting; the run must still end with the truncation message and exit 1, and write nothing.
// The file is changed after mapping (before anything was read) and just before the first
// comparison (after everything the output needs was read).
TEST(OutputCliTest, AnInputChangedWhileMappedFailsTheRunWithNoOutput) {
    test::TempDir dir;
    // Each file ends 2048 bytes into a page, so a cut of a few bytes stays inside it.
    auto endMidPage = [](std::string bytes, const std::string& tail) {
        const size_t used = (bytes.size() + tail.size()) % 4096;
        return bytes + std::string((4096 + 2048 - used) % 4096, 'x') + tail;
    };
    std::string records = "[";
    for (int i = 0; records.size() < (2 << 20); ++i)
        records += "{\"id\":" + std::to_string(i) + ",\"v\":[1.5,true,null]},";
    const std::string json = endMidPage(records + "{\"pad\":\"", "\"}]");
    // Hits on a long last line, the case whose previews kept the old text.
    std::string lines;
    while (lines.size() < 1000)
        lines += "one needle\n";
    const std::string longLast =
        endMidPage(lines + std::string(3 << 19, 'a') + " needle ", "needle");
    // Windows-1254: not UTF-8, so the bytes are decoded rather than searched in place.
    std::string turkish;
    while (turkish.size() < (3 << 19))
        turkish += "ka\xFE needle \xDD\xE7\n";
    turkish = endMidPage(turkish, "needle\n");

    auto shrink = [](const std::string& path, off_t bytes) {
        return [path, bytes] {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(fs::file_size(path)) - bytes), 0);
        };
    };
    auto rewriteOneByte = [](const std::string& path) {
        return [path] { // a digit for a digit: the same size, a new modification time
            const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            ASSERT_GE(fd, 0);
            EXPECT_EQ(::pwrite(fd, "7", 1, 7), 1);
            ::close(fd);
        };
    };
    const std::string j = (dir.path() / "data.json").string(),
                      l = (dir.path() / "long.txt").string(),
                      t = (dir.path() / "turkish.txt").string();
    struct Case {
        std::string file, bytes, arguments, point;
        std::function<void()> change;
    } cases[] = {
        {j, json, "format json-minify", "check", shrink(j, 34)},
        {j, json, "format json-minify", "mapped", shrink(j, 34)},
        {j, json, "format json", "check", shrink(j, 34)},
        {j, json, "format json", "mapped", shrink(j, 34)}, // not the error the zeros give
        {j, json, "format json", "check", rewriteOneByte(j)},
        {j, json, "format json", "mapped", shrink(j, 1 << 20)}, // whole pages: SIGBUS
        {l, longLast, "find needle", "check", shrink(l, 1)},
        {l, longLast, "find needle", "mapped", shrink(l, 1)},
        {t, turkish, "find needle", "mapped", shrink(t, 3)},
        {t, turkish, "find needle", "check", rewriteOneByte(t)},
    };
    const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    std::set<std::string> pausedOnce;
    for (const Case& c : cases) {
        const std::string arguments = c.arguments + " " + shellQuoted(c.file);
        const std::string label = arguments + " at " + c.point;
        test::writeFileBytes(c.file, c.bytes);
        fs::last_write_time(c.file, hourAgo); // any write from now on gives a new time
        bool paused = false;
        if (pausedOnce.insert(arguments).second) { // a pause alone changes nothing
            const CliRun unchanged = runChangingInputAt(
                arguments, c.point, [] {}, paused);
            ASSERT_TRUE(paused) << label;
            EXPECT_EQ(unchanged.status, 0) << label << ": " << unchanged.err;
            EXPECT_EQ(unchanged.out, cli.run(arguments).out) << label;
        }
        const CliRun changed = runChangingInputAt(arguments, c.point, c.change, paused);
        ASSERT_TRUE(paused) << label;
        EXPECT_EQ(changed.status, 1) << label;
        EXPECT_EQ(changed.err, "vendrix-cli: a file was truncated while it was read\n") << label;
        EXPECT_EQ(changed.out, "") << label;
    }
}

} // namespace
} // namespace vendrix
