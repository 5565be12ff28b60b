#include "app/features/search/SearchResultsView.h"

#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "app/features/search/FindIndicator.h"
#include "app/features/search/SearchText.h"
#include "app/view/EditorTextView.h"

#include <QAction>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vendrix::app {

void SearchResultsModel::reset(std::vector<SearchHit> hits, QHash<QUuid, QString> titles) {
    beginResetModel();
    m_hits = std::move(hits);
    m_titles = std::move(titles);
    endResetModel();
}

int SearchResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_hits.size());
}

QString SearchResultsModel::rowText(int row) const {
    const SearchHit& hit = m_hits.at(static_cast<std::size_t>(row));
    const QString title = m_titles.value(toQUuid(hit.documentID), QStringLiteral("?"));
    return title + QStringLiteral(" : ") + QString::number(hit.line + 1) + QStringLiteral("  ") +
           toQString(hit.preview);
}

QVariant SearchResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return rowText(index.row());
    return {};
}

SearchResultsView::SearchResultsView(EditorContext& context, QWidget* parent)
    : QWidget(parent), ctx(context) {
    setObjectName(QStringLiteral("searchResults"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(3);
    auto* top = new QHBoxLayout;
    header = new QLabel(this);
    header->setTextFormat(Qt::PlainText);
    top->addWidget(header, 1);
    closeTarget = new QPushButton(QStringLiteral("✕"), this);
    closeTarget->setToolTip(QStringLiteral("Kapat"));
    closeTarget->setFixedWidth(28);
    closeTarget->setAccessibleName(QStringLiteral("Arama sonuçlarını kapat"));
    closeTarget->setAutoDefault(false);
    connect(closeTarget, &QPushButton::clicked, this, [this] { emit closeRequested(); });
    top->addWidget(closeTarget);
    layout->addLayout(top);

    m_model = new SearchResultsModel(this);
    table = new QListView(this);
    table->setAccessibleName(QStringLiteral("Arama sonuçları"));
    table->setModel(m_model);
    // Equal row heights let the list place any row without measuring those above it.
    table->setUniformItemSizes(true);
    table->setAlternatingRowColors(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(std::max(7.0, font.pointSizeF() - 1));
    table->setFont(font);
    table->setMinimumHeight(120);
    table->setMaximumHeight(220);
    connect(table, &QListView::clicked, this,
            [this](const QModelIndex& index) { jumpTo(index.row()); });
    connect(table, &QListView::activated, this,
            [this](const QModelIndex& index) { jumpTo(index.row()); });
    layout->addWidget(table);
    // Escape anywhere in the panel closes it, like the bars (the focus goes back to the text).
    auto* escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QAction::triggered, this, [this] { emit closeRequested(); });
    addAction(escape);
}

void SearchResultsView::show(std::vector<SearchHit> hits, const QString& summaryText) {
    summary = summaryText;
    header->setText(summary);
    QHash<QUuid, QString> titles;
    for (EditorDocument* document : ctx.documents()) {
        const auto& path = document->fileURL();
        titles.insert(document->id(),
                      path ? QFileInfo(*path).fileName()
                           : QStringLiteral("Yeni %1").arg(document->untitledNumber().value_or(1)));
    }
    m_model->reset(std::move(hits), std::move(titles));
    if (m_model->rowCount() > 0)
        table->scrollToTop();
}

void SearchResultsView::jumpTo(int row) {
    if (row < 0 || row >= m_model->rowCount())
        return;
    const SearchHit& hit = m_model->hits()[static_cast<std::size_t>(row)];
    const QUuid id = toQUuid(hit.documentID);
    EditorDocument* target = nullptr;
    for (EditorDocument* document : ctx.documents())
        if (document->id() == id)
            target = document;
    if (!target)
        return;
    ctx.activate(*target);
    if (ctx.activeDocument() != target)
        return;
    // A hit of a text edited since the search is clamped to what the text holds now.
    ctx.select(hit.range);
    if (EditorTextView* view = ctx.textView()) {
        view->setFocus(Qt::OtherFocusReason);
        FindIndicator::flash(view, view->selectedRange());
    }
}

} // namespace vendrix::app
