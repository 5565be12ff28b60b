#include "app/context/MenuID.h"

namespace vendrix::app {

QString rawValue(MenuID id) {
    switch (id) {
    case MenuID::app:
        return QStringLiteral("app");
    case MenuID::file:
        return QStringLiteral("file");
    case MenuID::edit:
        return QStringLiteral("edit");
    case MenuID::search:
        return QStringLiteral("search");
    case MenuID::view:
        return QStringLiteral("view");
    case MenuID::format:
        return QStringLiteral("format");
    case MenuID::language:
        return QStringLiteral("language");
    case MenuID::window:
        return QStringLiteral("window");
    case MenuID::help:
        return QStringLiteral("help");
    }
    return {};
}

std::optional<MenuID> menuIDFromRawValue(QStringView raw) {
    for (MenuID id : allMenuIDs) {
        if (rawValue(id) == raw)
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
