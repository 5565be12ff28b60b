#pragma once

// Helpers shared by the source files of EditorTextView (not for its users).

#include "app/view/EditorTextView.h"

#include <QString>

#include <string_view>
#include <vector>

namespace vendrix::app {

inline std::u16string_view view(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())};
}

template <typename Ask> bool EditorTextView::askHandlers(Ask&& ask) {
    if (m_inputHandlers.empty())
        return false;
    // A handler may add or remove handlers while it runs: ask a copy of the list, skipping
    // those removed meanwhile.
    const std::vector<TextInputHandler*> handlers = m_inputHandlers;
    for (TextInputHandler* handler : handlers) {
        if (std::find(m_inputHandlers.begin(), m_inputHandlers.end(), handler) ==
            m_inputHandlers.end())
            continue;
        if (ask(*handler))
            return true;
    }
    return false;
}

} // namespace vendrix::app
