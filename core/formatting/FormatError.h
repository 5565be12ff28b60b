#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix {

/// The failure of a formatter or codec: a complete Turkish sentence shown to the user as it
/// stands, and the position it refers to. `line` and `column` are 1-based, `column` and
/// `offset` are counted in UTF-16 code units (column from the line start, offset from the
/// start of the text). Errors that belong to no position carry line 1, column 1, offset 0.
struct FormatError {
    std::u16string message;
    std::int64_t line = 1;
    std::int64_t column = 1;
    std::int64_t offset = 0;

    /// "satır L, sütun C: message".
    [[nodiscard]] std::u16string description() const;

    /// The error for a fault found at byte `byteOffset` of the UTF-8 `input`. The position is
    /// counted over the bytes before it: a line feed starts a new line, continuation bytes
    /// count nothing, a four-byte lead counts two units (a surrogate pair), any other byte one.
    /// A negative offset counts as 0, one beyond the input as the input's length.
    [[nodiscard]] static FormatError at(std::string_view input, std::int64_t byteOffset,
                                        std::u16string message);
    /// The error for a fault found at unit `unitOffset` of the UTF-16 `input`, clamped like
    /// the byte form.
    [[nodiscard]] static FormatError at(std::u16string_view input, std::int64_t unitOffset,
                                        std::u16string message);
    /// The error with no position (line 1, column 1, offset 0).
    [[nodiscard]] static FormatError unpositioned(std::u16string message);

    /// The message of the error a cancelled formatter returns.
    static constexpr std::u16string_view cancelledMessage = u"İptal edildi";
    /// "İptal edildi" with no position: what a formatter whose job was cancelled returns.
    [[nodiscard]] static FormatError cancelled() {
        return unpositioned(std::u16string(cancelledMessage));
    }
    /// True for the error of a cancelled formatter.
    [[nodiscard]] bool isCancellation() const { return message == cancelledMessage; }

    friend bool operator==(const FormatError&, const FormatError&) = default;
};

} // namespace vendrix
