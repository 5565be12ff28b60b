#pragma once

#include "app/context/EditorContext.h"
#include "app/context/EditorFeature.h"
#include "app/context/EditorObservation.h"
#include "app/features/search/FindBar.h"
#include "app/features/search/GoToLineBar.h"
#include "app/features/search/SearchResultsView.h"
#include "core/search/MultiDocumentSearch.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

namespace vendrix::app {

class FindController;

/// The search feature: the find bar, the go-to-line bar and the results of a find in all
/// tabs over one FindController, the selected-word highlight and the Search menu.
class SearchFeature final : public QObject, public EditorFeature {
    Q_OBJECT

public:
    static constexpr int wordDelayMs = 120;
    static constexpr std::int64_t prefillLimit = 500;
    static constexpr std::int64_t wordSearchMargin = 20'000;

    SearchFeature();
    ~SearchFeature() override;

    const QString id = QStringLiteral("search");
    EditorContext* ctx = nullptr;
    std::unique_ptr<FindController> find;
    bool isFindBarVisible = false;
    bool isResultsVisible = false;
    bool isGoToLineVisible = false;
    QTimer wordWork;

    void attach(EditorContext& context) override;
    void contributeMenus(MenuBuilder& builder) override;

    // Commands (the menu items call these).
    /// "Bul…" and "Bul ve Değiştir…": prefill, show the bar, start counting, focus.
    void showFindBar(bool withReplace);
    void closeFindBar();
    void findNext(bool forward);
    void useSelectionForFind();
    void findInAllTabs();
    void showGoToLine();
    void closeGoToLine();
    void closeResults();
    void toggleHighlightSelectedWord();

    FindBar* findBar() const { return m_findBar; }
    GoToLineBar* goToLineBar() const { return m_goToLineBar; }
    SearchResultsView* resultsView() const { return m_results; }
    bool highlightsSelectedWord() const;

    /// Recomputes the selected-word highlight now (the delayed work calls it).
    void updateWordHighlight();

private:
    void handle(const EditorEvent& event);
    void scheduleWordHighlight();
    /// The go-to-line bar's line range follows the active tab and its edits.
    void refreshGoToLineRange();
    /// The selection the commands work on: the bounding range of a column selection, else
    /// the view's selection.
    TextRange effectiveSelection() const;
    /// The first non-empty line part of a column selection with width, if any.
    std::optional<TextRange> firstColumnPart() const;
    bool activeIsEditable() const;
    void showResults(const MultiDocumentResult& result);

    QPointer<FindBar> m_findBar;
    QPointer<GoToLineBar> m_goToLineBar;
    QPointer<SearchResultsView> m_results;
    EditorObservation m_observation;
    QMetaObject::Connection m_viewConnection;
    /// The setting where the window keeps no settings (test doubles).
    bool m_ownHighlightSelectedWord = true;
};

} // namespace vendrix::app
