#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vendrix {

/// Row counts of the lines of a wrapped text with prefix sums, so that the y position of a
/// line and the line at a y position cost O(log lines).
///
/// Lines are kept in blocks of about kBlockLines (an edit lets a block grow to twice that).
/// A block made by reset() holds only an estimate of its rows until one of its lines is asked
/// about; then its lines are estimated one by one (materialised) and the block's sum
/// corrected. Wrapping a text of millions of lines so costs one estimate per block, not a
/// pass over every line, and a block's correction moves only what lies after it. Queries are
/// const but may materialise.
class RowIndex {
public:
    /// The rows of one line (from its length, or as laid out).
    using LineEstimate = std::function<std::int32_t(std::int64_t line)>;
    /// A cheap estimate of the rows of lines [first, first + count) together.
    using BlockEstimate = std::function<std::int64_t(std::int64_t first, std::int64_t count)>;

    static constexpr std::int64_t kBlockLines = 1024;

    /// Exactly these rows, one entry a line.
    void assign(std::vector<std::int32_t> rows);
    /// `lineCount` lines estimated per block until asked about.
    void reset(std::int64_t lineCount, LineEstimate line, BlockEstimate block);

    std::int64_t size() const { return m_lines; }
    std::int32_t rows(std::int64_t line) const;
    void set(std::int64_t line, std::int32_t rows);
    /// Replaces the counts of lines [first, first + oldCount) by `rows`.
    void splice(std::int64_t first, std::int64_t oldCount, const std::vector<std::int32_t>& rows);
    /// Rows of the lines before `line`.
    std::int64_t rowsBefore(std::int64_t line) const;
    std::int64_t totalRows() const { return m_total; }
    /// The line holding row `row` (clamped to the last line).
    std::int64_t lineAtRow(std::int64_t row) const;

private:
    struct Block {
        std::int64_t lines = 0;
        std::int64_t rows = 0;             // exact once materialised, else an estimate
        std::vector<std::int32_t> perLine; // empty until materialised
    };

    /// The block holding `line` (0 <= line < size()) and the first line of that block.
    std::pair<std::size_t, std::int64_t> blockOf(std::int64_t line) const;
    /// Rows of the blocks before block `b`.
    std::int64_t rowsBeforeBlock(std::size_t b) const;
    void materialize(std::size_t b, std::int64_t firstLine) const;
    void addRows(std::size_t b, std::int64_t delta) const;
    /// Blocks from per-line rows, appended to `out`.
    static void chunk(const std::vector<std::int32_t>& rows, std::vector<Block>& out);
    void rebuildTrees();

    mutable std::vector<Block> m_blocks;
    std::vector<std::int64_t> m_lineTree;         // 1-based Fenwick tree of the blocks' lines
    mutable std::vector<std::int64_t> m_rowTree;  // the same for their rows
    std::int64_t m_lines = 0;
    mutable std::int64_t m_total = 0;
    LineEstimate m_lineEstimate;
};

} // namespace vendrix
