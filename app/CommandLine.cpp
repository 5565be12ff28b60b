#include "app/CommandLine.h"

#include <QDir>
#include <QSet>

#ifndef VENDRIX_VERSION
#define VENDRIX_VERSION "0.0.0"
#endif

namespace vendrix::app {

namespace {

/// The toolkit's options that take a value, and those that do not.
const QSet<QString>& toolkitOptionsWithValue() {
    static const QSet<QString> options{
        QStringLiteral("-platform"),      QStringLiteral("-platformpluginpath"),
        QStringLiteral("-platformtheme"), QStringLiteral("-plugin"),
        QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowtitle"),
        QStringLiteral("-qwindowicon"),   QStringLiteral("-style"),
        QStringLiteral("-stylesheet"),    QStringLiteral("-session"),
        QStringLiteral("-display"),       QStringLiteral("-geometry")};
    return options;
}

const QSet<QString>& toolkitFlags() {
    static const QSet<QString> options{QStringLiteral("-reverse"), QStringLiteral("-nograb"),
                                       QStringLiteral("-dograb"), QStringLiteral("-sync"),
                                       QStringLiteral("-widgetcount")};
    return options;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments, const QString& currentDirectory) {
    CommandLine result;
    const QDir base(currentDirectory);
    bool onlyFiles = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool isOption = !onlyFiles && argument.size() > 1 && argument.startsWith(u'-');
        if (!isOption) {
            if (argument.isEmpty())
                continue;
            result.files << QDir::cleanPath(base.absoluteFilePath(argument));
            continue;
        }
        if (argument == QLatin1String("--")) {
            onlyFiles = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            result.action = Action::help;
            return result;
        } else if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            result.action = Action::version;
            return result;
        } else if (toolkitFlags().contains(argument)) {
            continue;
        } else if (toolkitOptionsWithValue().contains(argument)) {
            if (i + 1 >= arguments.size()) {
                result.action = Action::refuse;
                result.error = QStringLiteral("“%1” seçeneği bir değer bekliyor.").arg(argument);
                return result;
            }
            ++i;
        } else {
            result.action = Action::refuse;
            result.error = QStringLiteral("bilinmeyen seçenek “%1”. Adı \"-\" ile başlayan bir "
                                          "dosya için önüne -- yazın; yardım: vendrix --help")
                               .arg(argument);
            return result;
        }
    }
    return result;
}

QString CommandLine::helpText() {
    return QStringLiteral(
        "Kullanım: vendrix [SEÇENEK]… [--] [DOSYA]…\n"
        "Metin ve kaynak kod düzenleyicisi. Verilen dosyaları açar; Vendrix zaten\n"
        "çalışıyorsa dosyaları açık pencereye gönderir. Henüz olmayan bir dosya boş bir\n"
        "sekmede açılır ve ilk kaydedişte oluşturulur. Kaydedilmemiş metin oturumda\n"
        "saklanır ve bir sonraki açılışta geri gelir.\n"
        "\n"
        "  -h, --help     bu yardımı gösterir ve çıkar\n"
        "  -v, --version  sürümü gösterir ve çıkar\n"
        "  --             ardından gelen her şeyi dosya adı sayar (\"-\" ile başlayan adlar için)\n"
        "\n"
        "Oturum dizini: $XDG_DATA_HOME/Vendrix (öntanımlı ~/.local/share/Vendrix).\n"
        "Çıkış durumu: 0 başarı, 2 hatalı komut satırı, oturum dizini hazırlanamadı ya da\n"
        "oturum başka bir Vendrix'te açık ve yanıt vermiyor.\n");
}

QString CommandLine::version() {
    return QStringLiteral(VENDRIX_VERSION);
}

QString CommandLine::versionText() {
    return QStringLiteral("Vendrix ") + version() + QLatin1Char('\n');
}

} // namespace vendrix::app
