#include "core/files/IgnorePattern.h"

#include <cstdint>

namespace vendrix {

namespace {

/// The code point of the UTF-8 sequence at `at` and its length in bytes (one byte, read as
/// itself, for anything malformed).
std::pair<char32_t, std::size_t> codePointAt(std::string_view s, std::size_t at) {
    const auto b = static_cast<unsigned char>(s[at]);
    std::size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (at + length > s.size())
        return {b, 1};
    char32_t value = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(s[at + i]);
        if ((c & 0xC0) != 0x80)
            return {b, 1};
        value = (value << 6) | (c & 0x3F);
    }
    return {value, length};
}

/// Matches the class starting at glob[at] ("[") against `c`. Sets `end` past the closing
/// "]"; false (with end = npos) when the class is not closed, so the "[" is a literal.
bool classMatches(std::string_view glob, std::size_t at, char32_t c, std::size_t& end) {
    std::size_t i = at + 1;
    bool negate = false;
    if (i < glob.size() && (glob[i] == '!' || glob[i] == '^')) {
        negate = true;
        ++i;
    }
    bool matched = false;
    bool first = true;
    while (i < glob.size() && (glob[i] != ']' || first)) {
        first = false;
        if (glob[i] == '\\' && i + 1 < glob.size())
            ++i;
        auto [low, lowLength] = codePointAt(glob, i);
        i += lowLength;
        char32_t high = low;
        if (i + 1 < glob.size() && glob[i] == '-' && glob[i + 1] != ']') {
            ++i;
            if (glob[i] == '\\' && i + 1 < glob.size())
                ++i;
            auto [h, highLength] = codePointAt(glob, i);
            high = h;
            i += highLength;
        }
        if (c >= low && c <= high)
            matched = true;
    }
    if (i >= glob.size()) {
        end = std::string_view::npos;
        return false;
    }
    end = i + 1;
    return matched != negate;
}

bool matchFrom(std::string_view glob, std::size_t g, std::string_view text, std::size_t t) {
    while (g < glob.size()) {
        const char p = glob[g];
        if (p == '*') {
            const bool doubleStar = g + 1 < glob.size() && glob[g + 1] == '*';
            const bool atSegmentStart = g == 0 || glob[g - 1] == '/';
            if (doubleStar && atSegmentStart) {
                const std::size_t after = g + 2;
                if (after == glob.size())
                    return true; // "/**" at the end: everything inside
                if (glob[after] == '/') {
                    // "**/": zero or more whole folders.
                    for (std::size_t from = t;; ++from) {
                        if ((from == t || text[from - 1] == '/') &&
                            matchFrom(glob, after + 1, text, from))
                            return true;
                        if (from == text.size())
                            return false;
                    }
                }
            }
            // A plain star (or a "**" inside a name): any run within one name.
            std::size_t next = g + 1;
            while (next < glob.size() && glob[next] == '*')
                ++next;
            if (next == glob.size())
                return text.find('/', t) == std::string_view::npos;
            for (std::size_t from = t;; ++from) {
                if (matchFrom(glob, next, text, from))
                    return true;
                if (from == text.size() || text[from] == '/')
                    return false;
            }
        }
        if (t >= text.size())
            return false;
        if (p == '?') {
            if (text[t] == '/')
                return false;
            t += codePointAt(text, t).second;
            ++g;
            continue;
        }
        if (p == '[') {
            if (text[t] == '/')
                return false;
            auto [c, length] = codePointAt(text, t);
            std::size_t end = 0;
            const bool matched = classMatches(glob, g, c, end);
            if (end != std::string_view::npos) {
                if (!matched)
                    return false;
                t += length;
                g = end;
                continue;
            }
            // An unclosed "[" is itself.
        }
        std::size_t literal = g;
        if (p == '\\' && g + 1 < glob.size())
            literal = g + 1;
        if (text[t] != glob[literal])
            return false;
        ++t;
        g = literal + 1;
    }
    return t == text.size();
}

} // namespace

bool ignoreGlobMatches(std::string_view glob, std::string_view text) {
    return matchFrom(glob, 0, text, 0);
}

std::optional<IgnorePattern> IgnorePattern::parse(std::string_view line) {
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    if (line.empty() || line.front() == '#')
        return std::nullopt;
    // Trailing spaces go unless escaped.
    std::size_t end = line.size();
    while (end > 0 && line[end - 1] == ' ') {
        std::size_t backslashes = 0;
        while (backslashes < end - 1 && line[end - 2 - backslashes] == '\\')
            ++backslashes;
        if (backslashes % 2 == 1)
            break;
        --end;
    }
    line = line.substr(0, end);
    IgnorePattern pattern;
    if (line.starts_with('!')) {
        pattern.m_negated = true;
        line.remove_prefix(1);
    }
    if (line.size() > 1 && line.ends_with('/') && !line.ends_with("\\/")) {
        pattern.m_directoryOnly = true;
        line.remove_suffix(1);
        while (line.size() > 1 && line.ends_with('/'))
            line.remove_suffix(1);
    }
    // A "/" at the start or in the middle ties the pattern to its folder.
    if (line.find('/') != std::string_view::npos)
        pattern.m_anchored = true;
    if (line.starts_with('/'))
        line.remove_prefix(1);
    if (line.empty())
        return std::nullopt;
    pattern.m_glob = std::string(line);
    return pattern;
}

bool IgnorePattern::matches(std::string_view relativePath, bool isDir) const {
    if (m_directoryOnly && !isDir)
        return false;
    if (m_anchored)
        return matchFrom(m_glob, 0, relativePath, 0);
    const std::size_t slash = relativePath.rfind('/');
    const std::string_view name =
        slash == std::string_view::npos ? relativePath : relativePath.substr(slash + 1);
    return matchFrom(m_glob, 0, name, 0);
}

} // namespace vendrix
