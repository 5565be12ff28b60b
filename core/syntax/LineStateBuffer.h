#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vendrix {

/// The highlight engine's per-line states, stored with a gap at the last edit so that
/// inserting or removing lines near where the user types moves only the entries between two
/// successive edit points, not every state after the edit.
class LineStateBuffer {
public:
    std::int64_t size() const { return static_cast<std::int64_t>(m_data.size() - gapLength()); }

    std::uint32_t operator[](std::int64_t i) const { return m_data[physical(i)]; }
    void set(std::int64_t i, std::uint32_t value) { m_data[physical(i)] = value; }

    /// One state of 0 (the start of a document).
    void reset() {
        m_data.assign(1, 0);
        m_gapStart = m_gapEnd = 1;
    }

    void pushBack(std::uint32_t value) {
        moveGap(size());
        if (m_gapStart < m_gapEnd) {
            m_data[m_gapStart++] = value;
        } else {
            m_data.push_back(value);
            m_gapStart = m_gapEnd = m_data.size();
        }
    }

    /// Keeps the first `count` entries.
    void truncate(std::int64_t count) {
        if (count >= size())
            return;
        moveGap(count);
        m_data.resize(m_gapStart);
        m_gapEnd = m_gapStart;
    }

    /// Replaces `removed` entries at `at` by `inserted` zeros.
    void splice(std::int64_t at, std::int64_t removed, std::int64_t inserted) {
        const std::int64_t common = std::min(removed, inserted);
        for (std::int64_t i = 0; i < common; ++i)
            set(at + i, 0);
        if (removed == inserted)
            return;
        moveGap(at + common);
        if (removed > inserted) {
            m_gapEnd += static_cast<std::size_t>(removed - inserted);
            return;
        }
        const auto extra = static_cast<std::size_t>(inserted - removed);
        if (gapLength() < extra)
            growGap(extra);
        std::fill_n(m_data.begin() + static_cast<std::ptrdiff_t>(m_gapStart), extra, 0u);
        m_gapStart += extra;
    }

private:
    std::size_t gapLength() const { return m_gapEnd - m_gapStart; }
    std::size_t physical(std::int64_t i) const {
        auto index = static_cast<std::size_t>(i);
        return index < m_gapStart ? index : index + gapLength();
    }

    void moveGap(std::int64_t to) {
        auto target = static_cast<std::size_t>(to);
        if (target < m_gapStart) {
            std::size_t count = m_gapStart - target;
            std::copy_backward(m_data.begin() + static_cast<std::ptrdiff_t>(target),
                               m_data.begin() + static_cast<std::ptrdiff_t>(m_gapStart),
                               m_data.begin() + static_cast<std::ptrdiff_t>(m_gapEnd));
            m_gapStart -= count;
            m_gapEnd -= count;
        } else if (target > m_gapStart) {
            std::size_t count = target - m_gapStart;
            std::copy(m_data.begin() + static_cast<std::ptrdiff_t>(m_gapEnd),
                      m_data.begin() + static_cast<std::ptrdiff_t>(m_gapEnd + count),
                      m_data.begin() + static_cast<std::ptrdiff_t>(m_gapStart));
            m_gapStart += count;
            m_gapEnd += count;
        }
    }

    void growGap(std::size_t needed) {
        const std::size_t grow =
            std::max<std::size_t>(needed, std::max<std::size_t>(64, m_data.size() / 64));
        m_data.insert(m_data.begin() + static_cast<std::ptrdiff_t>(m_gapEnd), grow, 0u);
        m_gapEnd += grow;
    }

    std::vector<std::uint32_t> m_data{0};
    std::size_t m_gapStart = 1; // the gap is m_data[m_gapStart ..< m_gapEnd]
    std::size_t m_gapEnd = 1;
};

} // namespace vendrix
