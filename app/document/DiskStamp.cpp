#include "app/document/DiskStamp.h"

#include <QFile>

#include <sys/stat.h>

namespace vendrix::app {

std::optional<DiskStamp> DiskStamp::of(const QString& path) {
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || ::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return DiskStamp{static_cast<std::int64_t>(info.st_size),
                     static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                         static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
}

} // namespace vendrix::app
