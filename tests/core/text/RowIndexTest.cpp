#include "core/text/RowIndex.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

using vendrix::RowIndex;

namespace {

/// The y queries of a wrapped view against plain sums over a model, through random edits.
TEST(RowIndex, PrefixSumsAndRowLookupsMatchAPlainModelThroughEdits) {
    std::mt19937 random(11);
    std::vector<std::int32_t> model(37);
    for (auto& rows : model)
        rows = 1 + static_cast<std::int32_t>(random() % 5);
    RowIndex index;
    index.assign(model);
    auto check = [&](int step) {
        ASSERT_EQ(index.size(), static_cast<std::int64_t>(model.size())) << step;
        std::int64_t before = 0;
        for (std::size_t line = 0; line < model.size(); ++line) {
            ASSERT_EQ(index.rowsBefore(static_cast<std::int64_t>(line)), before) << step;
            // Every row of the line maps back to it.
            for (std::int32_t row = 0; row < model[line]; ++row)
                ASSERT_EQ(index.lineAtRow(before + row), static_cast<std::int64_t>(line))
                    << "step " << step << " row " << before + row;
            before += model[line];
        }
        ASSERT_EQ(index.totalRows(), before);
        ASSERT_EQ(index.rowsBefore(index.size()), before);
        // Past the end: the last line.
        ASSERT_EQ(index.lineAtRow(before + 100), index.size() - 1);
    };
    check(-1);
    for (int step = 0; step < 200; ++step) {
        const auto line = static_cast<std::int64_t>(random() % model.size());
        if (step % 3 == 0) {
            const auto rows = static_cast<std::int32_t>(1 + random() % 9);
            model[static_cast<std::size_t>(line)] = rows;
            index.set(line, rows);
        } else {
            // Replace a few lines by a different number of lines (an edit that adds or joins).
            const std::int64_t old = std::min<std::int64_t>(
                static_cast<std::int64_t>(random() % 4), static_cast<std::int64_t>(model.size()) - line);
            std::vector<std::int32_t> rows(random() % 4 + (model.size() < 3 ? 1 : 0));
            for (auto& r : rows)
                r = 1 + static_cast<std::int32_t>(random() % 6);
            model.erase(model.begin() + line, model.begin() + line + old);
            model.insert(model.begin() + line, rows.begin(), rows.end());
            index.splice(line, old, rows);
        }
        ASSERT_NO_FATAL_FAILURE(check(step));
        if (model.empty())
            break;
    }
}

/// A lazily estimated index over several blocks answers like a plain model once the blocks
/// it is asked about are materialised, through edits that cross block boundaries.
TEST(RowIndex, LazyBlocksMatchAPlainModelThroughEdits) {
    std::mt19937 random(5);
    std::vector<std::int32_t> model(5 * RowIndex::kBlockLines + 17);
    for (auto& rows : model)
        rows = 1 + static_cast<std::int32_t>(random() % 5);
    for (bool exactBlocks : {true, false}) {
        std::vector<std::int32_t> live = model;
        RowIndex index;
        int blockCalls = 0;
        index.reset(
            static_cast<std::int64_t>(live.size()),
            [&](std::int64_t line) { return live[static_cast<std::size_t>(line)]; },
            [&](std::int64_t first, std::int64_t count) {
                ++blockCalls;
                if (!exactBlocks)
                    return count * 3; // a poor estimate, corrected block by block
                return std::accumulate(live.begin() + first, live.begin() + first + count,
                                       std::int64_t{0});
            });
        EXPECT_EQ(blockCalls, 6); // one estimate per block, none per line
        if (!exactBlocks)
            for (std::int64_t line = 0; line < index.size(); line += RowIndex::kBlockLines / 2)
                (void)index.rows(line); // materialise every block
        for (int step = 0; step < 300; ++step) {
            const auto line = static_cast<std::int64_t>(random() % live.size());
            if (step % 4 == 0) {
                const auto rows = static_cast<std::int32_t>(1 + random() % 9);
                live[static_cast<std::size_t>(line)] = rows;
                index.set(line, rows);
            } else {
                // Up to three blocks' worth of lines replaced by a different number of lines.
                const std::int64_t old = std::min<std::int64_t>(
                    static_cast<std::int64_t>(random() % (3 * RowIndex::kBlockLines)),
                    static_cast<std::int64_t>(live.size()) - line);
                std::vector<std::int32_t> rows(random() % 2000);
                for (auto& r : rows)
                    r = 1 + static_cast<std::int32_t>(random() % 6);
                live.erase(live.begin() + line, live.begin() + line + old);
                live.insert(live.begin() + line, rows.begin(), rows.end());
                index.splice(line, old, rows);
            }
            ASSERT_EQ(index.size(), static_cast<std::int64_t>(live.size()));
            for (int probe = 0; probe < 20 && !live.empty(); ++probe) {
                const auto at = static_cast<std::int64_t>(random() % live.size());
                const std::int64_t before = std::accumulate(
                    live.begin(), live.begin() + at, std::int64_t{0});
                ASSERT_EQ(index.rowsBefore(at), before) << "step " << step;
                ASSERT_EQ(index.rows(at), live[static_cast<std::size_t>(at)]);
                ASSERT_EQ(index.lineAtRow(before + live[static_cast<std::size_t>(at)] - 1), at)
                    << "step " << step;
            }
            ASSERT_EQ(index.totalRows(), std::accumulate(live.begin(), live.end(), std::int64_t{0}));
            if (live.size() < 10)
                break;
        }
    }
}

TEST(RowIndex, EmptyIndexAndOutOfRangeUpdates) {
    RowIndex index;
    EXPECT_EQ(index.lineAtRow(5), 0);
    EXPECT_EQ(index.totalRows(), 0);
    index.assign({2, 3});
    index.set(7, 100); // ignored
    index.set(-1, 100);
    EXPECT_EQ(index.totalRows(), 5);
    EXPECT_EQ(index.lineAtRow(1), 0);
    EXPECT_EQ(index.lineAtRow(2), 1);
}

} // namespace
