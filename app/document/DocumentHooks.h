#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace vendrix::app {

/// Names one change filter or observer registered on a document. Ids are never reused within
/// a run, so a stale id removes nothing. `none` is never issued.
enum class DocumentHookID : std::uint64_t { none = 0 };

namespace detail {
/// One sequence for every kind of hook, so that an id of one kind never names one of another.
inline DocumentHookID issueDocumentHookID() {
    static std::uint64_t last = 0;
    return DocumentHookID{++last};
}
} // namespace detail

/// The callbacks of one kind registered on a document, in the order they are called: lower
/// `rank` first, then registration order. Registering and removing are allowed while the list
/// is being walked: a walk calls the callbacks registered when it started and still
/// registered when their turn comes. Main thread only.
template <typename Callback> class DocumentHooks {
public:
    DocumentHookID add(Callback callback, int rank = 0) {
        const DocumentHookID id = detail::issueDocumentHookID();
        const auto position =
            std::upper_bound(m_entries.begin(), m_entries.end(), rank,
                             [](int r, const Entry& entry) { return r < entry.rank; });
        m_entries.insert(position,
                         Entry{id, rank, std::make_shared<Callback>(std::move(callback))});
        return id;
    }

    /// True when `id` was registered here (and is now removed).
    bool remove(DocumentHookID id) {
        return std::erase_if(m_entries, [id](const Entry& entry) { return entry.id == id; }) > 0;
    }

    bool contains(DocumentHookID id) const {
        return std::ranges::any_of(m_entries, [id](const Entry& entry) { return entry.id == id; });
    }
    bool empty() const { return m_entries.empty(); }
    std::size_t size() const { return m_entries.size(); }

    /// Calls `visit(callback)` for each callback in order while `visit` returns true; false
    /// when a visit returned false.
    template <typename Visit> bool walk(Visit&& visit) const {
        if (m_entries.empty())
            return true;
        // A copy of the list: a callback may add or remove hooks, its own included.
        const std::vector<Entry> entries = m_entries;
        for (const Entry& entry : entries) {
            if (!contains(entry.id))
                continue;
            if (!visit(*entry.callback))
                return false;
        }
        return true;
    }

private:
    struct Entry {
        DocumentHookID id;
        int rank;
        // Shared so that a callback removed during a walk lives until it has returned.
        std::shared_ptr<Callback> callback;
    };

    std::vector<Entry> m_entries;
};

} // namespace vendrix::app
