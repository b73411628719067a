#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/sync.h"

namespace wing {

TEST(AutoResetEvent, ReleasesOneWaitAndResets) {
    AutoResetEvent e;
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    EXPECT_TRUE(e.IsSet());
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(10));  // a successful wait reset it
}

TEST(AutoResetEvent, WakesAWaiterOnAnotherThread) {
    AutoResetEvent e;
    std::atomic<bool> woke{false};
    std::thread t([&] { woke = e.Wait(5000); });
    SleepMs(20);
    e.Set();
    t.join();
    EXPECT_TRUE(woke);
}

TEST(WorkerThreads, StartNeverWaitsForAnEarlierWorker) {
    WorkerThreads workers;
    AutoResetEvent release;
    std::atomic<int> ran{0};
    ASSERT_TRUE(workers.Start([&] {
        release.Wait(INFINITE_WAIT);
        ++ran;
    }));
    ASSERT_TRUE(workers.Start([&] { ++ran; }));  // returns although the first still waits
    EXPECT_GE(workers.Running(), 1);
    release.Set();
    workers.JoinAll();
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(workers.Running(), 0);
}

}  // namespace wing
