#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace vendrix::app::crashTest {

/// The text of tab `tab` at generation `generation`: a header naming both and the length, a
/// body of `units` UTF-16 units (with non-ASCII characters, so encoding matters) and a
/// closing line repeating the generation. A truncated or mixed text cannot pass check().
std::u16string makeText(int tab, std::int64_t generation, std::size_t units);
/// The generation a complete text of `tab` holds; none when the text is truncated, empty,
/// belongs to another tab or is otherwise damaged.
std::optional<std::int64_t> check(int tab, std::u16string_view text);

/// The child process: restores the session in `directory` (creating `tabs` untitled tabs on
/// a fresh start), verifies every restored text, prints "ready" and then edits every tab and
/// writes the session in a loop until killed. Returns 3 when a restored text was damaged.
int runWriter(const QString& directory, int tabs, std::size_t units);

} // namespace vendrix::app::crashTest
