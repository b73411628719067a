// Walking task graphs: links, pauses, terminal tasks, stops and the end report.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "support/recording_window.h"
#include "tasks/task.h"
#include "tasks/task_flow.h"

namespace wing {
namespace {

using Clock = std::chrono::steady_clock;

// A task that records its runs in a shared journal and returns a fixed result.
class ScriptedTask : public CTask {
public:
    ScriptedTask(const char* label, bool result, std::vector<std::string>* journal, std::mutex* mutex)
        : m_label(label), m_resultValue(result), m_journal(journal), m_mutex(mutex) {}

    bool Run() override {
        CTask::Run();
        {
            std::lock_guard<std::mutex> lock(*m_mutex);
            m_journal->push_back(m_label);
            m_times.push_back(Clock::now());
        }
        if (m_busyMs > 0) SleepMs(m_busyMs);
        ++m_runs;
        return m_resultValue;
    }

    std::string m_label;
    bool m_resultValue;
    std::vector<std::string>* m_journal;
    std::mutex* m_mutex;
    std::atomic<int> m_runs{0};
    std::uint32_t m_busyMs = 0;
    std::vector<Clock::time_point> m_times;
};

class Flow : public ::testing::Test {
protected:
    Flow() { flow.m_window = &window; }

    std::unique_ptr<ScriptedTask> Task(const char* label, bool result) {
        auto t = std::make_unique<ScriptedTask>(label, result, &journal, &mutex);
        t->m_flow = &flow;
        return t;
    }
    std::vector<std::string> Journal() {
        std::lock_guard<std::mutex> lock(mutex);
        return journal;
    }

    test::RecordingWindow window;
    CTaskFlow flow;
    std::vector<std::string> journal;
    std::mutex mutex;
};

TEST_F(Flow, NullFirstTaskEndsAtOnceWithoutReport) {
    ASSERT_TRUE(flow.Start());
    flow.WaitForWorker();
    EXPECT_EQ(window.Count(WM_FLOW_ENDED), 0u);
    EXPECT_FALSE(flow.IsWorkerRunning());
}

TEST_F(Flow, SelfLoopRepeatsAtTheDelayUntilStopped) {
    auto a = Task("A", true);
    a->m_nextOnSuccess = a.get();
    flow.SetFirstTask(a.get());
    flow.m_delay = 500;
    ASSERT_TRUE(flow.Start());
    SleepMs(1300);
    flow.Stop();
    EXPECT_GE(a->m_runs, 3);
    EXPECT_LE(a->m_runs, 6);
    for (std::size_t i = 1; i < a->m_times.size(); ++i)
        EXPECT_GE(std::chrono::duration<double>(a->m_times[i] - a->m_times[i - 1]).count(), 0.45);
    EXPECT_EQ(window.Count(WM_FLOW_ENDED), 1u);
    // Every run announced itself with the task's name.
    EXPECT_EQ(window.Count(WM_TASK_STARTED), static_cast<std::size_t>(a->m_runs.load()));
}

TEST_F(Flow, FailureLinkToATerminalTaskEndsTheWalk) {
    auto a = Task("A", false);
    auto e = Task("E", true);
    auto never = Task("never", true);
    a->m_nextOnFailure = e.get();
    a->m_nextOnSuccess = never.get();
    e->m_terminal = 1;
    e->m_nextOnSuccess = never.get();  // a terminal task's own links are not followed
    flow.SetFirstTask(a.get());
    flow.m_delay = 10;
    ASSERT_TRUE(flow.Start());
    ASSERT_TRUE(window.WaitFor(WM_FLOW_ENDED, std::chrono::seconds(5)));
    flow.WaitForWorker();
    EXPECT_EQ(Journal(), (std::vector<std::string>{"A", "E"}));
}

TEST_F(Flow, NullLinkReturnsToTheFirstTask) {
    auto a = Task("A", true);
    auto b = Task("B", true);
    auto e = Task("E", true);
    a->m_nextOnSuccess = b.get();  // B's success link is null: back to A
    e->m_terminal = 1;
    flow.SetFirstTask(a.get());
    flow.m_delay = 10;
    ASSERT_TRUE(flow.Start());
    while (Journal().size() < 4) SleepMs(5);
    flow.m_stop = 1;
    flow.WaitForWorker();
    auto j = Journal();
    ASSERT_GE(j.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(j.begin(), j.begin() + 4), (std::vector<std::string>{"A", "B", "A", "B"}));
}

TEST_F(Flow, StopWhileATaskRunsLetsItFinishAndRunsNoOther) {
    auto a = Task("A", true);
    auto b = Task("B", true);
    a->m_busyMs = 400;
    a->m_nextOnSuccess = b.get();
    flow.SetFirstTask(a.get());
    flow.m_delay = 10;
    ASSERT_TRUE(flow.Start());
    SleepMs(100);
    flow.m_stop = 1;
    flow.WaitForWorker();
    EXPECT_EQ(a->m_runs, 1);
    EXPECT_EQ(b->m_runs, 0);
    EXPECT_EQ(window.Count(WM_FLOW_ENDED), 1u);
}

TEST_F(Flow, StopRequestedBeforeTheWorkerBeginsIsNotLost) {
    auto a = Task("A", true);
    a->m_nextOnSuccess = a.get();
    flow.SetFirstTask(a.get());
    flow.m_delay = 10;
    ASSERT_TRUE(flow.Start());
    flow.m_stop = 1;  // possibly before the worker has run a single instruction
    flow.WaitForWorker();  // must return: the worker saw the stop
    EXPECT_LE(a->m_runs, 1);
}

TEST_F(Flow, NeverTwoWorkersOnOneFlow) {
    auto a = Task("A", true);
    a->m_busyMs = 300;
    flow.SetFirstTask(a.get());
    ASSERT_TRUE(flow.Start());
    EXPECT_FALSE(flow.Start());  // still running
    flow.m_stop = 1;
    flow.WaitForWorker();
    EXPECT_TRUE(flow.Start());  // ended: may start again
    flow.m_stop = 1;
    flow.WaitForWorker();
}

// A task that ends the worker at once, as the download task does on a refused page.
class EndingTask : public CTask {
public:
    bool Run() override {
        m_flow->EndWorkerAtOnce(21);
        return false;
    }
};

TEST_F(Flow, EndingTheWorkerAtOnceRunsNothingElseAndReportsNothing) {
    EndingTask t;
    auto after = Task("after", true);
    t.m_flow = &flow;
    t.m_nextOnFailure = after.get();
    flow.SetFirstTask(&t);
    flow.m_delay = 10;
    ASSERT_TRUE(flow.Start());
    flow.WaitForWorker();
    EXPECT_EQ(after->m_runs, 0);
    EXPECT_EQ(window.Count(WM_FLOW_ENDED), 0u);
    EXPECT_EQ(flow.ExitCode(), 21);
}

// A flow stopped while it pauses between tasks ends then, not when the pause is over: a
// command line that closes its link right after the first status is not kept for the poll's
// pause. The pause is as long as it is when nothing stops it.
TEST_F(Flow, AStopEndsThePauseBetweenTasks) {
    auto a = Task("A", true);
    a->m_nextOnSuccess = a.get();
    flow.SetFirstTask(a.get());
    flow.m_delay = 20000;
    ASSERT_TRUE(flow.Start());
    while (a->m_runs == 0) SleepMs(5);
    SleepMs(50);  // into the pause
    const auto t0 = Clock::now();
    flow.Stop(0);
    // Well within the stop's own bound for the worker; the pause alone would take 20 s.
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - t0).count(), CTaskFlow::kStopWaitMs / 1000.0);
    EXPECT_EQ(a->m_runs, 1);
    EXPECT_EQ(window.Count(WM_FLOW_ENDED), 1u);
}

TEST_F(Flow, StopOfAnIdleFlowReturnsAndPostsOnlyToAWindow) {
    auto t0 = Clock::now();
    flow.Stop();  // no thread: returns without the pause
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - t0).count(), 0.5);
    window.SetAlive(false);
    EXPECT_FALSE(flow.PostToWindow(WM_FLOW_ENDED, 0, 0));
    flow.m_window = nullptr;
    EXPECT_FALSE(flow.PostToWindow(WM_FLOW_ENDED, 0, 0));
}

}  // namespace
}  // namespace wing
