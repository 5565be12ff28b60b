#pragma once

#include "app/context/EditorContext.h"
#include "app/context/EditorObservation.h"
#include "app/context/Prompter.h"
#include "app/settings/ViewOptionsController.h"
#include "app/workspace/WindowFiles.h"
#include "app/window/WindowHooks.h"
#include "app/workspace/ApplicationState.h"
#include "app/workspace/CloseFlow.h"
#include "app/workspace/DiskFlow.h"
#include "app/workspace/FilePanels.h"
#include "app/workspace/ReloadFlow.h"
#include "app/workspace/SaveFlow.h"
#include "app/workspace/SessionLink.h"
#include "app/workspace/WorkerProbe.h"
#include "app/workspace/Workspace.h"
#include "core/text/LineEnding.h"
#include "core/text/TextEncoding.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <QMenu>

class QMainWindow;
class QVBoxLayout;

namespace vendrix {
class MemorySettingsBacking;
class SettingsBacking;
}

namespace vendrix::app {

class BackgroundOpen;
class EditorDocument;
class EditorTextView;
class LineNumberRulerView;
class FileWatcher;
class MenuBuilder;
class ProgressPanel;
class RecentFiles;
class OpenFormattingQueue;
class PoolJobRunner;
class StatusBarView;
class TabBarView;
class WindowBars;

/// The editor window and the flows it composes: opening, loading, activating, saving,
/// closing, reloading, encodings and line endings, the built-in menu items, and the context
/// the features act through. Shows the workspace (the documents in tab order, the active one,
/// the event stream); owns it, the window, the text view and the bars. Main thread only.
class EditorWindowController final : public QObject,
                                     public EditorContext,
                                     private SaveFlow::Host,
                                     private SaveFlow::Jobs,
                                     private CloseFlow::Host,
                                     private ReloadFlow::Host,
                                     private DiskFlow::Host {
    Q_OBJECT

public:
    struct Options {
        /// Asks every question and shows every alert; a message box over the window when null.
        Prompter* prompter;
        /// Window geometry and the editor settings read at start; none: nothing is kept.
        SettingsBacking* settings;
        /// The recent-files list (outlives the controller); none: nothing is recorded.
        RecentFiles* recentFiles = nullptr;
        /// The open and save panels (outlive the controller); none: the file dialogs.
        FilePanels* panels = nullptr;
        /// Pauses and faults planted in the workers (tests); none: the workers just run.
        WorkerProbe* probe = nullptr;
        /// Whether the application is active (tests); none: the desktop's answer.
        ApplicationState* application = nullptr;
    };

    explicit EditorWindowController(QObject* parent = nullptr)
        : EditorWindowController(Options{nullptr, nullptr, nullptr}, parent) {}
    explicit EditorWindowController(Options options, QObject* parent = nullptr);
    ~EditorWindowController() override;

    // EditorContext.
    EditorDocument* activeDocument() const override;
    std::vector<EditorDocument*> documents() const override;
    EditorTextView* textView() const override { return m_textView; }
    QWidget* window() const override;
    Prompter& prompter() override;
    JobRunner& jobRunner() override;
    EditorObservation observe(EditorObservers::Handler handler) override;
    std::shared_ptr<StatusBarField> addStatusField(const QString& id, int minWidth) override;
    void showMessage(const QString& message, double seconds) override;
    void addAccessory(QWidget* accessory, bool atBottom) override;
    void removeAccessory(QWidget* accessory) override;
    void select(TextRange range) override;
    bool applyEdits(EditorDocument& document, std::vector<TextRange> ranges,
                    std::vector<std::u16string> replacements, const QString& actionName) override;
    using EditorContext::applyEdits;
    void setLanguage(std::optional<std::string> languageID, EditorDocument& document) override;
    void activate(EditorDocument& document) override;
    void loadPending(std::vector<EditorDocument*> documents,
                     std::function<void(bool completed)> then) override;
    void openFile(const QString& path, FileOpened then) override;
    void refreshStatusBar() override;
    ViewOptionsController* viewOptions() override { return m_viewOptions.get(); }
    SettingsBacking* settingsBacking() const override { return m_settings; }

    /// The documents, the active one and the events the window shows.
    Workspace& workspace() { return m_workspace; }
    int activeIndex() const { return m_workspace.activeIndex(); }
    std::size_t documentCount() const { return m_workspace.count(); }
    EditorDocument* documentAt(std::size_t index) const { return m_workspace.at(index); }
    std::optional<std::size_t> indexOf(const EditorDocument& document) const {
        return m_workspace.indexOf(document);
    }
    /// The open document whose file is `path` (symbolic links resolved), if any.
    EditorDocument* documentForFile(const QString& path) const {
        return m_workspace.documentForFile(path);
    }
    TabBarView* tabBar() const;
    StatusBarView* statusBar() const;
    LineNumberRulerView* ruler() const { return m_ruler; }

    // Hooks filled by the application and later features.
    /// The session the flows write through (outlives the window, or is unset first); none:
    /// nothing is written and no buffer is read.
    void setSession(SessionLink* session);
    /// Pretty-on-open: may take a read file (true) and install it later through
    /// installOpenedDocument with `pretty` set. Empty: files open as they are.
    std::function<bool(OpenedFile& file)> prettyOnOpen;
    /// Whether pretty-on-open already holds a job for a standardised path.
    std::function<bool(const QString& standardizedPath)> prettyOnOpenHolds;
    /// The pretty-on-open queue behind the two hooks above.
    OpenFormattingQueue& openFormatting() { return *m_openFormatting; }

    // Changes on disk.
    FileWatcher& fileWatcher() { return *m_fileWatcher; }
    /// Deletions, returns and changes of the documents' files (see DiskFlow).
    DiskFlow& disk() { return *m_diskFlow; }
    void checkDisk(EditorDocument& document) { m_diskFlow->checkDisk(document); }
    void presentExternalChange() { m_diskFlow->presentExternalChange(); }
    void applicationBecameActive() { m_diskFlow->applicationBecameActive(); }

    // Opening.
    /// What opening a path where nothing exists does: say "Dosya bulunamadı", or open an
    /// empty tab bound to the path, which its first save creates (paths named on the command
    /// line or by a second launch).
    enum class MissingFile { report, newTab };
    /// Opens files one after the other; requests arriving while a prompt or panel is up are
    /// queued and handled when it closes.
    void openFiles(const QStringList& paths, MissingFile missing = MissingFile::report);
    /// Opens dropped URLs that are existing regular files; true when at least one remained.
    bool openDroppedFiles(const QList<QUrl>& urls);
    void runOpenPanel();
    /// Installs a read file as a new document (see openFiles); returns it, or the open
    /// document of the same file.
    EditorDocument* installOpenedDocument(OpenedFile file, bool pretty);
    /// A new untitled tab after the active one, activated.
    EditorDocument& newDocument(std::u16string text = {});
    /// An empty tab bound to `standardized`, where no file exists yet, after the active one
    /// and activated; it replaces an untouched empty tab as an opened file does.
    EditorDocument& newFileDocument(const QString& standardized);
    /// Adds documents restored from the session (content pending) at the end, broadcasts
    /// documentOpened for each and activates the one at `activeIndex`.
    void restoreDocuments(std::vector<std::unique_ptr<EditorDocument>> documents,
                          std::size_t activeIndex);
    /// An empty untitled tab when there is none.
    void ensureDocument();
    /// Loads a document's pending content now (its loadHandler).
    void loadPendingContent(EditorDocument& document);
    /// Files from this size on are read on a worker behind a progress panel (BackgroundOpen);
    /// the paths after such a file wait for it, so tabs keep the order asked for.
    std::int64_t backgroundOpenBytes = std::int64_t{32} << 20;
    /// How long a background open runs before its progress panel appears.
    int openProgressDelayMilliseconds = 500;
    /// The running background open, if any.
    BackgroundOpen* backgroundOpen() const;
    /// The running background read of a pending tab's large file, if any.
    BackgroundOpen* backgroundLoad() const;
    /// True while files wait to be opened or one is read in the background.
    bool isOpening() const;

    // Saving, closing, reloading.
    /// Save, save as, save all, the save encoding and line ending.
    SaveFlow& saving() { return *m_saveFlow; }
    /// The progress panel of the running save, once shown.
    ProgressPanel* saveProgressPanel() const;
    /// How long a save runs before its progress panel appears.
    int saveProgressDelayMilliseconds = 500;
    /// Closing a tab or every other one, with the questions on unsaved changes.
    CloseFlow& closing() { return *m_closeFlow; }
    bool closeDocument(EditorDocument& document) { return m_closeFlow->closeDocument(document); }
    void closeOthers(EditorDocument& keep) { m_closeFlow->closeOthers(keep); }
    /// Reloading from disk and reopening in an encoding.
    ReloadFlow& reloading() { return *m_reloadFlow; }
    void reloadFromDisk(EditorDocument& document, std::optional<DiskStamp> triggeringStamp = {}) {
        m_reloadFlow->reloadFromDisk(document, triggeringStamp);
    }
    bool canReload(const EditorDocument& document) const {
        return m_reloadFlow->canReload(document);
    }
    void reopenWithEncoding(EditorDocument& document, TextEncoding encoding) {
        m_reloadFlow->reopenWithEncoding(document, encoding);
    }
    void moveDocument(std::size_t from, std::size_t to);
    void activateNeighbour(int step);

    // Display.
    bool wrapsLines() const { return m_wrapsLines; }
    void setWrapsLines(bool wraps);
    bool effectiveWrap() const { return m_effectiveWrap; }

    // Start-up and shutdown.
    /// documentOpened for each document in tab order, documentLoaded for each loaded one,
    /// then activeDocumentChanged for the active one.
    void replayToObservers();
    /// Adds the built-in items of the application, File, Edit and Window menus.
    void attachMenus(MenuBuilder& builder);
    /// Copies the text view's selection and scroll position into the active document.
    void captureActiveViewState();
    void saveWindowGeometry();
    void show();
    /// Asks the application to quit. While a prompt is open the quit waits until it has been
    /// answered, and the session is written at once meanwhile.
    void requestQuit();
    /// True while a prompt or panel of this window runs its own event loop.
    bool isPresentingPrompt() const { return m_promptDepth > 0; }

    /// The encoding and line-ending menus (the File menu's submenus and the status bar's).
    void fillEncodingMenu(QMenu* menu, bool reopen);
    void fillLineEndingMenu(QMenu* menu);
    /// The File menu's "Son Açılanlar" submenu, once the menus are attached.
    QMenu* recentFilesMenu() const { return m_recentMenu; }

signals:
    /// The user chose "Vendrix'ten Çık" (or a quit request arrived and may run now).
    void quitRequested();
    /// Every requested open has finished (opened, failed or cancelled).
    void openingFinished();

private:
    class GuardedPrompter;
    friend class GuardedPrompter;
    class OptionsHost;
    class DialogPanels;
    // What the saving flow needs (see SaveFlow::Host and SaveFlow::Jobs).
    void refresh(EditorDocument& document) override;
    /// Watches the document's file when it is loaded and has one; otherwise stops watching.
    void watch(EditorDocument& document) override;
    BackgroundSave::Result save(const BackgroundSave::Request& request,
                                std::optional<TextChunkSnapshot>* written) override;
    void dispose(TextChunkSnapshot written) override;
    // What the closing flow needs (see CloseFlow::Host).
    void release(EditorDocument& closed) override;
    void addEmptyTab() override;
    void focusText() override;
    // What reloading and the disk checks need (see ReloadFlow::Host and DiskFlow::Host).
    void retryLoad(EditorDocument& document) override;
    std::optional<ReloadFlow::Place> shownPlace(const EditorDocument& document) const override;
    void showPlace(const ReloadFlow::Place& place) override;
    bool isWatching(const EditorDocument& document) const override;
    friend class WindowBars;

    void buildWindow();
    void installOpenFormatting();
    void installFileWatching();
    /// Before writing over the document's own file: false when the user chose the disk
    /// version (the document was reloaded instead).
    bool confirmOverwrite(EditorDocument& document, const QString& target) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void installDocument(std::unique_ptr<EditorDocument> document, std::size_t index);
    void showActiveDocument();
    void recomputeEffectiveWrap();
    void scheduleWrapCheck();
    void refreshTabBar() override;
    void refreshTitle() override;
    void documentTextChanged(EditorDocument& document, TextRange range, std::int64_t delta);
    void readAndOpen(const QString& path, const QString& standardized);
    /// Opens queued paths until one goes to a background open or the queue is empty.
    void drainOpenQueue();
    /// The active tab when it is an empty, clean, loaded untitled one, which a file opened
    /// next takes the place of.
    EditorDocument* untouchedActiveDocument() const;
    void openedInBackground(OpenedFile file, std::expected<LoadedTextFile, windowFiles::ReadFailure> result);
    void loadPendingContent(EditorDocument& document, std::optional<LineIndex> index,
                            std::optional<DecodedText> preread = std::nullopt);
    /// For a document whose pending file is large: reads it on a worker (BackgroundOpen) and
    /// loads it (showing it when it is the active one) when read; true while that runs.
    bool loadInBackground(EditorDocument& document);
    /// Whether the document's pending content is a file or a session buffer large enough for
    /// loadInBackground.
    bool readsInBackground(const EditorDocument& document) const;
    /// The session buffer holding the document's pending text when it is large enough to be
    /// read on a worker.
    std::optional<std::filesystem::path> largeBufferFile(const EditorDocument& document) const;
    /// Whether the document's file is being read in the background right now.
    bool isLoadingInBackground(const EditorDocument& document) const override;
    /// The documents' load handler: see loadPendingContent and loadInBackground.
    void loadRequested(EditorDocument& document);
    struct PendingLoad;
    /// One step of loadPending: loads documents until one is read in the background.
    void continuePendingLoad(const std::shared_ptr<PendingLoad>& load);
    void restoreGeometry();
    void runQueuedRequests();
    void scheduleSave();
    void flush();
    void addRecentFile(const QString& path) override;
    /// Runs a dialog's own event loop with open and quit requests queued meanwhile.
    template <typename F> auto whilePrompting(F&& run);

    /// Runs the background jobs; goes last, after every owner of a job.
    std::unique_ptr<PoolJobRunner> m_jobs;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<Prompter> m_ownPrompter;
    std::unique_ptr<GuardedPrompter> m_guardedPrompter;
    SettingsBacking* m_settings = nullptr;
    RecentFiles* m_recentFiles = nullptr;
    /// Settings kept in memory when the window has no settings file.
    std::unique_ptr<MemorySettingsBacking> m_memorySettings;
    std::unique_ptr<ViewOptionsController> m_viewOptions;
    EditorTextView* m_textView = nullptr;
    /// The view's viewport, watched for dropped files.
    QObject* m_textViewport = nullptr;
    LineNumberRulerView* m_ruler = nullptr;
    std::unique_ptr<WindowBars> m_bars;
    std::unique_ptr<OpenFormattingQueue> m_openFormatting;
    std::unique_ptr<FileWatcher> m_fileWatcher;
    QVBoxLayout* m_stack = nullptr;
    std::vector<QPointer<QWidget>> m_topAccessories;
    std::vector<QPointer<QWidget>> m_bottomAccessories;
    QPointer<QMenu> m_recentMenu;
    /// The Edit menu's items shown in the text area's context menu (null: a separator).
    std::vector<QPointer<QAction>> m_textMenuItems;
    QPointer<ProgressPanel> m_savePanel;

    Workspace m_workspace;
    SessionLink* m_session = nullptr;
    std::unique_ptr<FilePanels> m_ownPanels;
    FilePanels* m_panels = nullptr;
    WorkerProbe* m_probe = nullptr;
    std::unique_ptr<ApplicationState> m_ownApplication;
    ApplicationState* m_application = nullptr;
    std::unique_ptr<SaveFlow> m_saveFlow;
    std::unique_ptr<CloseFlow> m_closeFlow;
    std::unique_ptr<ReloadFlow> m_reloadFlow;
    std::unique_ptr<DiskFlow> m_diskFlow;

    bool m_wrapsLines = false;
    bool m_effectiveWrap = false;
    bool m_wrapCheckScheduled = false;
    /// Set while a document is put into the view: restoring its selection is no change.
    bool m_showing = false;

    int m_promptDepth = 0;
    QStringList m_queuedOpens;
    /// Paths waiting behind a background open (see drainOpenQueue()).
    QStringList m_openQueue;
    /// Queued paths that open as new files when nothing exists there (MissingFile::newTab).
    QSet<QString> m_newIfMissing;
    bool m_draining = false;
    QPointer<BackgroundOpen> m_backgroundOpen;
    /// The lazy load of a large restored file, and its document.
    QPointer<BackgroundOpen> m_backgroundLoad;
    QPointer<EditorDocument> m_backgroundLoadDocument;
    /// Called when a background load ends (read, failed or cancelled) with its document
    /// (null when closed meanwhile) and whether the user cancelled it.
    std::vector<std::function<void(EditorDocument* document, bool cancelled)>> m_backgroundLoadWaiters;
    bool m_quitQueued = false;
    bool m_queueRunScheduled = false;
};

template <typename F>
auto EditorWindowController::whilePrompting(F&& run) {
    ++m_promptDepth;
    struct Leave {
        EditorWindowController& owner;
        ~Leave() {
            if (--owner.m_promptDepth == 0)
                owner.runQueuedRequests();
        }
    } leave{*this};
    return run();
}

} // namespace vendrix::app
