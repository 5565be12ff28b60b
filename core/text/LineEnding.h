#pragma once

#include "core/common/EnumCases.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// The line-break style of a file. Inside the editor text always holds LF; a file's style is
/// detected when it is read and applied again when it is written.
enum class LineEnding { lf, crlf, cr };

namespace lineEnding {

/// The cases and their persisted identifiers.
inline constexpr auto cases = enumCases<LineEnding>(
    {{LineEnding::lf, "lf"}, {LineEnding::crlf, "crlf"}, {LineEnding::cr, "cr"}});
inline constexpr const auto& allCases = cases.all();

/// The persisted identifier: "lf", "crlf" or "cr".
constexpr std::string_view rawValue(LineEnding ending) {
    return cases.rawValue(ending);
}
/// Exact, case-sensitive construction from an identifier.
constexpr std::optional<LineEnding> fromRawValue(std::string_view raw) {
    return cases.fromRawValue(raw);
}
/// The characters that end a line in this style.
std::u16string_view sequence(LineEnding ending);

/// The dominant line ending of a text, or none when it holds no CR or LF. Ties go to LF,
/// then CRLF, then CR.
std::optional<LineEnding> detect(std::u16string_view text);

/// What a text's line breaks are: the dominant style (as detect()) and whether more than one
/// style occurs (CRLF beside LF, or a lone CR among either).
struct Survey {
    std::optional<LineEnding> dominant;
    bool mixed = false;
};
Survey survey(std::u16string_view text);
/// Every CR LF pair and every lone CR become LF. A text without CR comes back unchanged.
std::u16string normalizeToLF(std::u16string_view text);
/// True when normalizeToLF would change the text.
bool needsNormalization(std::u16string_view text);
/// Converts an LF-normalised text to `ending`.
std::u16string apply(LineEnding ending, std::u16string_view text);

} // namespace lineEnding
} // namespace vendrix
