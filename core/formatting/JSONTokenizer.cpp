// The JSON tokenizer: one pass over the UTF-8 bytes into 12-byte token records.
#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/JSONScan.h"
#include "core/formatting/JSONStreamSink.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vendrix {

namespace {

using Kind = JSONFormatter::Kind;
using Tok = JSONFormatter::Tok;

// Tokenizing covers this share of a job's progress in the token pipeline.
constexpr double kTokenPhaseEnd = 0.45;

enum ByteClass : std::uint8_t {
    other,
    space,     // space, tab, carriage return
    lineFeed,
    single,    // { } [ ] : ,
    quote,
    number,    // - and digits
    word,      // t f n
    slash,
};

struct Tables {
    ByteClass cls[256];
    Kind singleKind[256];
    bool wordByte[256]; // letters, digits, _ and bytes from 0x80
    Tables() {
        for (int b = 0; b < 256; ++b) {
            cls[b] = other;
            singleKind[b] = Kind::comma;
            wordByte[b] = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') ||
                          (b >= '0' && b <= '9') || b == '_' || b >= 0x80;
        }
        cls[' '] = cls['\t'] = cls['\r'] = space;
        cls['\n'] = lineFeed;
        const std::pair<char, Kind> singles[] = {{'{', Kind::objOpen},  {'}', Kind::objClose},
                                                 {'[', Kind::arrOpen},  {']', Kind::arrClose},
                                                 {':', Kind::colon},    {',', Kind::comma}};
        for (auto [c, kind] : singles) {
            cls[static_cast<unsigned char>(c)] = single;
            singleKind[static_cast<unsigned char>(c)] = kind;
        }
        cls['"'] = quote;
        cls['-'] = number;
        for (int d = '0'; d <= '9'; ++d)
            cls[d] = number;
        cls['t'] = cls['f'] = cls['n'] = word;
        cls['/'] = slash;
    }
};

const Tables& tables() {
    static const Tables instance;
    return instance;
}

bool isDigit(unsigned char b) {
    return b >= '0' && b <= '9';
}

bool isHex(unsigned char b) {
    return isDigit(b) || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F');
}

FormatError outOfMemory() {
    return FormatError::unpositioned(u"Girdi çok büyük");
}

// The character that starts at `at` as shown in the unexpected-character message.
std::u16string shownCharacter(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x20) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\u%04X", lead);
        return FormatText::fromUTF8(buffer);
    }
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return FormatText::fromUTF8(bytes.substr(at, length));
}

// Hands the tokens of the bytes, in order, to a sink (see JSONScan.h).
template <class Sink>
class Tokenizer {
public:
    Tokenizer(std::string_view bytes, Sink& sink, double phaseEnd)
        : m_bytes(bytes), m_p(reinterpret_cast<const unsigned char*>(bytes.data())),
          m_n(bytes.size()), m_sink(sink), m_phaseEnd(phaseEnd) {}

    /// None when every token was taken; else the first failure.
    std::optional<FormatError> run();

private:
    FormatError failAt(std::size_t at, std::u16string message) const {
        return FormatError::at(m_bytes, static_cast<std::int64_t>(at), std::move(message));
    }
    // A checkpoint once per 64 KiB window of the input; false when cancelled.
    bool checkpoint(std::size_t at) {
        if (at < m_nextCheck)
            return true;
        m_nextCheck = (at | 0xFFFF) + 1;
        return FormatProgress::checkpoint(static_cast<std::int64_t>(at),
                                          static_cast<std::int64_t>(m_n), 0.0, m_phaseEnd);
    }
    // False when the sink refuses the token.
    [[gnu::always_inline]] bool push(std::size_t start, std::size_t end, Kind kind) {
        const bool newline = m_newline;
        m_newline = false;
        return m_sink.push(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end),
                           kind, newline);
    }
    // Scans a string from its opening quote; returns the offset after the closing quote, or
    // sets m_error.
    std::size_t scanString(std::size_t open);
    std::size_t scanNumber(std::size_t start);
    std::size_t scanWord(std::size_t start);
    std::size_t scanComment(std::size_t start, Kind& kind);

    std::string_view m_bytes;
    const unsigned char* m_p;
    std::size_t m_n;
    std::size_t m_nextCheck = 0;
    Sink& m_sink;
    double m_phaseEnd;
    bool m_newline = false;
    std::optional<FormatError> m_error;
};

template <class Sink>
std::size_t Tokenizer<Sink>::scanString(std::size_t open) {
    std::size_t j = open + 1;
    for (;;) {
#if defined(__SSE2__)
        // Skip sixteen plain bytes at a time: anything but a quote, a backslash or a control byte.
        const __m128i quoteV = _mm_set1_epi8('"');
        const __m128i slashV = _mm_set1_epi8('\\');
        const __m128i controlMax = _mm_set1_epi8(0x1F);
        while (j + 16 <= m_n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_p + j));
            const __m128i hit = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(v, quoteV), _mm_cmpeq_epi8(v, slashV)),
                _mm_cmpeq_epi8(_mm_max_epu8(v, controlMax), controlMax));
            const int mask = _mm_movemask_epi8(hit);
            if (mask != 0) {
                j += static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
                break;
            }
            j += 16;
            if (j >= m_nextCheck && !checkpoint(j)) {
                m_error = FormatProgress::cancelledError();
                return 0;
            }
        }
#endif
        while (j < m_n && m_p[j] != '"' && m_p[j] != '\\' && m_p[j] >= 0x20)
            ++j;
        if (j >= m_n) {
            m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(open), u"Kapanmamış dize");
            return 0;
        }
        const unsigned char b = m_p[j];
        if (b == '"')
            return j + 1;
        if (b == '\\') {
            if (j + 1 >= m_n) {
                m_error =
                    FormatError::at(m_bytes, static_cast<std::int64_t>(open), u"Kapanmamış dize");
                return 0;
            }
            const unsigned char e = m_p[j + 1];
            if (e == '"' || e == '\\' || e == '/' || e == 'b' || e == 'f' || e == 'n' ||
                e == 'r' || e == 't') {
                j += 2;
            } else if (e == 'u') {
                if (j + 6 > m_n || !isHex(m_p[j + 2]) || !isHex(m_p[j + 3]) || !isHex(m_p[j + 4]) ||
                    !isHex(m_p[j + 5])) {
                    m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(j),
                                              u"Geçersiz \\u kaçışı");
                    return 0;
                }
                j += 6;
            } else {
                m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(j),
                                          u"Geçersiz kaçış dizisi");
                return 0;
            }
            continue;
        }
        m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(j),
                                  b == '\n' ? u"Kapanmamış dize (satır sonu)"
                                            : u"Dize içinde denetim karakteri");
        return 0;
    }
}

template <class Sink>
std::size_t Tokenizer<Sink>::scanNumber(std::size_t start) {
    std::size_t j = start;
    auto invalid = [&] {
        m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(start), u"Geçersiz sayı");
        return std::size_t{0};
    };
    // Digit runs can be as long as the input: keep answering cancellation.
    bool cancelled = false;
    auto skipDigits = [&] {
        while (j < m_n && isDigit(m_p[j])) {
            ++j;
            if (j >= m_nextCheck && !checkpoint(j)) {
                cancelled = true;
                return;
            }
        }
    };
    if (m_p[j] == '-')
        ++j;
    if (j < m_n && m_p[j] == '0') {
        ++j;
    } else if (j < m_n && m_p[j] >= '1' && m_p[j] <= '9') {
        skipDigits();
    } else {
        return invalid();
    }
    if (j < m_n && m_p[j] == '.') {
        ++j;
        if (j >= m_n || !isDigit(m_p[j]))
            return invalid();
        skipDigits();
    }
    if (j < m_n && (m_p[j] == 'e' || m_p[j] == 'E')) {
        ++j;
        if (j < m_n && (m_p[j] == '+' || m_p[j] == '-'))
            ++j;
        if (j >= m_n || !isDigit(m_p[j]))
            return invalid();
        skipDigits();
    }
    if (cancelled) {
        m_error = FormatProgress::cancelledError();
        return 0;
    }
    if (j < m_n && (tables().wordByte[m_p[j]] || m_p[j] == '.'))
        return invalid();
    return j;
}

template <class Sink>
std::size_t Tokenizer<Sink>::scanWord(std::size_t start) {
    std::size_t j = start;
    const auto& wordByte = tables().wordByte;
    while (j < m_n && wordByte[m_p[j]]) {
        ++j;
        // A run can be as long as the input: keep answering cancellation.
        if (j >= m_nextCheck && !checkpoint(j)) {
            m_error = FormatProgress::cancelledError();
            return 0;
        }
    }
    const std::string_view text = m_bytes.substr(start, j - start);
    if (text == "true" || text == "false" || text == "null")
        return j;
    m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(start), u"Geçersiz değer");
    return 0;
}

template <class Sink>
std::size_t Tokenizer<Sink>::scanComment(std::size_t start, Kind& kind) {
    const unsigned char next = start + 1 < m_n ? m_p[start + 1] : 0;
    if (next == '/') {
        const void* feed = std::memchr(m_p + start + 2, '\n', m_n - start - 2);
        const std::size_t lineEnd =
            feed ? static_cast<std::size_t>(static_cast<const unsigned char*>(feed) - m_p) : m_n;
        std::size_t end = lineEnd;
        while (end > start + 2 && (m_p[end - 1] == ' ' || m_p[end - 1] == '\t' || m_p[end - 1] == '\r'))
            --end;
        kind = Kind::lineComment;
        return end;
    }
    if (next == '*') {
        std::size_t j = start + 2;
        while (j < m_n) {
            const void* star = std::memchr(m_p + j, '*', m_n - j);
            if (!star)
                break;
            j = static_cast<std::size_t>(static_cast<const unsigned char*>(star) - m_p);
            if (j + 1 < m_n && m_p[j + 1] == '/') {
                kind = Kind::blockComment;
                return j + 2;
            }
            ++j;
        }
        m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(start), u"Kapanmamış yorum");
        return 0;
    }
    m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(start), u"Beklenmeyen karakter '/'");
    return 0;
}

template <class Sink>
std::optional<FormatError> Tokenizer<Sink>::run() {
    const Tables& t = tables();
    std::size_t i = 0;
    if (m_n >= 3 && m_p[0] == 0xEF && m_p[1] == 0xBB && m_p[2] == 0xBF)
        i = 3;
    while (i < m_n) {
        if (i >= m_nextCheck && !checkpoint(i))
            return FormatProgress::cancelledError();
        const unsigned char b = m_p[i];
        std::size_t end;
        switch (t.cls[b]) {
        case space:
            ++i;
            continue;
        case lineFeed:
            m_newline = true;
            ++i;
            continue;
        case single:
            if (!push(i, i + 1, t.singleKind[b]))
                return m_sink.failure();
            ++i;
            continue;
        case quote:
            end = scanString(i);
            if (m_error)
                return std::move(m_error);
            if (!push(i, end, Kind::string))
                return m_sink.failure();
            break;
        case number:
            end = scanNumber(i);
            if (m_error)
                return std::move(m_error);
            if (!push(i, end, Kind::scalar))
                return m_sink.failure();
            break;
        case word:
            end = scanWord(i);
            if (m_error)
                return std::move(m_error);
            if (!push(i, end, Kind::scalar))
                return m_sink.failure();
            break;
        case slash: {
            Kind kind = Kind::lineComment;
            end = scanComment(i, kind);
            if (m_error)
                return std::move(m_error);
            if (!push(i, end, kind))
                return m_sink.failure();
            break;
        }
        case other:
        default:
            return failAt(i, u"Beklenmeyen karakter '" + shownCharacter(m_bytes, i) + u"'");
        }
        i = end;
    }
    return std::nullopt;
}

// Collects the tokens into a token array, reserved for one token per six bytes.
struct TokenArraySink {
    JSONFormatter::TokenArray tokens;
    bool push(std::uint32_t start, std::uint32_t end, Kind kind, bool newlineBefore) {
        if (tokens.size() == tokens.capacity() &&
            !tokens.reserve(tokens.capacity() + tokens.capacity() / 2 + 16))
            return false;
        tokens.append(Tok{start, end, kind, newlineBefore});
        return true;
    }
    FormatError failure() const { return outOfMemory(); }
};

} // namespace

template <class Sink>
std::optional<FormatError> jsonScan::scan(std::string_view bytes, Sink& sink, double phaseEnd) {
    return Tokenizer<Sink>(bytes, sink, phaseEnd).run();
}

template std::optional<FormatError> jsonScan::scan(std::string_view, JSONStreamSink<true>&, double);
template std::optional<FormatError> jsonScan::scan(std::string_view, JSONStreamSink<false>&, double);

JSONFormatter::TokenArray::TokenArray(TokenArray&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {}

JSONFormatter::TokenArray& JSONFormatter::TokenArray::operator=(TokenArray&& other) noexcept {
    if (this != &other) {
        std::free(m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

JSONFormatter::TokenArray::~TokenArray() {
    std::free(m_data);
}

bool JSONFormatter::TokenArray::reserve(std::size_t capacity) {
    if (capacity <= m_capacity)
        return true;
    if (capacity > SIZE_MAX / sizeof(Tok))
        return false;
    // Tok is trivially copyable, so realloc may move (or remap) the storage.
    void* grown = std::realloc(m_data, capacity * sizeof(Tok));
    if (grown == nullptr)
        return false;
    m_data = static_cast<Tok*>(grown);
    m_capacity = capacity;
    return true;
}

std::expected<JSONFormatter::TokenArray, FormatError> JSONFormatter::tokenize(std::string_view bytes) {
    if (bytes.size() > maxInputBytes)
        return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
    TokenArraySink sink;
    if (!sink.tokens.reserve(bytes.size() / 6 + 16))
        return std::unexpected(outOfMemory());
    if (auto failure = Tokenizer<TokenArraySink>(bytes, sink, kTokenPhaseEnd).run())
        return std::unexpected(std::move(*failure));
    return std::move(sink.tokens);
}

} // namespace vendrix
