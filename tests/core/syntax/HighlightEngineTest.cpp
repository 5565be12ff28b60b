#include "core/syntax/HighlightEngine.h"
#include "EngineTestSupport.h"
#include "SyntaxTestSupport.h"
#include "core/syntax/LanguageID.h"

#include <random>

namespace vendrix {
namespace {

using test::Document;
using test::flatten;
using test::referenceTokens;
using test::u16;

std::vector<Token> linesOf(HighlightEngine& engine, const Document& doc, std::int64_t first,
                           std::int64_t last) {
    StringTextSource source(doc.text);
    return engine.tokens(first, last, source, doc.index);
}

std::u16string repeatLines(std::u16string_view line, int count) {
    std::u16string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += u'\n';
        text += line;
    }
    return text;
}

TEST(HighlightEngineTest, CreationAndReset) {
    EXPECT_EQ(HighlightEngine::create(LanguageID::plainText, 10, 20000), nullptr);
    EXPECT_EQ(HighlightEngine::create("rust", 10, 20000), nullptr);
    auto engine = HighlightEngine::create(LanguageID::json, 10, 20000);
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->languageID(), "json");
    EXPECT_EQ(engine->maxLineLength(), 20000);
    EXPECT_EQ(engine->validLineCount(), 1);
    EXPECT_EQ(engine->knownLineCount(), 1);
    EXPECT_EQ(engine->linesScanned(), 0);
    EXPECT_EQ(engine->breakCount(), 0);
    EXPECT_TRUE(HighlightEngine::tokenize(u"{\"a\": 1}", LanguageID::plainText).empty());
    EXPECT_EQ(HighlightEngine::tokenize(u"{\"a\": 1}", LanguageID::json),
              (std::vector<Token>{{1, 3, TokenKind::property}, {6, 1, TokenKind::number}}));
}

TEST(HighlightEngineTest, CatchUpScansWithoutTokensAndReturnsOnlyRequestedLines) {
    Document doc(repeatLines(u"let x = 1;", 1000));
    auto engine = HighlightEngine::create(LanguageID::javascript, doc.index.lineCount(), 20000);
    auto tokens = linesOf(*engine, doc, 990, 999);
    EXPECT_EQ(engine->linesScanned(), 1000);
    ASSERT_EQ(tokens.size(), 20u);
    EXPECT_EQ(tokens.front(), Token(doc.index.lineStart(990), 3, TokenKind::keyword));
    EXPECT_EQ(tokens.back(), Token(doc.index.lineStart(999) + 8, 1, TokenKind::number));
    EXPECT_EQ(engine->knownLineCount(), 1000);
    // A second request for the same lines costs only those lines.
    (void)linesOf(*engine, doc, 990, 999);
    EXPECT_EQ(engine->linesScanned(), 1010);
}

TEST(HighlightEngineTest, EditThatRemovesCommentOpener) {
    Document doc(u"/*\nx\n*/\ny");
    auto engine = HighlightEngine::create(LanguageID::javascript, doc.index.lineCount(), 20000);
    EXPECT_EQ(linesOf(*engine, doc, 1, 1), (std::vector<Token>{{3, 1, TokenKind::comment}}));
    TextRange edited = doc.replace({0, 2}, u"//");
    engine->noteEdit(edited, doc.index);
    EXPECT_TRUE(linesOf(*engine, doc, 1, 1).empty());
    EXPECT_EQ(linesOf(*engine, doc, 0, 3), (std::vector<Token>{{0, 2, TokenKind::comment}}));
}

TEST(HighlightEngineTest, TypingConvergesAtTheFirstMatchingState) {
    Document doc(repeatLines(u"x", 10000));
    auto engine = HighlightEngine::create(LanguageID::javascript, doc.index.lineCount(), 20000);
    (void)linesOf(*engine, doc, 9999, 9999);
    EXPECT_EQ(engine->knownLineCount(), 10000);
    EXPECT_EQ(engine->validLineCount(), 10000);

    TextRange edited = doc.replace({doc.index.lineStart(5) + 1, 0}, u"y");
    engine->noteEdit(edited, doc.index);
    EXPECT_EQ(engine->validLineCount(), 6);
    EXPECT_EQ(engine->breaks(), (std::vector<HighlightEngine::LineSpan>{{6, 7}}));

    std::int64_t before = engine->linesScanned();
    (void)linesOf(*engine, doc, 0, 40);
    EXPECT_EQ(engine->linesScanned() - before, 41);
    EXPECT_EQ(engine->validLineCount(), 10000);
    EXPECT_EQ(engine->breakCount(), 0);
}

TEST(HighlightEngineTest, LineCountChangesAreHandled) {
    Document doc(repeatLines(u"/* a */ b", 50));
    auto engine = HighlightEngine::create(LanguageID::javascript, doc.index.lineCount(), 20000);
    (void)linesOf(*engine, doc, 0, 49);
    EXPECT_EQ(engine->knownLineCount(), 50);

    // An edit reported with noteEdit that deletes lines shrinks the remembered states.
    TextRange edited =
        doc.replace({doc.index.lineStart(40), doc.index.length() - doc.index.lineStart(40)}, u"");
    engine->noteEdit(edited, doc.index);
    EXPECT_LE(engine->knownLineCount(), doc.index.lineCount());
    EXPECT_EQ(linesOf(*engine, doc, 0, 100),
              flatten(referenceTokens(test::tokenizerFor("javascript"), doc.text), 0, 100));

    // An edit the engine never heard of: the line count no longer matches, so it starts over.
    doc.replace({0, 0}, u"/*\n\n");
    EXPECT_EQ(linesOf(*engine, doc, 0, 100),
              flatten(referenceTokens(test::tokenizerFor("javascript"), doc.text), 0, 100));
    EXPECT_EQ(engine->validLineCount(), doc.index.lineCount());
}

TEST(HighlightEngineTest, RequestsOutsideTheTextAreClamped) {
    Document doc(u"let a\nlet b\nlet c");
    auto engine = HighlightEngine::create(LanguageID::javascript, 3, 20000);
    StringTextSource source(doc.text);
    EXPECT_EQ(engine->tokens(2, 500, source, doc.index),
              (std::vector<Token>{{12, 3, TokenKind::keyword}}));
    EXPECT_EQ(engine->tokens(40, 50, source, doc.index),
              (std::vector<Token>{{12, 3, TokenKind::keyword}}));
    EXPECT_EQ(engine->tokens(-9, -2, source, doc.index),
              (std::vector<Token>{{0, 3, TokenKind::keyword}}));
    EXPECT_TRUE(engine->tokens(2, 1, source, doc.index).empty());
    EXPECT_EQ(engine->state(1000, source, doc.index), 0u);
    EXPECT_EQ(engine->state(-3, source, doc.index), 0u);
    EXPECT_TRUE(engine->tokens(TextRange{4, 0}, source, doc.index).empty());
    EXPECT_EQ(engine->tokens(TextRange{1, 12}, source, doc.index),
              (std::vector<Token>{{1, 2, TokenKind::keyword},
                                  {6, 3, TokenKind::keyword},
                                  {12, 1, TokenKind::keyword}}));

    // A line index that claims more text than the source holds is read only as far as the
    // text goes.
    StringTextSource shorter(std::u16string_view(doc.text).substr(0, 8));
    auto other = HighlightEngine::create(LanguageID::javascript, 3, 20000);
    EXPECT_EQ(other->tokens(0, 2, shorter, doc.index),
              (std::vector<Token>{{0, 3, TokenKind::keyword}}));
}

TEST(HighlightEngineTest, StateForRemovedLinesIsNotUsed) {
    Document doc(u"a\n/*\nb\nc\nd\ne");
    auto engine = HighlightEngine::create(LanguageID::javascript, doc.index.lineCount(), 20000);
    StringTextSource source(doc.text);
    EXPECT_EQ(engine->state(5, source, doc.index), 257u);
    // Remove the opener's line and everything after it but one line.
    TextRange edited = doc.replace({2, static_cast<std::int64_t>(doc.text.size()) - 3}, u"");
    engine->noteEdit(edited, doc.index);
    StringTextSource after(doc.text);
    EXPECT_EQ(doc.index.lineCount(), 2);
    EXPECT_EQ(engine->state(1, after, doc.index), 0u);
    EXPECT_EQ(engine->state(7, after, doc.index), 0u);
    EXPECT_TRUE(engine->tokens(0, 7, after, doc.index).empty());
}

TEST(HighlightEngineTest, BreaksStraddlingAnEditStayDistrusted) {
    // The first edit leaves placeholders for lines 3...5; the second edits line 4, inside
    // them. The placeholder of line 4 must not be trusted when line 3 happens to converge.
    Document doc(u"a\nb\nc\nd\ne\nf\ng");
    const auto& tokenizer = test::tokenizerFor("javascript");
    auto engine = HighlightEngine::create(LanguageID::javascript, doc.index.lineCount(), 20000);
    (void)linesOf(*engine, doc, 0, 6);
    engine->noteEdit(doc.replace({4, 1}, u"z\n/*\nw"), doc.index);
    engine->noteEdit(doc.replace({doc.index.lineStart(4), 1}, u"ww"), doc.index);
    (void)linesOf(*engine, doc, 3, 3);
    EXPECT_EQ(linesOf(*engine, doc, 4, 4), flatten(referenceTokens(tokenizer, doc.text), 4, 4));
    EXPECT_EQ(linesOf(*engine, doc, 0, 99), flatten(referenceTokens(tokenizer, doc.text), 0, 99));
}

TEST(HighlightEngineTest, LongLinesAreCut) {
    std::u16string line;
    while (line.size() < 50000)
        line += u"let ";
    Document doc(line + u"\n/*");
    auto engine = HighlightEngine::create(LanguageID::javascript, 2, 20000);
    auto tokens = linesOf(*engine, doc, 0, 1);
    ASSERT_FALSE(tokens.empty());
    EXPECT_EQ(tokens[tokens.size() - 2].range.end(), 20000 - 1);
    EXPECT_EQ(tokens.back(), Token(50001, 2, TokenKind::comment));
    // The state after a long line comes from its first units only: a comment opened after
    // the cut does not reach the next line.
    Document cut(line + u"/*\nx");
    auto other = HighlightEngine::create(LanguageID::javascript, 2, 20000);
    EXPECT_TRUE(linesOf(*other, cut, 1, 1).empty());
}

TEST(HighlightEngineTest, RandomEditsMatchFreshTokenizingForEveryLanguage) {
    // Snippets that open and close every multi-line construct of the languages.
    const char16_t* snippets[] = {
        u"/*",        u"*/",      u"\n",      u"\n\n", u"\"",         u"'",     u"`",
        u"'''",       u"\"\"\"",  u"<!--",    u"-->",  u"```",        u"~~~",   u"<script>",
        u"</script>", u"<style>", u"{",       u"}",    u"key: |",     u"  - x", u"@\"",
        u"#",         u"--",      u"x",       u"  ",   u"<a href=\"", u">",     u"]]>",
        u"<![CDATA[", u"$'",      u"/* a */", u"let ", u"ç",          u"\t",    u"-",
        u":",         u";"};
    std::mt19937 rng(20261207);
    for (const auto& definition : LanguageCatalog::all()) {
        SCOPED_TRACE(definition.id);
        Document doc(u"");
        for (int i = 0; i < 120; ++i)
            doc.text += snippets[rng() % std::size(snippets)];
        doc.index = LineIndex(doc.text);
        auto engine = HighlightEngine::create(definition.id, doc.index.lineCount(), 20000);
        for (int step = 0; step < 150; ++step) {
            const int edits = 1 + static_cast<int>(rng() % 3);
            for (int k = 0; k < edits; ++k) {
                auto length = static_cast<std::int64_t>(doc.text.size());
                std::int64_t at = length == 0 ? 0 : static_cast<std::int64_t>(rng() % (length + 1));
                std::int64_t removed = std::min<std::int64_t>(length - at, rng() % 6);
                std::u16string inserted;
                for (int piece = static_cast<int>(rng() % 3); piece > 0; --piece)
                    inserted += snippets[rng() % std::size(snippets)];
                engine->noteEdit(doc.replace({at, removed}, inserted), doc.index);
            }
            auto reference = referenceTokens(*definition.tokenizer, doc.text);
            const std::int64_t n = doc.index.lineCount();
            std::int64_t first = static_cast<std::int64_t>(rng() % n);
            std::int64_t last = std::min(n - 1, first + static_cast<std::int64_t>(rng() % 8));
            ASSERT_EQ(linesOf(*engine, doc, first, last), flatten(reference, first, last))
                << "step " << step << " lines " << first << "..." << last;
            if (step % 10 == 0) {
                ASSERT_EQ(linesOf(*engine, doc, 0, n - 1), flatten(reference, 0, n - 1));
            }
        }
    }
}

} // namespace
} // namespace vendrix
