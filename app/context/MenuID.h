#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace vendrix::app {

/// The nine top-level menus, in menu-bar order. The raw value identifies a menu in code and
/// tests; the title is what the menu bar shows.
enum class MenuID { app, file, edit, search, view, format, language, window, help };

inline constexpr std::array<MenuID, 9> allMenuIDs{MenuID::app,      MenuID::file,   MenuID::edit,
                                                  MenuID::search,   MenuID::view,   MenuID::format,
                                                  MenuID::language, MenuID::window, MenuID::help};

/// "app", "file", "edit", ...
QString rawValue(MenuID id);
/// The menu whose raw value is `raw`, if any.
std::optional<MenuID> menuIDFromRawValue(QStringView raw);
/// The menu's fixed title: "Vendrix", "Dosya", "Düzen", "Ara", "Görünüm", "Biçim", "Dil",
/// "Pencere", "Yardım".
QString title(MenuID id);

} // namespace vendrix::app
