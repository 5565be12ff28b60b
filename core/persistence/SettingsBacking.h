#pragma once

#include "core/persistence/SettingsValue.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// A key–value store for settings. Storing nothing removes the key. Used on one thread.
class SettingsBacking {
public:
    virtual ~SettingsBacking() = default;
    /// The stored value of any type, or none.
    [[nodiscard]] virtual std::optional<SettingsValue> object(std::string_view key) const = 0;
    /// Stores `value` under `key`, or removes the key when `value` is none.
    virtual void set(const std::optional<SettingsValue>& value, std::string_view key) = 0;
};

/// A backing held only in memory; for tests and for running without a settings file.
class MemorySettingsBacking final : public SettingsBacking {
public:
    MemorySettingsBacking() = default;
    explicit MemorySettingsBacking(SettingsDictionary values) : m_values(std::move(values)) {}

    [[nodiscard]] std::optional<SettingsValue> object(std::string_view key) const override;
    void set(const std::optional<SettingsValue>& value, std::string_view key) override;

    const SettingsDictionary& values() const { return m_values; }
    /// Number of set calls so far, so tests can see what a save wrote.
    int setCount() const { return m_setCount; }

private:
    SettingsDictionary m_values;
    int m_setCount = 0;
};

} // namespace vendrix
