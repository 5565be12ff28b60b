// The markup tokenizer: one pass over the UTF-8 bytes producing a flat array of 20-byte tokens.

#include "core/formatting/MarkupFormatterDetail.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

namespace vendrix::markup {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isNameByte(unsigned char byte) {
    return isASCIILetter(byte) || (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
           byte == ':' || byte == '_' || byte >= 0x80;
}

bool startsStartTag(unsigned char byte) {
    return isASCIILetter(byte) || byte == ':' || byte == '_' || byte >= 0x80;
}

class Tokenizer {
public:
    Tokenizer(std::string_view input, Dialect dialect, std::vector<Tok>& tokens,
              ProgressToken* token)
        : m_s(input), m_n(input.size()), m_html(dialect == Dialect::html), m_tokens(tokens),
          m_progress(token, input.size(), 0.0, 0.4) {}

    std::optional<FormatFailure> run();

private:
    // Searches run in slices so that a cancellation is seen within a slice even inside one
    // huge token; a cancelled search reports no match and sets m_scanCancelled.
    static constexpr std::size_t kSlice = 1 << 20;
    bool sliceCancelled() {
        if (m_progress.isCancelled())
            m_scanCancelled = true;
        return m_scanCancelled;
    }
    std::size_t find(char byte, std::size_t from) {
        while (from < m_n) {
            const std::size_t length = std::min(kSlice, m_n - from);
            if (const void* hit = std::memchr(m_s.data() + from, byte, length))
                return static_cast<std::size_t>(static_cast<const char*>(hit) - m_s.data());
            from += length;
            if (from < m_n && sliceCancelled())
                return npos;
        }
        return npos;
    }
    std::size_t find(std::string_view needle, std::size_t from) {
        while (from < m_n) {
            // Slices overlap by the needle's length so that no match is split between them.
            const std::size_t length = std::min(kSlice + needle.size(), m_n - from);
            if (const void* hit = memmem(m_s.data() + from, length, needle.data(), needle.size()))
                return static_cast<std::size_t>(static_cast<const char*>(hit) - m_s.data());
            if (from + length >= m_n)
                break;
            from += kSlice;
            if (sliceCancelled())
                return npos;
        }
        return npos;
    }
    bool startsWith(std::size_t at, std::string_view prefix) const {
        return m_s.substr(at, prefix.size()) == prefix;
    }
    unsigned char at(std::size_t i) const { return static_cast<unsigned char>(m_s[i]); }

    void add(Kind kind, std::size_t start, std::size_t end, std::size_t nameStart = 0,
             std::size_t nameEnd = 0, bool selfClosing = false) {
        // Growth kept out of the hot path: most documents have more than one token per 16
        // bytes, so the initial reservation is usually outgrown.
        if (m_tokens.size() == m_tokens.capacity()) [[unlikely]]
            m_tokens.reserve(2 * m_tokens.capacity() + 16);
        m_tokens.push_back(Tok{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end),
                               static_cast<std::uint32_t>(nameStart),
                               static_cast<std::uint32_t>(nameEnd), kind, selfClosing});
    }
    void addText(std::size_t start, std::size_t end) {
        if (!m_tokens.empty() && m_tokens.back().kind == Kind::text)
            m_tokens.back().end = static_cast<std::uint32_t>(end);
        else
            add(Kind::text, start, end);
    }
    static FormatFailure fail(const char16_t* message, std::size_t at) {
        return FormatFailure{message, at};
    }
    FormatFailure cancelled() const { return FormatFailure::cancelled(); }

    std::size_t nameEnd(std::size_t from) const {
        while (from < m_n && isNameByte(at(from)))
            ++from;
        return from;
    }

    // Each returns the position to continue at, or a failure.
    std::optional<FormatFailure> comment(std::size_t pos, std::size_t& next);
    std::optional<FormatFailure> processingInstruction(std::size_t pos, std::size_t& next);
    std::optional<FormatFailure> declaration(std::size_t pos, std::size_t& next);
    std::optional<FormatFailure> endTag(std::size_t pos, std::size_t& next);
    std::optional<FormatFailure> startTag(std::size_t pos, std::size_t& next);
    std::size_t xmlTagEnd(std::size_t from, bool& wasCancelled);
    std::size_t htmlTagEnd(std::size_t from);
    std::size_t rawTextEnd(std::size_t from, std::string_view name);

    std::string_view m_s;
    std::size_t m_n;
    bool m_html;
    std::vector<Tok>& m_tokens;
    PhaseProgress m_progress;

    // An HTML "<?" without "?>" ends at the first ">"; once a search for "?>" has failed, none
    // exists after that point, so later searches from there on are skipped.
    std::size_t m_noPIEndFrom = npos;
    bool m_scanCancelled = false;
};

std::optional<FormatFailure> Tokenizer::run() {
    std::size_t pos = 0;
    if (m_n >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF)
        pos = 3;
    m_tokens.reserve(m_n / 16 + 16);
    while (pos < m_n) {
        if (!m_progress.at(pos))
            return cancelled();
        if (m_s[pos] != '<') {
            std::size_t end = find('<', pos + 1);
            if (end == npos)
                end = m_n;
            addText(pos, end);
            pos = end;
            continue;
        }
        const unsigned char next = pos + 1 < m_n ? at(pos + 1) : 0;
        std::size_t after = pos;
        std::optional<FormatFailure> failure;
        if (next == '!' && startsWith(pos, "<!--")) {
            failure = comment(pos, after);
        } else if (next == '!' && startsWith(pos, "<![CDATA[")) {
            const std::size_t close = find("]]>", pos + 9);
            if (close == npos) {
                failure = fail(u"Kapanmamış CDATA", pos);
            } else {
                add(Kind::cdata, pos, close + 3);
                after = close + 3;
            }
        } else if (next == '?') {
            failure = processingInstruction(pos, after);
        } else if (next == '!') {
            failure = declaration(pos, after);
        } else if (next == '/') {
            failure = endTag(pos, after);
        } else if (pos + 1 < m_n && startsStartTag(next)) {
            failure = startTag(pos, after);
        } else {
            if (!m_html)
                return fail(u"Geçersiz '<' (metinde &lt; kullanın)", pos);
            addText(pos, pos + 1);
            after = pos + 1;
        }
        if (m_scanCancelled)
            return cancelled();
        if (failure)
            return failure;
        pos = after;
    }
    if (m_scanCancelled || !m_progress.finish())
        return cancelled();
    return std::nullopt;
}

std::optional<FormatFailure> Tokenizer::comment(std::size_t pos, std::size_t& next) {
    const std::size_t close = find("-->", pos + 4);
    if (close == npos) {
        if (!m_html)
            return fail(u"Kapanmamış yorum", pos);
        add(Kind::comment, pos, m_n);
        next = m_n;
        return std::nullopt;
    }
    add(Kind::comment, pos, close + 3);
    next = close + 3;
    return std::nullopt;
}

std::optional<FormatFailure> Tokenizer::processingInstruction(std::size_t pos, std::size_t& next) {
    std::size_t end = npos;
    if (m_noPIEndFrom == npos || pos + 2 < m_noPIEndFrom) {
        const std::size_t close = find("?>", pos + 2);
        if (close != npos)
            end = close + 2;
        else
            m_noPIEndFrom = pos + 2;
    }
    if (end == npos) {
        const std::size_t gt = m_html ? find('>', pos + 2) : npos;
        if (gt == npos)
            return fail(u"Kapanmamış işleme talimatı", pos);
        end = gt + 1;
    }
    add(Kind::pi, pos, end);
    next = end;
    return std::nullopt;
}

std::optional<FormatFailure> Tokenizer::declaration(std::size_t pos, std::size_t& next) {
    unsigned char quote = 0;
    std::size_t depth = 0;
    for (std::size_t i = pos + 2; i < m_n; ++i) {
        if (!m_progress.within(i))
            return cancelled();
        const unsigned char byte = at(i);
        if (quote != 0) {
            if (byte == quote)
                quote = 0;
        } else if (byte == '"' || byte == '\'') {
            quote = byte;
        } else if (byte == '[') {
            ++depth;
        } else if (byte == ']') {
            if (depth > 0)
                --depth;
        } else if (byte == '>' && depth == 0) {
            add(Kind::declaration, pos, i + 1);
            next = i + 1;
            return std::nullopt;
        }
    }
    return fail(u"Kapanmamış bildirim", pos);
}

std::optional<FormatFailure> Tokenizer::endTag(std::size_t pos, std::size_t& next) {
    const std::size_t nameStart = pos + 2;
    const std::size_t nameStop = nameEnd(nameStart);
    std::size_t i = nameStop;
    while (i < m_n && isBlank(at(i)))
        ++i;
    if (i < m_n && m_s[i] == '>' && nameStop > nameStart) {
        add(Kind::endTag, pos, i + 1, nameStart, nameStop);
        next = i + 1;
        return std::nullopt;
    }
    if (!m_html)
        return fail(u"Geçersiz kapanış etiketi", pos);
    addText(pos, pos + 1);
    next = pos + 1;
    return std::nullopt;
}

// The ">" that ends an XML start tag: the first one outside quotes. A "<" inside is accepted.
std::size_t Tokenizer::xmlTagEnd(std::size_t from, bool& wasCancelled) {
    unsigned char quote = 0;
    for (std::size_t i = from; i < m_n; ++i) {
        if (!m_progress.within(i)) {
            wasCancelled = true;
            return npos;
        }
        const unsigned char byte = at(i);
        if (quote != 0) {
            if (byte == quote)
                quote = 0;
        } else if (byte == '"' || byte == '\'') {
            quote = byte;
        } else if (byte == '>') {
            return i;
        }
    }
    return npos;
}

// The ">" that ends an HTML start tag, or npos when a "<" outside quotes or the end of the
// input comes first. A failed tag gives its "<" back as text and scanning resumes one byte later,
// so later tags rescan bytes this scan has seen; that stays linear because two scans that are
// alive at the same byte are always in different quoting states (outside, in '...', in "..."),
// so no byte is scanned more than three times.
std::size_t Tokenizer::htmlTagEnd(std::size_t from) {
    std::size_t i = from;
    for (;;) {
        while (i < m_n) {
            if (!m_progress.within(i)) {
                m_scanCancelled = true;
                return npos;
            }
            const unsigned char byte = at(i);
            if (byte == '>')
                return i;
            if (byte == '<' || byte == '"' || byte == '\'')
                break;
            ++i;
        }
        if (i >= m_n || m_s[i] == '<')
            return npos;
        const std::size_t close = find(m_s[i], i + 1);
        if (close == npos)
            return npos;
        i = close + 1;
    }
}

std::optional<FormatFailure> Tokenizer::startTag(std::size_t pos, std::size_t& next) {
    const std::size_t nameStart = pos + 1;
    const std::size_t nameStop = nameEnd(nameStart);
    std::size_t gt;
    if (m_html) {
        gt = htmlTagEnd(nameStop);
        if (gt == npos) {
            if (m_scanCancelled)
                return cancelled();
            addText(pos, pos + 1);
            next = pos + 1;
            return std::nullopt;
        }
    } else {
        bool wasCancelled = false;
        gt = xmlTagEnd(nameStop, wasCancelled);
        if (wasCancelled)
            return cancelled();
        if (gt == npos)
            return fail(u"Kapanmamış etiket", pos);
    }
    std::size_t last = gt;
    while (last > nameStop && isBlank(at(last - 1)))
        --last;
    const bool selfClosing = last > nameStop && m_s[last - 1] == '/';
    add(Kind::startTag, pos, gt + 1, nameStart, nameStop, selfClosing);
    next = gt + 1;

    if (!m_html || selfClosing || nameStop - nameStart > 8)
        return std::nullopt;
    char lower[8];
    for (std::size_t i = nameStart; i < nameStop; ++i)
        lower[i - nameStart] = static_cast<char>(lowerASCII(at(i)));
    const std::string_view name(lower, nameStop - nameStart);
    if (!isRawTextElement(name))
        return std::nullopt;
    const std::size_t end = rawTextEnd(next, name);
    if (end > next)
        add(Kind::rawText, next, end);
    next = end;
    return std::nullopt;
}

// The first "</" followed by `name` (ASCII case-insensitive) at or after `from`, or the end.
std::size_t Tokenizer::rawTextEnd(std::size_t from, std::string_view name) {
    for (std::size_t i = find('<', from); i != npos; i = find('<', i + 1)) {
        if (i + 2 + name.size() <= m_n && m_s[i + 1] == '/' &&
            equalsIgnoringCase(m_s.substr(i + 2, name.size()), name))
            return i;
    }
    return m_n;
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerASCII(static_cast<unsigned char>(a[i])) !=
            lowerASCII(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

namespace {

using NameSet = std::unordered_set<std::string_view>;

const NameSet& voidElements() {
    static const NameSet set{"area",   "base", "br",   "col",   "embed",  "hr",    "img", "input",
                             "keygen", "link", "meta", "param", "source", "track", "wbr"};
    return set;
}
const NameSet& rawTextElements() {
    static const NameSet set{"script", "style", "textarea"};
    return set;
}
const NameSet& preformattedElements() {
    static const NameSet set{"pre", "textarea", "script", "style"};
    return set;
}
const NameSet& paragraphEnders() {
    static const NameSet set{"address", "article",  "aside",  "blockquote", "details", "div",
                             "dl",      "fieldset", "figure", "footer",     "form",    "h1",
                             "h2",      "h3",       "h4",     "h5",         "h6",      "header",
                             "hr",      "main",     "nav",    "ol",         "p",       "pre",
                             "section", "table",    "ul"};
    return set;
}

} // namespace

bool isVoidElement(std::string_view lowerName) {
    return voidElements().contains(lowerName);
}
bool isRawTextElement(std::string_view lowerName) {
    return rawTextElements().contains(lowerName);
}
bool isPreformattedElement(std::string_view lowerName) {
    return preformattedElements().contains(lowerName);
}
bool endsOpenParagraph(std::string_view lowerName) {
    return paragraphEnders().contains(lowerName);
}

std::optional<FormatFailure> tokenize(std::string_view input, Dialect dialect,
                                      std::vector<Tok>& tokens, ProgressToken* token) {
    return Tokenizer(input, dialect, tokens, token).run();
}

} // namespace vendrix::markup
