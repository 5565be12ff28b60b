#include "core/formatting/SQLFormatter.h"

#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>
#include <vector>

namespace vendrix {

namespace {

using Kind = SQLFormatter::Kind;
using WordSet = std::unordered_set<std::string_view>;

constexpr std::uint64_t kMinOutputLimit = 67108864;

/// One token. `keyword` points into the keyword set and is empty for everything else.
struct Tok {
    std::int64_t start;
    std::int64_t end;
    Kind kind;
    std::string_view keyword;
    bool newlineBefore;
};

/// One open parenthesis while writing.
struct Paren {
    bool isSubquery;
    std::int64_t baseLevel;
};

struct Failure {
    std::u16string message;
    std::optional<std::int64_t> byteOffset;
};

const WordSet& keywords() {
    static const WordSet set{
        "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "BEGIN", "BETWEEN", "BY", "CASE",
        "CAST", "CHECK", "COLUMN", "COMMIT", "CONFLICT", "CONSTRAINT", "CREATE", "CROSS",
        "CURRENT_DATE", "CURRENT_TIMESTAMP", "DATABASE", "DECLARE", "DEFAULT", "DELETE", "DESC",
        "DISTINCT", "DO", "DROP", "ELSE", "END", "ESCAPE", "EXCEPT", "EXEC", "EXISTS", "FALSE",
        "FETCH", "FIRST", "FOR", "FOREIGN", "FROM", "FULL", "GRANT", "GROUP", "HAVING", "IF",
        "ILIKE", "IN", "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY",
        "LAST", "LATERAL", "LEFT", "LIKE", "LIMIT", "MERGE", "NATURAL", "NEXT", "NOT", "NULL",
        "NULLS", "OFFSET", "ON", "ONLY", "OR", "ORDER", "OUTER", "OVER", "PARTITION", "PRIMARY",
        "PROCEDURE", "REFERENCES", "RETURNING", "RIGHT", "ROLLBACK", "ROW", "ROWS", "SELECT",
        "SET", "TABLE", "THEN", "TO", "TOP", "TRANSACTION", "TRUE", "TRUNCATE", "UNION",
        "UNIQUE", "UPDATE", "USING", "VALUES", "VIEW", "WHEN", "WHERE", "WINDOW", "WITH",
        "BIGINT", "BIT", "BOOLEAN", "CHAR", "DATE", "DATETIME", "DECIMAL", "DOUBLE", "FLOAT",
        "INT", "INTEGER", "NCHAR", "NUMERIC", "NVARCHAR", "REAL", "SMALLINT", "TEXT", "TIME",
        "TIMESTAMP", "UUID", "VARCHAR", "AVG", "COALESCE", "COUNT", "MAX", "MIN", "NULLIF",
        "SUM"};
    return set;
}
const WordSet& clauseKeywords() {
    static const WordSet set{"SELECT", "FROM",   "WHERE",     "HAVING", "LIMIT",  "OFFSET",
                             "UNION",  "EXCEPT", "INTERSECT", "VALUES", "SET",    "INSERT",
                             "UPDATE", "DELETE", "RETURNING", "WINDOW", "FETCH",  "MERGE",
                             "TRUNCATE", "CREATE", "ALTER",   "DROP"};
    return set;
}
const WordSet& functionKeywords() {
    static const WordSet set{"AVG", "CAST",    "CHAR",    "COALESCE", "COUNT", "DECIMAL",
                             "FLOAT", "MAX",   "MIN",     "NCHAR",    "NULLIF", "NUMERIC",
                             "NVARCHAR", "OVER", "SUM",   "VARCHAR"};
    return set;
}
const WordSet& joinModifiers() {
    static const WordSet set{"INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL", "OUTER",
                             "LATERAL"};
    return set;
}
const WordSet& subqueryStarters() {
    static const WordSet set{"SELECT", "WITH"};
    return set;
}
const WordSet& objectWords() {
    static const WordSet set{"INTO", "TABLE", "VIEW", "EXISTS", "UPDATE"};
    return set;
}
const WordSet& conditionClauses() {
    static const WordSet set{"WHERE", "HAVING", "ON"};
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

/// Steps the bound progress object once per 64 KiB window of a phase's position.
class PhaseProgress {
public:
    PhaseProgress(std::int64_t total, double from, double to)
        : m_progress(FormatProgress::current()), m_total(total), m_from(from), m_to(to) {}
    bool at(std::int64_t position) {
        if (m_progress == nullptr || (position >> 16) == m_window)
            return true;
        m_window = position >> 16;
        return m_progress->step(position, m_total, m_from, m_to);
    }
    /// Reads the cancellation flag, for long scans inside one token.
    bool cancelledNow() const { return m_progress != nullptr && m_progress->isCancelled(); }
    /// The phase is complete: raises the fraction to the phase's end.
    bool finish() { return m_progress == nullptr || m_progress->step(m_total, m_total, m_from, m_to); }

private:
    FormatProgress* m_progress;
    std::int64_t m_total;
    double m_from, m_to;
    std::int64_t m_window = -1;
};

Failure cancelledFailure() {
    return Failure{std::u16string(FormatProgress::cancelledMessage), std::nullopt};
}

std::optional<Failure> tokenize(std::string_view s, std::vector<Tok>& tokens) {
    const auto n = static_cast<std::int64_t>(s.size());
    const auto at = [&](std::int64_t i) { return static_cast<unsigned char>(s[static_cast<std::size_t>(i)]); };
    PhaseProgress progress(n, 0.0, 0.5);
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
            return cancelledFailure();
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
                    return Failure{u"Kapanmamış dize", i};
                if ((j & 0xFFFFF) < 2 && progress.cancelledNow())
                    return cancelledFailure();
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
                while (end > i + 2 && (at(end - 1) == ' ' || at(end - 1) == '\t' || at(end - 1) == '\r'))
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
                if (progress.cancelledNow())
                    return cancelledFailure();
            }
            if (close == std::string_view::npos)
                return Failure{u"Kapanmamış yorum", i};
            add(i, static_cast<std::int64_t>(close) + 2, Kind::blockComment);
            i = static_cast<std::int64_t>(close) + 2;
        } else if (byte == '(' || byte == ')' || byte == ',' || byte == ';') {
            add(i, i + 1,
                byte == '(' ? Kind::open : byte == ')' ? Kind::close : byte == ',' ? Kind::comma
                                                                                    : Kind::semicolon);
            ++i;
        } else if (isDigit(byte) || (byte == '.' && isDigit(next))) {
            std::int64_t j = i + 1;
            while (j < n && (isLetter(at(j)) || isDigit(at(j)) || at(j) == '_' || at(j) == '.' || at(j) >= 0x80))
                ++j;
            add(i, j, Kind::number);
            i = j;
        } else if (byte == '.') {
            add(i, i + 1, Kind::dot);
            ++i;
        } else if (isLetter(byte) || byte == '_' || byte == '@' || byte == '$' || byte >= 0x80) {
            std::int64_t j = i + 1;
            while (j < n && (isLetter(at(j)) || isDigit(at(j)) || at(j) == '_' || at(j) == '$' || at(j) >= 0x80))
                ++j;
            add(i, j, Kind::word);
            constexpr std::int64_t kLongestKeyword = 17;
            if (byte != '@' && j - i <= kLongestKeyword) {
                std::array<char, kLongestKeyword> upper{};
                for (std::int64_t k = i; k < j; ++k) {
                    const unsigned char c = at(k);
                    upper[static_cast<std::size_t>(k - i)] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
                }
                auto found = keywords().find(std::string_view(upper.data(), static_cast<std::size_t>(j - i)));
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
        return cancelledFailure();
    return std::nullopt;
}

class Writer {
public:
    Writer(std::string_view input, const std::vector<Tok>& tokens, FormatIndent indent,
           std::string& out)
        : m_s(input), m_tokens(tokens), m_out(out),
          m_unitIsTab(indent.isTab()),
          m_unitLength(indent.isTab() ? 1 : static_cast<std::size_t>(std::max(indent.spaceCount(), 0))),
          m_limit(std::max<std::uint64_t>(16 * std::uint64_t{input.size()}, kMinOutputLimit)) {}

    std::optional<Failure> run();

private:
    std::string_view text(const Tok& tok) const {
        return m_s.substr(static_cast<std::size_t>(tok.start), static_cast<std::size_t>(tok.end - tok.start));
    }
    /// The next token after `i` that is not a comment, or null.
    const Tok* nextSignificant(std::size_t i) const {
        for (std::size_t j = i + 1; j < m_tokens.size(); ++j)
            if (m_tokens[j].kind != Kind::lineComment && m_tokens[j].kind != Kind::blockComment)
                return &m_tokens[j];
        return nullptr;
    }
    /// Breaks the line at `level`; false when the indentation would exceed the output limit.
    bool breakLine(std::int64_t level);
    /// Decides the line break before token `i`: true when the token starts a new line.
    bool breakBefore(std::size_t i, bool& fits);
    bool wantsSpace(std::size_t i) const;
    void afterToken(std::size_t i);

    std::string_view m_s;
    const std::vector<Tok>& m_tokens;
    std::string& m_out;
    bool m_unitIsTab;
    std::size_t m_unitLength;
    std::uint64_t m_limit;
    std::string m_indentRun;

    std::int64_t m_level = 0;
    std::vector<Paren> m_parens;
    std::string_view m_clause;
    bool m_betweenPending = false;
    bool m_newlinePending = false;
    bool m_blankLine = false;
    bool m_space = false;
};

bool Writer::breakLine(std::int64_t level) {
    while (!m_out.empty() && m_out.back() == ' ')
        m_out.pop_back();
    const std::uint64_t needed = static_cast<std::uint64_t>(std::max<std::int64_t>(level, 0)) * m_unitLength;
    if (m_out.size() + 2 + needed > m_limit)
        return false;
    if (!m_out.empty()) {
        m_out.push_back('\n');
        if (m_blankLine)
            m_out.push_back('\n');
    }
    if (needed > m_indentRun.size())
        m_indentRun.assign(static_cast<std::size_t>(2 * needed), m_unitIsTab ? '\t' : ' ');
    m_out.append(m_indentRun.data(), static_cast<std::size_t>(needed));
    m_newlinePending = false;
    m_blankLine = false;
    return true;
}

bool Writer::breakBefore(std::size_t i, bool& fits) {
    const Tok& tok = m_tokens[i];
    const Tok* previous = i > 0 ? &m_tokens[i - 1] : nullptr;
    const std::string_view keyword = tok.keyword;
    const auto breakAt = [&](std::int64_t level) {
        fits = breakLine(level);
        return true;
    };
    if (tok.kind == Kind::lineComment || tok.kind == Kind::blockComment) {
        if (tok.newlineBefore && !m_out.empty())
            return breakAt(m_level);
        if (m_newlinePending && !(previous && previous->kind == Kind::semicolon))
            return breakAt(m_level);
        return false;
    }
    if (!keyword.empty()) {
        if (clauseKeywords().contains(keyword)) {
            m_clause = keyword;
            const bool exempt = (keyword == "FROM" && previous && previous->keyword == "DELETE") ||
                                i == 0 ||
                                (keyword == "SELECT" && previous && previous->kind == Kind::open &&
                                 !m_newlinePending);
            if (!exempt)
                return breakAt(m_level);
        } else if (keyword == "GROUP" || keyword == "ORDER" || keyword == "PARTITION") {
            const Tok* following = nextSignificant(i);
            const bool insideNonQuery = !m_parens.empty() && !m_parens.back().isSubquery;
            if (following && following->keyword == "BY" && !insideNonQuery) {
                m_clause = keyword;
                if (i > 0)
                    return breakAt(m_level);
            }
        } else if (joinModifiers().contains(keyword)) {
            const Tok* following = nextSignificant(i);
            const bool afterModifier = previous && joinModifiers().contains(previous->keyword);
            if (!afterModifier && following &&
                (following->keyword == "JOIN" || joinModifiers().contains(following->keyword))) {
                m_clause = "JOIN";
                return breakAt(m_level);
            }
        } else if (keyword == "JOIN") {
            m_clause = "JOIN";
            if (!(previous && joinModifiers().contains(previous->keyword)))
                return breakAt(m_level);
        } else if (keyword == "ON") {
            m_clause = "ON";
        } else if (keyword == "BETWEEN") {
            m_betweenPending = true;
        } else if (keyword == "AND" && m_betweenPending) {
            m_betweenPending = false;
        } else if ((keyword == "AND" || keyword == "OR") && conditionClauses().contains(m_clause)) {
            return breakAt(m_level + 1);
        }
    }
    if (tok.kind == Kind::close && !m_parens.empty() && m_parens.back().isSubquery)
        return breakAt(m_parens.back().baseLevel);
    if (m_newlinePending)
        return breakAt(m_level);
    return false;
}

bool Writer::wantsSpace(std::size_t i) const {
    if (!m_space)
        return false;
    const Tok& tok = m_tokens[i];
    if (tok.kind == Kind::close || tok.kind == Kind::comma || tok.kind == Kind::semicolon ||
        tok.kind == Kind::dot)
        return false;
    if (tok.kind == Kind::op && text(tok) == "::")
        return false;
    if (tok.kind == Kind::open && i > 0) {
        const Tok& previous = m_tokens[i - 1];
        if (functionKeywords().contains(previous.keyword))
            return false;
        if (previous.kind == Kind::word && previous.keyword.empty() &&
            !(i > 1 && objectWords().contains(m_tokens[i - 2].keyword)))
            return false;
    }
    return true;
}

void Writer::afterToken(std::size_t i) {
    const Tok& tok = m_tokens[i];
    switch (tok.kind) {
    case Kind::lineComment:
        m_newlinePending = true;
        m_space = false;
        break;
    case Kind::open: {
        const Tok* following = nextSignificant(i);
        const bool subquery = following && subqueryStarters().contains(following->keyword);
        m_parens.push_back(Paren{subquery, m_level});
        if (subquery) {
            m_newlinePending = true;
            ++m_level;
        }
        m_space = false;
        break;
    }
    case Kind::close:
        if (!m_parens.empty()) {
            const Paren paren = m_parens.back();
            m_parens.pop_back();
            if (paren.isSubquery)
                m_level = paren.baseLevel;
        }
        m_space = true;
        break;
    case Kind::semicolon:
        m_level = 0;
        m_clause = {};
        m_betweenPending = false;
        m_parens.clear();
        m_newlinePending = true;
        m_blankLine = true;
        m_space = false;
        break;
    case Kind::dot:
        m_space = false;
        break;
    case Kind::op:
        m_space = text(tok) != "::";
        break;
    default:
        m_space = true;
        break;
    }
}

std::optional<Failure> Writer::run() {
    m_out.reserve(m_s.size() + m_s.size() / 4);
    PhaseProgress progress(static_cast<std::int64_t>(m_tokens.size()), 0.5, 1.0);
    for (std::size_t i = 0; i < m_tokens.size(); ++i) {
        if (!progress.at(static_cast<std::int64_t>(i)))
            return cancelledFailure();
        const Tok& tok = m_tokens[i];
        bool fits = true;
        const bool broke = breakBefore(i, fits);
        if (!fits)
            return Failure{u"Çıktı çok büyük (aşırı iç içe yapı)", tok.start};
        if (!broke && wantsSpace(i))
            m_out.push_back(' ');
        if (!tok.keyword.empty())
            m_out += tok.keyword;
        else
            m_out += text(tok);
        if (m_out.size() > m_limit)
            return Failure{u"Çıktı çok büyük (aşırı iç içe yapı)", tok.start};
        afterToken(i);
    }
    if (!progress.finish())
        return cancelledFailure();
    return std::nullopt;
}

std::expected<std::string, FormatError> prettyUnfinished(std::string_view utf8,
                                                        FormatIndent indent) {
    std::vector<Tok> tokens;
    std::optional<Failure> failure = tokenize(utf8, tokens);
    std::string out;
    if (!failure)
        failure = Writer(utf8, tokens, indent, out).run();
    if (failure) {
        if (!failure->byteOffset)
            return std::unexpected(FormatError::unpositioned(std::move(failure->message)));
        return std::unexpected(
            FormatError::at(utf8, *failure->byteOffset, std::move(failure->message)));
    }
    return out;
}

} // namespace

std::expected<std::u16string, FormatError> SQLFormatter::pretty(std::u16string_view text,
                                                                FormatIndent indent) {
    auto bytes = FormatText::inputBytes(text);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto out = prettyUnfinished(*bytes, indent);
    if (!out)
        return std::unexpected(std::move(out.error()));
    return FormatText::finish(std::move(*out), *bytes);
}

std::expected<std::string, FormatError> SQLFormatter::prettyBytes(std::string_view utf8,
                                                                 FormatIndent indent) {
    auto out = prettyUnfinished(utf8, indent);
    if (out)
        FormatText::finishBytes(*out, utf8);
    return out;
}

} // namespace vendrix
