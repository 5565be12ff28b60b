#include "core/persistence/EditorSettings.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vendrix {

namespace editorTheme {
std::string_view rawValue(EditorTheme theme) {
    switch (theme) {
    case EditorTheme::system:
        return "system";
    case EditorTheme::light:
        return "light";
    case EditorTheme::dark:
        return "dark";
    }
    return "system";
}

std::optional<EditorTheme> fromRawValue(std::string_view raw) {
    for (EditorTheme theme : allCases)
        if (rawValue(theme) == raw)
            return theme;
    return std::nullopt;
}
} // namespace editorTheme

namespace prettyOnOpen {
std::string_view rawValue(PrettyOnOpen policy) {
    switch (policy) {
    case PrettyOnOpen::ask:
        return "ask";
    case PrettyOnOpen::always:
        return "always";
    case PrettyOnOpen::never:
        return "never";
    }
    return "ask";
}

std::optional<PrettyOnOpen> fromRawValue(std::string_view raw) {
    for (PrettyOnOpen policy : allCases)
        if (rawValue(policy) == raw)
            return policy;
    return std::nullopt;
}
} // namespace prettyOnOpen

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
    if (!std::isfinite(result.fontSize))
        result.fontSize = defaults.fontSize;
    else
        result.fontSize =
            std::clamp(result.fontSize, fontSizeRange.lowerBound, fontSizeRange.upperBound);
    // Every character is at least one UTF-16 unit, so short names need no segmentation.
    if (result.fontName.size() > maxFontNameCharacters &&
        graphemeCount(result.fontName) > maxFontNameCharacters)
        result.fontName.clear();
    result.tabWidth =
        std::clamp(result.tabWidth, tabWidthRange.lowerBound, tabWidthRange.upperBound);
    return result;
}

} // namespace vendrix
