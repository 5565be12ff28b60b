#include "core/search/ReplacementTemplate.h"

#include "core/search/UnicodeText.h"

#include <unicode/uchar.h>

namespace vendrix {

ReplacementTemplate::ReplacementTemplate(std::u16string_view text, std::int32_t groupCount) {
    std::u16string literal;
    auto flush = [&] {
        if (!literal.empty())
            m_pieces.emplace_back(std::move(literal));
        literal.clear();
    };
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        char16_t c = text[i];
        if (c == u'\\') {
            if (i + 1 >= n) {
                literal.push_back(u'\\');
                ++i;
                continue;
            }
            // The escaped character is taken whole, surrogate pair included.
            auto units = static_cast<size_t>(
                unicodeText::codePointLength(text, static_cast<std::int64_t>(i + 1)));
            literal.append(text.substr(i + 1, units));
            i += 1 + units;
            continue;
        }
        if (c == u'$') {
            // Longest run of digits that still names an existing group.
            std::int64_t group = -1;
            size_t used = 0;
            std::int64_t value = 0;
            for (size_t j = i + 1; j < n && text[j] >= u'0' && text[j] <= u'9'; ++j) {
                value = value * 10 + (text[j] - u'0');
                if (value > groupCount)
                    break;
                group = value;
                used = j - i;
            }
            if (group >= 0) {
                flush();
                m_pieces.emplace_back(static_cast<std::int32_t>(group));
                i += 1 + used;
                continue;
            }
        }
        literal.push_back(c);
        ++i;
    }
    flush();
}

std::u16string ReplacementTemplate::expand(
    std::u16string_view text,
    const std::function<std::optional<TextRange>(std::int32_t)>& group) const {
    std::u16string out;
    for (const auto& piece : m_pieces) {
        if (const auto* literal = std::get_if<std::u16string>(&piece)) {
            out += *literal;
        } else if (auto range = group(std::get<std::int32_t>(piece));
                   range && range->fits(static_cast<std::int64_t>(text.size()))) {
            out.append(text.substr(static_cast<size_t>(range->location),
                                   static_cast<size_t>(range->length)));
        }
    }
    return out;
}

std::u16string regexTemplate(std::u16string_view replacement) {
    std::u16string out;
    out.reserve(replacement.size());
    const size_t n = replacement.size();
    for (size_t i = 0; i < n; ++i) {
        char16_t c = replacement[i];
        if (c != u'\\') {
            out.push_back(c);
            continue;
        }
        if (i + 1 == n) {
            out += u"\\\\";
            break;
        }
        char16_t next = replacement[i + 1];
        // "\n" and "\t" count only when the letter stands alone as a character, not when a
        // combining mark makes it part of a larger one.
        bool letterStandsAlone =
            i + 2 >= n || !u_hasBinaryProperty(unicodeText::codePointAt(
                                                   replacement, static_cast<std::int64_t>(i + 2)),
                                               UCHAR_GRAPHEME_EXTEND);
        if (next == u'n' && letterStandsAlone) {
            out.push_back(u'\n');
        } else if (next == u't' && letterStandsAlone) {
            out.push_back(u'\t');
        } else {
            out.push_back(u'\\');
            out.push_back(next);
        }
        ++i;
    }
    return out;
}

} // namespace vendrix
