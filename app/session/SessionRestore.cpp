#include "app/session/SessionRestore.h"

#include "app/document/EditorDocument.h"

#include <QDir>
#include <QStringList>

#include <algorithm>
#include <set>

namespace vendrix::app {

RestoredSession restoreSession(const SessionLoadResult& loaded) {
    RestoredSession restored;
    std::set<std::int64_t> takenNumbers;
    for (const SessionTab& tab : loaded.state.tabs) {
        auto document = std::make_unique<EditorDocument>(toQUuid(tab.id));
        document->setEncoding(tab.encoding);
        document->setLineEnding(tab.lineEnding);
        document->setLanguageID(tab.languageID);
        document->setDirty(tab.isDirty);
        document->setReadOnly(tab.isReadOnly.value_or(false));
        document->setSelection(TextRange{tab.selectionLocation, tab.selectionLength});
        document->setScrollOrigin(QPointF(tab.scrollX, tab.scrollY));
        if (tab.diskSize && tab.diskModified)
            document->setDiskStamp(DiskStamp{*tab.diskSize, *tab.diskModified});

        // There are no persistent file references here; the path is the location.
        if (tab.filePath && !tab.filePath->empty()) {
            std::optional<QByteArray> bookmark;
            if (tab.bookmark)
                bookmark = QByteArray(reinterpret_cast<const char*>(tab.bookmark->data()),
                                      static_cast<qsizetype>(tab.bookmark->size()));
            document->setFileURL(QDir::cleanPath(QString::fromStdString(*tab.filePath)), bookmark);
        }
        if (!document->fileURL()) {
            std::int64_t number = tab.untitledNumber.value_or(0);
            if (number < 1 || takenNumbers.contains(number))
                number = takenNumbers.empty() ? 1 : *takenNumbers.rbegin() + 1;
            takenNumbers.insert(number);
            document->setUntitledNumber(number);
        }

        if (tab.bufferFile) {
            document->setPending(EditorDocument::PendingContent::ofBuffer(*tab.bufferFile));
            document->setBufferOnDisk(*tab.bufferFile);
            document->setPersistedRevision(document->contentRevision());
        } else if (document->fileURL()) {
            document->setPending(EditorDocument::PendingContent::ofFile());
        } else {
            document->setPending(EditorDocument::PendingContent::none());
            document->setDirty(false);
        }
        restored.documents.push_back(std::move(document));
    }
    if (restored.documents.empty()) {
        auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
        document->setUntitledNumber(1);
        restored.documents.push_back(std::move(document));
    }
    if (loaded.state.selectedTabID) {
        const QUuid selected = toQUuid(*loaded.state.selectedTabID);
        auto it = std::find_if(restored.documents.begin(), restored.documents.end(),
                               [&](const auto& document) { return document->id() == selected; });
        if (it != restored.documents.end())
            restored.selectedIndex = static_cast<std::size_t>(it - restored.documents.begin());
    }
    if (loaded.source == SessionLoadSource::backup ||
        loaded.source == SessionLoadSource::recoveredBuffers) {
        QStringList warnings;
        for (const std::string& warning : loaded.warnings)
            warnings << QString::fromStdString(warning);
        restored.recoveryMessage = QStringLiteral("Oturum kurtarıldı: ") + warnings.join(QStringLiteral("; "));
    }
    return restored;
}

} // namespace vendrix::app
