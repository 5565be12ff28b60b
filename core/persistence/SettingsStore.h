#pragma once

#include "core/persistence/EditorSettings.h"
#include "core/persistence/SettingsBacking.h"

#include <string_view>

namespace vendrix {

/// Reads a complete, valid EditorSettings from a backing and writes back only what changed.
/// Holds no cached settings; two stores over one backing always agree. Main thread only.
class SettingsStore {
public:
    /// Keys kept beside the editor settings (whose keys are in their descriptors).
    struct Key {
        /// The formatting commands' indent, "2", "4" or "tab".
        static constexpr std::string_view formattingIndent = "formatting.indent";
    };

    /// `backing` must outlive the store.
    explicit SettingsStore(SettingsBacking& backing) : m_backing(backing) {}

    SettingsBacking& backing() const { return m_backing; }

    /// The stored settings, descriptor by descriptor: a missing, mistyped or unknown value
    /// keeps its default, and the result is clamped. Never fails.
    [[nodiscard]] EditorSettings load() const;

    /// Clamps `settings` and writes, in descriptor order, each field whose value differs from
    /// the effectively stored one. Never fails.
    void save(const EditorSettings& settings);

private:
    SettingsBacking& m_backing;
};

} // namespace vendrix
