#pragma once

#include "core/search/SearchHit.h"

#include <QAbstractListModel>
#include <QHash>
#include <QUuid>
#include <QWidget>

#include <vector>

class QLabel;
class QListView;
class QPushButton;

namespace vendrix::app {

class EditorContext;

/// The rows of a results list: one per hit, text made when a row is shown, so ten thousand
/// hits cost no more than the rows on screen.
class SearchResultsModel final : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    void reset(std::vector<SearchHit> hits, QHash<QUuid, QString> titles);
    const std::vector<SearchHit>& hits() const { return m_hits; }
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    /// "title : line  preview"; "?" for a document no longer open.
    QString rowText(int row) const;

private:
    std::vector<SearchHit> m_hits;
    QHash<QUuid, QString> m_titles;
};

/// The results of a find in all tabs: a header with the summary, the list of hits and a close
/// button. Activating a row shows its hit in its tab.
class SearchResultsView final : public QWidget {
    Q_OBJECT

public:
    explicit SearchResultsView(EditorContext& context, QWidget* parent = nullptr);

    EditorContext& ctx;
    QLabel* header = nullptr;
    QListView* table = nullptr;
    QPushButton* closeTarget = nullptr;
    QString summary;

    /// Shows `hits` under `summaryText`, titled by the documents open now.
    void show(std::vector<SearchHit> hits, const QString& summaryText);
    const std::vector<SearchHit>& hits() const { return m_model->hits(); }
    SearchResultsModel* model() const { return m_model; }
    /// Shows the hit of `row`: activates its tab, selects the range, focuses the text and
    /// flashes the match. Nothing happens when its document was closed.
    void jumpTo(int row);

signals:
    /// Escape or the close button: the owner takes the list away.
    void closeRequested();

private:
    SearchResultsModel* m_model = nullptr;
};

} // namespace vendrix::app
