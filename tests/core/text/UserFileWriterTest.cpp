#include "core/text/UserFileWriter.h"
#include "OtherUser.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vendrix {
namespace {

namespace fs = std::filesystem;

struct stat statOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

/// The names in `dir` other than `keep`: anything else is a leftover temporary file.
std::vector<std::string> strayFiles(const fs::path& dir, std::set<std::string> keep) {
    std::vector<std::string> stray;
    for (const auto& entry : fs::directory_iterator(dir))
        if (!keep.contains(entry.path().filename().string()))
            stray.push_back(entry.path().filename().string());
    return stray;
}

/// A tmpfs of `size` mounted on a fresh directory, for a real full disk. Needs root.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const fs::path& at, const char* size) : m_path(at) {
        fs::create_directory(at);
        std::string options = std::string("size=") + size;
        m_mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    fs::path m_path;
    bool m_mounted = false;
};

TEST(UserFileWriterTest, SavesThroughSymbolicLinksToTheirTarget) {
    test::TempDir dir;
    fs::create_directory(dir.path() / "real");
    fs::path target = dir.path() / "real" / "notes.txt";
    test::writeFileBytes(target, "old");
    fs::path relativeLink = dir.path() / "notes-link";
    fs::create_symlink("real/notes.txt", relativeLink);
    fs::path chained = dir.path() / "chained";
    fs::create_symlink(relativeLink, chained);

    auto saved = UserFileWriter::write("new text", chained);
    ASSERT_TRUE(saved) << saved.error().operation;
    EXPECT_EQ(saved->target, dir.path() / "real" / "notes.txt");
    EXPECT_EQ(saved->method, UserFileWriteMethod::atomicReplace);
    EXPECT_TRUE(fs::is_symlink(relativeLink));
    EXPECT_TRUE(fs::is_symlink(chained));
    EXPECT_EQ(test::readFileBytes(target), "new text");
    EXPECT_EQ(saved->stamp, FileStamp::of(target).value());
    EXPECT_TRUE(strayFiles(dir.path() / "real", {"notes.txt"}).empty());

    // A link whose target does not exist yet creates the target.
    fs::create_symlink("real/later.txt", dir.path() / "dangling");
    ASSERT_TRUE(UserFileWriter::write("later", dir.path() / "dangling"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling"));
    EXPECT_EQ(test::readFileBytes(dir.path() / "real" / "later.txt"), "later");

    fs::create_symlink("loop", dir.path() / "loop");
    auto loop = UserFileWriter::write("x", dir.path() / "loop");
    ASSERT_FALSE(loop);
    EXPECT_EQ(loop.error().errnoValue, ELOOP);
}

TEST(UserFileWriterTest, KeepsModeOwnerAndExtendedAttributes) {
    test::TempDir dir;
    fs::path file = dir.path() / "private.txt";
    test::writeFileBytes(file, "secret");
    ::chmod(file.c_str(), 0600);
    mode_t oldUmask = ::umask(022);
    ASSERT_TRUE(UserFileWriter::write("still secret", file));
    EXPECT_EQ(statOf(file).st_mode & 07777, 0600u);
    ::chmod(file.c_str(), 0751);
    ASSERT_TRUE(UserFileWriter::write("run me", file));
    EXPECT_EQ(statOf(file).st_mode & 07777, 0751u);

    // A new file gets the default mode.
    ASSERT_TRUE(UserFileWriter::write("fresh", dir.path() / "fresh.txt"));
    EXPECT_EQ(statOf(dir.path() / "fresh.txt").st_mode & 07777, 0644u);
    ::umask(oldUmask);

    if (::setxattr(file.c_str(), "user.vendrix.tag", "blue", 4, 0) == 0) {
        ASSERT_TRUE(UserFileWriter::write("tagged", file));
        char value[16] = {};
        EXPECT_EQ(::getxattr(file.c_str(), "user.vendrix.tag", value, sizeof value), 4);
        EXPECT_STREQ(value, "blue");
    }

    if (::geteuid() == 0) {
        // Root replaces a user's file and hands it back to that user.
        ASSERT_EQ(::chown(file.c_str(), test::AsNobody::kUid, test::AsNobody::kGid), 0);
        auto saved = UserFileWriter::write("owned", file);
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->method, UserFileWriteMethod::atomicReplace);
        EXPECT_EQ(statOf(file).st_uid, test::AsNobody::kUid);
        EXPECT_EQ(statOf(file).st_gid, test::AsNobody::kGid);
    }
}

TEST(UserFileWriterTest, WritableFilesOfOthersAndLockedDirectoriesAreWrittenInPlace) {
    test::TempDir dir;
    ::chmod(dir.path().c_str(), 0777);
    fs::path shared = dir.path() / "shared.txt";
    test::writeFileBytes(shared, "root's file, writable by all");
    ::chmod(shared.c_str(), 0666);
    fs::path readOnly = dir.path() / "readonly.txt";
    test::writeFileBytes(readOnly, "do not touch");
    ::chmod(readOnly.c_str(), 0444);
    fs::create_directory(dir.path() / "locked");
    fs::path inLocked = dir.path() / "locked" / "open.txt";
    test::writeFileBytes(inLocked, "writable file in a directory that takes no new files");
    ::chmod(inLocked.c_str(), 0666);
    ::chmod((dir.path() / "locked").c_str(), 0555);
    const auto sharedInode = statOf(shared).st_ino;

    test::AsNobody nobody;
    if (::geteuid() == 0 || (!nobody.active() && statOf(shared).st_uid == ::geteuid()))
        GTEST_SKIP() << "needs root (to act as another user) or a file of another user";

    // A replacement could not carry root's ownership, so the file is written in place.
    auto saved = UserFileWriter::write("changed", shared);
    ASSERT_TRUE(saved) << saved.error().operation;
    EXPECT_EQ(saved->method, UserFileWriteMethod::inPlace);
    EXPECT_EQ(test::readFileBytes(shared), "changed");
    EXPECT_EQ(statOf(shared).st_ino, sharedInode);
    EXPECT_NE(statOf(shared).st_uid, ::geteuid());

    auto refused = UserFileWriter::write("x", readOnly);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, UserFileErrorKind::permissionDenied);
    EXPECT_EQ(refused.error().operation, "open");
    EXPECT_EQ(UserFileWriter::checkWritable(readOnly).error().kind,
              UserFileErrorKind::permissionDenied);
    EXPECT_EQ(test::readFileBytes(readOnly), "do not touch");

    auto fallback = UserFileWriter::write("short", inLocked);
    ASSERT_TRUE(fallback) << fallback.error().operation;
    EXPECT_EQ(fallback->method, UserFileWriteMethod::inPlace);
    EXPECT_EQ(test::readFileBytes(inLocked), "short");

    auto noNewFile = UserFileWriter::write("x", dir.path() / "locked" / "new.txt");
    ASSERT_FALSE(noNewFile);
    EXPECT_EQ(noNewFile.error().kind, UserFileErrorKind::permissionDenied);
    EXPECT_EQ(noNewFile.error().operation, "create");
}

TEST(UserFileWriterTest, HardLinkedFileIsWrittenInPlaceForEveryName) {
    test::TempDir dir;
    fs::path first = dir.path() / "first.txt";
    fs::path second = dir.path() / "second.txt";
    test::writeFileBytes(first, "a fairly long original text");
    fs::create_hard_link(first, second);

    for (std::string text : {"short", "a text longer than the original one was"}) {
        auto saved = UserFileWriter::write(text, first);
        ASSERT_TRUE(saved) << saved.error().operation;
        EXPECT_EQ(saved->method, UserFileWriteMethod::inPlace);
        EXPECT_EQ(test::readFileBytes(first), text);
        EXPECT_EQ(test::readFileBytes(second), text);
        EXPECT_EQ(statOf(first).st_nlink, 2u);
        EXPECT_EQ(saved->stamp.size, static_cast<std::int64_t>(text.size()));
    }
    EXPECT_TRUE(strayFiles(dir.path(), {"first.txt", "second.txt"}).empty());
}

TEST(UserFileWriterTest, RefusesWhatIsNotARegularFile) {
    test::TempDir dir;
    auto directory = UserFileWriter::write("x", dir.path());
    ASSERT_FALSE(directory);
    EXPECT_EQ(directory.error().kind, UserFileErrorKind::notRegularFile);
    fs::path fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto pipe = UserFileWriter::write("x", fifo); // would block if it opened the FIFO
    ASSERT_FALSE(pipe);
    EXPECT_EQ(pipe.error().kind, UserFileErrorKind::notRegularFile);
    EXPECT_EQ(UserFileWriter::checkWritable(fifo).error().kind, UserFileErrorKind::notRegularFile);
    EXPECT_TRUE(UserFileWriter::checkWritable(dir.path() / "new.txt"));
    auto missingDir = UserFileWriter::write("x", dir.path() / "no" / "file");
    ASSERT_FALSE(missingDir);
    EXPECT_EQ(missingDir.error().kind, UserFileErrorKind::notFound);
}

TEST(UserFileWriterTest, FullDiskLeavesTheOriginalAndNoTemporaryFile) {
    test::TempDir dir;
    SmallFileSystem disk(dir.path() / "disk", "256k");
    if (!disk.mounted())
        GTEST_SKIP()
            << "cannot mount a tmpfs here (needs root); the injected faults below cover it";
    fs::path file = dir.path() / "disk" / "doc.txt";
    const std::string original(100 * 1024, 'o');
    test::writeFileBytes(file, original);
    const std::string larger(200 * 1024, 'n');

    auto full = UserFileWriter::write(larger, file);
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error().kind, UserFileErrorKind::noSpace);
    EXPECT_EQ(test::readFileBytes(file), original);
    EXPECT_TRUE(strayFiles(dir.path() / "disk", {"doc.txt"}).empty());

    // In place, the space is reserved before the first old byte is overwritten.
    fs::create_hard_link(file, dir.path() / "disk" / "alias.txt");
    const std::string muchLarger(400 * 1024, 'n');
    auto inPlace = UserFileWriter::write(muchLarger, file);
    ASSERT_FALSE(inPlace);
    EXPECT_EQ(inPlace.error().kind, UserFileErrorKind::noSpace);
    EXPECT_EQ(test::readFileBytes(file), original);
}

TEST(UserFileWriterTest, InjectedFailuresNeverFallBackNorLeaveTemporaryFiles) {
    test::TempDir dir;
    fs::path file = dir.path() / "doc.txt";
    test::writeFileBytes(file, "original");
    const auto inode = statOf(file).st_ino;
    struct Case {
        const char* operation;
        int error;
        UserFileErrorKind kind;
    };
    for (Case c : {Case{"create", ENOSPC, UserFileErrorKind::noSpace},
                   Case{"create", EIO, UserFileErrorKind::ioError},
                   Case{"write", ENOSPC, UserFileErrorKind::noSpace},
                   Case{"write", EDQUOT, UserFileErrorKind::noSpace},
                   Case{"fsync", EIO, UserFileErrorKind::ioError},
                   Case{"rename", EIO, UserFileErrorKind::ioError}}) {
        SCOPED_TRACE(std::string(c.operation) + " " + std::to_string(c.error));
        UserFileWriteOptions options{
            [&](std::string_view operation) { return operation == c.operation ? c.error : 0; }};
        auto failed = UserFileWriter::write("replacement", file, options);
        ASSERT_FALSE(failed);
        EXPECT_EQ(failed.error().kind, c.kind);
        EXPECT_EQ(failed.error().operation, c.operation);
        EXPECT_EQ(failed.error().errnoValue, c.error);
        EXPECT_EQ(test::readFileBytes(file), "original");
        EXPECT_EQ(statOf(file).st_ino, inode);
        EXPECT_TRUE(strayFiles(dir.path(), {"doc.txt"}).empty());
    }

    // Only a directory that refuses the temporary file leads to the in-place write.
    for (int refusal : {EACCES, EPERM, EROFS}) {
        test::writeFileBytes(file, "original");
        auto saved = UserFileWriter::write("replacement", file, {[&](std::string_view operation) {
                                               return operation == "create" ? refusal : 0;
                                           }});
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->method, UserFileWriteMethod::inPlace);
        EXPECT_EQ(test::readFileBytes(file), "replacement");
    }

    // In place: a refused reservation stops before writing; a failed write is reported.
    fs::create_hard_link(file, dir.path() / "alias.txt");
    test::writeFileBytes(file, "original");
    auto reserve = UserFileWriter::write("replacement", file, {[](std::string_view operation) {
                                             return operation == "allocate" ? ENOSPC : 0;
                                         }});
    ASSERT_FALSE(reserve);
    EXPECT_EQ(reserve.error().kind, UserFileErrorKind::noSpace);
    EXPECT_EQ(test::readFileBytes(file), "original");
    auto unsupported = UserFileWriter::write("replacement", file, {[](std::string_view operation) {
                                                 return operation == "allocate" ? EOPNOTSUPP : 0;
                                             }});
    ASSERT_TRUE(unsupported);
    EXPECT_EQ(test::readFileBytes(dir.path() / "alias.txt"), "replacement");
    auto io = UserFileWriter::write(
        "again", file, {[](std::string_view operation) { return operation == "write" ? EIO : 0; }});
    ASSERT_FALSE(io);
    EXPECT_EQ(io.error().kind, UserFileErrorKind::ioError);
}

} // namespace
} // namespace vendrix
