#pragma once

#include "app/context/EditorEvent.h"
#include "app/context/EditorObservation.h"

#include <QString>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace vendrix::app {

class EditorDocument;

/// The open documents in tab order, the active one, and the event stream every observer
/// (the window, the features, the session) listens to. Owns the documents; holds no widget.
/// The active index is -1 only while there is no document or the active one was just
/// removed. Main thread only.
class Workspace {
public:
    Workspace() = default;
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    std::size_t count() const { return m_documents.size(); }
    bool isEmpty() const { return m_documents.empty(); }
    /// The documents in tab order.
    std::vector<EditorDocument*> documents() const;
    EditorDocument* at(std::size_t index) const;
    std::optional<std::size_t> indexOf(const EditorDocument& document) const;
    bool contains(const EditorDocument& document) const { return indexOf(document).has_value(); }
    /// The open document whose file is `path` (symbolic links resolved), if any.
    EditorDocument* documentForFile(const QString& path) const;

    EditorDocument* active() const;
    int activeIndex() const { return m_activeIndex; }
    /// Makes the document at `index` the active one (no event: the caller shows it first).
    void setActiveIndex(std::size_t index);
    /// Where a new tab goes: after the active one, or first.
    std::size_t insertionIndex() const;

    /// Inserts at `index` (clamped to the end); the active document stays the active one.
    EditorDocument& insert(std::unique_ptr<EditorDocument> document, std::size_t index);
    /// Takes the document at `index` out; when it was the active one, none is active after.
    std::unique_ptr<EditorDocument> remove(std::size_t index);
    /// Moves a tab; the active document stays the active one. False when nothing moved.
    bool move(std::size_t from, std::size_t to);
    /// Destroys every document (the window's shutdown), without events.
    void clear();

    EditorObservation observe(EditorObservers::Handler handler) {
        return m_observers.observe(std::move(handler));
    }
    void broadcast(const EditorEvent& event) const { m_observers.broadcast(event); }
    void broadcast(EditorEvent::Kind kind, EditorDocument* document) const {
        m_observers.broadcast(EditorEvent::of(kind, document));
    }
    /// documentOpened for each document in tab order, documentLoaded for each loaded one,
    /// then activeDocumentChanged for the active one: what a late observer missed.
    void replay() const;

private:
    std::vector<std::unique_ptr<EditorDocument>> m_documents;
    int m_activeIndex = -1;
    EditorObservers m_observers;
};

} // namespace vendrix::app
