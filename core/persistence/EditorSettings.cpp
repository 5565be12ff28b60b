#include "core/persistence/EditorSettings.h"

#include "core/common/Utf8.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <type_traits>

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

/// A descriptor's accessors for the member `Field`; `Cases` is the case list of a choice.
template <auto Field, auto Cases = nullptr> struct FieldAccess {
    using Type = std::remove_cvref_t<decltype(std::declval<EditorSettings>().*Field)>;

    static SettingsValue value(const EditorSettings& settings) {
        const Type& field = settings.*Field;
        if constexpr (std::is_same_v<Type, std::u16string>)
            return utf8::encode(field);
        else if constexpr (std::is_enum_v<Type>)
            return std::string(Cases->rawValue(field));
        else
            return field;
    }

    static bool assign(EditorSettings& settings, const SettingsValue& stored) {
        Type& field = settings.*Field;
        if constexpr (std::is_same_v<Type, std::u16string>) {
            if (!stored.string())
                return false;
            field = utf8::decode(*stored.string());
        } else if constexpr (std::is_enum_v<Type>) {
            const auto parsed =
                stored.string() ? Cases->fromRawValue(*stored.string()) : std::optional<Type>();
            if (!parsed)
                return false;
            field = *parsed;
        } else if constexpr (std::is_same_v<Type, bool>) {
            const auto flag = stored.isNumber() ? flagValue(stored) : std::nullopt;
            if (!flag)
                return false;
            field = *flag;
        } else if constexpr (std::is_same_v<Type, std::int64_t>) {
            const auto integer = stored.isNumber() ? integerValue(stored) : std::nullopt;
            if (!integer)
                return false;
            field = *integer;
        } else {
            static_assert(std::is_same_v<Type, double>, "a setting's field type");
            if (!stored.isNumber())
                return false;
            field = stored.numberAsDouble();
        }
        return true;
    }
};

template <auto Field, auto Cases = nullptr>
constexpr SettingDescriptor describe(std::string_view key, SettingKind kind,
                                     std::string_view label) {
    SettingDescriptor descriptor{key, kind, label};
    descriptor.value = &FieldAccess<Field, Cases>::value;
    descriptor.assign = &FieldAccess<Field, Cases>::assign;
    if constexpr (!std::is_null_pointer_v<decltype(Cases)>)
        descriptor.rawValues = Cases->rawValues();
    return descriptor;
}

template <auto Field>
constexpr SettingDescriptor describe(std::string_view key, SettingKind kind, std::string_view label,
                                     ClosedRange<double> limits) {
    SettingDescriptor descriptor = describe<Field>(key, kind, label);
    descriptor.limits = limits;
    return descriptor;
}

template <auto Field, auto Cases>
constexpr SettingDescriptor describe(std::string_view key, std::string_view label,
                                     std::span<const std::string_view> choiceLabels) {
    SettingDescriptor descriptor = describe<Field, Cases>(key, SettingKind::choice, label);
    descriptor.choiceLabels = choiceLabels;
    return descriptor;
}

constexpr std::string_view kThemeLabels[] = {"Sistem", "Açık", "Koyu"};
constexpr std::string_view kPrettyLabels[] = {"Açarken sor", "Her zaman güzelleştir",
                                              "Asla (olduğu gibi aç)"};
static_assert(std::size(kThemeLabels) == editorTheme::cases.all().size());
static_assert(std::size(kPrettyLabels) == prettyOnOpen::cases.all().size());

using S = EditorSettings;
using enum SettingKind;

// One entry per setting: a new setting is its field in EditorSettings, its entry here, and
// its use.
constexpr SettingDescriptor kDescriptors[] = {
    [] {
        SettingDescriptor font =
            describe<&S::fontName>("editor.fontName", fontFamily, "Yazı tipi:");
        font.maxCharacters = S::maxFontNameCharacters;
        return font;
    }(),
    describe<&S::fontSize>("editor.fontSize", number,
                           "Boyut:", {S::fontSizeRange.lowerBound, S::fontSizeRange.upperBound}),
    describe<&S::tabWidth>("editor.tabWidth", integer, "Sekme genişliği:",
                           {static_cast<double>(S::tabWidthRange.lowerBound),
                            static_cast<double>(S::tabWidthRange.upperBound)}),
    describe<&S::insertSpaces>("editor.insertSpaces", flag, "Sekme tuşu boşluk ekler"),
    describe<&S::wrapByDefault>("editor.wrapByDefault", flag, "Varsayılan olarak sözcük kaydır"),
    describe<&S::theme, &editorTheme::cases>("editor.theme", "Tema:", kThemeLabels),
    describe<&S::highlightSelectedWord>("editor.highlightSelectedWord", flag,
                                        "Seçili kelimenin geçişlerini vurgula"),
    describe<&S::showInvisibles>("editor.showInvisibles", flag, "Görünmez karakterleri göster"),
    describe<&S::multilineTabs>("editor.multilineTabs", flag, "Çok satırlı sekmeler"),
    describe<&S::prettyOnOpen, &prettyOnOpen::cases>("editor.prettyOnOpen",
                                                     "Tek satırlık büyük JSON/XML:", kPrettyLabels),
};

} // namespace

std::span<const SettingDescriptor> settingDescriptors() {
    return kDescriptors;
}

const SettingDescriptor* settingDescriptor(std::string_view key) {
    for (const SettingDescriptor& descriptor : kDescriptors)
        if (descriptor.key == key)
            return &descriptor;
    return nullptr;
}

std::size_t graphemeCount(std::u16string_view text) {
    if (text.empty())
        return 0;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText* utext =
        utext_openUChars(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status) || !iterator) {
        utext_close(utext);
        return text.size();
    }
    iterator->setText(utext, status);
    std::size_t count = 0;
    iterator->first();
    while (iterator->next() != icu::BreakIterator::DONE)
        ++count;
    utext_close(utext);
    return count;
}

EditorSettings EditorSettings::clamped() const {
    EditorSettings result = *this;
    for (const SettingDescriptor& setting : kDescriptors) {
        const SettingsValue value = setting.value(result);
        switch (setting.kind) {
        case SettingKind::number: {
            const double number = value.numberAsDouble();
            if (!std::isfinite(number))
                setting.assign(result, setting.value(defaults));
            else
                setting.assign(result, std::clamp(number, setting.limits.lowerBound,
                                                  setting.limits.upperBound));
            break;
        }
        case SettingKind::integer: {
            const auto integer = std::get<std::int64_t>(value.value);
            setting.assign(result,
                           std::clamp(integer, static_cast<std::int64_t>(setting.limits.lowerBound),
                                      static_cast<std::int64_t>(setting.limits.upperBound)));
            break;
        }
        case SettingKind::fontFamily: {
            // Every character is at least one UTF-16 unit, so short names need no
            // segmentation.
            const std::u16string name = utf8::decode(*value.string());
            if (name.size() > setting.maxCharacters && graphemeCount(name) > setting.maxCharacters)
                setting.assign(result, setting.value(defaults));
            break;
        }
        case SettingKind::flag:
        case SettingKind::choice:
            break;
        }
    }
    return result;
}

} // namespace vendrix
