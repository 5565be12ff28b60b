#include "app/context/MenuID.h"

namespace vendrix::app {

QString rawValue(MenuID id) {
    return QString::fromLatin1(menuIDCases.rawValue(id));
}

std::optional<MenuID> menuIDFromRawValue(QStringView raw) {
    for (MenuID id : allMenuIDs) {
        const std::string_view candidate = menuIDCases.rawValue(id);
        if (raw == QLatin1StringView(candidate.data(), static_cast<qsizetype>(candidate.size())))
            return id;
    }
    return std::nullopt;
}

QString title(MenuID id) {
    switch (id) {
    case MenuID::app:
        return QStringLiteral("Vendrix");
    case MenuID::file:
        return QStringLiteral("Dosya");
    case MenuID::edit:
        return QStringLiteral("Düzen");
    case MenuID::search:
        return QStringLiteral("Ara");
    case MenuID::view:
        return QStringLiteral("Görünüm");
    case MenuID::format:
        return QStringLiteral("Biçim");
    case MenuID::language:
        return QStringLiteral("Dil");
    case MenuID::window:
        return QStringLiteral("Pencere");
    case MenuID::help:
        return QStringLiteral("Yardım");
    }
    return {};
}

} // namespace vendrix::app
