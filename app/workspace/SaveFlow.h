#pragma once

#include "app/jobs/BackgroundSave.h"
#include "core/text/LineEnding.h"
#include "core/text/TextEncoding.h"

#include <QString>

#include <chrono>
#include <optional>
#include <vector>

namespace vendrix::app {

class EditorDocument;
class FilePanels;
class Prompter;
class SessionLink;
class Workspace;

/// Saving: save, save as, save all, and the save encoding and line ending of the active
/// document. A save runs on a worker (see BackgroundSave) while the window keeps working: the
/// file gets the text as it was when the save began, and an edit made meanwhile leaves the
/// document dirty. Main thread only.
class SaveFlow {
public:
    /// What saving needs from the window and the other flows.
    class Host {
    public:
        virtual ~Host() = default;
        virtual void showMessage(const QString& message, double seconds) = 0;
        /// The document's tab changed (and the title and status bar, when it is the active one).
        virtual void refresh(EditorDocument& document) = 0;
        /// Whether the document's large file is being read in the background.
        virtual bool isLoadingInBackground(const EditorDocument& document) const = 0;
        /// Before writing over the document's own file: false when the user chose the disk
        /// version of a file changed elsewhere (the document was reloaded instead).
        virtual bool confirmOverwrite(EditorDocument& document, const QString& target) = 0;
        /// The saved document's file is watched from now on.
        virtual void watch(EditorDocument& document) = 0;
        virtual void addRecentFile(const QString& path) = 0;
    };
    /// Runs one background save and returns when it has finished (see BackgroundSave::run):
    /// the window runs it under its progress panel, with requests queued meanwhile.
    class Jobs {
    public:
        virtual ~Jobs() = default;
        virtual BackgroundSave::Result save(const BackgroundSave::Request& request,
                                            std::optional<TextChunkSnapshot>* written) = 0;
        /// Lets a worker give back a written snapshot's chunks (tens of megabytes unmapped
        /// take milliseconds).
        virtual void dispose(TextChunkSnapshot written) = 0;
    };

    SaveFlow(Workspace& workspace, Prompter& prompter, Host& host, Jobs& jobs, FilePanels& panels)
        : m_workspace(workspace), m_prompter(prompter), m_host(host), m_jobs(jobs),
          m_panels(panels) {}

    /// The session told after a save (none: nobody).
    void setSession(SessionLink* session) { m_session = session; }

    void saveActive();
    bool saveAs(EditorDocument& document);
    /// Writes every dirty document that has a file; untitled ones stay in the session.
    void saveAll();
    /// Saves to `path` (symbolic links are written through); returns when the save has
    /// finished. Refused while the document is being saved.
    bool save(EditorDocument& document, const QString& path);
    /// True while a save of `document` runs (closing and reloading it wait for it).
    bool isSaving(const EditorDocument& document) const;

    /// The active document's save encoding and line ending (its file differs from now on).
    void setSaveEncoding(TextEncoding encoding);
    void setLineEnding(LineEnding ending);

    /// The main-thread time one step of copying a large text for a save takes before it lets
    /// events through (zero copies one chunk per step).
    std::chrono::microseconds copyStepTime{1000};

private:
    void reportFailure(const TextFileSaveFailure& failure, const QString& targetName,
                       TextEncoding encoding);
    void saveFormatChanged(EditorDocument& document);
    void flushSession();

    Workspace& m_workspace;
    Prompter& m_prompter;
    Host& m_host;
    Jobs& m_jobs;
    FilePanels& m_panels;
    SessionLink* m_session = nullptr;
    /// Documents whose save is running.
    std::vector<const EditorDocument*> m_saving;
};

} // namespace vendrix::app
