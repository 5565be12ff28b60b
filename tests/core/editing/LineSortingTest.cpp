#include "core/editing/LineCollator.h"
#include "core/editing/LineOperations.h"
#include "core/editing/Unicode.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace vendrix {
namespace {

using Op = LineOperation;

std::string run(Op op, std::string_view marked) {
    test::MarkedText input = test::parseMarked(marked);
    std::optional<TextEdit> edit = LineOperations::apply(op, input.text, input.selection, 4);
    if (!edit)
        return "nothing";
    return test::formatMarked(edit->applied(input.text), edit->selection);
}

TEST(LineSortingTest, TurkishOrder) {
    struct Case {
        const char* name;
        Op op;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"dotless i before dotted i", Op::sortAscending, "|j\nİ\ni\nI\nı\nh", "|h\nı\nI\ni\nİ\nj"},
        {"ç is a letter after c", Op::sortAscending, "|ça\ncb", "|cb\nça"},
        {"ö is a letter after o", Op::sortAscending, "|öa\noz\npa", "|oz\nöa\npa"},
        {"ğ and ş and ü", Op::sortAscending, "|ha\nğa\nga\nta\nşa\nsa\nva\nüa\nua",
         "|ga\nğa\nha\nsa\nşa\nta\nua\nüa\nva"},
        {"lower case first", Op::sortAscending, "|b\nB\na\nA", "|a\nA\nb\nB"},
        {"descending", Op::sortDescending, "|ça\ncb\nd", "|d\nça\ncb"},
        {"stable ascending", Op::sortAscending, "|éx\ne\u0301x\nd", "|d\néx\ne\u0301x"},
        {"stable ascending other order", Op::sortAscending, "|e\u0301x\néx\nd", "|d\ne\u0301x\néx"},
        {"stable descending", Op::sortDescending, "|d\ne\u0301x\néx", "|e\u0301x\néx\nd"},
        {"stable descending other order", Op::sortDescending, "|d\néx\ne\u0301x",
         "|éx\ne\u0301x\nd"},
        {"ignorable control keeps order", Op::sortAscending,
         "|a\x01"
         "b\nab\naa",
         "|aa\na\x01"
         "b\nab"},
        {"ignorable control keeps order descending", Op::sortDescending,
         "|aa\nab\na\x01"
         "b",
         "|ab\na\x01"
         "b\naa"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(run(c.op, c.before), c.after) << c.name;
}

TEST(LineSortingTest, RemoveDuplicatesUnderCanonicalEquivalence) {
    struct Case {
        const char* name;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"precomposed and decomposed", "|é\ne\u0301\nx", "|é\nx"},
        {"decomposed first wins", "|e\u0301\né\nx", "|e\u0301\nx"},
        {"angstrom sign", "|\u212B\n\u00C5", "|\u212B"},
        {"mark order", "|a\u0323\u0301\na\u0301\u0323", "|a\u0323\u0301"},
        {"compatibility forms stay", "|ﬁ\nfi", "nothing"},
        {"dotted capital I is not I", "|İ\nI\ni\u0307", "nothing"},
        {"block only", "a\n[a\nb\nb]\nb", "a\n[a\nb]\nb"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(run(Op::removeDuplicates, c.before), c.after) << c.name;
}

/// Random lines over an alphabet chosen to stress the Latin shortcut: Turkish letters,
/// case pairs, combining marks that form tailored letters (c + cedilla = ç), ignorable
/// characters, Latin-1 punctuation and characters outside the shortcut's table.
std::u16string randomLine(std::mt19937& rng, std::size_t maxLength) {
    static const std::u16string alphabet =
        u"aAbBcCçÇgGğĞiIıİlLŀoOöÖsSşŞuUüÜzZ09 -_.,'\t\u0001\u00AD\u00E9\u00C9\u00DF\u00E6\u0142"
        u"\u0301\u0307\u0327\u0308\u4E2D\u00B7\u02BC\u017F\u0149";
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::u16string line;
    for (std::size_t n = length(rng); n > 0; --n)
        line.push_back(alphabet[pick(rng)]);
    return line;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(LineCollatorTest, ShortcutAgreesWithTheCollatorOnSingleCharacters) {
    const LineCollator& collator = LineCollator::forCurrentThread();
    ASSERT_TRUE(collator.hasCollator());
    // The shortcut must actually cover ordinary Latin and Turkish text for this to prove it.
    int covered = 0;
    const std::u16string_view common = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                       u"0123456789 -.,;:'\"(){}[]=+*/\tçğıİöşüÇĞÖŞÜ";
    for (char16_t c : common)
        covered += collator.coversCodeUnit(c);
    EXPECT_EQ(covered, static_cast<int>(common.size()));
    EXPECT_FALSE(collator.coversCodeUnit(u'\u0001')) << "ignorable";
    for (char16_t a = 0; a < 0x200; ++a)
        for (char16_t b = 0; b < 0x200; ++b) {
            std::u16string_view sa(&a, 1), sb(&b, 1);
            ASSERT_EQ(sign(collator.compare(sa, sb)), sign(collator.compareWithCollator(sa, sb)))
                << std::hex << int(a) << " " << int(b);
        }
}

TEST(LineCollatorTest, ShortcutAgreesWithTheCollatorOnRandomLines) {
    const LineCollator& collator = LineCollator::forCurrentThread();
    std::mt19937 rng(7);
    for (int i = 0; i < 100000; ++i) {
        std::u16string a = randomLine(rng, 8);
        // Half the pairs share a prefix, so later levels and positions decide.
        std::u16string b =
            (i % 2) ? a.substr(0, a.size() / 2) + randomLine(rng, 4) : randomLine(rng, 8);
        ASSERT_EQ(sign(collator.compare(a, b)), sign(collator.compareWithCollator(a, b)))
            << test::u8(a) << " | " << test::u8(b);
    }
}

/// Sorts `lines` with sortStable and with a stable sort over the collator's own comparison,
/// both directions, and expects the very same sequence (by address, so that equal lines must
/// keep their order too).
void expectCollatorOrder(const std::vector<std::u16string>& storage) {
    const LineCollator& collator = LineCollator::forCurrentThread();
    std::vector<std::u16string_view> lines(storage.begin(), storage.end());
    for (bool descending : {false, true}) {
        std::vector<std::u16string_view> ours = lines, reference = lines;
        collator.sortStable(ours, descending);
        std::stable_sort(reference.begin(), reference.end(),
                         [&](std::u16string_view a, std::u16string_view b) {
                             return descending ? collator.compareWithCollator(b, a) < 0
                                               : collator.compareWithCollator(a, b) < 0;
                         });
        ASSERT_EQ(ours.size(), reference.size());
        for (std::size_t i = 0; i < ours.size(); ++i)
            ASSERT_EQ(ours[i].data(), reference[i].data())
                << (descending ? "descending" : "ascending") << ", position " << i << ": "
                << test::u8(ours[i]) << " / " << test::u8(reference[i]);
    }
}

TEST(LineCollatorTest, SortOrderIsIdenticalToTheCollatorsInBothDirections) {
    std::mt19937 rng(11);
    // Lines the shortcut covers entirely (sorted by primary-rank keys), sharing long
    // prefixes, differing in case or by one character, and repeated.
    static const std::u16string covered = u"aAbcçÇgğıIiİlLoöÖsşuüÜ -'.";
    std::uniform_int_distribution<std::size_t> pick(0, covered.size() - 1);
    const std::u16string prefixes[] = {u"", u"return value", u"Return Value", u"çalışma ıı",
                                       u"abcdefgh"};
    std::vector<std::u16string> coveredLines;
    for (int i = 0; i < 3000; ++i) {
        std::u16string line = prefixes[i % std::size(prefixes)];
        for (int n = static_cast<int>(pick(rng) % 7); n > 0; --n)
            line.push_back(covered[pick(rng)]);
        coveredLines.push_back(line);
        if (i % 10 == 0)
            coveredLines.push_back(line);
    }
    std::shuffle(coveredLines.begin(), coveredLines.end(), rng);
    expectCollatorOrder(coveredLines);

    // Mixed with lines the shortcut leaves to the collator (sorted by the collator's keys).
    std::vector<std::u16string> mixed = coveredLines;
    for (int i = 0; i < 3000; ++i)
        mixed.push_back(randomLine(rng, 6));
    std::shuffle(mixed.begin(), mixed.end(), rng);
    expectCollatorOrder(mixed);
}

TEST(UnicodeTest, GraphemeClusters) {
    struct Case {
        const char* name;
        std::u16string text;
        std::vector<std::size_t> ends;
    };
    const std::vector<Case> cases = {
        {"ascii", u"ab", {1, 2}},
        {"combining accent", u"e\u0301x", {2, 3}},
        {"surrogate pair", u"\U0001F600a", {2, 3}},
        {"family emoji", u"\U0001F468\u200D\U0001F469\u200D\U0001F467!", {8, 9}},
        {"flag", u"\U0001F1F9\U0001F1F7\U0001F1E9\U0001F1EA", {4, 8}},
        {"keycap", u"1\uFE0F\u20E3", {3}},
        {"crlf", u"\r\nx", {2, 3}},
        {"hangul jamo", u"\u1100\u1161\u11A8", {3}},
    };
    for (const Case& c : cases) {
        std::vector<std::size_t> ends;
        unicode::forEachCluster(c.text, [&](std::size_t, std::size_t end) { ends.push_back(end); });
        EXPECT_EQ(ends, c.ends) << c.name;
        unicode::GraphemeClusters clusters(c.text);
        std::size_t previous = 0;
        for (std::size_t end : c.ends) {
            EXPECT_EQ(clusters.clusterStart(end), previous) << c.name << " start before " << end;
            previous = end;
        }
    }
}

TEST(UnicodeTest, NamedPredicates) {
    EXPECT_TRUE(unicode::isWhitespace(U'\u3000'));
    EXPECT_TRUE(unicode::isWhitespace(U'\u00A0'));
    EXPECT_FALSE(unicode::isWhitespace(U'\u200B'));
    EXPECT_TRUE(unicode::isLetter(U'ş'));
    EXPECT_FALSE(unicode::isLetter(U'\u0301'));
    EXPECT_TRUE(unicode::isNumber(U'Ⅻ'));
    EXPECT_TRUE(unicode::isNumber(U'½'));
    EXPECT_TRUE(unicode::isAlphanumeric(U'\u0301'));
    EXPECT_FALSE(unicode::isAlphanumeric(U'_'));
    EXPECT_TRUE(unicode::hasEmojiPresentation(U'\U0001F600'));
    EXPECT_FALSE(unicode::hasEmojiPresentation(U'\u263A'));
    EXPECT_TRUE(unicode::isCanonicallyComposed(u"çalış"));
    EXPECT_FALSE(unicode::isCanonicallyComposed(u"c\u0327"));
    EXPECT_EQ(unicode::canonicalComposition(u"c\u0327"), u"ç");
}

} // namespace
} // namespace vendrix
