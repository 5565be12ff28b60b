#include "core/persistence/SettingsStore.h"

#include "core/common/Utf8.h"

#include <algorithm>
#include <cmath>

namespace vendrix {

namespace {

/// An integer from a stored number without an undefined conversion: a fraction is dropped
/// (2.9 reads as 2), values beyond ±2^62 are limited to that, and not-a-number gives none.
std::optional<std::int64_t> integerValue(const SettingsValue& stored) {
    if (auto* i = std::get_if<std::int64_t>(&stored.value))
        return *i;
    double number = stored.numberAsDouble();
    if (std::isnan(number))
        return std::nullopt;
    constexpr double limit = 4611686018427387904.0; // 2^62, exactly representable
    return static_cast<std::int64_t>(std::clamp(std::trunc(number), -limit, limit));
}

std::optional<bool> flagValue(const SettingsValue& stored) {
    if (auto* b = std::get_if<bool>(&stored.value))
        return *b;
    if (auto* i = std::get_if<std::int64_t>(&stored.value))
        return *i != 0;
    double number = stored.numberAsDouble();
    if (std::isnan(number))
        return std::nullopt;
    return number != 0;
}

} // namespace

EditorSettings SettingsStore::load() const {
    EditorSettings settings = EditorSettings::defaults;
    auto lookup = [&](std::string_view key) { return m_backing.object(key); };

    if (auto stored = lookup(Key::fontName); stored && stored->string())
        settings.fontName = utf8::decode(*stored->string());
    if (auto stored = lookup(Key::fontSize); stored && stored->isNumber())
        settings.fontSize = stored->numberAsDouble();
    if (auto stored = lookup(Key::tabWidth); stored && stored->isNumber())
        settings.tabWidth = integerValue(*stored).value_or(settings.tabWidth);
    auto readFlag = [&](std::string_view key, bool& field) {
        if (auto stored = lookup(key); stored && stored->isNumber())
            field = flagValue(*stored).value_or(field);
    };
    readFlag(Key::insertSpaces, settings.insertSpaces);
    readFlag(Key::wrapByDefault, settings.wrapByDefault);
    if (auto stored = lookup(Key::theme); stored && stored->string())
        settings.theme = editorTheme::fromRawValue(*stored->string()).value_or(settings.theme);
    readFlag(Key::highlightSelectedWord, settings.highlightSelectedWord);
    readFlag(Key::showInvisibles, settings.showInvisibles);
    readFlag(Key::multilineTabs, settings.multilineTabs);
    if (auto stored = lookup(Key::prettyOnOpen); stored && stored->string())
        settings.prettyOnOpen =
            prettyOnOpen::fromRawValue(*stored->string()).value_or(settings.prettyOnOpen);
    return settings.clamped();
}

void SettingsStore::save(const EditorSettings& settings) {
    const EditorSettings updated = settings.clamped();
    const EditorSettings current = load();
    auto write = [&](std::string_view key, SettingsValue value) { m_backing.set(value, key); };

    if (updated.fontName != current.fontName)
        write(Key::fontName, utf8::encode(updated.fontName));
    if (updated.fontSize != current.fontSize)
        write(Key::fontSize, updated.fontSize);
    if (updated.tabWidth != current.tabWidth)
        write(Key::tabWidth, updated.tabWidth);
    if (updated.insertSpaces != current.insertSpaces)
        write(Key::insertSpaces, updated.insertSpaces);
    if (updated.wrapByDefault != current.wrapByDefault)
        write(Key::wrapByDefault, updated.wrapByDefault);
    if (updated.theme != current.theme)
        write(Key::theme, std::string(editorTheme::rawValue(updated.theme)));
    if (updated.highlightSelectedWord != current.highlightSelectedWord)
        write(Key::highlightSelectedWord, updated.highlightSelectedWord);
    if (updated.showInvisibles != current.showInvisibles)
        write(Key::showInvisibles, updated.showInvisibles);
    if (updated.multilineTabs != current.multilineTabs)
        write(Key::multilineTabs, updated.multilineTabs);
    if (updated.prettyOnOpen != current.prettyOnOpen)
        write(Key::prettyOnOpen, std::string(prettyOnOpen::rawValue(updated.prettyOnOpen)));
}

} // namespace vendrix
