// The open task: the settle wait, and what it reports for a good and a missing port.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "download_rig.h"

namespace wing {
namespace {

using ::testing::ElementsAre;

struct OpenRig : test::DownloadRig {
    OpenRig() : DownloadRig(test::LogOf(8)) {
        open.m_flow = &flow;
        open.m_nextOnSuccess = &end;
        open.m_nextOnFailure = &end;
        flow.SetFirstTask(&open);
    }
    COpenComPortTask open;
};

TEST(OpenTask, OpensTheConfiguredPortAfterItsSettleWait) {
    OpenRig rig;
    sim::SimPort p = rig.simulator.Start();
    ASSERT_TRUE(p);
    rig.port.m_portNumber = p.comNumber;
    auto t0 = std::chrono::steady_clock::now();
    rig.RunToEnd();
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 1.0);
    EXPECT_THAT(rig.window.Sequence(), ElementsAre(WM_PORT_OPENED, WM_FLOW_ENDED));
    EXPECT_TRUE(rig.channel.IsOpen());
    EXPECT_EQ(rig.open.m_result, 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(rig.window.Messages(WM_TASK_STARTED)[0].wParam),
                 reinterpret_cast<const char*>(rig.open.m_name));
}

// With the settle wait for new ports only, the wait is what is left of it since the port's
// device appeared: all of it for a port not in the map, none once the port has settled.
TEST(OpenTask, SettleWaitForNewPortsOnlyCountsFromThePortsAppearance) {
    OpenRig rig;
    rig.port.m_portNumber = 4711;  // not in the map
    rig.open.m_settleNewPortsOnly = true;
    EXPECT_EQ(rig.open.SettleMs(), COpenComPortTask::kSettleMs);

    sim::SimPort p = rig.simulator.Start();
    ASSERT_TRUE(p);
    rig.port.m_portNumber = p.comNumber;
    rig.open.m_settleNewPortsOnly = false;
    EXPECT_EQ(rig.open.SettleMs(), COpenComPortTask::kSettleMs);  // the window's wait, always
    rig.open.m_settleNewPortsOnly = true;
    const std::uint32_t fresh = rig.open.SettleMs();
    EXPECT_GT(fresh, 0u);  // the pseudo-terminal was made just now
    EXPECT_LE(fresh, COpenComPortTask::kSettleMs);
    SleepMs(fresh + 50);
    EXPECT_EQ(rig.open.SettleMs(), 0u);
    rig.RunToEnd();
    EXPECT_THAT(rig.window.Sequence(), ElementsAre(WM_PORT_OPENED, WM_FLOW_ENDED));
    EXPECT_TRUE(rig.channel.IsOpen());
}

TEST(OpenTask, PortThatCannotBeOpenedIsReportedTwice) {
    OpenRig rig;
    rig.port.m_portNumber = 4711;  // not in the map
    rig.RunToEnd();
    EXPECT_THAT(rig.window.Sequence(), ElementsAre(WM_PORT_OPEN_FAILED, WM_PORT_TASK_FAILED, WM_FLOW_ENDED));
    EXPECT_FALSE(rig.channel.IsOpen());
    EXPECT_EQ(rig.open.m_result, 0);
}

}  // namespace
}  // namespace wing
