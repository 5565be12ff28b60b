#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace vendrix::app {

/// QString and the core's UTF-16 strings share their units; these copy without re-encoding.
inline std::u16string toU16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

inline QString toQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

} // namespace vendrix::app
