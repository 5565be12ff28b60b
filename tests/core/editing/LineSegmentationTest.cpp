#include "core/editing/LineSegmentation.h"

#include "core/common/TextSource.h"
#include "core/editing/Unicode.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

using namespace vendrix;

namespace {

/// Reads a std::u16string as a TextSource.
struct Source final : TextSource {
    const std::u16string& text;
    explicit Source(const std::u16string& t) : text(t) {}
    std::int64_t length() const override { return static_cast<std::int64_t>(text.size()); }
    void copyUnits(TextRange range, char16_t* out) const override {
        text.copy(out, static_cast<size_t>(range.length), static_cast<size_t>(range.location));
    }
};

void expectSameColumns(const LineSegmentation& incremental, const std::u16string& text,
                       int tabWidth) {
    Source source(text);
    LineSegmentation fresh(source, {0, static_cast<std::int64_t>(text.size())}, tabWidth);
    ASSERT_EQ(incremental.totalColumns(), fresh.totalColumns());
    unicode::GraphemeClusters clusters(text);
    // Column of every segment start equals the column counted from the line start.
    std::int64_t column = 0;
    std::int64_t offset = 0;
    for (const LineSegment& segment : incremental.segments()) {
        for (; offset < segment.start; ++offset) {
            char16_t c = text[static_cast<size_t>(offset)];
            if (c == u'\t')
                column = (column / tabWidth + 1) * tabWidth;
            else if (!(c >= 0xDC00 && c <= 0xDFFF))
                ++column;
        }
        ASSERT_EQ(segment.startColumn, column) << "segment at " << segment.start;
        // Never inside a character (grapheme cluster).
        ASSERT_TRUE(clusters.isBoundary(static_cast<size_t>(segment.start)))
            << "segment at " << segment.start;
    }
}

TEST(LineSegmentation, IncrementalUpdatesMatchAFreshSegmentation) {
    std::mt19937 random(7);
    // Pieces, not units: a pair or a combining sequence is never cut by the text itself.
    const std::u16string_view alphabet[] = {u"a", u"b", u" ", u"\t", u",", u"😀", u"e\u0301",
                                            u"\U0001F469\u200D\U0001F467", u"\u0301\u0302"};
    std::u16string text;
    for (int i = 0; i < 12000; ++i)
        text += alphabet[random() % std::size(alphabet)];
    Source source(text);
    LineSegmentation segmentation(source, {0, static_cast<std::int64_t>(text.size())}, 4);
    expectSameColumns(segmentation, text, 4);
    for (int step = 0; step < 300; ++step) {
        std::int64_t at = random() % (text.size() + 1);
        std::int64_t removed =
            std::min<std::int64_t>(random() % 40, static_cast<std::int64_t>(text.size()) - at);
        if (step % 50 == 0)
            removed = std::min<std::int64_t>(3000, static_cast<std::int64_t>(text.size()) - at);
        std::u16string inserted;
        for (int i = random() % (step % 37 == 0 ? 2500 : 6); i > 0; --i)
            inserted += alphabet[random() % std::size(alphabet)];
        text.replace(static_cast<size_t>(at), static_cast<size_t>(removed), inserted);
        Source after(text);
        segmentation.update(after, {0, static_cast<std::int64_t>(text.size())}, at, removed,
                            static_cast<std::int64_t>(inserted.size()));
        ASSERT_EQ(segmentation.length(), static_cast<std::int64_t>(text.size()));
        ASSERT_NO_FATAL_FAILURE(expectSameColumns(segmentation, text, 4)) << "step " << step;
        for (int k = 0; k + 1 < segmentation.count(); ++k)
            ASSERT_LT(segmentation.segments()[static_cast<size_t>(k)].start,
                      segmentation.segments()[static_cast<size_t>(k + 1)].start);
    }
}

} // namespace
