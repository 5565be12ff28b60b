#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

namespace vendrix::app::windowMessages {

/// A name between typographic quotes followed by `tail` ("“a.txt” açılamadı.").
inline QString quoted(const QString& name, const QString& tail) {
    return QStringLiteral("“") + name + QStringLiteral("”") + tail;
}

inline QString notAFile(const QString& name) {
    return quoted(name, QStringLiteral(" bir dosya değil; açılmadı."));
}
inline QString cannotOpen(const QString& name) { return quoted(name, QStringLiteral(" açılamadı.")); }
inline QString binaryOpened(const QString& name) {
    return quoted(name, QStringLiteral(" ikili bir dosya gibi görünüyor; salt okunur açıldı."));
}
/// Said once when a file opens whose bytes saving will not give back as they were read.
inline QString mixedLineEndings(const QString& name, const QString& ending) {
    return quoted(name, QStringLiteral(" karışık satır sonları içeriyor; kaydederken hepsi ") +
                            ending + QStringLiteral(" olarak yazılır."));
}
inline QString holdsNul(const QString& name) {
    return quoted(name, QStringLiteral(" NUL baytları içeriyor; metin olarak açıldı, kaydederken "
                                       "olduğu gibi yazılır."));
}
inline QString newFile(const QString& name) {
    return quoted(name, QStringLiteral(" henüz yok; ilk kaydedişte oluşturulur."));
}
inline QString fileNotFound(const QString& path) {
    return QStringLiteral("Dosya bulunamadı: ") + path;
}
inline QString longLine(std::int64_t length) {
    return QStringLiteral("Çok uzun satır (") + QLocale().toString(static_cast<qlonglong>(length)) +
           QStringLiteral(" karakter): bu sekmede sözcük kaydırma açıldı; yazma yavaşlayabilir, "
                          "bellek yüksek olabilir. JSON/XML ise Biçim menüsüyle satırlara bölün.");
}

inline QString cannotSave(const QString& name) {
    return quoted(name, QStringLiteral(" kaydedilemedi."));
}
inline QString saving(const QString& name) {
    return quoted(name, QStringLiteral(" kaydediliyor…"));
}
inline QString saveCancelled(const QString& name) {
    return QStringLiteral("Kaydetme iptal edildi; “") + name + QStringLiteral("” değişmedi.");
}
inline QString alreadySaving(const QString& name) {
    return quoted(name, QStringLiteral(" zaten kaydediliyor."));
}
inline QString stillOpening(const QString& name) {
    return quoted(name, QStringLiteral(" henüz açılıyor; açıldıktan sonra kaydedin."));
}
inline QString openInOtherTab(const QString& otherTab) {
    return QStringLiteral("Bu dosya “") + otherTab +
           QStringLiteral("” sekmesinde açık. Önce o sekmeyi kapatın ya da başka bir ad seçin.");
}
inline QString notWritable() {
    return QStringLiteral("Dosya salt okunur ya da yazma izniniz yok. Farklı Kaydet ile başka bir "
                          "yere kaydedin.");
}
inline QString unencodable(const QString& encodingName, const QString& character) {
    return QStringLiteral("Metin ") + encodingName +
           QStringLiteral(" kodlamasıyla kaydedilemiyor (ilk sorunlu karakter: “") + character +
           QStringLiteral("”). Başka bir kodlama seçin, örneğin UTF-8.");
}
inline QString notLoaded() {
    return QStringLiteral("Dosyanın içeriği yüklenemedi; boş bir metin dosyanın yerine "
                          "yazılmaz. Dosyaya yeniden erişilebildiğinde sekmeyi yeniden yükleyin.");
}
inline QString reopenFailed(const QString& encodingName) {
    return QStringLiteral("Dosya ") + encodingName + QStringLiteral(" olarak okunamadı.");
}
inline QString reloadedByUser(const QString& name) {
    return quoted(name, QStringLiteral(" diskten yeniden yüklendi."));
}
inline QString reloadedAfterOutsideChange(const QString& name) {
    return quoted(name, QStringLiteral(" dışarıda değişti, yeniden yüklendi."));
}

inline QString closePrompt(const QString& name) {
    return quoted(name, QStringLiteral(" kaydedilmedi. Kapatmadan önce kaydedilsin mi?"));
}
inline QString closePromptDetail() {
    return QStringLiteral("Kaydetmezseniz değişiklikler kaybolur.");
}
inline QString externalChange(const QString& name) {
    return quoted(name, QStringLiteral(" başka bir uygulama tarafından değiştirildi."));
}
inline QString externalChangeDetail() {
    return QStringLiteral("Bu sekmede kaydedilmemiş değişiklikleriniz var. Diskteki sürüm "
                          "yüklenirse değişiklikleriniz geri alınabilir (Düzen › Geri Al) ama "
                          "sekme diskteki metne döner.");
}

inline const QString reloadActionName = QStringLiteral("Diskten Yeniden Yükle");
inline const QString titleSuffix = QStringLiteral(" — Vendrix");

} // namespace vendrix::app::windowMessages
