#pragma once

#include "app/document/DiskStamp.h"
#include "core/persistence/SessionStore.h"
#include "core/text/LineIndex.h"
#include "core/text/TextFileCodec.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace vendrix::app {

class EditorDocument;

/// What the file watcher does for the window. Every hook may be empty.
struct WindowFileWatchHooks {
    /// Watches the document's file when it is loaded and has one; otherwise stops watching.
    std::function<void(EditorDocument&)> update;
    /// Stops watching the document's file (closing).
    std::function<void(EditorDocument&)> stop;
    /// Whether the document's file is being watched.
    std::function<bool(const EditorDocument&)> isWatching;
    /// Compares the file on disk with the document's stamp and handles a difference.
    std::function<void(EditorDocument&)> checkExternalChange;
    /// Shows the external-change prompt for a document with externalChangePending.
    std::function<void(EditorDocument&)> presentExternalChange;
};

/// A file read for opening, before its document exists.
struct OpenedFile {
    QString path;
    QString standardizedPath;
    DecodedText decoded;
    std::optional<DiskStamp> stampBeforeReading;
    /// The line index of `decoded.text`, when it was built already (on the worker that read
    /// the file, or on pretty-on-open's worker for the formatted text).
    std::optional<LineIndex> lineIndex;
};

} // namespace vendrix::app
