// The SQL tokenizer: quoting and comment conventions of the common dialects, keywords
// recognised by their upper-cased text.

#include "core/formatting/SQLFormatterDetail.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

namespace vendrix::sql {

namespace {

using WordSet = std::unordered_set<std::string_view>;

const WordSet& keywords() {
    static const WordSet set{"ADD",       "ALL",          "ALTER",
                             "AND",       "ANY",          "AS",
                             "ASC",       "BEGIN",        "BETWEEN",
                             "BY",        "CASE",         "CAST",
                             "CHECK",     "COLUMN",       "COMMIT",
                             "CONFLICT",  "CONSTRAINT",   "CREATE",
                             "CROSS",     "CURRENT_DATE", "CURRENT_TIMESTAMP",
                             "DATABASE",  "DECLARE",      "DEFAULT",
                             "DELETE",    "DESC",         "DISTINCT",
                             "DO",        "DROP",         "ELSE",
                             "END",       "ESCAPE",       "EXCEPT",
                             "EXEC",      "EXISTS",       "FALSE",
                             "FETCH",     "FIRST",        "FOR",
                             "FOREIGN",   "FROM",         "FULL",
                             "GRANT",     "GROUP",        "HAVING",
                             "IF",        "ILIKE",        "IN",
                             "INDEX",     "INNER",        "INSERT",
                             "INTERSECT", "INTO",         "IS",
                             "JOIN",      "KEY",          "LAST",
                             "LATERAL",   "LEFT",         "LIKE",
                             "LIMIT",     "MERGE",        "NATURAL",
                             "NEXT",      "NOT",          "NULL",
                             "NULLS",     "OFFSET",       "ON",
                             "ONLY",      "OR",           "ORDER",
                             "OUTER",     "OVER",         "PARTITION",
                             "PRIMARY",   "PROCEDURE",    "REFERENCES",
                             "RETURNING", "RIGHT",        "ROLLBACK",
                             "ROW",       "ROWS",         "SELECT",
                             "SET",       "TABLE",        "THEN",
                             "TO",        "TOP",          "TRANSACTION",
                             "TRUE",      "TRUNCATE",     "UNION",
                             "UNIQUE",    "UPDATE",       "USING",
                             "VALUES",    "VIEW",         "WHEN",
                             "WHERE",     "WINDOW",       "WITH",
                             "BIGINT",    "BIT",          "BOOLEAN",
                             "CHAR",      "DATE",         "DATETIME",
                             "DECIMAL",   "DOUBLE",       "FLOAT",
                             "INT",       "INTEGER",      "NCHAR",
                             "NUMERIC",   "NVARCHAR",     "REAL",
                             "SMALLINT",  "TEXT",         "TIME",
                             "TIMESTAMP", "UUID",         "VARCHAR",
                             "AVG",       "COALESCE",     "COUNT",
                             "MAX",       "MIN",          "NULLIF",
                             "SUM"};
    return set;
}
const WordSet& twoByteOperators() {
    static const WordSet set{"<=", ">=", "<>", "!=", "||", "::", "->", "=>", ":="};
    return set;
}

bool isLetter(unsigned char byte) {
    return (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
}
bool isDigit(unsigned char byte) {
    return byte >= '0' && byte <= '9';
}

} // namespace

std::optional<FormatFailure> tokenize(std::string_view s, std::vector<Tok>& tokens,
                                      ProgressToken* token) {
    const auto n = static_cast<std::int64_t>(s.size());
    const auto at = [&](std::int64_t i) {
        return static_cast<unsigned char>(s[static_cast<std::size_t>(i)]);
    };
    PhaseProgress progress(token, n, 0.0, 0.5);
    std::int64_t i = 0;
    if (s.starts_with("\xEF\xBB\xBF"))
        i = 3;
    bool newline = false;
    // "[" scans to the end of its line for "]"; remembering the last scan keeps a line full of
    // "[" linear.
    std::int64_t bracketScanFrom = -1, bracketScanStop = -1;
    bool bracketFound = false;
    const auto add = [&](std::int64_t start, std::int64_t end, Kind kind) {
        tokens.push_back(Tok{start, end, kind, {}, newline});
        newline = false;
    };
    while (i < n) {
        if (!progress.at(i))
            return FormatFailure::cancelled();
        const unsigned char byte = at(i);
        const unsigned char next = i + 1 < n ? at(i + 1) : 0;
        if (byte == ' ' || byte == '\t' || byte == '\r') {
            ++i;
        } else if (byte == '\n') {
            newline = true;
            ++i;
        } else if (byte == '\'' || byte == '"' || byte == '`') {
            std::int64_t j = i + 1;
            for (;;) {
                if (j >= n)
                    return FormatFailure{u"Kapanmamış dize", i};
                if ((j & 0xFFFFF) < 2 && progress.isCancelled())
                    return FormatFailure::cancelled();
                const unsigned char c = at(j);
                if (c == byte) {
                    if (j + 1 < n && at(j + 1) == byte) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                j += (byte == '\'' && c == '\\') ? 2 : 1;
            }
            add(i, j + 1, byte == '\'' ? Kind::string : Kind::quoted);
            i = j + 1;
        } else if (byte == '[') {
            // A "[" inside the span of the previous scan stops where that scan stopped.
            if (!(bracketScanFrom >= 0 && i > bracketScanFrom && i < bracketScanStop)) {
                std::int64_t j = i + 1;
                while (j < n && at(j) != '\n' && at(j) != ']')
                    ++j;
                bracketScanFrom = i;
                bracketScanStop = j;
                bracketFound = j < n && at(j) == ']';
            }
            if (bracketFound) {
                add(i, bracketScanStop + 1, Kind::quoted);
                i = bracketScanStop + 1;
            } else {
                add(i, i + 1, Kind::op);
                ++i;
            }
        } else if ((byte == '-' && next == '-') || (byte == '#' && (next == ' ' || next == '\t'))) {
            const void* lf = std::memchr(s.data() + i, '\n', static_cast<std::size_t>(n - i));
            std::int64_t end = lf ? static_cast<const char*>(lf) - s.data() : n;
            if (byte == '-')
                while (end > i + 2 &&
                       (at(end - 1) == ' ' || at(end - 1) == '\t' || at(end - 1) == '\r'))
                    --end;
            add(i, end, Kind::lineComment);
            i = end;
        } else if (byte == '/' && next == '*') {
            // Searched in slices so that a cancellation is seen inside a huge comment.
            constexpr std::size_t kSlice = 1 << 20;
            std::size_t close = std::string_view::npos;
            for (auto from = static_cast<std::size_t>(i + 2); from < s.size(); from += kSlice) {
                close = s.substr(0, std::min(s.size(), from + kSlice + 1)).find("*/", from);
                if (close != std::string_view::npos)
                    break;
                if (progress.isCancelled())
                    return FormatFailure::cancelled();
            }
            if (close == std::string_view::npos)
                return FormatFailure{u"Kapanmamış yorum", i};
            add(i, static_cast<std::int64_t>(close) + 2, Kind::blockComment);
            i = static_cast<std::int64_t>(close) + 2;
        } else if (byte == '(' || byte == ')' || byte == ',' || byte == ';') {
            add(i, i + 1,
                byte == '('   ? Kind::open
                : byte == ')' ? Kind::close
                : byte == ',' ? Kind::comma
                              : Kind::semicolon);
            ++i;
        } else if (isDigit(byte) || (byte == '.' && isDigit(next))) {
            std::int64_t j = i + 1;
            while (j < n && (isLetter(at(j)) || isDigit(at(j)) || at(j) == '_' || at(j) == '.' ||
                             at(j) >= 0x80))
                ++j;
            add(i, j, Kind::number);
            i = j;
        } else if (byte == '.') {
            add(i, i + 1, Kind::dot);
            ++i;
        } else if (isLetter(byte) || byte == '_' || byte == '@' || byte == '$' || byte >= 0x80) {
            std::int64_t j = i + 1;
            while (j < n && (isLetter(at(j)) || isDigit(at(j)) || at(j) == '_' || at(j) == '$' ||
                             at(j) >= 0x80))
                ++j;
            add(i, j, Kind::word);
            constexpr std::int64_t kLongestKeyword = 17;
            if (byte != '@' && j - i <= kLongestKeyword) {
                std::array<char, kLongestKeyword> upper{};
                for (std::int64_t k = i; k < j; ++k) {
                    const unsigned char c = at(k);
                    upper[static_cast<std::size_t>(k - i)] =
                        static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
                }
                auto found = keywords().find(
                    std::string_view(upper.data(), static_cast<std::size_t>(j - i)));
                if (found != keywords().end())
                    tokens.back().keyword = *found;
            }
            i = j;
        } else {
            std::int64_t length = 1;
            if (i + 1 < n && twoByteOperators().contains(s.substr(static_cast<std::size_t>(i), 2)))
                length = (byte == '-' && next == '>' && i + 2 < n && at(i + 2) == '>') ? 3 : 2;
            add(i, i + length, Kind::op);
            i += length;
        }
    }
    if (!progress.finish())
        return FormatFailure::cancelled();
    return std::nullopt;
}

} // namespace vendrix::sql
