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
    : QObject(parent), ctx(context), highlighter(context), m_alive(std::make_shared<int>(0)),
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
    countWork.setSingleShot(true);
    connect(&countWork, &QTimer::timeout, this, &FindController::startCount);
}

FindController::~FindController() {
    if (mainTask)
        mainTask->cancel();
    if (countTask)
        countTask->cancel();
}

SearchOptions FindController::options() const {
    return SearchOptions{toU16(query), isRegex, matchCase, wholeWord};
}

std::optional<SearchPattern> FindController::compile(const QString& action) {
    auto pattern = SearchPattern::compile(options());
    if (!pattern) {
        reportFailure(pattern.error(), action, interactiveTimeout);
        return std::nullopt;
    }
    return std::move(*pattern);
}

void FindController::setStatus(QString text, bool isError, StatusScope scope) {
    status = std::move(text);
    statusIsError = isError;
    m_statusScope = scope;
    if (onStatusChange)
        onStatusChange();
}

void FindController::setOutcome(const QString& action, const QString& result, QVariantMap extra) {
    extra.insert(QStringLiteral("action"), action);
    extra.insert(QStringLiteral("result"), result);
    lastOutcome = std::move(extra);
}

void FindController::reportFailure(const SearchFailure& failure, const QString& action,
                                   double timeout) {
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
        ctx.showMessage(text, 4);
    setOutcome(action, QString::fromLatin1(rawValue(failure.kind)),
               {{QStringLiteral("message"), text}});
}

int FindController::beginMain() {
    if (mainTask)
        mainTask->cancel();
    ++mainGeneration;
    setStatus(QStringLiteral("Aranıyor…"), false);
    return mainGeneration;
}

std::optional<FindController::Snapshot> FindController::snapshotActive() const {
    EditorDocument* document = ctx.activeDocument();
    if (!document || !document->ensureLoaded())
        return std::nullopt;
    Snapshot snapshot;
    snapshot.document = document;
    snapshot.revision = document->contentRevision();
    snapshot.text = document->storage()->snapshot();
    EditorTextView* view = ctx.textView();
    // In column mode the view's own selection is only a caret at the rectangle's active
    // point; the search goes on from the whole rectangle.
    if (const auto column = ctx.columnSelection())
        snapshot.selection = column->bounds;
    else
        snapshot.selection =
            view && view->document() == document ? view->selectedRange() : document->selection();
    return snapshot;
}

bool FindController::isStale(const Snapshot& snapshot, const QString& action) {
    EditorDocument* document = snapshot.document.data();
    if (document && document == ctx.activeDocument() &&
        document->contentRevision() == snapshot.revision)
        return false;
    setStatus(staleMessage, true);
    ctx.showMessage(staleMessage, 4);
    setOutcome(action, QStringLiteral("stale"), {{QStringLiteral("message"), staleMessage}});
    return true;
}

std::optional<FindController::ActiveRequest> FindController::beginOnActive(const QString& action,
                                                                          bool edits) {
    if (edits && refuseReadOnlyActive())
        return std::nullopt;
    auto pattern = compile(action);
    if (!pattern)
        return std::nullopt;
    auto snapshot = snapshotActive();
    if (!snapshot)
        return std::nullopt;
    const int generation = beginMain();
    return ActiveRequest{std::move(*pattern), std::move(*snapshot), generation};
}

bool FindController::acceptOnActive(int generation, const Snapshot& snapshot,
                                    const QString& action, double timeout,
                                    const SearchFailure* failure) {
    if (!finishMain(generation))
        return false;
    if (failure)
        reportFailure(*failure, action, timeout);
    if (failure || isStale(snapshot, action)) {
        runIdleWaiters();
        return false;
    }
    return true;
}

bool FindController::finishMain(int generation) {
    if (generation != mainGeneration)
        return false;
    mainTask.reset();
    return true;
}

void FindController::runIdleWaiters() {
    if (mainTask)
        return;
    auto waiters = std::exchange(idleWaiters, {});
    for (auto& waiter : waiters)
        waiter();
}

void FindController::whenIdle(std::function<void()> callback) {
    if (!mainTask) {
        callback();
        return;
    }
    idleWaiters.push_back(std::move(callback));
}

QString FindController::positionStatus(const EditorDocument& document, TextRange range) const {
    if (!counted || counted->document != document.id() ||
        counted->revision != document.contentRevision())
        return {};
    const auto& ranges = counted->ranges;
    auto it = std::lower_bound(
        ranges.begin(), ranges.end(), range,
        [](const TextRange& a, const TextRange& b) { return a.location < b.location; });
    if (it == ranges.end() || *it != range)
        return {};
    return QStringLiteral("%1/%2%3")
        .arg(static_cast<long long>(it - ranges.begin() + 1))
        .arg(static_cast<long long>(ranges.size()))
        .arg(countTruncated ? QStringLiteral("+") : QString());
}

void FindController::find(bool forward) {
    const QString action = forward ? QStringLiteral("findNext") : QStringLiteral("findPrevious");
    auto request = beginOnActive(action, false);
    if (!request)
        return;
    const double timeout = interactiveTimeout;
    const bool wrapAround = wraps;
    const QString shownQuery = query;
    using Result = std::expected<std::optional<TextRange>, SearchFailure>;
    mainTask = m_background.run(
        timeout,
        [pattern = std::move(request->pattern), text = request->snapshot.text,
         selection = request->snapshot.selection, forward,
         wrapAround](const SearchBudget& budget) {
            return SearchEngine::findNext(pattern, text.view(), selection, forward, wrapAround,
                                          budget);
        },
        [this, generation = request->generation, snapshot = request->snapshot, action, timeout,
         shownQuery](Result result) {
            if (!acceptOnActive(generation, snapshot, action, timeout,
                                result ? nullptr : &result.error()))
                return;
            if (!*result) {
                const QString text = QStringLiteral("Bulunamadı: ") + shownQuery;
                setStatus(text, true, StatusScope::activeTab);
                setOutcome(action, QStringLiteral("notFound"), {{QStringLiteral("message"), text}});
            } else {
                const TextRange range = **result;
                ctx.select(range);
                FindIndicator::flash(ctx.textView(), range);
                setStatus(positionStatus(*snapshot.document, range), false, StatusScope::position);
                setOutcome(action, QStringLiteral("found"),
                           {{QStringLiteral("location"), qint64(range.location)},
                            {QStringLiteral("length"), qint64(range.length)}});
            }
            runIdleWaiters();
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
    EditorDocument* document = ctx.activeDocument();
    EditorTextView* view = ctx.textView();
    if (document && document->isLoaded() && view && view->document() == document)
        text = positionStatus(*document, view->selectedRange());
    if (text != status)
        setStatus(std::move(text), false, StatusScope::position);
}

bool FindController::refuseReadOnlyActive() {
    const EditorDocument* active = ctx.activeDocument();
    if (!active || !active->isReadOnly())
        return false;
    setStatus(QStringLiteral("Belge salt okunur"), true);
    ctx.showMessage(status, 4);
    return true;
}

void FindController::replace() {
    const QString action = QStringLiteral("replace");
    auto request = beginOnActive(action, true);
    if (!request)
        return;
    const double timeout = interactiveTimeout;
    using Result = std::expected<std::optional<std::u16string>, SearchFailure>;
    mainTask = m_background.run(
        timeout,
        [pattern = std::move(request->pattern), text = request->snapshot.text,
         selection = request->snapshot.selection,
         with = toU16(replacement)](const SearchBudget& budget) {
            return SearchEngine::replacementForSelection(pattern, text.view(), selection, with,
                                                         budget);
        },
        [this, generation = request->generation, snapshot = request->snapshot, action,
         timeout](Result result) {
            if (!acceptOnActive(generation, snapshot, action, timeout,
                                result ? nullptr : &result.error()))
                return;
            if (*result) {
                // The range is the selection that was searched, not whatever is selected now.
                EditorDocument& document = *snapshot.document;
                const std::u16string& inserted = **result;
                if (ctx.applyEdits(document, {snapshot.selection}, {inserted},
                                   QStringLiteral("Değiştir"))) {
                    const std::int64_t caret = std::min<std::int64_t>(
                        snapshot.selection.location + static_cast<std::int64_t>(inserted.size()),
                        document.length());
                    ctx.select({caret, 0});
                    setOutcome(action, QStringLiteral("replaced"), {{QStringLiteral("count"), 1}});
                }
            }
            // The next match follows as its own request.
            find(true);
        });
}

void FindController::setCountStatus(QString text) {
    countStatus = std::move(text);
    if (onStatusChange)
        onStatusChange();
}

void FindController::scheduleCount(int delayMs) {
    if (!liveCounting || query.isEmpty()) {
        countWork.stop();
        if (countTask)
            countTask->cancel();
        countTask.reset();
        ++countGeneration;
        counted.reset();
        matchCount.reset();
        countTruncated = false;
        highlighter.setFindRanges({});
        setCountStatus({});
        return;
    }
    countWork.start(delayMs);
}

void FindController::startCount() {
    countWork.stop();
    ++countGeneration;
    if (countTask)
        countTask->cancel();
    countTask.reset();
    if (!liveCounting || query.isEmpty())
        return;
    auto pattern = SearchPattern::compile(options());
    if (!pattern) {
        counted.reset();
        matchCount.reset();
        highlighter.setFindRanges({});
        const SearchFailure& failure = pattern.error();
        setCountStatus(failure.kind == SearchFailure::Kind::invalidPattern
                           ? QStringLiteral("Geçersiz düzenli ifade: ") + toQString(failure.pattern)
                           : QString());
        return;
    }
    EditorDocument* document = ctx.activeDocument();
    if (!document || !document->ensureLoaded())
        return;
    const int generation = countGeneration;
    const QUuid documentID = document->id();
    const std::int64_t revision = document->contentRevision();
    const double timeout = interactiveTimeout;
    using Result = std::expected<FindAllResult, SearchFailure>;
    countTask = m_background.run(
        timeout,
        [pattern = std::move(*pattern),
         text = document->storage()->snapshot()](const SearchBudget& budget) {
            return SearchEngine::findAll(pattern, text.view(), std::nullopt, countLimit, budget);
        },
        [this, generation, documentID, revision, timeout](Result result) {
            if (generation != countGeneration)
                return;
            countTask.reset();
            if (!result) {
                if (result.error().kind == SearchFailure::Kind::timedOut)
                    setCountStatus(
                        QStringLiteral("Zaman aşımı: düzenli ifade çok yavaş (%1 sn sınırı)")
                            .arg(static_cast<long long>(std::floor(timeout))));
                return;
            }
            EditorDocument* active = ctx.activeDocument();
            const bool current =
                active && active->id() == documentID && active->contentRevision() == revision;
            matchCount = static_cast<std::int64_t>(result->ranges.size());
            countTruncated = result->truncated;
            highlighter.setFindRanges(current ? result->ranges : std::vector<TextRange>{});
            counted = Counted{documentID, revision, std::move(result->ranges)};
            refreshPosition();
            setCountStatus(QStringLiteral("%1%2 eşleşme")
                               .arg(static_cast<long long>(*matchCount))
                               .arg(countTruncated ? QStringLiteral("+") : QString()));
        });
}

} // namespace vendrix::app
