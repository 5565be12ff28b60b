#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/FormatProgress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vendrix {

/// A failure found by a formatter pass over UTF-8 bytes: the message and the byte offset it
/// refers to, or no offset for failures that belong to no position (cancellation, input too
/// large). It becomes a FormatError, counted in UTF-16 units, when the pass reports it.
struct FormatFailure {
    std::u16string message;
    std::optional<std::int64_t> byteOffset;

    /// The failure of a job that was cancelled.
    [[nodiscard]] static FormatFailure cancelled() {
        return FormatFailure{std::u16string(FormatProgress::cancelledMessage), std::nullopt};
    }

    /// The error to show for this failure of a pass that read `input`.
    [[nodiscard]] FormatError toError(std::string_view input) && {
        if (!byteOffset)
            return FormatError::unpositioned(std::move(message));
        return FormatError::at(input, *byteOffset, std::move(message));
    }
};

} // namespace vendrix
