#pragma once

#include "app/features/search/MatchHighlighter.h"
#include "core/common/TextRange.h"
#include "core/search/BackgroundSearch.h"
#include "core/search/MultiDocumentSearch.h"
#include "core/search/SearchEngine.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUuid>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vendrix::app {

class EditorContext;
class EditorDocument;

/// Find, replace, replace-all (in the active tab or in every tab), find in all tabs and the
/// live match count behind the find bar. Every search runs on the search queue over a text
/// snapshot; a completion acts only when no newer request superseded it and the document
/// still holds the text that was searched. Main thread only.
class FindController final : public QObject {
    Q_OBJECT

public:
    /// A planned replace-all for one document: the plan and, for a large plan, the whole new
    /// text computed in the background.
    struct Prepared {
        ReplacePlan plan;
        std::optional<std::u16string> wholeText;
    };
    /// The matches of the last completed live count.
    struct Counted {
        QUuid document;
        std::int64_t revision = 0;
        std::vector<TextRange> ranges;
    };

    /// Plans with more replacements than this also carry the whole new text.
    static constexpr std::int64_t wholeTextThreshold = 2'000;
    static constexpr std::int64_t countLimit = 10'000;
    static constexpr int queryCountDelayMs = 150;
    static constexpr int textCountDelayMs = 300;
    static inline const QString staleMessage =
        QStringLiteral("Metin arama sırasında değişti; tekrar deneyin");

    explicit FindController(EditorContext& context, QObject* parent = nullptr);
    ~FindController() override;

    EditorContext& ctx;
    MatchHighlighter highlighter;

    QString query;
    QString replacement;
    bool isRegex = false;
    bool matchCase = false;
    bool wholeWord = false;
    bool wraps = true;
    bool liveCounting = false;

    std::function<void()> onStatusChange;
    QString status;
    bool statusIsError = false;

    QString countStatus;
    std::optional<std::int64_t> matchCount;
    bool countTruncated = false;

    /// "action", "result" and, by result, "message", "count", "location", "length".
    QVariantMap lastOutcome;
    /// Receives the hits of a find in all tabs (status already holds its summary).
    std::function<void(const MultiDocumentResult&)> onResults;

    std::shared_ptr<SearchCancellation> mainTask;
    int mainGeneration = 0;
    std::shared_ptr<SearchCancellation> countTask;
    int countGeneration = 0;
    QTimer countWork;
    std::optional<Counted> counted;
    std::vector<std::function<void()>> idleWaiters;

    /// Budgets in seconds (tests shorten them); the status quotes them in whole seconds.
    double interactiveTimeout = BackgroundSearch::interactiveTimeout;
    double bulkTimeout = BackgroundSearch::bulkTimeout;
    /// Most replacements one replace-all plans (no practical limit unless a test sets one).
    std::int64_t replaceLimit = INT64_MAX;

    void findNext() { find(true); }
    void findPrevious() { find(false); }
    void find(bool forward);
    void replace();
    void replaceAll();
    void replaceInAllTabs();
    void findInAllTabs();

    /// Starts the live count after `delayMs` (restarting a pending one); clears it when live
    /// counting is off or the query is empty.
    void scheduleCount(int delayMs);
    /// Runs the live count now.
    void startCount();
    /// The query or an option changed: the count follows after the short delay.
    void optionsChanged() { scheduleCount(queryCountDelayMs); }

    /// The active tab changed: a status about the previous tab's text ("2/3", "Bulunamadı:
    /// …") goes; the new tab's selection shows its n/m when it is a counted match (see
    /// refreshPosition).
    void activeDocumentChanged();
    /// After the last find found a match, the status says which of the counted matches the
    /// selection is ("2/3"): recomputed here when the text, the selection or the count
    /// changed, and empty while the selection is no counted match of the current text.
    void refreshPosition();

    /// Whether a main operation is still running.
    bool isBusy() const { return mainTask != nullptr; }
    /// Runs `callback` once no main operation is pending (at once when none is).
    void whenIdle(std::function<void()> callback);

    /// The options of the bar's fields.
    SearchOptions options() const;

private:
    /// What a main operation searched: the active document, its revision, text and selection.
    struct Snapshot {
        QPointer<EditorDocument> document;
        std::int64_t revision = 0;
        TextSnapshot text;
        TextRange selection;
    };
    /// One document of an all-tabs operation.
    struct TabSnapshot {
        QPointer<EditorDocument> document;
        std::int64_t revision = 0;
        TextSnapshot text;
    };

    /// A request on the active tab: its pattern, what it searches and its request number.
    struct ActiveRequest {
        SearchPattern pattern;
        Snapshot snapshot;
        int generation = 0;
    };

    /// Compiles the options; reports a failure for `action` and returns none.
    std::optional<SearchPattern> compile(const QString& action);
    /// The start of every operation on the active tab: refuses a read-only tab when the
    /// operation `edits`, compiles, takes the snapshot and begins the request; none (with the
    /// reason reported) when it cannot start.
    std::optional<ActiveRequest> beginOnActive(const QString& action, bool edits);
    /// The start of its completion: false, with the idle waiters run, when the request was
    /// superseded, failed (reported) or the tab changed meanwhile (reported).
    bool acceptOnActive(int generation, const Snapshot& snapshot, const QString& action,
                        double timeout, const SearchFailure* failure);
    /// Cancels the running operation and shows "Aranıyor…"; returns the new request number.
    int beginMain();
    /// Says so and returns true when the active document is read-only.
    bool refuseReadOnlyActive();
    std::optional<Snapshot> snapshotActive() const;
    /// True (with the stale status reported) when `snapshot` no longer fits the active tab.
    bool isStale(const Snapshot& snapshot, const QString& action);
    /// Clears the running task and runs the idle waiters; false when `generation` is old.
    bool finishMain(int generation);
    void runIdleWaiters();

    /// What a status speaks of: the find's n/m of the selection, the active tab's text, or
    /// anything else (kept until replaced).
    enum class StatusScope { general, activeTab, position };
    void setStatus(QString text, bool isError, StatusScope scope = StatusScope::general);
    void setOutcome(const QString& action, const QString& result, QVariantMap extra = {});
    void reportFailure(const SearchFailure& failure, const QString& action, double timeout);
    /// The n/m text when `range` is one of the counted matches of the current text.
    QString positionStatus(const EditorDocument& document, TextRange range) const;
    static Prepared prepare(const SearchPattern& pattern, std::u16string_view text,
                            std::u16string_view replacement, std::int64_t limit,
                            const SearchBudget& budget, std::optional<SearchFailure>& failure);
    /// Begins a request over several tabs: loads their pending content (large files on a
    /// worker, see EditorContext::loadPending), then runs `step` unless a newer request came.
    void afterLoading(std::vector<EditorDocument*> documents,
                      std::function<void(int generation, bool completed)> step);
    /// The two all-tabs operations once their tabs are loaded; tabs still pending are left
    /// out and named in the status.
    void replaceInLoadedTabs(int generation, const SearchPattern& pattern, bool completed);
    void findInLoadedTabs(int generation, const SearchPattern& pattern);
    /// Applies a prepared plan, moving its whole text (if any) into the document; the number
    /// of replacements made (0 when refused).
    std::int64_t apply(EditorDocument& document, Prepared& prepared);
    void setCountStatus(QString text);

    StatusScope m_statusScope = StatusScope::general;
    std::shared_ptr<int> m_alive; // its weak copies tell completions the controller lives
    BackgroundSearch m_background;
};

} // namespace vendrix::app
