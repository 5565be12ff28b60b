#include "core/formatting/IndentChoice.h"
#include "app/settings/ViewOptionsController.h"
#include "app/window/EditorWindowController.h"
#include "app/window/OpenFormattingQueue.h"
#include "core/persistence/SettingsBacking.h"
#include "core/persistence/SettingsStore.h"

namespace vendrix::app {

void EditorWindowController::installOpenFormatting() {
    m_openFormatting = std::make_unique<OpenFormattingQueue>(*this);
    OpenFormattingQueue& queue = *m_openFormatting;
    // The view-options controller owns the settings: the policy is read from it, kept in
    // step with the settings window, and the "Bir daha sorma" answer is saved through it.
    queue.policy = m_viewOptions->settings().prettyOnOpen;
    QObject::connect(m_viewOptions.get(), &ViewOptionsController::settingsChanged,
                     m_openFormatting.get(), [this] {
                         m_openFormatting->policy = m_viewOptions->settings().prettyOnOpen;
                     });
    queue.persistPolicy = [this](PrettyOnOpen policy) {
        EditorSettings settings = m_viewOptions->settings();
        settings.prettyOnOpen = policy;
        m_viewOptions->changeSettings(settings);
    };
    queue.indent = [this] { return indentChoice::formatIndent(indentChoice::read(m_settings)); };
    prettyOnOpen = [this](OpenedFile& file) { return m_openFormatting->decide(file); };
    prettyOnOpenHolds = [this](const QString& path) { return m_openFormatting->isQueued(path); };
}

} // namespace vendrix::app
