// Searching a UTF-8 file's bytes must report exactly the hits that searching its decoded text
// reports: same lines, UTF-16 columns, previews, count and truncation.
#include "core/search/LiteralMatcher.h"
#include "core/search/LiteralScan.h"
#include "core/search/MultiDocumentSearch.h"
#include "core/search/Utf8Bytes.h"
#include "core/text/TextEncoding.h"
#include "core/search/Utf8LiteralSearch.h"
#include "core/text/TextFileCodec.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace vendrix {
namespace {

using test::u16;
using test::u8;

struct Outcome {
    std::vector<Utf8Hit> hits;
    bool truncated = false;
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& outcome) {
    for (const Utf8Hit& hit : outcome.hits)
        os << hit.line << ":" << hit.column << ": " << u8(hit.preview) << "\n";
    return os << (outcome.truncated ? "truncated" : "complete");
}

Outcome viaDecodedText(const SearchPattern& pattern, std::string_view bytes, std::int64_t limit) {
    const std::u16string text = TextFileCodec::decode(bytes).text;
    const SearchDocument document(Uuid{}, std::u16string_view(text));
    auto result = MultiDocumentSearch::search(pattern, std::span(&document, 1), limit,
                                              SearchBudget::unlimited());
    EXPECT_TRUE(result.has_value());
    Outcome outcome;
    for (const SearchHit& hit : result->hits)
        outcome.hits.push_back(Utf8Hit{hit.line, hit.column, hit.preview, hit.previewColumn});
    outcome.truncated = result->truncated;
    return outcome;
}

Outcome viaBytes(const Utf8LiteralSearch& search, std::string_view bytes, std::int64_t limit) {
    auto result = search.searchIfUtf8(bytes, limit, SearchBudget::unlimited());
    EXPECT_TRUE(result.has_value() && result->has_value());
    if (!result || !*result)
        return {};
    return Outcome{(*result)->hits, (*result)->truncated};
}

struct Prepared {
    SearchPattern pattern;
    Utf8LiteralSearch search;
    int flags;
};

/// The query compiled with every option set the byte search takes.
std::vector<Prepared> allOptions(const std::u16string& query) {
    std::vector<Prepared> prepared;
    for (int flags = 0; flags < 4; ++flags) {
        auto pattern =
            SearchPattern::compile(SearchOptions{query, false, (flags & 1) != 0, (flags & 2) != 0});
        if (!pattern)
            continue;
        if (auto search = Utf8LiteralSearch::make(*pattern))
            prepared.push_back(Prepared{*pattern, *search, flags});
    }
    return prepared;
}

/// Compares the two ways for each prepared option set; the number compared.
int compare(const std::vector<Prepared>& prepared, std::string_view bytes, std::int64_t limit) {
    for (const Prepared& p : prepared)
        EXPECT_EQ(viaBytes(p.search, bytes, limit), viaDecodedText(p.pattern, bytes, limit))
            << "query \"" << u8(p.pattern.options().query) << "\" flags " << p.flags << " limit "
            << limit;
    return static_cast<int>(prepared.size());
}

/// Compares the two ways for every option set the byte search takes; the number compared.
int compareAllOptions(const std::u16string& query, std::string_view bytes, std::int64_t limit) {
    return compare(allOptions(query), bytes, limit);
}

// UTF-8 pieces: ASCII words, every line break form, tabs and leading spaces, Turkish and
// Greek letters with their case partners, ß, the Kelvin sign, a four-byte character.
const std::vector<std::string> kPieces = {
    "a",  "b",  "c",  "x", "ab", "cab", "A",  "B",  "C",        "_",        "1",      " ",
    "\t", "\n", "\r", "\r\n", "-", "\xC4\xB0", "\xC4\xB1", "\xC5\x9F", "\xC5\x9E", "\xC3\xBC",
    "\xC3\x9F", "\xCF\x83", "\xCF\x82", "\xCE\xA3", "\xE2\x84\xAA", "\xF0\x9F\x98\x80",
    "\xE2\x80\xA6", "e\xCC\x81"};

TEST(Utf8LiteralSearchTest, RandomFilesGiveTheDecodedTextsHits) {
    std::mt19937 rng(2026'12'07);
    int compared = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = round % 7 == 0 ? "\xEF\xBB\xBF" : "";
        std::vector<std::string> used;
        const int pieces = static_cast<int>(rng() % 120);
        for (int i = 0; i < pieces; ++i) {
            // Now and then a long line, so that previews are cut around the hit.
            const std::string& piece = kPieces[rng() % kPieces.size()];
            const int repeat = rng() % 40 == 0 ? 90 : 1;
            for (int r = 0; r < repeat; ++r)
                bytes += piece;
            used.push_back(piece);
        }
        if (round % 11 == 0)
            bytes.insert(bytes.size() / 2, "\xFF"); // not UTF-8: the decoded path alone
        // readsAsUtf8 agrees with the decoder's choice.
        const DecodedText decoded = TextFileCodec::decode(bytes);
        const bool utf8 = !decoded.isBinary && (decoded.encoding == TextEncoding::utf8 ||
                                                decoded.encoding == TextEncoding::utf8BOM);
        ASSERT_EQ(Utf8LiteralSearch::readsAsUtf8(bytes), utf8) << bytes;
        if (!utf8) {
            // The search finds out on its own, even after it has found hits.
            auto pattern = SearchPattern::compile(SearchOptions{u"a", false, true, false});
            auto result = Utf8LiteralSearch::make(*pattern)->searchIfUtf8(bytes, 1, SearchBudget::unlimited());
            ASSERT_TRUE(result.has_value());
            EXPECT_FALSE(result->has_value());
            continue;
        }
        if (used.empty())
            continue;
        // Queries from consecutive pieces of the file, so that they hit often.
        const size_t start = rng() % used.size();
        std::string query;
        for (size_t i = start; i < std::min(used.size(), start + 1 + rng() % 3); ++i)
            query += used[i];
        const std::int64_t limit = rng() % 4 == 0 ? 1 + static_cast<std::int64_t>(rng() % 3)
                                                  : MultiDocumentSearch::defaultLimit;
        compared += compareAllOptions(u16(query), bytes, limit);
        if (::testing::Test::HasFailure())
            FAIL() << "file: " << bytes;
    }
    EXPECT_GT(compared, 1200);
}

TEST(Utf8LiteralSearchTest, TestCorporaGiveTheDecodedTextsHits) {
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::dataPath("text"))) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        const std::string bytes = buffer.str();
        if (!Utf8LiteralSearch::readsAsUtf8(bytes))
            continue;
        // Every word of the file, and a few pieces of words.
        const std::u16string text = TextFileCodec::decode(bytes).text;
        std::u16string word;
        for (char16_t c : text + u" ") {
            if (c == u' ' || c == u'\n' || c == u'\t') {
                if (!word.empty()) {
                    compared += compareAllOptions(word, bytes, 10'000);
                    compared += compareAllOptions(word.substr(0, 2), bytes, 10'000);
                }
                word.clear();
            } else {
                word.push_back(c);
            }
        }
    }
    EXPECT_GT(compared, 20);
}

TEST(Utf8LiteralSearchTest, TakesOnlyQueriesTheBytesAnswerExactly) {
    struct Case {
        const char* query;
        bool isRegex, matchCase, bytes;
    };
    const Case cases[] = {
        {"zebra", false, false, true},  {"zebra", false, true, true},
        {"zebra", true, true, false},   {"a\nb", false, true, false}, // line breaks
        {"line", false, false, true},   // İ and ı (two bytes) stand among i's forms
        {"kilo", false, false, true},   // and the Kelvin sign (three) among k's
        {"off", false, false, false},   // ﬀ expands to ff
        {"ss", false, false, false},    // ß expands to ss
        {"off", false, true, true},     {"\xC3\xA7" "ay", false, true, true},
        {"\xC3\xA7" "ay", false, false, true}, {"\xCE\xA3" "a", false, false, true},
    };
    for (const Case& c : cases) {
        auto pattern = SearchPattern::compile(SearchOptions{u16(c.query), c.isRegex, c.matchCase, false});
        ASSERT_TRUE(pattern);
        EXPECT_EQ(Utf8LiteralSearch::make(*pattern).has_value(), c.bytes) << c.query;
    }
    // A byte order mark in front of invalid bytes makes the whole file single-byte text.
    EXPECT_FALSE(Utf8LiteralSearch::readsAsUtf8("\xEF\xBB\xBF" "caf\xE9"));
    EXPECT_TRUE(Utf8LiteralSearch::readsAsUtf8("\xEF\xBB\xBF" "caf\xC3\xA9"));
    EXPECT_FALSE(Utf8LiteralSearch::readsAsUtf8(std::string("a\0b\0c\0d\0", 8))); // UTF-16
}

TEST(Utf8LiteralSearchTest, AgreesWithTheDecoderAroundTheDetectionSample) {
    const std::string a(TextFileCodec::kSampleSize - 1, 'a');
    const std::string cases[] = {
        a + "\xC3\xA7" "b",                   // a character across the sample's end
        a.substr(1) + "\xF0\x9F\x98\x80",       // a four-byte one
        a + "a\x80",                          // a stray continuation byte right after it
        a + "\xC3\x80\x80\x80\x80\x80",           // too many continuation bytes
        a + std::string(9000, 'b') + "\xFF", // invalid far after it
        a + std::string(9000, 'b') + std::string(1, '\0') + "\xC3\xA7", // NUL after it
        std::string(3000, '\0') + a,          // binary sample
        "\xEF\xBB\xBF" + a + "\xC3",             // byte order mark, cut character
        "\xEF\xBB\xBF" + a + "\xC4\xB1",
    };
    std::vector<std::string> all(std::begin(cases), std::end(cases));
    // Every kind of sequence at the edges of the strict rules (overlong forms, surrogates,
    // beyond U+10FFFF, cut or interrupted sequences), in a short and in a long file.
    const unsigned char leads[] = {0x80, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1,
                                   0xED, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFF};
    const unsigned char seconds[] = {0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0};
    const unsigned char thirds[] = {0x41, 0x80, 0xBF};
    for (unsigned char lead : leads)
        for (unsigned char second : seconds)
            for (unsigned char third : thirds)
                for (unsigned char fourth : thirds) {
                    const std::string sequence{static_cast<char>(lead), static_cast<char>(second),
                                               static_cast<char>(third), static_cast<char>(fourth)};
                    all.push_back("ab" + sequence + "cd");
                    all.push_back(a + std::string(100, 'b') + sequence);
                }
    for (const std::string& bytes : all) {
        const DecodedText decoded = TextFileCodec::decode(bytes);
        const bool utf8 = !decoded.isBinary && (decoded.encoding == TextEncoding::utf8 ||
                                                decoded.encoding == TextEncoding::utf8BOM);
        EXPECT_EQ(Utf8LiteralSearch::readsAsUtf8(bytes), utf8) << bytes.substr(bytes.size() - 8);
    }
}

/// Runs the body once with the widest kernels and once with SSE2 alone.
class Utf8LiteralSearchKernels : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { literalScan::allowAvx2(GetParam()); }
    void TearDown() override { literalScan::allowAvx2(true); }
};

/// Each character of the query with every character of its fold key.
std::vector<std::u16string> formsOf(std::u16string_view query) {
    std::vector<std::u16string> forms;
    for (char16_t c : query) {
        forms.emplace_back();
        for (char32_t u = 0; u < 0x10000; ++u)
            if ((u < 0xD800 || u > 0xDFFF) &&
                literalFolding::key(static_cast<char16_t>(u)) == literalFolding::key(c))
                forms.back().push_back(static_cast<char16_t>(u));
    }
    return forms;
}

/// The query as the text may hold it without case: each character replaced by a random
/// one with its fold key (i by I, İ or ı, k by K or the Kelvin sign: other lengths).
std::string randomForm(std::mt19937& rng, const std::vector<std::u16string>& forms) {
    std::u16string out;
    for (const std::u16string& choices : forms)
        out.push_back(choices[rng() % choices.size()]);
    return u8(out);
}

// The filter compares the query's rarest bytes wherever they lie: a rare character (z, q, ı,
// İ, the Kelvin sign, ş, σ) at every position of a query of frequent letters, or repeated,
// planted in its case forms of other UTF-8 lengths at every offset around the vector blocks
// (16 and 32 bytes) and the end of the text, among near misses that hold all the query's
// frequent bytes and the rare one alone.
TEST_P(Utf8LiteralSearchKernels, FiltersOnTheRarestBytesWhereverTheyLie) {
    const std::vector<std::string> rare = {"z", "q", "\xC4\xB1", "\xC4\xB0",
                                           "\xE2\x84\xAA", "\xC5\x9F", "\xCF\x83"};
    std::vector<std::string> queries;
    const std::string base = "return";
    for (const std::string& r : rare) {
        for (std::size_t i = 0; i <= base.size(); ++i)
            queries.push_back(base.substr(0, i) + r + base.substr(i));
        queries.push_back(r + "e" + r + "t" + r);
        queries.push_back(r + r);
    }
    std::mt19937 rng(35);
    int compared = 0;
    for (const std::string& query : queries) {
        const std::u16string query16 = u16(query);
        const std::vector<Prepared> prepared = allOptions(query16);
        const std::vector<std::u16string> forms = formsOf(query16);
        for (int round = 0; round < 6; ++round) {
            const std::string planted = round % 2 == 0 ? query : randomForm(rng, forms);
            // Filler of near misses: the query without its rare character, cut short, and
            // the rare character alone.
            std::vector<std::string> misses = {"retur", "eturn", "rn ", "tu", " ", "\n"};
            for (const std::string& r : rare)
                if (query.find(r) != std::string::npos)
                    misses.push_back(r);
            std::string filler;
            while (filler.size() < 80)
                filler += misses[rng() % misses.size()];
            // Cut where no character is split.
            auto boundary = [](const std::string& text, std::size_t at) {
                while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
                    ++at;
                return std::min(at, text.size());
            };
            for (std::size_t at = 0; at + planted.size() <= 70; at += 1 + rng() % 3) {
                const std::size_t cut = boundary(filler, at);
                std::string bytes = filler.substr(0, cut) + planted + filler.substr(cut);
                bytes.resize(boundary(bytes, cut + planted.size() + rng() % 40));
                compared += compare(prepared, bytes, 10'000);
            }
            if (::testing::Test::HasFailure())
                FAIL() << "query " << query << " planted " << planted;
        }
    }
    EXPECT_GT(compared, 10'000);
}

// Forms of other lengths at the edges of the windows the bytes are checked and searched in
// (256 KiB): a match across the edge, ending on it or starting on it, found exactly once.
TEST_P(Utf8LiteralSearchKernels, FindsFormsOfOtherLengthsAcrossWindowEdges) {
    constexpr std::size_t kWindow = std::size_t{1} << 18;
    std::mt19937 rng(18);
    int compared = 0;
    for (const char* query : {"k\xC4\xB1lavuz", "\xC4\xB0stanbul", "i\xC4\xB1", "kk"}) {
        const std::u16string query16 = u16(query);
        const std::vector<Prepared> prepared = allOptions(query16);
        const std::vector<std::u16string> forms = formsOf(query16);
        for (int round = 0; round < 24; ++round) {
            std::string bytes;
            // Lines of each ending, counted up to the hits 32 and 16 bytes at a time.
            while (bytes.size() < kWindow + 64)
                bytes += bytes.size() % 7 == 0 ? "lavuz\r\n" : bytes.size() % 5 == 0 ? "stanbul\r" : "lavuz stanbul retur\n";
            const std::string planted = randomForm(rng, forms);
            const std::size_t at = kWindow - planted.size() - 2 + static_cast<std::size_t>(round % 12);
            bytes.replace(at, planted.size(), planted);
            // A second one just before, so the first window ends with a hit too.
            if (round >= 12)
                bytes.replace(at - planted.size() - 1, planted.size(), randomForm(rng, forms));
            compared += compare(prepared, bytes, 10'000);
            if (::testing::Test::HasFailure())
                FAIL() << "query " << query << " planted " << planted << " at " << at;
        }
    }
    EXPECT_GT(compared, 150);
}

// The check of whole 32-byte steps must judge as the decoder does: every kind of valid and
// invalid sequence (overlong, surrogate, beyond U+10FFFF, cut, stray or extra continuation
// bytes) before, across and after the steps' edges and at the end.
TEST_P(Utf8LiteralSearchKernels, ChecksUtf8AsTheDecoderDoes) {
    const std::vector<std::string> pieces = {
        "a", "ab c", "\n", "\xC3\xA7", "\xC4\xB1", "\xE2\x84\xAA", "\xEF\xBF\xBD",
        "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF", "\xEE\x80\x80",
        "\xE0\xA0\x80", "\xF0\x90\x80\x80"};
    const std::vector<std::string> faults = {
        "\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xC3", "\xC3\xA7\x80", "\xE0\x9F\xBF",
        "\xED\xA0\x80", "\xE2\x84", "\xE2\x28\xA1", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
        "\xF5\x80\x80\x80", "\xF0\x9F\x98", "\xF8\x88\x80\x80\x80", "\xFF", "\xFE"};
    std::mt19937 rng(32);
    int invalid = 0;
    for (int round = 0; round < 20'000; ++round) {
        std::string bytes;
        const std::size_t size = 1 + rng() % 160;
        while (bytes.size() < size)
            bytes += pieces[rng() % pieces.size()];
        if (round % 2 == 0) {
            const std::size_t at = rng() % (bytes.size() + 1);
            bytes.insert(at, faults[rng() % faults.size()]);
        }
        const bool expected = textEncoding::isValidUTF8(bytes);
        invalid += expected ? 0 : 1;
        ASSERT_EQ(utf8Bytes::isValid(bytes), expected) << testing::PrintToString(bytes);
    }
    EXPECT_GT(invalid, 8'000);
}

INSTANTIATE_TEST_SUITE_P(AvxAndSse2, Utf8LiteralSearchKernels, ::testing::Values(true, false));

TEST(Utf8LiteralSearchTest, StopsOnASpentBudget) {
    auto pattern = SearchPattern::compile(SearchOptions{u"zebra", false, true, false});
    auto search = Utf8LiteralSearch::make(*pattern);
    ASSERT_TRUE(search);
    auto cancellation = std::make_shared<SearchCancellation>();
    cancellation->cancel();
    auto result = search->searchIfUtf8("a zebra", 10, SearchBudget(10.0, cancellation));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), SearchFailure::cancelled());
}

} // namespace
} // namespace vendrix
