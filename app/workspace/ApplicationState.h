#pragma once

namespace vendrix::app {

/// Whether the application is the active one (external changes are presented only then);
/// the desktop's answer, or a test's.
class ApplicationState {
public:
    virtual ~ApplicationState() = default;
    virtual bool isActive() const = 0;
};

} // namespace vendrix::app
