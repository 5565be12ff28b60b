#include "core/formatting/MarkupFormatter.h"
#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"
#include "support/FormattingSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <thread>

namespace vendrix {
namespace {

using test::indentForMode;
using test::u16;
using test::u8;
using Dialect = MarkupFormatter::Dialect;

constexpr auto xml = Dialect::xml;
constexpr auto html = Dialect::html;
const std::u16string tooLargeMessage =
    u"Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir";

/// The output, or "error: line:column:offset message" for a failure.
std::string pretty(std::string_view input, Dialect dialect,
                   FormatIndent indent = FormatIndent::spaces(2)) {
    return test::describe(MarkupFormatter::pretty(u16(input), dialect, indent));
}

std::string minify(std::string_view input, Dialect dialect) {
    return test::describe(MarkupFormatter::minify(u16(input), dialect));
}

// Golden files: NAME.in.EXT is the input, NAME.MODE.EXT the expected output, where MODE is
// pretty-N (N spaces), pretty-tab or min; EXT chooses the dialect.
TEST(MarkupFormatterTest, MatchesGoldenFiles) {
    int compared = 0;
    for (const test::GoldenOutput& golden :
         test::goldenOutputs(test::dataPath("formatting/markup"))) {
        const std::string& file = golden.file;
        const std::string& input = golden.input;
        const std::string& expected = golden.expected;
        const Dialect dialect = golden.extension == "html" ? html : xml;
        const std::optional<FormatIndent> indent = indentForMode(golden.mode);
        auto result = indent ? MarkupFormatter::pretty(u16(input), dialect, *indent)
                             : MarkupFormatter::minify(u16(input), dialect);
        ASSERT_TRUE(result.has_value()) << file << ": " << u8(result.error().message);
        EXPECT_EQ(u8(*result), expected) << file;
        // The byte-level entry point gives the same bytes.
        auto bytes = MarkupFormatter::formatBytes(input, dialect, indent);
        ASSERT_TRUE(bytes.has_value()) << file;
        EXPECT_EQ(*bytes, expected) << file;
        ++compared;
    }
    EXPECT_GE(compared, 10);
}

struct LayoutCase {
    const char* name;
    Dialect dialect;
    const char* input;
    const char* prettyOutput; // two-space indent
    const char* minifiedOutput;
};

TEST(MarkupFormatterTest, LaysOutTagsTextAndStructure) {
    const LayoutCase cases[] = {
        {"mixed content stays on its line", xml, "<a><b>x</b><c/></a>",
         "<a>\n  <b>x</b>\n  <c/>\n</a>", "<a><b>x</b><c/></a>"},
        {"whitespace-only element collapses", xml, "<a> \n\t </a>", "<a></a>", "<a></a>"},
        {"indented document minifies", xml, "<r>\n  <a> x  y </a>\n  <b/>\n</r>\n",
         "<r>\n  <a> x  y </a>\n  <b/>\n</r>\n", "<r><a> x  y </a><b/></r>\n"},
        {"byte-order mark is dropped", xml, "\xEF\xBB\xBF<a/>", "<a/>", "<a/>"},
        {"only a byte-order mark", xml, "\xEF\xBB\xBF", "", ""},
        {"top-level text is trimmed", xml, "  hello  <a/>  bye ", "hello\n<a/>\nbye",
         "hello<a/>bye"},
        {"carriage returns stay inside text", xml, "<a>x\r\ny</a>\r\n", "<a>x\r\ny</a>\n",
         "<a>x\r\ny</a>\n"},
        {"self-closing with space", xml, "<a><b x='1' /></a>", "<a>\n  <b x='1' />\n</a>",
         "<a><b x='1' /></a>"},
        {"quoted > and < inside a tag", xml, "<a t=\"x>y\" u='<'><b/></a>",
         "<a t=\"x>y\" u='<'>\n  <b/>\n</a>", "<a t=\"x>y\" u='<'><b/></a>"},
        {"xml accepts < inside a tag", xml, "<a b<c><d/></a>", "<a b<c>\n  <d/>\n</a>",
         "<a b<c><d/></a>"},
        {"comments, pi and cdata on their own lines", xml,
         "<?xml version='1.0'?><a><!-- c --><?p x?><b/></a>",
         "<?xml version='1.0'?>\n<a>\n  <!-- c -->\n  <?p x?>\n  <b/>\n</a>",
         "<?xml version='1.0'?><a><!-- c --><?p x?><b/></a>"},
        {"cdata makes content verbatim", xml, "<a> <![CDATA[x]]> </a>", "<a> <![CDATA[x]]> </a>",
         "<a> <![CDATA[x]]> </a>"},
        {"doctype internal subset with quoted >", xml, "<!DOCTYPE d [<!ENTITY e \"a>b\"> [x]]><d/>",
         "<!DOCTYPE d [<!ENTITY e \"a>b\"> [x]]>\n<d/>",
         "<!DOCTYPE d [<!ENTITY e \"a>b\"> [x]]><d/>"},
        {"list items end each other", html, "<ul><li>one<li>two</ul>",
         "<ul>\n  <li>one\n  <li>two\n</ul>", "<ul><li>one<li>two</ul>"},
        {"div ends an open paragraph", html, "<p>text<div>x</div>", "<p>text\n<div>x</div>",
         "<p>text<div>x</div>"},
        {"void elements do not nest", html, "<div><br><img src=x><input></div>",
         "<div>\n  <br>\n  <img src=x>\n  <input>\n</div>", "<div><br><img src=x><input></div>"},
        {"stray end tag keeps depth", html, "<div><a/></span><b></b></div>",
         "<div>\n  <a/>\n  </span>\n  <b></b>\n</div>", "<div><a/></span><b></b></div>"},
        {"script keeps its bytes", html, "<div><script>if (a<b) {}</script></div>",
         "<div>\n  <script>if (a<b) {}</script>\n</div>",
         "<div><script>if (a<b) {}</script></div>"},
        {"style ends case-insensitively", html, "<STYLE>a<b{}</style ><p>x",
         "<STYLE>a<b{}</style >\n<p>x", "<STYLE>a<b{}</style ><p>x"},
        {"unclosed script runs to the end", html, "<script>x</scrip", "<script>x</scrip",
         "<script>x</scrip"},
        {"quoted < does not end an html tag", html, "<a title=\"1<2\">x</a>",
         "<a title=\"1<2\">x</a>", "<a title=\"1<2\">x</a>"},
        {"html text with <", html, "1 < 2", "1 < 2", "1 < 2"},
        {"html unquoted < makes text", html, "<a <b>x</b>", "<a\n<b>x</b>", "<a<b>x</b>"},
        {"html bad end tag is text", html, "<p>a</ p>b</p>", "<p>a</ p>b</p>", "<p>a</ p>b</p>"},
        {"html unterminated tag is text", html, "<div>x<a href='y", "<div>x<a href='y",
         "<div>x<a href='y"},
        {"html unterminated comment runs to the end", html, "<div><!-- x", "<div>\n  <!-- x",
         "<div><!-- x"},
        {"html pi ends at >", html, "<?php echo 1 ><b>x</b>", "<?php echo 1 >\n<b>x</b>",
         "<?php echo 1 ><b>x</b>"},
        {"cells and rows", html, "<table><tr><td>1<td>2<tr><th>h</table>",
         "<table>\n  <tr>\n    <td>1\n    <td>2\n  <tr>\n    <th>h\n</table>",
         "<table><tr><td>1<td>2<tr><th>h</table>"},
        {"end tag closes open children", html, "<div><section><i>x</div>y",
         "<div>\n  <section>\n    <i>x\n</div>\ny", "<div><section><i>x</div>y"},
        {"pre keeps whitespace", html, "<div><pre>\n  a\n</pre></div>",
         "<div>\n  <pre>\n  a\n</pre>\n</div>", "<div><pre>\n  a\n</pre></div>"},
        {"element names compare case-insensitively", html, "<DIV><B>x</b></div>",
         "<DIV>\n  <B>x</b>\n</div>", "<DIV><B>x</b></div>"},
        {"implied end keeps the closing token's line", html, "<ul><li><b>x</b>\n  <li>y</ul>",
         "<ul>\n  <li>\n    <b>x</b>\n  <li>y\n</ul>", "<ul><li><b>x</b><li>y</ul>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pretty(c.input, c.dialect), c.prettyOutput) << c.name;
        EXPECT_EQ(minify(c.input, c.dialect), c.minifiedOutput) << c.name;
    }
}

TEST(MarkupFormatterTest, IndentsWithTheChosenUnit) {
    const char* input = "<a><b><c/></b></a>\n";
    EXPECT_EQ(pretty(input, xml, FormatIndent::tab()), "<a>\n\t<b>\n\t\t<c/>\n\t</b>\n</a>\n");
    EXPECT_EQ(pretty(input, xml, FormatIndent::spaces(4)),
              "<a>\n    <b>\n        <c/>\n    </b>\n</a>\n");
    EXPECT_EQ(pretty(input, xml, FormatIndent::spaces(0)), "<a>\n<b>\n<c/>\n</b>\n</a>\n");
    EXPECT_EQ(pretty(input, xml, FormatIndent::spaces(-2)), "<a>\n<b>\n<c/>\n</b>\n</a>\n");
}

struct ErrorCase {
    const char* name;
    Dialect dialect;
    const char* input;
    const char* expected; // "error: line:column:offset message"
};

TEST(MarkupFormatterTest, ReportsEveryFailureAtItsPosition) {
    const ErrorCase cases[] = {
        {"unterminated comment", xml, "<a>\n<!-- x", "error: 2:1:4 Kapanmamış yorum"},
        {"unterminated cdata", xml, "<a>ğ<![CDATA[x", "error: 1:5:4 Kapanmamış CDATA"},
        {"unterminated cdata in html", html, "<![CDATA[x", "error: 1:1:0 Kapanmamış CDATA"},
        {"unterminated pi", xml, "<?xml x", "error: 1:1:0 Kapanmamış işleme talimatı"},
        {"html pi without >", html, "x <?php", "error: 1:3:2 Kapanmamış işleme talimatı"},
        {"unterminated declaration", xml, "<!DOCTYPE [ > ", "error: 1:1:0 Kapanmamış bildirim"},
        {"html unterminated declaration", html, "a\n<!x \">\"", "error: 2:1:2 Kapanmamış bildirim"},
        {"bad end tag", xml, "<a></ a>", "error: 1:4:3 Geçersiz kapanış etiketi"},
        {"end tag without >", xml, "<a></a x>", "error: 1:4:3 Geçersiz kapanış etiketi"},
        {"unterminated tag", xml, "<a><b c='>'", "error: 1:4:3 Kapanmamış etiket"},
        {"bare < in text", xml, "<a>1 < 2</a>",
         "error: 1:6:5 Geçersiz '<' (metinde &lt; kullanın)"},
        {"< at the end", xml, "<a/><", "error: 1:5:4 Geçersiz '<' (metinde &lt; kullanın)"},
        {"mismatched end tag", xml, "<a><b></c></a>",
         "error: 1:7:6 Kapanış etiketi eşleşmiyor: </c>, beklenen </b>"},
        {"end tag with nothing open", xml, "</a>", "error: 1:1:0 Açılmamış öğenin kapanışı: </a>"},
        {"unclosed element", xml, "<a>", "error: 1:1:0 Kapanmamış öğe <a>"},
        {"innermost unclosed element", xml, "<a>\n  <ğ x='1'>\n</ğ>\n<b>",
         "error: 4:1:21 Kapanmamış öğe <b>"},
        // A four-byte character counts two UTF-16 units in the column and offset.
        {"position after an emoji", xml, "<a>\xF0\x9F\x98\x80</b>",
         "error: 1:6:5 Kapanış etiketi eşleşmiyor: </b>, beklenen </a>"},
        {"case matters in xml", xml, "<a></A>",
         "error: 1:4:3 Kapanış etiketi eşleşmiyor: </A>, beklenen </a>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pretty(c.input, c.dialect), c.expected) << c.name;
        EXPECT_EQ(minify(c.input, c.dialect), c.expected) << c.name;
    }
}

// Deep nesting never recurses: moderately deep documents format exactly, very deep ones either
// minify or fail cleanly once the indentation makes the output too large.
TEST(MarkupFormatterTest, HandlesDeepNesting) {
    constexpr int kDepth = 3000;
    std::string input;
    for (int i = 0; i < kDepth; ++i)
        input += "<a>";
    input += "<b/>";
    for (int i = 0; i < kDepth; ++i)
        input += "</a>";
    auto result = MarkupFormatter::formatBytes(input, xml, FormatIndent::spaces(1));
    ASSERT_TRUE(result.has_value());
    const std::string deepest =
        "\n" + std::string(kDepth, ' ') + "<b/>\n" + std::string(kDepth - 1, ' ') + "</a>\n";
    EXPECT_NE(result->find(deepest), std::string::npos);
    EXPECT_EQ(MarkupFormatter::formatBytes(input, xml, std::nullopt).value(), input);

    std::string deep;
    constexpr int kDeep = 100000;
    for (int i = 0; i < kDeep; ++i)
        deep += "<div>";
    for (int i = 0; i < kDeep; ++i)
        deep += "</div>";
    for (Dialect dialect : {xml, html})
        EXPECT_EQ(MarkupFormatter::formatBytes(deep, dialect, std::nullopt).value(), deep);
    auto tooDeep = MarkupFormatter::formatBytes(deep, html, FormatIndent::spaces(2));
    ASSERT_FALSE(tooDeep.has_value());
    EXPECT_EQ(tooDeep.error().message, tooLargeMessage);
    EXPECT_EQ(tooDeep.error().line, 1);
    EXPECT_GT(tooDeep.error().offset, 0);
    EXPECT_EQ(tooDeep.error().offset % 5, 0) << "positioned at a tag";
    // An HTML document that never closes its elements.
    std::string open;
    for (int i = 0; i < kDeep; ++i)
        open += "<span>";
    EXPECT_EQ(MarkupFormatter::formatBytes(open, html, std::nullopt).value(), open);
}

TEST(MarkupFormatterTest, FindsTerminatorsAnywhereInLongTokens) {
    // Long searches run in slices of 1 MiB; a terminator straddling a slice border must be found.
    constexpr std::size_t kSlice = 1 << 20;
    for (std::size_t shift = kSlice - 4; shift <= kSlice + 4; ++shift) {
        const std::string filler(shift, 'x');
        for (const auto& [open, close] :
             {std::pair{"<!--", "-->"}, std::pair{"<![CDATA[", "]]>"}, std::pair{"<?", "?>"}}) {
            const std::string input = std::string("<a>") + open + filler + close + "</a>";
            auto result = MarkupFormatter::formatBytes(input, xml, std::nullopt);
            ASSERT_TRUE(result.has_value()) << open << " " << shift;
            EXPECT_EQ(result->size(), input.size()) << open << " " << shift;
        }
        const std::string text = "<p>" + filler + "<b>x</b></p>";
        EXPECT_EQ(MarkupFormatter::formatBytes(text, html, std::nullopt).value(), text);
    }
}

TEST(MarkupFormatterTest, HugeIndentUnitFailsInsteadOfExhaustingMemory) {
    auto result =
        MarkupFormatter::formatBytes("<a>\n<b/>\n</a>", xml, FormatIndent::spaces(1 << 30));
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().message, tooLargeMessage);
    EXPECT_EQ(result.error().offset, 4); // the <b/> that would have been indented
}

TEST(MarkupFormatterTest, StrayEndTagsAgainstADeepStackStayFast) {
    // Each stray end tag must not walk the whole stack of open elements.
    std::string input;
    for (int i = 0; i < 100000; ++i)
        input += "<div>";
    for (int i = 0; i < 100000; ++i)
        input += "</span>";
    auto result = MarkupFormatter::formatBytes(input, html, std::nullopt);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, input);
}

TEST(MarkupFormatterTest, PathologicalHtmlStaysLinear) {
    // Start tags whose quotes never balance give their "<" back as text and scanning resumes
    // right after it; processing instructions without "?>" each end at their ">".
    std::string input;
    for (int i = 0; i < 200000; ++i)
        input += i % 2 ? "<b '\" " : "<a \"' ";
    input += "<? <? <?";
    auto result = MarkupFormatter::formatBytes(input, html, std::nullopt);
    ASSERT_FALSE(result.has_value()); // the final "<?" has no ">"
    EXPECT_EQ(result.error().message, u"Kapanmamış işleme talimatı");

    std::string pis;
    for (int i = 0; i < 200000; ++i)
        pis += "<?a>";
    EXPECT_EQ(MarkupFormatter::formatBytes(pis, html, std::nullopt).value(), pis);
}

/// A random document from markup-heavy fragments: well-formed enough to format often,
/// broken often enough to reach the failure paths.
std::string randomMarkup(std::mt19937& rng, bool wellFormed) {
    static const char* names[] = {"a",  "b",   "p",      "li", "div", "td",
                                  "tr", "pre", "script", "br", "x:y"};
    static const char* junk[] = {"<",  ">",    "</",  "<!--", "-->", "<![CDATA[", "]]>",
                                 "<?", "?>",   "\"",  "'",    "[",   "]",         " ",
                                 "\n", "text", "<!X", "/>",   "&lt;"};
    std::uniform_int_distribution<int> pick(0, 99);
    std::string out;
    std::vector<const char*> open;
    const int parts = 5 + pick(rng) % 60;
    for (int i = 0; i < parts; ++i) {
        const int r = pick(rng);
        const char* name = names[pick(rng) % std::size(names)];
        if (!wellFormed && r < 20) {
            out += junk[pick(rng) % std::size(junk)];
        } else if (r < 45) {
            out += std::string("<") + name + (pick(rng) < 30 ? " k=\"v > w\"" : "") + ">";
            open.push_back(name);
        } else if (r < 65 && !open.empty()) {
            out += std::string("</") + open.back() + ">";
            open.pop_back();
        } else if (r < 75) {
            out += std::string("<") + name + "/>";
        } else if (r < 85) {
            out += pick(rng) < 50 ? "  \n  " : " some  text ";
        } else if (r < 90) {
            out += "<!-- c -->";
        } else if (r < 95) {
            out += "<![CDATA[ x < y ]]>";
        } else {
            out += "<?pi d?>";
        }
    }
    if (wellFormed)
        while (!open.empty()) {
            out += std::string("</") + open.back() + ">";
            open.pop_back();
        }
    return out;
}

TEST(MarkupFormatterTest, MinifyOfPrettyEqualsMinify) {
    std::vector<std::string> corpus;
    for (const auto& entry :
         std::filesystem::directory_iterator(test::dataPath("formatting/markup")))
        if (entry.path().filename().string().find(".in.") != std::string::npos)
            corpus.push_back(test::readFileBytes(entry.path()));
    std::mt19937 rng(7);
    for (int i = 0; i < 400; ++i)
        corpus.push_back(randomMarkup(rng, i % 2 == 0));
    int checked = 0;
    for (const std::string& input : corpus) {
        for (Dialect dialect : {xml, html}) {
            for (FormatIndent indent : {FormatIndent::spaces(2), FormatIndent::tab()}) {
                auto minified = MarkupFormatter::formatBytes(input, dialect, std::nullopt);
                auto prettied = MarkupFormatter::formatBytes(input, dialect, indent);
                ASSERT_EQ(minified.has_value(), prettied.has_value()) << input;
                if (!minified)
                    continue;
                auto again = MarkupFormatter::formatBytes(*prettied, dialect, std::nullopt);
                ASSERT_TRUE(again.has_value()) << input;
                EXPECT_EQ(*again, *minified) << (dialect == xml ? "xml: " : "html: ") << input;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 400);
}

TEST(MarkupFormatterTest, ArbitraryBytesEndInAResultOrAnError) {
    std::mt19937 rng(11);
    const std::string alphabet = "<>/!?-[]\"' \n\tabpiCDATAscript=\xC3\xA7\xF0\x9F\x98\x80";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int i = 0; i < 3000; ++i) {
        std::string input;
        const std::size_t length = 1 + i % 80;
        for (std::size_t k = 0; k < length; ++k)
            input += alphabet[pick(rng)];
        for (Dialect dialect : {xml, html}) {
            auto result = MarkupFormatter::pretty(u16(input), dialect, FormatIndent::spaces(2));
            if (!result) {
                EXPECT_FALSE(result.error().message.empty());
                EXPECT_LE(result.error().offset, static_cast<std::int64_t>(u16(input).size()));
            }
        }
    }
}

std::string generatedDocument(std::size_t bytes) {
    std::string out = "<?xml version=\"1.0\"?>\n<root>\n";
    for (int i = 0; out.size() < bytes; ++i)
        out += "  <item id=\"" + std::to_string(i) + "\"><name>Öğe " + std::to_string(i) +
               "</name><empty/></item>\n";
    return out + "</root>\n";
}

TEST(MarkupFormatterTest, HonoursCancellationAndReportsProgress) {
    const std::string document = generatedDocument(1 << 20);
    {
        ProgressToken progress;
        progress.cancel();
        for (Dialect dialect : {xml, html}) {
            auto result =
                MarkupFormatter::formatBytes(document, dialect, FormatIndent::spaces(2), &progress);
            ASSERT_FALSE(result.has_value());
            EXPECT_EQ(result.error(), FormatProgress::cancelledError());
        }
        auto result = MarkupFormatter::pretty(u"<a/>", xml, FormatIndent::spaces(2), &progress);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error(), FormatProgress::cancelledError());
    }
    {
        // Progress rises monotonically and ends complete.
        auto progress = std::make_shared<ProgressToken>();
        std::atomic<bool> done{false};
        std::vector<double> seen;
        std::thread watcher([&] {
            while (!done)
                seen.push_back(progress->fraction());
        });
        EXPECT_TRUE(MarkupFormatter::formatBytes(document, xml, FormatIndent::spaces(2),
                                                 progress.get())
                        .has_value());
        done = true;
        watcher.join();
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_EQ(progress->fraction(), 1.0);
    }
}

TEST(MarkupFormatterTest, StopsWhenCancelledWhileRunning) {
    // Cancel from another thread once the job is under way. On a fast machine the job might
    // finish first, so the document grows until a run is caught in flight.
    for (std::size_t size = 8 << 20; size <= 64 << 20; size *= 2) {
        const std::string document = generatedDocument(size);
        auto progress = std::make_shared<ProgressToken>();
        std::expected<std::string, FormatError> result;
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            result = MarkupFormatter::formatBytes(document, xml, FormatIndent::spaces(2),
                                                  progress.get());
            finished = true;
        });
        while (progress->fraction() <= 0.0 && !finished)
            std::this_thread::yield();
        progress->cancel();
        worker.join();
        if (result.has_value())
            continue;
        EXPECT_EQ(result.error(), FormatProgress::cancelledError());
        EXPECT_LT(progress->fraction(), 1.0);
        return;
    }
    ADD_FAILURE() << "no run could be cancelled while in flight";
}

// The command-line tool's byte path against what it did before: decode (invalid bytes as
// U+FFFD), format the text, encode the result. Same bytes, same errors.
TEST(MarkupFormatterTest, FileBytesGiveTheDecodedTextsResult) {
    std::vector<std::string> corpus;
    for (const auto& entry :
         std::filesystem::directory_iterator(test::dataPath("formatting/markup")))
        corpus.push_back(test::readFileBytes(entry.path()));
    std::mt19937 rng(20261207);
    const std::string damage = "<>/=\"' a!?-&;\n\t\xC3\xA7\xF0\x9F\x98\x80\xFF\x80";
    for (int i = 0; i < 2000; ++i) {
        std::string text = randomMarkup(rng, i % 2 == 0);
        for (int edits = static_cast<int>(rng() % 3); edits > 0 && !text.empty(); --edits)
            text.insert(rng() % text.size(), 1, damage[rng() % damage.size()]);
        corpus.push_back(std::move(text));
    }
    for (const std::string& bytes : corpus) {
        const std::u16string text = FormatText::fromUTF8(bytes);
        for (Dialect dialect : {xml, html}) {
            for (auto indent : {std::optional(FormatIndent::spaces(2)),
                                std::optional<FormatIndent>()}) {
                auto decoded = indent ? MarkupFormatter::pretty(text, dialect, *indent)
                                      : MarkupFormatter::minify(text, dialect);
                auto expected = decoded ? std::expected<std::string, FormatError>(
                                              FormatText::toUTF8(*decoded))
                                        : std::unexpected(decoded.error());
                ASSERT_EQ(MarkupFormatter::formatFileBytes(bytes, dialect, indent), expected)
                    << bytes;
            }
        }
    }
}

} // namespace
} // namespace vendrix
