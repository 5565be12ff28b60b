#include "core/formatting/DocumentFormatter.h"
#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"
#include "core/formatting/FormatProgress.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/OpenPrettyCandidate.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace vendrix {
namespace {

using test::u16;

TEST(FormatErrorTest, DescriptionJoinsLineColumnAndMessage) {
    const FormatError error{u"Değer bekleniyordu", 2, 5, 9};
    EXPECT_EQ(test::u8(error.description()), "satır 2, sütun 5: Değer bekleniyordu");
    EXPECT_EQ(error, (FormatError{u"Değer bekleniyordu", 2, 5, 9}));
    EXPECT_NE(error, (FormatError{u"Değer bekleniyordu", 2, 5, 8}));
}

TEST(FormatErrorTest, PositionCountsUTF16UnitsOfTheBytesBefore) {
    // "ab", LF, a four-byte emoji, "x".
    const std::string input = "ab\n\xF0\x9F\x98\x80x";
    struct Case {
        const char* name;
        std::int64_t byteOffset;
        std::int64_t line, column, offset;
    } cases[] = {
        {"start", 0, 1, 1, 0},
        {"negative counts as zero", -7, 1, 1, 0},
        {"after the line feed", 3, 2, 1, 3},
        {"inside the emoji", 5, 2, 3, 5},
        {"after the emoji", 7, 2, 3, 5},
        {"at the x", 7, 2, 3, 5},
        {"end of input", 8, 2, 4, 6},
        {"beyond the end", 100, 2, 4, 6},
    };
    for (const Case& c : cases) {
        const FormatError e = FormatError::at(input, c.byteOffset, u"m");
        EXPECT_EQ(e, (FormatError{u"m", c.line, c.column, c.offset})) << c.name;
    }
    // Two- and three-byte characters count one unit; a carriage return and a tab count one.
    const FormatError e = FormatError::at("\xC3\xA7\xE2\x82\xAC\r\t", 7, u"m");
    EXPECT_EQ(e, (FormatError{u"m", 1, 5, 4}));
}

TEST(FormatIndentTest, UnitsAndEquality) {
    EXPECT_EQ(FormatIndent::spaces(0).unit(), "");
    EXPECT_EQ(FormatIndent::spaces(-3).unit(), "");
    EXPECT_EQ(FormatIndent::spaces(4).unit(), "    ");
    EXPECT_EQ(FormatIndent::tab().unit(), "\t");
    EXPECT_EQ(FormatIndent::tab(), FormatIndent::tab());
    EXPECT_EQ(FormatIndent::spaces(2), FormatIndent::spaces(2));
    EXPECT_NE(FormatIndent::spaces(2), FormatIndent::spaces(4));
    EXPECT_NE(FormatIndent::spaces(0), FormatIndent::tab());
}

TEST(ProgressTokenTest, StepNeverLowersTheFractionAndReportsCancellation) {
    ProgressToken progress;
    EXPECT_EQ(progress.fraction(), 0.0);
    EXPECT_TRUE(progress.step(5, 0, 0.2, 0.4));
    EXPECT_DOUBLE_EQ(progress.fraction(), 0.4);
    EXPECT_TRUE(progress.step(1, 2, 0.2, 0.4));
    EXPECT_DOUBLE_EQ(progress.fraction(), 0.4);
    EXPECT_TRUE(progress.step(9, 4, 0.5, 0.7)); // done beyond total counts as complete
    EXPECT_DOUBLE_EQ(progress.fraction(), 0.7);
    progress.cancel();
    EXPECT_TRUE(progress.isCancelled());
    EXPECT_FALSE(progress.step(1, 1, 0.9, 1.0));
    EXPECT_DOUBLE_EQ(progress.fraction(), 1.0);
    progress.raise(7.0); // clamped
    EXPECT_DOUBLE_EQ(progress.fraction(), 1.0);
    EXPECT_EQ(progress.phase(), u"");
    progress.setPhase(u"Anahtarlar sıralanıyor");
    EXPECT_EQ(progress.phase(), u"Anahtarlar sıralanıyor");
}

TEST(ProgressTokenTest, AFormatterSeesOnlyTheTokenItIsGiven) {
    EXPECT_TRUE(FormatProgress::checkpoint(nullptr, 1, 2, 0, 1)); // no token: nothing happens
    EXPECT_FALSE(FormatProgress::isCancelled(nullptr));
    // Two jobs at once on different threads: cancelling one leaves the other alone, and a
    // call without a token is never cancelled.
    ProgressToken cancelled, running;
    cancelled.cancel();
    std::expected<std::u16string, FormatError> stopped, finished, untracked;
    std::thread([&] { stopped = JSONFormatter::minify(u"[1, 2]", true, &cancelled); }).join();
    finished = JSONFormatter::minify(u"[1, 2]", true, &running);
    untracked = JSONFormatter::minify(u"[1, 2]", true);
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error(), FormatProgress::cancelledError());
    EXPECT_EQ(finished, std::u16string(u"[1,2]"));
    EXPECT_EQ(untracked, finished);
    EXPECT_GT(running.fraction(), 0.5);
}

TEST(FormatTextTest, FinishingTrimsTrailingWhiteSpaceAndKeepsOneFinalLineFeed) {
    struct Case {
        std::string output, input, expected;
    } cases[] = {
        {"x \t\n\n", "x", "x"},
        {"x \t\n\n", "x\n", "x\n"},
        {"x\r\n", "x", "x\r"},
        {"", "\n", "\n"},
    };
    for (auto& c : cases) {
        std::string out = c.output;
        FormatText::finishBytes(out, c.input);
        EXPECT_EQ(out, c.expected);
    }
    auto text = FormatText::finish("a\xFF" "b", "");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, u"a\uFFFDb");
}

TEST(FormatTextTest, ConversionReplacesInvalidSequencesAndLoneSurrogates) {
    EXPECT_EQ(FormatText::fromUTF8("\xE2\x82"), u"\uFFFD");        // truncated sequence: one
    EXPECT_EQ(FormatText::fromUTF8("\xC0\xAF"), u"\uFFFD\uFFFD"); // overlong: each byte
    EXPECT_EQ(FormatText::fromUTF8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(FormatText::toUTF8(u"a\xD800" "b"), "a\xEF\xBF\xBD" "b");
    const std::u16string mixed = u16("çalış 😀 ünlü €") + std::u16string(100, u'a');
    EXPECT_EQ(FormatText::fromUTF8(FormatText::toUTF8(mixed)), mixed);
    EXPECT_TRUE(FormatText::isValidUTF8("\xEF\xBF\xBD ok"));
    EXPECT_FALSE(FormatText::isValidUTF8("\xF0\x9F\x98"));
}

TEST(DocumentFormatterTest, ChoosesByLanguageThenBySniffing) {
    using Kind = DocumentFormatter::Kind;
    struct Case {
        const char* name;
        std::optional<std::string_view> language;
        std::string sample;
        std::optional<Kind> expected;
    } cases[] = {
        {"json language", "json", "<x/>", Kind::json},
        {"sql language", "sql", "", Kind::sql},
        {"markdown has none", "markdown", "{}", std::nullopt},
        {"plain sniffs BOM and spaces", "plain", "\xEF\xBB\xBF  [1]", Kind::json},
        {"object", std::nullopt, "\n\t{", Kind::json},
        {"xml", std::nullopt, "<?xml version=\"1.0\"?><a/>", Kind::xml},
        {"doctype anywhere", std::nullopt, "<?xml version=\"1.0\"?>\n<!DOCTYPE HTML>", Kind::html},
        {"html tag", std::nullopt, "<HTML lang=tr>", Kind::html},
        {"marker beyond 4096 bytes", std::nullopt, "<a>" + std::string(5000, ' ') + "<html>",
         Kind::xml},
        {"other text", std::nullopt, "select 1", std::nullopt},
        {"only white space", std::nullopt, " \r\n", std::nullopt},
        {"empty", std::nullopt, "", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DocumentFormatter::kind(c.language, u16(c.sample)), c.expected) << c.name;
    for (Kind kind : DocumentFormatter::allKinds)
        EXPECT_EQ(DocumentFormatter::kindFromRawValue(DocumentFormatter::languageID(kind)), kind);
}

TEST(DocumentFormatterTest, DispatchesJSONWithKeysInInputOrder) {
    auto result = DocumentFormatter::pretty(u"{\"b\":1,\"a\":2}", DocumentFormatter::Kind::json,
                                            FormatIndent::spaces(2));
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, u"{\n  \"b\": 1,\n  \"a\": 2\n}");
}

TEST(OpenPrettyCandidateTest, ExtensionFirstThenContentThenLineLength) {
    const std::u16string longLine(100000, u'a');
    const std::u16string nearly(99999, u'a');
    struct Case {
        const char* name;
        std::u16string text;
        std::u16string fileName;
        std::optional<std::int64_t> longestLine;
        std::optional<OpenPrettyCandidate> expected;
    } cases[] = {
        {"html sniffed after spaces", u"   <HTML>" + longLine, u"notes.txt", std::nullopt,
         OpenPrettyCandidate::html},
        {"line too short", u"   <HTML>" + longLine, u"notes.txt", 99999, std::nullopt},
        {"geojson whatever the text", u"x" + longLine, u"/d/data.GeoJSON", std::nullopt,
         OpenPrettyCandidate::json},
        {"xml by extension", u"{", u"a.b/c.svg", 100000, OpenPrettyCandidate::xml},
        {"html marker only at the start", u"<?xml?><html>" + longLine, u"f", std::nullopt,
         OpenPrettyCandidate::xml},
        {"json sniffed", u"\uFEFF\n[" + longLine, u"dump", std::nullopt, OpenPrettyCandidate::json},
        {"short lines only", u"[1,\n2]", u"a.json", std::nullopt, std::nullopt},
        {"long line later", u"[\n" + longLine + u"\n]", u"a.json", std::nullopt,
         OpenPrettyCandidate::json},
        {"plain text", u"hello" + longLine, u"notes.txt", std::nullopt, std::nullopt},
        // The scan looks for a line feed only within a line's first 100,000 units.
        {"99,999 units, then short lines", nearly + u"\n1,\n2]", u"a.json", std::nullopt,
         std::nullopt},
        {"100,000 units up to a line feed", u"[" + nearly + u"\n]", u"a.json", std::nullopt,
         OpenPrettyCandidate::json},
        {"100,000 units ending the text", u"[\n" + nearly + u"]", u"a.json", std::nullopt,
         OpenPrettyCandidate::json},
        {"99,999 units ending the text", u"[\n" + nearly, u"a.json", std::nullopt, std::nullopt},
        {"dot in directory only", u"x", u"dir.json/file", 200000, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OpenPrettyCandidate::detect(c.text, c.fileName, c.longestLine), c.expected)
            << c.name;
    EXPECT_EQ(OpenPrettyCandidate::fromRawValue("xml"), OpenPrettyCandidate::xml);
    EXPECT_EQ(OpenPrettyCandidate::fromRawValue("yaml"), std::nullopt);
    EXPECT_EQ(OpenPrettyCandidate(OpenPrettyCandidate::html).rawValue(), "html");
}

} // namespace
} // namespace vendrix
