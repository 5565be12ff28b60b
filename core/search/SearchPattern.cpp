#include "core/search/SearchPattern.h"

#include "core/search/LiteralMatcher.h"

#include <unicode/regex.h>

#include <algorithm>

namespace vendrix {

struct SearchPattern::Compiled {
    std::u16string expression;
    std::unique_ptr<icu::RegexPattern> regex;
    std::int32_t groupCount = 0;
};

namespace {

// The look-arounds test letters, numbers and "_" as such, with case-insensitivity off:
// closing the classes over case would add a few non-letters (U+0345 folds to iota) and costs
// milliseconds per compilation.
constexpr std::u16string_view kWordPrefix = u"(?-i:(?<![\\p{L}\\p{N}_]))(?:";
constexpr std::u16string_view kWordSuffix = u")(?-i:(?![\\p{L}\\p{N}_]))";

bool isDottedOrDotlessI(char16_t c) {
    return c == u'i' || c == u'I' || c == u'\u0130' || c == u'\u0131';
}

std::unique_ptr<icu::RegexPattern> compileExpression(std::u16string_view expression,
                                                     bool caseInsensitive) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    uint32_t flags = UREGEX_MULTILINE;
    if (caseInsensitive)
        flags |= UREGEX_CASE_INSENSITIVE;
    icu::UnicodeString source(false, expression.data(), static_cast<int32_t>(expression.size()));
    std::unique_ptr<icu::RegexPattern> regex(
        icu::RegexPattern::compile(source, flags, parseError, status));
    if (U_FAILURE(status))
        return nullptr;
    return regex;
}

} // namespace

std::u16string SearchPattern::escapedPattern(std::u16string_view text) {
    static constexpr std::u16string_view metacharacters = u"\\*?+[](){}^$|./";
    std::u16string out;
    out.reserve(text.size() + 8);
    for (char16_t c : text) {
        if (metacharacters.find(c) != std::u16string_view::npos)
            out.push_back(u'\\');
        out.push_back(c);
    }
    return out;
}

std::expected<SearchPattern, SearchFailure> SearchPattern::compile(const SearchOptions& options) {
    if (options.query.empty())
        return std::unexpected(SearchFailure::emptyQuery());
    const bool caseInsensitive = !options.matchCase;

    std::u16string bare;
    if (options.isRegex) {
        bare = options.query;
    } else {
        bare = escapedPattern(options.query);
        if (caseInsensitive && std::any_of(bare.begin(), bare.end(), isDottedOrDotlessI)) {
            std::u16string rewritten;
            for (char16_t c : bare) {
                if (isDottedOrDotlessI(c))
                    rewritten += u"[iI\u0130\u0131]";
                else
                    rewritten.push_back(c);
            }
            bare = std::move(rewritten);
        }
    }

    auto compiled = std::make_shared<Compiled>();
    compiled->regex = compileExpression(bare, caseInsensitive);
    if (!compiled->regex)
        return std::unexpected(SearchFailure::invalidPattern(options.query));
    compiled->expression = bare;

    if (options.wholeWord) {
        // The bare expression compiled, so the wrapper alone can only fail when the
        // expression leaves something open at its end that swallows the wrapper's closing
        // part: a \Q quote without \E, or a # comment in free-spacing mode. Closing those
        // keeps the user's meaning.
        compiled->regex.reset();
        for (std::u16string_view closer : {u"", u"\\E", u"\n", u"\\E\n"}) {
            std::u16string wrapped = std::u16string(kWordPrefix) + bare + std::u16string(closer) +
                                     std::u16string(kWordSuffix);
            if (auto regex = compileExpression(wrapped, caseInsensitive)) {
                compiled->regex = std::move(regex);
                compiled->expression = std::move(wrapped);
                break;
            }
        }
        if (!compiled->regex)
            return std::unexpected(SearchFailure::invalidPattern(options.query));
    }

    // A matcher knows the group count; the pattern object does not expose it.
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> probe(compiled->regex->matcher(status));
    compiled->groupCount = U_SUCCESS(status) && probe ? probe->groupCount() : 0;

    SearchPattern pattern;
    pattern.m_options = options;
    pattern.m_compiled = std::move(compiled);
    if (!options.isRegex) {
        if (auto literal = LiteralMatcher::make(options))
            pattern.m_literal = std::make_shared<const LiteralMatcher>(std::move(*literal));
    }
    return pattern;
}

const icu::RegexPattern& SearchPattern::regex() const {
    return *m_compiled->regex;
}

const std::u16string& SearchPattern::expression() const {
    return m_compiled->expression;
}

std::int32_t SearchPattern::groupCount() const {
    return m_compiled->groupCount;
}

SearchPattern SearchPattern::withoutLiteralFastPath() const {
    SearchPattern copy = *this;
    copy.m_literal.reset();
    return copy;
}

} // namespace vendrix
