#pragma once

#include <QAccessible>
#include <QString>

#include <vector>

// Qt hands accessibility events to an update handler only while accessibility is active, and
// only a platform bridge (AT-SPI on X11) switches it on. The offscreen platform has the
// default platform accessibility, which these tests switch on themselves through Qt's
// platform API (exported by QtGui, declared here because its headers are not installed).
class QPlatformAccessibility {
public:
    void setActive(bool active);
};
class QPlatformIntegration {
public:
    QPlatformAccessibility* accessibility() const;
};
class QGuiApplicationPrivate {
public:
    static QPlatformIntegration* platform_integration;
};

namespace vendrix::app::test {

/// One event as assistive technology would have heard it.
struct HeardEvent {
    QAccessible::Event type = QAccessible::InvalidEvent;
    QObject* object = nullptr;
    int position = -1; ///< change position or caret
    QString removed;
    QString inserted;
    int selectionStart = -1;
    int selectionEnd = -1;
};

/// Switches accessibility on and records every event while it lives.
class HeardEvents {
public:
    HeardEvents() {
        setActive(true);
        sink() = &m_events;
        m_previous = QAccessible::installUpdateHandler(&HeardEvents::hear);
    }
    ~HeardEvents() {
        QAccessible::installUpdateHandler(m_previous);
        sink() = nullptr;
        setActive(false);
    }
    HeardEvents(const HeardEvents&) = delete;
    HeardEvents& operator=(const HeardEvents&) = delete;

    bool active() const { return QAccessible::isActive(); }
    void clear() { m_events.clear(); }
    /// The events of `type`, in order.
    std::vector<HeardEvent> of(QAccessible::Event type) const {
        std::vector<HeardEvent> result;
        for (const HeardEvent& event : m_events)
            if (event.type == type)
                result.push_back(event);
        return result;
    }
    /// The text events (inserted, removed, updated), in order.
    std::vector<HeardEvent> textChanges() const {
        std::vector<HeardEvent> result;
        for (const HeardEvent& event : m_events)
            if (event.type == QAccessible::TextInserted || event.type == QAccessible::TextRemoved ||
                event.type == QAccessible::TextUpdated)
                result.push_back(event);
        return result;
    }

private:
    static void setActive(bool active) {
        if (QGuiApplicationPrivate::platform_integration)
            if (QPlatformAccessibility* platform =
                    QGuiApplicationPrivate::platform_integration->accessibility())
                platform->setActive(active);
    }
    static std::vector<HeardEvent>*& sink() {
        static std::vector<HeardEvent>* events = nullptr;
        return events;
    }
    static void hear(QAccessibleEvent* event) {
        if (!sink())
            return;
        HeardEvent heard;
        heard.type = event->type();
        heard.object = event->object();
        switch (event->type()) {
        case QAccessible::TextInserted: {
            auto* inserted = static_cast<QAccessibleTextInsertEvent*>(event);
            heard.position = inserted->changePosition();
            heard.inserted = inserted->textInserted();
            break;
        }
        case QAccessible::TextRemoved: {
            auto* removed = static_cast<QAccessibleTextRemoveEvent*>(event);
            heard.position = removed->changePosition();
            heard.removed = removed->textRemoved();
            break;
        }
        case QAccessible::TextUpdated: {
            auto* updated = static_cast<QAccessibleTextUpdateEvent*>(event);
            heard.position = updated->changePosition();
            heard.removed = updated->textRemoved();
            heard.inserted = updated->textInserted();
            break;
        }
        case QAccessible::TextCaretMoved:
            heard.position = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
            break;
        case QAccessible::TextSelectionChanged: {
            auto* selection = static_cast<QAccessibleTextSelectionEvent*>(event);
            heard.selectionStart = selection->selectionStart();
            heard.selectionEnd = selection->selectionEnd();
            break;
        }
        default:
            break;
        }
        sink()->push_back(heard);
    }

    std::vector<HeardEvent> m_events;
    QAccessible::UpdateHandler m_previous = nullptr;
};

} // namespace vendrix::app::test
