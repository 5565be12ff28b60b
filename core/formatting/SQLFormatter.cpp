#include "core/formatting/SQLFormatter.h"

#include "core/formatting/FormatText.h"
#include "core/formatting/SQLFormatterDetail.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace vendrix {

namespace sql {
namespace {

using WordSet = std::unordered_set<std::string_view>;

constexpr std::uint64_t kMinOutputLimit = 67108864;

/// One open parenthesis while writing.
struct Paren {
    bool isSubquery;
    std::int64_t baseLevel;
};

const WordSet& clauseKeywords() {
    static const WordSet set{"SELECT",   "FROM",   "WHERE",     "HAVING", "LIMIT", "OFFSET",
                             "UNION",    "EXCEPT", "INTERSECT", "VALUES", "SET",   "INSERT",
                             "UPDATE",   "DELETE", "RETURNING", "WINDOW", "FETCH", "MERGE",
                             "TRUNCATE", "CREATE", "ALTER",     "DROP"};
    return set;
}
const WordSet& functionKeywords() {
    static const WordSet set{"AVG",      "CAST", "CHAR", "COALESCE", "COUNT",  "DECIMAL",
                             "FLOAT",    "MAX",  "MIN",  "NCHAR",    "NULLIF", "NUMERIC",
                             "NVARCHAR", "OVER", "SUM",  "VARCHAR"};
    return set;
}
const WordSet& joinModifiers() {
    static const WordSet set{"INNER", "LEFT",    "RIGHT", "FULL",
                             "CROSS", "NATURAL", "OUTER", "LATERAL"};
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

class Writer {
public:
    Writer(std::string_view input, const std::vector<Tok>& tokens, FormatIndent indent,
           std::string& out, ProgressToken* token)
        : m_s(input), m_tokens(tokens), m_out(out), m_token(token), m_unitIsTab(indent.isTab()),
          m_unitLength(indent.isTab() ? 1
                                      : static_cast<std::size_t>(std::max(indent.spaceCount(), 0))),
          m_limit(std::max<std::uint64_t>(16 * std::uint64_t{input.size()}, kMinOutputLimit)) {}

    std::optional<FormatFailure> run();

private:
    std::string_view text(const Tok& tok) const {
        return m_s.substr(static_cast<std::size_t>(tok.start),
                          static_cast<std::size_t>(tok.end - tok.start));
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
    ProgressToken* m_token;
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
    const std::uint64_t needed =
        static_cast<std::uint64_t>(std::max<std::int64_t>(level, 0)) * m_unitLength;
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

std::optional<FormatFailure> Writer::run() {
    m_out.reserve(m_s.size() + m_s.size() / 4);
    PhaseProgress progress(m_token, static_cast<std::int64_t>(m_tokens.size()), 0.5, 1.0);
    for (std::size_t i = 0; i < m_tokens.size(); ++i) {
        if (!progress.at(static_cast<std::int64_t>(i)))
            return FormatFailure::cancelled();
        const Tok& tok = m_tokens[i];
        bool fits = true;
        const bool broke = breakBefore(i, fits);
        if (!fits)
            return FormatFailure{u"Çıktı çok büyük (aşırı iç içe yapı)", tok.start};
        if (!broke && wantsSpace(i))
            m_out.push_back(' ');
        if (!tok.keyword.empty())
            m_out += tok.keyword;
        else
            m_out += text(tok);
        if (m_out.size() > m_limit)
            return FormatFailure{u"Çıktı çok büyük (aşırı iç içe yapı)", tok.start};
        afterToken(i);
    }
    if (!progress.finish())
        return FormatFailure::cancelled();
    return std::nullopt;
}

std::expected<std::string, FormatError> prettyUnfinished(std::string_view utf8,
                                                         FormatIndent indent,
                                                         ProgressToken* token) {
    std::vector<Tok> tokens;
    std::optional<FormatFailure> failure = tokenize(utf8, tokens, token);
    std::string out;
    if (!failure)
        failure = Writer(utf8, tokens, indent, out, token).run();
    if (failure)
        return std::unexpected(std::move(*failure).toError(utf8));
    return out;
}

} // namespace
} // namespace sql

std::expected<std::u16string, FormatError> SQLFormatter::pretty(std::u16string_view text,
                                                                FormatIndent indent,
                                                                ProgressToken* progress) {
    auto bytes = FormatText::inputBytes(text, progress);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    auto out = sql::prettyUnfinished(*bytes, indent, progress);
    if (!out)
        return std::unexpected(std::move(out.error()));
    return FormatText::finish(std::move(*out), *bytes, progress);
}

std::expected<std::string, FormatError> SQLFormatter::prettyBytes(std::string_view utf8,
                                                                  FormatIndent indent,
                                                                  ProgressToken* progress) {
    auto out = sql::prettyUnfinished(utf8, indent, progress);
    if (out)
        FormatText::finishBytes(*out, utf8);
    return out;
}

} // namespace vendrix
