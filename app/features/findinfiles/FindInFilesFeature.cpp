#include "app/features/findinfiles/FindInFilesFeature.h"

#include "app/context/EditorContext.h"
#include "app/context/MenuBuilder.h"
#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/features/findinfiles/FindInFilesPanel.h"
#include "app/features/findinfiles/FolderSearchJob.h"
#include "app/features/findinfiles/ReplaceInTabs.h"
#include "app/view/EditorTextView.h"
#include "core/text/TextStorage.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

namespace vendrix::app {
namespace {

/// Longest selection taken as the query.
constexpr std::int64_t prefillLimit = 500;

/// The globs of a comma-separated field; excluded ones get the "!" the walker expects.
std::vector<std::string> globsOf(const QString& field, bool exclude) {
    std::vector<std::string> globs;
    for (const QString& part : field.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString glob = part.trimmed();
        if (!glob.isEmpty())
            globs.push_back((exclude ? "!" : "") + glob.toStdString());
    }
    return globs;
}

QString failureText(const SearchFailure& failure) {
    switch (failure.kind) {
    case SearchFailure::Kind::invalidPattern:
        return QStringLiteral("Geçersiz düzenli ifade: ") +
               QString::fromStdU16String(failure.pattern);
    case SearchFailure::Kind::emptyQuery:
        return QStringLiteral("Aranacak metni yazın.");
    case SearchFailure::Kind::timedOut:
        return QStringLiteral("Arama çok uzun sürdü.");
    case SearchFailure::Kind::cancelled:
        return QStringLiteral("Vazgeçildi.");
    }
    return {};
}

} // namespace

FindInFilesFeature::FindInFilesFeature() {
    m_changeCheck.setInterval(2000);
    connect(&m_changeCheck, &QTimer::timeout, this, [this] { m_model.refreshChanged(); });
}

FindInFilesFeature::~FindInFilesFeature() {
    delete m_job;
    delete m_replace;
    delete m_panel;
}

void FindInFilesFeature::attach(EditorContext& context) {
    m_ctx = &context;
    m_observation = context.observe([this](const EditorEvent& event) {
        // A tab saved over a result's file: its mark comes at once.
        if (event.kind == EditorEvent::Kind::documentSaved)
            m_model.refreshChanged();
    });
}

void FindInFilesFeature::contributeMenus(MenuBuilder& builder) {
    QAction* item =
        MenuActionTarget::makeAction(MenuCommand{QStringLiteral("Dosyalarda Bul…"),
                                                 [this] { showPanel(); },
                                                 {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H)}});
    // Beside the search across tabs when the menu has it, else at its end.
    QMenu* menu = builder.menu(MenuID::search);
    const QList<QAction*> actions = menu->actions();
    for (qsizetype i = 0; i < actions.size(); ++i)
        if (actions[i]->text() == QStringLiteral("Tüm Sekmelerde Değiştir")) {
            item->setParent(menu);
            menu->insertAction(i + 1 < actions.size() ? actions[i + 1] : nullptr, item);
            return;
        }
    builder.addSeparator(MenuID::search);
    builder.addItem(MenuID::search, item);
}

void FindInFilesFeature::showPanel() {
    if (!m_ctx)
        return;
    if (!m_panel) {
        m_panel = new FindInFilesPanel(m_model);
        connect(m_panel, &FindInFilesPanel::searchRequested, this,
                &FindInFilesFeature::startSearch);
        connect(m_panel, &FindInFilesPanel::cancelRequested, this,
                &FindInFilesFeature::cancelSearch);
        connect(m_panel, &FindInFilesPanel::replaceRequested, this,
                &FindInFilesFeature::replaceChecked);
        connect(m_panel, &FindInFilesPanel::chooseFolderRequested, this,
                &FindInFilesFeature::chooseFolder);
        connect(m_panel, &FindInFilesPanel::closeRequested, this, &FindInFilesFeature::closePanel);
        connect(m_panel, &FindInFilesPanel::resultActivated, this, &FindInFilesFeature::openResult);
    }
    EditorDocument* document = m_ctx->activeDocument();
    if (document && document->fileURL())
        m_panel->folderField->setText(QFileInfo(*document->fileURL()).absolutePath());
    else if (!lastFolder.isEmpty())
        m_panel->folderField->setText(lastFolder);
    else if (m_panel->folderField->text().isEmpty())
        m_panel->folderField->setText(QDir::homePath());
    // A selection on one line is what the user wants to find.
    if (EditorTextView* view = m_ctx->textView();
        view && document && document->isLoaded() && view->document() == document) {
        const TextRange selection = view->selectedRange();
        if (selection.length > 0 && selection.length <= prefillLimit) {
            const std::u16string text = document->storage()->substring(selection);
            if (text.find(u'\n') == std::u16string::npos)
                m_panel->queryField->setText(QString::fromStdU16String(text));
        }
    }
    m_ctx->addAccessory(m_panel, true);
    m_model.refreshChanged();
    m_changeCheck.start();
    m_panel->queryField->setFocus(Qt::ShortcutFocusReason);
    m_panel->queryField->selectAll();
}

void FindInFilesFeature::closePanel() {
    cancelSearch();
    m_changeCheck.stop();
    if (m_ctx && m_panel)
        m_ctx->removeAccessory(m_panel);
}

FindInFilesPanel* FindInFilesFeature::panel() const {
    return m_panel;
}

bool FindInFilesFeature::isSearching() const {
    return m_job && m_job->isRunning();
}

bool FindInFilesFeature::isReplacing() const {
    return m_replace && !m_replace->isFinished();
}

void FindInFilesFeature::startSearch() {
    if (!m_panel)
        return;
    delete m_job; // cancels a running search
    SearchOptions options;
    options.query = m_panel->queryField->text().toStdU16String();
    options.isRegex = m_panel->regexBox->isChecked();
    options.matchCase = m_panel->caseBox->isChecked();
    options.wholeWord = m_panel->wordBox->isChecked();
    auto pattern = SearchPattern::compile(options);
    if (!pattern) {
        m_panel->setStatus(failureText(pattern.error()));
        return;
    }
    QString folder = m_panel->folderField->text().trimmed();
    if (folder == QStringLiteral("~") || folder.startsWith(QStringLiteral("~/")))
        folder = QDir::homePath() + folder.mid(1);
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) {
        m_panel->setStatus(QStringLiteral("Klasör bulunamadı: ") + folder);
        return;
    }
    folder = QDir::cleanPath(info.absoluteFilePath());
    lastFolder = folder;

    FolderSearchOptions searchOptions;
    searchOptions.walk.globs = globsOf(m_panel->includeField->text(), false);
    for (std::string& glob : globsOf(m_panel->excludeField->text(), true))
        searchOptions.walk.globs.push_back(std::move(glob));
    m_model.reset(folder);
    m_resultsPattern = *pattern;
    m_job = new FolderSearchJob(m_ctx->jobRunner(), *pattern,
                                {QFile::encodeName(folder).toStdString()}, searchOptions, this);
    connect(m_job, &FolderSearchJob::resultsReady, this, &FindInFilesFeature::takeResults);
    connect(m_job, &FolderSearchJob::finished, this, &FindInFilesFeature::searchFinished);
    m_panel->setRunning(true);
    m_panel->setStatus(QStringLiteral("Aranıyor…"));
    m_job->start();
}

void FindInFilesFeature::cancelSearch() {
    if (m_job)
        m_job->cancel();
}

void FindInFilesFeature::takeResults() {
    if (!m_job)
        return;
    m_model.append(m_job->takeResults());
    showProgress();
}

void FindInFilesFeature::showProgress() {
    if (m_panel)
        m_panel->setStatus(QStringLiteral("Aranıyor… %1 dosyada %2 eşleşme")
                               .arg(m_model.filesWithHits())
                               .arg(m_model.hitCount()));
}

void FindInFilesFeature::searchFinished() {
    if (!m_job)
        return;
    takeResults();
    const FolderSearchJob::Outcome outcome = *m_job->outcome();
    m_job->deleteLater();
    m_job = nullptr;
    if (!m_panel)
        return;
    m_panel->setRunning(false);
    const QString counts = m_model.hitCount() == 0 ? QStringLiteral("Eşleşme bulunamadı")
                                                   : QStringLiteral("%1 dosyada %2 eşleşme")
                                                         .arg(m_model.filesWithHits())
                                                         .arg(m_model.hitCount());
    if (!outcome) {
        m_panel->setStatus(failureText(outcome.error()) + QStringLiteral(" ") + counts);
        return;
    }
    QString text = counts;
    if (const std::int64_t skipped = outcome->binarySkipped + outcome->tooLargeSkipped)
        text += QStringLiteral("; %1 dosya atlandı (ikili ya da çok büyük)").arg(skipped);
    if (outcome->problems > 0)
        text += QStringLiteral("; %1 dosya okunamadı").arg(outcome->problems);
    if (outcome->truncated)
        text += QStringLiteral("; ilk %1 eşleşmede durdu").arg(m_model.hitCount());
    m_panel->setStatus(text);
}

void FindInFilesFeature::chooseFolder() {
    if (!m_panel || !m_ctx)
        return;
    const QString chosen = QFileDialog::getExistingDirectory(
        m_ctx->window(), QStringLiteral("Aranacak Klasör"), m_panel->folderField->text());
    if (!chosen.isEmpty())
        m_panel->folderField->setText(chosen);
    m_panel->folderField->setFocus(Qt::OtherFocusReason);
}

void FindInFilesFeature::openResult(const QModelIndex& index) {
    const FileResultsModel::File* file = m_model.fileAt(index);
    if (!m_ctx || !file || file->hits.empty())
        return;
    const FileHit hit = file->hits[static_cast<std::size_t>(std::max(0, m_model.hitRow(index)))];
    EditorContext* context = m_ctx;
    QPointer<FindInFilesFeature> self(this);
    context->openFile(file->path, [self, context, hit](EditorDocument* opened) {
        if (!self || !opened)
            return;
        QPointer<EditorDocument> document(opened);
        context->loadPending({opened}, [self, context, document, hit](bool) {
            if (!self || !document || !document->isLoaded())
                return;
            context->activate(*document);
            if (context->activeDocument() != document)
                return;
            // A text changed since the search is clamped to what it holds now.
            const LineIndex& lines = document->lineIndex();
            const std::int64_t start =
                hit.line < lines.lineCount()
                    ? std::min(lines.lineStart(hit.line) + hit.column, lines.range(hit.line).end())
                    : document->length();
            context->select({start, hit.length});
            if (EditorTextView* view = context->textView())
                view->setFocus(Qt::OtherFocusReason);
        });
    });
}

void FindInFilesFeature::replaceChecked() {
    if (!m_ctx || !m_panel || isSearching() || isReplacing())
        return;
    std::vector<ReplaceInTabs::Target> targets;
    for (const FileResultsModel::File& file : m_model.files()) {
        ReplaceInTabs::Target target{file.path, file.shownPath, {}, file.stamp};
        for (std::size_t i = 0; i < file.hits.size(); ++i)
            if (file.checked[i])
                target.hits.push_back(file.hits[i]);
        if (!target.hits.empty())
            targets.push_back(std::move(target));
    }
    if (targets.empty() || !m_resultsPattern) {
        m_panel->setStatus(QStringLiteral("Değiştirilecek işaretli sonuç yok."));
        return;
    }
    delete m_replace;
    m_replace =
        new ReplaceInTabs(*m_ctx, *m_resultsPattern, m_panel->replaceField->text().toStdU16String(),
                          std::move(targets), this);
    connect(m_replace, &ReplaceInTabs::finished, this, &FindInFilesFeature::replaceFinished);
    // The buttons stay as they are (the focus too): a second replace waits for this one.
    m_panel->setStatus(QStringLiteral("Sekmelerde değiştiriliyor…"));
    m_replace->start();
}

void FindInFilesFeature::replaceFinished() {
    if (!m_replace || !m_ctx)
        return;
    const QString summary = m_replace->summary();
    const QString detail = m_replace->detail();
    if (m_panel)
        m_panel->setStatus(summary + QStringLiteral(" (kaydedilmedi)"));
    m_ctx->prompter().alert(summary, detail, PromptRequest::Style::informational);
}

} // namespace vendrix::app
