#include "app/platform/FileWatcher.h"
#include "tests/app/window/WindowTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QUndoStack>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <thread>

namespace vendrix::app::test {
namespace {

/// Real files changed behind the editor's back while documents are open, seen through real
/// inotify events.
class DiskChangeTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        plantedApplicationActive = [this] { return appActive; };
    }
    static void spin(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    /// Writes like another program: truncate, then the bytes in several steps.
    void rewrite(const QString& file, const QByteArray& bytes, int steps = 3) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const qsizetype chunk = (bytes.size() + steps - 1) / steps;
        for (qsizetype at = 0; at < bytes.size(); at += chunk) {
            out.write(bytes.mid(at, chunk));
            out.flush();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    EditorDocument& open(const QString& name, const QByteArray& bytes) {
        controller->openFiles({write(name, bytes)});
        return active();
    }
    bool appActive = true;
};

TEST_F(DiskChangeTest, ARewriteInSeveralStepsReloadsOnceAndATouchReloadsNothing) {
    EditorDocument& doc = open("a.txt", "one\n");
    ASSERT_TRUE(controller->fileWatcher().isWatching(&doc));
    int reloadSteps = 0;
    QObject scope; // disconnects before reloadSteps goes
    QObject::connect(doc.undoStack(), &QUndoStack::indexChanged, &scope, [&] { ++reloadSteps; });
    rewrite(path("a.txt"), "two two two two\n");
    spin(700);
    EXPECT_EQ(text(doc), u"two two two two\n");
    EXPECT_EQ(reloadSteps, 1);
    EXPECT_FALSE(doc.isDirty());
    EXPECT_EQ(statusMessage(), "“a.txt” dışarıda değişti, yeniden yüklendi.");

    // Same size and modification time: nothing to reload.
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path("a.txt")).constData(), &before), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("a.txt")).constData(), 0640), 0);
    spin(500);
    EXPECT_EQ(reloadSteps, 1);
}

TEST_F(DiskChangeTest, ARenameOverReArmsAndReloadsOnce) {
    EditorDocument& doc = open("b.txt", "old\n");
    int reloadSteps = 0;
    QObject scope; // disconnects before reloadSteps goes
    QObject::connect(doc.undoStack(), &QUndoStack::indexChanged, &scope, [&] { ++reloadSteps; });
    write("b.tmp", "new text\n");
    ASSERT_EQ(::rename(QFile::encodeName(path("b.tmp")).constData(),
                       QFile::encodeName(path("b.txt")).constData()),
              0);
    spin(1000);
    EXPECT_EQ(text(doc), u"new text\n");
    EXPECT_EQ(reloadSteps, 1);
    EXPECT_TRUE(controller->fileWatcher().isWatching(&doc));
    // The watch follows the new file: a second outside change is seen too.
    rewrite(path("b.txt"), "newer\n", 1);
    spin(700);
    EXPECT_EQ(text(doc), u"newer\n");
}

TEST_F(DiskChangeTest, DeletedThenRestoredUnchangedIsCleanAgainUnlessTypedInBetween) {
    EditorDocument& doc = open("c.txt", "keep\n");
    const QByteArray bytes = read(path("c.txt"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path("c.txt")).constData(), &info), 0);
    auto restore = [&] {
        write("c.txt", bytes);
        const timespec times[2] = {info.st_atim, info.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path("c.txt")).constData(), times, 0), 0);
    };
    ASSERT_TRUE(QFile::remove(path("c.txt")));
    spin(500);
    EXPECT_TRUE(doc.isDirty());
    EXPECT_TRUE(doc.isMissingOnDisk());
    EXPECT_EQ(text(doc), u"keep\n");
    EXPECT_EQ(statusMessage(), "“c.txt” diskten silindi ya da taşındı; metin sekmede korunuyor "
                               "(kaydederseniz yeniden oluşturulur).");
    restore();
    spin(900);
    EXPECT_FALSE(doc.isMissingOnDisk());
    EXPECT_FALSE(doc.isDirty());

    ASSERT_TRUE(QFile::remove(path("c.txt")));
    spin(500);
    doc.applyEdit({0, 0}, u"x");
    restore();
    spin(900);
    EXPECT_FALSE(doc.isMissingOnDisk());
    EXPECT_TRUE(doc.isDirty());
    EXPECT_EQ(text(doc), u"xkeep\n");
}

TEST_F(DiskChangeTest, ADirtyBackgroundTabPromptsOnlyWhenActivatedAndKeepMineHolds) {
    EditorDocument& doc = open("d.txt", "mine\n");
    doc.applyEdit({0, 0}, u"my ");
    EditorDocument& other = open("e.txt", "other\n");
    prompter.requests.clear();
    rewrite(path("d.txt"), "theirs, longer\n", 1);
    spin(600);
    EXPECT_TRUE(prompter.requests.empty());
    EXPECT_TRUE(doc.externalChangePending());

    appActive = false;
    answer(0); // "Benimkini Koru"
    controller->activate(doc);
    spin(100);
    EXPECT_TRUE(prompter.requests.empty()) << "not while the application is inactive";
    appActive = true;
    controller->applicationBecameActive();
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].buttons,
              (QStringList{"Benimkini Koru", "Diskteki Sürümü Yükle"}));
    EXPECT_EQ(text(doc), u"my mine\n");
    controller->activate(other);
    controller->activate(doc);
    spin(100);
    EXPECT_EQ(prompter.requests.size(), 1u) << "the same change is not asked about again";

    // A further change asks again; the disk version reloads (one undo step).
    rewrite(path("d.txt"), "theirs again\n", 1);
    answer(1);
    spin(600);
    ASSERT_EQ(prompter.requests.size(), 2u);
    EXPECT_EQ(text(doc), u"theirs again\n");
    EXPECT_FALSE(doc.isDirty());
}

TEST_F(DiskChangeTest, BecomingActiveComparesEveryFileWatchedOrNot) {
    // On NFS, SMB or sshfs a change made by another machine raises no event: here the files
    // change and the application becomes active before the event loop sees any event.
    EditorDocument& clean = open("n.txt", "one\n");
    EditorDocument& dirty = open("m.txt", "mine\n");
    dirty.applyEdit({0, 0}, u"my ");
    open("o.txt", "o\n");
    ASSERT_TRUE(controller->fileWatcher().isWatching(&clean));
    ASSERT_TRUE(controller->fileWatcher().isWatching(&dirty));
    int reloadSteps = 0;
    QObject scope; // disconnects before reloadSteps goes
    QObject::connect(clean.undoStack(), &QUndoStack::indexChanged, &scope, [&] { ++reloadSteps; });
    rewrite(path("n.txt"), "changed elsewhere\n", 1);
    rewrite(path("m.txt"), "theirs\n", 1);
    controller->applicationBecameActive();
    EXPECT_EQ(text(clean), u"changed elsewhere\n");
    EXPECT_FALSE(clean.isDirty());
    EXPECT_TRUE(dirty.externalChangePending());
    EXPECT_EQ(text(dirty), u"my mine\n");
    EXPECT_TRUE(prompter.requests.empty()) << "a background tab asks when it is shown";
    // The events that arrive afterwards find nothing new.
    spin(600);
    EXPECT_EQ(reloadSteps, 1);
    EXPECT_TRUE(prompter.requests.empty());
}

TEST_F(DiskChangeTest, ACleanBackgroundTabIsReloadedItselfAndSaveAsksBeforeOverwriting) {
    EditorDocument& background = open("f.txt", "f\n");
    EditorDocument& front = open("g.txt", "g\n");
    rewrite(path("f.txt"), "f changed\n", 1);
    spin(600);
    EXPECT_EQ(text(background), u"f changed\n");
    EXPECT_EQ(text(front), u"g\n");

    // The file changes while the edit is on its way to disk: save asks first.
    front.applyEdit({0, 0}, u"mine ");
    controller->fileWatcher().unwatch(&front); // no watcher help: the stamp alone decides
    rewrite(path("g.txt"), "theirs!\n", 1);
    answer(1); // "Diskteki Sürümü Yükle": cancel the save, reload
    controller->saving().saveActive();
    EXPECT_EQ(read(path("g.txt")), "theirs!\n");
    EXPECT_EQ(text(front), u"theirs!\n");
    front.applyEdit({0, 0}, u"mine ");
    rewrite(path("g.txt"), "theirs, once more\n", 1);
    answer(0); // "Benimkini Koru": overwrite
    controller->saving().saveAll();
    EXPECT_EQ(read(path("g.txt")), "mine theirs!\n");
    EXPECT_EQ(prompter.requests.size(), 2u);
}

TEST_F(DiskChangeTest, ARefusedReloadKeepsTheOldStampAndSaysNothing) {
    EditorDocument& doc = open("r.txt", "r\n");
    const auto stamp = doc.diskStamp();
    doc.addChangeFilter([](auto, auto) { return false; });
    rewrite(path("r.txt"), "changed elsewhere\n", 1);
    spin(600);
    EXPECT_EQ(text(doc), u"r\n");
    EXPECT_EQ(doc.diskStamp(), stamp);
    EXPECT_NE(statusMessage(), "“r.txt” dışarıda değişti, yeniden yüklendi.");
}

TEST_F(DiskChangeTest, AFileReplacedByAFolderOrFifoIsMissingAndNeverRead) {
    EditorDocument& doc = open("h.txt", "h\n");
    ASSERT_TRUE(QFile::remove(path("h.txt")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("h.txt")).constData(), 0600), 0);
    spin(900);
    EXPECT_TRUE(doc.isMissingOnDisk());
    EXPECT_EQ(text(doc), u"h\n");
    EXPECT_FALSE(controller->fileWatcher().isWatching(&doc));
}

TEST(FileWatcherTest, BudgetFollowsTheKernelLimitAndReArmingLeaksNothing) {
    EXPECT_EQ(FileWatcher::budget(std::nullopt), 64);
    EXPECT_EQ(FileWatcher::budget(100), 16);
    EXPECT_EQ(FileWatcher::budget(256), 56);
    EXPECT_EQ(FileWatcher::budget(1'000'000), 4096);

    QTemporaryDir folder;
    FileWatcher limited(256);
    std::vector<int> keys(60);
    for (int i = 0; i < 60; ++i) {
        const QString file = folder.filePath(QString::number(i));
        QFile(file).open(QIODevice::WriteOnly);
        limited.watch(&keys[i], file, [] {});
    }
    EXPECT_EQ(limited.liveCount(), 56);

    FileWatcher watcher;
    int key = 0;
    int notified = 0;
    const QString file = folder.filePath("cycle");
    const int before = static_cast<int>(QDir("/proc/self/fd").count());
    for (int i = 0; i < 300; ++i) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("x");
        out.close();
        watcher.watch(&key, file, [&] { ++notified; });
        ASSERT_TRUE(watcher.isWatching(&key));
        ASSERT_TRUE(QFile::remove(file));
        QCoreApplication::processEvents();
        if (i % 3 == 0)
            watcher.unwatch(&key);
    }
    watcher.unwatch(&key);
    QCoreApplication::processEvents();
    EXPECT_EQ(static_cast<int>(QDir("/proc/self/fd").count()), before);
    EXPECT_EQ(watcher.liveCount(), 0);
}

} // namespace
} // namespace vendrix::app::test
