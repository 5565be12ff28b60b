// Reloading from disk and reopening in an encoding.
#include "app/window/EditorWindowController.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "app/workspace/WindowFiles.h"
#include "app/workspace/WindowMessages.h"
#include "core/text/TextFileCodec.h"

namespace vendrix::app {

namespace msg = windowMessages;

bool EditorWindowController::canReload(const EditorDocument& document) const {
    return document.fileURL().has_value() && indexOf(document).has_value() &&
           !m_saveFlow->isSaving(document);
}

void EditorWindowController::reloadFromDisk(EditorDocument& document,
                                            std::optional<DiskStamp> triggeringStamp) {
    if (!canReload(document))
        return;
    const QString path = *document.fileURL();
    if (!document.isLoaded()) {
        // A tab whose content could not be loaded: reloading is the retry.
        if (&document == activeDocument())
            showActiveDocument();
        else
            loadPendingContent(document);
        if (document.isLoaded())
            showMessage(msg::reloadedByUser(document.displayName()), 4);
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
        request.buttons = {QStringLiteral("Benimkini Koru"), QStringLiteral("Diskteki Sürümü Yükle")};
        if (prompter().ask(request).button != 1 || !indexOf(document) || !document.isLoaded())
            return;
    }

    const bool displayed = m_textView->document() == &document;
    const TextRange selection = displayed ? m_textView->selectedRange() : document.selection();
    const QPointF scroll = displayed ? m_textView->scrollOrigin() : document.scrollOrigin();

    const bool same = document.storageForReading()->contiguous() == decoded.text;
    if (!same) {
        if (decoded.isBinary || document.isReadOnly()) {
            if (!document.replaceAllClearingUndo(std::move(decoded.text), decoded.isBinary))
                return;
        } else {
            const std::int64_t length = document.length();
            if (!applyEdits(document, {TextRange{0, length}}, {std::move(decoded.text)},
                            windowMessages::reloadActionName))
                return; // refused: nothing was reloaded
        }
    }

    const std::int64_t length = document.length();
    const std::int64_t location = std::clamp<std::int64_t>(selection.location, 0, length);
    const TextRange clamped{location, std::clamp<std::int64_t>(selection.length, 0, length - location)};
    document.setSelection(clamped);
    document.setScrollOrigin(scroll);
    document.setEncoding(decoded.encoding);
    document.setLineEnding(decoded.lineEnding);
    document.setReadOnly(decoded.isBinary);
    if (displayed) {
        m_textView->setSelectedRange(clamped);
        m_textView->setScrollOrigin(scroll);
    }
    document.setDiskStamp(triggeringStamp ? triggeringStamp : DiskStamp::of(path));
    document.setExternalChangePending(false);
    document.setDirty(false);
    document.setPersistedRevision(std::nullopt);
    refreshTabBar();
    if (&document == activeDocument()) {
        refreshStatusBar();
        refreshTitle();
    }
    showMessage(triggeringStamp ? msg::reloadedAfterOutsideChange(document.displayName())
                                : msg::reloadedByUser(document.displayName()),
                4);
    scheduleSave();
}

void EditorWindowController::reopenWithEncoding(EditorDocument& document, TextEncoding encoding) {
    if (!document.fileURL() || document.isDirty() || !indexOf(document))
        return;
    const QString path = *document.fileURL();
    const QString encodingName = QString::fromUtf8(textEncoding::displayName(encoding));
    auto bytes = windowFiles::read(path);
    std::expected<DecodedText, TextEncodingError> decoded =
        bytes ? TextFileCodec::decode(*bytes, encoding)
              : std::unexpected(TextEncodingError::invalidData(encoding));
    if (!decoded) {
        prompter().alert(msg::reopenFailed(encodingName));
        return;
    }
    if (!document.isLoaded() || !indexOf(document))
        return;
    if (!document.replaceAllClearingUndo(std::move(decoded->text)))
        return;
    document.setEncoding(encoding);
    document.setLineEnding(decoded->lineEnding);
    document.setReadOnly(false);
    document.setDiskStamp(DiskStamp::of(path));
    document.setDirty(false);
    refreshTabBar();
    if (&document == activeDocument()) {
        refreshStatusBar();
        refreshTitle();
    }
    flush();
}

} // namespace vendrix::app
