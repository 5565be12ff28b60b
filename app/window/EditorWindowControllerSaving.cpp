// What the saving flow needs from the window: refreshed bars, the file watch, and the
// background save run under the window's progress panel with requests queued meanwhile.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/jobs/ProgressPanel.h"

namespace vendrix::app {

void EditorWindowController::refresh(EditorDocument& document) {
    refreshTabBar();
    if (&document == activeDocument()) {
        refreshTitle();
        refreshStatusBar();
    }
}

BackgroundSave::Result EditorWindowController::save(const BackgroundSave::Request& request,
                                                    std::optional<TextChunkSnapshot>* written) {
    BackgroundSave::Options options;
    options.panelDelayMilliseconds = saveProgressDelayMilliseconds;
    if (WorkerProbe* probe = m_probe)
        options.fault = [probe](std::string_view operation) { return probe->saveFault(operation); };
    options.panelShown = [this](ProgressPanel& panel) { m_savePanel = &panel; };
    return whilePrompting(
        [&] { return BackgroundSave::run(jobRunner(), request, window(), options, written); });
}

void EditorWindowController::dispose(TextChunkSnapshot written) {
    jobRunner().dispose(std::move(written));
}

ProgressPanel* EditorWindowController::saveProgressPanel() const {
    return m_savePanel;
}

} // namespace vendrix::app
