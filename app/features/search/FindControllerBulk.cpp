// Replace-all in the active tab or every tab, and find in all tabs.
#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "app/features/search/FindController.h"
#include "app/features/search/SearchText.h"

#include <QStringList>

namespace vendrix::app {
namespace {

QString quoted(const EditorDocument& document) {
    return QStringLiteral("“") + document.displayName() + QStringLiteral("”");
}

} // namespace

FindController::Prepared FindController::prepare(const SearchPattern& pattern,
                                                 std::u16string_view text, std::u16string_view with,
                                                 std::int64_t limit, const SearchBudget& budget,
                                                 std::optional<SearchFailure>& failure) {
    Prepared prepared;
    auto plan = SearchEngine::planReplaceAll(pattern, text, with, std::nullopt, limit, budget);
    if (!plan) {
        failure = plan.error();
        return prepared;
    }
    prepared.plan = std::move(*plan);
    // A large plan becomes one whole-text replacement built here, off the main thread.
    if (prepared.plan.count > wholeTextThreshold)
        prepared.wholeText = prepared.plan.applied(text);
    return prepared;
}

std::int64_t FindController::apply(EditorDocument& document, Prepared& prepared) {
    if (prepared.plan.count == 0)
        return 0;
    const QString name = QStringLiteral("Tümünü Değiştir");
    bool applied = false;
    if (prepared.wholeText) {
        // The new text moves all the way into the document's history: a braced list would
        // copy it.
        std::vector<std::u16string> whole;
        whole.push_back(std::move(*prepared.wholeText));
        prepared.wholeText.reset();
        applied = ctx.applyEdits(document, {TextRange{0, document.length()}}, std::move(whole), name);
    } else
        applied = ctx.applyEdits(document, prepared.plan.ranges, prepared.plan.replacements, name);
    return applied ? prepared.plan.count : 0;
}

void FindController::replaceAll() {
    const QString action = QStringLiteral("replaceAll");
    auto request = beginOnActive(action, true);
    if (!request)
        return;
    const double timeout = bulkTimeout;
    struct Outcome {
        Prepared prepared;
        std::optional<SearchFailure> failure;
    };
    mainTask = m_background.run(
        timeout,
        [pattern = std::move(request->pattern), text = request->snapshot.text,
         with = toU16(replacement), limit = replaceLimit](const SearchBudget& budget) {
            Outcome outcome;
            outcome.prepared = prepare(pattern, text.view(), with, limit, budget, outcome.failure);
            return outcome;
        },
        [this, generation = request->generation, snapshot = request->snapshot, action,
         timeout](Outcome outcome) {
            if (!acceptOnActive(generation, snapshot, action, timeout,
                                outcome.failure ? &*outcome.failure : nullptr))
                return;
            const std::int64_t count = apply(*snapshot.document, outcome.prepared);
            QString text = count > 0 ? QStringLiteral("%1 eşleşme değiştirildi")
                                           .arg(static_cast<long long>(count))
                                     : QStringLiteral("Bulunamadı");
            // A plan cut short by its limit must not read as a complete replacement.
            const bool partial = count > 0 && outcome.prepared.plan.truncated;
            if (partial)
                text += QStringLiteral(" — sınıra ulaşıldı, kalan eşleşmeler değiştirilmedi");
            setStatus(text, partial || count == 0);
            setOutcome(action, count > 0 ? QStringLiteral("replaced") : QStringLiteral("notFound"),
                       {{QStringLiteral("count"), qint64(count)},
                        {QStringLiteral("message"), text},
                        {QStringLiteral("truncated"), partial}});
            runIdleWaiters();
        });
}

void FindController::replaceInAllTabs() {
    const QString action = QStringLiteral("replaceInAllTabs");
    auto pattern = compile(action);
    if (!pattern)
        return;
    std::vector<TabSnapshot> tabs;
    std::vector<TextSnapshot> texts;
    for (EditorDocument* document : ctx.documents()) {
        if (document->isReadOnly() || !document->ensureLoaded())
            continue;
        tabs.push_back({document, document->contentRevision(), document->storage()->snapshot()});
        texts.push_back(tabs.back().text);
    }
    const int generation = beginMain();
    const double timeout = bulkTimeout;
    struct Outcome {
        std::vector<Prepared> prepared;
        std::optional<SearchFailure> failure;
    };
    mainTask = m_background.run(
        timeout,
        [pattern = *pattern, texts = std::move(texts), with = toU16(replacement),
         limit = replaceLimit](const SearchBudget& budget) {
            Outcome outcome;
            for (const TextSnapshot& text : texts) {
                outcome.prepared.push_back(
                    prepare(pattern, text.view(), with, limit, budget, outcome.failure));
                if (outcome.failure)
                    break;
            }
            return outcome;
        },
        [this, generation, tabs = std::move(tabs), action, timeout](Outcome outcome) {
            if (!finishMain(generation))
                return;
            if (outcome.failure) {
                reportFailure(*outcome.failure, action, timeout);
                runIdleWaiters();
                return;
            }
            std::int64_t changedTabs = 0;
            std::int64_t replaced = 0;
            bool partial = false;
            QStringList skipped;
            for (std::size_t i = 0; i < tabs.size(); ++i) {
                Prepared& prepared = outcome.prepared[i];
                if (prepared.plan.count == 0)
                    continue;
                EditorDocument* document = tabs[i].document.data();
                // Each plan fits only the text it was computed on.
                if (!document || document->contentRevision() != tabs[i].revision) {
                    if (document)
                        skipped << quoted(*document);
                    continue;
                }
                const std::int64_t count = apply(*document, prepared);
                if (count == 0) {
                    skipped << quoted(*document);
                    continue;
                }
                ++changedTabs;
                replaced += count;
                partial = partial || prepared.plan.truncated;
            }
            QString text = replaced > 0 ? QStringLiteral("%1 sekmede %2 eşleşme değiştirildi")
                                              .arg(static_cast<long long>(changedTabs))
                                              .arg(static_cast<long long>(replaced))
                                        : QStringLiteral("Bulunamadı");
            if (partial)
                text += QStringLiteral(" — sınıra ulaşıldı, kalan eşleşmeler değiştirilmedi");
            if (!skipped.isEmpty())
                text += QStringLiteral("; arama sırasında değişen sekmeler atlandı: ") +
                        skipped.join(QStringLiteral(", "));
            const bool isError = replaced == 0 || partial || !skipped.isEmpty();
            setStatus(text, isError);
            if (!skipped.isEmpty())
                ctx.showMessage(text, 8);
            setOutcome(action,
                       replaced > 0        ? QStringLiteral("replaced")
                       : skipped.isEmpty() ? QStringLiteral("notFound")
                                           : QStringLiteral("stale"),
                       {{QStringLiteral("count"), qint64(replaced)},
                        {QStringLiteral("message"), text},
                        {QStringLiteral("skipped"), skipped}});
            runIdleWaiters();
        });
}

void FindController::findInAllTabs() {
    const QString action = QStringLiteral("findInAllTabs");
    auto pattern = compile(action);
    if (!pattern)
        return;
    std::vector<SearchDocument> documents;
    for (EditorDocument* document : ctx.documents())
        if (document->ensureLoaded())
            documents.emplace_back(toCoreUuid(document->id()), document->storage()->snapshot());
    const int generation = beginMain();
    const double timeout = bulkTimeout;
    using Result = std::expected<MultiDocumentResult, SearchFailure>;
    mainTask = m_background.run(
        timeout,
        [pattern = *pattern, documents = std::move(documents)](const SearchBudget& budget) {
            return MultiDocumentSearch::search(pattern, documents,
                                               MultiDocumentSearch::defaultLimit, budget);
        },
        [this, generation, action, timeout](Result result) {
            if (!finishMain(generation))
                return;
            if (!result) {
                reportFailure(result.error(), action, timeout);
                runIdleWaiters();
                return;
            }
            const auto hits = static_cast<long long>(result->hits.size());
            const auto tabs = static_cast<long long>(result->documentCount);
            const QString text = result->truncated
                                     ? QStringLiteral("%1+ sonuç (%2 sekme) — ilk %1 gösteriliyor")
                                           .arg(hits)
                                           .arg(tabs)
                                     : QStringLiteral("%1 sonuç (%2 sekme)").arg(hits).arg(tabs);
            setStatus(text, false);
            setOutcome(
                action, hits > 0 ? QStringLiteral("found") : QStringLiteral("notFound"),
                {{QStringLiteral("count"), qint64(hits)}, {QStringLiteral("message"), text}});
            if (onResults)
                onResults(*result);
            runIdleWaiters();
        });
}

} // namespace vendrix::app
