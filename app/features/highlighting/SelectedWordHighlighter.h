#pragma once

#include "core/common/TextRange.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

namespace vendrix::app {

class EditorContext;

/// Marks the other occurrences, in the visible text, of a selected whole word (a background
/// layer of the text view), a moment after the selection settles. Main thread only.
class SelectedWordHighlighter final : public QObject {
    Q_OBJECT

public:
    static constexpr int delayMs = 120;

    /// `enabled` tells whether the setting is on; `dark` which colour variant to use.
    SelectedWordHighlighter(EditorContext& context, std::function<bool()> enabled,
                            std::function<bool()> dark, QObject* parent = nullptr);

    /// Restarts the delay; the marks follow when it ends.
    void schedule();
    /// Recomputes the marks now.
    void refresh();
    bool isScheduled() const { return m_timer.isActive(); }
    /// The ranges currently marked.
    const std::vector<TextRange>& marked() const { return m_marked; }

private:
    void clear();

    EditorContext& m_context;
    std::function<bool()> m_enabled;
    std::function<bool()> m_dark;
    QTimer m_timer;
    std::vector<TextRange> m_marked;
};

} // namespace vendrix::app
