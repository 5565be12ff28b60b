#include "core/text/UserFileReader.h"
#include "OtherUser.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vendrix {
namespace {

namespace fs = std::filesystem;

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

TEST(UserFileReaderTest, ReadsBytesWithTheStampOfTheSameFile) {
    test::TempDir dir;
    fs::path file = dir.path() / "a.txt";
    std::string bytes = pattern(200000);
    test::writeFileBytes(file, bytes);
    // Several chunks, so the loop that fills the reserved buffer is exercised.
    auto read = UserFileReader::read(file, {.chunkSize = 65536, .progress = {}});
    ASSERT_TRUE(read) << read.error().operation;
    EXPECT_EQ(read->bytes, bytes);
    EXPECT_FALSE(read->endedEarly);
    EXPECT_EQ(read->stamp, FileStamp::of(file).value());
    EXPECT_EQ(read->stamp.size, 200000);

    test::writeFileBytes(dir.path() / "empty", "");
    auto empty = UserFileReader::read(dir.path() / "empty");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->bytes.empty());

    // A file that reports size 0 but has content is read to its end.
    auto proc = UserFileReader::read("/proc/self/status");
    ASSERT_TRUE(proc);
    EXPECT_NE(proc->bytes.find("Name:"), std::string::npos);
}

TEST(UserFileReaderTest, RefusesEverythingButRegularFilesWithoutBlocking) {
    test::TempDir dir;
    fs::path fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO without a writer would block an ordinary open or read forever.
    auto fifoRead = UserFileReader::read(fifo);
    ASSERT_FALSE(fifoRead);
    EXPECT_EQ(fifoRead.error().kind, UserFileErrorKind::notRegularFile);
    EXPECT_EQ(fifoRead.error().errnoValue, EINVAL);

    auto zero = UserFileReader::read("/dev/zero");
    ASSERT_FALSE(zero);
    EXPECT_EQ(zero.error().kind, UserFileErrorKind::notRegularFile);

    // Standard input is a terminal, a pipe or /dev/null here, or closed: never a read.
    auto input = UserFileReader::read("/dev/stdin");
    if (!input) {
        EXPECT_TRUE(input.error().kind == UserFileErrorKind::notRegularFile ||
                    input.error().kind == UserFileErrorKind::notFound);
    }

    auto directory = UserFileReader::read(dir.path());
    ASSERT_FALSE(directory);
    EXPECT_EQ(directory.error().kind, UserFileErrorKind::notRegularFile);
    EXPECT_EQ(directory.error().errnoValue, EISDIR);

    fs::path socketPath = dir.path() / "sock";
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    auto socketRead = UserFileReader::read(socketPath);
    ::close(sock);
    ASSERT_FALSE(socketRead);
    EXPECT_EQ(socketRead.error().kind, UserFileErrorKind::notRegularFile);

    auto missing = UserFileReader::read(dir.path() / "missing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, UserFileErrorKind::notFound);
    EXPECT_EQ(missing.error().errnoValue, ENOENT);
    auto underFile = UserFileReader::read(dir.path() / "fifo" / "x");
    ASSERT_FALSE(underFile);
    EXPECT_EQ(underFile.error().kind, UserFileErrorKind::notFound);

    // State files refuse a link as their last component.
    fs::create_symlink(dir.path() / "missing", dir.path() / "link");
    auto link =
        UserFileReader::read(dir.path() / "link", {.followFinalLink = false, .progress = {}});
    ASSERT_FALSE(link);
    EXPECT_EQ(link.error().errnoValue, ELOOP);
}

TEST(UserFileReaderTest, UnreadableFileIsPermissionDenied) {
    test::TempDir dir;
    fs::path file = dir.path() / "secret";
    test::writeFileBytes(file, "x");
    ::chmod(file.c_str(), 0);
    ::chmod(dir.path().c_str(), 0755);
    test::AsNobody nobody; // root would read it anyway
    auto read = UserFileReader::read(file);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().kind, UserFileErrorKind::permissionDenied);
}

TEST(UserFileReaderTest, FileTruncatedWhileReadEndsTheDataCleanly) {
    test::TempDir dir;
    fs::path file = dir.path() / "log.txt";
    const std::string bytes = pattern(64 * 1024);
    for (std::uint64_t keep : {std::uint64_t{10000}, std::uint64_t{0}}) {
        test::writeFileBytes(file, bytes);
        bool truncated = false;
        // Rotation by copy-and-truncate, after the first chunk has been read.
        auto read = UserFileReader::read(
            file, {.chunkSize = 4096, .progress = [&](std::uint64_t done, std::uint64_t total) {
                       EXPECT_EQ(total, bytes.size());
                       if (!truncated) {
                           EXPECT_EQ(done, 4096u);
                           EXPECT_EQ(::truncate(file.c_str(), static_cast<off_t>(keep)), 0);
                           truncated = true;
                       }
                       return true;
                   }});
        ASSERT_TRUE(read) << read.error().operation;
        EXPECT_TRUE(read->endedEarly);
        EXPECT_EQ(read->bytes, bytes.substr(0, std::max<std::uint64_t>(keep, 4096)));
        EXPECT_EQ(read->stamp.size, static_cast<std::int64_t>(bytes.size()));
    }

    // A file that grows while it is read is read to its new end.
    test::writeFileBytes(file, bytes);
    bool grown = false;
    auto read = UserFileReader::read(
        file, {.chunkSize = 4096, .progress = [&](std::uint64_t, std::uint64_t) {
                   if (!grown) {
                       grown = true;
                       FILE* out = std::fopen(file.c_str(), "ab");
                       std::fputs("tail", out);
                       std::fclose(out);
                   }
                   return true;
               }});
    ASSERT_TRUE(read);
    EXPECT_EQ(read->bytes, bytes + "tail");
    EXPECT_FALSE(read->endedEarly);
}

TEST(UserFileReaderTest, TooLargeIsRefusedBeforeReadingAndCancelStops) {
    test::TempDir dir;
    fs::path file = dir.path() / "big";
    test::writeFileBytes(file, pattern(1000));
    int progressCalls = 0;
    auto refused =
        UserFileReader::read(file, {.maxSize = 999, .progress = [&](std::uint64_t, std::uint64_t) {
                                        ++progressCalls;
                                        return true;
                                    }});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, UserFileErrorKind::tooLarge);
    EXPECT_EQ(refused.error().errnoValue, EFBIG);
    EXPECT_EQ(progressCalls, 0);
    EXPECT_TRUE(UserFileReader::read(file, {.maxSize = 1000, .progress = {}}));

    // A sparse 64 GiB file is refused by the default limit, not by a failed allocation.
    fs::path sparse = dir.path() / "sparse";
    test::writeFileBytes(sparse, "");
    ASSERT_EQ(::truncate(sparse.c_str(), off_t{64} << 30), 0);
    EXPECT_LE(UserFileReader::defaultMaxSize(), UserFileReader::kMaxFileSize);
    auto huge = UserFileReader::read(sparse);
    ASSERT_FALSE(huge);
    EXPECT_EQ(huge.error().kind, UserFileErrorKind::tooLarge);
    EXPECT_EQ(huge.error().errnoValue, EFBIG);

    // A file that grows past the limit while it is read is refused too.
    bool grown = false;
    auto growing = UserFileReader::read(
        file, {.maxSize = 1500, .chunkSize = 512, .progress = [&](std::uint64_t, std::uint64_t) {
                   if (!grown) {
                       grown = true;
                       test::writeFileBytes(file, pattern(4000));
                   }
                   return true;
               }});
    ASSERT_FALSE(growing);
    EXPECT_EQ(growing.error().kind, UserFileErrorKind::tooLarge);

    test::writeFileBytes(file, pattern(10000));
    auto cancelled = UserFileReader::read(
        file, {.chunkSize = 1024,
               .progress = [](std::uint64_t done, std::uint64_t) { return done < 3000; }});
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.error().kind, UserFileErrorKind::cancelled);
}

} // namespace
} // namespace vendrix
