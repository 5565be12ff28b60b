#pragma once

#include <QString>

#include <functional>

namespace vendrix::app {

/// The X11 primary selection: selected text is offered to other programs and a middle click
/// pastes it. Large selections are handed over lazily, read only when someone asks. Where the
/// platform has no primary selection, it is kept inside the application, so middle-click
/// paste still works between the editor's own views.
class PrimarySelection {
public:
    /// Offers `text` as the primary selection.
    static void publish(const QString& text);
    /// Offers a selection whose text `provider` produces on request.
    static void publishLazily(std::function<QString()> provider);
    /// The current primary selection (also another program's).
    static QString text();
};

} // namespace vendrix::app
