#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace vendrix {

/// A property-list date: seconds since 2001-01-01 00:00:00 UTC.
struct SettingsDate {
    double secondsSinceReferenceDate = 0;
    friend bool operator==(const SettingsDate&, const SettingsDate&) = default;
};

/// Raw bytes of a property-list data value.
struct SettingsData {
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const SettingsData&, const SettingsData&) = default;
};

struct SettingsValue;
using SettingsArray = std::vector<SettingsValue>;
using SettingsDictionary = std::map<std::string, SettingsValue>;

/// A stored settings value of any property-list type, so that keys this version does not know
/// survive a rewrite of the settings file unchanged. Strings are UTF-8.
struct SettingsValue {
    std::variant<bool, std::int64_t, double, std::string, SettingsData, SettingsDate, SettingsArray,
                 SettingsDictionary>
        value;

    SettingsValue() : value(false) {}
    SettingsValue(bool v) : value(v) {}
    SettingsValue(std::int64_t v) : value(v) {}
    SettingsValue(int v) : value(static_cast<std::int64_t>(v)) {}
    SettingsValue(double v) : value(v) {}
    SettingsValue(std::string v) : value(std::move(v)) {}
    SettingsValue(const char* v) : value(std::string(v)) {}
    SettingsValue(SettingsData v) : value(std::move(v)) {}
    SettingsValue(SettingsDate v) : value(v) {}
    SettingsValue(SettingsArray v) : value(std::move(v)) {}
    SettingsValue(SettingsDictionary v) : value(std::move(v)) {}

    /// Booleans, integers and reals: the values that read as numbers.
    [[nodiscard]] bool isNumber() const;
    /// The numeric value of a number (true is 1, false 0); NaN for anything else.
    [[nodiscard]] double numberAsDouble() const;
    [[nodiscard]] const std::string* string() const { return std::get_if<std::string>(&value); }

    friend bool operator==(const SettingsValue&, const SettingsValue&) = default;
};

} // namespace vendrix
