#include "core/persistence/SettingsBacking.h"

namespace vendrix {

std::optional<SettingsValue> MemorySettingsBacking::object(std::string_view key) const {
    auto it = m_values.find(std::string(key));
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

void MemorySettingsBacking::set(const std::optional<SettingsValue>& value, std::string_view key) {
    ++m_setCount;
    if (value)
        m_values.insert_or_assign(std::string(key), *value);
    else
        m_values.erase(std::string(key));
}

} // namespace vendrix
