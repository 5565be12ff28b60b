#pragma once

#include "core/files/IgnorePattern.h"

#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// The patterns of one ignore file (or the user's globs), in file order. The last pattern
/// that matches a path decides: excluded, or re-included by a "!" pattern. Immutable.
class IgnoreRules {
public:
    enum class Decision { none, ignore, include };

    IgnoreRules() = default;
    /// The patterns of `text`, one a line (blank lines and comments skipped).
    [[nodiscard]] static IgnoreRules parse(std::string_view text);
    /// Reads and parses the file at `path`; empty rules when it cannot be read.
    [[nodiscard]] static IgnoreRules readFile(const std::string& path);

    void add(IgnorePattern pattern) { m_patterns.push_back(std::move(pattern)); }
    [[nodiscard]] bool empty() const { return m_patterns.empty(); }
    /// True when some pattern is not negated (for globs: some folder or file is asked for).
    [[nodiscard]] bool hasPositivePattern() const;

    /// The decision of the last matching pattern for `relativePath`, a folder when `isDir`.
    [[nodiscard]] Decision decide(std::string_view relativePath, bool isDir) const;

private:
    std::vector<IgnorePattern> m_patterns;
};

} // namespace vendrix
