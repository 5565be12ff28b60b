#include "app/workspace/WindowFiles.h"

#include "core/text/UserFileDecoder.h"
#include "core/text/UserFileReader.h"
#include "core/text/UserFileWriter.h"
#include "core/persistence/SessionStore.h"
#include "core/text/LineEnding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace vendrix::app::windowFiles {
namespace {

std::filesystem::path nativePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString describe(const UserFileError& error, bool writing) {
    switch (error.kind) {
    case UserFileErrorKind::notFound:
        return QStringLiteral("Dosya bulunamadı.");
    case UserFileErrorKind::permissionDenied:
        return writing ? QStringLiteral("Bu dosyaya yazma izniniz yok.")
                       : QStringLiteral("Bu dosyayı okuma izniniz yok.");
    case UserFileErrorKind::readOnlyFileSystem:
        return QStringLiteral("Dosya salt okunur bir dosya sisteminde.");
    case UserFileErrorKind::notRegularFile:
        return QStringLiteral("Bu bir dosya değil (klasör, aygıt ya da boru); yalnızca normal "
                              "dosyalar açılıp kaydedilebilir.");
    case UserFileErrorKind::tooLarge:
        if (error.errnoValue == ENOMEM)
            return QStringLiteral("Dosyayı açmaya yetecek boş bellek yok; başka uygulamaları "
                                  "kapatıp yeniden deneyin.");
        return QStringLiteral("Dosya açılamayacak kadar büyük (en çok %1 MB).")
            .arg(UserFileReader::defaultMaxSize() >> 20);
    case UserFileErrorKind::noSpace:
        return QStringLiteral("Diskte yer kalmadı.");
    case UserFileErrorKind::cancelled:
        return QStringLiteral("İşlem iptal edildi.");
    case UserFileErrorKind::ioError:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(error.errnoValue));
}

ReadFailure::Kind failureKind(UserFileErrorKind kind) {
    switch (kind) {
    case UserFileErrorKind::notFound:
        return ReadFailure::Kind::notFound;
    case UserFileErrorKind::notRegularFile:
        return ReadFailure::Kind::notAFile;
    case UserFileErrorKind::tooLarge:
        return ReadFailure::Kind::tooLarge;
    case UserFileErrorKind::cancelled:
        return ReadFailure::Kind::cancelled;
    default:
        return ReadFailure::Kind::unreadable;
    }
}

} // namespace

std::expected<std::string, ReadFailure> read(const QString& path) {
    auto contents = UserFileReader::read(nativePath(path));
    if (!contents)
        return std::unexpected(
            ReadFailure{failureKind(contents.error().kind), describe(contents.error(), false)});
    return std::move(contents->bytes);
}

std::expected<DecodedText, ReadFailure> readDecoded(const QString& path) {
    auto contents = UserFileDecoder::read(nativePath(path));
    if (!contents)
        return std::unexpected(
            ReadFailure{failureKind(contents.error().kind), describe(contents.error(), false)});
    return std::move(contents->decoded);
}

std::expected<LoadedTextFile, ReadFailure> load(const QString& path,
                                                TextFileLoader::Progress progress) {
    auto loaded = TextFileLoader::load(nativePath(path), {}, std::move(progress));
    if (!loaded)
        return std::unexpected(
            ReadFailure{failureKind(loaded.error().kind), describe(loaded.error(), false)});
    return std::move(*loaded);
}

std::expected<LoadedTextFile, ReadFailure> loadBuffer(const std::filesystem::path& directory,
                                                      const std::string& name,
                                                      const TextFileLoader::Progress& progress) {
    const auto cancelled = [] {
        return std::unexpected(ReadFailure{ReadFailure::Kind::cancelled, {}});
    };
    if (progress && !progress(0.0))
        return cancelled();
    auto text = SessionStore::readBufferIn(directory, name);
    if (!text)
        return std::unexpected(ReadFailure{text.error().kind == BufferReadError::Kind::missing
                                               ? ReadFailure::Kind::notFound
                                               : ReadFailure::Kind::unreadable,
                                           QString::fromLocal8Bit(std::strerror(text.error().errnoValue))});
    if (progress && !progress(TextFileLoader::kReadFraction))
        return cancelled();
    if (lineEnding::needsNormalization(*text))
        *text = lineEnding::normalizeToLF(*text);
    LoadedTextFile loaded;
    loaded.index = LineIndex(std::u16string_view(*text));
    loaded.file.decoded.text = std::move(*text);
    if (progress && !progress(1.0))
        return cancelled();
    return loaded;
}

std::expected<void, QString> write(const QString& path, std::string_view bytes) {
    auto written = UserFileWriter::write(bytes, nativePath(path));
    if (!written)
        return std::unexpected(describe(written.error(), true));
    return {};
}

QString describeWriteFailure(const UserFileError& error) { return describe(error, true); }

bool isWritable(const QString& path) {
    return UserFileWriter::checkWritable(nativePath(path)).has_value();
}

bool exists(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool isAbsent(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) != 0 &&
           (errno == ENOENT || errno == ENOTDIR);
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
