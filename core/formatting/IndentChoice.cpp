#include "core/formatting/IndentChoice.h"

#include "core/persistence/SettingsBacking.h"

#include <string>

namespace vendrix::indentChoice {

IndentChoice fromRawValue(std::optional<std::string_view> raw) {
    return raw ? cases.fromRawValue(*raw).value_or(IndentChoice::two) : IndentChoice::two;
}

FormatIndent formatIndent(IndentChoice choice) {
    switch (choice) {
    case IndentChoice::four:
        return FormatIndent::spaces(4);
    case IndentChoice::tab:
        return FormatIndent::tab();
    case IndentChoice::two:
        break;
    }
    return FormatIndent::spaces(2);
}

IndentChoice read(const SettingsBacking* settings) {
    if (settings == nullptr)
        return IndentChoice::two;
    const auto stored = settings->object(settingsKey);
    const std::string* text = stored ? stored->string() : nullptr;
    return fromRawValue(text ? std::optional<std::string_view>(*text) : std::nullopt);
}

void write(SettingsBacking* settings, IndentChoice choice) {
    if (settings != nullptr)
        settings->set(SettingsValue(std::string(rawValue(choice))), settingsKey);
}

} // namespace vendrix::indentChoice
