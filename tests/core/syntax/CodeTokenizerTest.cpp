#include "core/syntax/CodeTokenizer.h"
#include "SyntaxTestSupport.h"
#include "core/syntax/LanguageID.h"

namespace vendrix {
namespace {

using test::describe;
using test::tokenizeLine;
using test::tokenizerFor;
using test::u16;

using test::LineCase;

const LineCase kCodeCases[] = {
    {"js keyword and hex number", LanguageID::javascript, "let x = 0x1F;", 0,
     "keyword[let] number[0x1F]", 0},
    {"js call with blank before paren", LanguageID::javascript, "foo (1)", 0,
     "function[foo] number[1]", 0},
    {"js capitalised word is nothing", LanguageID::javascript, "Foo", 0, "", 0},
    {"ts capitalised word is a type", LanguageID::typescript, "Foo", 0, "type[Foo]", 0},
    {"ts type keywords", LanguageID::typescript, "let n: number = x as unknown", 0,
     "keyword[let] type[number] keyword[as] type[unknown]", 0},
    {"js dollar identifiers", LanguageID::javascript, "$el.$on($x)", 0, "function[$on]", 0},
    {"js decorator", LanguageID::javascript, "@Component class A {}", 0,
     "attribute[@Component] keyword[class]", 0},
    {"js template opens", LanguageID::javascript, "const s = `a ${b}", 0,
     "keyword[const] string[`a ${b}]", 4},
    {"js template continues", LanguageID::javascript, "still ` + 1", 4, "string[still `] number[1]",
     0},
    {"block comment opens", LanguageID::javascript, "/* open", 0, "comment[/* open]", 257},
    {"block comment closes", LanguageID::javascript, "still */ x", 257, "comment[still */]", 0},
    {"empty line keeps comment", LanguageID::javascript, "", 257, "", 257},
    {"swift nested comment", LanguageID::swift, "/* a /* b */ c */", 0,
     "comment[/* a /* b */ c */]", 0},
    {"csharp comments do not nest", LanguageID::csharp, "/* a /* b */ c */", 0,
     "comment[/* a /* b */]", 0},
    {"swift three nested openers", LanguageID::swift, "/* /* /*", 0, "comment[/* /* /*]",
     1 + 256 * 3},
    {"swift depth clamps at 255", LanguageID::swift, "/*", 1 + 256 * 255, "comment[/*]",
     1 + 256 * 255},
    {"swift depth falls", LanguageID::swift, "*/ x", 1 + 256 * 2, "comment[*/ x]", 1 + 256},
    {"csharp verbatim doubled quote", LanguageID::csharp, "s = @\"a\"\"b\";", 0,
     "string[@\"a\"\"b\"]", 0},
    {"csharp escaped quote", LanguageID::csharp, "\"a\\\"b\"", 0, "string[\"a\\\"b\"]", 0},
    {"csharp unterminated single-line string", LanguageID::csharp, "\"abc", 0, "string[\"abc]", 0},
    {"csharp verbatim string continues", LanguageID::csharp, "@\"abc", 0, "string[@\"abc]", 5},
    {"csharp region directive", LanguageID::csharp, "  #region x", 0, "preprocessor[#region x]", 0},
    {"csharp hash not first", LanguageID::csharp, "x = #y", 0, "", 0},
    {"csharp types and calls", LanguageID::csharp, "public static int Main(string[] args)", 0,
     "keyword[public] keyword[static] type[int] function[Main] type[string]", 0},
    {"python triple quote opens", LanguageID::python, "'''doc", 0, "string['''doc]", 3},
    {"python triple quote closes", LanguageID::python, "end''' + x", 3, "string[end''']", 0},
    {"python decorator and def", LanguageID::python, "@property", 0, "attribute[@property]", 0},
    {"python hash comment", LanguageID::python, "x = 1  # note", 0, "number[1] comment[# note]", 0},
    {"json property and number", LanguageID::json, "{\"name\": 1}", 0,
     "property[\"name\"] number[1]", 0},
    {"json string in array", LanguageID::json, "[\"name\"]", 0, "string[\"name\"]", 0},
    {"json constants", LanguageID::json, "[true, false, null, -1.5e+3]", 0,
     "constant[true] constant[false] constant[null] number[1.5e+3]", 0},
    {"shell variables", LanguageID::shell, "echo $HOME ${PATH} $1 $?", 0,
     "function[echo] variable[$HOME] variable[${PATH}] variable[$1] variable[$?]", 0},
    {"shell hash inside word", LanguageID::shell, "a#b", 0, "", 0},
    {"shell hash after blank", LanguageID::shell, "a #b", 0, "comment[#b]", 0},
    {"shell unclosed brace variable", LanguageID::shell, "${x", 0, "variable[${x]", 0},
    {"shell single quote continues", LanguageID::shell, "x='abc", 0, "string['abc]", 3},
    {"shell ansi-c string", LanguageID::shell, "$'a\\'b'", 0, "string[$'a\\'b']", 0},
    {"swift directive and capitalised", LanguageID::swift, "#if DEBUG", 0,
     "preprocessor[#if] type[DEBUG]", 0},
    {"swift raw string", LanguageID::swift, "let s = #\"a\\\"b\"#", 0,
     "keyword[let] string[#\"a\\\"b\"#]", 0},
    {"swift multi-line string opens", LanguageID::swift, "let s = \"\"\"", 0,
     "keyword[let] string[\"\"\"]", 3},
    {"sql case-insensitive keywords", LanguageID::sql, "SELECT Count(*)", 0,
     "keyword[SELECT] function[Count]", 0},
    {"sql doubled apostrophe", LanguageID::sql, "'it''s' -- c", 0, "string['it''s'] comment[-- c]",
     0},
    {"sql string continues", LanguageID::sql, "'abc", 0, "string['abc]", 2},
    {"number after dot after digits", LanguageID::javascript, "1.2.3", 0, "number[1.2] number[3]",
     0},
    {"number glued to identifier", LanguageID::javascript, "x.5", 0, "number[5]", 0},
    {"number suffixes and separators", LanguageID::csharp, "1_000UL 0xFF_FF 3.5f 1e10", 0,
     "number[1_000UL] number[0xFF_FF] number[3.5f] number[1e10]", 0},
};

TEST(CodeTokenizerTest, LineCases) {
    test::expectLineCases(kCodeCases);
}

TEST(CodeTokenizerTest, LongIdentifiersAreNeverKeywords) {
    // "function" padded to 33 units with a keyword of that exact spelling registered nowhere;
    // the look-up must not even consider it.
    std::u16string line = u"a" + std::u16string(32, u'b') + u"(";
    auto result = tokenizeLine(tokenizerFor(LanguageID::javascript), line);
    EXPECT_EQ(describe(line, result.tokens),
              "function[" + std::string(1, 'a') + std::string(32, 'b') + "]");
}

TEST(CodeTokenizerTest, InvalidStringStateStartsInCode) {
    std::u16string line = u"let x";
    auto result = tokenizeLine(tokenizerFor(LanguageID::javascript), line, 2 + 40);
    EXPECT_EQ(describe(line, result.tokens), "keyword[let]");
    EXPECT_EQ(result.state, 0u);
}

TEST(CodeTokenizerTest, SameStateWithoutCallback) {
    const char* lines[] = {"/* a", "`x", "'''", "@\"", "$'q", "a */ b /* c"};
    for (std::string_view language : {LanguageID::javascript, LanguageID::python,
                                      LanguageID::csharp, LanguageID::shell, LanguageID::swift}) {
        const SyntaxTokenizer& tokenizer = tokenizerFor(language);
        for (const char* text : lines) {
            std::u16string line = u16(text);
            for (std::uint32_t state : {0u, 257u, 2u, 3u, 4u, 5u}) {
                auto with = tokenizeLine(tokenizer, line, state);
                auto without = tokenizer.tokenizeLine(
                    line.data(), static_cast<std::int64_t>(line.size()), state, TokenEmitter{});
                EXPECT_EQ(with.state, without) << language << " " << text << " " << state;
            }
        }
    }
}

} // namespace
} // namespace vendrix
