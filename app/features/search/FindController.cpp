#include "app/features/search/FindController.h"

#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "app/features/search/FindIndicator.h"
#include "app/features/search/SearchText.h"
#include "app/view/EditorTextView.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <cmath>

namespace vendrix::app {

FindController::FindController(EditorContext& context, QObject* parent)
    : QObject(parent), m_ctx(context), m_highlighter(context), m_alive(std::make_shared<int>(0)),
      m_background([alive = std::weak_ptr<int>(m_alive)](std::function<void()> work) {
          // Posted to the application object, which outlives every controller; a completion
          // for a controller destroyed meanwhile is dropped on the main thread.
          QMetaObject::invokeMethod(
              QCoreApplication::instance(),
              [alive, work = std::move(work)] {
                  if (alive.lock())
                      work();
              },
              Qt::QueuedConnection);
      }) {
    m_countWork.setSingleShot(true);
    connect(&m_countWork, &QTimer::timeout, this, &FindController::startCount);
}

FindController::~FindController() {
    if (m_mainTask)
        m_mainTask->cancel();
    if (m_countTask)
        m_countTask->cancel();
}

SearchOptions FindController::options() const {
    return SearchOptions{toU16(m_query), m_isRegex, m_matchCase, m_wholeWord};
}

std::optional<SearchPattern> FindController::compile() {
    auto pattern = SearchPattern::compile(options());
    if (!pattern) {
        reportFailure(pattern.error(), m_interactiveTimeout);
        return std::nullopt;
    }
    return std::move(*pattern);
}

void FindController::setStatus(QString text, bool isError, StatusScope scope) {
    m_status = std::move(text);
    m_statusIsError = isError;
    m_statusScope = scope;
    emit statusChanged();
}

void FindController::reportFailure(const SearchFailure& failure, double timeout) {
    QString text;
    switch (failure.kind) {
    case SearchFailure::Kind::emptyQuery:
        text = QStringLiteral("Aranacak metni yazın");
        break;
    case SearchFailure::Kind::invalidPattern:
        text = QStringLiteral("Geçersiz düzenli ifade: ") + toQString(failure.pattern);
        break;
    case SearchFailure::Kind::timedOut:
        text = QStringLiteral("Zaman aşımı: düzenli ifade çok yavaş (%1 sn sınırı)")
                   .arg(static_cast<long long>(std::floor(timeout)));
        break;
    case SearchFailure::Kind::cancelled:
        break;
    }
    const bool isError = failure.kind != SearchFailure::Kind::cancelled;
    setStatus(text, isError);
    if (isError)
        m_ctx.showMessage(text, 4);
}

int FindController::beginMain() {
    if (m_mainTask)
        m_mainTask->cancel();
    ++m_mainGeneration;
    setStatus(QStringLiteral("Aranıyor…"), false);
    return m_mainGeneration;
}

std::optional<FindController::Snapshot> FindController::snapshotActive() const {
    EditorDocument* document = m_ctx.activeDocument();
    if (!document || !document->ensureLoaded())
        return std::nullopt;
    Snapshot snapshot;
    snapshot.document = document;
    snapshot.revision = document->contentRevision();
    snapshot.text = document->storage()->snapshot();
    EditorTextView* view = m_ctx.textView();
    // In column mode the view's own selection is only a caret at the rectangle's active
    // point; the search goes on from the whole rectangle.
    if (const auto column = m_ctx.columnSelection())
        snapshot.selection = column->bounds;
    else
        snapshot.selection =
            view && view->document() == document ? view->selectedRange() : document->selection();
    return snapshot;
}

bool FindController::isStale(const Snapshot& snapshot) {
    EditorDocument* document = snapshot.document.data();
    if (document && document == m_ctx.activeDocument() &&
        document->contentRevision() == snapshot.revision)
        return false;
    setStatus(staleMessage, true);
    m_ctx.showMessage(staleMessage, 4);
    return true;
}

std::optional<FindController::ActiveRequest> FindController::beginOnActive(bool edits) {
    if (edits && refuseReadOnlyActive())
        return std::nullopt;
    auto pattern = compile();
    if (!pattern)
        return std::nullopt;
    auto snapshot = snapshotActive();
    if (!snapshot)
        return std::nullopt;
    const int generation = beginMain();
    return ActiveRequest{std::move(*pattern), std::move(*snapshot), generation};
}

bool FindController::acceptOnActive(int generation, const Snapshot& snapshot, double timeout,
                                    const SearchFailure* failure) {
    if (!finishMain(generation))
        return false;
    if (failure)
        reportFailure(*failure, timeout);
    if (failure || isStale(snapshot)) {
        reportIdle();
        return false;
    }
    return true;
}

bool FindController::finishMain(int generation) {
    if (generation != m_mainGeneration)
        return false;
    m_mainTask.reset();
    return true;
}

void FindController::reportIdle() {
    if (!m_mainTask)
        emit idle();
}

QString FindController::positionStatus(const EditorDocument& document, TextRange range) const {
    if (!m_counted || m_counted->document != document.id() ||
        m_counted->revision != document.contentRevision())
        return {};
    const auto& ranges = m_counted->ranges;
    auto it = std::lower_bound(
        ranges.begin(), ranges.end(), range,
        [](const TextRange& a, const TextRange& b) { return a.location < b.location; });
    if (it == ranges.end() || *it != range)
        return {};
    return QStringLiteral("%1/%2%3")
        .arg(static_cast<long long>(it - ranges.begin() + 1))
        .arg(static_cast<long long>(ranges.size()))
        .arg(m_countTruncated ? QStringLiteral("+") : QString());
}

void FindController::find(bool forward) {
    auto request = beginOnActive(false);
    if (!request)
        return;
    const double timeout = m_interactiveTimeout;
    const bool wrapAround = m_wraps;
    const QString shownQuery = m_query;
    using Result = std::expected<std::optional<TextRange>, SearchFailure>;
    m_mainTask = m_background.run(
        timeout,
        [pattern = std::move(request->pattern), text = request->snapshot.text,
         selection = request->snapshot.selection, forward, wrapAround](const SearchBudget& budget) {
            return SearchEngine::findNext(pattern, text.view(), selection, forward, wrapAround,
                                          budget);
        },
        [this, generation = request->generation, snapshot = request->snapshot, timeout,
         shownQuery](Result result) {
            if (!acceptOnActive(generation, snapshot, timeout, result ? nullptr : &result.error()))
                return;
            if (!*result) {
                const QString text = QStringLiteral("Bulunamadı: ") + shownQuery;
                setStatus(text, true, StatusScope::activeTab);
            } else {
                const TextRange range = **result;
                m_ctx.select(range);
                FindIndicator::flash(m_ctx.textView(), range);
                setStatus(positionStatus(*snapshot.document, range), false, StatusScope::position);
            }
            reportIdle();
        });
}

void FindController::activeDocumentChanged() {
    // What was said of the previous tab goes; a match selected in this one shows its n/m.
    if (m_statusScope == StatusScope::activeTab)
        m_statusScope = StatusScope::position;
    refreshPosition();
}

void FindController::refreshPosition() {
    if (m_statusScope != StatusScope::position)
        return;
    QString text;
    EditorDocument* document = m_ctx.activeDocument();
    EditorTextView* view = m_ctx.textView();
    if (document && document->isLoaded() && view && view->document() == document)
        text = positionStatus(*document, view->selectedRange());
    if (text != m_status)
        setStatus(std::move(text), false, StatusScope::position);
}

bool FindController::refuseReadOnlyActive() {
    const EditorDocument* active = m_ctx.activeDocument();
    if (!active || !active->isReadOnly())
        return false;
    setStatus(QStringLiteral("Belge salt okunur"), true);
    m_ctx.showMessage(m_status, 4);
    return true;
}

void FindController::replace() {
    auto request = beginOnActive(true);
    if (!request)
        return;
    const double timeout = m_interactiveTimeout;
    using Result = std::expected<std::optional<std::u16string>, SearchFailure>;
    m_mainTask = m_background.run(
        timeout,
        [pattern = std::move(request->pattern), text = request->snapshot.text,
         selection = request->snapshot.selection,
         with = toU16(m_replacement)](const SearchBudget& budget) {
            return SearchEngine::replacementForSelection(pattern, text.view(), selection, with,
                                                         budget);
        },
        [this, generation = request->generation, snapshot = request->snapshot,
         timeout](Result result) {
            if (!acceptOnActive(generation, snapshot, timeout, result ? nullptr : &result.error()))
                return;
            if (*result) {
                // The range is the selection that was searched, not whatever is selected now.
                EditorDocument& document = *snapshot.document;
                const std::u16string& inserted = **result;
                if (m_ctx.applyEdits(document, {snapshot.selection}, {inserted},
                                     QStringLiteral("Değiştir"))) {
                    const std::int64_t caret = std::min<std::int64_t>(
                        snapshot.selection.location + static_cast<std::int64_t>(inserted.size()),
                        document.length());
                    m_ctx.select({caret, 0});
                }
            }
            // The next match follows as its own request.
            find(true);
        });
}

void FindController::setCountStatus(QString text) {
    m_countStatus = std::move(text);
    emit statusChanged();
}

void FindController::scheduleCount(int delayMs) {
    if (!m_liveCounting || m_query.isEmpty()) {
        m_countWork.stop();
        if (m_countTask)
            m_countTask->cancel();
        m_countTask.reset();
        ++m_countGeneration;
        m_counted.reset();
        m_matchCount.reset();
        m_countTruncated = false;
        m_highlighter.setFindRanges({});
        setCountStatus({});
        return;
    }
    m_countWork.start(delayMs);
}

void FindController::startCount() {
    m_countWork.stop();
    ++m_countGeneration;
    if (m_countTask)
        m_countTask->cancel();
    m_countTask.reset();
    if (!m_liveCounting || m_query.isEmpty())
        return;
    auto pattern = SearchPattern::compile(options());
    if (!pattern) {
        m_counted.reset();
        m_matchCount.reset();
        m_highlighter.setFindRanges({});
        const SearchFailure& failure = pattern.error();
        setCountStatus(failure.kind == SearchFailure::Kind::invalidPattern
                           ? QStringLiteral("Geçersiz düzenli ifade: ") + toQString(failure.pattern)
                           : QString());
        return;
    }
    EditorDocument* document = m_ctx.activeDocument();
    if (!document || !document->ensureLoaded())
        return;
    const int generation = m_countGeneration;
    const QUuid documentID = document->id();
    const std::int64_t revision = document->contentRevision();
    const double timeout = m_interactiveTimeout;
    using Result = std::expected<FindAllResult, SearchFailure>;
    m_countTask = m_background.run(
        timeout,
        [pattern = std::move(*pattern),
         text = document->storage()->snapshot()](const SearchBudget& budget) {
            return SearchEngine::findAll(pattern, text.view(), std::nullopt, countLimit, budget);
        },
        [this, generation, documentID, revision, timeout](Result result) {
            if (generation != m_countGeneration)
                return;
            m_countTask.reset();
            if (!result) {
                if (result.error().kind == SearchFailure::Kind::timedOut)
                    setCountStatus(
                        QStringLiteral("Zaman aşımı: düzenli ifade çok yavaş (%1 sn sınırı)")
                            .arg(static_cast<long long>(std::floor(timeout))));
                return;
            }
            EditorDocument* active = m_ctx.activeDocument();
            const bool current =
                active && active->id() == documentID && active->contentRevision() == revision;
            m_matchCount = static_cast<std::int64_t>(result->ranges.size());
            m_countTruncated = result->truncated;
            m_highlighter.setFindRanges(current ? result->ranges : std::vector<TextRange>{});
            m_counted = Counted{documentID, revision, std::move(result->ranges)};
            refreshPosition();
            setCountStatus(QStringLiteral("%1%2 eşleşme")
                               .arg(static_cast<long long>(*m_matchCount))
                               .arg(m_countTruncated ? QStringLiteral("+") : QString()));
        });
}

} // namespace vendrix::app
