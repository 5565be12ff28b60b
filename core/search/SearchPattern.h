#pragma once

#include "core/search/SearchFailure.h"
#include "core/search/SearchOptions.h"

#include <unicode/uversion.h>

#include <cstdint>
#include <expected>
#include <memory>
#include <string>
#include <string_view>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

namespace vendrix {

class LiteralMatcher;

/// A compiled search: the user's options turned into one ICU regular expression, compiled
/// with anchors matching at line boundaries and case-insensitive exactly when `matchCase`
/// is off. A plain query is escaped; without `matchCase` every i, I, İ and ı in it matches
/// any of the four. `wholeWord` wraps the expression in look-arounds that forbid a letter,
/// number or "_" (as such, whatever the case option) on either side.
///
/// A plain query whose matches can be found without the expression engine also carries a
/// literal matcher that gives exactly the expression's matches, faster.
///
/// Immutable and cheap to copy; share it across threads freely (the compiled expression is
/// only read).
class SearchPattern {
public:
    /// Fails with `emptyQuery` for an empty query and `invalidPattern(query)` when the user's
    /// expression does not compile. The whole-word wrapper never turns an invalid expression
    /// into a valid one: the bare expression is compiled first.
    [[nodiscard]] static std::expected<SearchPattern, SearchFailure>
    compile(const SearchOptions& options);

    [[nodiscard]] const SearchOptions& options() const { return m_options; }
    /// The compiled expression.
    [[nodiscard]] const icu::RegexPattern& regex() const;
    /// The text of the compiled expression (after escaping and the whole-word wrapper).
    [[nodiscard]] const std::u16string& expression() const;
    /// Number of capture groups of the expression (the wrapper adds none).
    [[nodiscard]] std::int32_t groupCount() const;

    /// The literal fast path, or null when every search goes through the expression engine.
    [[nodiscard]] const LiteralMatcher* literal() const { return m_literal.get(); }
    /// The same search without the literal fast path (to check the fast path against it).
    [[nodiscard]] SearchPattern withoutLiteralFastPath() const;

    /// `text` with every regular-expression metacharacter escaped by a backslash.
    [[nodiscard]] static std::u16string escapedPattern(std::u16string_view text);

private:
    struct Compiled;
    SearchPattern() = default;

    SearchOptions m_options;
    std::shared_ptr<const Compiled> m_compiled;
    std::shared_ptr<const LiteralMatcher> m_literal;
};

} // namespace vendrix
