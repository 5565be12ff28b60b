#include "core/syntax/SyntaxUnicode.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace vendrix::syntax_detail {

std::u16string lowercased(std::u16string_view text) {
    icu::UnicodeString s(false, text.data(), static_cast<int32_t>(text.size()));
    s.toLower(icu::Locale::getRoot());
    return std::u16string(s.getBuffer(), static_cast<size_t>(s.length()));
}

std::u16string utf16(std::string_view utf8) {
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    return std::u16string(s.getBuffer(), static_cast<size_t>(s.length()));
}

std::string utf8(std::u16string_view utf16) {
    icu::UnicodeString s(false, utf16.data(), static_cast<int32_t>(utf16.size()));
    std::string out;
    s.toUTF8String(out);
    return out;
}

} // namespace vendrix::syntax_detail
