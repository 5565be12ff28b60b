#include "app/features/findinfiles/FindInFilesPanel.h"

#include "app/features/findinfiles/FileResultsModel.h"
#include "app/features/findinfiles/HitItemDelegate.h"

#include <QAction>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace vendrix::app {
namespace {

QPushButton* makeButton(const QString& title, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setAutoDefault(false);
    button->setAccessibleName(name);
    return button;
}

QLineEdit* makeField(const QString& name, const QString& placeholder, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setAccessibleName(name);
    field->setPlaceholderText(placeholder);
    field->setClearButtonEnabled(true);
    return field;
}

QLabel* labelFor(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

FindInFilesPanel::FindInFilesPanel(FileResultsModel& model, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("findInFilesPanel"));
    setAccessibleName(QStringLiteral("Dosyalarda Bul"));
    queryField = makeField(QStringLiteral("Aranacak metin"), QStringLiteral("Bul"), this);
    caseBox = new QCheckBox(QStringLiteral("Büyük/küçük harf"), this);
    wordBox = new QCheckBox(QStringLiteral("Tam sözcük"), this);
    regexBox = new QCheckBox(QStringLiteral("Düzenli ifade"), this);
    caseBox->setAccessibleName(caseBox->text());
    wordBox->setAccessibleName(wordBox->text());
    regexBox->setAccessibleName(regexBox->text());
    searchButton = makeButton(QStringLiteral("Ara"), QStringLiteral("Ara"), this);
    cancelButton = makeButton(QStringLiteral("Vazgeç"), QStringLiteral("Aramadan vazgeç"), this);
    closeButton =
        makeButton(QStringLiteral("✕"), QStringLiteral("Dosyalarda Bul panelini kapat"), this);
    closeButton->setToolTip(QStringLiteral("Kapat"));
    closeButton->setFixedWidth(28);
    replaceField = makeField(QStringLiteral("Yeni metin"),
                             QStringLiteral("Değiştir (düzenli ifadede gruplar: $1, $2 …)"), this);
    replaceButton = makeButton(QStringLiteral("İşaretlileri Sekmelerde Değiştir"),
                               QStringLiteral("İşaretli sonuçları sekmelerde değiştir"), this);
    folderField = makeField(QStringLiteral("Klasör"), QStringLiteral("Aranacak klasör"), this);
    folderButton = makeButton(QStringLiteral("…"), QStringLiteral("Klasör seç"), this);
    folderButton->setToolTip(QStringLiteral("Klasör seç"));
    folderButton->setFixedWidth(32);
    includeField = makeField(QStringLiteral("Dahil edilecek dosyalar"),
                             QStringLiteral("ör. *.cpp, *.h"), this);
    excludeField = makeField(QStringLiteral("Hariç tutulacak dosyalar"),
                             QStringLiteral("ör. build/, *.min.js"), this);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    grid->addWidget(labelFor(QStringLiteral("Bul:"), queryField, this), 0, 0);
    grid->addWidget(queryField, 0, 1);
    auto* options = new QHBoxLayout;
    for (QWidget* widget : {static_cast<QWidget*>(caseBox), static_cast<QWidget*>(wordBox),
                            static_cast<QWidget*>(regexBox), static_cast<QWidget*>(searchButton),
                            static_cast<QWidget*>(cancelButton)})
        options->addWidget(widget);
    options->addStretch(1);
    options->addWidget(closeButton);
    grid->addLayout(options, 0, 2, 1, 3);
    grid->addWidget(labelFor(QStringLiteral("Değiştir:"), replaceField, this), 1, 0);
    grid->addWidget(replaceField, 1, 1);
    auto* replaceRow = new QHBoxLayout;
    replaceRow->addWidget(replaceButton);
    replaceRow->addStretch(1);
    grid->addLayout(replaceRow, 1, 2, 1, 3);
    grid->addWidget(labelFor(QStringLiteral("Klasör:"), folderField, this), 2, 0);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderField, 1);
    folderRow->addWidget(folderButton);
    grid->addLayout(folderRow, 2, 1);
    auto* globRow = new QHBoxLayout;
    globRow->addWidget(labelFor(QStringLiteral("Dahil:"), includeField, this));
    globRow->addWidget(includeField, 1);
    globRow->addWidget(labelFor(QStringLiteral("Hariç:"), excludeField, this));
    globRow->addWidget(excludeField, 1);
    grid->addLayout(globRow, 2, 2, 1, 3);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 2);

    // The status names files and queries as typed: plain text.
    statusLabel = new QLabel(this);
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLabel->setAccessibleName(QStringLiteral("Arama durumu"));

    results = new QTreeView(this);
    results->setAccessibleName(QStringLiteral("Dosyalarda arama sonuçları"));
    results->setModel(&model);
    results->setItemDelegate(new HitItemDelegate(results));
    results->setHeaderHidden(true);
    results->setUniformRowHeights(true);
    results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results->setSelectionMode(QAbstractItemView::SingleSelection);
    results->setExpandsOnDoubleClick(false);
    results->setTextElideMode(Qt::ElideMiddle);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(std::max(7.0, font.pointSizeF() - 1));
    results->setFont(font);
    results->setMinimumHeight(140);
    // Files arrive expanded, so that a hit is one Down away.
    connect(&model, &QAbstractItemModel::rowsInserted, results,
            [this](const QModelIndex& under, int first, int last) {
                if (under.isValid())
                    return;
                for (int row = first; row <= last; ++row)
                    results->expand(results->model()->index(row, 0));
            });

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 4, 6, 4);
    rows->setSpacing(3);
    rows->addLayout(grid);
    rows->addWidget(statusLabel);
    rows->addWidget(results, 1);

    QWidget* order[] = {queryField,   caseBox,      wordBox,       regexBox,    searchButton,
                        cancelButton, replaceField, replaceButton, folderField, folderButton,
                        includeField, excludeField, results,       closeButton};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    for (QLineEdit* field : {queryField, replaceField, folderField, includeField, excludeField})
        connect(field, &QLineEdit::returnPressed, this, &FindInFilesPanel::searchRequested);
    connect(searchButton, &QPushButton::clicked, this, &FindInFilesPanel::searchRequested);
    connect(cancelButton, &QPushButton::clicked, this, &FindInFilesPanel::cancelRequested);
    connect(replaceButton, &QPushButton::clicked, this, &FindInFilesPanel::replaceRequested);
    connect(folderButton, &QPushButton::clicked, this, &FindInFilesPanel::chooseFolderRequested);
    connect(closeButton, &QPushButton::clicked, this, &FindInFilesPanel::closeRequested);
    connect(results, &QTreeView::activated, this, &FindInFilesPanel::resultActivated);
    auto* escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QAction::triggered, this, &FindInFilesPanel::closeRequested);
    addAction(escape);
    setRunning(false);
}

void FindInFilesPanel::setRunning(bool running) {
    cancelButton->setEnabled(running);
    searchButton->setEnabled(!running);
    replaceButton->setEnabled(!running);
}

void FindInFilesPanel::setStatus(const QString& text) {
    statusLabel->setText(text);
}

} // namespace vendrix::app
