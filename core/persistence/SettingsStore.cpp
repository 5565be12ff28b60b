#include "core/persistence/SettingsStore.h"

namespace vendrix {

EditorSettings SettingsStore::load() const {
    EditorSettings settings = EditorSettings::defaults;
    for (const SettingDescriptor& setting : settingDescriptors())
        if (const auto stored = m_backing.object(setting.key))
            (void)setting.assign(settings, *stored); // a value of another type keeps the default
    return settings.clamped();
}

void SettingsStore::save(const EditorSettings& settings) {
    const EditorSettings updated = settings.clamped();
    const EditorSettings current = load();
    for (const SettingDescriptor& setting : settingDescriptors())
        if (SettingsValue value = setting.value(updated); value != setting.value(current))
            m_backing.set(value, setting.key);
}

} // namespace vendrix
