#pragma once

// What find and replace share: the pattern, limit and time budget taken from their
// arguments, and the wording and exit status of a failed search.
#include "cli/CliSupport.h"
#include "core/search/SearchFailure.h"
#include "core/search/SearchPattern.h"

#include <cstdint>
#include <expected>
#include <string>

namespace vendrix::cli {

/// Exit status when the search's time budget ran out.
inline constexpr int kExitTimedOut = 3;

/// The value options and flags every search command accepts.
inline const std::set<std::string> kSearchValueOptions{"--limit", "--timeout"};
inline const std::set<std::string> kSearchFlags{"--regex", "--match-case", "--whole-word"};

struct SearchRequest {
    SearchPattern pattern;
    std::int64_t limit = 0;
    double timeoutSeconds = 0;
};

/// The compiled first positional with --regex, --match-case and --whole-word, --limit
/// (`defaultLimit` when absent) and --timeout (the bulk budget when absent). A bad option
/// value or pattern is reported on stderr and gives the exit status to return.
[[nodiscard]] std::expected<SearchRequest, int>
searchRequest(const CliCommand& command, const ParsedArgs& parsed, std::int64_t defaultLimit);

/// Prints why the search failed; returns kExitTimedOut for a spent budget, else kExitFailure.
int searchFailed(const SearchFailure& failure);

} // namespace vendrix::cli
