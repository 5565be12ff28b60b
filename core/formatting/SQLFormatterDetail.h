#pragma once

// Internals of SQLFormatter shared by its tokenizer and its writer.

#include "core/formatting/FormatFailure.h"
#include "core/formatting/FormatPhaseProgress.h"
#include "core/formatting/FormatProgress.h"
#include "core/formatting/SQLFormatter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::sql {

using Kind = SQLFormatter::Kind;

/// One token. `keyword` points into the keyword set and is empty for everything else.
struct Tok {
    std::int64_t start;
    std::int64_t end;
    Kind kind;
    std::string_view keyword;
    bool newlineBefore;
};

using PhaseProgress = FormatPhaseProgress;

/// Splits the UTF-8 input into tokens (progress 0 to 0.5). Only unterminated strings and
/// comments fail.
[[nodiscard]] std::optional<FormatFailure> tokenize(std::string_view s, std::vector<Tok>& tokens,
                                                   ProgressToken* token);

} // namespace vendrix::sql
