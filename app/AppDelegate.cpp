#include "app/AppDelegate.h"

#include "app/Features.h"
#include "app/context/EditorFeature.h"
#include "app/context/MenuBuilder.h"
#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/platform/FirstPaintExit.h"
#include "app/platform/SignalPipe.h"
#include "app/platform/SingleInstance.h"
#include "app/session/SessionController.h"
#include "app/session/SessionRestore.h"
#include "app/view/EditorTextView.h"
#include "app/window/EditorWindowController.h"
#include "core/persistence/FileSettingsBacking.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <utility>
#include <sys/resource.h>
#include <unistd.h>

namespace vendrix::app {

namespace {

void writeError(const QString& text) {
    const QByteArray line = (QStringLiteral("Vendrix: ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

bool platformShowsWindows() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

AppDelegate::AppDelegate() : AppDelegate(Options{}) {}

AppDelegate::AppDelegate(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)),
      m_menuBuilder(std::make_unique<MenuBuilder>()) {
    // The one place the version is set: the About box shows what --version prints.
    QCoreApplication::setApplicationVersion(CommandLine::version());
}

bool AppDelegate::installToolkitTranslations() {
    static bool installed = [] {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (!translator->load(QStringLiteral("qtbase_tr"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            delete translator;
            return false;
        }
        return QCoreApplication::installTranslator(translator);
    }();
    return installed;
}

AppDelegate::~AppDelegate() {
    // Features go before the window they are attached to; the window before the session
    // controller its flows call, which stops observing its workspace first.
    m_features.clear();
    if (m_session)
        m_session->observe(nullptr);
    m_editor.reset();
    m_session.reset();
}

QString AppDelegate::defaultSessionDirectory() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Vendrix"));
}

void AppDelegate::raiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t target = std::min<rlim_t>(limit.rlim_max, 10240);
    if (limit.rlim_cur < target) {
        limit.rlim_cur = target;
        (void)::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

Prompter& AppDelegate::prompter() {
    if (m_options.prompter)
        return *m_options.prompter;
    if (m_editor)
        return m_editor->prompter();
    if (!m_ownPrompter)
        m_ownPrompter = std::make_unique<MessageBoxPrompter>(nullptr);
    return *m_ownPrompter;
}

std::optional<int> AppDelegate::launchFailure(const QString& title, const QString& detail) {
    writeError(title + QLatin1Char(' ') + detail);
    if (m_options.canShowAlerts.value_or(platformShowsWindows()))
        prompter().alert(title, detail, PromptRequest::Style::critical);
    return 2;
}

// MARK: - Launch

std::optional<int> AppDelegate::finishLaunching(const QStringList& filesToOpen) {
    m_pendingOpenURLs += filesToOpen;
    const QString directory = m_options.sessionDirectory.isEmpty() ? defaultSessionDirectory()
                                                                   : m_options.sessionDirectory;
    auto store = std::make_unique<SessionStore>(directory.toStdString());
    if (auto prepared = store->prepareDirectory(); !prepared)
        return launchFailure(QStringLiteral("“%1” kaydedilemedi.").arg(directory),
                             SessionController::describe(prepared.error()));
    if (auto handedOver = takeLockOrHandOver(*store, filesToOpen))
        return handedOver;

    SessionLoadResult loaded = store->load();
    for (const std::string& warning : loaded.warnings)
        writeError(QString::fromStdString(warning));

    m_session = std::make_unique<SessionController>(std::move(store));
    const QString settingsFile =
        !m_options.settingsFile.isEmpty()
            ? m_options.settingsFile
            : QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  QStringLiteral("/Vendrix/settings.plist");
    m_settings = std::make_unique<FileSettingsBacking>(settingsFile.toStdString());
    m_editor = std::make_unique<EditorWindowController>(
        EditorWindowController::Options{m_options.prompter, m_settings.get()});
    SessionController* session = m_session.get();
    EditorWindowController* editor = m_editor.get();
    // The session writes the window's workspace; the window's flows write through it.
    editor->setSession(session);
    session->observe(&editor->workspace());
    connect(session, &SessionController::statusMessage, editor,
            &EditorWindowController::showMessage);
    connect(editor, &EditorWindowController::quitRequested, this, [this] {
        const auto reason = std::exchange(m_quitAfterPrompt, std::nullopt);
        terminate(reason.value_or(Termination::quitCommand));
    });

    RestoredSession restored = restoreSession(loaded);
    editor->restoreDocuments(std::move(restored.documents), restored.selectedIndex);
    if (restored.recoveryMessage) {
        editor->showMessage(*restored.recoveryMessage, RestoredSession::recoveryMessageSeconds);
        (void)session->flush(false);
    }

    editor->attachMenus(*m_menuBuilder);
    m_features = makeFeatures();
    for (auto& feature : m_features)
        feature->attach(*editor);
    for (auto& feature : m_features)
        feature->contributeMenus(*m_menuBuilder);
    m_menuBuilder->complete();
    editor->replayToObservers();

    // For start-up measurements: exit right after the first paint once no file is being
    // opened (a large file named on the command line opens on a worker: its first paint is
    // the one that counts).
    if (qEnvironmentVariableIntValue("VENDRIX_EXIT_AFTER_FIRST_PAINT") == 1)
        QCoreApplication::instance()->installEventFilter(new FirstPaintExit(
            editor->window(), this, [editor] { return editor->isOpening(); }));
    editor->show(); // also makes the text view the focus
    editor->window()->installEventFilter(this);
    if (QWindow* handle = editor->window()->windowHandle())
        connect(handle, &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
            if (state == Qt::WindowMinimized && m_session)
                (void)m_session->flush(false);
        });
    // Watch the restored files and compare them with their stamps; later activations run
    // the check through the window itself.
    if (diskFollowUp)
        diskFollowUp(*editor);
    else
        editor->applicationBecameActive();

    m_signalSources = std::make_unique<SignalPipe>();
    if (m_signalSources->install({SIGTERM, SIGINT, SIGHUP}))
        connect(m_signalSources.get(), &SignalPipe::signalReceived, this, [this](int number) {
            terminate(number == SIGINT   ? Termination::interrupt
                      : number == SIGHUP ? Termination::hangup
                                         : Termination::terminateSignal);
        });
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (application) {
        connect(application, &QGuiApplication::applicationStateChanged, this,
                &AppDelegate::applicationStateChanged);
        connect(application, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { finalFlush(); });
        connect(application, &QCoreApplication::aboutToQuit, this, [this] {
            if (!m_finished)
                finalFlush();
        });
    }

    if (platformShowsWindows()) {
        editor->window()->raise();
        editor->window()->activateWindow();
    }
    if (!m_pendingOpenURLs.isEmpty()) {
        const QStringList pending = std::exchange(m_pendingOpenURLs, {});
        editor->openFiles(pending, EditorWindowController::MissingFile::newTab);
    }
    return std::nullopt;
}

std::optional<int> AppDelegate::takeLockOrHandOver(SessionStore& store, const QStringList& files) {
    const auto socketPath = SingleInstance::socketPath(QString::fromStdString(store.directory()));
    OpenRequest request{files, qgetenv("XDG_ACTIVATION_TOKEN")};
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(handOverPatienceMs);
    while (!store.acquireLock()) {
        // Another instance holds the session: hand it the files. It may still be starting and
        // not listening yet; keep trying for a moment, and take the lock if it goes away.
        if (socketPath) {
            auto outcome = SingleInstance::offer(*socketPath, request, std::chrono::seconds(3));
            if (outcome == SingleInstance::OfferOutcome::delivered)
                return 0;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return launchFailure(QStringLiteral("Vendrix zaten çalışıyor."),
                                 QStringLiteral("Aynı oturumu iki pencere kullanamaz. Açık olan "
                                                "Vendrix'e geçin."));
        QThread::msleep(100);
    }
    if (socketPath) {
        m_singleInstance = std::make_unique<SingleInstance>(*socketPath);
        connect(m_singleInstance.get(), &SingleInstance::openRequested, this,
                &AppDelegate::handleOpenRequest);
        if (!m_singleInstance->listen())
            writeError(QStringLiteral("başka açılışların dosyaları alınamayacak: “%1” dinlenemedi")
                           .arg(*socketPath));
    }
    return std::nullopt;
}

// MARK: - Open requests

void AppDelegate::openFiles(const QStringList& paths) {
    // Named by the user on a command line: a path that does not exist yet is a new file.
    if (m_editor)
        m_editor->openFiles(paths, EditorWindowController::MissingFile::newTab);
    else
        m_pendingOpenURLs += paths;
}

void AppDelegate::handleOpenRequest(const OpenRequest& request) {
    openFiles(request.paths);
    if (!m_editor)
        return;
    QWidget* window = m_editor->window();
    if (!platformShowsWindows())
        return;
    if (window->isMinimized())
        window->showNormal();
    // The launching process's activation token lets the window take the focus.
    const bool hasToken = !request.activationToken.isEmpty();
    if (hasToken)
        qputenv("XDG_ACTIVATION_TOKEN", request.activationToken);
    window->raise();
    window->activateWindow();
    if (hasToken)
        qunsetenv("XDG_ACTIVATION_TOKEN");
}

// MARK: - Activation

void AppDelegate::applicationStateChanged(Qt::ApplicationState state) {
    if (!m_editor || !m_session)
        return;
    if (state == Qt::ApplicationActive) {
        if (checkDiskChanges)
            checkDiskChanges(*m_editor);
    } else {
        (void)m_session->flush(false);
    }
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (m_editor && watched == m_editor->window() && event->type() == QEvent::Close &&
        !m_finished) {
        event->ignore();
        terminate(Termination::windowClosed);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// MARK: - Termination

void AppDelegate::terminate(Termination reason) {
    if (m_terminating || m_finished || !m_session)
        return;
    if (m_editor && m_editor->isPresentingPrompt()) {
        // Ending the event loops now would close the prompt with an answer nobody gave. The
        // window writes the session at once and quits when the prompt has been answered; a
        // signal's reason is kept (then nobody is asked should that final write fail).
        if (!m_quitAfterPrompt || *m_quitAfterPrompt == Termination::quitCommand ||
            *m_quitAfterPrompt == Termination::windowClosed)
            m_quitAfterPrompt = reason;
        m_editor->requestQuit();
        return;
    }
    m_terminating = true;
    if (m_editor) {
        m_editor->captureActiveViewState();
        m_editor->saveWindowGeometry();
    }
    // Nobody answers after SIGTERM or SIGHUP, nor on a platform that shows no windows.
    const bool nobodyToAsk =
        reason == Termination::terminateSignal || reason == Termination::hangup ||
        (!m_options.prompter && !m_options.canShowAlerts.value_or(platformShowsWindows()));
    int exitStatus = 0;
    for (int attempt = 0;; ++attempt) {
        std::optional<QString> failure = m_session->flush(true);
        m_session->drain();
        if (!failure)
            break;
        if (nobodyToAsk) {
            if (attempt == 0)
                continue;
            writeError(QStringLiteral("oturum kaydedilemeden çıkılıyor; kaydedilmemiş değişiklikler "
                                      "kaybolmuş olabilir: ") + *failure);
            exitStatus = 1;
            break;
        }
        PromptRequest question;
        question.style = PromptRequest::Style::critical;
        question.message = QStringLiteral("Oturum kaydedilemedi.");
        question.detail = *failure + QStringLiteral("\n\nŞimdi çıkarsanız kaydedilmemiş "
                                                    "değişiklikler kaybolabilir.");
        question.buttons = {QStringLiteral("Yeniden Dene"), QStringLiteral("Yine de Çık"),
                            QStringLiteral("Vazgeç")};
        question.cancelButton = 2;
        const int answer = prompter().ask(question).button;
        if (answer == 1) {
            writeError(QStringLiteral("oturum kaydedilemeden çıkıldı: ") + *failure);
            exitStatus = 1;
            break;
        }
        if (answer != 0) {
            m_terminating = false;
            return;
        }
    }
    m_finished = true;
    m_exitStatus = exitStatus;
    QCoreApplication::exit(exitStatus);
}

void AppDelegate::finalFlush() {
    if (!m_session)
        return;
    if (m_editor) {
        m_editor->captureActiveViewState();
        m_editor->saveWindowGeometry();
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::optional<QString> failure = m_session->flush(true);
        m_session->drain();
        if (!failure)
            return;
        if (attempt == 1)
            writeError(QStringLiteral("oturum kaydedilemedi: ") + *failure);
    }
}

} // namespace vendrix::app
