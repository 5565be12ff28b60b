#include "app/context/EditorContext.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"

namespace vendrix::app {

std::optional<EditorContext::ColumnSelectionInfo> EditorContext::columnSelection() const {
    const EditorTextView* view = textView();
    const ColumnSelectionQuery* query = view ? view->columnSelection() : nullptr;
    if (!query || !query->isActive())
        return std::nullopt;
    return ColumnSelectionInfo{query->boundingRange(), query->lineParts(),
                               query->isRectangularWithWidth()};
}

EditorObservation EditorContext::addContextMenuProvider(ContextMenuProvider provider) {
    const std::uint64_t id = m_nextProviderID++;
    m_contextMenuProviders->emplace(id, std::make_shared<ContextMenuProvider>(std::move(provider)));
    std::weak_ptr<ContextMenuProviders> weak = m_contextMenuProviders;
    return EditorObservation([weak, id] {
        if (auto providers = weak.lock())
            providers->erase(id);
    });
}

void EditorContext::fillContextMenu(QMenu& menu, EditorTextView& view, std::int64_t offset) const {
    // A copy: a provider may register or cancel providers while it runs; one cancelled
    // before its turn is not asked.
    const ContextMenuProviders providers = *m_contextMenuProviders;
    for (const auto& [id, provider] : providers)
        if (m_contextMenuProviders->contains(id))
            (*provider)(menu, view, offset);
}

void EditorContext::loadPending(std::vector<EditorDocument*> documents,
                                std::function<void(bool completed)> then) {
    for (EditorDocument* document : documents)
        document->ensureLoaded();
    then(true);
}

void EditorContext::openFile(const QString&, FileOpened then) {
    then(nullptr);
}

} // namespace vendrix::app
