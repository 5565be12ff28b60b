#include "app/document/EditorDocument.h"

#include "app/document/TextEditCommand.h"

#include <QFileInfo>
#include <QUndoStack>

#include <algorithm>
#include <cassert>
#include <set>
#include <utility>

namespace vendrix::app {

namespace {

/// Brings `text` to LF-only line breaks in place; most strings hold no CR and stay untouched.
void normalizeInPlace(std::u16string& text) {
    if (lineEnding::needsNormalization(text))
        text = lineEnding::normalizeToLF(text);
}

TextRange clampedTo(TextRange range, std::int64_t length) {
    const std::int64_t start = std::clamp<std::int64_t>(range.location, 0, length);
    return {start, std::clamp<std::int64_t>(range.length, 0, length - start)};
}

} // namespace

Uuid toCoreUuid(const QUuid& id) {
    const QByteArray bytes = id.toRfc4122();
    Uuid result;
    std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes.constData()), result.bytes.size(),
                result.bytes.begin());
    return result;
}

QUuid toQUuid(const Uuid& id) {
    return QUuid::fromRfc4122(QByteArrayView(reinterpret_cast<const char*>(id.bytes.data()),
                                             static_cast<qsizetype>(id.bytes.size())));
}

EditorDocument::EditorDocument(QUuid id, QObject* parent)
    : QObject(parent), m_id(id), m_undoStack(new QUndoStack(this)),
      m_clock([] { return std::chrono::steady_clock::now(); }) {
    m_undoStack->setUndoLimit(0); // unlimited
    // Undo and redo reached through the stack directly (menu actions) end a typing run too.
    connect(m_undoStack, &QUndoStack::indexChanged, this, [this] {
        if (!m_pushing)
            breakTypingRun();
    });
}

EditorDocument::~EditorDocument() {
    // The stack outlives this body (it is a child); its last signals must not reach us.
    disconnect(m_undoStack, nullptr, this, nullptr);
    stopAccessingSecurityScope();
}

std::string EditorDocument::idString() const {
    return toCoreUuid(m_id).uuidString();
}

std::string EditorDocument::bufferFileName() const {
    return idString() + ".txt";
}

void EditorDocument::setFileURL(std::optional<QString> path, std::optional<QByteArray> bookmark) {
    stopAccessingSecurityScope();
    const bool changed = path != m_fileURL;
    m_fileURL = std::move(path);
    m_bookmark = std::move(bookmark);
    if (changed)
        m_untitledNumber.reset();
}

void EditorDocument::startAccessingSecurityScope(const QString& path) {
    stopAccessingSecurityScope();
    // There are no security scopes on this platform; access is always granted.
    m_isAccessingSecurityScope = true;
    m_fileURL = path;
}

void EditorDocument::stopAccessingSecurityScope() {
    m_isAccessingSecurityScope = false;
}

void EditorDocument::closeDown() {
    m_undoStack->clear();
    stopAccessingSecurityScope();
}

QString EditorDocument::displayName() const {
    if (m_fileURL) {
        const QString name = QFileInfo(*m_fileURL).fileName();
        return name.isEmpty() ? *m_fileURL : name;
    }
    return QStringLiteral("Yeni ") + QString::number(m_untitledNumber.value_or(1));
}

void EditorDocument::setText(std::u16string text, bool keepLineBreaks) {
    if (!keepLineBreaks)
        normalizeInPlace(text);
    // The storage takes the text over (no copy of a large file), and the gap sits after it, so
    // the index reads one contiguous view.
    LineIndex lineIndex{std::u16string_view(text)};
    setText(std::move(text), std::move(lineIndex));
}

void EditorDocument::setText(std::u16string text, LineIndex lineIndex) {
    assert(!m_notifying && "EditorDocument::setText from inside an edit report");
    assert(lineIndex.length() == static_cast<std::int64_t>(text.size()) &&
           "EditorDocument::setText: the line index is of another text");
    // Work started on the old text (a search, a formatting job, a session write) compares
    // revisions; the new text must not answer to the old number.
    if (m_storage)
        ++m_contentRevision;
    m_storage = TextStorage::adopting(std::move(text), static_cast<std::uint64_t>(m_contentRevision));
    m_lineIndex = std::move(lineIndex);
    m_pending = PendingContent::none();
    m_undoStack->clear();
    m_selection = clampedTo(m_selection, m_storage->length());
    emit textReplaced();
}

bool EditorDocument::ensureLoaded() {
    if (m_storage)
        return true;
    if (m_pending.kind == PendingContent::Kind::empty) {
        setText({}); // nothing to load: the document is empty
    } else if (m_loadHandler && !m_loading) {
        // A handler that asks for the text again while loading it gets no second load.
        m_loading = true;
        m_loadHandler(*this);
        m_loading = false;
    }
    return m_storage != nullptr;
}

std::optional<TextSnapshot> EditorDocument::snapshot() const {
    if (!m_storage)
        return std::nullopt;
    return m_storage->snapshot();
}

std::optional<TextChunkSnapshot> EditorDocument::chunkSnapshot() const {
    if (!m_storage)
        return std::nullopt;
    return m_storage->chunkSnapshot();
}

void EditorDocument::releaseChunks() {
    if (m_chunkHolds > 0 && --m_chunkHolds == 0 && m_storage)
        m_storage->dropChunks();
}

EditorDocument::HookID EditorDocument::addChangeFilter(ChangeFilter filter) {
    return m_filters.add(std::move(filter));
}

bool EditorDocument::removeChangeFilter(HookID id) {
    return m_filters.remove(id);
}

EditorDocument::HookID EditorDocument::addChangeObserver(ChangeObserver observer,
                                                         ObserverOrder order) {
    return m_observers.add(std::move(observer), order == ObserverOrder::display ? 0 : 1);
}

bool EditorDocument::removeChangeObserver(HookID id) {
    return m_observers.remove(id);
}

bool EditorDocument::rangesFit(const std::vector<TextRange>& ranges) const {
    if (!m_storage)
        return false;
    const std::int64_t length = m_storage->length();
    std::int64_t previousEnd = 0;
    for (const TextRange& range : ranges) {
        if (!range.fits(length) || range.location < previousEnd)
            return false;
        previousEnd = range.end();
    }
    return true;
}

bool EditorDocument::filtersAccept(std::span<const TextRange> ranges,
                                   std::span<std::u16string> replacements) {
    // A filter that edited the text would leave the checked ranges pointing at other text.
    m_notifying = true;
    const bool accepted = m_filters.walk(
        [&](const ChangeFilter& filter) { return !filter || filter(ranges, replacements); });
    m_notifying = false;
    return accepted;
}

std::optional<std::vector<EditorDocument::Replacement>>
EditorDocument::prepare(std::vector<TextRange>& ranges,
                        std::vector<std::u16string>& replacements) const {
    if (ranges.size() != replacements.size() || !rangesFit(ranges))
        return std::nullopt;
    for (std::u16string& text : replacements)
        normalizeInPlace(text);
    std::vector<Replacement> result;
    result.reserve(ranges.size());
    for (size_t i = 0; i < ranges.size(); ++i)
        result.push_back({ranges[i], std::move(replacements[i])});
    return result;
}

bool EditorDocument::applyEdit(TextRange range, std::u16string text, const EditOptions& options) {
    std::vector<std::u16string> replacements;
    replacements.push_back(std::move(text));
    return applyEdits({range}, std::move(replacements), options);
}

bool EditorDocument::applyEdit(TextRange range, std::u16string text) {
    return applyEdit(range, std::move(text), EditOptions{});
}

bool EditorDocument::applyEdits(std::vector<TextRange> ranges,
                                std::vector<std::u16string> replacements,
                                const EditOptions& options) {
    if (ranges.size() != replacements.size())
        return false;
    if (ranges.empty())
        return true;
    if (m_notifying || m_isReadOnly || !ensureLoaded())
        return false;
    // Loading may have shown a binary-looking file, which is read-only.
    if (m_isReadOnly || !rangesFit(ranges))
        return false;
    // Normalise before the filters see the text, and again after them in case one put a CR
    // back.
    for (std::u16string& text : replacements)
        normalizeInPlace(text);
    if (!filtersAccept(ranges, replacements))
        return false;
    auto prepared = prepare(ranges, replacements);
    if (!prepared)
        return false;

    // Replacing nothing by nothing is no change; what remains is applied.
    std::erase_if(*prepared,
                  [](const Replacement& r) { return r.range.empty() && r.text.empty(); });
    if (prepared->empty())
        return true;

    const std::int64_t length = m_storage->length();
    if (!options.typing && prepared->size() == 1 && prepared->front().range == TextRange{0, length}) {
        pushWholeText(std::move(prepared->front().text), options);
        return true;
    }
    std::vector<TextEditCommand::Piece> pieces;
    pieces.reserve(prepared->size());
    std::int64_t shift = 0;
    for (const Replacement& r : *prepared) {
        pieces.push_back({r.range.location, m_storage->substring(r.range), r.text});
        shift += static_cast<std::int64_t>(r.text.size()) - r.range.length;
    }
    const Replacement& last = prepared->back();
    const TextRange selectionBefore =
        clampedTo(options.selectionBefore.value_or(m_selection), length);
    const TextRange selectionAfter =
        options.selectionAfter.value_or(TextRange{last.range.end() + shift, 0});

    TextEditCommand::TypingRun run;
    run.typing = options.typing && prepared->size() == 1;
    run.generation = m_typingGeneration;
    run.lastEdit = m_clock();
    if (!run.typing)
        breakTypingRun();
    QString name = options.actionName;
    if (name.isEmpty() && options.typing)
        name = typingActionName;

    m_pushing = true;
    m_undoStack->push(
        new TextEditCommand(*this, std::move(pieces), selectionBefore, selectionAfter, name, run));
    m_pushing = false;
    if (!run.typing)
        breakTypingRun();
    m_selection = clampedTo(selectionAfter, m_storage->length());
    return true;
}

bool EditorDocument::applyWithoutUndo(std::vector<TextRange> ranges,
                                      std::vector<std::u16string> replacements) {
    if (m_notifying)
        return false;
    auto prepared = prepare(ranges, replacements);
    if (!prepared)
        return false;
    if (!prepared->empty())
        perform(*prepared);
    return true;
}

bool EditorDocument::replaceAllClearingUndo(std::u16string text, bool keepLineBreaks) {
    if (m_notifying || !m_storage)
        return false;
    if (!keepLineBreaks)
        normalizeInPlace(text);
    std::vector<Replacement> whole;
    whole.push_back({{0, m_storage->length()}, std::move(text)});
    perform(whole);
    m_undoStack->clear();
    m_selection = clampedTo(m_selection, m_storage->length());
    return true;
}

void EditorDocument::perform(const std::vector<Replacement>& replacements) {
    assert(m_storage && !replacements.empty());
    if (!m_storage || replacements.empty())
        return;
    // Undo steps are consistent with the text by construction; a step that no longer fits
    // (a text replaced behind the history's back) is dropped rather than applied blindly.
    std::int64_t previousEnd = 0;
    for (const Replacement& r : replacements) {
        if (!r.range.fits(m_storage->length()) || r.range.location < previousEnd) {
            assert(false && "EditorDocument::perform: replacement outside the text");
            return;
        }
        previousEnd = r.range.end();
    }

    const std::int64_t oldStart = replacements.front().range.location;
    const bool wasNotifying = std::exchange(m_notifying, true); // listeners only read
    emit aboutToChange({oldStart, replacements.back().range.end() - oldStart});
    m_notifying = wasNotifying;
    std::int64_t changeInLength = 0;
    for (auto it = replacements.rbegin(); it != replacements.rend(); ++it) {
        m_storage->replace(it->range, it->text);
        changeInLength += static_cast<std::int64_t>(it->text.size()) - it->range.length;
    }
    // One report for the whole step: from the first replacement to the end of the last one
    // in the new text.
    const std::int64_t start = replacements.front().range.location;
    const std::int64_t end = replacements.back().range.end() + changeInLength;
    const TextRange editedRange{start, end - start};

    m_lineIndex.update(editedRange, changeInLength, *m_storage);
    finishChange(editedRange, changeInLength);
}

void EditorDocument::finishChange(TextRange editedRange, std::int64_t changeInLength) {
    ++m_contentRevision;
    // One step may be several replace() calls; the storage's snapshots carry the step count.
    m_storage->setRevision(static_cast<std::uint64_t>(m_contentRevision));
    m_isDirty = m_fileURL.has_value() || m_storage->length() > 0;

    // A listener that edited from inside a report would interleave its step with the one
    // being recorded and leave the history out of step with the text: such edits are refused.
    m_notifying = true;
    m_observers.walk([&](const ChangeObserver& observer) {
        if (observer)
            observer(*this, editedRange, changeInLength);
        return true;
    });
    m_notifying = false;
}

void EditorDocument::restoreSelection(TextRange selection) {
    m_selection = clampedTo(selection, length());
    emit selectionRestored(m_selection);
}

void EditorDocument::undo() {
    if (m_notifying)
        return;
    breakTypingRun();
    m_undoStack->undo();
}

void EditorDocument::redo() {
    if (m_notifying)
        return;
    breakTypingRun();
    m_undoStack->redo();
}

SessionTab EditorDocument::sessionRecord() const {
    SessionTab record;
    record.id = toCoreUuid(m_id);
    record.untitledNumber = m_untitledNumber;
    if (m_fileURL)
        record.filePath = m_fileURL->toStdString();
    if (m_bookmark)
        record.bookmark = std::vector<std::uint8_t>(m_bookmark->begin(), m_bookmark->end());
    if (m_isDirty && !m_isReadOnly) {
        // Text still waiting in a restored buffer lives under that buffer's name, which may
        // be another UUID's than this document's own.
        record.bufferFile = !m_storage && m_pending.kind == PendingContent::Kind::buffer
                                ? m_pending.bufferName
                                : bufferFileName();
    }
    record.selectionLocation = m_selection.location;
    record.selectionLength = m_selection.length;
    record.scrollX = m_scrollOrigin.x();
    record.scrollY = m_scrollOrigin.y();
    record.languageID = m_languageID;
    record.encoding = m_encoding;
    record.lineEnding = m_lineEnding;
    record.isDirty = m_isDirty;
    if (m_isReadOnly)
        record.isReadOnly = true;
    if (m_diskStamp) {
        record.diskSize = m_diskStamp->size;
        record.diskModified = m_diskStamp->modifiedNanoseconds;
    }
    return record;
}

std::int64_t
EditorDocument::nextUntitledNumber(std::span<const std::optional<std::int64_t>> usedNumbers) {
    std::set<std::int64_t> used;
    for (const auto& number : usedNumbers)
        if (number)
            used.insert(*number);
    std::int64_t candidate = 1;
    while (used.contains(candidate))
        ++candidate;
    return candidate;
}

std::int64_t
EditorDocument::nextUntitledNumber(std::span<const EditorDocument* const> openDocuments) {
    std::vector<std::optional<std::int64_t>> numbers;
    numbers.reserve(openDocuments.size());
    for (const EditorDocument* document : openDocuments)
        if (document)
            numbers.push_back(document->untitledNumber());
    return nextUntitledNumber(numbers);
}

} // namespace vendrix::app
