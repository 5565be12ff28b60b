#include "app/workspace/Workspace.h"

#include "app/document/EditorDocument.h"
#include "app/workspace/WindowFiles.h"

#include <algorithm>

namespace vendrix::app {

Workspace::~Workspace() = default;

std::vector<EditorDocument*> Workspace::documents() const {
    std::vector<EditorDocument*> result;
    result.reserve(m_documents.size());
    for (const auto& document : m_documents)
        result.push_back(document.get());
    return result;
}

EditorDocument* Workspace::at(std::size_t index) const {
    return index < m_documents.size() ? m_documents[index].get() : nullptr;
}

std::optional<std::size_t> Workspace::indexOf(const EditorDocument& document) const {
    for (std::size_t i = 0; i < m_documents.size(); ++i)
        if (m_documents[i].get() == &document)
            return i;
    return std::nullopt;
}

EditorDocument* Workspace::documentForFile(const QString& path) const {
    const QString target = windowFiles::resolved(path);
    for (const auto& document : m_documents)
        if (document->fileURL() && windowFiles::resolved(*document->fileURL()) == target)
            return document.get();
    return nullptr;
}

EditorDocument* Workspace::active() const {
    if (m_activeIndex < 0 || static_cast<std::size_t>(m_activeIndex) >= m_documents.size())
        return nullptr;
    return m_documents[static_cast<std::size_t>(m_activeIndex)].get();
}

void Workspace::setActiveIndex(std::size_t index) {
    if (index < m_documents.size())
        m_activeIndex = static_cast<int>(index);
}

std::size_t Workspace::insertionIndex() const {
    return m_activeIndex < 0 ? 0 : static_cast<std::size_t>(m_activeIndex) + 1;
}

EditorDocument& Workspace::insert(std::unique_ptr<EditorDocument> document, std::size_t index) {
    EditorDocument& inserted = *document;
    index = std::min(index, m_documents.size());
    m_documents.insert(m_documents.begin() + static_cast<std::ptrdiff_t>(index),
                       std::move(document));
    if (m_activeIndex >= 0 && index <= static_cast<std::size_t>(m_activeIndex))
        ++m_activeIndex;
    return inserted;
}

std::unique_ptr<EditorDocument> Workspace::remove(std::size_t index) {
    if (index >= m_documents.size())
        return nullptr;
    std::unique_ptr<EditorDocument> removed = std::move(m_documents[index]);
    m_documents.erase(m_documents.begin() + static_cast<std::ptrdiff_t>(index));
    if (static_cast<int>(index) == m_activeIndex || m_documents.empty())
        m_activeIndex = -1;
    else if (static_cast<int>(index) < m_activeIndex)
        --m_activeIndex;
    return removed;
}

bool Workspace::move(std::size_t from, std::size_t to) {
    if (from >= m_documents.size() || to >= m_documents.size() || from == to)
        return false;
    EditorDocument* activeDocument = active();
    std::unique_ptr<EditorDocument> moving = std::move(m_documents[from]);
    m_documents.erase(m_documents.begin() + static_cast<std::ptrdiff_t>(from));
    m_documents.insert(m_documents.begin() + static_cast<std::ptrdiff_t>(to), std::move(moving));
    if (activeDocument)
        m_activeIndex = static_cast<int>(*indexOf(*activeDocument));
    return true;
}

void Workspace::clear() {
    m_activeIndex = -1;
    m_documents.clear();
}

void Workspace::replay() const {
    const std::vector<EditorDocument*> all = documents();
    for (EditorDocument* document : all)
        broadcast(EditorEvent::Kind::documentOpened, document);
    for (EditorDocument* document : all)
        if (document->isLoaded())
            broadcast(EditorEvent::Kind::documentLoaded, document);
    if (EditorDocument* activeDocument = active())
        broadcast(EditorEvent::Kind::activeDocumentChanged, activeDocument);
}

} // namespace vendrix::app
