#pragma once

#include "core/persistence/SessionStore.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace vendrix::app {

class EditorDocument;

/// The documents a loaded session restores, ready to be inserted as tabs. No text is read:
/// each document's content is pending (a buffer, its file, or nothing).
struct RestoredSession {
    std::vector<std::unique_ptr<EditorDocument>> documents;
    /// The tab to make active (an index into documents).
    std::size_t selectedIndex = 0;
    /// "Oturum kurtarıldı: " and the warnings, when the session came from the backup or from
    /// recovered buffers; a fresh session file should then be written at once.
    std::optional<QString> recoveryMessage;

    static constexpr int recoveryMessageSeconds = 8;
};

/// Turns a loaded session into documents: the tab's identity and properties, its file from
/// filePath (kept byte for byte: no Unicode normalisation, file names on Linux are bytes),
/// untitled numbers made unique, the pending content with its buffer bookkeeping (an unchanged
/// restored buffer is not rewritten), the disk stamp the tab's text was based on, and the
/// selected tab. With no tab, one empty untitled document numbered 1.
[[nodiscard]] RestoredSession restoreSession(const SessionLoadResult& loaded);

} // namespace vendrix::app
