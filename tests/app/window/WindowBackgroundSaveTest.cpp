// The save runs on a worker while the window keeps working: edits made meanwhile, the
// progress panel's cancel, and failures reported on the worker's behalf.
#include "WindowTestSupport.h"

#include "app/jobs/ProgressPanel.h"
#include "app/workspace/WindowMessages.h"
#include "core/text/TextChunkCache.h"

#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

namespace vendrix::app::test {
namespace {

using Kind = EditorEvent::Kind;
namespace msg = windowMessages;

class WindowBackgroundSaveTest : public WindowFixture {
protected:
    void type(EditorDocument& document, std::u16string_view text) {
        ASSERT_TRUE(controller->applyEdits(document, {{document.length(), 0}},
                                           {std::u16string(text)}, "t"));
    }
    /// Makes the worker wait before `operation` until `release` is set (at most ten seconds,
    /// so that a broken event loop fails the test instead of hanging it).
    void holdWorkerAt(std::string operation, std::atomic<bool>& release) {
        plantedSaveFault = [operation, &release](std::string_view step) {
            if (step == operation)
                for (int i = 0; i < 10000 && !release.load(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 0;
        };
    }
    /// Temporary files left in the folder.
    QStringList leftovers() const {
        return QDir(folder.path()).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden);
    }
};

TEST_F(WindowBackgroundSaveTest, AnEditDuringTheSaveKeepsTheTabDirtyAndTheFileGetsTheSnapshot) {
    const QString file = write("notes.txt", "old");
    controller->openFiles({file});
    EditorDocument& document = active();
    type(document, u" new");

    std::atomic<bool> edited{false};
    holdWorkerAt("fsync", edited);
    bool closeRefused = false, reloadRefused = false;
    QTimer::singleShot(0, controller.get(), [&] {
        // Runs while the worker waits: the window takes edits, but not closing or reloading
        // the tab being saved.
        EXPECT_TRUE(controller->saving().isSaving(document));
        type(document, u" more");
        closeRefused = !controller->closeDocument(document);
        reloadRefused = !controller->canReload(document);
        controller->checkDisk(document); // the file changing under the save is no outside change
        edited = true;
    });
    controller->saving().saveActive();

    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(reloadRefused);
    EXPECT_EQ(read(file), "old new");
    EXPECT_EQ(text(document), u"old new more");
    EXPECT_TRUE(document.isDirty());
    EXPECT_FALSE(document.externalChangePending());
    EXPECT_TRUE(prompter.requests.empty());
    EXPECT_EQ(kinds().back(), Kind::documentSaved);
    EXPECT_EQ(document.diskStamp(), DiskStamp::of(file));
    EXPECT_FALSE(controller->saving().isSaving(document));

    // The next save writes the rest and makes the tab clean.
    plantedSaveFault = nullptr;
    controller->saving().saveActive();
    EXPECT_EQ(read(file), "old new more");
    EXPECT_FALSE(document.isDirty());
}

// "Kaydet" in the close prompt, and typing goes on while that save is held: the tab is not
// closed (which would lose the typing and free the document under the running save); the file
// gets the text from before the typing.
TEST_F(WindowBackgroundSaveTest, TypingDuringTheSaveOfAClosingTabKeepsItOpenAndDirty) {
    const QString file = write("notes.txt", "old");
    controller->openFiles({file});
    EditorDocument& document = active();
    type(document, u" new");

    std::atomic<bool> typed{false};
    holdWorkerAt("fsync", typed);
    bool typedWhileSaving = false;
    QTimer::singleShot(0, controller.get(), [&] {
        typedWhileSaving = controller->saving().isSaving(document);
        type(document, u" more");
        typed = true;
    });
    answer(0); // Kaydet
    const QPointer<EditorDocument> alive(&document);
    EXPECT_FALSE(controller->closeDocument(document));
    // Checked through a guard: a closed tab's document is gone, and a fresh one may take its
    // address.
    ASSERT_TRUE(alive);
    ASSERT_TRUE(controller->indexOf(document));

    EXPECT_TRUE(typedWhileSaving);
    EXPECT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(read(file), "old new");
    EXPECT_EQ(text(document), u"old new more");
    EXPECT_TRUE(document.isDirty());
    EXPECT_FALSE(controller->saving().isSaving(document));
}

TEST_F(WindowBackgroundSaveTest, ALargeTextIsCopiedInStepsAndTheFileGetsTheRevisionCaptured) {
    // Five chunks: copied one per event-loop turn before the worker starts.
    const QByteArray original(5 * TextChunkCache::defaultChunkUnits, 'x');
    const QString file = write("large.txt", original);
    controller->openFiles({file});
    EditorDocument& document = active();
    ASSERT_TRUE(document.ensureLoaded());
    controller->saving().copyStepTime = std::chrono::microseconds(0);

    std::atomic<bool> workerWaiting{false}, release{false};
    plantedSaveFault = [&](std::string_view step) {
        if (step == "fsync") {
            workerWaiting = true;
            for (int i = 0; i < 10000 && !release.load(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
    };
    bool preparing = false;
    std::int64_t keptBefore = 0, keptWhileSessionLetGo = 0;
    QTimer::singleShot(0, controller.get(), [&] {
        // Still copying: this edit is part of the text the save captures.
        preparing = document.storage()->staleChunkUnits() > 0 && !workerWaiting;
        type(document, u"A");
        // The session letting go of the chunks it kept does not free those the save prepares.
        keptBefore = document.storage()->chunkCacheUnits();
        document.holdChunks();
        document.releaseChunks();
        keptWhileSessionLetGo = document.storage()->chunkCacheUnits();
    });
    QTimer afterCapture;
    QObject::connect(&afterCapture, &QTimer::timeout, [&] {
        if (!workerWaiting || release)
            return;
        type(document, u"B"); // after the capture: not in the file, the tab stays dirty
        release = true;
    });
    afterCapture.start(1);
    controller->saving().saveActive();
    afterCapture.stop();

    EXPECT_TRUE(preparing);
    EXPECT_GT(keptBefore, 0);
    EXPECT_EQ(keptWhileSessionLetGo, keptBefore);
    EXPECT_TRUE(release.load());
    EXPECT_EQ(read(file), original + "A");
    EXPECT_EQ(document.length(), original.size() + 2);
    EXPECT_TRUE(document.isDirty());
    // The save held the only claim on the chunks: their memory is given back.
    EXPECT_EQ(document.storage()->chunkCacheUnits(), 0);

    plantedSaveFault = nullptr;
    controller->saving().saveActive();
    EXPECT_EQ(read(file), original + "AB");
    EXPECT_FALSE(document.isDirty());
}

TEST_F(WindowBackgroundSaveTest, ANewLineEndingChosenDuringTheSaveKeepsTheTabDirty) {
    const QString file = write("crlf.txt", "a\nb");
    controller->openFiles({file});
    type(active(), u"c");
    std::atomic<bool> changed{false};
    holdWorkerAt("rename", changed);
    QTimer::singleShot(0, controller.get(), [&] {
        controller->saving().setLineEnding(LineEnding::crlf);
        changed = true;
    });
    controller->saving().saveActive();
    EXPECT_EQ(read(file), "a\nbc");
    EXPECT_TRUE(active().isDirty());
}

TEST_F(WindowBackgroundSaveTest, CancelFromTheProgressPanelLeavesTheOldFile) {
    const QString file = write("big.txt", "old");
    controller->openFiles({file});
    EditorDocument& document = active();
    type(document, u" new");
    controller->saveProgressDelayMilliseconds = 0;

    std::atomic<bool> cancelled{false};
    holdWorkerAt("fsync", cancelled);
    QString panelTitle;
    QTimer::singleShot(50, controller.get(), [&] {
        ProgressPanel* panel = controller->saveProgressPanel();
        EXPECT_NE(panel, nullptr);
        if (panel) {
            panelTitle = panel->title();
            EXPECT_TRUE(panel->isVisible());
            panel->cancelButton()->click();
        }
        cancelled = true;
    });
    controller->saving().saveActive();

    EXPECT_EQ(panelTitle, msg::saving("big.txt"));
    EXPECT_EQ(read(file), "old");
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_TRUE(document.isDirty());
    EXPECT_TRUE(prompter.requests.empty());
    EXPECT_EQ(statusMessage(), msg::saveCancelled("big.txt"));
    EXPECT_NE(kinds().back(), Kind::documentSaved);
}

TEST_F(WindowBackgroundSaveTest, AFailedWriteIsReportedOnceAndTheOldFileStays) {
    const QString file = write("full.txt", "old");
    controller->openFiles({file});
    type(active(), u" new");
    plantedSaveFault = [](std::string_view step) { return step == "write" ? ENOSPC : 0; };
    controller->saving().saveActive();
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, msg::cannotSave("full.txt"));
    EXPECT_EQ(prompter.requests[0].detail, "Diskte yer kalmadı.");
    EXPECT_EQ(read(file), "old");
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_TRUE(active().isDirty());

    // Closing with "Kaydet" when the save fails keeps the tab.
    answer(0);
    EditorDocument& document = active();
    EXPECT_FALSE(controller->closeDocument(document));
    EXPECT_TRUE(controller->indexOf(document));
}

} // namespace
} // namespace vendrix::app::test
