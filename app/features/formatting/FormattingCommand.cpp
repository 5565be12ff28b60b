#include "app/features/formatting/FormattingCommand.h"

#include "core/formatting/CSSFormatter.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/MarkupFormatter.h"
#include "core/formatting/SQLFormatter.h"
#include "core/formatting/TextCodecs.h"

namespace vendrix::app {

namespace {

QKeySequence keys(QKeyCombination combination) { return QKeySequence(combination); }
constexpr auto kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;
constexpr auto kCtrlAltShift = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;

FormattingCommand separator() { return {}; }

template <typename F> FormattingCommand::Transform plain(F codec) {
    return [codec](std::u16string_view text, FormatIndent,
                   ProgressToken*) -> FormattingCommand::Result {
        return codec(text);
    };
}

} // namespace

std::vector<FormattingCommand> FormattingCommand::formatters() {
    using Dialect = MarkupFormatter::Dialect;
    return {
        {QStringLiteral("JSON Güzelleştir"),
         {keys(kCtrlAlt | Qt::Key_J)},
         [](std::u16string_view text, FormatIndent indent, ProgressToken* progress) {
             return JSONFormatter::pretty(text, indent, false, progress);
         },
         "json"},
        {QStringLiteral("JSON Küçült"),
         {keys(kCtrlAltShift | Qt::Key_J)},
         [](std::u16string_view text, FormatIndent, ProgressToken* progress) {
             return JSONFormatter::minify(text, false, progress);
         },
         "json"},
        {QStringLiteral("JSON Güzelleştir (Anahtarlar Sıralı)"),
         {},
         [](std::u16string_view text, FormatIndent indent, ProgressToken* progress) {
             return JSONFormatter::pretty(text, indent, true, progress);
         },
         "json"},
        separator(),
        {QStringLiteral("XML Güzelleştir"),
         {keys(kCtrlAltShift | Qt::Key_X)},
         [](std::u16string_view text, FormatIndent indent, ProgressToken* progress) {
             return MarkupFormatter::pretty(text, Dialect::xml, indent, progress);
         },
         "xml"},
        {QStringLiteral("XML Küçült"),
         {},
         [](std::u16string_view text, FormatIndent, ProgressToken* progress) {
             return MarkupFormatter::minify(text, Dialect::xml, progress);
         },
         "xml"},
        {QStringLiteral("HTML Güzelleştir"),
         {keys(kCtrlAltShift | Qt::Key_H)},
         [](std::u16string_view text, FormatIndent indent, ProgressToken* progress) {
             return MarkupFormatter::pretty(text, Dialect::html, indent, progress);
         },
         "html"},
        {QStringLiteral("HTML Küçült"),
         {},
         [](std::u16string_view text, FormatIndent, ProgressToken* progress) {
             return MarkupFormatter::minify(text, Dialect::html, progress);
         },
         "html"},
        separator(),
        {QStringLiteral("SQL Güzelleştir"),
         {keys(kCtrlAltShift | Qt::Key_Q)},
         [](std::u16string_view text, FormatIndent indent, ProgressToken* progress) {
             return SQLFormatter::pretty(text, indent, progress);
         },
         "sql"},
        {QStringLiteral("CSS Güzelleştir"),
         {keys(kCtrlAltShift | Qt::Key_C)},
         [](std::u16string_view text, FormatIndent indent, ProgressToken* progress) {
             return CSSFormatter::pretty(text, indent, progress);
         },
         "css"},
        {QStringLiteral("CSS Küçült"),
         {},
         [](std::u16string_view text, FormatIndent, ProgressToken* progress) {
             return CSSFormatter::minify(text, progress);
         },
         "css"},
    };
}

std::vector<FormattingCommand> FormattingCommand::codecs() {
    return {
        {QStringLiteral("Base64 Kodla"), {}, plain(&TextCodec::base64Encode), std::nullopt},
        {QStringLiteral("Base64 Çöz"), {}, plain(&TextCodec::base64Decode), std::nullopt},
        separator(),
        {QStringLiteral("URL Kodla"), {}, plain(&TextCodec::urlEncode), std::nullopt},
        {QStringLiteral("URL Çöz"), {}, plain(&TextCodec::urlDecode), std::nullopt},
        separator(),
        {QStringLiteral("HTML Varlıklarını Kodla"), {}, plain(&TextCodec::htmlEncode),
         std::nullopt},
        {QStringLiteral("HTML Varlıklarını Çöz"), {}, plain(&TextCodec::htmlDecode),
         std::nullopt},
        separator(),
        {QStringLiteral("JSON Dizesi Olarak Kaçışla"), {}, plain(&TextCodec::jsonEscape),
         std::nullopt},
        {QStringLiteral("JSON Dizesini Çöz"), {}, plain(&TextCodec::jsonUnescape),
         std::nullopt},
    };
}

} // namespace vendrix::app
