#pragma once

#include "core/text/LineEnding.h"
#include "core/text/TextEncoding.h"

#include <QUuid>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vendrix::app {

/// What a document contributes to the session file: one tab, field for field as the session
/// stores it. The session controller turns it into the persisted tab record.
struct SessionTabRecord {
    QUuid id;
    std::optional<std::int64_t> untitledNumber;
    /// Absolute file-system path, UTF-8.
    std::optional<std::string> filePath;
    std::optional<std::vector<std::uint8_t>> bookmark;
    /// The document id's canonical (upper-case) text plus ".txt"; only for a dirty document
    /// that is not read-only.
    std::optional<std::string> bufferFile;
    std::int64_t selectionLocation = 0;
    std::int64_t selectionLength = 0;
    double scrollX = 0;
    double scrollY = 0;
    std::optional<std::string> languageID;
    TextEncoding encoding = TextEncoding::utf8;
    LineEnding lineEnding = LineEnding::lf;
    bool isDirty = false;
    /// Present (true) only for a read-only document.
    std::optional<bool> isReadOnly;

    friend bool operator==(const SessionTabRecord&, const SessionTabRecord&) = default;
};

} // namespace vendrix::app
