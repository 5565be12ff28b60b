#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// One line of an ignore file (.gitignore, .ignore) or one --glob given by the user, in the
/// gitignore syntax: `*` and `?` never cross a "/", `[...]` classes (with `!` or `^` for
/// negation and ranges), `**/` for any number of folders, `/**` for everything inside, a
/// leading `!` to re-include, a trailing `/` for folders only, a "/" at the start or in the
/// middle to anchor the pattern to the file's folder (otherwise it matches a name at any
/// depth), `#` comments and `\` escapes. Paths are UTF-8 and relative to the folder the
/// pattern belongs to, with "/" between names. Immutable.
class IgnorePattern {
public:
    /// None for a blank line or a comment.
    [[nodiscard]] static std::optional<IgnorePattern> parse(std::string_view line);

    /// True when the pattern matches `relativePath` (no leading "/"), a folder when `isDir`.
    /// Negation does not change the answer; see negated().
    [[nodiscard]] bool matches(std::string_view relativePath, bool isDir) const;

    /// The pattern started with "!": a match re-includes what an earlier pattern excluded.
    [[nodiscard]] bool negated() const { return m_negated; }
    [[nodiscard]] bool directoryOnly() const { return m_directoryOnly; }
    [[nodiscard]] bool anchored() const { return m_anchored; }

private:
    IgnorePattern() = default;

    std::string m_glob; // without "!", the trailing "/" and a leading "/"
    bool m_negated = false;
    bool m_directoryOnly = false;
    bool m_anchored = false;
};

/// Matches `glob` against `text` with the rules above (`*`, `?`, classes, `**`, `\`).
[[nodiscard]] bool ignoreGlobMatches(std::string_view glob, std::string_view text);

} // namespace vendrix
