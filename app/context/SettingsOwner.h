#pragma once

#include "core/persistence/EditorSettings.h"

#include <QObject>

namespace vendrix::app {

/// The one owner of the editor settings as features see it: the record in effect, the one
/// path that changes it (clamped, saved and applied at once) and a signal after every applied
/// change. The settings room implements it; the context hands it out. Main thread only.
class SettingsOwner : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual const EditorSettings& settings() const = 0;
    /// Clamps `settings`; an equal record is ignored, any other is stored, saved and applied
    /// before settingsChanged is emitted.
    virtual void changeSettings(EditorSettings settings) = 0;

signals:
    /// The settings or the zoom changed and were applied.
    void settingsChanged();
};

} // namespace vendrix::app
