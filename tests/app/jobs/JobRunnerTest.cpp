#include "app/jobs/PoolJobRunner.h"
#include "app/jobs/ProgressPanel.h"
#include "core/common/WorkQueue.h"
#include "tests/app/window/WorkerGate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

namespace vendrix::app::test {
namespace {

/// What a job saw and what its owner was told.
struct Record {
    std::atomic<bool> ran{false};
    std::atomic<bool> sawCancel{false};
    int doneCalls = 0;
    std::optional<int> result;
    bool cancelled = false;
};

bool waitFor(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 20'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

/// A job that holds its worker at the gate, then runs until cancelled when told to.
JobHandle startJob(JobRunner& runner, QObject* owner, Record& record, Gate* gate,
                   bool untilCancelled, JobOptions options = {}) {
    return runner.run(
        owner, options,
        [&record, gate, untilCancelled](ProgressToken& token) {
            record.ran = true;
            if (gate)
                gate->pass(1.0);
            while (untilCancelled && !token.isCancelled())
                std::this_thread::yield();
            record.sawCancel = token.isCancelled();
            return 7;
        },
        [&record](std::optional<int> value, const ProgressToken& token) {
            ++record.doneCalls;
            record.result = value;
            record.cancelled = token.isCancelled();
        });
}

// Cancelling a queued job skips its work but still tells the owner; cancelling a running one
// reaches the work through the token and the owner gets the work's result, marked cancelled.
TEST(JobRunnerTest, CancelBeforeStartSkipsTheWorkAndCancelWhileRunningReachesIt) {
    WorkQueue pool("test.jobs", 1);
    PoolJobRunner runner(pool);
    Gate gate(0.0);
    Record running, queued;
    JobHandle first = startJob(runner, nullptr, running, &gate, true);
    ASSERT_TRUE(gate.waitReached());
    JobHandle second = startJob(runner, nullptr, queued, nullptr, false);
    second.cancel();
    first.cancel();
    gate.release();
    ASSERT_TRUE(waitFor([&] { return running.doneCalls == 1 && queued.doneCalls == 1; }));
    EXPECT_TRUE(running.sawCancel);
    EXPECT_TRUE(running.cancelled);
    EXPECT_EQ(running.result, 7);
    EXPECT_FALSE(queued.ran);
    EXPECT_TRUE(queued.cancelled);
    EXPECT_EQ(queued.result, std::nullopt);
    EXPECT_EQ(runner.activeCount(), 0u);
    EXPECT_TRUE(first.hasStopped() && second.hasStopped());
}

// The panel waits for its delay, then shows the title and cancels from "Vazgeç"; it is gone
// when the job is handed back.
TEST(JobRunnerTest, ThePanelAppearsOnlyAfterItsDelayAndItsButtonCancels) {
    PoolJobRunner runner;
    Gate gate(0.0);
    Record record;
    JobHandle job = startJob(runner, nullptr, record, &gate, true,
                             {QStringLiteral("“a.txt” açılıyor…"), nullptr, 150});
    ASSERT_TRUE(gate.waitReached());
    EXPECT_EQ(job.panel(), nullptr);
    ASSERT_TRUE(waitFor([&] { return job.panel() != nullptr; }));
    ProgressPanel* panel = PoolJobRunner::panelOf(job);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->title(), QStringLiteral("“a.txt” açılıyor…"));
    gate.release();
    panel->cancelButton()->click();
    EXPECT_TRUE(job.isCancelled());
    ASSERT_TRUE(waitFor([&] { return record.doneCalls == 1; }));
    EXPECT_TRUE(record.cancelled);
    EXPECT_EQ(job.panel(), nullptr);

    // A job that ends before its delay never shows a panel.
    Record quick;
    JobHandle fast = startJob(runner, nullptr, quick, nullptr, false,
                              {QStringLiteral("hızlı"), nullptr, 60'000});
    ASSERT_TRUE(waitFor([&] { return quick.doneCalls == 1; }));
    EXPECT_EQ(fast.panel(), nullptr);
    EXPECT_FALSE(quick.cancelled);
}

// A job whose owner is destroyed is cancelled and never calls back into it; destroying the
// runner cancels what runs, waits for it and drops what has not started.
TEST(JobRunnerTest, AGoneOwnerIsNeverCalledAndNoJobOutlivesTheRunner) {
    Record orphan;
    {
        PoolJobRunner runner;
        Gate gate(0.0);
        auto owner = std::make_unique<QObject>();
        JobHandle job = startJob(runner, owner.get(), orphan, &gate, true);
        ASSERT_TRUE(gate.waitReached());
        owner.reset();
        EXPECT_TRUE(job.isCancelled());
        gate.release();
        ASSERT_TRUE(waitFor([&] { return runner.activeCount() == 0; }));
        EXPECT_EQ(orphan.doneCalls, 0);
        EXPECT_TRUE(orphan.sawCancel);
    }

    WorkQueue pool("test.jobs", 1);
    Record running, queued;
    Gate gate(0.0);
    JobHandle first, second;
    {
        PoolJobRunner runner(pool);
        first = startJob(runner, nullptr, running, &gate, true);
        ASSERT_TRUE(gate.waitReached());
        second = startJob(runner, nullptr, queued, nullptr, false);
        gate.release();
    }
    // The destructor returned: the running job has stopped, the queued one never will run.
    EXPECT_TRUE(first.hasStopped());
    EXPECT_TRUE(running.sawCancel);
    QCoreApplication::processEvents();
    EXPECT_EQ(running.doneCalls, 0);
    EXPECT_FALSE(queued.ran);
    EXPECT_EQ(queued.doneCalls, 0);
}

} // namespace
} // namespace vendrix::app::test
