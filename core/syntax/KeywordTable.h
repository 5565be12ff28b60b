#pragma once

#include "core/syntax/TokenKind.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// An immutable set of words, each mapped to a token kind, looked up in place in a line
/// buffer without allocating. Words are hashed with 64-bit FNV-1a over their UTF-16 units.
/// A case-insensitive table stores its words in full Unicode lower case and folds only ASCII
/// A-Z at look-up, so only ASCII words match case-insensitively. Words longer than
/// `maxLookupLength` units never match. Immutable after construction; safe to share.
class KeywordTable {
public:
    static constexpr std::int64_t maxLookupLength = 32;

    /// One stored word.
    struct Entry {
        std::u16string units;
        TokenKind kind;
    };
    /// A kind with the words registered under it (UTF-8).
    struct Group {
        TokenKind kind;
        std::vector<std::string_view> words;
    };

    /// The empty, case-sensitive table.
    KeywordTable() = default;
    /// Registers the groups' words in order; the first registration of a word wins.
    KeywordTable(std::initializer_list<Group> groups, bool caseInsensitive);
    KeywordTable(const std::vector<Group>& groups, bool caseInsensitive);

    /// The kind of the word buffer[start ..< end]; none when it is not in the table.
    [[nodiscard]] std::optional<TokenKind> lookup(const char16_t* buffer, std::int64_t start,
                                                  std::int64_t end) const;

    bool caseInsensitive() const { return m_caseInsensitive; }
    bool empty() const { return m_entries.empty(); }
    /// The stored entries in registration order.
    const std::vector<Entry>& entries() const { return m_entries; }

    /// FNV-1a over UTF-16 units, each XORed as a 16-bit value; with `foldASCII`, A-Z are
    /// OR-ed with 0x20 first.
    [[nodiscard]] static std::uint64_t hash(const char16_t* units, std::int64_t count,
                                            bool foldASCII);

private:
    void build(const Group* groups, std::size_t count);
    void insertSlot(std::uint64_t hash, std::uint32_t entry);

    // Open addressing on the word hash; each slot heads a chain of entries with that hash
    // (entries sharing a 64-bit hash form one bucket, in registration order).
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t head = 0; // entry index + 1; 0 = empty slot
    };
    std::vector<Entry> m_entries;
    std::vector<std::uint64_t> m_hashes;
    std::vector<std::uint32_t> m_next; // entry index + 1 of the next entry in the bucket
    std::vector<Slot> m_slots;
    std::uint64_t m_mask = 0;
    std::int64_t m_shortest = 0;
    std::int64_t m_longest = 0;
    bool m_caseInsensitive = false;
};

} // namespace vendrix
