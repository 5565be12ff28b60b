#pragma once

#include "app/document/DiskStamp.h"
#include "app/document/DocumentHooks.h"
#include "core/common/TextRange.h"
#include "core/common/Uuid.h"
#include "core/persistence/SessionState.h"
#include "core/text/LineEnding.h"
#include "core/text/LineIndex.h"
#include "core/text/TextEncoding.h"
#include "core/text/TextStorage.h"

#include <QByteArray>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QUuid>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QUndoStack;

namespace vendrix::app {

class TextEditCommand;
class WholeTextCommand;

/// The core's identifier for a Qt one and back: the same 16 bytes in RFC 4122 order, so the
/// canonical texts agree.
Uuid toCoreUuid(const QUuid& id);
QUuid toQUuid(const Uuid& id);

/// One open buffer, shown as one tab. Owns the text (a TextStorage once loaded), its
/// LineIndex, the undo history and the bookkeeping that ties it to its file and the session.
///
/// Every change of the characters goes through one path: applyEdit() / applyEdits() for
/// undoable edits, applyWithoutUndo() for changes that manage their own undo (or none), and
/// the undo commands themselves. After each change the path updates the line index, raises
/// contentRevision by one, applies the dirty rule and then reports the change to every change
/// observer, always with the edited range (in the new text) and the change in length. That is
/// the one channel through which changes of the characters are heard. Observers and filters
/// must not edit from inside those calls (such edits are refused).
///
/// contentRevision is the one revision of the text: it never goes back or repeats within the
/// document's life (replacing the loaded text with setText() moves it on too), and snapshots
/// of the storage carry it, so a snapshot can be compared with the document.
/// Main thread only.
class EditorDocument final : public QObject {
    Q_OBJECT

public:
    /// What a not-yet-loaded document will contain.
    struct PendingContent {
        enum class Kind { empty, text, buffer, file };
        Kind kind = Kind::empty;
        /// The text, for Kind::text.
        std::u16string text;
        /// The session buffer file name, for Kind::buffer.
        std::string bufferName;

        static PendingContent none() { return {}; }
        static PendingContent ofText(std::u16string text) {
            return {Kind::text, std::move(text), {}};
        }
        static PendingContent ofBuffer(std::string name) {
            return {Kind::buffer, {}, std::move(name)};
        }
        static PendingContent ofFile() { return {Kind::file, {}, {}}; }
        friend bool operator==(const PendingContent&, const PendingContent&) = default;
    };

    /// How one edit is recorded for undo.
    struct EditOptions {
        /// The undo menu name; typing uses "Yazma" when this is empty.
        QString actionName;
        /// Keyboard typing and deleting: consecutive typing edits merge into one undo step
        /// until the run is broken (breakTypingRun(), a pause of more than a second, undo,
        /// redo or any other edit).
        bool typing = false;
        /// The selection the edit started from (restored by undo); the document's
        /// selection() when absent.
        std::optional<TextRange> selectionBefore;
        /// The selection after the edit (restored by redo); a caret after the last
        /// replacement when absent.
        std::optional<TextRange> selectionAfter;
    };

    /// Sees every proposed undoable edit (applyEdit(s)) after its ranges have been checked
    /// and its replacements normalised to LF, before anything changes, whether or not the
    /// document is on screen. It may rewrite the replacements in place (not the ranges) or
    /// refuse with false. Filters are asked in registration order, each seeing what the ones
    /// before it left; any of them may refuse. Read-only documents are refused before any
    /// filter is asked. Undo, redo, applyWithoutUndo() and replaceAllClearingUndo() do not
    /// consult them.
    using ChangeFilter = std::function<bool(std::span<const TextRange> ranges,
                                            std::span<std::u16string> replacements)>;
    /// Called after every change of the characters with the range of the new text that
    /// replaced the old and the change in length. It must not destroy the document (close a
    /// tab later, from the event loop). Hooks die with their document; a client that may
    /// outlive it removes its hooks only while the document exists (QPointer).
    using ChangeObserver = std::function<void(EditorDocument& document, TextRange editedRange,
                                              std::int64_t changeInLength)>;
    /// When an observer hears a change: views that show the text hear it first, so that
    /// everyone after them finds the view (its layout and selection) in step with the text.
    enum class ObserverOrder { display, normal };
    using HookID = DocumentHookID;
    /// Asks the owner to load the pending content now (see ensureLoaded()).
    using LoadHandler = std::function<void(EditorDocument& document)>;
    /// The clock that times pauses in typing; replaceable for tests.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static inline const QString typingActionName = QStringLiteral("Yazma");

    explicit EditorDocument(QUuid id, QObject* parent = nullptr);
    ~EditorDocument() override;

    // Identity and file.
    QUuid id() const { return m_id; }
    /// The id in canonical upper-case text, as buffer file names use it.
    std::string idString() const;
    std::optional<std::int64_t> untitledNumber() const { return m_untitledNumber; }
    void setUntitledNumber(std::optional<std::int64_t> number) { m_untitledNumber = number; }
    /// Absolute path of the document's file; none for an untitled document.
    const std::optional<QString>& fileURL() const { return m_fileURL; }
    const std::optional<QByteArray>& bookmark() const { return m_bookmark; }
    /// Releases a held security-scoped access, stores the file and bookmark, and clears the
    /// untitled number whenever the file actually changed.
    void setFileURL(std::optional<QString> path, std::optional<QByteArray> bookmark = std::nullopt);
    /// Releases any held access and records access to `path` (always granted here: the
    /// platform has no security scopes). Stores `path` as the file.
    void startAccessingSecurityScope(const QString& path);
    /// Releases a held security-scoped access, if any.
    void stopAccessingSecurityScope();
    /// What closing the tab does to the document itself: clears the undo history and
    /// releases a held security-scoped access.
    void closeDown();
    bool isAccessingSecurityScope() const { return m_isAccessingSecurityScope; }
    /// The tab title: the file name, or "Yeni " and the untitled number (1 when absent).
    QString displayName() const;

    // Saving and display properties.
    TextEncoding encoding() const { return m_encoding; }
    void setEncoding(TextEncoding encoding) { m_encoding = encoding; }
    LineEnding lineEnding() const { return m_lineEnding; }
    void setLineEnding(LineEnding ending) { m_lineEnding = ending; }
    const std::optional<std::string>& languageID() const { return m_languageID; }
    void setLanguageID(std::optional<std::string> id) { m_languageID = std::move(id); }
    bool isReadOnly() const { return m_isReadOnly; }
    void setReadOnly(bool readOnly) { m_isReadOnly = readOnly; }
    bool isDirty() const { return m_isDirty; }
    void setDirty(bool dirty) { m_isDirty = dirty; }
    TextRange selection() const { return m_selection; }
    void setSelection(TextRange selection) { m_selection = selection; }
    QPointF scrollOrigin() const { return m_scrollOrigin; }
    void setScrollOrigin(QPointF origin) { m_scrollOrigin = origin; }

    // The text.
    /// The loaded text; null while the content is pending.
    const TextStorage* storage() const { return m_storage.get(); }
    /// Mutable access for reads that move the gap (TextStorage::contiguous). Changing the
    /// text through it bypasses the edit path and is a programming error.
    TextStorage* storageForReading() { return m_storage.get(); }
    bool isLoaded() const { return m_storage != nullptr; }
    const LineIndex& lineIndex() const { return m_lineIndex; }
    /// Current length of the text, 0 while pending.
    std::int64_t length() const { return m_storage ? m_storage->length() : 0; }
    const PendingContent& pending() const { return m_pending; }
    void setPending(PendingContent pending) { m_pending = std::move(pending); }
    /// Moves the pending text out (for loading it without a copy); the kind stays.
    std::u16string takePendingText() { return std::move(m_pending.text); }
    /// Installs a new storage holding `text` (normalised to LF unless `keepLineBreaks`, which
    /// is for binary-looking files shown exactly as decoded), rebuilds the line index and
    /// clears pending. The first load keeps contentRevision; replacing text that was already
    /// loaded (a reload) raises it by one, so no revision ever names two texts. isDirty is
    /// left to the caller. The undo history is cleared, since its steps describe the replaced
    /// text. Observers are not called (nothing was edited); emits textReplaced().
    void setText(std::u16string text, bool keepLineBreaks = false);
    /// The same with the text taken exactly as it is (LF-only) and `index` as its line index
    /// (built for exactly this text, on the worker that read or formatted it): no pass over a
    /// large text is made here.
    void setText(std::u16string text, LineIndex index);
    /// Loads pending content through the load handler if needed; true when the text is then
    /// loaded. False also while the owner reads a large file in the background instead (the
    /// text arrives later, announced as documentLoaded).
    bool ensureLoaded();
    /// The text at contentRevision (its revision() equals contentRevision()), for work on
    /// other threads; none while the content is pending.
    std::optional<TextSnapshot> snapshot() const;
    /// The same as shared chunks the storage keeps (TextStorage::chunkSnapshot); none while
    /// the content is pending.
    std::optional<TextChunkSnapshot> chunkSnapshot() const;
    /// The storage keeps its chunk copies while anyone holds them (the session between its
    /// passes, a save while it prepares and writes); the last release frees them. Snapshots
    /// handed out keep their chunks whatever happens here.
    void holdChunks() { ++m_chunkHolds; }
    void releaseChunks();

    // Edits.
    /// One undoable edit of `range`. See applyEdits().
    bool applyEdit(TextRange range, std::u16string text, const EditOptions& options);
    bool applyEdit(TextRange range, std::u16string text);
    /// Replaces several ranges as one undo step named options.actionName, whether or not the
    /// document is on screen. A non-typing edit of one range covering the whole loaded text is
    /// recorded as a whole-text step: the history keeps the old text as the immutable string
    /// the storage already shared with its last snapshot, and undo and redo trade texts and
    /// line indexes instead of replaying replacements. Refused (false, nothing changed) when the counts differ, the
    /// document is read-only (also when loading shows it to be), pending content cannot be
    /// loaded through the load handler, a range lies outside the text or the ranges are not
    /// ascending and disjoint (each starting at or after the end of the previous), or a
    /// change filter refuses. Replacements are normalised to LF first. No ranges: nothing
    /// happens, true.
    bool applyEdits(std::vector<TextRange> ranges, std::vector<std::u16string> replacements,
                    const EditOptions& options);
    /// Applies replacements (same rules for ranges, normalised to LF) through the edit path
    /// without recording undo and without asking the change filter: for undo records kept
    /// elsewhere (column editing) and for reloads that clear the history. Refused for a
    /// document whose content is pending.
    bool applyWithoutUndo(std::vector<TextRange> ranges, std::vector<std::u16string> replacements);
    /// Replaces the whole text through the edit path and clears the undo history (reloading
    /// a read-only document, reopening in another encoding).
    bool replaceAllClearingUndo(std::u16string text, bool keepLineBreaks = false);

    // Undo.
    QUndoStack* undoStack() const { return m_undoStack; }
    /// Ends the current run of typing, so the next typing edit starts a new undo step. The
    /// view calls it when the caret moves other than by typing.
    void breakTypingRun() { ++m_typingGeneration; }
    /// Undo and redo of the history; both break the typing run and emit selectionRestored().
    void undo();
    void redo();
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Revisions and session bookkeeping.
    std::int64_t contentRevision() const { return m_contentRevision; }
    std::optional<std::int64_t> persistedRevision() const { return m_persistedRevision; }
    void setPersistedRevision(std::optional<std::int64_t> revision) {
        m_persistedRevision = revision;
    }
    const std::optional<std::string>& bufferOnDisk() const { return m_bufferOnDisk; }
    void setBufferOnDisk(std::optional<std::string> name) { m_bufferOnDisk = std::move(name); }
    /// The session buffer file name of this document: its id text plus ".txt".
    std::string bufferFileName() const;
    /// The document's tab in the session file. The buffer file is named only for a dirty
    /// document that is not read-only: the pending buffer's name while the text still waits
    /// in a restored buffer, else bufferFileName(). isReadOnly is present only when true; the
    /// disk stamp (diskSize, diskModified) whenever the document has one.
    SessionTab sessionRecord() const;

    // Disk bookkeeping.
    const std::optional<DiskStamp>& diskStamp() const { return m_diskStamp; }
    void setDiskStamp(std::optional<DiskStamp> stamp) { m_diskStamp = stamp; }
    bool externalChangePending() const { return m_externalChangePending; }
    void setExternalChangePending(bool pending) { m_externalChangePending = pending; }
    bool isMissingOnDisk() const { return m_isMissingOnDisk; }
    void setMissingOnDisk(bool missing) { m_isMissingOnDisk = missing; }
    std::optional<std::int64_t> dirtiedByDeletionAt() const { return m_dirtiedByDeletionAt; }
    void setDirtiedByDeletionAt(std::optional<std::int64_t> revision) {
        m_dirtiedByDeletionAt = revision;
    }

    // Hooks.
    /// Registers a change filter; any number may be registered.
    HookID addChangeFilter(ChangeFilter filter);
    /// True when `id` named a filter of this document (now removed).
    bool removeChangeFilter(HookID id);
    /// Registers a change observer; any number may be registered. Within one order they are
    /// called in registration order.
    HookID addChangeObserver(ChangeObserver observer, ObserverOrder order = ObserverOrder::normal);
    /// True when `id` named an observer of this document (now removed).
    bool removeChangeObserver(HookID id);
    /// The one owner (the window) that loads pending content on request; replaces any
    /// handler set before. Null: pending content other than `empty` cannot be loaded.
    void setLoadHandler(LoadHandler handler) { m_loadHandler = std::move(handler); }

    /// The smallest positive number no document in `openDocuments` uses as its untitled
    /// number.
    static std::int64_t nextUntitledNumber(std::span<const EditorDocument* const> openDocuments);
    static std::int64_t
    nextUntitledNumber(std::span<const std::optional<std::int64_t>> usedNumbers);

signals:
    /// After undo or redo: the selection to show (also stored as selection()).
    void selectionRestored(vendrix::TextRange selection);
    /// setText() installed a new storage; views drop everything derived from the old one.
    void textReplaced();
    /// A change of the characters is about to replace `oldRange` (from the first replaced
    /// range to the end of the last, in the text as it still is). For listeners that need
    /// the old text (assistive technology hears what was removed); they must only read.
    void aboutToChange(vendrix::TextRange oldRange);

private:
    friend class TextEditCommand;
    friend class WholeTextCommand;

    struct Replacement {
        TextRange range;
        std::u16string text;
    };
    /// True when the ranges lie inside the loaded text, ascending and disjoint.
    bool rangesFit(const std::vector<TextRange>& ranges) const;
    /// Validates and normalises a proposed edit; none when it must be refused.
    std::optional<std::vector<Replacement>>
    prepare(std::vector<TextRange>& ranges, std::vector<std::u16string>& replacements) const;
    /// Asks every change filter; false when one refuses.
    bool filtersAccept(std::span<const TextRange> ranges, std::span<std::u16string> replacements);
    /// The one mutation path: applies ascending, disjoint replacements (ranges in the current
    /// text) from the last to the first, then reports the change once.
    void perform(const std::vector<Replacement>& replacements);
    /// Records `text` replacing the whole text as one whole-text undo step and applies it.
    void pushWholeText(std::u16string text, const EditOptions& options);
    /// Installs `text` with its line index `lineIndex` as the whole text and hands back the
    /// text and index it replaced in the same arguments; reports one change of the whole
    /// text. A history step that finds a text of another length than `expectedLength` (one
    /// replaced behind the history's back) changes nothing and gets false.
    bool exchangeWholeText(TextSnapshot& text, LineIndex& lineIndex, std::int64_t expectedLength);
    /// The bookkeeping after every change of the characters: revision, dirty rule and the
    /// one report to the observers.
    void finishChange(TextRange editedRange, std::int64_t changeInLength);
    void restoreSelection(TextRange selection);

    QUuid m_id;
    std::optional<std::int64_t> m_untitledNumber;
    std::optional<QString> m_fileURL;
    std::optional<QByteArray> m_bookmark;
    TextEncoding m_encoding = TextEncoding::utf8;
    LineEnding m_lineEnding = LineEnding::lf;
    std::optional<std::string> m_languageID;
    bool m_isReadOnly = false;
    bool m_isDirty = false;
    TextRange m_selection;
    QPointF m_scrollOrigin;
    QUndoStack* m_undoStack = nullptr;
    std::unique_ptr<TextStorage> m_storage;
    LineIndex m_lineIndex;
    PendingContent m_pending;
    std::int64_t m_contentRevision = 0;
    int m_chunkHolds = 0;
    std::optional<std::int64_t> m_persistedRevision;
    std::optional<std::string> m_bufferOnDisk;
    std::optional<DiskStamp> m_diskStamp;
    bool m_externalChangePending = false;
    bool m_isMissingOnDisk = false;
    std::optional<std::int64_t> m_dirtiedByDeletionAt;
    bool m_isAccessingSecurityScope = false;

    DocumentHooks<ChangeFilter> m_filters;
    DocumentHooks<ChangeObserver> m_observers;
    LoadHandler m_loadHandler;
    std::uint64_t m_typingGeneration = 0;
    bool m_pushing = false;
    bool m_notifying = false; // inside a change filter or observer
    bool m_loading = false;   // inside the load handler
    Clock m_clock;
};

} // namespace vendrix::app

Q_DECLARE_METATYPE(vendrix::TextRange)
