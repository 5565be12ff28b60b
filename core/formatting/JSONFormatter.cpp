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
    std::string_view bytes, std::span<const Tok> tokens, ProgressToken* progress) {
    JSONGrammar grammar;
    FormatProgress::WindowCheckpoints checkpoint(progress, static_cast<std::int64_t>(tokens.size()),
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
    std::string_view bytes, ProgressToken* progress) {
    auto tokens = tokenize(bytes, progress);
    if (!tokens)
        return std::unexpected(std::move(tokens.error()));
    return validateTokens(bytes, *tokens, progress);
}

std::expected<std::string, FormatError> JSONFormatter::formatUTF8(
    std::string_view bytes, std::optional<FormatIndent> indent, bool sortKeys,
    ProgressToken* progress) {
    if (!sortKeys)
        return streamUTF8(bytes, indent, progress);
    return formatTokensUTF8(bytes, indent, sortKeys, progress);
}

std::expected<std::string, FormatError> JSONFormatter::formatTokensUTF8(
    std::string_view bytes, std::optional<FormatIndent> indent, bool sortKeys,
    ProgressToken* progress) {
    auto tokens = tokenize(bytes, progress);
    if (!tokens)
        return std::unexpected(std::move(tokens.error()));
    if (auto summary = validateTokens(bytes, *tokens, progress); !summary)
        return std::unexpected(std::move(summary.error()));
    std::expected<std::string, FormatError> output;
    if (sortKeys) {
        if (tokens->size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
        const std::vector<std::int32_t> order = sortedWriteOrder(bytes, *tokens, progress);
        if (FormatProgress::isCancelled(progress))
            return std::unexpected(FormatProgress::cancelledError());
        output = write(bytes, *tokens, indent, &order, progress);
    } else {
        output = write(bytes, *tokens, indent, nullptr, progress);
    }
    if (output)
        FormatText::finishBytes(*output, bytes);
    return output;
}

namespace {

// The UTF-8 bytes of a text, refusing early a text that has more units than the byte limit.
std::expected<std::string, FormatError> inputBytes(std::u16string_view text,
                                                   ProgressToken* progress) {
    if (text.size() > JSONFormatter::maxInputBytes)
        return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
    return FormatText::inputBytes(text, progress);
}

} // namespace

std::expected<JSONFormatter::Summary, FormatError> JSONFormatter::validate(
    std::u16string_view text, ProgressToken* progress) {
    auto bytes = inputBytes(text, progress);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    return validateUTF8(*bytes, progress);
}

std::expected<std::u16string, FormatError> JSONFormatter::pretty(std::u16string_view text,
                                                                 FormatIndent indent,
                                                                 bool sortKeys,
                                                                 ProgressToken* progress) {
    if (!sortKeys)
        return streamUTF16(text, indent, progress);
    auto bytes = inputBytes(text, progress);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto output = formatUTF8(*bytes, indent, sortKeys, progress);
    if (!output)
        return std::unexpected(std::move(output.error()));
    return FormatText::finish(std::move(*output), *bytes, progress);
}

std::expected<std::u16string, FormatError> JSONFormatter::minify(std::u16string_view text,
                                                                 bool sortKeys,
                                                                 ProgressToken* progress) {
    if (!sortKeys)
        return streamUTF16(text, std::nullopt, progress);
    auto bytes = inputBytes(text, progress);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto output = formatUTF8(*bytes, std::nullopt, sortKeys, progress);
    if (!output)
        return std::unexpected(std::move(output.error()));
    return FormatText::finish(std::move(*output), *bytes, progress);
}

std::expected<JSONFormatter::Summary, FormatError> JSONFormatter::validateFileBytes(
    std::string_view bytes, ProgressToken* progress) {
    if (FormatText::isValidUTF8(bytes))
        return validateUTF8(bytes, progress);
    return validate(FormatText::fromUTF8(bytes), progress);
}

std::expected<std::string, FormatError> JSONFormatter::formatFileBytes(
    std::string_view bytes, std::optional<FormatIndent> indent, bool sortKeys,
    ProgressToken* progress) {
    // Valid UTF-8 decodes and encodes back to itself, so the bytes are the formatter's input.
    if (FormatText::isValidUTF8(bytes))
        return formatUTF8(bytes, indent, sortKeys, progress);
    const std::u16string text = FormatText::fromUTF8(bytes);
    auto result =
        indent ? pretty(text, *indent, sortKeys, progress) : minify(text, sortKeys, progress);
    if (!result)
        return std::unexpected(std::move(result.error()));
    return FormatText::toUTF8(*result);
}

} // namespace vendrix
