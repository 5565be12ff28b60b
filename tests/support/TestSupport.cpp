#include "TestSupport.h"

#include <unicode/unistr.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace vendrix::test {

std::u16string u16(std::string_view utf8) {
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    return std::u16string(reinterpret_cast<const char16_t*>(s.getBuffer()),
                          static_cast<size_t>(s.length()));
}

std::string u8(std::u16string_view utf16) {
    icu::UnicodeString s(false, utf16.data(), static_cast<int32_t>(utf16.size()));
    std::string out;
    s.toUTF8String(out);
    return out;
}

MarkedText parseMarked(std::string_view marked) {
    std::string plain;
    std::int64_t open = -1, close = -1, caret = -1;
    std::u16string prefix;
    for (char c : marked) {
        if (c == '[' || c == ']' || c == '|') {
            std::int64_t at = static_cast<std::int64_t>(u16(plain).size());
            if (c == '[')
                open = at;
            else if (c == ']')
                close = at;
            else if (open < 0)
                caret = at;
            continue;
        }
        plain.push_back(c);
    }
    MarkedText result{u16(plain), {0, 0}};
    if (open >= 0 && close >= open)
        result.selection = {open, close - open};
    else if (caret >= 0)
        result.selection = {caret, 0};
    return result;
}

std::string formatMarked(std::u16string_view text, TextRange selection) {
    auto loc = static_cast<size_t>(selection.location);
    auto end = static_cast<size_t>(selection.end());
    if (selection.length == 0)
        return u8(text.substr(0, loc)) + "|" + u8(text.substr(loc));
    return u8(text.substr(0, loc)) + "[" + u8(text.substr(loc, end - loc)) + "]" +
           u8(text.substr(end));
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vendrix-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path dataPath(std::string_view relative) {
    return std::filesystem::path(VENDRIX_TEST_DATA_DIR) / relative;
}

std::string readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace vendrix::test
