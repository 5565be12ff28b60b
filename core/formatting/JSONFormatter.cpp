// The JSON validator and the public pipeline.
#include "core/formatting/JSONFormatter.h"

#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONGrammar.h"

#include <algorithm>
#include <limits>

namespace vendrix {

namespace {

using Kind = JSONFormatter::Kind;
using Tok = JSONFormatter::Tok;

constexpr double kValidateFrom = 0.45;
constexpr double kValidateTo = 0.55;

bool isComment(Kind kind) {
    return kind == Kind::lineComment || kind == Kind::blockComment;
}

} // namespace

std::expected<JSONFormatter::Summary, FormatError> JSONFormatter::validateTokens(
    std::string_view bytes, std::span<const Tok> tokens) {
    JSONGrammar grammar;
    FormatProgress::WindowCheckpoints checkpoint(static_cast<std::int64_t>(tokens.size()),
                                                kValidateFrom, kValidateTo);
    for (std::size_t index = 0; index < tokens.size(); ++index) {
        if (!checkpoint(static_cast<std::int64_t>(index)))
            return std::unexpected(FormatProgress::cancelledError());
        const Tok& tok = tokens[index];
        if (isComment(tok.kind)) {
            grammar.sawComment();
            continue;
        }
        if (const char16_t* message = grammar.take(tok.kind))
            return std::unexpected(FormatError::at(bytes, tok.start, message));
    }
    return grammar.finish(bytes);
}

std::expected<JSONFormatter::Summary, FormatError> JSONFormatter::validateUTF8(
    std::string_view bytes) {
    auto tokens = tokenize(bytes);
    if (!tokens)
        return std::unexpected(std::move(tokens.error()));
    return validateTokens(bytes, *tokens);
}

std::expected<std::string, FormatError> JSONFormatter::formatUTF8(
    std::string_view bytes, std::optional<FormatIndent> indent, bool sortKeys) {
    if (!sortKeys)
        return streamUTF8(bytes, indent);
    return formatTokensUTF8(bytes, indent, sortKeys);
}

std::expected<std::string, FormatError> JSONFormatter::formatTokensUTF8(
    std::string_view bytes, std::optional<FormatIndent> indent, bool sortKeys) {
    auto tokens = tokenize(bytes);
    if (!tokens)
        return std::unexpected(std::move(tokens.error()));
    if (auto summary = validateTokens(bytes, *tokens); !summary)
        return std::unexpected(std::move(summary.error()));
    std::expected<std::string, FormatError> output;
    if (sortKeys) {
        if (tokens->size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
        const std::vector<std::int32_t> order = sortedWriteOrder(bytes, *tokens);
        if (FormatProgress::currentIsCancelled())
            return std::unexpected(FormatProgress::cancelledError());
        output = write(bytes, *tokens, indent, &order);
    } else {
        output = write(bytes, *tokens, indent, nullptr);
    }
    if (output)
        FormatText::finishBytes(*output, bytes);
    return output;
}

namespace {

// The UTF-8 bytes of a text, refusing early a text that has more units than the byte limit.
std::expected<std::string, FormatError> inputBytes(std::u16string_view text) {
    if (text.size() > JSONFormatter::maxInputBytes)
        return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
    return FormatText::inputBytes(text);
}

} // namespace

std::expected<JSONFormatter::Summary, FormatError> JSONFormatter::validate(
    std::u16string_view text) {
    auto bytes = inputBytes(text);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    return validateUTF8(*bytes);
}

std::expected<std::u16string, FormatError> JSONFormatter::pretty(std::u16string_view text,
                                                                 FormatIndent indent,
                                                                 bool sortKeys) {
    if (!sortKeys)
        return streamUTF16(text, indent);
    auto bytes = inputBytes(text);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto output = formatUTF8(*bytes, indent, sortKeys);
    if (!output)
        return std::unexpected(std::move(output.error()));
    return FormatText::finish(std::move(*output), *bytes);
}

std::expected<std::u16string, FormatError> JSONFormatter::minify(std::u16string_view text,
                                                                 bool sortKeys) {
    if (!sortKeys)
        return streamUTF16(text, std::nullopt);
    auto bytes = inputBytes(text);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto output = formatUTF8(*bytes, std::nullopt, sortKeys);
    if (!output)
        return std::unexpected(std::move(output.error()));
    return FormatText::finish(std::move(*output), *bytes);
}

std::expected<JSONFormatter::Summary, FormatError> JSONFormatter::validateFileBytes(
    std::string_view bytes) {
    if (FormatText::isValidUTF8(bytes))
        return validateUTF8(bytes);
    return validate(FormatText::fromUTF8(bytes));
}

std::expected<std::string, FormatError> JSONFormatter::formatFileBytes(
    std::string_view bytes, std::optional<FormatIndent> indent, bool sortKeys) {
    // Valid UTF-8 decodes and encodes back to itself, so the bytes are the formatter's input.
    if (FormatText::isValidUTF8(bytes))
        return formatUTF8(bytes, indent, sortKeys);
    const std::u16string text = FormatText::fromUTF8(bytes);
    auto result = indent ? pretty(text, *indent, sortKeys) : minify(text, sortKeys);
    if (!result)
        return std::unexpected(std::move(result.error()));
    return FormatText::toUTF8(*result);
}

} // namespace vendrix
