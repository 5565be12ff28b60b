#pragma once

#include <QString>

namespace vendrix::app {

class ApplicationState;
class EditorDocument;
class Prompter;
class ReloadFlow;
class SaveFlow;
class SessionLink;
class Workspace;

/// Changes made to the documents' files elsewhere: a deleted file keeps its text in the tab
/// (dirty until the file comes back), a changed file reloads a clean tab and asks about a
/// dirty one ("Benimkini Koru", "Diskteki Sürümü Yükle") once the application is active, and
/// a save does not overwrite such a change unasked. Main thread only.
class DiskFlow {
public:
    /// What the disk checks need from the window.
    class Host {
    public:
        virtual ~Host() = default;
        virtual void showMessage(const QString& message, double seconds) = 0;
        virtual void refreshTabBar() = 0;
        virtual void refreshTitle() = 0;
        /// Watches the document's file when it is loaded and has one; otherwise stops watching.
        virtual void watch(EditorDocument& document) = 0;
        virtual bool isWatching(const EditorDocument& document) const = 0;
    };

    DiskFlow(Workspace& workspace, Prompter& prompter, const SaveFlow& saving,
             ReloadFlow& reloading, ApplicationState& application, Host& host)
        : m_workspace(workspace), m_prompter(prompter), m_saving(saving), m_reloading(reloading),
          m_application(application), m_host(host) {}

    /// The session told when a deletion dirties a tab (none: nobody).
    void setSession(SessionLink* session) { m_session = session; }

    /// Compares the document's file with its stamp and handles a deletion, a return or a
    /// change (reload when clean, the external-change prompt when dirty).
    void checkDisk(EditorDocument& document);
    /// Shows the external-change prompt for the active document when it has a pending
    /// change and the application is active.
    void presentExternalChange();
    /// The application became active: watch what is not watched, check, present.
    void applicationBecameActive();
    /// Before writing over the document's own file `target`: false when it changed elsewhere
    /// and the user chose the disk version (the document was reloaded instead).
    bool confirmOverwrite(EditorDocument& document, const QString& target);

private:
    Workspace& m_workspace;
    Prompter& m_prompter;
    const SaveFlow& m_saving;
    ReloadFlow& m_reloading;
    ApplicationState& m_application;
    Host& m_host;
    SessionLink* m_session = nullptr;
    bool m_isPresentingExternalChange = false;
};

} // namespace vendrix::app
