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
    // A large plan becomes one whole-text m_replacement built here, off the main thread.
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
        applied =
            m_ctx.applyEdits(document, {TextRange{0, document.length()}}, std::move(whole), name);
    } else
        applied =
            m_ctx.applyEdits(document, prepared.plan.ranges, prepared.plan.replacements, name);
    return applied ? prepared.plan.count : 0;
}

void FindController::replaceAll() {
    auto request = beginOnActive(true);
    if (!request)
        return;
    const double timeout = m_bulkTimeout;
    struct Outcome {
        Prepared prepared;
        std::optional<SearchFailure> failure;
    };
    m_mainTask = m_background.run(
        timeout,
        [pattern = std::move(request->pattern), text = request->snapshot.text,
         with = toU16(m_replacement), limit = m_replaceLimit](const SearchBudget& budget) {
            Outcome outcome;
            outcome.prepared = prepare(pattern, text.view(), with, limit, budget, outcome.failure);
            return outcome;
        },
        [this, generation = request->generation, snapshot = request->snapshot,
         timeout](Outcome outcome) {
            if (!acceptOnActive(generation, snapshot, timeout,
                                outcome.failure ? &*outcome.failure : nullptr))
                return;
            const std::int64_t count = apply(*snapshot.document, outcome.prepared);
            QString text =
                count > 0
                    ? QStringLiteral("%1 eşleşme değiştirildi").arg(static_cast<long long>(count))
                    : QStringLiteral("Bulunamadı");
            // A plan cut short by its limit must not read as a complete m_replacement.
            const bool partial = count > 0 && outcome.prepared.plan.truncated;
            if (partial)
                text += QStringLiteral(" — sınıra ulaşıldı, kalan eşleşmeler değiştirilmedi");
            setStatus(text, partial || count == 0);
            reportIdle();
        });
}

void FindController::afterLoading(std::vector<EditorDocument*> documents, AllTabs operation,
                                  SearchPattern pattern) {
    const int generation = beginMain();
    // Busy while large files are read: a newer request supersedes this one, and the
    // operation does not run for it.
    m_mainTask = std::make_shared<SearchCancellation>();
    m_ctx.loadPending(std::move(documents),
                      [this, alive = std::weak_ptr<int>(m_alive), generation, operation,
                       pattern = std::move(pattern)](bool completed) {
                          if (!alive.lock() || generation != m_mainGeneration)
                              return;
                          if (operation == AllTabs::replace)
                              replaceInLoadedTabs(generation, pattern, completed);
                          else
                              // After a cancelled read the search runs over the tabs that
                              // are loaded, and says which ones it left out.
                              findInLoadedTabs(generation, pattern);
                      });
}

void FindController::replaceInAllTabs() {
    auto pattern = compile();
    if (!pattern)
        return;
    std::vector<EditorDocument*> editable;
    for (EditorDocument* document : m_ctx.documents())
        if (!document->isReadOnly())
            editable.push_back(document);
    afterLoading(std::move(editable), AllTabs::replace, std::move(*pattern));
}

void FindController::replaceInLoadedTabs(int generation, const SearchPattern& pattern,
                                         bool completed) {
    if (!completed) {
        // Replacing in some tabs only would leave the others unlike them: nothing changes.
        finishMain(generation);
        const QString text = QStringLiteral("Vazgeçildi: hiçbir sekmede değiştirilmedi");
        setStatus(text, false);
        reportIdle();
        return;
    }
    std::vector<TabSnapshot> tabs;
    std::vector<TextSnapshot> texts;
    QStringList unread;
    for (EditorDocument* document : m_ctx.documents()) {
        if (document->isReadOnly())
            continue;
        if (!document->isLoaded()) {
            unread << quoted(*document);
            continue;
        }
        tabs.push_back({document, document->contentRevision(), document->storage()->snapshot()});
        texts.push_back(tabs.back().text);
    }
    const double timeout = m_bulkTimeout;
    struct Outcome {
        std::vector<Prepared> prepared;
        std::optional<SearchFailure> failure;
    };
    m_mainTask = m_background.run(
        timeout,
        [pattern, texts = std::move(texts), with = toU16(m_replacement),
         limit = m_replaceLimit](const SearchBudget& budget) {
            Outcome outcome;
            for (const TextSnapshot& text : texts) {
                outcome.prepared.push_back(
                    prepare(pattern, text.view(), with, limit, budget, outcome.failure));
                if (outcome.failure)
                    break;
            }
            return outcome;
        },
        [this, generation, tabs = std::move(tabs), unread, timeout](Outcome outcome) {
            if (!finishMain(generation))
                return;
            if (outcome.failure) {
                reportFailure(*outcome.failure, timeout);
                reportIdle();
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
            if (!unread.isEmpty())
                text += QStringLiteral("; yüklenemeyen sekmeler atlandı: ") +
                        unread.join(QStringLiteral(", "));
            const bool isError =
                replaced == 0 || partial || !skipped.isEmpty() || !unread.isEmpty();
            setStatus(text, isError);
            if (!skipped.isEmpty() || !unread.isEmpty())
                m_ctx.showMessage(text, 8);
            reportIdle();
        });
}

void FindController::findInAllTabs() {
    auto pattern = compile();
    if (!pattern)
        return;
    afterLoading(m_ctx.documents(), AllTabs::find, std::move(*pattern));
}

void FindController::findInLoadedTabs(int generation, const SearchPattern& pattern) {
    std::vector<SearchDocument> documents;
    QStringList unread;
    for (EditorDocument* document : m_ctx.documents()) {
        if (document->isLoaded())
            documents.emplace_back(toCoreUuid(document->id()), document->storage()->snapshot());
        else
            unread << quoted(*document);
    }
    const double timeout = m_bulkTimeout;
    using Result = std::expected<MultiDocumentResult, SearchFailure>;
    m_mainTask = m_background.run(
        timeout,
        [pattern, documents = std::move(documents)](const SearchBudget& budget) {
            return MultiDocumentSearch::search(pattern, documents,
                                               MultiDocumentSearch::defaultLimit, budget);
        },
        [this, generation, unread, timeout](Result result) {
            if (!finishMain(generation))
                return;
            if (!result) {
                reportFailure(result.error(), timeout);
                reportIdle();
                return;
            }
            const auto hits = static_cast<long long>(result->hits.size());
            const auto tabs = static_cast<long long>(result->documentCount);
            QString text = result->truncated
                               ? QStringLiteral("%1+ sonuç (%2 sekme) — ilk %1 gösteriliyor")
                                     .arg(hits)
                                     .arg(tabs)
                               : QStringLiteral("%1 sonuç (%2 sekme)").arg(hits).arg(tabs);
            if (!unread.isEmpty()) {
                text += QStringLiteral("; yüklenmeyen sekmeler aranmadı: ") +
                        unread.join(QStringLiteral(", "));
                m_ctx.showMessage(text, 8);
            }
            setStatus(text, !unread.isEmpty());
            emit resultsFound(*result);
            reportIdle();
        });
}

} // namespace vendrix::app
