#include "core/formatting/TextCodecs.h"

#include "core/common/Base64.h"
#include "core/formatting/FormatText.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vendrix {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The text as Unicode scalars (a lone surrogate stays as its own value).
std::vector<char32_t> scalars(std::u16string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

void appendScalar(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

void appendUTF8(std::string& out, char32_t c) {
    std::u16string unit;
    appendScalar(unit, c);
    out += FormatText::toUTF8(unit);
}

int hexValue(char32_t c) {
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

// An unsigned 32-bit number in `radix` (an optional leading "+", then at least one digit).
std::optional<std::uint32_t> parseUnsigned(const char32_t* first, const char32_t* last, int radix) {
    if (first != last && *first == '+')
        ++first;
    if (first == last)
        return std::nullopt;
    std::uint64_t value = 0;
    for (; first != last; ++first) {
        const int digit = hexValue(*first);
        if (digit < 0 || digit >= radix)
            return std::nullopt;
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::u16string> resolveEntity(const char32_t* first, const char32_t* last) {
    if (*first == '#') {
        std::optional<std::uint32_t> value;
        if (last - first >= 3 && (first[1] == 'x' || first[1] == 'X'))
            value = parseUnsigned(first + 2, last, 16);
        else
            value = parseUnsigned(first + 1, last, 10);
        if (!value || *value == 0 || *value > 0x10FFFF || (*value >= 0xD800 && *value <= 0xDFFF))
            return std::nullopt;
        std::u16string out;
        appendScalar(out, *value);
        return out;
    }
    std::u16string name;
    for (const char32_t* c = first; c != last; ++c)
        appendScalar(name, *c);
    const auto& table = TextCodec::htmlNamedEntities();
    auto found = table.find(name);
    if (found == table.end())
        return std::nullopt;
    return found->second;
}

FormatError notUTF8() {
    return FormatError::unpositioned(u"Çözülen veri UTF-8 metin değil");
}

} // namespace

const std::map<std::u16string, std::u16string>& TextCodec::htmlNamedEntities() {
    static const std::map<std::u16string, std::u16string> table = {
        {u"amp", u"&"},         {u"lt", u"<"},          {u"gt", u">"},
        {u"quot", u"\""},       {u"apos", u"'"},        {u"nbsp", u"\u00A0"},
        {u"copy", u"\u00A9"},   {u"reg", u"\u00AE"},    {u"trade", u"\u2122"},
        {u"hellip", u"\u2026"}, {u"mdash", u"\u2014"},  {u"ndash", u"\u2013"},
        {u"laquo", u"\u00AB"},  {u"raquo", u"\u00BB"},  {u"lsquo", u"\u2018"},
        {u"rsquo", u"\u2019"},  {u"ldquo", u"\u201C"},  {u"rdquo", u"\u201D"},
        {u"euro", u"\u20AC"},   {u"deg", u"\u00B0"},    {u"middot", u"\u00B7"},
        {u"bull", u"\u2022"},   {u"times", u"\u00D7"},  {u"divide", u"\u00F7"},
    };
    return table;
}

std::u16string TextCodec::htmlEncode(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        switch (c) {
        case u'"':
            out += u"&quot;";
            break;
        case u'&':
            out += u"&amp;";
            break;
        case u'\'':
            out += u"&#39;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::u16string TextCodec::htmlDecode(std::u16string_view text) {
    const std::vector<char32_t> s = scalars(text);
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '&') {
            appendScalar(out, s[i++]);
            continue;
        }
        // Look for the ";" among the next 33 scalars; another "&" ends the search.
        std::size_t semicolon = 0;
        for (std::size_t k = 1; k <= 33 && i + k < s.size(); ++k) {
            if (s[i + k] == ';') {
                semicolon = k;
                break;
            }
            if (s[i + k] == '&')
                break;
        }
        std::optional<std::u16string> resolved;
        if (semicolon > 1)
            resolved = resolveEntity(s.data() + i + 1, s.data() + i + semicolon);
        if (resolved) {
            out += *resolved;
            i += semicolon + 1;
        } else {
            out.push_back(u'&');
            ++i;
        }
    }
    return out;
}

std::u16string TextCodec::jsonEscape(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + 2);
    out.push_back(u'"');
    for (char16_t c : text) {
        switch (c) {
        case u'\b':
            out += u"\\b";
            break;
        case u'\t':
            out += u"\\t";
            break;
        case u'\n':
            out += u"\\n";
            break;
        case u'\f':
            out += u"\\f";
            break;
        case u'\r':
            out += u"\\r";
            break;
        case u'"':
            out += u"\\\"";
            break;
        case u'\\':
            out += u"\\\\";
            break;
        case 0x2028:
            out += u"\\u2028";
            break;
        case 0x2029:
            out += u"\\u2029";
            break;
        default:
            if (c < 0x20) {
                static constexpr char lowerHex[] = "0123456789abcdef";
                out += u"\\u00";
                out.push_back(static_cast<char16_t>(lowerHex[c >> 4]));
                out.push_back(static_cast<char16_t>(lowerHex[c & 0xF]));
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back(u'"');
    return out;
}

std::expected<std::u16string, FormatError> TextCodec::jsonUnescape(std::u16string_view text) {
    const std::string input = FormatText::toUTF8(text);
    std::size_t begin = 0, end = input.size();
    if (input.size() >= 2 && input.front() == '"' && input.back() == '"') {
        begin = 1;
        end = input.size() - 1;
    }
    auto failAt = [&](std::size_t at, const char16_t* message) {
        return std::unexpected(FormatError::at(input, static_cast<std::int64_t>(at), message));
    };
    // The value of the \u escape at `at`, or -1 when it is not one with four hex digits.
    auto escapeValue = [&](std::size_t at) -> long {
        if (at + 6 > end || input[at] != '\\' || input[at + 1] != 'u')
            return -1;
        long value = 0;
        for (std::size_t k = at + 2; k < at + 6; ++k) {
            const int digit = hexValue(static_cast<unsigned char>(input[k]));
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
        }
        return value;
    };
    std::string out;
    out.reserve(end - begin);
    std::size_t i = begin;
    while (i < end) {
        const char c = input[i];
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= end)
            return failAt(i, u"Yarım kaçış dizisi");
        const char e = input[i + 1];
        const char* simple = nullptr;
        switch (e) {
        case '"': simple = "\""; break;
        case '/': simple = "/"; break;
        case '\\': simple = "\\"; break;
        case 'b': simple = "\b"; break;
        case 'f': simple = "\f"; break;
        case 'n': simple = "\n"; break;
        case 'r': simple = "\r"; break;
        case 't': simple = "\t"; break;
        default: break;
        }
        if (simple) {
            out += simple;
            i += 2;
            continue;
        }
        if (e != 'u')
            return failAt(i, u"Geçersiz kaçış dizisi");
        const long value = escapeValue(i);
        if (value < 0)
            return failAt(i, u"Geçersiz \\u kaçışı");
        if (value < 0xD800 || value > 0xDFFF) {
            appendUTF8(out, static_cast<char32_t>(value));
            i += 6;
            continue;
        }
        const long low = value <= 0xDBFF ? escapeValue(i + 6) : -1;
        if (low < 0xDC00 || low > 0xDFFF)
            return failAt(i, u"Eşsiz vekil (surrogate) \\u kaçışı");
        appendUTF8(out, static_cast<char32_t>((value - 0xD800) * 0x400 + (low - 0xDC00) + 0x10000));
        i += 12;
    }
    return FormatText::fromUTF8(out);
}

std::u16string TextCodec::base64Encode(std::u16string_view text) {
    const std::string encoded = base64::encode(FormatText::toUTF8(text));
    return std::u16string(encoded.begin(), encoded.end());
}

std::expected<std::u16string, FormatError> TextCodec::base64Decode(std::u16string_view text) {
    const std::string input = FormatText::toUTF8(text);
    std::string kept;
    kept.reserve(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        const char c = input[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '+' || c == '/' || c == '=')
            kept.push_back(c);
        else if (c == '-')
            kept.push_back('+');
        else if (c == '_')
            kept.push_back('/');
        else if (c != '\t' && c != '\n' && c != '\r' && c != ' ')
            return std::unexpected(FormatError::at(input, static_cast<std::int64_t>(i),
                                                   u"Geçersiz Base64 karakteri"));
    }
    while (kept.size() % 4 != 0)
        kept.push_back('=');
    // Padding misplaced, or data after it.
    auto out = base64::decode(kept);
    if (!out)
        return std::unexpected(FormatError::unpositioned(u"Geçersiz Base64 (uzunluk ya da dolgu)"));
    if (!FormatText::isValidUTF8(*out))
        return std::unexpected(notUTF8());
    return FormatText::fromUTF8(*out);
}

std::u16string TextCodec::urlEncode(std::u16string_view text) {
    const std::string bytes = FormatText::toUTF8(text);
    std::u16string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            b == '-' || b == '.' || b == '_' || b == '~') {
            out.push_back(b);
        } else {
            out.push_back(u'%');
            out.push_back(static_cast<char16_t>(kHexDigits[b >> 4]));
            out.push_back(static_cast<char16_t>(kHexDigits[b & 0xF]));
        }
    }
    return out;
}

std::expected<std::u16string, FormatError> TextCodec::urlDecode(std::u16string_view text) {
    const std::string input = FormatText::toUTF8(text);
    std::string out;
    out.reserve(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] != '%') {
            out.push_back(input[i]);
            continue;
        }
        if (i + 3 > input.size())
            return std::unexpected(FormatError::at(input, static_cast<std::int64_t>(i),
                                                   u"Geçersiz yüzde kodlaması"));
        const int hi = hexValue(static_cast<unsigned char>(input[i + 1]));
        const int lo = hexValue(static_cast<unsigned char>(input[i + 2]));
        if (hi < 0 || lo < 0)
            return std::unexpected(FormatError::at(input, static_cast<std::int64_t>(i),
                                                   u"Geçersiz yüzde kodlaması"));
        out.push_back(static_cast<char>(hi << 4 | lo));
        i += 2;
    }
    if (!FormatText::isValidUTF8(out))
        return std::unexpected(notUTF8());
    return FormatText::fromUTF8(out);
}

} // namespace vendrix
