#include "core/persistence/SessionStore.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::app {
namespace {

namespace fs = std::filesystem;

/// A private set of XDG directories and the vendrix processes started in them.
class VendrixProcessTest : public ::testing::Test {
protected:
    fs::path data() const { return m_temp.path() / "data"; }
    fs::path runtime() const { return m_temp.path() / "run"; }
    fs::path sessionDir() const { return data() / "Vendrix"; }

    void SetUp() override {
        fs::create_directories(runtime());
        fs::permissions(runtime(), fs::perms::owner_all);
        fs::create_directories(data());
    }
    void TearDown() override {
        for (auto& process : m_processes)
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
    }

    QProcess& start(const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_DATA_HOME", QString::fromStdString(data().string()));
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString((m_temp.path() / "config").string()));
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime().string()));
        process->setProcessEnvironment(environment);
        process->start(VENDRIX_PATH, arguments);
        EXPECT_TRUE(process->waitForStarted(10000));
        m_processes.push_back(std::move(process));
        return *m_processes.back();
    }
    /// Waits until an instance listens for other launches (its socket accepts connections).
    bool waitUntilListening() {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            for (const auto& entry : fs::directory_iterator(runtime())) {
                if (!fs::is_socket(entry.status()))
                    continue;
                QLocalSocket probe;
                probe.connectToServer(QString::fromStdString(entry.path().string()));
                if (probe.waitForConnected(200))
                    return true;
            }
            QThread::msleep(50);
        }
        return false;
    }
    static int finish(QProcess& process, int timeoutMs = 20000) {
        if (!process.waitForFinished(timeoutMs))
            return -1000;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -process.exitCode();
    }
    std::string file(const std::string& name, const std::string& content) {
        fs::path path = m_temp.path() / name;
        test::writeFileBytes(path, content);
        return path.string();
    }
    /// The files of the saved session's tabs, in tab order (untitled tabs left out).
    std::vector<std::string> sessionFiles() {
        SessionStore store(sessionDir());
        std::vector<std::string> paths;
        for (const SessionTab& tab : store.loadReadOnly().state.tabs)
            if (tab.filePath)
                paths.push_back(*tab.filePath);
        return paths;
    }

    test::TempDir m_temp;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

TEST_F(VendrixProcessTest, ASecondLaunchHandsItsFilesOverAndSigtermWritesTheSession) {
    const std::string first = file("bir.txt", "1\n");
    QProcess& running = start({QString::fromStdString(first)});
    ASSERT_TRUE(waitUntilListening()) << running.readAllStandardError().constData();

    const std::string second = file("iki.txt", "2\n");
    const std::string third = file("-üç.txt", "3\n");
    QProcess& later = start({"--", QString::fromStdString(second), QString::fromStdString(third)});
    EXPECT_EQ(finish(later), 0) << later.readAllStandardError().constData();

    QThread::msleep(300); // the running instance opens them on its event loop
    ::kill(static_cast<pid_t>(running.processId()), SIGTERM);
    EXPECT_EQ(finish(running), 0) << running.readAllStandardError().constData();
    EXPECT_EQ(sessionFiles(), (std::vector<std::string>{first, second, third}));
}

TEST_F(VendrixProcessTest, ALaunchRacingTheFirstOnesStartupWaitsInsteadOfFailing) {
    const std::string a = file("a.txt", "a\n");
    const std::string b = file("b.txt", "b\n");
    QProcess& running = start({QString::fromStdString(a)});
    QProcess& racing = start({QString::fromStdString(b)});
    // Whichever takes the lock, the other hands its file over.
    QProcess* loser = nullptr;
    QProcess* winner = nullptr;
    // (A QProcess learns that its process ended only inside one of its wait calls.)
    for (int i = 0; i < 400 && !loser; ++i) {
        if (racing.waitForFinished(25))
            loser = &racing, winner = &running;
        else if (running.waitForFinished(25))
            loser = &running, winner = &racing;
    }
    ASSERT_TRUE(loser);
    EXPECT_EQ(loser->exitCode(), 0) << loser->readAllStandardError().constData();
    QThread::msleep(300);
    ::kill(static_cast<pid_t>(winner->processId()), SIGINT);
    EXPECT_EQ(finish(*winner), 0);
    auto files = sessionFiles();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{a, b}));
}

TEST_F(VendrixProcessTest, StaleLockAndSocketFilesDoNotBlockAndAHeldLockEndsWithStatusTwo) {
    fs::create_directories(sessionDir());
    test::writeFileBytes(sessionDir() / "session.lock", "");
    QProcess& first = start({});
    ASSERT_TRUE(waitUntilListening()) << first.readAllStandardError().constData();
    // Killed outright, it leaves its socket file behind; the next lock holder replaces it.
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    finish(first);
    QProcess& next = start({});
    ASSERT_TRUE(waitUntilListening());
    const std::string handed = file("h.txt", "h");
    QProcess& later = start({QString::fromStdString(handed)});
    EXPECT_EQ(finish(later), 0) << later.readAllStandardError().constData();
    QThread::msleep(300);
    ::kill(static_cast<pid_t>(next.processId()), SIGHUP);
    EXPECT_EQ(finish(next), 0);
    EXPECT_EQ(sessionFiles(), (std::vector<std::string>{handed}));

    // A holder that never answers: after trying for a moment the launch gives up.
    const int fd = ::open((sessionDir() / "session.lock").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    QProcess& blocked = start({QString::fromStdString(file("x.txt", "x"))});
    EXPECT_EQ(finish(blocked), 2);
    EXPECT_TRUE(QString::fromUtf8(blocked.readAllStandardError())
                    .startsWith("Vendrix: Vendrix zaten çalışıyor. Aynı oturumu iki pencere "
                                "kullanamaz."));
    ::close(fd);
}

} // namespace
} // namespace vendrix::app
