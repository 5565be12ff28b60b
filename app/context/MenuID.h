#pragma once

#include "core/common/EnumCases.h"

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace vendrix::app {

/// The nine top-level menus, in menu-bar order. The raw value identifies a menu in code and
/// tests; the title is what the menu bar shows.
enum class MenuID { app, file, edit, search, view, format, language, window, help };

/// The menus and their raw values.
inline constexpr auto menuIDCases = enumCases<MenuID>({
    {MenuID::app, "app"},
    {MenuID::file, "file"},
    {MenuID::edit, "edit"},
    {MenuID::search, "search"},
    {MenuID::view, "view"},
    {MenuID::format, "format"},
    {MenuID::language, "language"},
    {MenuID::window, "window"},
    {MenuID::help, "help"},
});
inline constexpr const auto& allMenuIDs = menuIDCases.all();

/// "app", "file", "edit", ...
QString rawValue(MenuID id);
/// The menu whose raw value is `raw`, if any.
std::optional<MenuID> menuIDFromRawValue(QStringView raw);
/// The menu's fixed title: "Vendrix", "Dosya", "Düzen", "Ara", "Görünüm", "Biçim", "Dil",
/// "Pencere", "Yardım".
QString title(MenuID id);

} // namespace vendrix::app
