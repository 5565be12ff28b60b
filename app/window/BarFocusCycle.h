#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
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
    /// `openBars` lists the bars shown now, top to bottom (those above the text first).
    BarFocusCycle(QWidget* window, QWidget* text, std::function<std::vector<QWidget*>()> openBars);

    /// Moves the focus one stop forward or back.
    void cycle(bool forward);

private:
    /// The text, and the open bars in the window's order.
    std::vector<QWidget*> stops() const;

    QPointer<QWidget> m_text;
    std::function<std::vector<QWidget*>()> m_openBars;
};

} // namespace vendrix::app
