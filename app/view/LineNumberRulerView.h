#pragma once

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace vendrix {
class LineIndex;
}

namespace vendrix::app {

class EditorTextView;

/// The vertical ruler at the left of the text view with the number of every visible line,
/// read from the shown document's line index: drawing costs only the visible lines.
class LineNumberRulerView : public QWidget {
    Q_OBJECT

public:
    /// Returns the line index of the shown document, or none without a loaded document.
    using LineIndexProvider = std::function<const LineIndex*()>;

    /// Attaches itself to `textView` as its left margin and sizes itself at once.
    LineNumberRulerView(EditorTextView* textView, LineIndexProvider provider);

    /// Recomputes the width; without `force` only when the digit count changed.
    void updateThickness(bool force);
    /// Marks the ruler for display.
    void redraw() { update(); }

    int digitCount() const { return m_digitCount; }
    int thickness() const { return m_thickness; }
    const QFont& numberFont() const { return m_font; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    /// Scales the number font with the text view's zoom (11 points at no zoom) and resizes
    /// when it changed.
    void followZoom();
    /// The line of the caret in the shown document (0 without one).
    std::int64_t caretLine() const;

    QPointer<EditorTextView> m_textView;
    LineIndexProvider m_lineIndexProvider;
    QFont m_font;
    int m_digitCount = 0;
    int m_thickness = 0;
    // What the last paint showed: typing within a line or moving the caret along it changes
    // neither, and needs no repaint.
    std::int64_t m_paintedLineCount = -1;
    std::int64_t m_paintedCaretLine = -1;
};

} // namespace vendrix::app
