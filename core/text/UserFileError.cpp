#include "core/text/UserFileError.h"

#include <cerrno>

namespace vendrix {

UserFileErrorKind UserFileError::kindForErrno(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
        return UserFileErrorKind::notFound;
    case EACCES:
    case EPERM:
        return UserFileErrorKind::permissionDenied;
    case EROFS:
        return UserFileErrorKind::readOnlyFileSystem;
    case EISDIR:
    case ENXIO: // opening a socket, or a device without its driver
    case ENODEV:
        return UserFileErrorKind::notRegularFile;
    case EFBIG:
    case EOVERFLOW:
    case ENOMEM:
        return UserFileErrorKind::tooLarge;
    case ENOSPC:
    case EDQUOT:
        return UserFileErrorKind::noSpace;
    case ECANCELED:
        return UserFileErrorKind::cancelled;
    default:
        return UserFileErrorKind::ioError;
    }
}

UserFileError UserFileError::fromErrno(std::string_view operation, std::string path,
                                       int errnoValue) {
    return UserFileError{kindForErrno(errnoValue), std::string(operation), std::move(path),
                         errnoValue};
}

} // namespace vendrix
