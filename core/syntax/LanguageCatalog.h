#pragma once

#include "core/syntax/LanguageDefinition.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// The fixed list of languages and the detection of a document's language from its file
/// name, a "#!" first line or the first characters of its content. Plain text ("plain") has
/// no definition. The definitions and look-up tables are built once, lazily and
/// thread-safely, and never change.
class LanguageCatalog {
public:
    /// The definitions, in catalog order (which decides ties in the look-up tables).
    [[nodiscard]] static const std::vector<LanguageDefinition>& all();
    /// None for no identifier, "plain" or an unknown identifier.
    [[nodiscard]] static const LanguageDefinition* definition(std::optional<std::string_view> id);
    /// The display name; none for no identifier and "plain"; an unknown identifier itself.
    [[nodiscard]] static std::optional<std::string> name(std::optional<std::string_view> id);

    [[nodiscard]] static std::optional<std::string> languageForExtension(std::string_view ext);
    /// By whole file name, then by the path extension of the last path component.
    [[nodiscard]] static std::optional<std::string> languageForFileName(std::string_view name);
    /// By a "#!" interpreter line; any other line goes to content detection.
    [[nodiscard]] static std::optional<std::string> languageForFirstLine(std::u16string_view line);
    /// By the first characters of the content: XML and HTML prologues and tags, JSON objects
    /// and arrays.
    [[nodiscard]] static std::optional<std::string>
    languageForContentPrefix(std::u16string_view text);

    /// The editor's detection order: file name, then first line, then content.
    [[nodiscard]] static std::optional<std::string> detect(std::string_view fileName,
                                                           std::u16string_view text);
};

} // namespace vendrix
