// Constructs of real code that must not leave a string or comment open for the rest of a file:
// regex literals beside division, shell here-documents and nested expansions, Swift
// interpolations and raw strings, YAML commas and Markdown fences inside list items.
#include "SyntaxTestSupport.h"
#include "core/syntax/LanguageID.h"

namespace vendrix {
namespace {

using test::describe;
using test::tokenizeLine;
using test::tokenizerFor;
using test::u16;

using test::LineCase;

const LineCase kLineCases[] = {
    // Regex literals where an operand is expected; division elsewhere.
    {"regex after paren holds block opener", LanguageID::javascript,
     "s.replace(/(:\\/*[^/]*).*$/, \"$1\")", 0,
     "function[replace] string[/(:\\/*[^/]*).*$/] string[\"$1\"]", 0},
    {"regex holding a backtick", LanguageID::javascript, "if (/`/.test(body)) x();", 0,
     "keyword[if] string[/`/] function[test] function[x]", 0},
    {"regex class holding quotes and slash", LanguageID::javascript, "a = /['\"/]/g, b = 'x'", 0,
     "string[/['\"/]/g] string['x']", 0},
    {"regex at line start and after keyword", LanguageID::javascript, "/a/.test(s) || typeof /b/",
     0, "string[/a/] function[test] keyword[typeof] string[/b/]", 0},
    {"regex after return in typescript", LanguageID::typescript, "return /x/u;", 0,
     "keyword[return] string[/x/u]", 0},
    {"division chain", LanguageID::javascript, "a / b / c", 0, "", 0},
    {"division after values", LanguageID::javascript, "x = y / 2; z = f(w) / 3 + v[0] / 4", 0,
     "number[2] function[f] number[3] number[0] number[4]", 0},
    {"division after word ending like a keyword", LanguageID::javascript, "returns / 2 / 3", 0,
     "number[2] number[3]", 0},
    {"division after postfix increment", LanguageID::javascript, "i++ / 2 / n; --j", 0, "number[2]",
     0},
    {"slash without a closing one", LanguageID::javascript, "f(/ 2", 0, "function[f] number[2]", 0},
    {"division right after a closing template", LanguageID::javascript, "` / 2 / 3", 4,
     "string[`] number[2] number[3]", 0},
    {"no regex after a slash without a closing one", LanguageID::javascript, "x = / [ y = /a/", 0,
     "", 0},
    {"hashbang line", LanguageID::javascript, "#!/usr/bin/env node", 0, "", 0},
    // Shell: nested expansions, quotes and arithmetic.
    {"nested expansion with quotes", LanguageID::shell, "val=${line#\"${arr[1]}:\"}", 0,
     "variable[${line#\"${arr[1]}:\"}]", 0},
    {"expansion holding an apostrophe in a string", LanguageID::shell, "m=\"${a:-\"it's\"} ok\"", 0,
     "string[\"${a:-\"it's\"} ok\"]", 0},
    {"command substitution with inner quotes", LanguageID::shell, "d=\"$(dirname \"$0\")\" # c", 0,
     "string[\"$(dirname \"$0\")\"] comment[# c]", 0},
    {"dollar in single quotes", LanguageID::shell, "echo '$HOME ${x}'", 0,
     "function[echo] string['$HOME ${x}']", 0},
    {"shift in arithmetic", LanguageID::shell, "x=$((1<<2)) y=$(( (a << b) ))", 0,
     "number[1] number[2]", 0},
    {"here-string", LanguageID::shell, "read -r a <<< \"$x\"", 0, "function[read] string[\"$x\"]",
     0},
    // Swift interpolations and raw strings.
    {"interpolation holding strings", LanguageID::swift, "\"a \\(b ? \"x\" : \"y\") c\" + d", 0,
     "string[\"a \\(b ? \"x\" : \"y\") c\"]", 0},
    {"interpolation holding a closing paren in a string", LanguageID::swift, "\"\\(f(\"b)\"))\" x",
     0, "string[\"\\(f(\"b)\"))\"]", 0},
    {"multi-line string with interpolated literal", LanguageID::swift,
     "Hello \\( name(\"\"\"x\"\"\") ) \"\"\" + a", 3,
     "string[Hello \\( name(\"\"\"x\"\"\") ) \"\"\"]", 0},
    {"raw string with two hashes", LanguageID::swift, "##\"x \"# y\"## + z", 0,
     "string[##\"x \"# y\"##]", 0},
    {"raw interpolation", LanguageID::swift, "#\"\\#(f(\"\\\"#\"))\"#", 0,
     "string[#\"\\#(f(\"\\\"#\"))\"#]", 0},
    {"multi-line raw string keeps its hash count", LanguageID::swift, "let s = ##\"\"\"", 0,
     "keyword[let] string[##\"\"\"]", 2 + 256},
    {"one hash fewer does not close", LanguageID::swift, "\"\"\"# x", 2 + 256, "string[\"\"\"# x]",
     2 + 256},
    {"matching hashes close", LanguageID::swift, "\"\"\"## + a", 2 + 256, "string[\"\"\"##]", 0},
    // YAML commas.
    {"plain scalar with quotes and commas", LanguageID::yaml, "run: php -r \"a('x', 'y');\"", 0,
     "property[run]", 0},
    {"flow sequence items", LanguageID::yaml, "k: [a, \"b, c\", 'd, e', 1]", 0,
     "property[k] string[\"b, c\"] string['d, e'] number[1]", 0},
    {"flow mapping items", LanguageID::yaml, "k: {a: 1, b: true}", 0,
     "property[k] property[a] number[1] property[b] constant[true]", 0},
};

TEST(RealCodeConstructsTest, LineCases) {
    test::expectLineCases(kLineCases);
}

/// Each line's tokens, tokenizing the lines in order from state 0; the state after the last
/// line is appended as "state N". States computed without an emitter must be the same.
std::vector<std::string> describeLines(std::string_view language, std::string_view text) {
    const SyntaxTokenizer& tokenizer = tokenizerFor(language);
    std::vector<std::string> out;
    std::uint32_t state = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        std::u16string line = u16(text.substr(start, end - start));
        auto result = tokenizeLine(tokenizer, line, state);
        EXPECT_EQ(tokenizer.tokenizeLine(line.data(), static_cast<std::int64_t>(line.size()), state,
                                         TokenEmitter{}),
                  result.state);
        out.push_back(describe(line, result.tokens));
        state = result.state;
        start = end + 1;
    }
    out.push_back("state " + std::to_string(state));
    return out;
}

using Lines = std::vector<std::string>;

TEST(RealCodeConstructsTest, HereDocuments) {
    EXPECT_EQ(describeLines(LanguageID::shell, "cat <<EOF\nit's $HOME\n\nEOF\necho 'x'"),
              (Lines{"function[cat] string[EOF]", "string[it's ] variable[$HOME]", "",
                     "string[EOF]", "function[echo] string['x']", "state 0"}));
    // Quoted words: no expansions in the body.
    for (const char* opener : {"cat <<'EOF'", "cat <<\"EOF\"", "cat <<\\EOF"}) {
        SCOPED_TRACE(opener);
        auto lines = describeLines(LanguageID::shell, std::string(opener) + "\n$HOME\nEOF\nx");
        EXPECT_EQ(Lines(lines.begin() + 1, lines.end()),
                  (Lines{"string[$HOME]", "string[EOF]", "", "state 0"}));
    }
    // "<<-" strips tabs before the terminator; plain "<<" does not.
    EXPECT_EQ(describeLines(LanguageID::shell, "cat <<-END\n\tx\n\tEND\ny"),
              (Lines{"function[cat] string[END]", "string[\tx]", "string[END]", "", "state 0"}));
    EXPECT_EQ(describeLines(LanguageID::shell, "cat <<END\n\tEND\n END\nEND x\nEND"),
              (Lines{"function[cat] string[END]", "string[\tEND]", "string[ END]", "string[END x]",
                     "string[END]", "state 0"}));
    // The rest of the opener's line is code; a comment there does not lose the body.
    EXPECT_EQ(describeLines(LanguageID::shell, "cat <<A | grep \"q\" # c\nit's\nA"),
              (Lines{"function[cat] string[A] function[grep] string[\"q\"] comment[# c]",
                     "string[it's]", "string[A]", "state 0"}));
    // Two words with the same first letters do not end each other's bodies.
    EXPECT_EQ(describeLines(LanguageID::shell, "cat <<EOF\nEOFX\nEO\nEOF"),
              (Lines{"function[cat] string[EOF]", "string[EOFX]", "string[EO]", "string[EOF]",
                     "state 0"}));
}

TEST(RealCodeConstructsTest, MarkdownFencesInListItems) {
    EXPECT_EQ(describeLines(LanguageID::markdown,
                            "1. Install:\n\n    ```sh\n    it's\n    ```\nafter *x*"),
              (Lines{"keyword[1.]", "", "string[    ```sh]", "string[    it's]", "string[    ```]",
                     "emphasis[*x*]", "state 0"}));
    // A nested item's content indent counts.
    EXPECT_EQ(describeLines(LanguageID::markdown, "- a\n  - b\n\n      ~~~\n      x\n      ~~~"),
              (Lines{"keyword[-]", "keyword[-]", "", "string[      ~~~]", "string[      x]",
                     "string[      ~~~]", "state 1024"}));
    // Outside a list, four spaces are indented code and open no fence.
    EXPECT_EQ(describeLines(LanguageID::markdown, "- a\n\ntext\n\n    ```\n    *x*"),
              (Lines{"keyword[-]", "", "", "", "", "emphasis[*x*]", "state 0"}));
}

} // namespace
} // namespace vendrix
