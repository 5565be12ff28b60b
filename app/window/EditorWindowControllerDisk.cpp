// The window's side of the disk checks and reloading: the file watch of each document, the
// application's activation, and the view's place kept across a reload.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/platform/FileWatcher.h"
#include "app/view/EditorTextView.h"

#include <QGuiApplication>
#include <QPointer>

namespace vendrix::app {

namespace {

/// The desktop's word on whether the application is active.
class DesktopApplicationState final : public ApplicationState {
public:
    bool isActive() const override {
        return QGuiApplication::applicationState() == Qt::ApplicationActive;
    }
};

} // namespace

void EditorWindowController::installFileWatching() {
    m_fileWatcher = std::make_unique<FileWatcher>();
    if (!m_application) {
        m_ownApplication = std::make_unique<DesktopApplicationState>();
        m_application = m_ownApplication.get();
    }
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive)
                    applicationBecameActive();
            });
}

void EditorWindowController::watch(EditorDocument& document) {
    if (!document.isLoaded() || !document.fileURL()) {
        m_fileWatcher->unwatch(&document);
        return;
    }
    QPointer<EditorDocument> weak(&document);
    m_fileWatcher->watch(&document, *document.fileURL(), [this, weak] {
        if (weak && indexOf(*weak))
            checkDisk(*weak);
    });
}

bool EditorWindowController::isWatching(const EditorDocument& document) const {
    return m_fileWatcher->isWatching(&document);
}

bool EditorWindowController::confirmOverwrite(EditorDocument& document, const QString& target) {
    return m_diskFlow->confirmOverwrite(document, target);
}

void EditorWindowController::retryLoad(EditorDocument& document) {
    if (&document == activeDocument())
        showActiveDocument();
    else
        loadPendingContent(document);
}

std::optional<ReloadFlow::Place>
EditorWindowController::shownPlace(const EditorDocument& document) const {
    if (m_textView->document() != &document)
        return std::nullopt;
    return ReloadFlow::Place{m_textView->selectedRange(), m_textView->scrollOrigin()};
}

void EditorWindowController::showPlace(const ReloadFlow::Place& place) {
    m_textView->setSelectedRange(place.selection);
    m_textView->setScrollOrigin(place.scrollOrigin);
}

} // namespace vendrix::app
