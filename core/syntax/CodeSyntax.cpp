#include "core/syntax/CodeSyntax.h"

#include <string_view>

namespace vendrix {

namespace {

using Words = std::vector<std::string_view>;
using Kind = TokenKind;

StringRule rule(std::u16string open, std::u16string close, char16_t escape, bool multiline = false,
                bool doubled = false) {
    return StringRule{std::move(open), std::move(close), escape, doubled, multiline, Kind::string};
}

constexpr char16_t kBackslash = u'\\';
constexpr bool kMultiline = true;
constexpr bool kDoubled = true;

const Words& javascriptKeywords() {
    static const Words words = {
        "break",   "case",     "catch",  "class",  "const",  "continue",   "debugger",
        "default", "delete",   "do",     "else",   "export", "extends",    "finally",
        "for",     "function", "if",     "import", "in",     "instanceof", "let",
        "new",     "return",   "super",  "switch", "this",   "throw",      "try",
        "typeof",  "var",      "void",   "while",  "with",   "yield",      "async",
        "await",   "of",       "static", "get",    "set",    "from",       "as"};
    return words;
}

const Words& javascriptConstants() {
    static const Words words = {"true", "false", "null", "undefined", "NaN", "Infinity"};
    return words;
}

} // namespace

const CodeSyntax& CodeSyntax::json() {
    static const CodeSyntax syntax = [] {
        CodeSyntax s;
        s.lineComments = {u"//"};
        s.blockOpen = u"/*";
        s.blockClose = u"*/";
        s.strings = {rule(u"\"", u"\"", kBackslash), rule(u"'", u"'", kBackslash)};
        s.keywords = KeywordTable({{Kind::constant, {"true", "false", "null"}}}, false);
        s.stringKeys = true;
        return s;
    }();
    return syntax;
}

const CodeSyntax& CodeSyntax::javascript() {
    static const CodeSyntax syntax = [] {
        CodeSyntax s;
        s.lineComments = {u"//"};
        s.blockOpen = u"/*";
        s.blockClose = u"*/";
        s.strings = {rule(u"\"", u"\"", kBackslash), rule(u"'", u"'", kBackslash),
                     rule(u"`", u"`", kBackslash, kMultiline)};
        s.keywords = KeywordTable(
            {{Kind::keyword, javascriptKeywords()}, {Kind::constant, javascriptConstants()}},
            false);
        s.identifierExtra = u'$';
        s.attributes = true;
        s.functionCalls = true;
        s.regexLiterals = true;
        return s;
    }();
    return syntax;
}

const CodeSyntax& CodeSyntax::typescript() {
    static const CodeSyntax syntax = [] {
        CodeSyntax s = javascript();
        Words keywords = javascriptKeywords();
        for (std::string_view word :
             {"interface", "type", "enum", "implements", "namespace", "module", "declare",
              "abstract", "private", "protected", "public", "readonly", "is", "keyof", "infer",
              "satisfies", "override", "asserts", "unique"})
            keywords.push_back(word);
        s.keywords = KeywordTable({{Kind::keyword, keywords},
                                   {Kind::constant, javascriptConstants()},
                                   {Kind::type,
                                    {"string", "number", "boolean", "object", "symbol", "bigint",
                                     "any", "unknown", "never"}}},
                                  false);
        s.capitalizedTypes = true;
        return s;
    }();
    return syntax;
}

const CodeSyntax& CodeSyntax::swift() {
    static const CodeSyntax syntax = [] {
        CodeSyntax s;
        s.lineComments = {u"//"};
        s.blockOpen = u"/*";
        s.blockClose = u"*/";
        s.nestedBlockComments = true;
        // Raw strings take any number of "#"; "\(" (or "\#(" in a raw string) interpolates.
        s.strings = {rule(u"#\"\"\"", u"\"\"\"#", kBackslash, kMultiline),
                     rule(u"\"\"\"", u"\"\"\"", kBackslash, kMultiline),
                     rule(u"#\"", u"\"#", kBackslash), rule(u"\"", u"\"", kBackslash)};
        for (StringRule& r : s.strings) {
            r.hashDelimited = r.open[0] == u'#';
            r.interpolation = u'(';
        }
        s.keywords = KeywordTable({{Kind::keyword,
                                    {"associatedtype",
                                     "class",
                                     "deinit",
                                     "enum",
                                     "extension",
                                     "fileprivate",
                                     "func",
                                     "import",
                                     "init",
                                     "inout",
                                     "internal",
                                     "let",
                                     "open",
                                     "operator",
                                     "private",
                                     "precedencegroup",
                                     "protocol",
                                     "public",
                                     "rethrows",
                                     "static",
                                     "struct",
                                     "subscript",
                                     "typealias",
                                     "var",
                                     "break",
                                     "case",
                                     "catch",
                                     "continue",
                                     "default",
                                     "defer",
                                     "do",
                                     "else",
                                     "fallthrough",
                                     "for",
                                     "guard",
                                     "if",
                                     "in",
                                     "repeat",
                                     "return",
                                     "throw",
                                     "switch",
                                     "where",
                                     "while",
                                     "as",
                                     "is",
                                     "super",
                                     "self",
                                     "Self",
                                     "throws",
                                     "try",
                                     "async",
                                     "await",
                                     "actor",
                                     "nonisolated",
                                     "isolated",
                                     "some",
                                     "any",
                                     "mutating",
                                     "nonmutating",
                                     "override",
                                     "final",
                                     "lazy",
                                     "weak",
                                     "unowned",
                                     "required",
                                     "convenience",
                                     "dynamic",
                                     "optional",
                                     "get",
                                     "set",
                                     "willSet",
                                     "didSet",
                                     "consume",
                                     "borrowing",
                                     "consuming",
                                     "sending",
                                     "package",
                                     "macro",
                                     "indirect",
                                     "prefix",
                                     "postfix",
                                     "infix"}},
                                   {Kind::constant, {"true", "false", "nil"}}},
                                  false);
        s.attributes = true;
        s.hashMode = HashMode::identifier;
        s.functionCalls = true;
        s.capitalizedTypes = true;
        return s;
    }();
    return syntax;
}

const CodeSyntax& CodeSyntax::csharp() {
    static const CodeSyntax syntax = [] {
        CodeSyntax s;
        s.lineComments = {u"//"};
        s.blockOpen = u"/*";
        s.blockClose = u"*/";
        s.strings = {rule(u"\"\"\"", u"\"\"\"", kBackslash, kMultiline),
                     rule(u"$@\"", u"\"", 0, kMultiline, kDoubled),
                     rule(u"@$\"", u"\"", 0, kMultiline, kDoubled),
                     rule(u"@\"", u"\"", 0, kMultiline, kDoubled),
                     rule(u"$\"", u"\"", kBackslash),
                     rule(u"\"", u"\"", kBackslash),
                     rule(u"'", u"'", kBackslash)};
        s.keywords = KeywordTable(
            {{Kind::keyword,
              {"abstract",  "as",        "base",       "break",    "case",       "catch",
               "checked",   "class",     "const",      "continue", "default",    "delegate",
               "do",        "else",      "enum",       "event",    "explicit",   "extern",
               "finally",   "fixed",     "for",        "foreach",  "goto",       "if",
               "implicit",  "in",        "interface",  "internal", "is",         "lock",
               "namespace", "new",       "operator",   "out",      "override",   "params",
               "private",   "protected", "public",     "readonly", "ref",        "return",
               "sealed",    "sizeof",    "stackalloc", "static",   "struct",     "switch",
               "this",      "throw",     "try",        "typeof",   "unchecked",  "unsafe",
               "using",     "virtual",   "volatile",   "while",    "add",        "alias",
               "ascending", "async",     "await",      "by",       "descending", "equals",
               "from",      "get",       "global",     "group",    "into",       "join",
               "let",       "nameof",    "on",         "orderby",  "partial",    "remove",
               "select",    "set",       "value",      "var",      "when",       "where",
               "yield",     "record",    "init",       "required", "file",       "scoped",
               "with",      "not",       "and",        "or"}},
             {Kind::constant, {"true", "false", "null"}},
             {Kind::type,
              {"bool", "byte", "char", "decimal", "double", "float", "int", "long", "object",
               "sbyte", "short", "string", "uint", "ulong", "ushort", "void", "dynamic", "nint",
               "nuint"}}},
            false);
        s.hashMode = HashMode::lineDirective;
        s.functionCalls = true;
        s.capitalizedTypes = true;
        return s;
    }();
    return syntax;
}

const CodeSyntax& CodeSyntax::python() {
    static const CodeSyntax syntax = [] {
        CodeSyntax s;
        s.lineComments = {u"#"};
        s.strings = {rule(u"\"\"\"", u"\"\"\"", kBackslash, kMultiline),
                     rule(u"'''", u"'''", kBackslash, kMultiline), rule(u"\"", u"\"", kBackslash),
                     rule(u"'", u"'", kBackslash)};
        s.keywords = KeywordTable(
            {{Kind::keyword,
              {"and",      "as",       "assert", "async", "await",  "break",  "class",
               "continue", "def",      "del",    "elif",  "else",   "except", "finally",
               "for",      "from",     "global", "if",    "import", "in",     "is",
               "lambda",   "nonlocal", "not",    "or",    "pass",   "raise",  "return",
               "try",      "while",    "with",   "yield", "match",  "case",   "type"}},
             {Kind::constant, {"True", "False", "None", "self", "cls"}}},
            false);
        s.attributes = true;
        s.functionCalls = true;
        return s;
    }();
    return syntax;
}

const CodeSyntax& CodeSyntax::sql() {
    static const CodeSyntax syntax = [] {
        CodeSyntax s;
        s.lineComments = {u"--"};
        s.blockOpen = u"/*";
        s.blockClose = u"*/";
        s.strings = {rule(u"'", u"'", 0, kMultiline, kDoubled),
                     rule(u"\"", u"\"", 0, false, kDoubled), rule(u"`", u"`", 0)};
        s.keywords = KeywordTable(
            {{Kind::keyword,
              {"select",     "from",      "where",      "insert",    "into",        "values",
               "update",     "set",       "delete",     "create",    "table",       "alter",
               "drop",       "index",     "view",       "join",      "inner",       "left",
               "right",      "full",      "outer",      "cross",     "on",          "as",
               "and",        "or",        "not",        "is",        "in",          "exists",
               "between",    "like",      "ilike",      "order",     "by",          "group",
               "having",     "limit",     "offset",     "union",     "all",         "distinct",
               "case",       "when",      "then",       "else",      "end",         "primary",
               "key",        "foreign",   "references", "default",   "unique",      "check",
               "constraint", "begin",     "commit",     "rollback",  "transaction", "with",
               "recursive",  "returning", "top",        "desc",      "asc",         "procedure",
               "function",   "trigger",   "declare",    "if",        "while",       "return",
               "exec",       "execute",   "grant",      "revoke",    "database",    "schema",
               "use",        "go",        "nulls",      "cascade",   "replace",     "merge",
               "using",      "matched",   "over",       "partition", "rows",        "range",
               "following",  "preceding", "unbounded",  "current",   "row",         "fetch",
               "next",       "only",      "truncate",   "intersect", "except",      "add",
               "column",     "rename",    "to",         "temporary", "temp",        "lateral",
               "natural",    "for",       "each",       "after",     "before",      "instead",
               "of",         "returns",   "language",   "explain",   "analyze"}},
             {Kind::type, {"int",      "integer",   "bigint",    "smallint",
                           "tinyint",  "varchar",   "nvarchar",  "char",
                           "nchar",    "text",      "ntext",     "date",
                           "datetime", "datetime2", "timestamp", "timestamptz",
                           "time",     "interval",  "decimal",   "numeric",
                           "float",    "real",      "double",    "precision",
                           "boolean",  "bool",      "bit",       "blob",
                           "binary",   "varbinary", "uuid",      "uniqueidentifier",
                           "json",     "jsonb",     "serial",    "bigserial",
                           "money",    "xml"}},
             {Kind::constant, {"null", "true", "false"}},
             {Kind::function,
              {"count",      "sum",    "avg",        "min",     "max",   "coalesce",  "cast",
               "convert",    "isnull", "nullif",     "upper",   "lower", "substring", "trim",
               "length",     "len",    "now",        "getdate", "round", "abs",       "concat",
               "row_number", "rank",   "dense_rank", "lag",     "lead"}}},
            true);
        return s;
    }();
    return syntax;
}

const CodeSyntax& CodeSyntax::shell() {
    static const CodeSyntax syntax = [] {
        CodeSyntax s;
        s.lineComments = {u"#"};
        s.lineCommentNeedsBoundary = true;
        s.strings = {rule(u"$'", u"'", kBackslash, kMultiline), rule(u"'", u"'", 0, kMultiline),
                     rule(u"\"", u"\"", kBackslash, kMultiline),
                     rule(u"`", u"`", kBackslash, kMultiline)};
        s.keywords = KeywordTable(
            {{Kind::keyword,
              {"if",     "then",     "else",    "elif",    "fi",       "case",  "esac",
               "for",    "while",    "until",   "do",      "done",     "in",    "function",
               "select", "time",     "return",  "break",   "continue", "exit",  "export",
               "local",  "readonly", "declare", "typeset", "unset",    "shift", "source",
               "alias",  "eval",     "exec",    "trap",    "set"}},
             {Kind::function,
              {"echo", "printf", "read",  "cd",    "pwd",   "test",  "pushd", "popd",  "getopts",
               "wait", "kill",   "mkdir", "rm",    "cp",    "mv",    "ls",    "cat",   "grep",
               "sed",  "awk",    "find",  "xargs", "chmod", "chown", "curl",  "git",   "sudo",
               "tr",   "sort",   "uniq",  "head",  "tail",  "cut",   "wc",    "touch", "ln"}},
             {Kind::constant, {"true", "false"}}},
            false);
        s.strings[2].nestedExpansions = true;
        s.dollarVariables = true;
        s.hereDocuments = true;
        return s;
    }();
    return syntax;
}

} // namespace vendrix
