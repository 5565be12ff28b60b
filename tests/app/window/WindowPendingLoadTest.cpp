// Searches across tabs over restored tabs whose large files are still pending: the files are
// read on a worker behind the progress panel first; cancelling, closing and failing reads.
#include "WindowTestSupport.h"
#include "WorkerGate.h"

#include "app/jobs/ProgressPanel.h"
#include "app/features/search/FindController.h"
#include "app/workspace/BackgroundOpen.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QUuid>

#include <atomic>

namespace vendrix::app::test {
namespace {

class WindowPendingLoadTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        controller->backgroundOpenBytes = 1000; // big.txt goes to the worker, the rest not
        controller->openProgressDelayMilliseconds = 0;
        find = std::make_unique<FindController>(*controller);
        find->setQuery("hit");
        find->setReplacement("HIT");
    }
    void TearDown() override {
        if (gate)
            gate->release(); // a failed test must not leave the worker waiting
        find.reset();
        WindowFixture::TearDown();
    }
    /// The first tab (untitled, loaded), then restored: "big.txt" (large, hidden) and the
    /// shown `shown` (large when its name begins with "big"), each holding "hit" once.
    void restore(const QString& shown = "small.txt") {
        if (controller->documentAt(0)->length() == 0)
            controller->documentAt(0)->applyEdit({0, 0}, u"hit one");
        std::vector<std::unique_ptr<EditorDocument>> list;
        for (const QString name : {QStringLiteral("big.txt"), shown}) {
            const QByteArray bytes = name.startsWith("big") ? QByteArray(2000, '.') + "\nhit" : "hit";
            auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
            document->setFileURL(write(name, bytes));
            document->setPending(EditorDocument::PendingContent::ofFile());
            list.push_back(std::move(document));
        }
        big = list[0].get();
        small = list[1].get();
        controller->restoreDocuments(std::move(list), 1);
    }
    /// Holds every background read at its start; counts the reads.
    void hold() {
        gate = std::make_shared<Gate>(0.0);
        plantedOpenStep = [g = gate, r = reads](double fraction) {
            if (fraction == 0.0)
                ++*r;
            g->pass(fraction);
        };
    }
    static bool waitFor(const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 20'000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
    bool waitIdle() {
        return waitFor([this] { return !find->isBusy() && !controller->isOpening(); });
    }
    ProgressPanel* panel() {
        waitFor([this] {
            return controller->backgroundLoad() && controller->backgroundLoad()->panel();
        });
        return controller->backgroundLoad() ? controller->backgroundLoad()->panel() : nullptr;
    }

    std::unique_ptr<FindController> find;
    std::shared_ptr<Gate> gate;
    std::shared_ptr<std::atomic<int>> reads = std::make_shared<std::atomic<int>>(0);
    EditorDocument* big = nullptr;
    EditorDocument* small = nullptr;
};

TEST_F(WindowPendingLoadTest, FindInAllTabsReadsAHiddenLargeTabOnTheWorkerThenFindsItsMatches) {
    restore();
    ASSERT_TRUE(small->isLoaded());
    ASSERT_FALSE(big->isLoaded());
    hold();
    std::optional<MultiDocumentResult> shown;
    QObject::connect(find.get(), &FindController::resultsFound,
                     [&](const MultiDocumentResult& result) { shown = result; });
    find->findInAllTabs();
    ASSERT_TRUE(gate->waitReached());
    // Being read: the window goes on, the search waits, the panel names the file.
    EXPECT_TRUE(find->isBusy());
    EXPECT_FALSE(big->isLoaded());
    ProgressPanel* progress = panel();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->title(), "“big.txt” açılıyor…");
    gate->release();
    ASSERT_TRUE(waitIdle());

    EXPECT_TRUE(big->isLoaded());
    EXPECT_EQ(text(*big).substr(2001), u"hit");
    EXPECT_EQ(find->status(), "3 sonuç (3 sekme)");
    EXPECT_FALSE(find->statusIsError());
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->hits.size(), 3u);
    EXPECT_EQ(&active(), small); // the hidden tab was loaded, not shown
    EXPECT_EQ(controller->textView()->document(), small);
    EXPECT_EQ(reads->load(), 1);

    // Replacing in all tabs finds everything loaded now: no second read.
    find->replaceInAllTabs();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(find->status(), "3 sekmede 3 eşleşme değiştirildi");
    EXPECT_EQ(text(*big).substr(2001), u"HIT");
    EXPECT_EQ(reads->load(), 1);
}

TEST_F(WindowPendingLoadTest, CancellingTheReadLeavesTheTabOutAndSaysSo) {
    restore();
    hold();
    find->findInAllTabs();
    ASSERT_TRUE(gate->waitReached());
    ProgressPanel* progress = panel();
    ASSERT_NE(progress, nullptr);
    progress->cancelButton()->click();
    gate->release();
    ASSERT_TRUE(waitIdle());
    // The loaded tabs are searched; the one the user did not wait for is named.
    EXPECT_FALSE(big->isLoaded());
    EXPECT_EQ(find->status(), "2 sonuç (2 sekme); yüklenmeyen sekmeler aranmadı: “big.txt”");
    EXPECT_TRUE(find->statusIsError());
    EXPECT_EQ(statusMessage(), find->status());

    // Replacing in some tabs only is not what was asked for: a cancel changes nothing.
    gate = nullptr;
    hold();
    find->replaceInAllTabs();
    ASSERT_TRUE(gate->waitReached());
    controller->backgroundLoad()->cancel();
    gate->release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(find->status(), "Vazgeçildi: hiçbir sekmede değiştirilmedi");
    EXPECT_EQ(text(*controller->documentAt(0)), u"hit one");
    EXPECT_EQ(text(*small), u"hit");
    EXPECT_FALSE(big->isLoaded());

    // Asked again, the file is read.
    find->findInAllTabs();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(find->status(), "3 sonuç (3 sekme)");
    EXPECT_TRUE(big->isLoaded());
}

TEST_F(WindowPendingLoadTest, ATabClosedOrAFileGoneWhileItIsReadIsNotWaitedFor) {
    restore();
    hold();
    find->findInAllTabs();
    ASSERT_TRUE(gate->waitReached());
    ASSERT_TRUE(controller->closeDocument(*big)); // stops the read
    gate->release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(find->status(), "2 sonuç (2 sekme)"); // a closed tab is not a missing one

    // A file that cannot be read is tried once and named; the search does not hang on it.
    gate = nullptr;
    restore("other.txt");
    hold();
    find->findInAllTabs();
    ASSERT_TRUE(gate->waitReached());
    ASSERT_TRUE(QFile::remove(*big->fileURL()));
    gate->release();
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(big->isLoaded());
    EXPECT_EQ(find->status(), "3 sonuç (3 sekme); yüklenmeyen sekmeler aranmadı: “big.txt”");
}

TEST_F(WindowPendingLoadTest, TheShownTabBeingReadIsWaitedForNotReadAgain) {
    hold();
    restore("big2.txt");
    ASSERT_TRUE(gate->waitReached());
    EXPECT_EQ(&active(), small);
    EXPECT_FALSE(small->isLoaded());
    // Asking the shown tab for its text while the worker reads it does not read it here.
    EXPECT_FALSE(small->ensureLoaded());
    EXPECT_FALSE(controller->saving().save(*small, *small->fileURL())); // nothing to save yet
    EXPECT_EQ(statusMessage(), "“big2.txt” henüz açılıyor; açıldıktan sonra kaydedin.");
    EXPECT_TRUE(prompter.requests.empty());
    find->findInAllTabs();
    QCoreApplication::processEvents();
    EXPECT_TRUE(find->isBusy());
    gate->release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(reads->load(), 2); // each large file once
    EXPECT_TRUE(small->isLoaded());
    EXPECT_TRUE(big->isLoaded());
    EXPECT_EQ(controller->textView()->document(), small);
    EXPECT_EQ(find->status(), "3 sonuç (3 sekme)");
}

} // namespace
} // namespace vendrix::app::test
