#pragma once

// vendrix-cli find over folders: the walk options and the parallel search of the files.
#include "cli/CliSupport.h"
#include "cli/commands/SearchCommandSupport.h"

#include <set>
#include <string>
#include <vector>

namespace vendrix::cli {

/// The options find takes for walking folders.
inline const std::set<std::string> kFolderValueOptions{"--glob", "--max-filesize"};
inline const std::set<std::string> kFolderFlags{"--hidden", "--no-ignore", "--follow"};

/// True when some path is a folder or a walk option was given: the search then walks.
[[nodiscard]] bool wantsFolderFind(const ParsedArgs& parsed, const std::vector<std::string>& paths);

/// Searches `paths` (files and folders) and prints the hits in path order, then "N hits".
/// Returns the exit status: 0, 1 when a path given or a file met could not be read, 2 for
/// a bad option value, 3 when the time budget ran out.
int runFolderFind(const CliCommand& command, const ParsedArgs& parsed, const SearchRequest& request,
                  const std::vector<std::string>& paths);

} // namespace vendrix::cli
