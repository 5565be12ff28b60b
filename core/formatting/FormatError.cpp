#include "core/formatting/FormatError.h"

#include <algorithm>

namespace vendrix {

namespace {

void appendDecimal(std::u16string& out, std::int64_t value) {
    for (char c : std::to_string(value))
        out.push_back(static_cast<char16_t>(c));
}

} // namespace

std::u16string FormatError::description() const {
    std::u16string out = u"satır ";
    appendDecimal(out, line);
    out += u", sütun ";
    appendDecimal(out, column);
    out += u": ";
    out += message;
    return out;
}

FormatError FormatError::at(std::string_view input, std::int64_t byteOffset,
                            std::u16string message) {
    const auto end = static_cast<std::size_t>(
        std::clamp<std::int64_t>(byteOffset, 0, static_cast<std::int64_t>(input.size())));
    std::int64_t line = 1, column = 1, offset = 0;
    for (std::size_t i = 0; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(input[i]);
        if (byte == 0x0A) {
            ++line;
            column = 1;
            ++offset;
        } else if (byte >= 0x80 && byte <= 0xBF) {
            // A continuation byte belongs to the character its lead byte already counted.
        } else if (byte >= 0xF0) {
            column += 2;
            offset += 2;
        } else {
            ++column;
            ++offset;
        }
    }
    return FormatError{std::move(message), line, column, offset};
}

FormatError FormatError::at(std::u16string_view input, std::int64_t unitOffset,
                            std::u16string message) {
    const auto end = static_cast<std::size_t>(
        std::clamp<std::int64_t>(unitOffset, 0, static_cast<std::int64_t>(input.size())));
    std::int64_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (input[i] == u'\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return FormatError{std::move(message), line, static_cast<std::int64_t>(end - lineStart) + 1,
                       static_cast<std::int64_t>(end)};
}

FormatError FormatError::unpositioned(std::u16string message) {
    return FormatError{std::move(message), 1, 1, 0};
}

} // namespace vendrix
