// The JSON tokenizer: one pass over the UTF-8 bytes into 12-byte token records.
#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/JSONScan.h"
#include "core/formatting/JSONStreamSink.h"
#include "core/formatting/JSONUnits.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace vendrix {

namespace {

using Kind = JSONFormatter::Kind;

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
    constexpr Tables() : cls(), singleKind(), wordByte() {
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

constexpr Tables kTables;

constexpr const Tables& tables() {
    return kTables;
}

// Code units are compared as unsigned values: UTF-16 units must not be cut to a byte.
constexpr bool isDigit(unsigned u) {
    return u - '0' <= 9u;
}

constexpr bool isHex(unsigned u) {
    return isDigit(u) || ((u | 0x20) - 'a' <= 5u);
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

// The same for UTF-16: a surrogate pair is one character, an unpaired surrogate shows as
// U+FFFD (what it becomes in UTF-8).
std::u16string shownCharacter(std::u16string_view text, std::size_t at) {
    using Units = JSONUnits<char16_t>;
    const char16_t unit = text[at];
    if (unit < 0x20) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
        return FormatText::fromUTF8(buffer);
    }
    if (Units::isHighSurrogate(unit) && at + 1 < text.size() && Units::isLowSurrogate(text[at + 1]))
        return std::u16string(text.substr(at, 2));
    if ((unit & 0xF800) == 0xD800)
        return u"\uFFFD";
    return std::u16string(1, unit);
}

// Hands the tokens of the code units, in order, to a sink (see JSONScan.h). UTF-16 units are
// told apart from UTF-8 bytes only in string bodies and comments, where an unpaired surrogate
// is reported to the sink (`loneSurrogate()`): it stands for U+FFFD.
template <class CharT, class Sink>
class Tokenizer {
public:
    using Units = JSONUnits<CharT>;
    using Unit = typename Units::Unit;

    Tokenizer(std::basic_string_view<CharT> bytes, Sink& sink, double phaseEnd,
              ProgressToken* token)
        : m_bytes(bytes), m_p(reinterpret_cast<const Unit*>(bytes.data())),
          m_n(bytes.size()), m_sink(sink), m_phaseEnd(phaseEnd), m_token(token) {}

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
        return FormatProgress::checkpoint(m_token, static_cast<std::int64_t>(at),
                                          static_cast<std::int64_t>(m_n), 0.0, m_phaseEnd);
    }
    // False when the sink refuses the token.
    [[gnu::always_inline]] bool push(std::size_t start, std::size_t end, Kind kind) {
        const bool newline = m_newline;
        m_newline = false;
        return m_sink.push(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end),
                           kind, newline);
    }
    // True when the sink knows the input to be valid JSON: numbers and literals are then
    // only skipped.
    bool checked() const {
        if constexpr (requires { m_sink.checked(); })
            return m_sink.checked();
        else
            return false;
    }
    // The end of the number at `i` in input known to be valid (a number is followed by white
    // space, punctuation or a comment there).
    std::size_t skipNumber(std::size_t i) const {
        while (i < m_n && (isDigit(m_p[i]) || m_p[i] == '.' || m_p[i] == 'e' || m_p[i] == 'E' ||
                           m_p[i] == '+' || m_p[i] == '-'))
            ++i;
        return i;
    }
    // The end of the run of spaces, tabs and carriage returns from `i` (indentation mostly).
    [[gnu::always_inline]] std::size_t skipBlanks(std::size_t i) const {
#if defined(__SSE2__)
        while (i + Units::kBlock <= m_n && i < m_nextCheck) {
            const unsigned mask = Units::nonBlank(m_p + i);
            if (mask != 0)
                return i + Units::firstIndex(mask);
            i += Units::kBlock;
        }
#endif
        // Up to the next checkpoint at most: the main loop answers cancellation there.
        const std::size_t stop = std::min(m_n, m_nextCheck);
        while (i < stop && (m_p[i] == ' ' || m_p[i] == '\t' || m_p[i] == '\r'))
            ++i;
        return i;
    }
    // Scans the string at `i` and hands it over, moving `i` past it; false with m_error set
    // on a failure.
    [[gnu::always_inline]] bool takeString(std::size_t& i) {
        const std::size_t end = scanString(i);
        if (end == 0) [[unlikely]]
            return false;
        if (!push(i, end, Kind::string)) [[unlikely]] {
            m_error = m_sink.failure();
            return false;
        }
        i = end;
        return true;
    }
    // Takes the comma or colon that mostly follows a value right after it, where its branch
    // predicts far better than in the dispatch on the next unit; false with m_error set when
    // the sink refuses it.
    [[gnu::always_inline]] bool takePunctuation(std::size_t& i) {
        if (i < m_n && (m_p[i] == ',' || m_p[i] == ':')) {
            if (!push(i, i + 1, m_p[i] == ',' ? Kind::comma : Kind::colon)) [[unlikely]] {
                m_error = m_sink.failure();
                return false;
            }
            ++i;
        }
        return true;
    }
    // Scans a string from its opening quote; returns the offset after the closing quote, or
    // sets m_error.
    // The common string, one block with its closing quote and nothing special before it, is
    // taken here; anything else goes on in scanStringRest.
    [[gnu::always_inline]] std::size_t scanString(std::size_t open) {
        std::size_t j = open + 1;
#if defined(__SSE2__)
        if (j + Units::kBlock <= m_n) [[likely]] {
            unsigned quotes = 0;
            const unsigned mask = Units::special(m_p + j, quotes);
            if (mask == 0)
                return scanStringRest(open, j + Units::kBlock);
            // The first special unit is the closing quote when its bit is a quote's.
            if (mask & (0u - mask) & quotes) [[likely]]
                return j + Units::firstIndex(mask) + 1;
            j += Units::firstIndex(mask);
        }
#endif
        return scanStringRest(open, j);
    }
    [[gnu::noinline]] std::size_t scanStringRest(std::size_t open, std::size_t j);
    std::size_t scanNumber(std::size_t start);
    // The end of the run of digits from `j`; sets m_cancelled when cancelled meanwhile.
    std::size_t skipDigits(std::size_t j);
    std::size_t scanWord(std::size_t start);
    std::size_t scanComment(std::size_t start, Kind& kind);

    static ByteClass classOf(Unit u) {
        if constexpr (Units::kWide)
            return u < 0x80 ? tables().cls[u] : other;
        else
            return tables().cls[u];
    }
    static bool isWordUnit(Unit u) {
        if constexpr (Units::kWide)
            return u >= 0x80 || tables().wordByte[u];
        else
            return tables().wordByte[u];
    }
    // Reports an unpaired surrogate in a comment to the sink.
    void checkComment(std::size_t start, std::size_t end) {
        if constexpr (Units::kWide) {
            if (Units::hasLoneSurrogate(m_bytes.substr(start, end - start)))
                m_sink.loneSurrogate();
        }
    }

    std::basic_string_view<CharT> m_bytes;
    const Unit* m_p;
    std::size_t m_n;
    std::size_t m_nextCheck = 0;
    Sink& m_sink;
    double m_phaseEnd;
    ProgressToken* m_token;
    bool m_newline = false;
    bool m_cancelled = false;
    std::optional<FormatError> m_error;
};

template <class CharT, class Sink>
std::size_t Tokenizer<CharT, Sink>::scanStringRest(std::size_t open, std::size_t j) {
    for (;;) {
#if defined(__SSE2__)
        // Skip a block of plain units at a time: anything but a quote, a backslash, a control
        // unit (or, in UTF-16, a surrogate).
        while (j + Units::kBlock <= m_n) {
            const unsigned mask = Units::special(m_p + j);
            if (mask != 0) {
                j += Units::firstIndex(mask);
                break;
            }
            j += Units::kBlock;
            if (j >= m_nextCheck && !checkpoint(j)) {
                m_error = FormatProgress::cancelledError();
                return 0;
            }
        }
#endif
        while (j < m_n && !Units::isSpecial(m_p[j]))
            ++j;
        if (j >= m_n) {
            m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(open), u"Kapanmamış dize");
            return 0;
        }
        const Unit b = m_p[j];
        if (b == '"')
            return j + 1;
        if constexpr (Units::kWide) {
            if ((b & 0xF800) == 0xD800) {
                if (Units::isHighSurrogate(b) && j + 1 < m_n && Units::isLowSurrogate(m_p[j + 1])) {
                    j += 2;
                } else {
                    m_sink.loneSurrogate();
                    ++j;
                }
                continue;
            }
        }
        if (b == '\\') {
            if (j + 1 >= m_n) {
                m_error =
                    FormatError::at(m_bytes, static_cast<std::int64_t>(open), u"Kapanmamış dize");
                return 0;
            }
            const Unit e = m_p[j + 1];
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

template <class CharT, class Sink>
inline std::size_t Tokenizer<CharT, Sink>::skipDigits(std::size_t j) {
    // Digit runs can be as long as the input: answer cancellation once per 64 KiB of them.
    for (;;) {
        const std::size_t stop = std::min(m_n, j + 65536);
        while (j < stop && isDigit(m_p[j]))
            ++j;
        if (j < stop || j == m_n)
            return j;
        if (j >= m_nextCheck && !checkpoint(j)) {
            m_cancelled = true;
            return j;
        }
    }
}

template <class CharT, class Sink>
std::size_t Tokenizer<CharT, Sink>::scanNumber(std::size_t start) {
    std::size_t j = start;
    auto invalid = [&] {
        m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(start), u"Geçersiz sayı");
        return std::size_t{0};
    };
    if (m_p[j] == '-')
        ++j;
    if (j < m_n && m_p[j] == '0') {
        ++j;
    } else if (j < m_n && m_p[j] >= '1' && m_p[j] <= '9') {
        j = skipDigits(j + 1);
    } else {
        return invalid();
    }
    if (j < m_n && m_p[j] == '.') {
        ++j;
        if (j >= m_n || !isDigit(m_p[j]))
            return invalid();
        j = skipDigits(j + 1);
    }
    if (j < m_n && (m_p[j] == 'e' || m_p[j] == 'E')) {
        ++j;
        if (j < m_n && (m_p[j] == '+' || m_p[j] == '-'))
            ++j;
        if (j >= m_n || !isDigit(m_p[j]))
            return invalid();
        j = skipDigits(j + 1);
    }
    if (m_cancelled) [[unlikely]] {
        m_error = FormatProgress::cancelledError();
        return 0;
    }
    if (j < m_n && (isWordUnit(m_p[j]) || m_p[j] == '.'))
        return invalid();
    return j;
}

template <class CharT, class Sink>
std::size_t Tokenizer<CharT, Sink>::scanWord(std::size_t start) {
    std::size_t j = start;
    while (j < m_n && isWordUnit(m_p[j])) {
        ++j;
        // A run can be as long as the input: keep answering cancellation.
        if (j >= m_nextCheck && !checkpoint(j)) {
            m_error = FormatProgress::cancelledError();
            return 0;
        }
    }
    const auto text = m_bytes.substr(start, j - start);
    auto is = [&](std::string_view word) {
        return text.size() == word.size() && std::equal(word.begin(), word.end(), text.begin());
    };
    if (is("true") || is("false") || is("null"))
        return j;
    m_error = FormatError::at(m_bytes, static_cast<std::int64_t>(start), u"Geçersiz değer");
    return 0;
}

template <class CharT, class Sink>
std::size_t Tokenizer<CharT, Sink>::scanComment(std::size_t start, Kind& kind) {
    const Unit next = start + 1 < m_n ? m_p[start + 1] : 0;
    if (next == '/') {
        const auto feed = m_bytes.find(CharT('\n'), start + 2);
        const std::size_t lineEnd = feed == m_bytes.npos ? m_n : feed;
        std::size_t end = lineEnd;
        while (end > start + 2 && (m_p[end - 1] == ' ' || m_p[end - 1] == '\t' || m_p[end - 1] == '\r'))
            --end;
        kind = Kind::lineComment;
        checkComment(start, end);
        return end;
    }
    if (next == '*') {
        std::size_t j = start + 2;
        while (j < m_n) {
            const auto star = m_bytes.find(CharT('*'), j);
            if (star == m_bytes.npos)
                break;
            j = star;
            if (j + 1 < m_n && m_p[j + 1] == '/') {
                kind = Kind::blockComment;
                checkComment(start, j + 2);
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

template <class CharT, class Sink>
std::optional<FormatError> Tokenizer<CharT, Sink>::run() {
    const Tables& t = tables();
    std::size_t i = 0;
    if constexpr (Units::kWide) {
        if (m_n >= 1 && m_p[0] == 0xFEFF)
            i = 1;
    } else if (m_n >= 3 && m_p[0] == 0xEF && m_p[1] == 0xBB && m_p[2] == 0xBF) {
        i = 3;
    }
    while (i < m_n) {
        if (i >= m_nextCheck && !checkpoint(i))
            return FormatProgress::cancelledError();
        const Unit b = m_p[i];
        std::size_t end;
        switch (classOf(b)) {
        case lineFeed:
            m_newline = true;
            [[fallthrough]];
        case space:
            i = skipBlanks(i + 1);
            continue;
        case single: {
            const Kind kind = t.singleKind[b];
            if (!push(i, i + 1, kind))
                return m_sink.failure();
            ++i;
            if (kind == Kind::objClose || kind == Kind::arrClose) {
                if (!takePunctuation(i))
                    return std::move(m_error);
            } else if (i < m_n && m_p[i] == '"') {
                goto strings; // a key after '{' or ',', a string value after ':' or '['
            }
            continue;
        }
        case quote:
        strings:
            // Members and lists of strings: a string, its colon or comma, the next string...
            do {
                if (!takeString(i) || !takePunctuation(i))
                    return std::move(m_error);
            } while (i < m_nextCheck && i < m_n && m_p[i] == '"');
            if (i < m_nextCheck && i < m_n && (isDigit(m_p[i]) || m_p[i] == '-'))
                goto numbers; // a member's number
            continue;
        case number:
        numbers:
            end = checked() ? skipNumber(i) : scanNumber(i);
            if (end == 0) [[unlikely]]
                return std::move(m_error);
            if (!push(i, end, Kind::scalar))
                return m_sink.failure();
            i = end;
            if (!takePunctuation(i))
                return std::move(m_error);
            if (i < m_nextCheck && i < m_n && m_p[i] == '"')
                goto strings; // the next member's key
            continue;
        case word:
            end = checked() ? i + (m_p[i] == 'f' ? 5 : 4) : scanWord(i);
            if (end == 0) [[unlikely]]
                return std::move(m_error);
            if (!push(i, end, Kind::scalar))
                return m_sink.failure();
            i = end;
            if (!takePunctuation(i))
                return std::move(m_error);
            if (i < m_nextCheck && i < m_n && m_p[i] == '"')
                goto strings;
            continue;
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


} // namespace

template <class CharT, class Sink>
std::optional<FormatError> jsonScan::scan(std::basic_string_view<CharT> units, Sink& sink,
                                          double phaseEnd, ProgressToken* token) {
    return Tokenizer<CharT, Sink>(units, sink, phaseEnd, token).run();
}

template std::optional<FormatError> jsonScan::scan(std::string_view, JSONStreamSink<char, true>&,
                                                   double, ProgressToken*);
template std::optional<FormatError> jsonScan::scan(std::string_view, JSONStreamSink<char, false>&,
                                                   double, ProgressToken*);
template std::optional<FormatError> jsonScan::scan(std::u16string_view,
                                                   JSONStreamSink<char16_t, true>&, double, ProgressToken*);
template std::optional<FormatError> jsonScan::scan(std::u16string_view,
                                                   JSONStreamSink<char16_t, false>&, double, ProgressToken*);
template std::optional<FormatError> jsonScan::scan(std::u16string_view, jsonScan::CheckSink&,
                                                   double, ProgressToken*);
template std::optional<FormatError> jsonScan::scan(std::string_view, jsonScan::GrammarSink&,
                                                   double, ProgressToken*);
template std::optional<FormatError> jsonScan::scan(std::string_view, jsonScan::RunSink&, double, ProgressToken*);
template std::optional<FormatError> jsonScan::scan(std::string_view, jsonScan::TokenArraySink&,
                                                   double, ProgressToken*);

} // namespace vendrix
