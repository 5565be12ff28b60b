#include "core/editing/TextEdit.h"

namespace vendrix {

std::u16string TextEdit::applied(std::u16string_view text) const {
    if (!range.fits(static_cast<std::int64_t>(text.size())))
        return std::u16string(text);
    std::u16string out;
    out.reserve(text.size() - static_cast<std::size_t>(range.length) + replacement.size());
    out.append(text.substr(0, static_cast<std::size_t>(range.location)));
    out.append(replacement);
    out.append(text.substr(static_cast<std::size_t>(range.end())));
    return out;
}

} // namespace vendrix
