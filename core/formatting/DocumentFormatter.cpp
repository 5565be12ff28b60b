#include "core/formatting/DocumentFormatter.h"

#include "core/formatting/CSSFormatter.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/MarkupFormatter.h"
#include "core/formatting/SQLFormatter.h"
#include "core/syntax/LanguageID.h"

#include <utility>

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
                                                                     FormatIndent indent,
                                                                     ProgressToken* progress) {
    switch (kind) {
    case Kind::json:
        return JSONFormatter::pretty(text, indent, false, progress);
    case Kind::xml:
        return MarkupFormatter::pretty(text, MarkupFormatter::Dialect::xml, indent, progress);
    case Kind::html:
        return MarkupFormatter::pretty(text, MarkupFormatter::Dialect::html, indent, progress);
    case Kind::sql:
        return SQLFormatter::pretty(text, indent, progress);
    case Kind::css:
        return CSSFormatter::pretty(text, indent, progress);
    }
    std::unreachable();
}

} // namespace vendrix
