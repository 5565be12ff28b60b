#include "app/window/WindowFiles.h"

#include "core/text/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::app::windowFiles {
namespace {

QString systemDescription(int error) {
    switch (error) {
    case ENOENT:
        return QStringLiteral("Dosya bulunamadı.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Bu dosyayı okuma izniniz yok.");
    case EISDIR:
        return QStringLiteral("Bu bir klasör; yalnızca normal dosyalar açılabilir.");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

ReadFailure failure(ReadFailure::Kind kind, QString description) {
    return ReadFailure{kind, std::move(description)};
}

QString notAFileDescription(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("Bu bir klasör; yalnızca normal dosyalar açılabilir.");
    return QStringLiteral("Bu normal bir dosya değil (aygıt, soket ya da adlandırılmış kanal); "
                          "yalnızca normal dosyalar açılabilir.");
}

struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::expected<std::string, ReadFailure> read(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (native.isEmpty() || ::stat(native.constData(), &info) != 0) {
        const int error = native.isEmpty() ? ENOENT : errno;
        return std::unexpected(failure(error == ENOENT ? ReadFailure::Kind::notFound
                                                       : ReadFailure::Kind::unreadable,
                                       systemDescription(error)));
    }
    // Checked before opening so that a FIFO is never opened at all (opening its read end
    // would start a writer's session); checked again on the descriptor against a swap.
    if (!S_ISREG(info.st_mode))
        return std::unexpected(failure(ReadFailure::Kind::notAFile, notAFileDescription(info.st_mode)));
    FileDescriptor file{::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) {
        const int error = errno;
        return std::unexpected(failure(error == ENOENT ? ReadFailure::Kind::notFound
                                                       : ReadFailure::Kind::unreadable,
                                       systemDescription(error)));
    }
    if (::fstat(file.fd, &info) != 0)
        return std::unexpected(failure(ReadFailure::Kind::unreadable, systemDescription(errno)));
    if (!S_ISREG(info.st_mode))
        return std::unexpected(failure(ReadFailure::Kind::notAFile, notAFileDescription(info.st_mode)));
    if (info.st_size > kMaximumFileSize)
        return std::unexpected(failure(
            ReadFailure::Kind::tooLarge,
            QStringLiteral("Dosya çok büyük (%1 MB); en çok %2 MB açılabilir.")
                .arg(info.st_size / (1024 * 1024))
                .arg(kMaximumFileSize / (1024 * 1024))));
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            // The file may have grown since fstat; read on in steps up to the limit.
            if (static_cast<std::int64_t>(bytes.size()) >= kMaximumFileSize)
                break;
            bytes.resize(std::min<std::size_t>(bytes.size() + 65536,
                                               static_cast<std::size_t>(kMaximumFileSize)));
        }
        const ssize_t got = ::read(file.fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(failure(ReadFailure::Kind::unreadable, systemDescription(errno)));
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

std::expected<void, QString> write(const QString& path, std::string_view bytes) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    unsigned mode = 0666;
    const bool existed = ::stat(native.constData(), &info) == 0;
    if (existed) {
        if (!S_ISREG(info.st_mode))
            return std::unexpected(notAFileDescription(info.st_mode));
        mode = info.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    auto atomic = AtomicFile::write(bytes, std::filesystem::path(native.toStdString()), mode);
    if (atomic)
        return {};
    const int atomicError = atomic.error().errnoValue;
    // Only a directory that refuses new files (the temporary) leaves the in-place write; any
    // other failure would risk truncating the original for nothing.
    const bool directoryRefused = atomic.error().operation == "open" &&
                                  (atomicError == EACCES || atomicError == EPERM);
    if (!directoryRefused || !existed)
        return std::unexpected(systemDescription(atomicError));
    FileDescriptor file{::open(native.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0)
        return std::unexpected(systemDescription(errno));
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(file.fd, bytes.data() + written, bytes.size() - written);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(systemDescription(errno));
        }
        written += static_cast<std::size_t>(put);
    }
    if (::fsync(file.fd) != 0)
        return std::unexpected(systemDescription(errno));
    return {};
}

bool isWritable(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    FileDescriptor file{::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    return file.fd >= 0;
}

bool exists(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

QString standardized(const QString& path) {
    return QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(path));
}

QString resolved(const QString& path) {
    const QString standard = standardized(path);
    const QString canonical = QFileInfo(standard).canonicalFilePath();
    return canonical.isEmpty() ? standard : canonical;
}

bool hasByteOrderMark(std::string_view bytes) {
    auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    return starts("\xEF\xBB\xBF") || starts("\xFF\xFE") || starts("\xFE\xFF");
}

} // namespace vendrix::app::windowFiles
