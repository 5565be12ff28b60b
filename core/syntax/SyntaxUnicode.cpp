#include "core/syntax/SyntaxUnicode.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace vendrix::syntax_detail {

std::u16string lowercased(std::u16string_view text) {
    icu::UnicodeString s(false, text.data(), static_cast<int32_t>(text.size()));
    s.toLower(icu::Locale::getRoot());
    return std::u16string(s.getBuffer(), static_cast<size_t>(s.length()));
}

} // namespace vendrix::syntax_detail
