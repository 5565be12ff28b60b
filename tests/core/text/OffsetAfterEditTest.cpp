#include "core/common/OffsetAfterEdit.h"

#include <gtest/gtest.h>

using namespace vendrix;

namespace {

// "0123456789": an insertion of 3 units at 4 is reported as ({4, 3}, +3); replacing "45" by
// "x" as ({4, 1}, -1); deleting "45" as ({4, 0}, -2).
TEST(OffsetAfterEdit, OffsetsLeanToTheirSideOfTheEdit) {
    struct Case {
        std::int64_t offset;
        TextRange edited;
        std::int64_t delta;
        std::int64_t upstream;
        std::int64_t downstream;
    };
    const Case cases[] = {
        {2, {4, 3}, 3, 2, 2},   // before
        {4, {4, 3}, 3, 4, 7},   // at an insertion
        {6, {4, 3}, 3, 9, 9},   // after
        {4, {4, 1}, -1, 4, 5},  // at a replacement's start
        {5, {4, 1}, -1, 4, 5},  // inside replaced text
        {6, {4, 1}, -1, 5, 5},  // at the replaced text's old end
        {5, {4, 0}, -2, 4, 4},  // inside deleted text
        {9, {4, 0}, -2, 7, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(offsetAfterEdit(c.offset, c.edited, c.delta, EditAffinity::upstream), c.upstream)
            << c.offset << " at " << c.edited.location;
        EXPECT_EQ(offsetAfterEdit(c.offset, c.edited, c.delta, EditAffinity::downstream),
                  c.downstream)
            << c.offset << " at " << c.edited.location;
    }
}

TEST(OffsetAfterEdit, RangesKeepInsertionsAtTheirEdgesOutsideAndLoseReplacedParts) {
    const TextRange word{4, 3}; // "456"
    EXPECT_EQ(rangeAfterEdit(word, {4, 2}, 2), (TextRange{6, 3}));  // typed before it
    EXPECT_EQ(rangeAfterEdit(word, {7, 2}, 2), (TextRange{4, 3}));  // typed after it
    EXPECT_EQ(rangeAfterEdit(word, {5, 2}, 2), (TextRange{4, 5}));  // typed inside: grows
    EXPECT_EQ(rangeAfterEdit(word, {2, 0}, -4), (TextRange{2, 1})); // "2345" deleted
    EXPECT_EQ(rangeAfterEdit(word, {3, 1}, -4), (TextRange{4, 0})); // all of it replaced
    EXPECT_EQ(rangeAfterEdit({4, 0}, {4, 1}, 1), (TextRange{5, 0})); // a caret mark moves on
}

} // namespace
