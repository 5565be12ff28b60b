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

/// What the session controller does for the window. Every hook may be empty.
struct WindowSessionHooks {
    /// Asks for a session write after the usual delay.
    std::function<void()> scheduleSave;
    /// Writes the session now (synchronously) or on the session queue.
    std::function<void(bool synchronously)> flush;
    /// The text of a session buffer file, or why not: `missing` (no such file) or
    /// `unreadable` (the text may exist; the tab must stay pending, not become empty).
    std::function<std::expected<std::u16string, BufferReadError>(const std::string& bufferName)>
        readBuffer;
    /// The folder of the buffer files, for reading a large one on a worker (through
    /// SessionStore::readBufferIn); when empty, buffers are read through readBuffer alone.
    std::function<std::filesystem::path()> buffersDirectory;
};

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

/// The dialogs the window runs; replaceable so that tests can answer them.
struct WindowPanels {
    /// The open panel: files chosen (several allowed), empty when cancelled.
    std::function<QStringList()> open;
    /// The save panel proposing `proposedName`; the chosen path, none when cancelled.
    std::function<std::optional<QString>(const QString& proposedName)> save;
};

} // namespace vendrix::app
