#include "core/text/AtomicFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include "core/common/Uuid.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace vendrix {
namespace {

namespace fs = std::filesystem;

bool hasTempFiles(const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".tmp")
            return true;
    return false;
}

unsigned modeOf(const fs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(AtomicFileTest, ReplacesContentsWithModeUnderRestrictiveUmask) {
    test::TempDir dir;
    fs::path target = dir.path() / "session.json";
    test::writeFileBytes(target, "old contents that are longer");
    mode_t old = ::umask(0077);
    ASSERT_TRUE(AtomicFile::write("new", target, 0644));
    ::umask(old);
    EXPECT_EQ(test::readFileBytes(target), "new");
    EXPECT_EQ(modeOf(target), 0644u);
    EXPECT_FALSE(hasTempFiles(dir.path()));

    ASSERT_TRUE(AtomicFile::write("", dir.path() / "empty", 0600));
    EXPECT_EQ(fs::file_size(dir.path() / "empty"), 0u);
    EXPECT_EQ(modeOf(dir.path() / "empty"), 0600u);
}

TEST(AtomicFileTest, FailuresNameTheOperationAndLeaveNothingBehind) {
    test::TempDir dir;
    auto missing = AtomicFile::write("x", dir.path() / "nope" / "file", 0600);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().operation, "open");
    EXPECT_EQ(missing.error().errnoValue, ENOENT);
    EXPECT_TRUE(missing.error().path.find("/nope/.file.") != std::string::npos);
    EXPECT_TRUE(missing.error().path.ends_with(".tmp"));

    fs::create_directory(dir.path() / "adir");
    fs::create_directory(dir.path() / "adir" / "child");
    auto overDir = AtomicFile::write("x", dir.path() / "adir", 0600);
    ASSERT_FALSE(overDir);
    EXPECT_EQ(overDir.error().operation, "rename");
    EXPECT_EQ(overDir.error().path, (dir.path() / "adir").string());
    EXPECT_FALSE(hasTempFiles(dir.path()));
}

// A failing fsync means the new contents may never reach the disk: the write reports it as that
// failure, the old file stays byte for byte and no temporary file is left, whether the temporary
// file was still nameless or already named (a file system without nameless files).
TEST(AtomicFileTest, AFailedFsyncIsReportedAndKeepsTheOldFile) {
    for (const bool named : {false, true}) {
        test::TempDir dir;
        const fs::path target = dir.path() / "settings.plist";
        const std::string old("eski\0ayarlar\xFD", 13);
        test::writeFileBytes(target, old);
        bool refusedNameless = false;
        auto fault = [&](std::string_view step) {
            if (named && step == "open" && !std::exchange(refusedNameless, true))
                return EOPNOTSUPP;
            return step == "fsync" ? EIO : 0;
        };
        auto written = AtomicFile::write("yeni ayarlar", target, 0600, std::nullopt, fault);
        ASSERT_FALSE(written) << named;
        EXPECT_EQ(written.error().operation, "fsync") << named;
        EXPECT_EQ(written.error().errnoValue, EIO) << named;
        EXPECT_TRUE(written.error().path.starts_with((dir.path() / ".settings.plist.").string()));
        EXPECT_TRUE(test::readFileBytes(target) == old) << named;
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"settings.plist"}) << named;
    }
}

// Contents made while written: every block in order; a source that stops part-way (it could
// not make its next block, or the disk refused one) leaves the old file as it was.
TEST(AtomicFileTest, BlockContentsAreWrittenInOrderAndAStopKeepsTheOldFile) {
    test::TempDir dir;
    fs::path target = dir.path() / "buffer.txt";
    test::writeFileBytes(target, "old");
    std::string expected;
    for (int i = 0; i < 300; ++i)
        expected += std::string(static_cast<std::size_t>(i % 7) * 1000, static_cast<char>('a' + i % 26));
    auto blocks = [](int stopAt) {
        return [stopAt](const AtomicFile::BlockSink& sink) {
            for (int i = 0; i < 300; ++i) {
                if (i == stopAt)
                    return false;
                if (!sink(std::string(static_cast<std::size_t>(i % 7) * 1000, static_cast<char>('a' + i % 26))))
                    return false;
            }
            return true;
        };
    };
    auto stopped = AtomicFile::write(blocks(150), target, 0600);
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().operation, "write");
    EXPECT_EQ(test::readFileBytes(target), "old");
    EXPECT_FALSE(hasTempFiles(dir.path()));

    ASSERT_TRUE(AtomicFile::write(blocks(-1), target, 0600));
    EXPECT_TRUE(test::readFileBytes(target) == expected);
    EXPECT_FALSE(hasTempFiles(dir.path()));
}

TEST(AtomicFileTest, SymlinkIsReplacedAndTargetKept) {
    test::TempDir dir;
    fs::path target = dir.path() / "target";
    test::writeFileBytes(target, "keep");
    fs::create_symlink(target, dir.path() / "link");
    ASSERT_TRUE(AtomicFile::write("fresh", dir.path() / "link", 0600));
    EXPECT_FALSE(fs::is_symlink(dir.path() / "link"));
    EXPECT_EQ(test::readFileBytes(dir.path() / "link"), "fresh");
    EXPECT_EQ(test::readFileBytes(target), "keep");
}

TEST(AtomicFileTest, OnlyUnlockedStaleTemporaryFilesAreSwept) {
    const std::string uuid = Uuid::random().uuidString();
    EXPECT_TRUE(AtomicFile::isTemporaryName(".a." + uuid + ".tmp"));
    EXPECT_TRUE(AtomicFile::isTemporaryName(".notes.txt." + uuid + ".tmp"));
    for (std::string name : {"." + uuid + ".tmp", ".a" + uuid + ".tmp", "a." + uuid + ".tmp",
                             ".a." + uuid + ".tmp~", ".a." + uuid.substr(1) + "0.tmp.x",
                             ".a." + uuid.substr(0, 35) + "g.tmp", std::string(".a.tmp")})
        EXPECT_FALSE(AtomicFile::isTemporaryName(name)) << name;

    test::TempDir dir;
    const fs::path stale = dir.path() / (".a." + uuid + ".tmp");
    test::writeFileBytes(stale, "half");
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(1));
    // A writer that is still alive holds the lock.
    const int held = ::open(stale.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(AtomicFile::removeStaleTemporaries(dir.path()), 0u);
    ::close(held);
    EXPECT_EQ(AtomicFile::removeStaleTemporaries(dir.path()), 1u);
    EXPECT_FALSE(fs::exists(stale));
}

} // namespace
} // namespace vendrix
