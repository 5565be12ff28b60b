#include "core/text/TextStorage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

using test::u16;

std::u16string joined(std::pair<std::u16string_view, std::u16string_view> pieces) {
    std::u16string out(pieces.first);
    out += pieces.second;
    return out;
}

TEST(TextStorageTest, EmptyAndInitialText) {
    TextStorage empty;
    EXPECT_EQ(empty.length(), 0);
    EXPECT_EQ(empty.string(), u"");
    EXPECT_EQ(empty.contiguous(), u"");
    EXPECT_EQ(empty.revision(), 0u);
    EXPECT_EQ(empty.snapshot().view(), u"");

    TextStorage storage(u"hello\nworld");
    EXPECT_EQ(storage.length(), 11);
    EXPECT_EQ(storage.at(5), u'\n');
    EXPECT_EQ(storage.substring({6, 5}), u"world");
    EXPECT_EQ(storage.contiguous({0, 5}), u"hello");
    EXPECT_EQ(storage.revision(), 0u);
}

TEST(TextStorageTest, ReplaceClampsAndBumpsRevision) {
    struct Case {
        const char* name;
        TextRange range;
        const char16_t* text;
        const char16_t* expected;
    };
    const Case cases[] = {
        {"insert at start", {0, 0}, u">", u">abcdef"},
        {"insert at end", {6, 0}, u"<", u"abcdef<"},
        {"delete middle", {2, 2}, u"", u"abef"},
        {"replace middle", {1, 4}, u"XY", u"aXYf"},
        {"range past end clamps", {4, 100}, u"!", u"abcd!"},
        {"location past end appends", {99, 3}, u"!", u"abcdef!"},
        {"negative location clamps to start", {-5, 1}, u"!", u"!bcdef"},
        {"negative length deletes nothing", {3, -2}, u"!", u"abc!def"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextStorage storage(u"abcdef");
        storage.replace(c.range, c.text);
        EXPECT_EQ(storage.string(), c.expected);
        EXPECT_EQ(storage.revision(), 1u);
    }
}

TEST(TextStorageTest, ReadingClampsToTheText) {
    TextStorage storage(u"abc");
    EXPECT_EQ(storage.substring({2, 10}), u"c");
    EXPECT_EQ(storage.substring({-3, 2}), u"ab");
    EXPECT_EQ(storage.contiguous({5, 5}), u"");
    EXPECT_EQ(joined(storage.pieces({1, 50})), u"bc");
#ifdef NDEBUG
    EXPECT_EQ(storage.at(3), u'\0') << "out of range reads nothing instead of past the text";
#endif
}

TEST(TextStorageTest, ReplaceWithAViewOfItself) {
    TextStorage storage(u"abcdef");
    storage.replace({1, 0}, u"-"); // put the gap in the middle
    std::u16string_view own = storage.contiguous({0, 4});
    storage.replace({7, 0}, own);
    EXPECT_EQ(storage.string(), u"a-bcdefa-bc");
    // A long self-insert forces the buffer to grow while the source points into it.
    std::u16string big(10000, u'x');
    storage.replace({0, 0}, big);
    std::u16string_view whole = storage.contiguous();
    std::u16string expected = storage.string() + storage.string();
    storage.replace({storage.length(), 0}, whole);
    EXPECT_EQ(storage.string(), expected);
}

TEST(TextStorageTest, SnapshotsAreSharedPerRevisionAndImmutable) {
    TextStorage storage(u"one");
    TextSnapshot first = storage.snapshot();
    TextSnapshot again = storage.snapshot();
    EXPECT_EQ(first.view().data(), again.view().data()) << "same revision shares one copy";
    EXPECT_EQ(first.revision(), 0u);

    storage.replace({3, 0}, u" two");
    EXPECT_EQ(first.view(), u"one") << "a snapshot never sees later edits";
    TextSnapshot second = storage.snapshot();
    EXPECT_EQ(second.view(), u"one two");
    EXPECT_EQ(second.revision(), 1u);
    char16_t units[3];
    second.copyUnits({4, 3}, units);
    EXPECT_EQ(std::u16string_view(units, 3), u"two");
}

TEST(TextStorageTest, ReplacingTheWholeTextSharesTheNewString) {
    TextStorage storage(u"old text");
    const auto makeSnapshot = [](std::u16string text) {
        return TextSnapshot(std::make_shared<const std::u16string>(std::move(text)), 0);
    };
    // Larger than the buffer (a fresh one), then far smaller (given back), then of a size
    // that fits (reused); each must leave a gap that later edits use correctly.
    const std::u16string texts[] = {std::u16string(20000, u'x') + u"\nend",
                                    u"tiny\ntext", u"same\nsize"};
    std::uint64_t revision = 0;
    for (const std::u16string& text : texts) {
        SCOPED_TRACE(std::string(text.begin(), text.begin() + 4));
        const TextSnapshot installed = makeSnapshot(text);
        TextSnapshot before = storage.snapshot();
        const std::u16string old(before.view());
        storage.replaceAll(installed);
        EXPECT_EQ(storage.revision(), ++revision);
        EXPECT_EQ(storage.string(), text);
        EXPECT_EQ(before.view(), old) << "earlier snapshots keep their text";
        TextSnapshot after = storage.snapshot();
        EXPECT_EQ(after.view().data(), installed.view().data()) << "no copy for the snapshot";
        EXPECT_EQ(after.revision(), revision);

        std::u16string reference = text;
        storage.replace({2, 1}, u"AB");
        reference.replace(2, 1, u"AB");
        storage.replace({static_cast<std::int64_t>(reference.size()), 0}, u"!");
        reference += u"!";
        revision += 2;
        EXPECT_EQ(storage.string(), reference);
        EXPECT_EQ(storage.snapshot().view(), reference);
        EXPECT_EQ(installed.view(), text) << "the installed string is never written to";
    }
}

TEST(TextStorageTest, AnOwnerMayNumberTheRevisions) {
    TextStorage storage(u"abc", 41); // a new text continues where the old storage left off
    EXPECT_EQ(storage.snapshot().revision(), 41u);
    storage.replace({0, 1}, u"A");
    storage.replace({2, 1}, u"C");
    EXPECT_EQ(storage.revision(), 43u);
    storage.setRevision(42); // the owner counts the two replacements as one step
    TextSnapshot step = storage.snapshot();
    EXPECT_EQ(step.revision(), 42u);
    EXPECT_EQ(step.view(), u"AbC");
    storage.setRevision(50);
    EXPECT_EQ(storage.snapshot().view(), u"AbC") << "renumbering keeps the text";
    EXPECT_EQ(storage.snapshot().revision(), 50u);
    storage.replace({1, 1}, u"B");
    EXPECT_EQ(storage.snapshot().view(), u"ABC");
    EXPECT_EQ(storage.snapshot().revision(), 51u);
}

TEST(TextStorageTest, KeepsEveryCodeUnitAsGiven) {
    // Separators, noncharacters, no-break spaces, lone surrogates and NUL are stored verbatim.
    std::u16string text = u"a\u2029b\uFDD0c\u00A0d";
    text += char16_t(0xD800);
    text += char16_t(0);
    text += u"\U0001F600e\u0301";
    TextStorage storage(text);
    storage.replace({2, 0}, text);
    std::u16string expected = text;
    expected.insert(2, text);
    EXPECT_EQ(storage.string(), expected);
}

// Random edits and reads against a plain string; the gap lands everywhere, the buffer grows.
TEST(TextStorageTest, RandomEditsMatchAReferenceString) {
    std::mt19937 rng(20261207);
    const std::u16string alphabet = u"ab\n\u00E9\u2029\uFDD0\U0001F600";
    auto pick = [&](std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
    };
    auto randomText = [&](std::int64_t maxLength) {
        std::u16string s;
        std::int64_t n = pick(0, maxLength);
        for (std::int64_t i = 0; i < n; ++i)
            s += alphabet[static_cast<size_t>(
                pick(0, static_cast<std::int64_t>(alphabet.size()) - 1))];
        return s;
    };

    std::u16string reference = randomText(200);
    TextStorage storage(reference);
    for (int step = 0; step < 4000; ++step) {
        const auto length = static_cast<std::int64_t>(reference.size());
        const std::int64_t location = pick(0, length);
        const std::int64_t count = pick(0, std::min<std::int64_t>(length - location, 50));
        switch (pick(0, 5)) {
        case 0: { // a large paste now and then makes the gap grow
            std::u16string text = randomText(step % 97 == 0 ? 6000 : 300);
            storage.replace({location, count}, text);
            reference.replace(static_cast<size_t>(location), static_cast<size_t>(count), text);
            break;
        }
        case 1:
        case 2: {
            std::u16string text = randomText(3);
            storage.replace({location, count}, text);
            reference.replace(static_cast<size_t>(location), static_cast<size_t>(count), text);
            break;
        }
        case 3:
            ASSERT_EQ(storage.contiguous({location, count}),
                      std::u16string_view(reference).substr(static_cast<size_t>(location),
                                                            static_cast<size_t>(count)));
            break;
        case 4:
            ASSERT_EQ(joined(storage.pieces({location, count})),
                      reference.substr(static_cast<size_t>(location), static_cast<size_t>(count)));
            break;
        default:
            if (length > 0) {
                const std::int64_t offset = pick(0, length - 1);
                ASSERT_EQ(storage.at(offset), reference[static_cast<size_t>(offset)]);
            }
            break;
        }
        ASSERT_EQ(storage.length(), static_cast<std::int64_t>(reference.size()));
        if (step % 50 == 0) {
            ASSERT_EQ(storage.string(), reference) << "after step " << step;
            ASSERT_EQ(storage.snapshot().view(), reference);
        }
    }
    EXPECT_EQ(storage.string(), reference);
}

} // namespace
} // namespace vendrix
