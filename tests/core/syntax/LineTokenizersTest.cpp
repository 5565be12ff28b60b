#include "SyntaxTestSupport.h"
#include "core/syntax/LanguageID.h"

namespace vendrix {
namespace {

using test::describe;
using test::tokenizeLine;
using test::tokenizerFor;
using test::u16;

using test::LineCase;

constexpr std::uint32_t kFence3 = 1 + 256 + 3 * 65536;

const LineCase kCases[] = {
    // Markup
    {"html paragraph", LanguageID::html, "<p class=\"a\">x &amp; y</p>", 0,
     "tag[<p] attribute[class] string[\"a\"] tag[>] constant[&amp;] tag[</p] tag[>]", 0},
    {"html script start", LanguageID::html, "<script>", 0, "tag[<script] tag[>]", 6},
    {"html script content", LanguageID::html, "if (a < b) {", 6, "", 6},
    {"html script end", LanguageID::html, "}</script>", 6, "tag[</script] tag[>]", 0},
    {"html style case-insensitive", LanguageID::html, "<STYLE type=text/css>a{}</Style>", 0,
     "tag[<STYLE] attribute[type] string[text/css] tag[>] tag[</Style] tag[>]", 0},
    {"html self-closing script has no content", LanguageID::html, "<script src=x/>", 0,
     "tag[<script] attribute[src] string[x] tag[/>]", 0},
    {"html start tag continues", LanguageID::html, "<script", 0, "tag[<script]", 2 + 256},
    {"html start tag ends on next line", LanguageID::html, "defer>", 2 + 256,
     "attribute[defer] tag[>]", 6},
    {"xml script is not raw", LanguageID::xml, "<script>", 0, "tag[<script] tag[>]", 0},
    {"xml unclosed attribute value", LanguageID::xml, "<a href=\"x", 0,
     "tag[<a] attribute[href] string[\"x]", 3},
    {"xml attribute value closes", LanguageID::xml, "y\">", 3, "string[y\"] tag[>]", 0},
    {"xml single-quoted value continues", LanguageID::xml, "still", 4, "string[still]", 4},
    {"doctype", LanguageID::html, "<!DOCTYPE html>", 0, "preprocessor[<!DOCTYPE html>]", 0},
    {"xml declaration", LanguageID::xml, "<?xml version=\"1.0\"?>", 0,
     "preprocessor[<?xml version=\"1.0\"?>]", 0},
    {"comment spans lines", LanguageID::xml, "a <!-- b", 0, "comment[<!--] comment[ b]", 1},
    {"comment closes", LanguageID::xml, "c --> <b/>", 1, "comment[c -->] tag[<b] tag[/>]", 0},
    {"cdata", LanguageID::xml, "<![CDATA[x<y]]>z", 0, "string[<![CDATA[] string[x<y]]>]", 0},
    {"entity limits", LanguageID::xml, "&#x41; & &a b;", 0, "constant[&#x41;]", 0},
    {"abandoned tag", LanguageID::xml, "<a b<c>", 0, "tag[<a] attribute[b] tag[<c] tag[>]", 0},
    {"empty line keeps state", LanguageID::xml, "", 3 + 512, "", 3 + 512},
    {"mode above 8 reads as text", LanguageID::xml, "<a>", 77, "tag[<a] tag[>]", 0},
    // Markdown
    {"atx heading", LanguageID::markdown, "# Title", 0, "heading[# Title]", 0},
    {"hash without blank", LanguageID::markdown, "#Title", 0, "", 0},
    {"seven hashes", LanguageID::markdown, "####### x", 0, "", 0},
    {"bullet with emphasis", LanguageID::markdown, "- item *em*", 0, "keyword[-] emphasis[*em*]",
     2 << 8}, // the item's content indent, carried to the next line
    {"thematic break", LanguageID::markdown, "***", 0, "punctuation[***]", 0},
    {"spaced break", LanguageID::markdown, " - - -", 0, "punctuation[- - -]", 0},
    {"setext underline", LanguageID::markdown, "===", 0, "heading[===]", 0},
    {"fence opens", LanguageID::markdown, "```swift", 0, "string[```swift]", kFence3},
    {"fence content", LanguageID::markdown, "let x = 1", kFence3, "string[let x = 1]", kFence3},
    {"short fence does not close", LanguageID::markdown, "``", kFence3, "string[``]", kFence3},
    {"fence closes", LanguageID::markdown, "````  ", kFence3, "string[````  ]", 0},
    {"tilde fence opens", LanguageID::markdown, "~~~~", 0, "string[~~~~]", 1 + 512 + 4 * 65536},
    {"tilde does not close backtick fence", LanguageID::markdown, "~~~", kFence3, "string[~~~]",
     kFence3},
    {"image link", LanguageID::markdown, "![alt](img.png)", 0, "link[![alt]] attribute[(img.png)]",
     0},
    {"nested link text", LanguageID::markdown, "see [a [b] c](u) now", 0,
     "link[[a [b] c]] attribute[(u)]", 0},
    {"automatic link", LanguageID::markdown, "<scheme://path>", 0, "attribute[<scheme://path>]", 0},
    {"inline html", LanguageID::markdown, "a <b> c", 0, "tag[<b>]", 0},
    {"strong and code", LanguageID::markdown, "**bold** and `code` and __b__", 0,
     "strong[**bold**] string[`code`] strong[__b__]", 0},
    {"intraword underscore", LanguageID::markdown, "snake_case_name", 0, "", 0},
    {"escaped star", LanguageID::markdown, "\\*not em*", 0, "", 0},
    {"ordered list", LanguageID::markdown, "12. step `x`", 0, "keyword[12.] string[`x`]", 4 << 8},
    {"block quote", LanguageID::markdown, "> quoted *x*", 0, "comment[> quoted *x*]", 0},
    {"html comment opens", LanguageID::markdown, "a <!-- b", 0, "comment[<!-- b]", 2},
    {"html comment closes", LanguageID::markdown, "c --> *d*", 2, "comment[c -->] emphasis[*d*]",
     0},
    {"indented four is not a heading", LanguageID::markdown, "    # x", 0, "", 0},
    // CSS
    {"css one-line rule", LanguageID::css, "a:hover { color: #fff !important; }", 0,
     "tag[a] attribute[:hover] property[color] number[#fff] keyword[!important]", 0},
    {"css class opens block", LanguageID::css, ".box {", 0, "type[.box]", 256},
    {"css declaration", LanguageID::css, "  width: 10px;", 256, "property[width] number[10px]",
     256},
    {"css value continues", LanguageID::css, "  margin: 0", 256, "property[margin] number[0]",
     256 + 65536},
    {"css custom property and var", LanguageID::css, "--gap: var(--x) -1.5em;", 256,
     "variable[--gap] function[var] variable[--x] number[-1.5em]", 256},
    {"css nested selector with pseudo", LanguageID::css, "a:hover {", 256,
     "tag[a] attribute[:hover]", 512},
    {"css pseudo element", LanguageID::css, "&::before {", 256, "attribute[::before]", 512},
    // At depth 0 every ":" starts a pseudo-class, so a media feature reads as a selector.
    {"css at-rule and id", LanguageID::css, "@media (max-width: 600px) { #main {", 0,
     "keyword[@media] tag[max-width] attribute[:] number[600px] type[#main]", 512},
    {"css comment opens", LanguageID::css, "a { /* x", 0, "tag[a] comment[/* x]", 257},
    {"css comment closes", LanguageID::css, "y */ }", 257, "comment[y */]", 0},
    {"css scss line comment", LanguageID::css, "$x: 1; // note", 0,
     "variable[$x] attribute[:] number[1] comment[// note]", 0},
    {"css string", LanguageID::css, "content: \"a\\\"b\";", 256,
     "property[content] string[\"a\\\"b\"]", 256},
    {"css percentage", LanguageID::css, "50% {", 256, "number[50%]", 512},
    // YAML
    {"yaml block scalar header", LanguageID::yaml, "key: |", 0, "property[key] punctuation[|]", 1},
    {"yaml block scalar line", LanguageID::yaml, "  text here", 1, "string[text here]", 1},
    {"yaml block scalar blank line", LanguageID::yaml, "", 1, "", 1},
    {"yaml block scalar ends", LanguageID::yaml, "next: 1", 1, "property[next] number[1]", 0},
    {"yaml nested block scalar", LanguageID::yaml, "  run: >-  # folded", 0,
     "property[run] punctuation[>-] comment[# folded]", 1 + 2 * 256},
    {"yaml scalar at key column ends", LanguageID::yaml, "  x: y", 1 + 2 * 256, "property[x]", 0},
    {"yaml dash key string comment", LanguageID::yaml, "- name: \"x\" # c", 0,
     "punctuation[-] property[name] string[\"x\"] comment[# c]", 0},
    {"yaml constants", LanguageID::yaml, "on: yes", 0, "property[on] constant[yes]", 0},
    {"yaml dotted number", LanguageID::yaml, "v: 1.2.3", 0, "property[v] number[1.2.3]", 0},
    {"yaml url value", LanguageID::yaml, "url: scheme://path", 0, "property[url]", 0},
    {"yaml document marker", LanguageID::yaml, "--- !tag", 0, "keyword[---] type[!tag]", 0},
    {"yaml directive", LanguageID::yaml, "%YAML 1.2", 0, "preprocessor[%YAML 1.2]", 0},
    {"yaml anchors and aliases", LanguageID::yaml, "base: &b {a: *x, c: ~}", 0,
     "property[base] variable[&b] property[a] variable[*x] property[c] constant[~]", 0},
    {"yaml flow sequence", LanguageID::yaml, "list: [1, two, 'it''s', 0x1F]", 0,
     "property[list] number[1] string['it''s'] number[0x1F]", 0},
    {"yaml quoted key", LanguageID::yaml, "\"a b\": null", 0, "property[\"a b\"] constant[null]",
     0},
    {"yaml hash inside value", LanguageID::yaml, "k: a#b # c", 0, "property[k] comment[# c]", 0},
    {"yaml dash block scalar", LanguageID::yaml, "  - |", 0, "punctuation[-] punctuation[|]",
     1 + 2 * 256},
};

TEST(LineTokenizersTest, LineCases) {
    test::expectLineCases(kCases);
}

} // namespace
} // namespace vendrix

namespace vendrix {
namespace {

using test::describe;
using test::tokenizeLine;
using test::tokenizerFor;

TEST(LineTokenizersTest, LookAheadLimits) {
    const SyntaxTokenizer& markdown = tokenizerFor(LanguageID::markdown);
    // Emphasis closes only within 512 units of its opening.
    std::u16string inside = u"*" + std::u16string(509, u'a') + u"b*";
    EXPECT_EQ(tokenizeLine(markdown, inside).tokens,
              (std::vector<Token>{{0, 512, TokenKind::emphasis}}));
    std::u16string outside = u"*" + std::u16string(510, u'a') + u"b*";
    EXPECT_TRUE(tokenizeLine(markdown, outside).tokens.empty());
    // A code span likewise.
    std::u16string code = u"`" + std::u16string(600, u'a') + u"`";
    EXPECT_TRUE(tokenizeLine(markdown, code).tokens.empty());

    const SyntaxTokenizer& css = tokenizerFor(LanguageID::css);
    // "a:b ... {" is a selector when the brace comes within 256 units, a property otherwise.
    std::u16string nearBrace = u"a:hover" + std::u16string(200, u' ') + u"{";
    EXPECT_EQ(describe(nearBrace, tokenizeLine(css, nearBrace, 256).tokens),
              "tag[a] attribute[:hover]");
    std::u16string farBrace = u"a:hover" + std::u16string(300, u' ') + u"{";
    EXPECT_EQ(describe(farBrace, tokenizeLine(css, farBrace, 256).tokens), "property[a]");

    const SyntaxTokenizer& xml = tokenizerFor(LanguageID::xml);
    std::u16string entity32 = u"&" + std::u16string(32, u'x') + u";";
    std::u16string entity33 = u"&" + std::u16string(33, u'x') + u";";
    EXPECT_EQ(tokenizeLine(xml, entity32).tokens,
              (std::vector<Token>{{0, 34, TokenKind::constant}}));
    EXPECT_TRUE(tokenizeLine(xml, entity33).tokens.empty());
}

TEST(LineTokenizersTest, StateFieldsAreClamped) {
    const SyntaxTokenizer& markdown = tokenizerFor(LanguageID::markdown);
    std::u16string fence(300, u'`');
    EXPECT_EQ(tokenizeLine(markdown, fence).state, 1u + 256u + 255u * 65536u);
    // A 299-backtick line closes a fence recorded as 255 long.
    EXPECT_EQ(tokenizeLine(markdown, fence.substr(1), 1u + 256u + 255u * 65536u).state, 0u);

    const SyntaxTokenizer& css = tokenizerFor(LanguageID::css);
    EXPECT_EQ(tokenizeLine(css, u"{{", 254u << 8).state, 255u << 8);
    EXPECT_EQ(tokenizeLine(css, u"}}}", 1u << 8).state, 0u);

    const SyntaxTokenizer& yaml = tokenizerFor(LanguageID::yaml);
    std::u16string deep = std::u16string(70000, u' ') + u"k: |";
    EXPECT_EQ(tokenizeLine(yaml, deep).state, 1u + 256u * 65535u);
}

} // namespace
} // namespace vendrix
