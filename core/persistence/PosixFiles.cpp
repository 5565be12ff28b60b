#include "core/persistence/PosixFiles.h"

#include "core/text/UserFileReader.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::posixFiles {

std::expected<std::string, int> readFile(const std::filesystem::path& path, bool followFinalLink,
                                         std::uint64_t maxSize) {
    UserFileReadOptions options;
    options.maxSize = std::max<std::uint64_t>(maxSize, 1);
    options.followFinalLink = followFinalLink;
    auto contents = UserFileReader::read(path, options);
    if (!contents)
        return std::unexpected(contents.error().errnoValue);
    return std::move(contents->bytes);
}

std::expected<std::vector<DirectoryEntry>, int>
listDirectory(const std::filesystem::path& directory) {
    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return std::unexpected(errno);
    std::vector<DirectoryEntry> entries;
    int dirFD = ::dirfd(dir);
    for (;;) {
        errno = 0;
        struct dirent* item = ::readdir(dir);
        if (!item) {
            int error = errno;
            ::closedir(dir);
            if (error != 0)
                return std::unexpected(error);
            break;
        }
        std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        DirectoryEntry entry;
        entry.name = std::move(name);
        struct stat info {};
        if (::fstatat(dirFD, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.statusKnown = true;
            entry.isRegular = S_ISREG(info.st_mode);
            entry.isDirectory = S_ISDIR(info.st_mode);
            entry.modifiedNanoseconds =
                static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                info.st_mtim.tv_nsec;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::expected<void, std::pair<int, std::string>>
makeDirectories(const std::filesystem::path& directory, unsigned mode) {
    // Walk down from the root creating each missing component, so that every directory this
    // creates gets `mode` (as far as the umask lets it; callers set the final mode explicitly).
    std::filesystem::path current;
    for (const auto& component : directory.lexically_normal()) {
        current /= component;
        if (component.empty())
            continue;
        if (::mkdir(current.c_str(), mode) == 0)
            continue;
        int error = errno;
        struct stat info {};
        if (error == EEXIST && ::stat(current.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            continue;
        return std::unexpected(std::pair{error == EEXIST ? ENOTDIR : error, current.string()});
    }
    return {};
}

void tightenRegularFiles(const std::filesystem::path& directory) {
    auto entries = listDirectory(directory);
    if (!entries)
        return;
    for (const DirectoryEntry& entry : *entries) {
        if (!entry.isRegular)
            continue;
        struct stat info {};
        auto path = directory / entry.name;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        if ((info.st_mode & 077) != 0)
            (void)::fchmodat(AT_FDCWD, path.c_str(), 0600, 0);
    }
}

} // namespace vendrix::posixFiles
