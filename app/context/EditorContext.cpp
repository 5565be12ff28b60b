#include "app/context/EditorContext.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"

namespace vendrix::app {

std::optional<EditorContext::ColumnSelectionInfo> EditorContext::columnSelection() const {
    if (columnSelectionSource)
        return columnSelectionSource();
    const EditorTextView* view = textView();
    const ColumnSelectionQuery* query = view ? view->columnSelection() : nullptr;
    if (!query || !query->isActive())
        return std::nullopt;
    return ColumnSelectionInfo{query->boundingRange(), query->lineParts(),
                               query->isRectangularWithWidth()};
}

void EditorContext::loadPending(std::vector<EditorDocument*> documents,
                                std::function<void(bool completed)> then) {
    for (EditorDocument* document : documents)
        document->ensureLoaded();
    then(true);
}

} // namespace vendrix::app
