#include "core/formatting/CSSFormatter.h"

#include "core/formatting/FormatFailure.h"
#include "core/formatting/FormatPhaseProgress.h"
#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vendrix {

namespace {

constexpr std::uint64_t kMinOutputLimit = 67108864;

bool isWhite(unsigned char byte) {
    return byte == '\t' || byte == '\n' || byte == '\f' || byte == '\r' || byte == ' ';
}

void trimTrailingSpaces(std::string_view& text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
}

/// Walks a collected segment and reports which bytes lie at the top level: outside quotes
/// (with backslash escapes), outside comments, and outside parentheses and square brackets
/// (which share one depth that never goes below zero).
class TopLevelWalk {
public:
    explicit TopLevelWalk(std::string_view text) : m_text(text) {}

    /// Advances over byte `i` (bytes must be visited in order) and tells whether it is a
    /// structural byte at the top level.
    bool topLevel(std::size_t i) {
        const auto byte = static_cast<unsigned char>(m_text[i]);
        if (m_commentEnd > i)
            return false;
        if (m_quote != 0) {
            if (m_escaped)
                m_escaped = false;
            else if (byte == '\\')
                m_escaped = true;
            else if (byte == m_quote)
                m_quote = 0;
            return false;
        }
        if (byte == '"' || byte == '\'') {
            m_quote = byte;
            return false;
        }
        if (byte == '/' && i + 1 < m_text.size() && m_text[i + 1] == '*') {
            const std::size_t close = m_text.find("*/", i + 2);
            m_commentEnd = close == std::string_view::npos ? m_text.size() : close + 2;
            return false;
        }
        if (byte == '(' || byte == '[') {
            ++m_depth;
            return false;
        }
        if (byte == ')' || byte == ']') {
            if (m_depth > 0)
                --m_depth;
            return false;
        }
        return m_depth == 0;
    }

private:
    std::string_view m_text;
    unsigned char m_quote = 0;
    bool m_escaped = false;
    std::size_t m_depth = 0;
    std::size_t m_commentEnd = 0;
};

bool isCombinator(char byte) {
    return byte == ',' || byte == '>' || byte == '+' || byte == '~';
}

/// Appends `text` without the single spaces directly around the top-level bytes for which
/// `isSeparator` holds.
template <typename Predicate>
void appendWithoutSpacesAround(std::string_view text, Predicate isSeparator, std::string& out) {
    std::vector<bool> drop(text.size(), false);
    TopLevelWalk walk(text);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (walk.topLevel(i) && isSeparator(text[i])) {
            if (i > 0 && text[i - 1] == ' ')
                drop[i - 1] = true;
            if (i + 1 < text.size() && text[i + 1] == ' ')
                drop[i + 1] = true;
        }
    }
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!drop[i])
            out.push_back(text[i]);
}

void appendSelector(std::string_view segment, bool pretty, std::string& out) {
    trimTrailingSpaces(segment);
    if (!pretty) {
        appendWithoutSpacesAround(segment, isCombinator, out);
        return;
    }
    TopLevelWalk walk(segment);
    std::size_t partStart = 0;
    bool first = true;
    auto flushPart = [&](std::size_t end) {
        std::string_view part = segment.substr(partStart, end - partStart);
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        trimTrailingSpaces(part);
        if (!first)
            out += ", ";
        out += part;
        first = false;
    };
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (walk.topLevel(i) && segment[i] == ',') {
            flushPart(i);
            partStart = i + 1;
        }
    }
    flushPart(segment.size());
}

void appendDeclaration(std::string_view segment, bool pretty, std::string& out) {
    trimTrailingSpaces(segment);
    if (segment.empty() || segment.front() == '@') {
        out += segment;
        return;
    }
    TopLevelWalk walk(segment);
    std::size_t colon = std::string_view::npos;
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (walk.topLevel(i) && segment[i] == ':') {
            colon = i;
            break;
        }
    }
    if (colon == std::string_view::npos) {
        out += segment;
        return;
    }
    std::string_view property = segment.substr(0, colon);
    trimTrailingSpaces(property);
    std::string_view value = segment.substr(colon + 1);
    while (!value.empty() && value.front() == ' ')
        value.remove_prefix(1);
    out += property;
    if (pretty) {
        out += ": ";
        out += value;
    } else {
        out += ':';
        appendWithoutSpacesAround(
            value, [](char byte) { return byte == ','; }, out);
    }
}

class Pass {
public:
    Pass(std::string_view input, std::optional<FormatIndent> indent, ProgressToken* token)
        : m_s(input), m_pretty(indent.has_value()),
          m_limit(std::max<std::uint64_t>(16 * std::uint64_t{input.size()}, kMinOutputLimit)),
          m_progressObject(token), m_phase(token, input.size(), 0.0, 1.0) {
        if (indent) {
            m_unitIsTab = indent->isTab();
            m_unitLength =
                m_unitIsTab ? 1 : static_cast<std::size_t>(std::max(indent->spaceCount(), 0));
        }
    }

    std::optional<FormatFailure> run(std::string& out);

private:
    /// Starts a line in pretty mode; false when its indentation alone would exceed the limit.
    bool writeLine(bool allowBlank = true);
    bool checkpoint(std::size_t position);
    bool cancelledNow() const {
        return m_progressObject != nullptr && m_progressObject->isCancelled();
    }

    std::string_view m_s;
    bool m_pretty;
    std::uint64_t m_limit;
    ProgressToken* m_progressObject;
    FormatPhaseProgress m_phase;
    bool m_unitIsTab = false;
    std::size_t m_unitLength = 0;
    std::string m_indentRun;

    std::string* m_out = nullptr;
    std::string m_segment;
    std::vector<std::size_t> m_blocks;
    std::size_t m_parenDepth = 0;
    bool m_spacePending = false;
    bool m_blankLine = false;
};

bool Pass::checkpoint(std::size_t position) {
    return m_phase.at(position);
}

bool Pass::writeLine(bool allowBlank) {
    if (!m_pretty)
        return true;
    std::string& out = *m_out;
    const std::uint64_t needed = m_blocks.size() * m_unitLength;
    if (out.size() + 2 + needed > m_limit)
        return false;
    if (!out.empty()) {
        out.push_back('\n');
        if (m_blankLine && allowBlank)
            out.push_back('\n');
    }
    if (needed > m_indentRun.size())
        m_indentRun.assign(static_cast<std::size_t>(2 * needed), m_unitIsTab ? '\t' : ' ');
    out.append(m_indentRun.data(), static_cast<std::size_t>(needed));
    m_blankLine = false;
    return true;
}

std::optional<FormatFailure> Pass::run(std::string& out) {
    m_out = &out;
    const std::size_t n = m_s.size();
    out.reserve(n + n / 4);
    std::size_t i = 0;
    if (n >= 3 && m_s.substr(0, 3) == "\xEF\xBB\xBF")
        i = 3;
    const auto tooLarge = [](std::size_t after) {
        return FormatFailure{u"Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir", after};
    };
    const auto addByte = [this](char byte) {
        if (m_spacePending && !m_segment.empty())
            m_segment.push_back(' ');
        m_segment.push_back(byte);
        m_spacePending = false;
    };
    while (i < n) {
        if (!checkpoint(i))
            return FormatFailure::cancelled();
        const auto byte = static_cast<unsigned char>(m_s[i]);
        std::size_t last = i; // the last byte this step consumed
        bool fits = true;
        if (isWhite(byte)) {
            m_spacePending = true;
        } else if (byte == '"' || byte == '\'') {
            std::size_t j = i + 1;
            while (j < n && m_s[j] != static_cast<char>(byte) && m_s[j] != '\n') {
                j += m_s[j] == '\\' ? 2 : 1;
                if ((j & 0xFFFFF) < 2 && cancelledNow())
                    return FormatFailure::cancelled();
            }
            if (j >= n || m_s[j] == '\n')
                return FormatFailure{u"Kapanmamış dize", i};
            if (m_spacePending && !m_segment.empty())
                m_segment.push_back(' ');
            m_segment.append(m_s.substr(i, j + 1 - i));
            m_spacePending = false;
            last = j;
        } else if (byte == '/' && i + 1 < n && m_s[i + 1] == '*') {
            // Searched in slices so that a cancellation is seen inside a huge comment.
            constexpr std::size_t kSlice = 1 << 20;
            std::size_t close = std::string_view::npos;
            for (std::size_t from = i + 2; from < n; from += kSlice) {
                close = m_s.substr(0, std::min(n, from + kSlice + 1)).find("*/", from);
                if (close != std::string_view::npos)
                    break;
                if (cancelledNow())
                    return FormatFailure::cancelled();
            }
            if (close == std::string_view::npos)
                return FormatFailure{u"Kapanmamış yorum", i};
            last = close + 1;
            const std::string_view comment = m_s.substr(i, close + 2 - i);
            if (!m_pretty) {
                if (!m_segment.empty())
                    m_spacePending = true;
            } else if (!m_segment.empty()) {
                if (m_spacePending || m_segment.back() != ' ')
                    m_segment.push_back(' ');
                m_segment.append(comment);
                m_spacePending = true;
            } else {
                fits = writeLine();
                if (fits)
                    out.append(comment);
            }
        } else if (byte == ';' && m_parenDepth == 0) {
            if (!m_segment.empty()) {
                fits = writeLine();
                if (fits) {
                    appendDeclaration(m_segment, m_pretty, out);
                    out.push_back(';');
                }
            }
            m_segment.clear();
            m_spacePending = false;
        } else if (byte == '{' && m_parenDepth == 0) {
            fits = writeLine();
            if (fits) {
                appendSelector(m_segment, m_pretty, out);
                out += m_pretty ? " {" : "{";
            }
            m_blocks.push_back(i);
            m_segment.clear();
            m_spacePending = false;
            m_blankLine = false;
        } else if (byte == '}' && m_parenDepth == 0) {
            if (m_blocks.empty())
                return FormatFailure{u"Fazladan '}'", i};
            if (!m_segment.empty()) {
                fits = writeLine();
                if (fits) {
                    appendDeclaration(m_segment, m_pretty, out);
                    out.push_back(';');
                }
                m_segment.clear();
                m_spacePending = false;
            }
            m_blocks.pop_back();
            if (fits) {
                if (!m_pretty) {
                    if (!out.empty() && out.back() == ';')
                        out.pop_back();
                    out.push_back('}');
                } else if (!out.empty() && out.back() == '{') {
                    out.push_back('}');
                } else {
                    fits = writeLine(false);
                    if (fits)
                        out.push_back('}');
                }
            }
            m_blankLine = m_blocks.empty();
        } else {
            if (byte == '(')
                ++m_parenDepth;
            else if (byte == ')' && m_parenDepth > 0)
                --m_parenDepth;
            addByte(static_cast<char>(byte));
        }
        if (!fits || out.size() > m_limit)
            return tooLarge(last + 1);
        i = last + 1;
    }
    if (m_progressObject != nullptr && !m_progressObject->step(1, 1, 0.0, 1.0))
        return FormatFailure::cancelled();
    if (!m_blocks.empty())
        return FormatFailure{u"Kapanmamış '{'", m_blocks.back()};
    if (!m_segment.empty()) {
        if (!writeLine())
            return tooLarge(n);
        appendDeclaration(m_segment, m_pretty, out);
        if (out.size() > m_limit)
            return tooLarge(n);
    }
    return std::nullopt;
}

std::expected<std::string, FormatError> formatUnfinished(std::string_view utf8,
                                                         std::optional<FormatIndent> indent,
                                                         ProgressToken* progress) {
    std::string out;
    if (auto failure = Pass(utf8, indent, progress).run(out))
        return std::unexpected(std::move(*failure).toError(utf8));
    return out;
}

std::expected<std::u16string, FormatError> formatText(std::u16string_view text,
                                                      std::optional<FormatIndent> indent,
                                                      ProgressToken* progress) {
    auto bytes = FormatText::inputBytes(text, progress);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto out = formatUnfinished(*bytes, indent, progress);
    if (!out)
        return std::unexpected(std::move(out.error()));
    return FormatText::finish(std::move(*out), *bytes, progress);
}

} // namespace

std::expected<std::u16string, FormatError> CSSFormatter::pretty(std::u16string_view text,
                                                                FormatIndent indent,
                                                                ProgressToken* progress) {
    return formatText(text, indent, progress);
}

std::expected<std::u16string, FormatError> CSSFormatter::minify(std::u16string_view text,
                                                                ProgressToken* progress) {
    return formatText(text, std::nullopt, progress);
}

std::expected<std::string, FormatError> CSSFormatter::formatBytes(std::string_view utf8,
                                                                  std::optional<FormatIndent> indent,
                                                                  ProgressToken* progress) {
    auto out = formatUnfinished(utf8, indent, progress);
    if (out)
        FormatText::finishBytes(*out, utf8);
    return out;
}

} // namespace vendrix
