// The JSON writer: copies token bytes in input or sorted order and adds only white space and,
// when sorting, commas.
#include "core/formatting/FormatProgress.h"
#include "core/formatting/JSONFormatter.h"

#include <algorithm>
#include <cstring>

namespace vendrix {

namespace {

using Kind = JSONFormatter::Kind;
using Tok = JSONFormatter::Tok;

constexpr double kWriteFrom = 0.55;
constexpr double kWriteTo = 1.0;
// Room ensured before each token for its punctuation, a pending space and a short token copy.
constexpr std::size_t kSlack = 48;

bool isClose(Kind kind) {
    return kind == Kind::objClose || kind == Kind::arrClose;
}

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
    FormatProgress::WindowCheckpoints checkpoint(static_cast<std::int64_t>(m_tokens.size()),
                                                kWriteFrom, kWriteTo);
    for (std::size_t index = 0; index < m_tokens.size(); ++index) {
        if (!checkpoint(static_cast<std::int64_t>(index)))
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
    FormatProgress::WindowCheckpoints checkpoint(static_cast<std::int64_t>(count), kWriteFrom,
                                                kWriteTo);
    for (std::size_t position = 0; position < count; ++position) {
        if (!checkpoint(static_cast<std::int64_t>(position)))
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

std::expected<std::string, FormatError> JSONFormatter::write(
    std::string_view bytes, std::span<const Tok> tokens, std::optional<FormatIndent> indent,
    const std::vector<std::int32_t>* sortedOrder) {
    Writer writer(bytes, tokens, indent);
    if (sortedOrder)
        return writer.run(sortedOrder->size(), [&](std::size_t i) { return (*sortedOrder)[i]; });
    if (!indent)
        return writer.runMinify();
    return writer.run(tokens.size(), [](std::size_t i) { return static_cast<std::int32_t>(i); });
}

} // namespace vendrix
