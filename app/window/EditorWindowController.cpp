#include "app/window/EditorWindowController.h"

#include "app/window/BarFocusCycle.h"
#include "app/platform/FileWatcher.h"
#include "app/window/OpenFormattingQueue.h"
#include "app/jobs/PoolJobRunner.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "app/view/LineNumberRulerView.h"
#include "app/session/RecentFiles.h"
#include "app/window/WindowBars.h"
#include "app/workspace/WindowMessages.h"
#include "app/settings/ViewOptionsController.h"
#include "app/window/TabBarView.h"
#include "core/persistence/SettingsBacking.h"
#include "core/persistence/SettingsStore.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace vendrix::app {
namespace {

constexpr std::string_view kGeometryKey = "window.VendrixMain.geometry";

/// The window: forwards closing to the controller's bookkeeping and accepts dropped files.
class EditorMainWindow final : public QMainWindow {
public:
    std::function<void()> onClose;
    std::function<bool(const QList<QUrl>&)> onDropFiles;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (onClose)
            onClose();
        event->accept();
    }
};

} // namespace

/// Counts the window's open prompts, so that requests arriving inside their event loops wait.
class EditorWindowController::GuardedPrompter final : public Prompter {
public:
    GuardedPrompter(EditorWindowController& owner, Prompter& inner) : m_owner(owner), m_inner(inner) {}
    PromptAnswer ask(const PromptRequest& request) override {
        return m_owner.whilePrompting([&] { return m_inner.ask(request); });
    }

private:
    EditorWindowController& m_owner;
    Prompter& m_inner;
};

JobRunner& EditorWindowController::jobRunner() { return *m_jobs; }

/// The file dialogs, run with the window's requests queued meanwhile.
class EditorWindowController::DialogPanels final : public FilePanels {
public:
    explicit DialogPanels(EditorWindowController& owner) : m_owner(owner) {}
    QStringList chooseFilesToOpen() override {
        return m_owner.whilePrompting([&] {
            return QFileDialog::getOpenFileNames(m_owner.window(), QStringLiteral("Aç"));
        });
    }
    std::optional<QString> chooseSaveTarget(const QString& proposedName) override {
        QString path = m_owner.whilePrompting([&] {
            return QFileDialog::getSaveFileName(m_owner.window(), QStringLiteral("Farklı Kaydet"),
                                                proposedName);
        });
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }

private:
    EditorWindowController& m_owner;
};

/// What the settings owner does in the window: tab rows, wrapping, the appearance event.
class EditorWindowController::OptionsHost final : public ViewOptionsController::Host {
public:
    explicit OptionsHost(EditorWindowController& owner) : m_owner(owner) {}
    void setMultilineTabs(bool multiline) override { m_owner.tabBar()->setMultiline(multiline); }
    bool wrapsLines() const override { return m_owner.wrapsLines(); }
    void setWrapsLines(bool wraps) override { m_owner.setWrapsLines(wraps); }
    void fontChanged() override {
        m_owner.m_workspace.broadcast(EditorEvent::Kind::appearanceChanged, nullptr);
    }

private:
    EditorWindowController& m_owner;
};

Prompter& EditorWindowController::prompter() {
    return *m_guardedPrompter;
}

EditorWindowController::EditorWindowController(Options options, QObject* parent)
    : QObject(parent), m_jobs(std::make_unique<PoolJobRunner>()), m_settings(options.settings),
      m_recentFiles(options.recentFiles) {
    buildWindow();
    if (!options.prompter) {
        m_ownPrompter = std::make_unique<MessageBoxPrompter>(m_window.get());
        options.prompter = m_ownPrompter.get();
    }
    m_guardedPrompter = std::make_unique<GuardedPrompter>(*this, *options.prompter);

    if (!options.panels) {
        m_ownPanels = std::make_unique<DialogPanels>(*this);
        options.panels = m_ownPanels.get();
    }
    m_panels = options.panels;
    m_probe = options.probe;
    m_application = options.application;
    SaveFlow::Host& saveHost = *this;
    SaveFlow::Jobs& saveJobs = *this;
    m_saveFlow = std::make_unique<SaveFlow>(m_workspace, prompter(), saveHost, saveJobs, *m_panels);
    CloseFlow::Host& closeHost = *this;
    m_closeFlow = std::make_unique<CloseFlow>(m_workspace, prompter(), *m_saveFlow, closeHost);

    if (!m_settings) {
        m_memorySettings = std::make_unique<MemorySettingsBacking>();
        m_settings = m_memorySettings.get();
    }
    m_viewOptions = std::make_unique<ViewOptionsController>(*this, *m_settings,
                                                            std::make_unique<OptionsHost>(*this));
    m_wrapsLines = m_viewOptions->settings().wrapByDefault;
    m_viewOptions->apply();
    installOpenFormatting();
    installFileWatching();
    ReloadFlow::Host& reloadHost = *this;
    m_reloadFlow = std::make_unique<ReloadFlow>(m_workspace, prompter(), *m_saveFlow, reloadHost);
    DiskFlow::Host& diskHost = *this;
    m_diskFlow = std::make_unique<DiskFlow>(m_workspace, prompter(), *m_saveFlow, *m_reloadFlow,
                                            *m_application, diskHost);
    restoreGeometry();
}

EditorWindowController::~EditorWindowController() {
    m_textView->removeEventFilter(this);
    m_textViewport->removeEventFilter(this);
    m_viewOptions.reset();
    // The view lets go of its document before the documents go.
    m_textView->setDocument(nullptr);
    m_openFormatting.reset();
    m_fileWatcher.reset();
    m_workspace.clear();
}

void EditorWindowController::buildWindow() {
    auto* window = new EditorMainWindow;
    m_window.reset(window);
    window->setWindowTitle(QStringLiteral("Vendrix"));
    window->setMinimumSize(420, 260);
    window->resize(960, 680);
    window->onClose = [this] {
        captureActiveViewState();
        saveWindowGeometry();
    };

    auto* central = new QWidget(window);
    m_stack = new QVBoxLayout(central);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(0);
    m_textView = new EditorTextView(central);
    m_textView->setMinimumHeight(80);
    m_textView->setEditorFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_ruler = new LineNumberRulerView(m_textView, [this]() -> const LineIndex* {
        EditorDocument* document = activeDocument();
        return document && document->isLoaded() && m_textView->document() == document
                   ? &document->lineIndex()
                   : nullptr;
    });
    m_bars = std::make_unique<WindowBars>(*this, central);
    m_stack->addWidget(m_bars->tabBarWidget());
    m_stack->addWidget(m_textView, 1);
    m_stack->addWidget(m_bars->statusBarWidget());
    window->setCentralWidget(central);
    new BarFocusCycle(window, m_textView, m_topAccessories, m_bottomAccessories);

    connect(m_textView, &EditorTextView::selectionChanged, this, [this] {
        EditorDocument* document = activeDocument();
        if (!document || m_textView->document() != document || m_showing)
            return;
        document->setSelection(m_textView->selectedRange());
        refreshStatusBar();
        m_ruler->redraw();
        m_workspace.broadcast(EditorEvent::Kind::selectionChanged, document);
        scheduleSave();
    });
    m_textView->setAcceptDrops(true);
    m_textView->viewport()->setAcceptDrops(true);
    m_textView->installEventFilter(this);
    m_textViewport = m_textView->viewport();
    m_textViewport->installEventFilter(this);
    connect(m_textView, &EditorTextView::viewChanged, m_ruler, &LineNumberRulerView::redraw);
}

void EditorWindowController::setSession(SessionLink* session) {
    m_session = session;
    m_saveFlow->setSession(session);
    m_closeFlow->setSession(session);
    m_reloadFlow->setSession(session);
    m_diskFlow->setSession(session);
}

QWidget* EditorWindowController::window() const {
    return m_window.get();
}

EditorDocument* EditorWindowController::activeDocument() const {
    return m_workspace.active();
}

std::vector<EditorDocument*> EditorWindowController::documents() const {
    return m_workspace.documents();
}

TabBarView* EditorWindowController::tabBar() const {
    return m_bars->tabBar();
}

StatusBarView* EditorWindowController::statusBar() const {
    return m_bars->statusBar();
}

void EditorWindowController::refreshTitle() {
    EditorDocument* document = activeDocument();
    if (!document) {
        m_window->setWindowTitle(QStringLiteral("Vendrix"));
        m_window->setWindowFilePath({});
        m_window->setWindowModified(false);
        return;
    }
    // "[*]" is where the edited mark goes; a literal one in a file name is doubled.
    QString name = document->displayName();
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    m_window->setWindowTitle(name + QStringLiteral("[*]") + windowMessages::titleSuffix);
    m_window->setWindowFilePath(document->fileURL().value_or(QString()));
    m_window->setWindowModified(document->isDirty());
}

bool EditorWindowController::eventFilter(QObject* watched, QEvent* event) {
    // Files dragged onto the text are opened, never inserted as text.
    // Compared as addresses only: while the window is torn down the view may be half
    // destroyed, and calling into it then is undefined.
    if (watched == m_textViewport || watched == m_textView) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->mimeData()->hasUrls()) {
                const bool accepted = openDroppedFiles(drop->mimeData()->urls());
                drop->setDropAction(Qt::CopyAction);
                drop->setAccepted(accepted);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void EditorWindowController::setWrapsLines(bool wraps) {
    if (m_wrapsLines == wraps)
        return;
    m_wrapsLines = wraps;
    recomputeEffectiveWrap();
}

void EditorWindowController::recomputeEffectiveWrap() {
    EditorDocument* document = activeDocument();
    const bool longLine = document && document->isLoaded() &&
                          document->lineIndex().hasLineLongerThan(99'999);
    const bool effective = m_wrapsLines || longLine;
    if (effective == m_effectiveWrap && m_textView->wrapsLines() == effective)
        return;
    m_effectiveWrap = effective;
    m_textView->setWrapsLines(effective);
    m_workspace.broadcast(EditorEvent::Kind::appearanceChanged, nullptr);
    m_ruler->redraw();
}

void EditorWindowController::scheduleWrapCheck() {
    if (m_wrapCheckScheduled)
        return;
    m_wrapCheckScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_wrapCheckScheduled = false;
        m_ruler->updateThickness(false);
        recomputeEffectiveWrap();
    });
}

void EditorWindowController::captureActiveViewState() {
    EditorDocument* document = activeDocument();
    if (document && m_textView->document() == document) {
        document->setSelection(m_textView->selectedRange());
        document->setScrollOrigin(m_textView->scrollOrigin());
    }
}

void EditorWindowController::restoreGeometry() {
    if (!m_settings)
        return;
    const auto value = m_settings->object(kGeometryKey);
    const auto* data = value ? std::get_if<SettingsData>(&value->value) : nullptr;
    const bool restored =
        data && m_window->restoreGeometry(QByteArray(reinterpret_cast<const char*>(data->bytes.data()),
                                                     static_cast<qsizetype>(data->bytes.size())));
    if (!restored) {
        if (QScreen* screen = m_window->screen()) {
            QRect frame = m_window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
}

void EditorWindowController::saveWindowGeometry() {
    if (!m_settings)
        return;
    const QByteArray geometry = m_window->saveGeometry();
    SettingsData data{std::vector<std::uint8_t>(geometry.begin(), geometry.end())};
    const auto stored = m_settings->object(kGeometryKey);
    if (!stored || !(*stored == SettingsValue(data)))
        m_settings->set(SettingsValue(std::move(data)), kGeometryKey);
}

void EditorWindowController::show() {
    m_window->show();
    m_textView->setFocus();
}

void EditorWindowController::requestQuit() {
    if (m_promptDepth > 0) {
        // The prompt's own event loop must end by its answer, so the quit waits for it. But
        // on a shutdown nobody may answer before the process is killed: write the session
        // now, as the quit itself would.
        m_quitQueued = true;
        captureActiveViewState();
        if (m_session)
            (void)m_session->flush(true);
        return;
    }
    emit quitRequested();
}

void EditorWindowController::runQueuedRequests() {
    if (m_queueRunScheduled || (m_queuedOpens.isEmpty() && !m_quitQueued))
        return;
    // Handled from the event loop, after the flow that showed the prompt has finished.
    m_queueRunScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_queueRunScheduled = false;
        if (m_promptDepth > 0)
            return;
        const QStringList paths = std::exchange(m_queuedOpens, {});
        if (!paths.isEmpty())
            openFiles(paths);
        if (m_quitQueued && m_promptDepth == 0) {
            m_quitQueued = false;
            emit quitRequested();
        }
    });
}

void EditorWindowController::scheduleSave() {
    if (m_session)
        m_session->scheduleSave();
}

void EditorWindowController::addRecentFile(const QString& path) {
    if (m_recentFiles)
        m_recentFiles->add(path);
}

void EditorWindowController::flush() {
    if (m_session)
        (void)m_session->flush(false);
}

} // namespace vendrix::app
