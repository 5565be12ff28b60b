#include "core/syntax/BracketMatcher.h"
#include "core/syntax/CommentToggler.h"
#include "core/syntax/LanguageCatalog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

using test::formatMarked;
using test::parseMarked;
using test::u16;
using test::u8;

std::optional<BracketMatch> matchIn(std::u16string_view text, std::int64_t caret,
                                    std::int64_t window = 20000,
                                    BracketMatcher::Exclusion excluded = {}) {
    StringTextSource source(text);
    return BracketMatcher::match(source, caret, window, excluded);
}

TEST(BracketMatcherTest, FindsPartnersWithinWindow) {
    struct Case {
        const char* name;
        const char16_t* text;
        std::int64_t caret;
        std::int64_t window;
        std::optional<BracketMatch> expected;
    };
    const Case cases[] = {
        {"after opener", u"(a[b]c)", 1, 20000, BracketMatch{0, 6}},
        {"after closer", u"(a[b]c)", 5, 20000, BracketMatch{4, 2}},
        {"at caret when before is no bracket", u"a{b}", 1, 20000, BracketMatch{1, 3}},
        {"unmatched at text end", u"((", 2, 20000, BracketMatch{1, std::nullopt}},
        {"window ends before text", u"(x)", 1, 1, std::nullopt},
        {"window reaches the end exactly", u"(x)", 1, 2, BracketMatch{0, 2}},
        {"backward window ends before start", u"(x)", 3, 1, std::nullopt},
        {"bracket at very end forward", u"ab(", 3, 20000, BracketMatch{2, std::nullopt}},
        {"bracket at very start backward", u")ab", 0, 20000, BracketMatch{0, std::nullopt}},
        {"no bracket", u"abc", 1, 20000, std::nullopt},
        {"angle brackets are not brackets", u"<a>", 1, 20000, std::nullopt},
        {"mixed kinds are independent", u"([)]", 1, 20000, BracketMatch{0, 2}},
        {"caret past the end", u"()", 7, 20000, std::nullopt},
        {"empty text", u"", 0, 20000, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchIn(c.text, c.caret, c.window), c.expected) << c.name;
}

TEST(BracketMatcherTest, SkipsExcludedPositions) {
    // f(")") with the quoted part excluded: the partner is the real closer.
    auto excluded = BracketMatcher::exclusion({TextRange{2, 3}});
    EXPECT_EQ(matchIn(u"f(\")\")", 2, 20000, excluded), (BracketMatch{1, 5}));
    EXPECT_EQ(matchIn(u"f(\")\")", 2), (BracketMatch{1, 3}));
    // An excluded bracket next to the caret is no candidate.
    EXPECT_EQ(matchIn(u"\"(\"", 2, 20000, BracketMatcher::exclusion({TextRange{0, 3}})),
              std::nullopt);

    auto test = BracketMatcher::exclusion({{2, 2}, {10, 1}, {20, 0}});
    std::vector<std::int64_t> hits;
    for (std::int64_t i = 0; i < 25; ++i)
        if (test(i))
            hits.push_back(i);
    EXPECT_EQ(hits, (std::vector<std::int64_t>{2, 3, 10}));
}

struct ToggleCase {
    const char* name;
    const char* language;
    const char* before; // selection written with parseMarked markers
    const char* after;
};

const ToggleCase kToggleCases[] = {
    {"python blank line kept, smallest indent", "python", "[a\n\n  b]", "[# a\n\n#   b]"},
    {"python uncomment", "python", "[# a\n\n#   b]", "[a\n\n  b]"},
    {"swift caret moves with insertion", "swift", "  x|", "  // x|"},
    {"swift caret before column stays", "swift", "|  x", "|  // x"},
    {"swift caret uncomment", "swift", "  // x|", "  x|"},
    {"caret inside removed marker stops at column", "swift", "  /|/ x", "  |x"},
    {"selection ending at line start excludes next line", "javascript", "[a\n]b", "[// a]\nb"},
    {"mixed lines comment all", "javascript", "[// a\nb]", "[// // a\n// b]"},
    {"marker without space uncomments", "shell", "[#a\n  #b]", "[a\n  b]"},
    {"all blank lines get the marker", "yaml", "[  \n]", "[#   ]\n"},
    {"caret on empty line", "sql", "x\n|", "x\n-- |"},
    {"css block wrap keeps whitespace outside", "css", "[  color: red; ]",
     "[  /* color: red; */ ]"},
    {"css block unwrap", "css", "[  /* color: red; */ ]", "[  color: red; ]"},
    {"css caret wraps the line", "css", "a {|}", "[/* a {} */]"},
    {"html block comment", "html", "x [<b>y</b>] z", "x [<!-- <b>y</b> -->] z"},
    {"markdown unwrap without spaces", "markdown", "[<!--x-->]", "[x]"},
    {"block delimiters alone unwrap to empty", "css", "[/**/]", "|"},
};

TEST(CommentTogglerTest, TogglesLinesAndBlocks) {
    for (const ToggleCase& c : kToggleCases) {
        SCOPED_TRACE(c.name);
        const LanguageDefinition* definition = LanguageCatalog::definition(c.language);
        ASSERT_NE(definition, nullptr);
        auto marked = parseMarked(c.before);
        StringTextSource source(marked.text);
        auto edit = CommentToggler::toggle(source, marked.selection, definition->lineComment,
                                           definition->blockComment);
        ASSERT_TRUE(edit);
        std::u16string result = marked.text;
        result.replace(static_cast<size_t>(edit->range.location),
                       static_cast<size_t>(edit->range.length), edit->replacement);
        EXPECT_EQ(formatMarked(result, edit->selection), c.after);
    }
}

TEST(CommentTogglerTest, NoMarkersGiveNothing) {
    StringTextSource source(u"x");
    EXPECT_EQ(CommentToggler::toggle(source, {0, 0}, std::nullopt, std::nullopt), std::nullopt);
    EXPECT_EQ(CommentToggler::toggle(source, {0, 0}, u"", std::nullopt), std::nullopt);
}

TEST(CommentTogglerTest, RandomLineBlocksRoundTrip) {
    // Commenting then uncommenting the same lines gives back the text, for every language
    // with a line marker; wrapping then unwrapping likewise for block markers.
    std::mt19937 rng(7);
    const char16_t* pieces[] = {u"x", u" ", u"\t", u"\n", u"ab", u"#", u"//", u"*/", u"ç"};
    for (int round = 0; round < 300; ++round) {
        std::u16string text;
        int count = std::uniform_int_distribution<int>(0, 12)(rng);
        for (int i = 0; i < count; ++i)
            text += pieces[std::uniform_int_distribution<int>(0, 8)(rng)];
        auto length = static_cast<std::int64_t>(text.size());
        std::int64_t a = std::uniform_int_distribution<std::int64_t>(0, length)(rng);
        std::int64_t b = std::uniform_int_distribution<std::int64_t>(a, length)(rng);
        for (const auto& definition : LanguageCatalog::all()) {
            StringTextSource source(text);
            std::optional<std::u16string> line = definition.lineComment;
            std::optional<BlockComment> block = line ? std::nullopt : definition.blockComment;
            auto first = CommentToggler::toggle(source, {a, b - a}, line, block);
            ASSERT_TRUE(first);
            std::u16string once = text;
            once.replace(static_cast<size_t>(first->range.location),
                         static_cast<size_t>(first->range.length), first->replacement);
            StringTextSource onceSource(once);
            // Toggle the replaced span again (as the editor's selection would after a
            // non-empty toggle).
            TextRange again = first->range.length == 0 && b == a
                                  ? first->selection
                                  : TextRange{first->range.location,
                                              static_cast<std::int64_t>(first->replacement.size())};
            auto second = CommentToggler::toggle(onceSource, again, line, block);
            ASSERT_TRUE(second);
            std::u16string twice = once;
            twice.replace(static_cast<size_t>(second->range.location),
                          static_cast<size_t>(second->range.length), second->replacement);
            // A line that already held the marker is uncommented by the first toggle; only
            // texts the first toggle commented must come back exactly.
            if (first->replacement.size() > static_cast<size_t>(first->range.length)) {
                EXPECT_EQ(u8(twice), u8(text))
                    << definition.id << " [" << a << "," << b << ") " << u8(text);
            }
        }
    }
}

} // namespace
} // namespace vendrix
