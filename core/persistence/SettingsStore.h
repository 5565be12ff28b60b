#pragma once

#include "core/persistence/EditorSettings.h"
#include "core/persistence/SettingsBacking.h"

#include <string_view>

namespace vendrix {

/// Reads a complete, valid EditorSettings from a backing and writes back only what changed.
/// Holds no cached settings; two stores over one backing always agree. Main thread only.
class SettingsStore {
public:
    /// The persisted keys.
    struct Key {
        static constexpr std::string_view fontName = "editor.fontName";
        static constexpr std::string_view fontSize = "editor.fontSize";
        static constexpr std::string_view tabWidth = "editor.tabWidth";
        static constexpr std::string_view insertSpaces = "editor.insertSpaces";
        static constexpr std::string_view wrapByDefault = "editor.wrapByDefault";
        static constexpr std::string_view theme = "editor.theme";
        static constexpr std::string_view highlightSelectedWord = "editor.highlightSelectedWord";
        static constexpr std::string_view showInvisibles = "editor.showInvisibles";
        static constexpr std::string_view multilineTabs = "editor.multilineTabs";
        static constexpr std::string_view prettyOnOpen = "editor.prettyOnOpen";
        /// Not part of EditorSettings: the formatting commands' indent, "2", "4" or "tab".
        static constexpr std::string_view formattingIndent = "formatting.indent";
    };

    /// `backing` must outlive the store.
    explicit SettingsStore(SettingsBacking& backing) : m_backing(backing) {}

    SettingsBacking& backing() const { return m_backing; }

    /// The stored settings, field by field: a missing, mistyped or unknown value keeps its
    /// default, and the result is clamped. Never fails.
    [[nodiscard]] EditorSettings load() const;

    /// Clamps `settings` and writes, in key order, each field whose value differs from the
    /// effectively stored one. Never fails.
    void save(const EditorSettings& settings);

private:
    SettingsBacking& m_backing;
};

} // namespace vendrix
