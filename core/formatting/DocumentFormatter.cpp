#include "core/formatting/DocumentFormatter.h"

#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"
#include "core/syntax/LanguageID.h"

#include <algorithm>

// The markup, SQL and CSS formatters live beside this dispatcher; until a build has them, their
// kinds fail with a message naming the missing formatter.
#if __has_include("core/formatting/MarkupFormatter.h")
#include "core/formatting/MarkupFormatter.h"
#define VENDRIX_HAS_MARKUP_FORMATTER 1
#endif
#if __has_include("core/formatting/SQLFormatter.h")
#include "core/formatting/SQLFormatter.h"
#define VENDRIX_HAS_SQL_FORMATTER 1
#endif
#if __has_include("core/formatting/CSSFormatter.h")
#include "core/formatting/CSSFormatter.h"
#define VENDRIX_HAS_CSS_FORMATTER 1
#endif

namespace vendrix {

namespace {

constexpr std::size_t kSniffBytes = 4096;

bool isSkippedByte(unsigned char byte) {
    return byte == '\t' || byte == '\n' || byte == '\r' || byte == ' ' || byte == 0xEF ||
           byte == 0xBB || byte == 0xBF;
}

std::optional<DocumentFormatter::Kind> sniff(std::u16string_view sample) {
    // 4097 units always give at least 4096 bytes.
    std::string prefix = FormatText::toUTF8(sample.substr(0, kSniffBytes + 1));
    if (prefix.size() > kSniffBytes)
        prefix.resize(kSniffBytes);
    std::size_t i = 0;
    while (i < prefix.size() && isSkippedByte(static_cast<unsigned char>(prefix[i])))
        ++i;
    if (i == prefix.size())
        return std::nullopt;
    if (prefix[i] == '{' || prefix[i] == '[')
        return DocumentFormatter::Kind::json;
    if (prefix[i] != '<')
        return std::nullopt;
    // The markers are ASCII, so lower-casing the ASCII letters of the bytes finds exactly what
    // lower-casing the decoded text would.
    for (char& c : prefix)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (prefix.find("<!doctype html") != std::string::npos ||
        prefix.find("<html") != std::string::npos)
        return DocumentFormatter::Kind::html;
    return DocumentFormatter::Kind::xml;
}

[[maybe_unused]] FormatError missingFormatter(std::u16string_view name) {
    return FormatError::unpositioned(std::u16string(name) + u" biçimleyicisi bu derlemede yok");
}

} // namespace

std::optional<DocumentFormatter::Kind> DocumentFormatter::kind(
    std::optional<std::string_view> language, std::u16string_view sample) {
    if (language && *language != LanguageID::plainText)
        return kindFromRawValue(*language);
    return sniff(sample);
}

std::string_view DocumentFormatter::languageID(Kind kind) {
    switch (kind) {
    case Kind::json:
        return LanguageID::json;
    case Kind::xml:
        return LanguageID::xml;
    case Kind::html:
        return LanguageID::html;
    case Kind::sql:
        return LanguageID::sql;
    case Kind::css:
        return LanguageID::css;
    }
    return LanguageID::json;
}

std::optional<DocumentFormatter::Kind> DocumentFormatter::kindFromRawValue(std::string_view raw) {
    for (Kind kind : allKinds)
        if (languageID(kind) == raw)
            return kind;
    return std::nullopt;
}

std::expected<std::u16string, FormatError> DocumentFormatter::pretty(std::u16string_view text,
                                                                     Kind kind,
                                                                     FormatIndent indent) {
    switch (kind) {
    case Kind::json:
        return JSONFormatter::pretty(text, indent, false);
    case Kind::xml:
#ifdef VENDRIX_HAS_MARKUP_FORMATTER
        return MarkupFormatter::pretty(text, MarkupFormatter::Dialect::xml, indent);
#else
        return std::unexpected(missingFormatter(u"XML"));
#endif
    case Kind::html:
#ifdef VENDRIX_HAS_MARKUP_FORMATTER
        return MarkupFormatter::pretty(text, MarkupFormatter::Dialect::html, indent);
#else
        return std::unexpected(missingFormatter(u"HTML"));
#endif
    case Kind::sql:
#ifdef VENDRIX_HAS_SQL_FORMATTER
        return SQLFormatter::pretty(text, indent);
#else
        return std::unexpected(missingFormatter(u"SQL"));
#endif
    case Kind::css:
#ifdef VENDRIX_HAS_CSS_FORMATTER
        return CSSFormatter::pretty(text, indent);
#else
        return std::unexpected(missingFormatter(u"CSS"));
#endif
    }
    return std::unexpected(missingFormatter(u"?"));
}

} // namespace vendrix
