#include "app/AppDelegate.h"
#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/session/SessionController.h"
#include "app/window/EditorWindowController.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace vendrix::app {
namespace {

namespace fs = std::filesystem;

class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_temp.path() / "run");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString((m_temp.path() / "run").string()));
    }
    void TearDown() override { qunsetenv("XDG_RUNTIME_DIR"); }

    std::unique_ptr<AppDelegate> launch(const QStringList& files = {},
                                        Prompter* prompter = nullptr) {
        AppDelegate::Options options;
        options.sessionDirectory = QString::fromStdString(sessionDir().string());
        options.settingsFile = QString::fromStdString((m_temp.path() / "settings.plist").string());
        options.prompter = prompter ? prompter : &m_prompter;
        options.canShowAlerts = false;
        auto delegate = std::make_unique<AppDelegate>(options);
        m_status = delegate->finishLaunching(files);
        return delegate;
    }
    fs::path sessionDir() const { return m_temp.path() / "Vendrix"; }
    fs::path buffers() const { return sessionDir() / "buffers"; }
    void breakBuffers() {
        fs::remove_all(buffers());
        test::writeFileBytes(buffers(), "");
    }
    static void type(AppDelegate& delegate, std::u16string text) {
        EditorDocument* document = delegate.editor()->activeDocument();
        ASSERT_TRUE(document && document->ensureLoaded());
        document->applyEdit(TextRange{document->length(), 0}, std::move(text));
    }

    static QAction* menuItem(AppDelegate& delegate, const QString& title) {
        for (QAction* action : delegate.editor()->window()->findChildren<QAction*>())
            if (action->text() == title)
                return action;
        return nullptr;
    }
    /// The text of the first tab's buffer in the session as written on disk now.
    std::u16string savedBuffer() const {
        auto loaded = SessionStore(sessionDir()).loadReadOnly();
        if (loaded.state.tabs.empty() || !loaded.state.tabs[0].bufferFile)
            return {};
        return SessionStore(sessionDir()).readBuffer(*loaded.state.tabs[0].bufferFile).value_or(u"");
    }

    test::TempDir m_temp;
    ScriptedPrompter m_prompter;
    std::optional<int> m_status;
};

TEST_F(AppDelegateTest, LaunchRestoresTheSessionThenOpensRequestedFiles) {
    const fs::path file = m_temp.path() / "dosya.txt";
    test::writeFileBytes(file, "içerik\n");
    {
        auto delegate = launch();
        ASSERT_FALSE(m_status);
        ASSERT_EQ(delegate->editor()->documentCount(), 1u) << "an empty session: one new tab";
        EXPECT_EQ(delegate->editor()->activeDocument()->displayName(), "Yeni 1");
        type(*delegate, u"kaydedilmemiş");
        delegate->terminate(AppDelegate::Termination::quitCommand);
        EXPECT_EQ(delegate->exitStatus(), 0);
        EXPECT_TRUE(m_prompter.requests.empty()) << "quitting never asks about unsaved text";
    }
    auto delegate = launch({QString::fromStdString(file.string())});
    ASSERT_FALSE(m_status);
    EditorWindowController& editor = *delegate->editor();
    ASSERT_EQ(editor.documentCount(), 2u);
    EditorDocument* restored = editor.documentAt(0);
    ASSERT_TRUE(restored->ensureLoaded());
    EXPECT_EQ(restored->storage()->string(), u"kaydedilmemiş");
    EXPECT_TRUE(restored->isDirty());
    EXPECT_EQ(editor.documentAt(1)->fileURL(), QString::fromStdString(file.string()));
    // Closing the window takes the same orderly path as Quit.
    editor.window()->close();
    EXPECT_EQ(delegate->exitStatus(), 0);
    EXPECT_EQ(SessionStore(sessionDir()).loadReadOnly().state.tabs.size(), 2u);
}

TEST_F(AppDelegateTest, LogoutWritesTheSessionBeforeTheSignalReturns) {
    auto delegate = launch();
    ASSERT_FALSE(m_status);
    type(*delegate, u"oturum kapanırken");
    // The desktop's session manager asks for the data at logout; the display connection may
    // be gone right after, ending the process without the orderly quit. So the text must be
    // on disk when the request returns, without the event loop running again.
    auto* manager = QCoreApplication::instance()->findChild<QSessionManager*>();
    ASSERT_TRUE(manager);
    const int passes = delegate->session()->saveCount();
    emit qobject_cast<QGuiApplication*>(QCoreApplication::instance())->commitDataRequest(*manager);
    EXPECT_EQ(delegate->session()->saveCount(), passes + 1) << "one pass, completed at once";
    EXPECT_EQ(savedBuffer(), u"oturum kapanırken");
    EXPECT_FALSE(delegate->exitStatus()) << "the application keeps running until it is ended";
}

TEST_F(AppDelegateTest, MinimisingTheWindowWritesTheSessionAndZoomTogglesMaximised) {
    auto delegate = launch();
    ASSERT_FALSE(m_status);
    QWidget* window = delegate->editor()->window();
    QAction* zoom = menuItem(*delegate, QStringLiteral("Yakınlaştır/Uzaklaştır"));
    QAction* minimise = menuItem(*delegate, QStringLiteral("Küçült"));
    ASSERT_TRUE(zoom && minimise);

    // Zoom switches between the maximised window and its own frame.
    zoom->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isMaximized());
    zoom->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isMaximized());

    // Minimising hides the window like hiding the application: the session is written now,
    // not a second later when the edit's own timer would fire.
    type(*delegate, u"küçültmeden önce");
    const int passes = delegate->session()->saveCount();
    minimise->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isMinimized());
    delegate->session()->drain();
    QCoreApplication::processEvents(); // the pass's completion step
    EXPECT_GT(delegate->session()->saveCount(), passes);
    EXPECT_EQ(savedBuffer(), u"küçültmeden önce");
}

/// Handles events until `answer` is called, like a modal message box. (Not a QEventLoop: once
/// an earlier test has ended the application's loop, a new one returns at once.)
class LoopingPrompter final : public Prompter {
public:
    PromptAnswer ask(const PromptRequest&) override {
        m_answer.reset();
        if (whileOpen)
            QTimer::singleShot(0, &m_context, whileOpen);
        // Nobody answering fails the test rather than hanging it.
        QTimer::singleShot(10'000, &m_context, [this] { m_answer = m_answer.value_or(-1); });
        while (!m_answer)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return {*m_answer, false};
    }
    void answer(int button) { m_answer = button; }
    std::function<void()> whileOpen;

private:
    std::optional<int> m_answer;
    QObject m_context; // the timers end with the prompter
};

TEST_F(AppDelegateTest, AQuitDuringAPromptWritesTheSessionAtOnceAndQuitsOnceItIsAnswered) {
    LoopingPrompter prompter;
    auto delegate = launch({}, &prompter);
    ASSERT_FALSE(m_status);
    type(*delegate, u"yazıldı mı?");
    PromptRequest question;
    question.message = QStringLiteral("Biçimlendirilsin mi?");
    question.buttons = {QStringLiteral("Biçimlendir"), QStringLiteral("Olduğu Gibi Aç")};

    std::u16string onDiskBefore, onDiskMeanwhile;
    std::optional<int> statusMeanwhile = -1;
    prompter.whileOpen = [&] {
        onDiskBefore = savedBuffer();
        // A shutdown: the signal arrives, nobody answers, the process is killed later.
        delegate->terminate(AppDelegate::Termination::terminateSignal);
        delegate->terminate(AppDelegate::Termination::quitCommand);
        onDiskMeanwhile = savedBuffer();
        statusMeanwhile = delegate->exitStatus();
        QTimer::singleShot(10, [&] { prompter.answer(1); });
    };
    const PromptAnswer answer = delegate->editor()->prompter().ask(question);
    EXPECT_EQ(onDiskBefore, u"") << "the edit's own write is a second away";
    EXPECT_EQ(onDiskMeanwhile, u"yazıldı mı?") << "written while the prompt was open";
    EXPECT_FALSE(statusMeanwhile) << "the prompt keeps running";
    EXPECT_EQ(answer.button, 1) << "the prompt ends by its answer, not by the quit";
    EXPECT_FALSE(delegate->exitStatus());

    // The quit follows from the event loop, along the usual path.
    QCoreApplication::processEvents();
    EXPECT_EQ(delegate->exitStatus(), 0);
    EXPECT_EQ(savedBuffer(), u"yazıldı mı?");
}

TEST_F(AppDelegateTest, AFailedFinalWriteHoldsTheQuitUntilTheUserDecides) {
    auto delegate = launch();
    ASSERT_FALSE(m_status);
    type(*delegate, u"son değişiklik");
    breakBuffers();
    // Try again (still failing), then keep running.
    m_prompter.answers = {{0, false}, {2, false}};
    delegate->terminate(AppDelegate::Termination::quitCommand);
    ASSERT_EQ(m_prompter.requests.size(), 2u);
    EXPECT_EQ(m_prompter.requests[0].message, "Oturum kaydedilemedi.");
    EXPECT_TRUE(m_prompter.requests[0].detail.contains(QString::fromStdString(buffers().string())));
    EXPECT_EQ(m_prompter.requests[0].buttons,
              QStringList({"Yeniden Dene", "Yine de Çık", "Vazgeç"}));
    EXPECT_FALSE(delegate->exitStatus()) << "still running";

    // Fixed meanwhile: the next quit writes and ends without a question.
    fs::remove(buffers());
    delegate->terminate(AppDelegate::Termination::quitCommand);
    EXPECT_EQ(delegate->exitStatus(), 0);
    EXPECT_EQ(m_prompter.requests.size(), 2u);
    auto loaded = SessionStore(sessionDir()).loadReadOnly();
    ASSERT_EQ(loaded.state.tabs.size(), 1u);
    ASSERT_TRUE(loaded.state.tabs[0].bufferFile);
    EXPECT_EQ(SessionStore(sessionDir()).readBuffer(*loaded.state.tabs[0].bufferFile),
              u"son değişiklik");
}

TEST_F(AppDelegateTest, WithNobodyToAskAFailedFinalWriteExitsNonZeroAfterOneRetry) {
    auto delegate = launch();
    ASSERT_FALSE(m_status);
    type(*delegate, u"x");
    breakBuffers();
    testing::internal::CaptureStderr();
    delegate->terminate(AppDelegate::Termination::terminateSignal);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(m_prompter.requests.empty());
    EXPECT_EQ(delegate->exitStatus(), 1);
    // Two failed passes (the write and its retry), then the final report.
    std::size_t failures = 0;
    for (std::size_t at = 0; (at = err.find("Vendrix: oturum yazılamadı: ", at)) != std::string::npos; ++at)
        ++failures;
    EXPECT_EQ(failures, 2u) << err;
    EXPECT_NE(err.find("Vendrix: oturum kaydedilemeden çıkılıyor"), std::string::npos) << err;
    fs::remove(buffers());
}

TEST_F(AppDelegateTest, PathsNamedOnTheCommandLineOrByASecondLaunchMayNotExistYet) {
    const fs::path existing = m_temp.path() / "var.txt";
    test::writeFileBytes(existing, "var\n");
    const QString fresh = QString::fromStdString((m_temp.path() / "yeni.txt").string());
    const QString later = QString::fromStdString((m_temp.path() / "sonra.txt").string());
    {
        auto delegate = launch({QString::fromStdString(existing.string()), fresh});
        ASSERT_FALSE(m_status);
        EditorWindowController& editor = *delegate->editor();
        ASSERT_EQ(editor.documentCount(), 2u);
        EXPECT_EQ(editor.activeDocument()->fileURL(), fresh);
        EXPECT_TRUE(m_prompter.requests.empty()) << "no “açılamadı” for a file yet to be made";
        // A second launch hands its paths over the same way.
        delegate->openFiles({later});
        EXPECT_EQ(editor.documentCount(), 3u);
        EXPECT_EQ(editor.activeDocument()->fileURL(), later);
        EXPECT_TRUE(m_prompter.requests.empty());
        type(*delegate, u"taslak");
        delegate->terminate(AppDelegate::Termination::quitCommand);
    }
    // Never saved, the new files come back with the session, text and all.
    auto delegate = launch();
    EditorWindowController& editor = *delegate->editor();
    ASSERT_EQ(editor.documentCount(), 3u);
    EditorDocument* restored = editor.documentAt(2);
    EXPECT_EQ(restored->fileURL(), later);
    ASSERT_TRUE(restored->ensureLoaded());
    EXPECT_EQ(restored->storage()->string(), u"taslak");
    EXPECT_TRUE(editor.documentAt(1)->ensureLoaded());
    EXPECT_FALSE(fs::exists(m_temp.path() / "sonra.txt"));
}

TEST_F(AppDelegateTest, TheAboutBoxShowsTheVersionThatVersionPrints) {
    auto delegate = launch();
    ASSERT_FALSE(m_status);
    QAction* about = menuItem(*delegate, "Vendrix Hakkında");
    ASSERT_NE(about, nullptr);
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible()) {
                shown = box->text();
                box->accept();
            }
        }
    });
    poll.start(10);
    // An earlier test's quit leaves every new event loop ending at once; the application's
    // own loop, entered and left, clears that.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    about->trigger();
    poll.stop();
    const QString version = CommandLine::version();
    EXPECT_FALSE(version.isEmpty());
    EXPECT_EQ(CommandLine::versionText(), "Vendrix " + version + "\n");
    EXPECT_TRUE(shown.contains("<b>Vendrix</b> " + version + "<br>"))
        << shown.toStdString() << " / " << version.toStdString();
    EXPECT_EQ(QCoreApplication::applicationVersion(), version);
}

TEST(ToolkitTranslationsTest, StandardDialogsSpeakTurkish) {
    ASSERT_TRUE(AppDelegate::installToolkitTranslations())
        << "qtbase_tr.qm missing: install qt6-translations-l10n (scripts/deps.sh)";
    auto title = [](QAbstractButton* button) { return button->text().remove(u'&'); };
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Open | QDialogButtonBox::Save);
    EXPECT_EQ(title(buttons.button(QDialogButtonBox::Ok)), "Tamam");
    EXPECT_EQ(title(buttons.button(QDialogButtonBox::Cancel)), "İptal");
    EXPECT_EQ(title(buttons.button(QDialogButtonBox::Open)), "Aç");
    EXPECT_EQ(title(buttons.button(QDialogButtonBox::Save)), "Kaydet");
    // Qt's own file dialog, as on a desktop without a native one.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* box = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(title(box->button(QDialogButtonBox::Cancel)), "İptal");
    EXPECT_TRUE(AppDelegate::installToolkitTranslations()) << "a second call is harmless";
}

TEST_F(AppDelegateTest, ASessionDirectoryThatCannotBeMadeEndsTheLaunchWithStatusTwo) {
    test::writeFileBytes(m_temp.path() / "Vendrix", "ein Dateiname, kein Verzeichnis");
    testing::internal::CaptureStderr();
    auto delegate = launch();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(m_status, 2);
    EXPECT_FALSE(delegate->editor());
    EXPECT_TRUE(err.starts_with("Vendrix: “" + sessionDir().string() + "” kaydedilemedi. ")) << err;
}

} // namespace
} // namespace vendrix::app
