#pragma once

#include <QString>

#include <cstddef>

namespace vendrix::app {

class EditorDocument;
class Prompter;
class SaveFlow;
class SessionLink;
class Workspace;

/// Closing tabs: one document, or every other one, asking first about unsaved changes
/// ("Kaydet", "Vazgeç", "Kaydetme") and refusing while the document is being saved. The window
/// never has zero tabs: closing the last one leaves an empty untitled one. Main thread only.
class CloseFlow {
public:
    /// What closing needs from the window.
    class Host {
    public:
        virtual ~Host() = default;
        virtual void showMessage(const QString& message, double seconds) = 0;
        /// Makes the document the active one (shown, loaded, watched).
        virtual void activate(EditorDocument& document) = 0;
        /// The closed document, already out of the workspace, leaves the window: the view, its
        /// file watch, its load handler and a background read of its file.
        virtual void release(EditorDocument& closed) = 0;
        /// A new empty untitled tab, activated (the last tab was closed).
        virtual void addEmptyTab() = 0;
        virtual void refreshTabBar() = 0;
        /// The keyboard focus goes back to the text.
        virtual void focusText() = 0;
    };

    CloseFlow(Workspace& workspace, Prompter& prompter, SaveFlow& saving, Host& host)
        : m_workspace(workspace), m_prompter(prompter), m_saving(saving), m_host(host) {}

    /// The session written after a close (none: nobody).
    void setSession(SessionLink* session) { m_session = session; }

    /// Closes the document, asking first when it has unsaved changes (saving it when the
    /// answer is "Kaydet"); false when it stays open.
    bool closeDocument(EditorDocument& document);
    /// Closes every document but `keep`, in tab order, stopping at the first that stays open.
    void closeOthers(EditorDocument& keep);

private:
    /// Takes the document at `index` out of the window and activates a neighbour when it was
    /// the active one.
    void remove(std::size_t index);

    Workspace& m_workspace;
    Prompter& m_prompter;
    SaveFlow& m_saving;
    Host& m_host;
    SessionLink* m_session = nullptr;
};

} // namespace vendrix::app
