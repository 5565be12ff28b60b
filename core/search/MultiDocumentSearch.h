#pragma once

#include "core/search/SearchBudget.h"
#include "core/search/SearchHit.h"
#include "core/search/SearchPattern.h"
#include "core/text/TextStorage.h"

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vendrix {

/// One document to search: its id and its text. Made from a snapshot, it keeps the
/// snapshot's text alive for as long as it (or a copy) exists; made from a view, the caller
/// keeps the text alive.
struct SearchDocument {
    Uuid id;
    std::u16string_view text;
    std::optional<TextSnapshot> snapshot;

    SearchDocument(Uuid documentID, std::u16string_view documentText)
        : id(documentID), text(documentText) {}
    SearchDocument(Uuid documentID, TextSnapshot documentSnapshot)
        : id(documentID), snapshot(std::move(documentSnapshot)) {
        text = snapshot->view();
    }
    SearchDocument(const SearchDocument& other) : id(other.id), snapshot(other.snapshot) {
        text = snapshot ? snapshot->view() : other.text;
    }
    SearchDocument& operator=(const SearchDocument& other) {
        id = other.id;
        snapshot = other.snapshot;
        text = snapshot ? snapshot->view() : other.text;
        return *this;
    }
};

/// The hits of a search over several documents.
struct MultiDocumentResult {
    /// In document order, and in text order within a document.
    std::vector<SearchHit> hits;
    /// Documents with at least one hit.
    std::int64_t documentCount = 0;
    /// The limit cut the search short (documents may remain unsearched).
    bool truncated = false;

    friend bool operator==(const MultiDocumentResult&, const MultiDocumentResult&) = default;
};

/// One pattern over the texts of all open documents, with line, column and preview per hit.
/// Pure; safe to run on any thread, several at once.
struct MultiDocumentSearch {
    static constexpr std::int64_t defaultLimit = 10'000;

    /// At most `limit` hits over all documents. A budget failure ends the whole search and
    /// drops every hit.
    [[nodiscard]] static std::expected<MultiDocumentResult, SearchFailure>
    search(const SearchPattern& pattern, std::span<const SearchDocument> documents,
           std::int64_t limit, const SearchBudget& budget);
};

} // namespace vendrix
