#include "app/platform/UserFileErrorText.h"

#include <cstring>

namespace vendrix::app {

QString userFileErrorText(const UserFileError& error, UserFileAccess access) {
    const bool reading = access == UserFileAccess::reading;
    switch (error.kind) {
    case UserFileErrorKind::notFound:
        return reading ? QStringLiteral("Dosya bulunamadı.")
                       : QStringLiteral("Dosyanın klasörü bulunamadı.");
    case UserFileErrorKind::permissionDenied:
        return reading ? QStringLiteral("Bu dosyayı okuma izniniz yok.")
                       : QStringLiteral("Bu konuma yazma izniniz yok.");
    case UserFileErrorKind::readOnlyFileSystem:
        return QStringLiteral("Dosya sistemi salt okunur.");
    case UserFileErrorKind::notRegularFile:
        return QStringLiteral("Bu bir dosya değil (klasör, aygıt, soket ya da boru).");
    case UserFileErrorKind::tooLarge:
        return QStringLiteral("Dosya açılamayacak kadar büyük.");
    case UserFileErrorKind::noSpace:
        return QStringLiteral("Diskte yeterli yer yok.");
    case UserFileErrorKind::cancelled:
        return QStringLiteral("İşlem iptal edildi.");
    case UserFileErrorKind::ioError:
        break;
    }
    return QStringLiteral("Giriş/çıkış hatası: %1")
        .arg(QString::fromLocal8Bit(std::strerror(error.errnoValue)));
}

} // namespace vendrix::app
