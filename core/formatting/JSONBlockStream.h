#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <variant>

namespace vendrix {

class ProgressToken;

/// Unsorted pretty or minified JSON handed over in blocks as it is produced, for output that
/// need not be held whole (the command-line tool writing to standard output). Nothing is
/// handed over before the whole input is known to format, so a consumer of a failing input
/// receives nothing.
struct JSONBlockStream {
    /// The output is handed over.
    struct Done {};
    /// Nothing was handed over: the output may pass the size limit (deep nesting with a wide
    /// indent), and only the whole output can tell.
    struct MayNotFit {};
    using Result = std::variant<Done, MayNotFit, FormatError>;
    /// Takes a block of output; false stops the formatting (a write failure).
    using Consumer = std::function<bool(std::string_view)>;

    /// Formats UTF-8 `bytes` as JSONFormatter::streamUTF8 does and hands the output to
    /// `consumer` in blocks of about `blockBytes`: the blocks joined are streamUTF8's output.
    /// On a failure streamUTF8 would give, that error with nothing handed over. Minified
    /// output takes one pass (it is the input's runs between white space and comments);
    /// pretty output a checking pass (tokens, grammar, deepest nesting) and a writing pass.
    /// A consumer that refuses a block ends it with an error after the blocks before.
    /// `progress` follows the formatting and can cancel it (null: none).
    [[nodiscard]] static Result format(std::string_view bytes, std::optional<FormatIndent> indent,
                                       const Consumer& consumer, std::size_t blockBytes = 1 << 20,
                                       ProgressToken* progress = nullptr);
};

} // namespace vendrix
