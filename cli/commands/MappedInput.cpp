#include "cli/commands/MappedInput.h"

#include "cli/CliSupport.h"
#include "core/text/UserFileReader.h"

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::cli {

namespace {

/// Below this a plain read costs no more than the mapping.
constexpr off_t kSmallestMapped = off_t{1} << 20;

struct sigaction previousBusAction {};

void onBusError(int) {
    static const char message[] = "vendrix-cli: a file was truncated while it was read\n";
    (void)!::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(kExitFailure);
}

} // namespace

std::unique_ptr<MappedInput> MappedInput::map(const std::string& path) {
    if (path.empty() || path == "-")
        return nullptr;
    // Look before opening, as the reader does: a FIFO or a device is not opened at all.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size < kSmallestMapped ||
        static_cast<std::uint64_t>(info.st_size) > UserFileReader::defaultMaxSize())
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void* data = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= kSmallestMapped &&
        static_cast<std::uint64_t>(info.st_size) <= UserFileReader::defaultMaxSize())
        data = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ,
                      MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ::close(fd);
    if (data == MAP_FAILED)
        return nullptr;
    return std::unique_ptr<MappedInput>(
        new MappedInput(data, static_cast<std::size_t>(info.st_size)));
}

MappedInput::~MappedInput() { ::munmap(m_data, m_size); }

MappedReadGuard::MappedReadGuard() {
    struct sigaction action {};
    action.sa_handler = onBusError;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousBusAction);
}

MappedReadGuard::~MappedReadGuard() { ::sigaction(SIGBUS, &previousBusAction, nullptr); }

} // namespace vendrix::cli
