#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vendrix {

/// Row counts of the lines of a wrapped text with prefix sums (a Fenwick tree), so that the
/// y position of a line and the line at a y position cost O(log lines).
class RowIndex {
public:
    void assign(std::vector<std::int32_t> rows);
    std::int64_t size() const { return static_cast<std::int64_t>(m_rows.size()); }
    std::int32_t rows(std::int64_t line) const { return m_rows[static_cast<std::size_t>(line)]; }
    void set(std::int64_t line, std::int32_t rows);
    /// Replaces the counts of lines [first, first + oldCount) by `rows`.
    void splice(std::int64_t first, std::int64_t oldCount, const std::vector<std::int32_t>& rows);
    /// Rows of the lines before `line`.
    std::int64_t rowsBefore(std::int64_t line) const;
    std::int64_t totalRows() const { return m_total; }
    /// The line holding row `row` (clamped to the last line).
    std::int64_t lineAtRow(std::int64_t row) const;

private:
    void rebuildTree();

    std::vector<std::int32_t> m_rows;
    std::vector<std::int64_t> m_tree; // 1-based Fenwick tree over m_rows
    std::int64_t m_total = 0;
};

} // namespace vendrix
