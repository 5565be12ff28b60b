#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

class QWidget;

namespace vendrix::app {

/// Moves the keyboard focus between the text and the bars that are open (find, go to line,
/// search results), for users without a mouse: F6 or Ctrl+F6 to the next, Shift+F6 or
/// Ctrl+Shift+F6 to the previous, in the window's order (bars above the text, the text, bars
/// below it) and round. A bar gets the focus where it last had it, else on its first control.
class BarFocusCycle final : public QObject {
    Q_OBJECT

public:
    /// The window's bars above and below the text, top to bottom; the lists belong to the
    /// window and must outlive the cycle. Hidden or deleted bars are skipped.
    using Bars = std::vector<QPointer<QWidget>>;
    BarFocusCycle(QWidget* window, QWidget* text, const Bars& topBars, const Bars& bottomBars);

    /// Moves the focus one stop forward or back.
    void cycle(bool forward);

private:
    /// The text, and the open bars in the window's order.
    std::vector<QWidget*> stops() const;

    QPointer<QWidget> m_text;
    const Bars& m_topBars;
    const Bars& m_bottomBars;
};

} // namespace vendrix::app
