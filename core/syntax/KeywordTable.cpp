#include "core/syntax/KeywordTable.h"

#include "core/common/Utf8.h"
#include "core/syntax/SyntaxUnicode.h"

#include <bit>

namespace vendrix {

namespace {
constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kPrime = 0x100000001b3ULL;

inline char16_t foldASCII(char16_t u) {
    return (u >= u'A' && u <= u'Z') ? (u | 0x20) : u;
}
} // namespace

std::uint64_t KeywordTable::hash(const char16_t* units, std::int64_t count, bool fold) {
    std::uint64_t h = kOffsetBasis;
    for (std::int64_t i = 0; i < count; ++i) {
        char16_t u = fold ? foldASCII(units[i]) : units[i];
        h = (h ^ static_cast<std::uint64_t>(u)) * kPrime;
    }
    return h;
}

KeywordTable::KeywordTable(std::initializer_list<Group> groups, bool caseInsensitive)
    : m_caseInsensitive(caseInsensitive) {
    build(groups.begin(), groups.size());
}

KeywordTable::KeywordTable(const std::vector<Group>& groups, bool caseInsensitive)
    : m_caseInsensitive(caseInsensitive) {
    build(groups.data(), groups.size());
}

void KeywordTable::build(const Group* groups, std::size_t count) {
    for (std::size_t g = 0; g < count; ++g) {
        for (std::string_view word : groups[g].words) {
            std::u16string units = utf8::decode(word);
            if (m_caseInsensitive)
                units = syntax_detail::lowercased(units);
            std::uint64_t h = hash(units.data(), static_cast<std::int64_t>(units.size()), false);
            bool duplicate = false;
            for (std::size_t i = 0; i < m_entries.size(); ++i) {
                if (m_hashes[i] == h && m_entries[i].units == units) {
                    duplicate = true;
                    break;
                }
            }
            if (duplicate)
                continue;
            m_entries.push_back(Entry{std::move(units), groups[g].kind});
            m_hashes.push_back(h);
        }
    }
    if (m_entries.empty())
        return;
    std::size_t capacity = std::bit_ceil(m_entries.size() * 2 + 1);
    m_slots.assign(capacity, Slot{});
    m_mask = capacity - 1;
    m_next.assign(m_entries.size(), 0);
    m_shortest = INT64_MAX;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        auto length = static_cast<std::int64_t>(m_entries[i].units.size());
        m_shortest = std::min(m_shortest, length);
        m_longest = std::max(m_longest, length);
        insertSlot(m_hashes[i], static_cast<std::uint32_t>(i));
    }
}

void KeywordTable::insertSlot(std::uint64_t h, std::uint32_t entry) {
    for (std::uint64_t at = h & m_mask;; at = (at + 1) & m_mask) {
        Slot& slot = m_slots[at];
        if (slot.head == 0) {
            slot = Slot{h, entry + 1};
            return;
        }
        if (slot.hash == h) {
            // Append to the end of the bucket so look-ups see registration order.
            std::uint32_t last = slot.head - 1;
            while (m_next[last] != 0)
                last = m_next[last] - 1;
            m_next[last] = entry + 1;
            return;
        }
    }
}

std::optional<TokenKind> KeywordTable::lookup(const char16_t* buffer, std::int64_t start,
                                              std::int64_t end) const {
    if (m_entries.empty())
        return std::nullopt;
    std::int64_t length = end - start;
    if (length > maxLookupLength || length < m_shortest || length > m_longest)
        return std::nullopt;
    const char16_t* word = buffer + start;
    std::uint64_t h = hash(word, length, m_caseInsensitive);
    for (std::uint64_t at = h & m_mask;; at = (at + 1) & m_mask) {
        const Slot& slot = m_slots[at];
        if (slot.head == 0)
            return std::nullopt;
        if (slot.hash != h)
            continue;
        for (std::uint32_t e = slot.head; e != 0; e = m_next[e - 1]) {
            const std::u16string& units = m_entries[e - 1].units;
            if (static_cast<std::int64_t>(units.size()) != length)
                continue;
            bool equal = true;
            for (std::int64_t i = 0; i < length && equal; ++i) {
                char16_t u = m_caseInsensitive ? foldASCII(word[i]) : word[i];
                equal = u == units[static_cast<size_t>(i)];
            }
            if (equal)
                return m_entries[e - 1].kind;
        }
        return std::nullopt;
    }
}

} // namespace vendrix
