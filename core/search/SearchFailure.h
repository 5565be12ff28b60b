#pragma once

#include <string>

namespace vendrix {

/// Why a search produced no result. Carries no message text; the find bar words it.
struct SearchFailure {
    enum class Kind {
        /// The expression could not be compiled; `pattern` holds the user's rejected pattern.
        invalidPattern,
        /// The query is empty.
        emptyQuery,
        /// The budget's deadline passed, or the expression gave up as too costly to evaluate.
        timedOut,
        /// The budget's cancellation token was cancelled.
        cancelled,
    };

    Kind kind = Kind::emptyQuery;
    /// The rejected pattern for `invalidPattern`; empty for every other kind.
    std::u16string pattern;

    [[nodiscard]] static SearchFailure invalidPattern(std::u16string pattern) {
        return {Kind::invalidPattern, std::move(pattern)};
    }
    [[nodiscard]] static SearchFailure emptyQuery() { return {Kind::emptyQuery, {}}; }
    [[nodiscard]] static SearchFailure timedOut() { return {Kind::timedOut, {}}; }
    [[nodiscard]] static SearchFailure cancelled() { return {Kind::cancelled, {}}; }

    friend bool operator==(const SearchFailure&, const SearchFailure&) = default;
};

/// The identifier of a failure kind: "invalidPattern", "emptyQuery", "timedOut", "cancelled".
[[nodiscard]] const char* rawValue(SearchFailure::Kind kind);

} // namespace vendrix
