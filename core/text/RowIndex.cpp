#include "core/text/RowIndex.h"

#include <algorithm>
#include <bit>

namespace vendrix {

void RowIndex::assign(std::vector<std::int32_t> rows) {
    m_rows = std::move(rows);
    rebuildTree();
}

void RowIndex::rebuildTree() {
    const size_t n = m_rows.size();
    m_tree.assign(n + 1, 0);
    m_total = 0;
    for (size_t i = 1; i <= n; ++i) {
        m_tree[i] += m_rows[i - 1];
        m_total += m_rows[i - 1];
        size_t parent = i + (i & (~i + 1));
        if (parent <= n)
            m_tree[parent] += m_tree[i];
    }
}

void RowIndex::set(std::int64_t line, std::int32_t rows) {
    if (line < 0 || line >= size())
        return;
    std::int64_t delta = rows - m_rows[static_cast<size_t>(line)];
    if (delta == 0)
        return;
    m_rows[static_cast<size_t>(line)] = rows;
    m_total += delta;
    for (size_t i = static_cast<size_t>(line) + 1; i < m_tree.size(); i += i & (~i + 1))
        m_tree[i] += delta;
}

void RowIndex::splice(std::int64_t first, std::int64_t oldCount,
                      const std::vector<std::int32_t>& rows) {
    if (oldCount == static_cast<std::int64_t>(rows.size())) {
        for (size_t i = 0; i < rows.size(); ++i)
            set(first + static_cast<std::int64_t>(i), rows[i]);
        return;
    }
    auto begin = m_rows.begin() + first;
    m_rows.erase(begin, begin + oldCount);
    m_rows.insert(m_rows.begin() + first, rows.begin(), rows.end());
    rebuildTree();
}

std::int64_t RowIndex::rowsBefore(std::int64_t line) const {
    std::int64_t sum = 0;
    for (size_t i = static_cast<size_t>(std::min(line, size())); i > 0; i -= i & (~i + 1))
        sum += m_tree[i];
    return sum;
}

std::int64_t RowIndex::lineAtRow(std::int64_t row) const {
    if (m_rows.empty())
        return 0;
    // Descend the tree for the largest prefix not above `row`.
    size_t position = 0;
    std::int64_t remaining = row;
    for (size_t step = std::bit_floor(m_tree.size() - 1); step > 0; step >>= 1) {
        size_t next = position + step;
        if (next < m_tree.size() && m_tree[next] <= remaining) {
            position = next;
            remaining -= m_tree[next];
        }
    }
    return std::min<std::int64_t>(static_cast<std::int64_t>(position), size() - 1);
}

} // namespace vendrix
