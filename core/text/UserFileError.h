#pragma once

#include <string>
#include <string_view>

namespace vendrix {

/// Why reading or saving a user's file failed. The core attaches no message text; the shell
/// and the command-line tool word each kind themselves.
enum class UserFileErrorKind {
    /// Nothing at the path, or a path component is not a directory (ENOENT, ENOTDIR).
    notFound,
    /// The file or its directory may not be read or written (EACCES, EPERM).
    permissionDenied,
    /// The file system is mounted read-only (EROFS).
    readOnlyFileSystem,
    /// A directory, FIFO, socket or device: only regular files are read and written.
    notRegularFile,
    /// Larger than the text system can hold (see UserFileReader::defaultMaxSize).
    tooLarge,
    /// The disk or the user's quota is full (ENOSPC, EDQUOT).
    noSpace,
    /// Any other failure of a system call; `errnoValue` tells which.
    ioError,
    /// The caller's progress callback asked to stop.
    cancelled,
};

/// A failed read or save of a user's file. `operation` names the step that failed ("stat",
/// "open", "read", "create", "write", "allocate", "truncate", "fsync", "close", "rename",
/// "readlink"), `path` the file it concerned (the temporary file for steps on it), and
/// `errnoValue` the system's error number: EISDIR for a directory and EINVAL for another
/// non-regular file, EFBIG for `tooLarge`, ECANCELED for `cancelled`.
struct UserFileError {
    UserFileErrorKind kind = UserFileErrorKind::ioError;
    std::string operation;
    std::string path;
    int errnoValue = 0;

    /// The kind for a system error number.
    [[nodiscard]] static UserFileErrorKind kindForErrno(int errnoValue);
    /// An error of the kind that `errnoValue` implies.
    [[nodiscard]] static UserFileError fromErrno(std::string_view operation, std::string path,
                                                 int errnoValue);

    friend bool operator==(const UserFileError&, const UserFileError&) = default;
};

} // namespace vendrix
