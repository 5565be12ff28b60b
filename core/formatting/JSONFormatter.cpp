// The JSON validator, the writer and the public pipeline.
#include "core/formatting/JSONFormatter.h"

#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vendrix {

namespace {

using Kind = JSONFormatter::Kind;
using Tok = JSONFormatter::Tok;

constexpr double kValidateFrom = 0.45;
constexpr double kValidateTo = 0.55;
constexpr double kWriteFrom = 0.55;
constexpr double kWriteTo = 1.0;
// Room ensured before each token for its punctuation, a pending space and a short token copy.
constexpr std::size_t kSlack = 48;

// Token-indexed phases check progress once per window of 65536 tokens.
class TokenCheckpoints {
public:
    TokenCheckpoints(std::size_t total, double from, double to)
        : m_total(total), m_from(from), m_to(to) {}
    bool operator()(std::size_t index) {
        if (index < m_next)
            return true;
        m_next = (index | 0xFFFF) + 1;
        return FormatProgress::checkpoint(static_cast<std::int64_t>(index),
                                          static_cast<std::int64_t>(m_total), m_from, m_to);
    }

private:
    std::size_t m_total;
    double m_from, m_to;
    std::size_t m_next = 0;
};

bool isComment(Kind kind) {
    return kind == Kind::lineComment || kind == Kind::blockComment;
}

bool isClose(Kind kind) {
    return kind == Kind::objClose || kind == Kind::arrClose;
}

// An output buffer written through a raw pointer, grown by doubling.
class Output {
public:
    explicit Output(std::size_t capacity) { grow(std::max<std::size_t>(capacity, 64)); }
    std::size_t size() const { return m_size; }
    void ensure(std::size_t more) {
        if (m_size + more > m_bytes.size())
            grow(std::max(m_bytes.size() * 2, m_size + more));
    }
    void put(char c) { m_bytes[m_size++] = c; }
    // Copies 16 bytes but keeps `length` of them; both sides must have 16 bytes of room.
    void putFixed16(const char* data, std::size_t length) {
        std::memcpy(m_bytes.data() + m_size, data, 16);
        m_size += length;
    }
    void put(const char* data, std::size_t length) {
        std::memcpy(m_bytes.data() + m_size, data, length);
        m_size += length;
    }
    std::string take() {
        m_bytes.resize(m_size);
        return std::move(m_bytes);
    }

private:
    void grow(std::size_t capacity) { m_bytes.resize(capacity); }
    std::string m_bytes;
    std::size_t m_size = 0;
};

class Writer {
public:
    Writer(std::string_view input, std::span<const Tok> tokens, std::optional<FormatIndent> indent)
        : m_input(input), m_tokens(tokens), m_pretty(indent.has_value()),
          m_unit(indent ? indent->unit() : std::string()),
          m_limit(std::max<std::uint64_t>(16 * static_cast<std::uint64_t>(input.size()), 67108864)),
          m_out(m_pretty ? input.size() + input.size() / 2 : input.size()) {}

    // Writes the tokens in `order` (token indices, -1 for an inserted comma).
    template <typename Order>
    std::expected<std::string, FormatError> run(std::size_t count, Order order);
    // Minifying in input order: the tokens' bytes without comments, nothing added.
    std::expected<std::string, FormatError> runMinify();

private:
    enum class Pending : std::uint8_t { none, space, newline };

    std::optional<FormatError> newlineAndIndent(std::size_t at);
    std::optional<FormatError> flush(std::size_t at) {
        if (m_pending == Pending::space) {
            m_out.put(' ');
        } else if (m_pending == Pending::newline) {
            if (auto error = newlineAndIndent(at))
                return error;
        }
        m_pending = Pending::none;
        return std::nullopt;
    }
    bool copy(const Tok& tok);
    FormatError tooLarge(std::size_t at) const {
        return FormatError::at(m_input, static_cast<std::int64_t>(at),
                               u"Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir");
    }

    std::string_view m_input;
    std::span<const Tok> m_tokens;
    bool m_pretty;
    std::string m_unit;
    std::string m_indentRun;
    std::uint64_t m_limit;
    Output m_out;
    std::uint64_t m_depth = 0;
    Pending m_pending = Pending::none;
};

std::optional<FormatError> Writer::newlineAndIndent(std::size_t at) {
    const std::uint64_t indentBytes = m_depth * m_unit.size();
    // Fail before writing an indentation that alone would pass the limit.
    if (m_out.size() + 1 + indentBytes > m_limit)
        return tooLarge(at);
    if (m_indentRun.size() < indentBytes) {
        // Regrow the cached run to twice the need by doubling, never unit by unit.
        const std::uint64_t target = 2 * indentBytes;
        std::string run = m_unit;
        run.reserve(target);
        while (run.size() < target)
            run.append(run, 0, std::min<std::uint64_t>(run.size(), target - run.size()));
        m_indentRun = std::move(run);
    }
    m_out.ensure(1 + indentBytes + kSlack);
    m_out.put('\n');
    m_out.put(m_indentRun.data(), indentBytes);
    return std::nullopt;
}

// Copies a token's bytes; very long tokens go in slices so that cancellation is noticed.
bool Writer::copy(const Tok& tok) {
    std::size_t start = tok.start;
    const std::size_t end = tok.end;
    // Most tokens are short: one fixed-size copy (room for it is ensured before each token).
    if (end - start <= 16 && start + 16 <= m_input.size()) {
        m_out.putFixed16(m_input.data() + start, end - start);
        return true;
    }
    constexpr std::size_t kSlice = 1 << 20;
    m_out.ensure(end - start);
    while (end - start > kSlice) {
        m_out.put(m_input.data() + start, kSlice);
        start += kSlice;
        if (FormatProgress::currentIsCancelled())
            return false;
    }
    m_out.put(m_input.data() + start, end - start);
    return true;
}

std::expected<std::string, FormatError> Writer::runMinify() {
    TokenCheckpoints checkpoint(m_tokens.size(), kWriteFrom, kWriteTo);
    for (std::size_t index = 0; index < m_tokens.size(); ++index) {
        if (!checkpoint(index))
            return std::unexpected(FormatProgress::cancelledError());
        const Tok& tok = m_tokens[index];
        if (tok.kind == Kind::lineComment || tok.kind == Kind::blockComment)
            continue;
        m_out.ensure(kSlack);
        if (!copy(tok))
            return std::unexpected(FormatProgress::cancelledError());
    }
    return m_out.take();
}

template <typename Order>
std::expected<std::string, FormatError> Writer::run(std::size_t count, Order order) {
    TokenCheckpoints checkpoint(count, kWriteFrom, kWriteTo);
    for (std::size_t position = 0; position < count; ++position) {
        if (!checkpoint(position))
            return std::unexpected(FormatProgress::cancelledError());
        m_out.ensure(kSlack);
        const std::int32_t index = order(position);
        if (index < 0) {
            if (auto error = flush(position + 1 < count && order(position + 1) >= 0
                                       ? m_tokens[order(position + 1)].start
                                       : m_input.size()))
                return std::unexpected(std::move(*error));
            m_out.put(',');
            m_pending = m_pretty ? Pending::newline : Pending::none;
            continue;
        }
        const Tok& tok = m_tokens[static_cast<std::size_t>(index)];
        switch (tok.kind) {
        case Kind::objOpen:
        case Kind::arrOpen:
            if (auto error = flush(tok.start))
                return std::unexpected(std::move(*error));
            m_out.put(m_input[tok.start]);
            if (position + 1 < count && order(position + 1) >= 0 &&
                isClose(m_tokens[order(position + 1)].kind)) {
                m_out.put(m_input[m_tokens[order(position + 1)].start]);
                ++position;
            } else {
                ++m_depth;
                m_pending = m_pretty ? Pending::newline : Pending::none;
            }
            break;
        case Kind::objClose:
        case Kind::arrClose:
            --m_depth;
            if (m_pretty) {
                if (auto error = newlineAndIndent(tok.start))
                    return std::unexpected(std::move(*error));
            } else if (auto error = flush(tok.start)) {
                return std::unexpected(std::move(*error));
            }
            m_out.put(m_input[tok.start]);
            m_pending = Pending::none;
            break;
        case Kind::colon:
            if (auto error = flush(tok.start))
                return std::unexpected(std::move(*error));
            m_out.put(':');
            m_pending = m_pretty ? Pending::space : Pending::none;
            break;
        case Kind::comma:
            if (auto error = flush(tok.start))
                return std::unexpected(std::move(*error));
            m_out.put(',');
            m_pending = m_pretty ? Pending::newline : Pending::none;
            break;
        case Kind::string:
        case Kind::scalar:
            if (auto error = flush(tok.start))
                return std::unexpected(std::move(*error));
            if (!copy(tok))
                return std::unexpected(FormatProgress::cancelledError());
            m_pending = Pending::none;
            break;
        case Kind::lineComment:
        case Kind::blockComment:
            if (!m_pretty)
                break;
            if (m_out.size() == 0) {
                m_pending = Pending::newline;
            } else if (tok.newlineBefore) {
                if (auto error = newlineAndIndent(tok.start))
                    return std::unexpected(std::move(*error));
                m_pending = Pending::newline;
            } else {
                m_out.put(' ');
                if (tok.kind == Kind::lineComment)
                    m_pending = Pending::newline;
            }
            if (!copy(tok))
                return std::unexpected(FormatProgress::cancelledError());
            break;
        }
        if (m_out.size() > m_limit)
            return std::unexpected(tooLarge(tok.start));
    }
    return m_out.take();
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
    TokenCheckpoints checkpoint(tokens.size(), kValidateFrom, kValidateTo);
    auto fail = [&](const Tok& tok, std::u16string message) {
        return std::unexpected(FormatError::at(bytes, tok.start, std::move(message)));
    };

    for (std::size_t index = 0; index < tokens.size(); ++index) {
        if (!checkpoint(index))
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
    Writer writer(bytes, *tokens, indent);
    std::expected<std::string, FormatError> output;
    if (sortKeys) {
        if (tokens->size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
        const std::vector<std::int32_t> order = sortedWriteOrder(bytes, *tokens);
        if (FormatProgress::currentIsCancelled())
            return std::unexpected(FormatProgress::cancelledError());
        output = writer.run(order.size(), [&](std::size_t i) { return order[i]; });
    } else if (!indent) {
        output = writer.runMinify();
    } else {
        output = writer.run(tokens->size(),
                            [](std::size_t i) { return static_cast<std::int32_t>(i); });
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
