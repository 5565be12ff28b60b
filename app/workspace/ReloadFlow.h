#pragma once

#include "app/document/DiskStamp.h"
#include "core/common/TextRange.h"
#include "core/text/TextEncoding.h"

#include <QPointF>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace vendrix::app {

class EditorDocument;
class Prompter;
class SaveFlow;
class SessionLink;
class Workspace;

/// Reloading a document from its file (by the user, or after a change made elsewhere) and
/// reopening it in another encoding. A reload is one undo step unless the file now reads as
/// binary; the selection and scroll position are kept where they still fit. Main thread only.
class ReloadFlow {
public:
    /// Where a document is shown: its selection and scroll position.
    struct Place {
        TextRange selection;
        QPointF scrollOrigin;
    };
    /// What reloading needs from the window.
    class Host {
    public:
        virtual ~Host() = default;
        virtual void showMessage(const QString& message, double seconds) = 0;
        /// The document's tab changed (and the title and status bar, when it is the active one).
        virtual void refresh(EditorDocument& document) = 0;
        /// Replaces ranges of the document as one undo step; false when refused.
        virtual bool applyEdits(EditorDocument& document, std::vector<TextRange> ranges,
                                std::vector<std::u16string> replacements,
                                const QString& actionName) = 0;
        /// Loads a document whose content never arrived (showing it when it is the active one).
        virtual void retryLoad(EditorDocument& document) = 0;
        /// The view's selection and scroll position when it shows the document; none otherwise.
        virtual std::optional<Place> shownPlace(const EditorDocument& document) const = 0;
        /// Puts a selection and scroll position into the view.
        virtual void showPlace(const Place& place) = 0;
    };

    ReloadFlow(Workspace& workspace, Prompter& prompter, const SaveFlow& saving, Host& host)
        : m_workspace(workspace), m_prompter(prompter), m_saving(saving), m_host(host) {}

    /// The session told after a reload (none: nobody).
    void setSession(SessionLink* session) { m_session = session; }

    /// Whether the document has a file and is open and not being saved.
    bool canReload(const EditorDocument& document) const;
    /// Reads the document's file again. `triggeringStamp`: the stamp of a change made
    /// elsewhere that causes the reload (none: the user asked for it).
    void reloadFromDisk(EditorDocument& document, std::optional<DiskStamp> triggeringStamp = {});
    /// Reads a clean document's file again in `encoding` (its history is cleared); says so
    /// when the file is not valid in it.
    void reopenWithEncoding(EditorDocument& document, TextEncoding encoding);

private:
    Workspace& m_workspace;
    Prompter& m_prompter;
    const SaveFlow& m_saving;
    Host& m_host;
    SessionLink* m_session = nullptr;
};

} // namespace vendrix::app
