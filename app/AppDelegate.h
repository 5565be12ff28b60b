#pragma once

#include "app/CommandLine.h"
#include "core/persistence/SessionStore.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWindow;

namespace vendrix {
class FileSettingsBacking;
}

namespace vendrix::app {

class EditorFeature;
class EditorWindowController;
class MenuBuilder;
struct OpenRequest;
class Prompter;
class SessionController;
class SignalPipe;
class SingleInstance;

/// The application: lives for the whole run, owns the editor window controller, the session
/// controller, the menu builder and the installed features. Launches in a fixed order
/// (session directory, lock, load, controllers, restore, menus, features, show, disk
/// follow-up, signal handlers, pending opens) and quits along one orderly path whatever asks
/// for it (the Quit command, closing the window, SIGTERM, SIGINT, SIGHUP): the active tab's
/// view state is captured, the session written synchronously and the queue drained. Unsaved
/// text lives in the session, so quitting never asks about it; when that final write fails
/// the quit is held (or, with nobody to ask, reported and retried once).
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    /// Why the application is asked to quit.
    enum class Termination { quitCommand, windowClosed, interrupt, terminateSignal, hangup };

    struct Options {
        /// The session directory; $XDG_DATA_HOME/Vendrix when empty.
        QString sessionDirectory;
        /// The settings file; $XDG_CONFIG_HOME/Vendrix/settings.plist when empty.
        QString settingsFile;
        /// Asks the quit question and shows launch failures; a message box when null.
        Prompter* prompter = nullptr;
        /// Whether modal alerts can be shown (false on the offscreen platform: nobody sees them).
        std::optional<bool> canShowAlerts;
    };

    AppDelegate();
    explicit AppDelegate(Options options, QObject* parent = nullptr);
    ~AppDelegate() override;

    /// Runs the launch. None when the application should enter its event loop; otherwise the
    /// exit status (0 after the files were handed to the running instance, 2 on a launch
    /// failure).
    std::optional<int> finishLaunching(const QStringList& filesToOpen);

    /// Open requests: opened at once when the editor exists, else at the end of launch.
    void openFiles(const QStringList& paths);
    /// The orderly quit. Exits the event loop unless the user keeps the application running.
    /// While the window shows a prompt the session is written at once and the quit follows
    /// when the prompt has been answered.
    void terminate(Termination reason);

    /// Replace the disk follow-up after restoring (default: the window watches and checks its
    /// files) and add a check when the application becomes active (the window already checks
    /// on activation by itself); for tests.
    std::function<void(EditorWindowController&)> diskFollowUp;
    std::function<void(EditorWindowController&)> checkDiskChanges;

    EditorWindowController* editor() const { return m_editor.get(); }
    SessionController* session() const { return m_session.get(); }
    const std::vector<std::unique_ptr<EditorFeature>>& features() const { return m_features; }
    const QStringList& pendingOpenURLs() const { return m_pendingOpenURLs; }
    /// The status terminate() ended the event loop with; none while running.
    std::optional<int> exitStatus() const { return m_exitStatus; }

    /// $XDG_DATA_HOME/Vendrix (the platform's generic data location plus "Vendrix").
    static QString defaultSessionDirectory();
    /// The process entry's first step: the soft open-file limit raised to min(hard, 10240).
    static void raiseOpenFileLimit();
    /// Loads the toolkit's own Turkish texts (Qt's "qtbase_tr" from its translations path),
    /// so that the standard dialogs read "Aç", "Kaydet", "İptal", "Tamam". Once per process,
    /// after the application object exists; false when the translations are not installed.
    static bool installToolkitTranslations();

    /// How long a second launch keeps trying to reach an instance that holds the lock but is
    /// not listening yet (it may still be starting).
    static constexpr int handOverPatienceMs = 5000;

private:
    /// The session write when the application ends without terminate() (logout, exit from
    /// elsewhere): flushed, retried once, reported on standard error.
    void finalFlush();
    std::optional<int> launchFailure(const QString& title, const QString& detail);
    std::optional<int> takeLockOrHandOver(SessionStore& store, const QStringList& files);
    void handleOpenRequest(const OpenRequest& request);
    void applicationStateChanged(Qt::ApplicationState state);
    bool eventFilter(QObject* watched, QEvent* event) override;
    Prompter& prompter();

    Options m_options;
    std::unique_ptr<FileSettingsBacking> m_settings;
    std::unique_ptr<EditorWindowController> m_editor;
    std::unique_ptr<SessionController> m_session;
    std::vector<std::unique_ptr<EditorFeature>> m_features;
    std::unique_ptr<MenuBuilder> m_menuBuilder;
    QStringList m_pendingOpenURLs;
    std::unique_ptr<SignalPipe> m_signalSources;
    std::unique_ptr<SingleInstance> m_singleInstance;
    std::unique_ptr<Prompter> m_ownPrompter;
    QString m_socketPath;
    /// Why the quit waiting for the window's prompt was asked for.
    std::optional<Termination> m_quitAfterPrompt;
    bool m_terminating = false;
    bool m_finished = false;
    std::optional<int> m_exitStatus;
};

} // namespace vendrix::app
