#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMetaObject>
#include <QPointer>

#include <QString>

#include <map>
#include <utility>
#include <vector>

namespace vendrix::app {

class TabBarView;

/// The tab bar as assistive technology sees it: a page tab list ("Sekmeler") holding one page
/// tab per document, named after its title, selected when active, described as
/// "değiştirildi" when it has unsaved changes, each with its close button ("Sekmeyi Kapat"),
/// and after the tabs the new-tab button ("Yeni Sekme"). Pressing a tab, a close button or
/// the new-tab button does what the mouse does. Changes of the tabs (added, closed, renamed,
/// changed, selected) are announced.
class TabBarAccessible final : public QAccessibleWidget {
public:
    /// What a child of the tab list is.
    enum class Part { tab, closeButton, newTabButton };

    explicit TabBarAccessible(TabBarView* bar);
    ~TabBarAccessible() override;

    /// Registers the factory that gives every TabBarView this interface (once).
    static void install();

    QAccessible::Role role() const override;
    QString text(QAccessible::Text kind) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    /// The interface of one part (kept while its tab exists; the new-tab button: index 0).
    QAccessibleInterface* part(Part part, int index) const;

private:
    TabBarView* bar() const;
    /// After the bar's items changed: drops parts of tabs that are gone and announces what
    /// changed.
    void itemsChanged();

    mutable std::map<std::pair<Part, int>, QAccessible::Id> m_parts;
    QMetaObject::Connection m_connection;
    struct Seen {
        QString title;
        bool isDirty = false;
    };
    std::vector<Seen> m_seen;
    int m_seenSelected = -1;
};

} // namespace vendrix::app
