#include "core/formatting/MarkupFormatter.h"

#include "core/formatting/FormatText.h"
#include "core/formatting/MarkupFormatterDetail.h"

#include <algorithm>
#include <unordered_map>

namespace vendrix {

namespace markup {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::uint64_t kMaxInputBytes = 4294967294ull;
constexpr std::uint64_t kMinOutputLimit = 67108864;

constexpr std::uint8_t kKeepsContent = 1;
constexpr std::uint8_t kLeaf = 2;
constexpr std::uint8_t kStray = 4;

/// The structure pass's results, one entry per token.
struct Structure {
    std::vector<std::uint32_t> match; // start tag -> its explicit end tag, or kNone
    std::vector<std::uint32_t> close; // start tag -> token at which it ends (count = end of input)
    std::vector<std::uint8_t> flags;  // kKeepsContent, kLeaf, kStray
};

/// One element on the structure pass's stack.
struct Open {
    std::uint32_t index;
    bool hasText = false;
    bool hasElement = false;
};

std::string_view nameOf(std::string_view input, const Tok& tok) {
    return input.substr(tok.nameStart, tok.nameEnd - tok.nameStart);
}

/// The lower-cased tag name, for the HTML name sets and for counting open elements by name.
void lowerName(std::string_view name, std::string& out) {
    out.resize(name.size());
    for (std::size_t i = 0; i < name.size(); ++i)
        out[i] = static_cast<char>(lowerASCII(static_cast<unsigned char>(name[i])));
}

/// Whether an open HTML element is ended by a new start tag without an end tag of its own.
bool impliesEnd(std::string_view open, std::string_view incoming) {
    if (open == "li")
        return incoming == "li";
    if (open == "dt" || open == "dd")
        return incoming == "dt" || incoming == "dd";
    if (open == "td" || open == "th")
        return incoming == "td" || incoming == "th" || incoming == "tr";
    if (open == "tr")
        return incoming == "tr";
    if (open == "option")
        return incoming == "option" || incoming == "optgroup";
    if (open == "p")
        return endsOpenParagraph(incoming);
    return false;
}

class StructurePass {
public:
    StructurePass(std::string_view input, Dialect dialect, const std::vector<Tok>& tokens,
                  Structure& result, ProgressToken* token)
        : m_input(input), m_html(dialect == Dialect::html), m_tokens(tokens), m_result(result),
          m_progress(token, tokens.size(), 0.4, 0.6) {}

    std::optional<FormatFailure> run();

private:
    /// Pops the top element, which ends at token `at`, with `at` as its end tag or without one.
    void pop(std::uint32_t at, bool explicitEnd) {
        const Open top = m_stack.back();
        m_stack.pop_back();
        m_result.close[top.index] = at;
        if (explicitEnd)
            m_result.match[top.index] = at;
        if (top.hasText)
            m_result.flags[top.index] |= kKeepsContent;
        if (m_html) {
            lowerName(nameOf(m_input, m_tokens[top.index]), m_popName);
            auto counted = m_openByName.find(m_popName);
            if (counted != m_openByName.end() && --counted->second == 0)
                m_openByName.erase(counted);
        }
    }
    void push(std::uint32_t index) {
        m_stack.push_back(Open{index});
        if (m_html)
            ++m_openByName[m_name];
    }
    std::optional<FormatFailure> startTag(std::uint32_t i);
    std::optional<FormatFailure> endTag(std::uint32_t i);

    std::string_view m_input;
    bool m_html;
    const std::vector<Tok>& m_tokens;
    Structure& m_result;
    PhaseProgress m_progress;
    std::vector<Open> m_stack;
    // HTML: how many elements of each lower-cased name are open, so that an end tag that
    // closes nothing is recognised without walking the whole stack.
    std::unordered_map<std::string, std::uint32_t> m_openByName;
    std::string m_name;
    std::string m_topName;
    std::string m_popName;
};

std::optional<FormatFailure> StructurePass::run() {
    const auto count = static_cast<std::uint32_t>(m_tokens.size());
    m_result.match.assign(count, kNone);
    m_result.close.assign(count, kNone);
    m_result.flags.assign(count, 0);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!m_progress.at(i))
            return FormatFailure::cancelled();
        const Tok& tok = m_tokens[i];
        switch (tok.kind) {
        case Kind::startTag:
            if (auto failure = startTag(i))
                return failure;
            break;
        case Kind::endTag:
            if (auto failure = endTag(i))
                return failure;
            break;
        case Kind::text:
            if (m_stack.empty() || m_stack.back().hasText)
                break;
            for (std::uint64_t j = tok.start; j < tok.end; ++j) {
                if (!m_progress.within(j))
                    return FormatFailure::cancelled();
                if (!isBlank(static_cast<unsigned char>(m_input[j]))) {
                    m_stack.back().hasText = true;
                    break;
                }
            }
            break;
        case Kind::cdata:
        case Kind::rawText:
            if (!m_stack.empty())
                m_stack.back().hasText = true;
            break;
        case Kind::comment:
        case Kind::pi:
        case Kind::declaration:
            break;
        }
    }
    if (!m_stack.empty()) {
        if (!m_html) {
            const Tok& open = m_tokens[m_stack.back().index];
            return FormatFailure{u"Kapanmamış öğe <" + FormatText::fromUTF8(nameOf(m_input, open)) +
                                     u">",
                                 open.start};
        }
        while (!m_stack.empty())
            pop(count, false);
    }
    if (!m_progress.finish())
        return FormatFailure::cancelled();
    return std::nullopt;
}

std::optional<FormatFailure> StructurePass::startTag(std::uint32_t i) {
    const Tok& tok = m_tokens[i];
    if (m_html) {
        lowerName(nameOf(m_input, tok), m_name);
        while (!m_stack.empty()) {
            lowerName(nameOf(m_input, m_tokens[m_stack.back().index]), m_topName);
            if (!impliesEnd(m_topName, m_name))
                break;
            pop(i, false);
        }
    }
    if (!m_stack.empty())
        m_stack.back().hasElement = true;
    if (tok.selfClosing || (m_html && isVoidElement(m_name))) {
        m_result.flags[i] |= kLeaf;
        return std::nullopt;
    }
    if (m_html && isPreformattedElement(m_name))
        m_result.flags[i] |= kKeepsContent;
    push(i);
    return std::nullopt;
}

std::optional<FormatFailure> StructurePass::endTag(std::uint32_t i) {
    const Tok& tok = m_tokens[i];
    const std::string_view name = nameOf(m_input, tok);
    if (!m_stack.empty()) {
        const std::string_view top = nameOf(m_input, m_tokens[m_stack.back().index]);
        if (m_html ? equalsIgnoringCase(top, name) : top == name) {
            pop(i, true);
            return std::nullopt;
        }
    }
    if (!m_html) {
        if (m_stack.empty())
            return FormatFailure{
                u"Açılmamış öğenin kapanışı: </" + FormatText::fromUTF8(name) + u">", tok.start};
        const std::string_view top = nameOf(m_input, m_tokens[m_stack.back().index]);
        return FormatFailure{u"Kapanış etiketi eşleşmiyor: </" + FormatText::fromUTF8(name) +
                                 u">, beklenen </" + FormatText::fromUTF8(top) + u">",
                             tok.start};
    }
    lowerName(name, m_name);
    if (!m_openByName.contains(m_name)) {
        m_result.flags[i] |= kStray;
        return std::nullopt;
    }
    // The element is open somewhere below the top: everything above it ends here unclosed.
    while (!equalsIgnoringCase(nameOf(m_input, m_tokens[m_stack.back().index]), name))
        pop(i, false);
    pop(i, true);
    return std::nullopt;
}

class Writer {
public:
    Writer(std::string_view input, const std::vector<Tok>& tokens, const Structure& structure,
           std::optional<FormatIndent> indent, std::string& out, ProgressToken* token)
        : m_input(input), m_tokens(tokens), m_structure(structure), m_pretty(indent.has_value()),
          m_out(out), m_progress(token, tokens.size(), 0.6, 1.0),
          m_limit(std::max<std::uint64_t>(16 * std::uint64_t{input.size()}, kMinOutputLimit)) {
        if (indent) {
            m_unitIsTab = indent->isTab();
            m_unitLength =
                m_unitIsTab ? 1 : static_cast<std::size_t>(std::max(indent->spaceCount(), 0));
        }
    }

    std::optional<FormatFailure> run();

private:
    /// Copies input bytes; a long run is copied in slices so that a cancellation is seen.
    void copy(std::size_t start, std::size_t end) {
        constexpr std::size_t kSlice = 4 << 20;
        while (end - start > kSlice) {
            m_out.append(m_input.data() + start, kSlice);
            start += kSlice;
            if (m_progress.isCancelled())
                m_cancelled = true;
        }
        m_out.append(m_input.data() + start, end - start);
    }
    /// Moves `end` back over trailing blanks, not below `floor`.
    std::size_t trimEnd(std::size_t floor, std::size_t end) {
        while (end > floor && isBlank(static_cast<unsigned char>(m_input[end - 1])))
            if (!m_progress.within(--end))
                m_cancelled = true;
        return end;
    }
    /// Moves `start` past leading blanks, not beyond `end`.
    std::size_t trimStart(std::size_t start, std::size_t end) {
        while (start < end && isBlank(static_cast<unsigned char>(m_input[start])))
            if (!m_progress.within(++start))
                m_cancelled = true;
        return start;
    }
    /// Starts a line at the current depth; false when that alone would exceed the output limit.
    bool startLine();

    std::string_view m_input;
    const std::vector<Tok>& m_tokens;
    const Structure& m_structure;
    bool m_pretty;
    std::string& m_out;
    PhaseProgress m_progress;
    std::uint64_t m_limit;
    bool m_unitIsTab = false;
    std::size_t m_unitLength = 0;
    std::string m_indentRun;
    std::uint64_t m_depth = 0;
    bool m_cancelled = false;
};

bool Writer::startLine() {
    if (!m_pretty)
        return true;
    const std::uint64_t needed = m_depth * m_unitLength;
    if (m_out.size() + 1 + needed > m_limit)
        return false;
    if (!m_out.empty())
        m_out.push_back('\n');
    if (needed > m_indentRun.size())
        m_indentRun.assign(static_cast<std::size_t>(2 * needed), m_unitIsTab ? '\t' : ' ');
    m_out.append(m_indentRun.data(), static_cast<std::size_t>(needed));
    return true;
}

std::optional<FormatFailure> Writer::run() {
    const auto count = static_cast<std::uint32_t>(m_tokens.size());
    m_out.reserve(m_input.size() + m_input.size() / 4);
    std::vector<std::uint32_t> pendingCloses;
    const auto tooLarge = [](const Tok& tok) {
        return FormatFailure{u"Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir",
                             tok.start};
    };
    std::uint32_t i = 0;
    while (i < count) {
        if (!m_progress.at(i))
            return FormatFailure::cancelled();
        while (!pendingCloses.empty() && pendingCloses.back() <= i) {
            pendingCloses.pop_back();
            if (m_depth > 0)
                --m_depth;
        }
        const Tok& tok = m_tokens[i];
        const std::uint8_t flags = m_structure.flags[i];
        std::uint32_t next = i + 1;
        bool lineFits = true;
        switch (tok.kind) {
        case Kind::startTag: {
            const std::uint32_t match = m_structure.match[i];
            const std::uint32_t close = m_structure.close[i];
            if (flags & kLeaf) {
                lineFits = startLine();
                if (lineFits)
                    copy(tok.start, tok.end);
            } else if (flags & kKeepsContent) {
                lineFits = startLine();
                if (!lineFits)
                    break;
                if (match != kNone) {
                    copy(tok.start, m_tokens[match].end);
                    next = match + 1;
                } else {
                    const std::size_t end =
                        trimEnd(tok.end, close < count ? m_tokens[close].start : m_input.size());
                    copy(tok.start, end);
                    next = close;
                }
            } else {
                // Texts never follow each other, so at most one token needs a look.
                bool onlyText = true;
                for (std::uint32_t j = i + 1; j < close && onlyText; ++j)
                    onlyText = m_tokens[j].kind == Kind::text;
                lineFits = startLine();
                if (!lineFits)
                    break;
                copy(tok.start, tok.end);
                if (onlyText) {
                    if (match != kNone) {
                        copy(m_tokens[match].start, m_tokens[match].end);
                        next = match + 1;
                    } else {
                        next = close;
                    }
                } else {
                    ++m_depth;
                    if (match == kNone)
                        pendingCloses.push_back(close);
                }
            }
            break;
        }
        case Kind::endTag:
            if (!(flags & kStray) && m_depth > 0)
                --m_depth;
            lineFits = startLine();
            if (lineFits)
                copy(tok.start, tok.end);
            break;
        case Kind::comment:
        case Kind::cdata:
        case Kind::pi:
        case Kind::declaration:
            lineFits = startLine();
            if (lineFits)
                copy(tok.start, tok.end);
            break;
        case Kind::text:
        case Kind::rawText: {
            const std::size_t start = trimStart(tok.start, tok.end);
            const std::size_t end = trimEnd(start, tok.end);
            if (start < end) {
                lineFits = startLine();
                if (lineFits)
                    copy(start, end);
            }
            break;
        }
        }
        if (m_cancelled)
            return FormatFailure::cancelled();
        if (!lineFits || m_out.size() > m_limit)
            return tooLarge(tok);
        i = next;
    }
    if (!m_progress.finish())
        return FormatFailure::cancelled();
    return std::nullopt;
}

/// The whole pipeline on UTF-8 bytes, without output finishing.
std::expected<std::string, FormatFailure> format(std::string_view input, Dialect dialect,
                                                 std::optional<FormatIndent> indent,
                                                 ProgressToken* progress) {
    if (input.size() > kMaxInputBytes)
        return std::unexpected(FormatFailure{u"Girdi çok büyük", std::nullopt});
    std::vector<Tok> tokens;
    if (auto failure = tokenize(input, dialect, tokens, progress))
        return std::unexpected(std::move(*failure));
    Structure structure;
    if (auto failure = StructurePass(input, dialect, tokens, structure, progress).run())
        return std::unexpected(std::move(*failure));
    std::string out;
    if (auto failure = Writer(input, tokens, structure, indent, out, progress).run())
        return std::unexpected(std::move(*failure));
    return out;
}

std::expected<std::u16string, FormatError> formatText(std::u16string_view text, Dialect dialect,
                                                      std::optional<FormatIndent> indent,
                                                      ProgressToken* progress) {
    auto bytes = FormatText::inputBytes(text, progress);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto out = format(*bytes, dialect, indent, progress);
    if (!out)
        return std::unexpected(std::move(out.error()).toError(*bytes));
    return FormatText::finish(std::move(*out), *bytes, progress);
}

} // namespace
} // namespace markup

std::expected<std::u16string, FormatError>
MarkupFormatter::pretty(std::u16string_view text, Dialect dialect, FormatIndent indent,
                        ProgressToken* progress) {
    return markup::formatText(text, dialect, indent, progress);
}

std::expected<std::u16string, FormatError>
MarkupFormatter::minify(std::u16string_view text, Dialect dialect, ProgressToken* progress) {
    return markup::formatText(text, dialect, std::nullopt, progress);
}

std::expected<std::string, FormatError>
MarkupFormatter::formatBytes(std::string_view utf8, Dialect dialect,
                             std::optional<FormatIndent> indent, ProgressToken* progress) {
    auto out = markup::format(utf8, dialect, indent, progress);
    if (!out)
        return std::unexpected(std::move(out.error()).toError(utf8));
    FormatText::finishBytes(*out, utf8);
    return std::move(*out);
}

std::expected<std::string, FormatError>
MarkupFormatter::formatFileBytes(std::string_view bytes, Dialect dialect,
                                 std::optional<FormatIndent> indent, ProgressToken* progress) {
    if (FormatText::isValidUTF8(bytes)) {
        auto out = formatBytes(bytes, dialect, indent, progress);
        // The text operations return text: output bytes that are not UTF-8 read as U+FFFD.
        if (out && !FormatText::isValidUTF8(*out))
            return FormatText::toUTF8(FormatText::fromUTF8(*out));
        return out;
    }
    const std::u16string text = FormatText::fromUTF8(bytes);
    auto result = markup::formatText(text, dialect, indent, progress);
    if (!result)
        return std::unexpected(std::move(result.error()));
    return FormatText::toUTF8(*result);
}

} // namespace vendrix
