#pragma once

#include "app/document/DiskStamp.h"
#include "core/persistence/SessionStore.h"
#include "core/text/LineIndex.h"
#include "core/text/TextFileCodec.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>

namespace vendrix::app {

class EditorDocument;

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
