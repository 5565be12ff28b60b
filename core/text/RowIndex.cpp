#include "core/text/RowIndex.h"

#include <algorithm>
#include <bit>

namespace vendrix {

namespace {

std::size_t lowBit(std::size_t i) { return i & (~i + 1); }

void fenwickAdd(std::vector<std::int64_t>& tree, std::size_t index, std::int64_t delta) {
    for (std::size_t i = index + 1; i < tree.size(); i += lowBit(i))
        tree[i] += delta;
}

std::int64_t fenwickPrefix(const std::vector<std::int64_t>& tree, std::size_t count) {
    std::int64_t sum = 0;
    for (std::size_t i = std::min(count, tree.size() - 1); i > 0; i -= lowBit(i))
        sum += tree[i];
    return sum;
}

/// The number of leading entries whose sum stays at or below `value`, and that sum.
std::pair<std::size_t, std::int64_t> fenwickDescend(const std::vector<std::int64_t>& tree,
                                                    std::int64_t value) {
    std::size_t position = 0;
    std::int64_t sum = 0;
    for (std::size_t step = std::bit_floor(tree.size() - 1); step > 0; step >>= 1) {
        const std::size_t next = position + step;
        if (next < tree.size() && sum + tree[next] <= value) {
            position = next;
            sum += tree[next];
        }
    }
    return {position, sum};
}

} // namespace

void RowIndex::chunk(const std::vector<std::int32_t>& rows, std::vector<Block>& out) {
    for (std::size_t at = 0; at < rows.size(); at += static_cast<std::size_t>(kBlockLines)) {
        const std::size_t end = std::min(rows.size(), at + static_cast<std::size_t>(kBlockLines));
        Block block;
        block.lines = static_cast<std::int64_t>(end - at);
        block.perLine.assign(rows.begin() + static_cast<std::ptrdiff_t>(at),
                             rows.begin() + static_cast<std::ptrdiff_t>(end));
        for (std::int32_t r : block.perLine)
            block.rows += r;
        out.push_back(std::move(block));
    }
}

void RowIndex::rebuildTrees() {
    const std::size_t n = m_blocks.size();
    m_lineTree.assign(n + 1, 0);
    m_rowTree.assign(n + 1, 0);
    m_lines = 0;
    m_total = 0;
    for (std::size_t i = 1; i <= n; ++i) {
        m_lineTree[i] += m_blocks[i - 1].lines;
        m_rowTree[i] += m_blocks[i - 1].rows;
        m_lines += m_blocks[i - 1].lines;
        m_total += m_blocks[i - 1].rows;
        const std::size_t parent = i + lowBit(i);
        if (parent <= n) {
            m_lineTree[parent] += m_lineTree[i];
            m_rowTree[parent] += m_rowTree[i];
        }
    }
}

void RowIndex::assign(std::vector<std::int32_t> rows) {
    m_blocks.clear();
    m_lineEstimate = {};
    chunk(rows, m_blocks);
    rebuildTrees();
}

void RowIndex::reset(std::int64_t lineCount, LineEstimate line, BlockEstimate block) {
    m_blocks.clear();
    m_lineEstimate = std::move(line);
    for (std::int64_t first = 0; first < lineCount; first += kBlockLines) {
        Block b;
        b.lines = std::min(kBlockLines, lineCount - first);
        b.rows = block(first, b.lines);
        m_blocks.push_back(std::move(b));
    }
    rebuildTrees();
}

std::pair<std::size_t, std::int64_t> RowIndex::blockOf(std::int64_t line) const {
    return fenwickDescend(m_lineTree, line);
}

std::int64_t RowIndex::rowsBeforeBlock(std::size_t b) const { return fenwickPrefix(m_rowTree, b); }

void RowIndex::addRows(std::size_t b, std::int64_t delta) const {
    if (delta == 0)
        return;
    m_blocks[b].rows += delta;
    m_total += delta;
    fenwickAdd(m_rowTree, b, delta);
}

void RowIndex::materialize(std::size_t b, std::int64_t firstLine) const {
    Block& block = m_blocks[b];
    if (!block.perLine.empty() || block.lines == 0)
        return;
    block.perLine.resize(static_cast<std::size_t>(block.lines));
    std::int64_t sum = 0;
    for (std::int64_t i = 0; i < block.lines; ++i) {
        const std::int32_t rows = m_lineEstimate ? m_lineEstimate(firstLine + i) : 1;
        block.perLine[static_cast<std::size_t>(i)] = rows;
        sum += rows;
    }
    addRows(b, sum - block.rows);
}

std::int32_t RowIndex::rows(std::int64_t line) const {
    if (line < 0 || line >= m_lines)
        return 1;
    auto [b, first] = blockOf(line);
    materialize(b, first);
    return m_blocks[b].perLine[static_cast<std::size_t>(line - first)];
}

void RowIndex::set(std::int64_t line, std::int32_t rows) {
    if (line < 0 || line >= m_lines)
        return;
    auto [b, first] = blockOf(line);
    materialize(b, first);
    std::int32_t& stored = m_blocks[b].perLine[static_cast<std::size_t>(line - first)];
    const std::int64_t delta = rows - stored;
    stored = rows;
    addRows(b, delta);
}

void RowIndex::splice(std::int64_t first, std::int64_t oldCount,
                      const std::vector<std::int32_t>& rows) {
    first = std::clamp<std::int64_t>(first, 0, m_lines);
    oldCount = std::clamp<std::int64_t>(oldCount, 0, m_lines - first);
    if (oldCount == static_cast<std::int64_t>(rows.size())) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            set(first + static_cast<std::int64_t>(i), rows[i]);
        return;
    }
    if (m_blocks.empty()) {
        chunk(rows, m_blocks);
        rebuildTrees();
        return;
    }
    // The blocks that hold the replaced lines (or the insertion point) are gathered into one
    // run of lines, spliced, and cut into blocks again; the others stay as they are.
    auto [b0, start] = blockOf(std::min(first, m_lines - 1));
    const std::int64_t lastLine = std::min(first + std::max<std::int64_t>(oldCount, 1), m_lines) - 1;
    auto [b1, lastStart] = blockOf(std::max(lastLine, start));
    std::vector<std::int32_t> run;
    std::int64_t blockFirst = start;
    for (std::size_t b = b0; b <= b1; ++b) {
        materialize(b, blockFirst);
        run.insert(run.end(), m_blocks[b].perLine.begin(), m_blocks[b].perLine.end());
        blockFirst += m_blocks[b].lines;
    }
    (void)lastStart;
    const auto at = run.begin() + (first - start);
    run.erase(at, at + oldCount);
    run.insert(run.begin() + (first - start), rows.begin(), rows.end());
    if (b0 == b1 && !run.empty() && run.size() <= 2 * static_cast<std::size_t>(kBlockLines)) {
        // The lines stay in their block (up to twice its usual size): the trees take the
        // change in place, without being rebuilt over every block (an Enter in a text of
        // millions of lines).
        Block& block = m_blocks[b0];
        const auto lines = static_cast<std::int64_t>(run.size());
        std::int64_t sum = 0;
        for (std::int32_t r : run)
            sum += r;
        fenwickAdd(m_lineTree, b0, lines - block.lines);
        m_lines += lines - block.lines;
        block.lines = lines;
        block.perLine = std::move(run);
        addRows(b0, sum - block.rows);
        return;
    }
    std::vector<Block> replacement;
    chunk(run, replacement);
    m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(b0),
                   m_blocks.begin() + static_cast<std::ptrdiff_t>(b1 + 1));
    m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(b0),
                    std::make_move_iterator(replacement.begin()),
                    std::make_move_iterator(replacement.end()));
    rebuildTrees();
}

std::int64_t RowIndex::rowsBefore(std::int64_t line) const {
    if (line <= 0)
        return 0;
    if (line >= m_lines)
        return m_total;
    auto [b, first] = blockOf(line);
    materialize(b, first);
    std::int64_t sum = rowsBeforeBlock(b);
    const auto& perLine = m_blocks[b].perLine;
    for (std::int64_t i = first; i < line; ++i)
        sum += perLine[static_cast<std::size_t>(i - first)];
    return sum;
}

std::int64_t RowIndex::lineAtRow(std::int64_t row) const {
    if (m_lines == 0)
        return 0;
    row = std::max<std::int64_t>(row, 0);
    // Materialising a block corrects its own rows only: the blocks before keep their place,
    // so a row that falls past the corrected block is looked up again further on.
    for (;;) {
        if (row >= m_total)
            return m_lines - 1;
        auto [b, before] = fenwickDescend(m_rowTree, row);
        b = std::min(b, m_blocks.size() - 1);
        before = rowsBeforeBlock(b);
        const std::int64_t first = fenwickPrefix(m_lineTree, b);
        materialize(b, first);
        if (row - before >= m_blocks[b].rows) {
            if (b + 1 == m_blocks.size())
                return m_lines - 1;
            continue;
        }
        std::int64_t remaining = row - before;
        const auto& perLine = m_blocks[b].perLine;
        for (std::size_t i = 0; i < perLine.size(); ++i) {
            if (remaining < perLine[i])
                return first + static_cast<std::int64_t>(i);
            remaining -= perLine[i];
        }
        return first + m_blocks[b].lines - 1;
    }
}

} // namespace vendrix
