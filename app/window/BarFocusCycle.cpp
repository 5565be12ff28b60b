#include "app/window/BarFocusCycle.h"

#include <QAction>
#include <QApplication>
#include <QWidget>

#include <algorithm>

namespace vendrix::app {
namespace {

/// The control that takes the focus when `bar` gets it: the one that had it last, else the
/// first in the tab order.
QWidget* focusTarget(QWidget* bar) {
    if (QWidget* last = bar->focusWidget(); last && last->isVisible() && last->isEnabled())
        return last;
    for (QWidget* widget = bar->nextInFocusChain(); widget && widget != bar;
         widget = widget->nextInFocusChain()) {
        if (bar->isAncestorOf(widget) && widget->isVisible() && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus))
            return widget;
    }
    return nullptr;
}

} // namespace

BarFocusCycle::BarFocusCycle(QWidget* window, QWidget* text, const Bars& topBars,
                             const Bars& bottomBars)
    : QObject(window), m_text(text), m_topBars(topBars), m_bottomBars(bottomBars) {
    auto add = [&](QList<QKeySequence> keys, bool forward) {
        auto* action = new QAction(window);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, forward] { cycle(forward); });
        window->addAction(action);
    };
    add({QKeySequence(Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_F6)}, true);
    add({QKeySequence(Qt::SHIFT | Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6)},
        false);
}

std::vector<QWidget*> BarFocusCycle::stops() const {
    std::vector<QWidget*> result;
    if (!m_text)
        return result;
    const QWidget* window = m_text->window();
    std::vector<QWidget*> bars;
    for (const Bars* list : {&m_topBars, &m_bottomBars})
        for (const QPointer<QWidget>& bar : *list)
            bars.push_back(bar);
    std::erase_if(bars, [](QWidget* bar) { return !bar || !bar->isVisible(); });
    // Bars above the text come before it, the others after it.
    const int textTop = m_text->mapTo(window, QPoint(0, 0)).y();
    for (QWidget* bar : bars)
        if (bar->mapTo(window, QPoint(0, 0)).y() < textTop)
            result.push_back(bar);
    result.push_back(m_text);
    for (QWidget* bar : bars)
        if (bar->mapTo(window, QPoint(0, 0)).y() >= textTop)
            result.push_back(bar);
    return result;
}

void BarFocusCycle::cycle(bool forward) {
    const std::vector<QWidget*> all = stops();
    if (all.size() < 2)
        return;
    QWidget* focused = QApplication::focusWidget();
    auto current = std::ranges::find_if(all, [focused](QWidget* stop) {
        return focused && (stop == focused || stop->isAncestorOf(focused));
    });
    // From outside every stop (the tab bar, a status field) F6 goes to the text.
    std::size_t next = 0;
    if (current != all.end()) {
        const auto index = static_cast<std::size_t>(current - all.begin());
        next = forward ? (index + 1) % all.size() : (index + all.size() - 1) % all.size();
    } else {
        next = static_cast<std::size_t>(std::ranges::find(all, m_text.data()) - all.begin());
    }
    QWidget* stop = all[next];
    QWidget* target = stop == m_text ? stop : focusTarget(stop);
    if (target)
        target->setFocus(Qt::ShortcutFocusReason);
}

} // namespace vendrix::app
