#pragma once

#include "app/context/EditorEvent.h"

#include <QUuid>

#include <functional>
#include <map>
#include <memory>

namespace vendrix::app {

/// The token of one registered event handler. cancel() removes the registration; cancelling
/// twice, or after the registry is gone, does nothing. Holding the token keeps nothing alive.
/// Destroying the token does not cancel (features keep their tokens for their lifetime).
class EditorObservation {
public:
    EditorObservation() = default;
    explicit EditorObservation(std::function<void()> callback) : onCancel(std::move(callback)) {}

    void cancel() {
        if (auto callback = std::exchange(onCancel, nullptr))
            callback();
    }
    bool isActive() const { return static_cast<bool>(onCancel); }

    /// Removes the registration; absent once used.
    std::function<void()> onCancel;
};

/// The window's observers: a map from a fresh id to each handler. Broadcasting calls every
/// handler registered when the broadcast starts and still registered when its turn comes.
/// Main thread only.
class EditorObservers {
public:
    using Handler = std::function<void(const EditorEvent&)>;

    EditorObservers() : m_handlers(std::make_shared<Map>()) {}

    EditorObservation observe(Handler handler) {
        const QUuid id = QUuid::createUuid();
        (*m_handlers)[id] = std::make_shared<Handler>(std::move(handler));
        std::weak_ptr<Map> weak = m_handlers;
        return EditorObservation([weak, id] {
            if (auto handlers = weak.lock())
                handlers->erase(id);
        });
    }

    void broadcast(const EditorEvent& event) const {
        // Copy the ids first: a handler may cancel itself or others while the event is out.
        std::vector<std::pair<QUuid, std::weak_ptr<Handler>>> snapshot;
        snapshot.reserve(m_handlers->size());
        for (const auto& [id, handler] : *m_handlers)
            snapshot.emplace_back(id, handler);
        for (const auto& [id, weakHandler] : snapshot) {
            if (!m_handlers->contains(id))
                continue;
            if (auto handler = weakHandler.lock())
                (*handler)(event);
        }
    }

    std::size_t count() const { return m_handlers->size(); }

private:
    using Map = std::map<QUuid, std::shared_ptr<Handler>>;
    std::shared_ptr<Map> m_handlers;
};

} // namespace vendrix::app
