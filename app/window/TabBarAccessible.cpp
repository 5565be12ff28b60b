#include "app/window/TabBarAccessible.h"

#include "app/window/TabBarView.h"

#include <QWidget>
#include <QWindow>

#include <mutex>

namespace vendrix::app {
namespace {

using Part = TabBarAccessible::Part;

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<TabBarView*>(object))
        return new TabBarAccessible(bar);
    return nullptr;
}

/// One tab, one tab's close button or the new-tab button.
class TabBarPartAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TabBarPartAccessible(TabBarView* bar, Part part, int index)
        : m_bar(bar), m_part(part), m_index(index) {}

    bool isValid() const override {
        return m_bar &&
               (m_part == Part::newTabButton || m_index < static_cast<int>(m_bar->items().size()));
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return m_bar && m_bar->window() ? m_bar->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        auto* list = static_cast<TabBarAccessible*>(QAccessible::queryAccessibleInterface(m_bar));
        if (!list)
            return nullptr;
        return m_part == Part::closeButton ? list->part(Part::tab, m_index) : list;
    }
    int childCount() const override { return m_part == Part::tab ? 1 : 0; }
    QAccessibleInterface* child(int index) const override {
        if (m_part != Part::tab || index != 0)
            return nullptr;
        auto* list = static_cast<TabBarAccessible*>(QAccessible::queryAccessibleInterface(m_bar));
        return list ? list->part(Part::closeButton, m_index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* candidate) const override {
        return candidate && candidate == child(0) ? 0 : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        QAccessibleInterface* close = child(0);
        return close && close->rect().contains(x, y) ? close : nullptr;
    }
    QString text(QAccessible::Text kind) const override {
        if (!isValid())
            return {};
        switch (m_part) {
        case Part::tab: {
            const TabBarView::Item& item = m_bar->items()[static_cast<size_t>(m_index)];
            if (kind == QAccessible::Name)
                return item.title;
            if (kind == QAccessible::Description)
                return item.isDirty ? QStringLiteral("değiştirildi") : QString();
            if (kind == QAccessible::Help)
                return item.toolTip;
            return {};
        }
        case Part::closeButton:
            return kind == QAccessible::Name ? QStringLiteral("Sekmeyi Kapat") : QString();
        case Part::newTabButton:
            return kind == QAccessible::Name ? QStringLiteral("Yeni Sekme") : QString();
        }
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        QRect local;
        if (m_part == Part::newTabButton)
            local = m_bar->plusFrame();
        else if (m_index < static_cast<int>(m_bar->tabFrames().size()))
            local = m_bar->tabFrames()[static_cast<size_t>(m_index)];
        if (m_part == Part::closeButton)
            local = TabBarLayout::closeBox(local);
        return QRect(m_bar->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override {
        return m_part == Part::tab ? QAccessible::PageTab : QAccessible::Button;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        if (m_part == Part::tab) {
            state.selectable = true;
            state.selected = m_index == m_bar->selectedIndex();
        }
        const QRect visible(m_bar->mapToGlobal(m_bar->visibleRegion().boundingRect().topLeft()),
                            m_bar->visibleRegion().boundingRect().size());
        state.invisible = !m_bar->isVisible();
        state.offscreen = !visible.intersects(rect());
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (!isValid() || name != pressAction())
            return;
        switch (m_part) {
        case Part::tab:
            emit m_bar->onSelect(m_index);
            break;
        case Part::closeButton:
            emit m_bar->onClose(m_index);
            break;
        case Part::newTabButton:
            emit m_bar->onNew();
            break;
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<TabBarView> m_bar;
    Part m_part;
    int m_index;
};

} // namespace

TabBarAccessible::TabBarAccessible(TabBarView* tabBar)
    : QAccessibleWidget(tabBar, QAccessible::PageTabList) {
    for (const TabBarView::Item& item : tabBar->items())
        m_seen.push_back({item.title, item.isDirty});
    m_seenSelected = tabBar->selectedIndex();
    m_connection =
        QObject::connect(tabBar, &TabBarView::itemsChanged, tabBar, [this] { itemsChanged(); });
}

TabBarAccessible::~TabBarAccessible() {
    QObject::disconnect(m_connection);
    for (const auto& [key, id] : m_parts)
        QAccessible::deleteAccessibleInterface(id);
}

void TabBarAccessible::install() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(factory); });
}

TabBarView* TabBarAccessible::bar() const {
    return static_cast<TabBarView*>(widget());
}

QAccessible::Role TabBarAccessible::role() const {
    return QAccessible::PageTabList;
}

QString TabBarAccessible::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Name && bar()->accessibleName().isEmpty())
        return QStringLiteral("Sekmeler");
    return QAccessibleWidget::text(kind);
}

int TabBarAccessible::childCount() const {
    return static_cast<int>(bar()->items().size()) + 1;
}

QAccessibleInterface* TabBarAccessible::part(Part which, int index) const {
    if (which != Part::newTabButton &&
        (index < 0 || index >= static_cast<int>(bar()->items().size())))
        return nullptr;
    const auto key = std::make_pair(which, which == Part::newTabButton ? 0 : index);
    if (auto found = m_parts.find(key); found != m_parts.end())
        return QAccessible::accessibleInterface(found->second);
    auto* created = new TabBarPartAccessible(bar(), which, key.second);
    m_parts[key] = QAccessible::registerAccessibleInterface(created);
    return created;
}

QAccessibleInterface* TabBarAccessible::child(int index) const {
    const int tabs = static_cast<int>(bar()->items().size());
    if (index < 0 || index > tabs)
        return nullptr;
    return index == tabs ? part(Part::newTabButton, 0) : part(Part::tab, index);
}

int TabBarAccessible::indexOfChild(const QAccessibleInterface* candidate) const {
    for (int index = 0; index < childCount(); ++index)
        if (child(index) == candidate)
            return index;
    return -1;
}

QAccessibleInterface* TabBarAccessible::childAt(int x, int y) const {
    for (int index = 0; index < childCount(); ++index)
        if (QAccessibleInterface* candidate = child(index); candidate->rect().contains(x, y))
            return candidate;
    return nullptr;
}

void TabBarAccessible::itemsChanged() {
    const std::vector<TabBarView::Item>& items = bar()->items();
    const int count = static_cast<int>(items.size());
    // Parts of tabs that are gone go with them.
    for (auto it = m_parts.begin(); it != m_parts.end();) {
        if (it->first.first != Part::newTabButton && it->first.second >= count) {
            QAccessible::deleteAccessibleInterface(it->second);
            it = m_parts.erase(it);
        } else {
            ++it;
        }
    }
    const bool active = QAccessible::isActive();
    auto announce = [&](QAccessibleInterface* target, QAccessible::Event type) {
        if (active && target) {
            QAccessibleEvent event(target, type);
            QAccessible::updateAccessibility(&event);
        }
    };
    if (count != static_cast<int>(m_seen.size()))
        announce(this, QAccessible::ObjectReorder);
    for (int index = 0; index < count && index < static_cast<int>(m_seen.size()); ++index) {
        const auto& item = items[static_cast<size_t>(index)];
        const Seen& seen = m_seen[static_cast<size_t>(index)];
        if (item.title != seen.title)
            announce(part(Part::tab, index), QAccessible::NameChanged);
        if (item.isDirty != seen.isDirty)
            announce(part(Part::tab, index), QAccessible::DescriptionChanged);
    }
    const int selected = bar()->selectedIndex();
    if (active && selected != m_seenSelected) {
        QAccessible::State changed;
        changed.selected = true;
        for (int index : {m_seenSelected, selected})
            if (QAccessibleInterface* tab = part(Part::tab, index)) {
                QAccessibleStateChangeEvent event(tab, changed);
                QAccessible::updateAccessibility(&event);
            }
    }
    m_seen.clear();
    for (const TabBarView::Item& item : items)
        m_seen.push_back({item.title, item.isDirty});
    m_seenSelected = selected;
}

} // namespace vendrix::app
