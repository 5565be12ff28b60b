#include "app/workspace/ReloadFlow.h"

#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/workspace/SaveFlow.h"
#include "app/workspace/SessionLink.h"
#include "app/workspace/WindowFiles.h"
#include "app/workspace/WindowMessages.h"
#include "app/workspace/Workspace.h"
#include "core/text/TextFileCodec.h"

#include <algorithm>

namespace vendrix::app {

namespace msg = windowMessages;

bool ReloadFlow::canReload(const EditorDocument& document) const {
    return document.fileURL().has_value() && m_workspace.contains(document) &&
           !m_saving.isSaving(document);
}

void ReloadFlow::reloadFromDisk(EditorDocument& document,
                                std::optional<DiskStamp> triggeringStamp) {
    if (!canReload(document))
        return;
    const QString path = *document.fileURL();
    if (!document.isLoaded()) {
        // A tab whose content could not be loaded: reloading is the retry.
        m_host.retryLoad(document);
        if (document.isLoaded())
            m_host.showMessage(msg::reloadedByUser(document.displayName()), 4);
        return;
    }
    auto bytes = windowFiles::read(path);
    if (!bytes)
        return;
    DecodedText decoded = TextFileCodec::decode(*bytes);
    // The user's encoding is kept when the bytes are valid in it, unless they carry a
    // byte-order mark: a mark always decides.
    if (!decoded.isBinary && decoded.encoding != document.encoding() &&
        !windowFiles::hasByteOrderMark(*bytes)) {
        if (auto inCurrent = TextFileCodec::decode(*bytes, document.encoding()))
            decoded = std::move(*inCurrent);
    }
    bytes->clear();
    bytes->shrink_to_fit();

    if (decoded.isBinary && document.isDirty() && !document.isReadOnly()) {
        // Loading a binary-looking file clears the history: the user's edits would be gone.
        PromptRequest request;
        request.message = msg::externalChange(document.displayName());
        request.detail = msg::externalChangeDetail();
        request.buttons = {QStringLiteral("Benimkini Koru"),
                           QStringLiteral("Diskteki Sürümü Yükle")};
        if (m_prompter.ask(request).button != 1 || !m_workspace.contains(document) ||
            !document.isLoaded())
            return;
    }

    const std::optional<Place> shown = m_host.shownPlace(document);
    const TextRange selection = shown ? shown->selection : document.selection();
    const QPointF scroll = shown ? shown->scrollOrigin : document.scrollOrigin();

    const bool same = document.storageForReading()->contiguous() == decoded.text;
    if (!same) {
        if (decoded.isBinary || document.isReadOnly()) {
            if (!document.replaceAllClearingUndo(std::move(decoded.text), decoded.isBinary))
                return;
        } else {
            const std::int64_t length = document.length();
            if (!m_host.applyEdits(document, {TextRange{0, length}}, {std::move(decoded.text)},
                                   windowMessages::reloadActionName))
                return; // refused: nothing was reloaded
        }
    }

    const std::int64_t length = document.length();
    const std::int64_t location = std::clamp<std::int64_t>(selection.location, 0, length);
    const TextRange clamped{location,
                            std::clamp<std::int64_t>(selection.length, 0, length - location)};
    document.setSelection(clamped);
    document.setScrollOrigin(scroll);
    document.setEncoding(decoded.encoding);
    document.setLineEnding(decoded.lineEnding);
    document.setReadOnly(decoded.isBinary);
    if (shown)
        m_host.showPlace(Place{clamped, scroll});
    document.setDiskStamp(triggeringStamp ? triggeringStamp : DiskStamp::of(path));
    document.setExternalChangePending(false);
    document.setDirty(false);
    document.setPersistedRevision(std::nullopt);
    m_host.refresh(document);
    m_host.showMessage(triggeringStamp ? msg::reloadedAfterOutsideChange(document.displayName())
                                       : msg::reloadedByUser(document.displayName()),
                       4);
    if (m_session)
        m_session->scheduleSave();
}

void ReloadFlow::reopenWithEncoding(EditorDocument& document, TextEncoding encoding) {
    if (!document.fileURL() || document.isDirty() || !m_workspace.contains(document))
        return;
    const QString path = *document.fileURL();
    const QString encodingName = QString::fromUtf8(textEncoding::displayName(encoding));
    auto bytes = windowFiles::read(path);
    std::expected<DecodedText, TextEncodingError> decoded =
        bytes ? TextFileCodec::decode(*bytes, encoding)
              : std::unexpected(TextEncodingError::invalidData(encoding));
    if (!decoded) {
        m_prompter.alert(msg::reopenFailed(encodingName));
        return;
    }
    if (!document.isLoaded() || !m_workspace.contains(document))
        return;
    if (!document.replaceAllClearingUndo(std::move(decoded->text)))
        return;
    document.setEncoding(encoding);
    document.setLineEnding(decoded->lineEnding);
    document.setReadOnly(false);
    document.setDiskStamp(DiskStamp::of(path));
    document.setDirty(false);
    m_host.refresh(document);
    if (m_session)
        (void)m_session->flush(false);
}

} // namespace vendrix::app
