#pragma once

// Helpers for the formatter tests: comparable results and the golden-file layout.
#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::test {

/// A formatter's result as one string to compare: the text as UTF-8, or
/// "error: LINE:COLUMN:OFFSET MESSAGE" for a failure.
std::string describe(const std::expected<std::u16string, FormatError>& result);

/// One expected output of a golden directory, NAME.MODE.EXT, with its input NAME.in.EXT.
struct GoldenOutput {
    std::string file; ///< The expected output's file name, for messages.
    std::string mode; ///< "pretty-2", "pretty-tab", "min", ...
    std::string extension;
    std::string input;
    std::string expected;
};
/// Every expected output in `dir` (every file whose mode is not "in"), in directory order.
std::vector<GoldenOutput> goldenOutputs(const std::filesystem::path& dir);
/// The indentation a golden mode asks for: "pretty-N" N spaces, "pretty-tab" a tab; none
/// for "min".
std::optional<FormatIndent> indentForMode(std::string_view mode);

} // namespace vendrix::test
