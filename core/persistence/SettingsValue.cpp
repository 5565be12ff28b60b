#include "core/persistence/SettingsValue.h"

#include <cmath>
#include <limits>

namespace vendrix {

bool SettingsValue::isNumber() const {
    return std::holds_alternative<bool>(value) || std::holds_alternative<std::int64_t>(value) ||
           std::holds_alternative<double>(value);
}

double SettingsValue::numberAsDouble() const {
    if (auto* b = std::get_if<bool>(&value))
        return *b ? 1.0 : 0.0;
    if (auto* i = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&value))
        return *d;
    return std::numeric_limits<double>::quiet_NaN();
}

} // namespace vendrix
