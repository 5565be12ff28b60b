#include "SessionCrashChild.h"

#include "core/persistence/SessionStore.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <variant>

namespace vendrix::app {
namespace {

using namespace std::chrono_literals;

constexpr int tabCount = 3;
/// About 1.5 MB of UTF-8 per tab, so that a kill often lands inside a buffer write.
constexpr std::size_t textUnits = 1'000'000;

/// The generation of each tab's text as a fresh start would restore it, or a failure
/// message when a tab is missing or its text incomplete.
std::variant<std::vector<std::int64_t>, std::string> restoredGenerations(const std::string& dir) {
    SessionStore store(dir);
    SessionLoadResult loaded = store.loadReadOnly();
    if (loaded.state.tabs.size() != tabCount)
        return "tabs: " + std::to_string(loaded.state.tabs.size());
    std::vector<std::int64_t> generations;
    for (int tab = 0; tab < tabCount; ++tab) {
        const SessionTab& record = loaded.state.tabs[static_cast<std::size_t>(tab)];
        if (!record.bufferFile)
            return "tab " + std::to_string(tab) + " has no buffer";
        auto text = store.readBuffer(*record.bufferFile);
        if (!text)
            return "tab " + std::to_string(tab) + " buffer unreadable";
        auto generation = crashTest::check(tab, *text);
        if (!generation)
            return "tab " + std::to_string(tab) + " text damaged, " +
                   std::to_string(text->size()) + " units";
        generations.push_back(*generation);
    }
    return generations;
}

TEST(SessionCrashTest, TheTextChecksCatchTruncationAndMixing) {
    const std::u16string text = crashTest::makeText(1, 42, 5000);
    EXPECT_EQ(crashTest::check(1, text), 42);
    EXPECT_FALSE(crashTest::check(1, text.substr(0, text.size() - 1)));
    EXPECT_FALSE(crashTest::check(1, u""));
    EXPECT_FALSE(crashTest::check(2, text));
    std::u16string mixed = text;
    mixed[2000] = u'x';
    EXPECT_FALSE(crashTest::check(1, mixed));
}

// kill -9 at random moments while write passes with large buffers run back to back; after
// every kill each tab must come back with a complete text, never older than what an earlier
// restart already saw.
TEST(SessionCrashTest, KillingTheWriterAtRandomNeverLosesOrTruncatesATab) {
    test::TempDir temp;
    const std::string dir = (temp.path() / "Vendrix").string();
    std::vector<std::int64_t> seen(tabCount, 0);
    int roundsWithProgress = 0;
    QRandomGenerator random(20261207);
    for (int round = 0; round < 50; ++round) {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({"--session-writer", QString::fromStdString(dir),
                            QString::number(tabCount), QString::number(textUnits)});
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start();
        ASSERT_TRUE(child.waitForStarted(10000));
        ASSERT_TRUE(child.waitForReadyRead(20000)) << "round " << round;
        const QByteArray greeting = child.readLine().trimmed();
        ASSERT_EQ(greeting, "ready") << "round " << round << ": " << greeting.constData()
                                     << child.readAll().constData();
        QThread::msleep(random.bounded(10, 250));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit)
            << "the writer stopped by itself: " << child.readAll().constData();

        auto restored = restoredGenerations(dir);
        ASSERT_TRUE(std::holds_alternative<std::vector<std::int64_t>>(restored))
            << "round " << round << ": " << std::get<std::string>(restored);
        const auto& generations = std::get<std::vector<std::int64_t>>(restored);
        for (int tab = 0; tab < tabCount; ++tab) {
            EXPECT_GE(generations[tab], seen[tab]) << "round " << round << " tab " << tab;
            if (generations[tab] > seen[tab])
                ++roundsWithProgress;
            seen[tab] = generations[tab];
        }
    }
    EXPECT_GT(roundsWithProgress, 0) << "the writer never got a pass through";

    // The editor itself starts on what the last kill left, and quits: every text survives
    // its restore and final write unchanged.
    QProcess editor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_DATA_HOME", QString::fromStdString(temp.path().string()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString((temp.path() / "config").string()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(temp.path().string()));
    editor.setProcessEnvironment(environment);
    editor.start(VENDRIX_PATH, QStringList{});
    ASSERT_TRUE(editor.waitForStarted(10000));
    QThread::msleep(1500);
    ::kill(static_cast<pid_t>(editor.processId()), SIGTERM);
    ASSERT_TRUE(editor.waitForFinished(20000));
    EXPECT_EQ(editor.exitCode(), 0) << editor.readAllStandardError().constData();
    auto afterEditor = restoredGenerations(dir);
    ASSERT_TRUE(std::holds_alternative<std::vector<std::int64_t>>(afterEditor))
        << std::get<std::string>(afterEditor);
    EXPECT_EQ(std::get<std::vector<std::int64_t>>(afterEditor), seen);
    std::printf("[          ] final generations %lld %lld %lld\n",
                static_cast<long long>(seen[0]), static_cast<long long>(seen[1]),
                static_cast<long long>(seen[2]));
}

} // namespace
} // namespace vendrix::app
