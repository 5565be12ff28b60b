// Golden token files for every language, and the differential and property checks that run
// over the same samples: line-by-line tokenizing equals the engine's output, edits reported
// through noteEdit leave the engine agreeing with a fresh tokenization, and tokens on random
// input are ordered, non-overlapping and inside their line.
//
// Regenerate the golden files with VENDRIX_UPDATE_GOLDEN=1 and review the diff by eye.
#include "EngineTestSupport.h"
#include "SyntaxTestSupport.h"
#include "core/syntax/HighlightEngine.h"
#include "core/syntax/LanguageCatalog.h"

#include <cstdlib>
#include <random>

namespace vendrix {
namespace {

using test::Document;
using test::flatten;
using test::referenceTokens;
using test::u16;
using test::u8;

const char* const kSamples[] = {"sample.json",         "sample.xml",   "sample.html", "sample.js",
                                "sample.ts",           "sample.swift", "sample.cs",   "sample.py",
                                "sample.sql",          "sample.md",    "sample.yaml", "sample.sh",
                                "sample.css",          "literals.js",  "regex.ts",    "heredoc.sh",
                                "interpolation.swift", "scalars.yaml", "lists.md"};

struct Sample {
    std::string file;
    std::string language;
    std::u16string text;
};

Sample loadSample(const std::string& file) {
    std::u16string text = u16(test::readFileBytes(test::dataPath("syntax/" + file)));
    auto language = LanguageCatalog::detect(file, text);
    return Sample{file, language.value_or("plain"), std::move(text)};
}

/// A text source split in two around a gap, as the editor's storage is.
class GapSource final : public TextSource {
public:
    GapSource(std::u16string_view text, std::size_t split)
        : m_front(text.substr(0, split)), m_back(text.substr(split)) {}
    std::int64_t length() const override {
        return static_cast<std::int64_t>(m_front.size() + m_back.size());
    }
    void copyUnits(TextRange range, char16_t* out) const override {
        for (std::int64_t i = 0; i < range.length; ++i) {
            auto at = static_cast<std::size_t>(range.location + i);
            out[i] = at < m_front.size() ? m_front[at] : m_back[at - m_front.size()];
        }
    }

private:
    std::u16string m_front, m_back;
};

std::string escapeTokenText(std::u16string_view text) {
    std::string out;
    for (char c : u8(text)) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

std::string goldenText(const Sample& sample, const std::vector<Token>& tokens) {
    LineIndex index(sample.text);
    std::string out = "# " + sample.file + " as " + sample.language +
                      ": LINE:COLUMN LENGTH KIND, then the token's text\n";
    for (const Token& token : tokens) {
        std::int64_t line = index.lineNumber(token.range.location);
        std::int64_t column = token.range.location - index.lineStart(line);
        out += std::to_string(line + 1) + ":" + std::to_string(column) + " " +
               std::to_string(token.range.length) + " " + std::string(rawValue(token.kind)) + "\t" +
               escapeTokenText(std::u16string_view(sample.text)
                                   .substr(static_cast<std::size_t>(token.range.location),
                                           static_cast<std::size_t>(token.range.length))) +
               "\n";
    }
    return out;
}

TEST(GoldenTokensTest, SamplesMatchTheirGoldenFiles) {
    const bool update = [] {
        const char* flag = std::getenv("VENDRIX_UPDATE_GOLDEN");
        return flag && std::string_view(flag) == "1";
    }();
    for (const char* file : kSamples) {
        SCOPED_TRACE(file);
        Sample sample = loadSample(file);
        ASSERT_NE(LanguageCatalog::definition(sample.language), nullptr) << sample.language;
        std::string actual =
            goldenText(sample, HighlightEngine::tokenize(sample.text, sample.language));
        auto goldenPath = test::dataPath("syntax/" + std::string(file) + ".tokens");
        if (update) {
            test::writeFileBytes(goldenPath, actual);
            continue;
        }
        std::string expected = test::readFileBytes(goldenPath);
        EXPECT_EQ(actual, expected) << "regenerate with VENDRIX_UPDATE_GOLDEN=1 and review";
    }
}

TEST(GoldenTokensTest, EngineEqualsLineByLineTokenizing) {
    std::mt19937 rng(11);
    for (const char* file : kSamples) {
        SCOPED_TRACE(file);
        Sample sample = loadSample(file);
        const SyntaxTokenizer& tokenizer = *LanguageCatalog::definition(sample.language)->tokenizer;
        auto reference = referenceTokens(tokenizer, sample.text);
        const auto n = static_cast<std::int64_t>(reference.size());
        EXPECT_EQ(HighlightEngine::tokenize(sample.text, sample.language),
                  flatten(reference, 0, n));

        // Visible windows requested in random order, read from a split source.
        LineIndex index(sample.text);
        GapSource source(sample.text, sample.text.size() / 3);
        auto engine = HighlightEngine::create(sample.language, n, 20000);
        for (int request = 0; request < 40; ++request) {
            std::int64_t first = static_cast<std::int64_t>(rng() % n);
            std::int64_t last = std::min(n - 1, first + static_cast<std::int64_t>(rng() % 30));
            ASSERT_EQ(engine->tokens(first, last, source, index), flatten(reference, first, last));
        }
        // The same with every line cut short.
        auto shortReference = referenceTokens(tokenizer, sample.text, 7);
        auto cut = HighlightEngine::create(sample.language, n, 7);
        EXPECT_EQ(cut->tokens(0, n - 1, source, index), flatten(shortReference, 0, n));
    }
}

TEST(GoldenTokensTest, RandomEditsOnSamplesMatchFreshTokenizing) {
    const char16_t* snippets[] = {
        u"/*",      u"*/",      u"\n",  u"\"",     u"'",    u"`",         u"'''", u"\"\"\"",
        u"<!--",    u"-->",     u"```", u"{",      u"}",    u"|",         u"#",   u"x",
        u"<style>", u"  ",      u"@\"", u"\n  - ", u"",     u"/",         u"[",   u"\\",
        u"<<EOF\n", u"\nEOF\n", u"${",  u"\\(",    u"##\"", u"\n    ```", u","};
    std::mt19937 rng(99);
    for (const char* file : kSamples) {
        SCOPED_TRACE(file);
        Sample sample = loadSample(file);
        const SyntaxTokenizer& tokenizer = *LanguageCatalog::definition(sample.language)->tokenizer;
        Document doc(sample.text);
        auto engine = HighlightEngine::create(sample.language, doc.index.lineCount(), 20000);
        StringTextSource initial(doc.text);
        (void)engine->tokens(0, doc.index.lineCount() - 1, initial, doc.index);
        for (int step = 0; step < 60; ++step) {
            auto length = static_cast<std::int64_t>(doc.text.size());
            std::int64_t at = static_cast<std::int64_t>(rng() % (length + 1));
            std::int64_t removed =
                std::min<std::int64_t>(length - at, rng() % 4 == 0 ? rng() % 200 : rng() % 3);
            std::u16string inserted = snippets[rng() % std::size(snippets)];
            engine->noteEdit(doc.replace({at, removed}, inserted), doc.index);
            if (step % 3 != 0)
                continue; // several edits between requests, as with fast typing
            auto reference = referenceTokens(tokenizer, doc.text);
            const std::int64_t n = doc.index.lineCount();
            std::int64_t first = static_cast<std::int64_t>(rng() % n);
            std::int64_t last = std::min(n - 1, first + 40);
            StringTextSource source(doc.text);
            ASSERT_EQ(engine->tokens(first, last, source, doc.index),
                      flatten(reference, first, last))
                << "step " << step;
            ASSERT_LE(engine->knownLineCount(), n);
        }
        StringTextSource source(doc.text);
        const std::int64_t n = doc.index.lineCount();
        EXPECT_EQ(engine->tokens(0, n - 1, source, doc.index),
                  flatten(referenceTokens(tokenizer, doc.text), 0, n));
    }
}

TEST(GoldenTokensTest, TokenInvariantsOnRandomInput) {
    const char16_t alphabet[] =
        u" \t\"'`\\/*#-<>!?&;:=@$%{}[]()|~_+.,0123456789abcxyzABCXYZ\u00e7\u0130\U0001F600";
    const std::size_t alphabetSize = std::size(alphabet) - 1; // lone surrogates included
    std::mt19937 rng(5);
    for (const auto& definition : LanguageCatalog::all()) {
        SCOPED_TRACE(definition.id);
        const SyntaxTokenizer& tokenizer = *definition.tokenizer;
        std::vector<std::uint32_t> seenStates = {0};
        for (int round = 0; round < 3000; ++round) {
            std::u16string line;
            const int length = static_cast<int>(rng() % 40);
            for (int i = 0; i < length; ++i)
                line += alphabet[rng() % alphabetSize];
            // States the tokenizer produced before, and now and then an arbitrary value.
            std::uint32_t state = round % 10 == 9 ? static_cast<std::uint32_t>(rng())
                                                  : seenStates[rng() % seenStates.size()];
            auto result = test::tokenizeLine(tokenizer, line, state);
            std::int64_t previousEnd = 0;
            for (const Token& token : result.tokens) {
                ASSERT_GT(token.range.length, 0) << u8(line);
                ASSERT_GE(token.range.location, previousEnd) << u8(line) << " state " << state;
                ASSERT_LE(token.range.end(), static_cast<std::int64_t>(line.size())) << u8(line);
                previousEnd = token.range.end();
            }
            std::uint32_t quiet = tokenizer.tokenizeLine(
                line.data(), static_cast<std::int64_t>(line.size()), state, TokenEmitter{});
            ASSERT_EQ(quiet, result.state) << u8(line) << " state " << state;
            // Pure: the same input gives the same output.
            ASSERT_EQ(test::tokenizeLine(tokenizer, line, state).tokens, result.tokens);
            if (seenStates.size() < 64)
                seenStates.push_back(result.state);
            else
                seenStates[rng() % seenStates.size()] = result.state;
        }
    }
}

} // namespace
} // namespace vendrix
