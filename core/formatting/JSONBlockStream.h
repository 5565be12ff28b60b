#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <variant>

namespace vendrix {

/// Unsorted pretty or minified JSON handed over in blocks as it is produced, for output that
/// need not be held whole (the command-line tool writing to standard output). The input is
/// checked first, so that a consumer that must not see output of a failing input receives
/// none.
struct JSONBlockStream {
    /// Formatting cannot fail.
    struct Fits {};
    /// Formatting may pass the output limit: only the whole output can tell.
    struct MayNotFit {};
    using Check = std::variant<Fits, MayNotFit, FormatError>;
    /// Takes a block of output; false stops the formatting (a write failure).
    using Consumer = std::function<bool(std::string_view)>;

    /// Checks UTF-8 `bytes` without writing: the error JSONFormatter::streamUTF8 would give
    /// when it is not about the output's size; else whether the output surely stays within
    /// the limit (reckoned from the token count and the deepest nesting).
    [[nodiscard]] static Check check(std::string_view bytes, std::optional<FormatIndent> indent);

    /// Formats `bytes` as streamUTF8 does and hands the output to `consumer` in blocks of
    /// about `blockBytes`; the blocks joined are streamUTF8's output. Meant for input that
    /// check() found Fits: a failure (none then, unless the consumer refuses a block or the
    /// job is cancelled) may come after some blocks were handed over.
    [[nodiscard]] static std::optional<FormatError> write(std::string_view bytes,
                                                          std::optional<FormatIndent> indent,
                                                          const Consumer& consumer,
                                                          std::size_t blockBytes = 1 << 20);
};

} // namespace vendrix
