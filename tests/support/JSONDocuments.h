#pragma once

// Random JSON-with-comments documents for the differential tests of the JSON byte paths.
#include "core/formatting/JSONFormatter.h"

#include <cstdint>
#include <random>
#include <string>

namespace vendrix::test {

/// Mostly valid documents with comments, escapes (surrogate pairs and lone halves), non-ASCII
/// text, every kind of white space and occasionally deep nesting; about a third are damaged
/// afterwards (bytes inserted, deleted, replaced or the end cut off, invalid UTF-8 included).
class JSONDocuments {
public:
    explicit JSONDocuments(std::uint32_t seed) : m_rng(seed) {}

    std::string next() {
        std::string out;
        if (pick(10) == 0)
            out += "\xEF\xBB\xBF";
        space(out);
        if (pick(40) == 0) {
            // Deep nesting, with a sprinkling of members.
            std::string closers;
            for (int depth = 1 + pick(800); depth > 0; --depth) {
                const bool member = pick(4) == 0;
                out += member ? "{\"k\":" : "[";
                closers += member ? '}' : ']';
            }
            value(out, 0, 0);
            out.append(closers.rbegin(), closers.rend());
        } else {
            value(out, 0, 1 + pick(pick(8) == 0 ? 40 : 5));
        }
        space(out);
        if (pick(3) == 0)
            out += '\n';
        if (pick(3) == 0)
            damage(out);
        return out;
    }

private:
    int pick(int n) { return static_cast<int>(m_rng() % static_cast<std::uint32_t>(n)); }

    void space(std::string& out) {
        static const char* const kSpaces[] = {"", "", "", " ", "\n", "\t", "\r\n", "  \n  ",
                                              "// line ç\n", "/* block */", " /* a\nb */ ",
                                              "//\r\n", "/**/"};
        out += kSpaces[pick(std::size(kSpaces))];
    }

    void string(std::string& out) {
        static const char* const kPieces[] = {"a", "key", " ", "ç", "ğüşİı", "€", "\xF0\x9F\x98\x80",
                                              "\\n", "\\\"", "\\\\", "\\/", "\\u00e7", "\\uD83D\\uDE00",
                                              "\\uDE00", "\\t", "\x7F", "\xF4\x8F\xBF\xBF"};
        out += '"';
        for (int i = pick(5); i > 0; --i)
            out += kPieces[pick(std::size(kPieces))];
        out += '"';
    }

    void value(std::string& out, int depth, int maxDepth) {
        static const char* const kScalars[] = {"0", "-1", "12.5e3", "1E-2", "-0.0", "true",
                                               "false", "null", "123456789012345678901234567890"};
        const int choice = depth >= maxDepth ? 2 + pick(2) : pick(4);
        if (choice == 2) {
            string(out);
        } else if (choice == 3) {
            out += kScalars[pick(std::size(kScalars))];
        } else {
            const bool object = choice == 0;
            out += object ? '{' : '[';
            for (int i = 0, n = pick(5); i < n; ++i) {
                space(out);
                if (i > 0) {
                    out += ',';
                    space(out);
                }
                if (object) {
                    string(out);
                    space(out);
                    out += ':';
                    space(out);
                }
                value(out, depth + 1, maxDepth);
            }
            space(out);
            out += object ? '}' : ']';
        }
    }

    void damage(std::string& text) {
        static const std::string kAlphabet =
            "{}[]:,\"\\/*tfnule0123456789.-+ \n\r\t\x01\x7F\xC3\xA7\xF0\x9F\x98\x80\xFF\x80";
        for (int e = 1 + pick(3); e > 0 && !text.empty(); --e) {
            const std::size_t at = m_rng() % (text.size() + 1);
            const char c = kAlphabet[pick(static_cast<int>(kAlphabet.size()))];
            switch (pick(4)) {
            case 0:
                text.insert(at, 1, c);
                break;
            case 1:
                if (at < text.size())
                    text.erase(at, 1);
                break;
            case 2:
                if (at < text.size())
                    text[at] = c;
                break;
            default:
                text.resize(at);
                break;
            }
        }
    }

    std::mt19937 m_rng;
};

/// Empty when the streaming formatter gives `input` the same result as the token pipeline
/// (bytes, or message, line, column and offset) for every indent and for minify; otherwise
/// what differs.
inline std::string streamDisagreement(std::string_view input) {
    const std::optional<FormatIndent> indents[] = {FormatIndent::spaces(2), FormatIndent::spaces(4),
                                                   FormatIndent::tab(), FormatIndent::spaces(0),
                                                   std::nullopt};
    for (const auto& indent : indents) {
        auto streamed = JSONFormatter::streamUTF8(input, indent);
        auto tokens = JSONFormatter::formatTokensUTF8(input, indent, false);
        if (streamed == tokens)
            continue;
        auto describe = [](const std::expected<std::string, FormatError>& r) {
            if (r)
                return "output " + *r;
            std::string message;
            for (char16_t c : r.error().message)
                message += c < 0x80 ? static_cast<char>(c) : '?';
            return "error " + std::to_string(r.error().line) + ":" +
                   std::to_string(r.error().column) + ":" + std::to_string(r.error().offset) +
                   " " + message;
        };
        return (indent ? "pretty: " : "minify: ") + describe(streamed) + "\n  tokens: " +
               describe(tokens);
    }
    return {};
}

} // namespace vendrix::test
