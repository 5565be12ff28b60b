#pragma once

#include "app/context/EditorFeature.h"
#include "app/context/EditorObservation.h"
#include "app/features/findinfiles/FileResultsModel.h"
#include "core/search/SearchPattern.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <optional>

class QModelIndex;

namespace vendrix::app {

class EditorContext;
class FindInFilesPanel;
class FolderSearchJob;
class ReplaceInTabs;

/// "Dosyalarda Bul…": a panel below the text that searches the files of a folder on disk in
/// the background, lists the hits by file as they come, opens a file at a hit, and replaces
/// the checked hits inside tabs (never on disk until the user saves).
class FindInFilesFeature final : public QObject, public EditorFeature {
    Q_OBJECT

public:
    FindInFilesFeature();
    ~FindInFilesFeature() override;

    void attach(EditorContext& context) override;
    void contributeMenus(MenuBuilder& builder) override;

    /// Shows the panel with the folder of the active file (else the last one searched) and
    /// the selected text as the query, and focuses the query.
    void showPanel();
    void closePanel();
    /// Searches with what the panel's fields say; a running search is dropped first.
    void startSearch();
    void cancelSearch();
    /// Opens the file of a result row at its hit (a file row: its first hit) and selects it.
    void openResult(const QModelIndex& index);
    /// Replaces the checked hits in tabs and reports what it did.
    void replaceChecked();

    FindInFilesPanel* panel() const;
    FileResultsModel& model() { return m_model; }
    bool isSearching() const;
    bool isReplacing() const;
    /// The folder of the last search started.
    QString lastFolder;

private:
    void takeResults();
    void searchFinished();
    void showProgress();
    void chooseFolder();
    void replaceFinished();

    EditorContext* m_ctx = nullptr;
    FileResultsModel m_model;
    QPointer<FindInFilesPanel> m_panel;
    QPointer<FolderSearchJob> m_job;
    QPointer<ReplaceInTabs> m_replace;
    /// The pattern the shown results were found with (a replacement uses it, whatever the
    /// fields say now).
    std::optional<SearchPattern> m_resultsPattern;
    EditorObservation m_observation;
    /// Looks for result files changed on disk while the panel is open.
    QTimer m_changeCheck;
};

} // namespace vendrix::app
