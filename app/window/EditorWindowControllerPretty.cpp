#include "app/context/IndentChoice.h"
#include "app/window/EditorWindowController.h"
#include "app/window/OpenFormattingQueue.h"
#include "core/persistence/SettingsBacking.h"
#include "core/persistence/SettingsStore.h"

namespace vendrix::app {

void EditorWindowController::installOpenFormatting() {
    m_openFormatting = std::make_unique<OpenFormattingQueue>(*this);
    OpenFormattingQueue& queue = *m_openFormatting;
    if (m_settings)
        queue.policy = SettingsStore(*m_settings).load().prettyOnOpen;
    // The one place the policy chosen with "Bir daha sorma" is saved. Once the view-options
    // controller owns the settings, this goes through its changeSettings() so that its record
    // and the settings window stay in step.
    queue.persistPolicy = [this](PrettyOnOpen policy) {
        if (!m_settings)
            return;
        SettingsStore store(*m_settings);
        EditorSettings settings = store.load();
        settings.prettyOnOpen = policy;
        store.save(settings);
    };
    queue.indent = [this] { return indentChoice::formatIndent(indentChoice::read(m_settings)); };
    prettyOnOpen = [this](OpenedFile& file) { return m_openFormatting->decide(file); };
    prettyOnOpenHolds = [this](const QString& path) { return m_openFormatting->isQueued(path); };
}

} // namespace vendrix::app
