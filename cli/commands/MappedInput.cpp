#include "cli/commands/MappedInput.h"

#include "cli/CliSupport.h"
#include "core/text/UserFileReader.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::cli {

namespace {

/// Below this a plain read costs no more than the mapping.
constexpr off_t kSmallestMapped = off_t{1} << 20;

struct sigaction previousBusAction {};

[[noreturn]] void exitTruncated() {
    // Also called from the SIGBUS handler: only what is safe there.
    static const char message[] = "vendrix-cli: a file was truncated while it was read\n";
    (void)!::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(kExitFailure);
}

void onBusError(int) { exitTruncated(); }

bool mappable(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_size >= kSmallestMapped &&
           static_cast<std::uint64_t>(info.st_size) <= UserFileReader::defaultMaxSize();
}

#ifdef VENDRIX_CLI_TEST_HOOKS
// Test builds only. With VENDRIX_CLI_TEST_PAUSE=POINT:FIFO the run stops the first time it
// reaches POINT ("mapped": a file was just mapped, nothing read from it yet; "check": the
// first comparison with a mapped file is due) until a test has opened FIFO for writing and
// closed it again, so that the test can change the file at exactly that moment.
void pauseForTest(std::string_view point) {
    static bool paused = false;
    const char* setting = std::getenv("VENDRIX_CLI_TEST_PAUSE");
    if (paused || setting == nullptr)
        return;
    const std::string_view value(setting);
    if (!value.starts_with(point) || value.substr(point.size(), 1) != ":")
        return;
    paused = true;
    const std::string fifo(value.substr(point.size() + 1));
    const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
    char byte = 0;
    while (fd >= 0 && ::read(fd, &byte, 1) > 0) {
    }
    if (fd >= 0)
        ::close(fd);
}
#else
void pauseForTest(std::string_view) {}
#endif

} // namespace

std::unique_ptr<MappedInput> MappedInput::map(const std::string& path) {
    if (path.empty() || path == "-")
        return nullptr;
    // Look before opening, as the reader does: a FIFO or a device is not opened at all.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !mappable(info))
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void* data = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && mappable(info))
        data = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ,
                      MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (data == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    pauseForTest("mapped");
    return std::unique_ptr<MappedInput>(
        new MappedInput(fd, data, static_cast<std::size_t>(info.st_size), info.st_mtim));
}

MappedInput::~MappedInput() {
    ::munmap(m_data, m_size);
    ::close(m_fd);
}

void MappedInput::exitIfChanged() const {
    pauseForTest("check");
    struct stat now {};
    if (::fstat(m_fd, &now) != 0 || static_cast<std::uint64_t>(now.st_size) != m_size ||
        now.st_mtim.tv_sec != m_modified.tv_sec || now.st_mtim.tv_nsec != m_modified.tv_nsec)
        exitTruncated();
}

MappedReadGuard::MappedReadGuard() {
    struct sigaction action {};
    action.sa_handler = onBusError;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousBusAction);
    // Every mapped input keeps its descriptor until it is released; a search over many large
    // files may need more of them than the usual soft limit.
    struct rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
}

MappedReadGuard::~MappedReadGuard() { ::sigaction(SIGBUS, &previousBusAction, nullptr); }

} // namespace vendrix::cli
