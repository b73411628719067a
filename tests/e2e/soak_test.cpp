// A short fault soak: the same cycles as the wing-soak program, with a fixed seed.

#include <gtest/gtest.h>

#include "soak/soak_cycle.h"

WING_QT_TEST_ENVIRONMENT();

namespace wing {
namespace {

TEST(Soak, TenCyclesUnderRandomFaultsLeaveTheWindowSoundAndTheFilesComplete) {
    soak::Soak soak(20150501);
    for (int i = 1; i <= 10; ++i) {
        soak::CycleReport report = soak.RunCycle(i);
        std::string faults;
        for (const auto& f : report.faults) faults += f + "; ";
        EXPECT_TRUE(report.violations.empty())
            << "cycle " << i << " (" << report.action << ", faults: " << faults << "outcome " << report.outcome << ")\n"
            << ::testing::PrintToString(report.violations);
    }
    soak.PrintSummary(stdout);
    // The seed is chosen so that the short run meets faults and both kinds of action.
    EXPECT_GE(soak.FaultsMet().size(), 3u);
    EXPECT_GE(soak.Outcomes().size(), 2u);
}

}  // namespace
}  // namespace wing
