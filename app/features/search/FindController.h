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

#include <cstdint>
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

    /// Plans with more replacements than this also carry the whole new text.
    static constexpr std::int64_t wholeTextThreshold = 2'000;
    static constexpr std::int64_t countLimit = 10'000;
    static constexpr int queryCountDelayMs = 150;
    static constexpr int textCountDelayMs = 300;
    static inline const QString staleMessage =
        QStringLiteral("Metin arama sırasında değişti; tekrar deneyin");

    explicit FindController(EditorContext& context, QObject* parent = nullptr);
    ~FindController() override;

    // What the find bar's fields hold. Setting them starts nothing; optionsChanged() (or a
    // command) does.
    const QString& query() const { return m_query; }
    void setQuery(QString query) { m_query = std::move(query); }
    const QString& replacement() const { return m_replacement; }
    void setReplacement(QString replacement) { m_replacement = std::move(replacement); }
    bool isRegex() const { return m_isRegex; }
    void setRegex(bool on) { m_isRegex = on; }
    bool matchCase() const { return m_matchCase; }
    void setMatchCase(bool on) { m_matchCase = on; }
    bool wholeWord() const { return m_wholeWord; }
    void setWholeWord(bool on) { m_wholeWord = on; }
    bool wraps() const { return m_wraps; }
    void setWraps(bool on) { m_wraps = on; }
    /// The options of the bar's fields.
    SearchOptions options() const;

    /// The live count runs while the find bar is shown.
    bool isLiveCounting() const { return m_liveCounting; }
    void setLiveCounting(bool on) { m_liveCounting = on; }

    /// What the last operation said ("Aranıyor…", "2/3", "Bulunamadı: …", a failure), and
    /// whether it reports a failure or something left undone.
    const QString& status() const { return m_status; }
    bool statusIsError() const { return m_statusIsError; }
    /// The live count's text ("12 eşleşme", "10000+ eşleşme", a failure; empty when none).
    const QString& countStatus() const { return m_countStatus; }

    /// The marks of the counted matches and of the selected word.
    MatchHighlighter& highlighter() { return m_highlighter; }
    const MatchHighlighter& highlighter() const { return m_highlighter; }

    /// Budgets in seconds of one search in the active tab and of one over all tabs; the
    /// status quotes them in whole seconds.
    void setTimeouts(double interactive, double bulk) {
        m_interactiveTimeout = interactive;
        m_bulkTimeout = bulk;
    }
    /// Most replacements one replace-all plans (no practical limit unless set).
    void setReplaceLimit(std::int64_t limit) { m_replaceLimit = limit; }

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
    /// Whether a live count is running on the search queue.
    bool isCounting() const { return m_countTask != nullptr; }

    /// The active tab changed: a status about the previous tab's text ("2/3", "Bulunamadı:
    /// …") goes; the new tab's selection shows its n/m when it is a counted match (see
    /// refreshPosition).
    void activeDocumentChanged();
    /// After the last find found a match, the status says which of the counted matches the
    /// selection is ("2/3"): recomputed here when the text, the selection or the count
    /// changed, and empty while the selection is no counted match of the current text.
    void refreshPosition();

    /// Whether a main operation is still running.
    bool isBusy() const { return m_mainTask != nullptr; }

signals:
    /// The status or the count's text changed.
    void statusChanged();
    /// The hits of a find in all tabs (the status already holds its summary).
    void resultsFound(const vendrix::MultiDocumentResult& result);
    /// A main operation ended (done, failed or superseded) and none is pending.
    void idle();

private:
    /// The matches of the last completed live count.
    struct Counted {
        QUuid document;
        std::int64_t revision = 0;
        std::vector<TextRange> ranges;
    };
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

    /// Compiles the options; reports a failure and returns none.
    std::optional<SearchPattern> compile();
    /// The start of every operation on the active tab: refuses a read-only tab when the
    /// operation `edits`, compiles, takes the snapshot and begins the request; none (with the
    /// reason reported) when it cannot start.
    std::optional<ActiveRequest> beginOnActive(bool edits);
    /// The start of its completion: false, with idle() reported, when the request was
    /// superseded, failed (reported) or the tab changed meanwhile (reported).
    bool acceptOnActive(int generation, const Snapshot& snapshot, double timeout,
                        const SearchFailure* failure);
    /// Cancels the running operation and shows "Aranıyor…"; returns the new request number.
    int beginMain();
    /// Says so and returns true when the active document is read-only.
    bool refuseReadOnlyActive();
    std::optional<Snapshot> snapshotActive() const;
    /// True (with the stale status reported) when `snapshot` no longer fits the active tab.
    bool isStale(const Snapshot& snapshot);
    /// Clears the running task; false when `generation` is old.
    bool finishMain(int generation);
    /// Says idle() when no main operation runs.
    void reportIdle();

    /// What a status speaks of: the find's n/m of the selection, the active tab's text, or
    /// anything else (kept until replaced).
    enum class StatusScope { general, activeTab, position };
    void setStatus(QString text, bool isError, StatusScope scope = StatusScope::general);
    void reportFailure(const SearchFailure& failure, double timeout);
    /// The n/m text when `range` is one of the counted matches of the current text.
    QString positionStatus(const EditorDocument& document, TextRange range) const;
    static Prepared prepare(const SearchPattern& pattern, std::u16string_view text,
                            std::u16string_view replacement, std::int64_t limit,
                            const SearchBudget& budget, std::optional<SearchFailure>& failure);
    /// The two operations over all tabs.
    enum class AllTabs { find, replace };
    /// Begins a request over several tabs: loads their pending content (large files on a
    /// worker, see EditorContext::loadPending), then runs `operation` unless a newer request
    /// came.
    void afterLoading(std::vector<EditorDocument*> documents, AllTabs operation,
                      SearchPattern pattern);
    /// The two all-tabs operations once their tabs are loaded; tabs still pending are left
    /// out and named in the status.
    void replaceInLoadedTabs(int generation, const SearchPattern& pattern, bool completed);
    void findInLoadedTabs(int generation, const SearchPattern& pattern);
    /// Applies a prepared plan, moving its whole text (if any) into the document; the number
    /// of replacements made (0 when refused).
    std::int64_t apply(EditorDocument& document, Prepared& prepared);
    void setCountStatus(QString text);

    EditorContext& m_ctx;
    MatchHighlighter m_highlighter;

    QString m_query;
    QString m_replacement;
    bool m_isRegex = false;
    bool m_matchCase = false;
    bool m_wholeWord = false;
    bool m_wraps = true;
    bool m_liveCounting = false;

    QString m_status;
    bool m_statusIsError = false;
    StatusScope m_statusScope = StatusScope::general;
    QString m_countStatus;
    std::optional<std::int64_t> m_matchCount;
    bool m_countTruncated = false;

    double m_interactiveTimeout = BackgroundSearch::interactiveTimeout;
    double m_bulkTimeout = BackgroundSearch::bulkTimeout;
    std::int64_t m_replaceLimit = INT64_MAX;

    std::shared_ptr<SearchCancellation> m_mainTask;
    int m_mainGeneration = 0;
    std::shared_ptr<SearchCancellation> m_countTask;
    int m_countGeneration = 0;
    QTimer m_countWork;
    std::optional<Counted> m_counted;
    std::shared_ptr<int> m_alive; // its weak copies tell completions the controller lives
    BackgroundSearch m_background;
};

} // namespace vendrix::app
