#pragma once

#include <string>

namespace vendrix {

/// How one indentation level is written: a number of spaces or one tab. Formatters that are
/// given no indent (an empty std::optional<FormatIndent>) minify.
class FormatIndent {
public:
    /// Each level is `count` spaces; zero or a negative count gives an empty level.
    static constexpr FormatIndent spaces(int count) { return FormatIndent(false, count); }
    /// Each level is one tab character.
    static constexpr FormatIndent tab() { return FormatIndent(true, 0); }

    constexpr bool isTab() const { return m_tab; }
    /// The number of spaces per level; 0 for `tab`.
    constexpr int spaceCount() const { return m_tab ? 0 : m_count; }

    /// The bytes of one level: "\t" for tab, `count` spaces (none when count <= 0) otherwise.
    [[nodiscard]] std::string unit() const {
        if (m_tab)
            return "\t";
        return m_count > 0 ? std::string(static_cast<std::size_t>(m_count), ' ') : std::string();
    }

    friend constexpr bool operator==(const FormatIndent&, const FormatIndent&) = default;

private:
    constexpr FormatIndent(bool tab, int count) : m_tab(tab), m_count(count) {}
    bool m_tab;
    int m_count;
};

} // namespace vendrix
