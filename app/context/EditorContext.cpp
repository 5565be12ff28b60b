#include "app/context/EditorContext.h"

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

} // namespace vendrix::app
