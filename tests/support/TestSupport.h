#pragma once

#include "core/common/TextRange.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace vendrix::test {

/// UTF-8 literal to UTF-16, for writing test texts readably.
std::u16string u16(std::string_view utf8);
/// UTF-16 to UTF-8, for readable assertion messages.
std::string u8(std::u16string_view utf16);

/// A text with its selection written inside it: "ab[c|]d" selects "c" (the bar is optional
/// and marks nothing but readability), "ab|cd" is a caret at 2. Markers are removed.
struct MarkedText {
    std::u16string text;
    TextRange selection;
};
MarkedText parseMarked(std::string_view markedUtf8);
/// The inverse of parseMarked: the text with "[" and "]" (or a lone "|") inserted.
std::string formatMarked(std::u16string_view text, TextRange selection);

/// A fresh directory under the system temp dir, removed when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

/// Path of a file under tests/data.
std::filesystem::path dataPath(std::string_view relative);
std::string readFileBytes(const std::filesystem::path& path);
void writeFileBytes(const std::filesystem::path& path, std::string_view bytes);

} // namespace vendrix::test
