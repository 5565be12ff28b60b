#pragma once

#include "core/formatting/FormatError.h"

#include <optional>
#include <string_view>

namespace vendrix::jsonScan {

/// Tokenizes UTF-8 `bytes` in one pass, handing each token to the sink in input order:
///   bool push(std::uint32_t start, std::uint32_t end, JSONFormatter::Kind, bool newlineBefore)
/// returns false to stop, and then `FormatError failure()` is the result. Progress checkpoints
/// cover 0...`phaseEnd` of the bound FormatProgress. None when every token was taken, else the
/// tokenizer's first error (or the sink's failure). Instantiated for the sinks of this library.
template <class Sink>
std::optional<FormatError> scan(std::string_view bytes, Sink& sink, double phaseEnd);

} // namespace vendrix::jsonScan
