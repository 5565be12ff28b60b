// The JSON validator and the public pipeline.
#include "core/formatting/JSONFormatter.h"

#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"

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
    enum class State : std::uint8_t { value, valueOrClose, key, keyOrClose, colon, afterValue, done };
    Summary summary;
    std::vector<std::uint8_t> stack; // 1 for an object
    State state = State::value;
    Kind previous = Kind::comma;
    bool anySignificant = false;
    FormatProgress::WindowCheckpoints checkpoint(static_cast<std::int64_t>(tokens.size()),
                                                kValidateFrom, kValidateTo);
    auto fail = [&](const Tok& tok, std::u16string message) {
        return std::unexpected(FormatError::at(bytes, tok.start, std::move(message)));
    };

    for (std::size_t index = 0; index < tokens.size(); ++index) {
        if (!checkpoint(static_cast<std::int64_t>(index)))
            return std::unexpected(FormatProgress::cancelledError());
        const Tok& tok = tokens[index];
        if (isComment(tok.kind)) {
            summary.hasComments = true;
            continue;
        }
        bool valueDone = false;
        switch (state) {
        case State::done:
            return fail(tok, u"Fazladan içerik (tek bir kök değer bekleniyordu)");
        case State::valueOrClose:
            if (tok.kind == Kind::arrClose) {
                stack.pop_back();
                valueDone = true;
                break;
            }
            if (tok.kind == Kind::objClose || tok.kind == Kind::colon || tok.kind == Kind::comma)
                return fail(tok, u"Değer bekleniyordu");
            [[fallthrough]];
        case State::value:
            switch (tok.kind) {
            case Kind::objOpen:
            case Kind::arrOpen:
                stack.push_back(tok.kind == Kind::objOpen);
                summary.maxDepth = std::max(summary.maxDepth, static_cast<std::int64_t>(stack.size()));
                state = tok.kind == Kind::objOpen ? State::keyOrClose : State::valueOrClose;
                break;
            case Kind::string:
            case Kind::scalar:
                valueDone = true;
                break;
            case Kind::objClose:
            case Kind::arrClose:
                if (!stack.empty() && previous == Kind::comma)
                    return fail(tok, u"Sondaki virgül");
                return fail(tok, u"Değer bekleniyordu");
            default:
                return fail(tok, u"Değer bekleniyordu");
            }
            break;
        case State::key:
            if (tok.kind == Kind::string)
                state = State::colon;
            else if (tok.kind == Kind::objClose)
                return fail(tok, u"Sondaki virgül");
            else
                return fail(tok, u"Anahtar (çift tırnaklı dize) bekleniyordu");
            break;
        case State::keyOrClose:
            if (tok.kind == Kind::string) {
                state = State::colon;
            } else if (tok.kind == Kind::objClose) {
                stack.pop_back();
                valueDone = true;
            } else {
                return fail(tok, u"Anahtar (çift tırnaklı dize) bekleniyordu");
            }
            break;
        case State::colon:
            if (tok.kind != Kind::colon)
                return fail(tok, u"':' bekleniyordu");
            state = State::value;
            break;
        case State::afterValue: {
            const bool inObject = stack.back();
            if (tok.kind == Kind::comma) {
                state = inObject ? State::key : State::value;
            } else if (tok.kind == (inObject ? Kind::objClose : Kind::arrClose)) {
                stack.pop_back();
                valueDone = true;
            } else {
                return fail(tok, inObject ? u"',' ya da '}' bekleniyordu"
                                          : u"',' ya da ']' bekleniyordu");
            }
            break;
        }
        }
        if (valueDone) {
            ++summary.valueCount;
            state = stack.empty() ? State::done : State::afterValue;
        }
        previous = tok.kind;
        anySignificant = true;
    }
    if (state == State::done)
        return summary;
    if (!anySignificant)
        return std::unexpected(FormatError::unpositioned(u"Boş girdi"));
    return std::unexpected(FormatError::at(
        bytes, static_cast<std::int64_t>(bytes.size()),
        stack.back() ? u"Beklenmeyen son (kapanmamış '{')" : u"Beklenmeyen son (kapanmamış '[')"));
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
    auto bytes = inputBytes(text);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto output = formatUTF8(*bytes, std::nullopt, sortKeys);
    if (!output)
        return std::unexpected(std::move(output.error()));
    return FormatText::finish(std::move(*output), *bytes);
}

} // namespace vendrix
