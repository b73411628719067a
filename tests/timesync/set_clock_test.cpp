#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "timesync/fake_clock.h"
#include "timesync/time_sync.h"

namespace wing {
namespace {

using test::FakeClock;

const NtpTimestamp kWhen = MakeNtpTimestamp(3640000000u, 2147483648u);  // 2015-05-07 15:06:40.500

TEST(SetPcClock, SetsTheClockToTheTimestamp) {
    FakeClock clock;
    EXPECT_TRUE(SetPcClock(kWhen, clock));
    ASSERT_EQ(clock.Sets().size(), 1u);
    EXPECT_EQ(clock.Sets()[0], (SystemTime{2015, 5, 4, 7, 15, 6, 40, 500}));
    EXPECT_EQ(clock.Restores(), 0);  // the right was already effective
}

TEST(SetPcClock, WithoutTheRightTheClockStaysAsItWas) {
    FakeClock clock;
    clock.SetHasRight(false);
    EXPECT_FALSE(SetPcClock(kWhen, clock));
    EXPECT_EQ(clock.Enables(), 1);
    EXPECT_TRUE(clock.Sets().empty());
    EXPECT_EQ(clock.OffsetMs(), 0);
}

TEST(SetPcClock, ARaisedRightIsDroppedAgain) {
    FakeClock clock;
    clock.SetHasRight(true, /*raise=*/true);
    EXPECT_TRUE(SetPcClock(kWhen, clock));
    EXPECT_EQ(clock.Sets().size(), 1u);
    EXPECT_EQ(clock.Restores(), 1);
}

TEST(SetPcClock, ARefusedSetReportsFailureAndStillDropsTheRight) {
    FakeClock clock;
    clock.SetHasRight(true, /*raise=*/true);
    clock.SetSetSucceeds(false);
    EXPECT_FALSE(SetPcClock(kWhen, clock));
    EXPECT_EQ(clock.Restores(), 1);
    EXPECT_EQ(clock.OffsetMs(), 0);
}

TEST(SetPcClock, MovingByTheOffsetMovesTheClock) {
    FakeClock clock;
    const NtpTimestamp now = SystemTimeToNtp(clock.Now());
    ASSERT_TRUE(SetPcClock(AddSeconds(now, 3.0), clock));
    EXPECT_NEAR(static_cast<double>(clock.OffsetMs()), 3000.0, 50.0);
}

// The machine's clock is read, and its right inspected, but never set.

TEST(RealSystemClock, ReadsTheMachinesUtcTime) {
    const SystemTime now = RealSystemClock().Now();
    const std::int64_t diff = SystemTimeToUnixMs(now) - FakeClock::RealNowMs();
    EXPECT_LE(std::abs(diff), 50);
    EXPECT_GE(now.year, 2024);
}

bool TimeRightIn(const char* set) {
    std::ifstream status("/proc/thread-self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(set, 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(std::string(set).size()), nullptr, 16);
            return (mask >> CAP_SYS_TIME) & 1u;
        }
    }
    return false;
}

TEST(RealSystemClock, TheRightIsCapSysTime) {
    bool raised = true;
    const bool enabled = EnableSystemTimePrivilege(RealSystemClock(), raised);
    EXPECT_EQ(enabled, TimeRightIn("CapPrm:"));
    if (enabled && raised) RealSystemClock().RestoreSetRight();
}

TEST(RealSystemClock, APermittedRightIsRaisedForTheCallAndDroppedAfter) {
    if (!TimeRightIn("CapPrm:")) GTEST_SKIP() << "CAP_SYS_TIME is not permitted to this process";
    // Capabilities belong to a thread: the test drops the right from the effective set
    // of a thread of its own, so the rest of the process is not touched.
    std::thread([] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        ASSERT_EQ(syscall(SYS_capget, &header, data), 0);
        data[CAP_SYS_TIME / 32].effective &= ~(1u << (CAP_SYS_TIME % 32));
        ASSERT_EQ(syscall(SYS_capset, &header, data), 0);
        ASSERT_FALSE(TimeRightIn("CapEff:"));

        bool raised = false;
        ASSERT_TRUE(RealSystemClock().EnableSetRight(raised));
        EXPECT_TRUE(raised);
        EXPECT_TRUE(TimeRightIn("CapEff:"));
        RealSystemClock().RestoreSetRight();
        EXPECT_FALSE(TimeRightIn("CapEff:"));
    }).join();
}

TEST(UnixTime, CalendarConversions) {
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(1900, 1, 1), -25567);
    EXPECT_EQ(UnixMsToSystemTime(0), (SystemTime{1970, 1, 4, 1, 0, 0, 0, 0}));  // a Thursday
    EXPECT_EQ(UnixMsToSystemTime(-1), (SystemTime{1969, 12, 3, 31, 23, 59, 59, 999}));  // a Wednesday
    const SystemTime t{2024, 2, 4, 29, 13, 14, 15, 16};
    EXPECT_EQ(UnixMsToSystemTime(SystemTimeToUnixMs(t)), t);
}

}  // namespace
}  // namespace wing
