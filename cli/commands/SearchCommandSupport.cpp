#include "cli/commands/SearchCommandSupport.h"

#include "core/search/BackgroundSearch.h"

#include <stdexcept>

namespace vendrix::cli {

namespace {

std::string failureMessage(const SearchFailure& failure) {
    switch (failure.kind) {
    case SearchFailure::Kind::invalidPattern:
        return "invalid regular expression: " + toUTF8(failure.pattern);
    case SearchFailure::Kind::emptyQuery:
        return "the search text is empty";
    case SearchFailure::Kind::timedOut:
        return "the search took too long and was stopped (timedOut)";
    case SearchFailure::Kind::cancelled:
        return "the search was cancelled (cancelled)";
    }
    return "the search failed";
}

} // namespace

std::expected<SearchRequest, int> searchRequest(const CliCommand& command, const ParsedArgs& parsed,
                                                std::int64_t defaultLimit) {
    std::int64_t limit = defaultLimit;
    if (auto value = parsed.value("--limit")) {
        auto number = parseInteger(*value);
        if (!number || *number < 0)
            return std::unexpected(
                usageError(command, "--limit needs a whole number of at least 0"));
        limit = *number;
    }
    double timeout = BackgroundSearch::bulkTimeout;
    if (auto value = parsed.value("--timeout")) {
        try {
            size_t used = 0;
            timeout = std::stod(*value, &used);
            if (used != value->size() || !(timeout >= 0))
                throw std::invalid_argument("timeout");
        } catch (const std::exception&) {
            return std::unexpected(usageError(command, "--timeout needs a number of seconds"));
        }
    }
    SearchOptions options{fromUTF8(parsed.positionals.at(0)), parsed.has("--regex"),
                          parsed.has("--match-case"), parsed.has("--whole-word")};
    auto pattern = SearchPattern::compile(options);
    if (!pattern)
        return std::unexpected(searchFailed(pattern.error()));
    return SearchRequest{std::move(*pattern), limit, timeout};
}

int searchFailed(const SearchFailure& failure) {
    return fail(failureMessage(failure),
                failure.kind == SearchFailure::Kind::timedOut ? kExitTimedOut : kExitFailure);
}

} // namespace vendrix::cli
