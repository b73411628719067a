// The simulator's command line.

#include "logger-sim/sim_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace wing::sim {
namespace {

SimOptions Parse(std::vector<std::string> args) {
    SimOptions o;
    std::string error;
    EXPECT_TRUE(ParseSimOptions(args, o, error)) << error;
    return o;
}

TEST(SimOptions, DeviceAndLogSettings) {
    SimOptions o = Parse({"--com", "12345", "--sn=AB 12", "--fw-version", "2.0.1.255", "--battery", "63",
                          "--switch", "2", "--record-mode=3", "--start-type", "1", "--reserved-start", "1430464200",
                          "--clock-offset", "-7200", "--set-mode-skew", "60", "--seed", "9", "--slots", "2048",
                          "--distance", "412.5", "--log-mode", "1", "--cross-midnight", "--zero-fix",
                          "--nonfix-percent", "0", "--satellite-every", "0", "--no-pacing", "--frame-log", "-"});
    const SimConfig& c = o.config;
    EXPECT_EQ(c.comNumber, 12345);
    EXPECT_EQ(c.serialNumber, "AB 12");
    EXPECT_EQ(c.version, 0x020001FFu);
    EXPECT_EQ(c.battery, 63);
    EXPECT_EQ(c.switchPos, 2);
    EXPECT_EQ(c.recordMode, 3);
    EXPECT_EQ(c.startType, 1);
    EXPECT_EQ(c.reservedStart, 1430464200u);
    EXPECT_EQ(c.clockOffset, -7200);
    EXPECT_EQ(c.setModeTimeSkew, 60);
    EXPECT_EQ(c.flight.seed, 9u);
    EXPECT_EQ(c.flight.slots, 2048);
    EXPECT_DOUBLE_EQ(c.flight.distanceKm, 412.5);
    EXPECT_EQ(c.flight.recordMode, 1);
    EXPECT_TRUE(c.flight.crossMidnight);
    EXPECT_TRUE(c.flight.zeroFix);
    EXPECT_EQ(c.flight.satelliteEvery, 0);
    EXPECT_FALSE(c.pacing);
    EXPECT_EQ(o.frameLog, "-");

    EXPECT_EQ(Parse({"--old-firmware"}).config.serialMode, SerialNumberMode::OldFirmware);
    EXPECT_EQ(Parse({"--no-sn"}).config.serialMode, SerialNumberMode::None);
    EXPECT_FALSE(Parse({"--no-register"}).config.registerPort);
    auto empty = Parse({"--empty-log"}).config.records;
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(SimOptions, FaultSettings) {
    SimOptions o = Parse({"--refuse", "1.3:5", "--refuse=2.0:6:2", "--drop", "3", "--corrupt", "2@3.0",
                          "--duplicate", "5@1.0", "--garbage", "7", "--split", "4:5", "--delay", "250",
                          "--board-missing", "1.5:4", "--hangup-after", "3", "--fault-seed", "77"});
    const Faults& f = o.config.faults;
    ASSERT_EQ(f.refusals.size(), 2u);
    EXPECT_EQ(f.refusals[0].command, 1);
    EXPECT_EQ(f.refusals[0].sub, 3);
    EXPECT_EQ(f.refusals[0].code, 5);
    EXPECT_EQ(f.refusals[0].times, 0);
    EXPECT_EQ(f.refusals[1].times, 2);
    ASSERT_EQ(f.replyFaults.size(), 3u);
    EXPECT_EQ(f.replyFaults[0].kind, ReplyFaultKind::Drop);
    EXPECT_EQ(f.replyFaults[0].every, 3);
    EXPECT_EQ(f.replyFaults[0].command, -1);
    EXPECT_EQ(f.replyFaults[1].kind, ReplyFaultKind::Corrupt);
    EXPECT_EQ(f.replyFaults[1].command, 3);
    EXPECT_EQ(f.replyFaults[1].sub, 0);
    EXPECT_EQ(f.replyFaults[2].kind, ReplyFaultKind::Duplicate);
    EXPECT_EQ(f.replyFaults[2].every, 5);
    EXPECT_EQ(f.garbageBytes, 7);
    EXPECT_EQ(f.splitMaxChunk, 4);
    EXPECT_EQ(f.splitDelayMs, 5);
    EXPECT_EQ(f.replyDelayMs, 250);
    EXPECT_DOUBLE_EQ(f.boardMissingFrom, 1.5);
    EXPECT_DOUBLE_EQ(f.boardMissingTo, 4);
    EXPECT_EQ(f.hangUpAfterPages, 3);
    EXPECT_EQ(o.config.faultSeed, 77u);
    EXPECT_DOUBLE_EQ(Parse({"--board-missing", "2"}).config.faults.boardMissingTo, -1);

    const Faults shaped = Parse({"--extra-data", "120:3@3.0", "--extra-data=0", "--overcount", "64"}).config.faults;
    ASSERT_EQ(shaped.replyFaults.size(), 2u);
    EXPECT_EQ(shaped.replyFaults[0].kind, ReplyFaultKind::Reshape);
    EXPECT_EQ(shaped.replyFaults[0].extraBytes, 120);
    EXPECT_EQ(shaped.replyFaults[0].every, 3);
    EXPECT_EQ(shaped.replyFaults[0].command, 3);
    EXPECT_EQ(shaped.replyFaults[0].sub, 0);
    EXPECT_EQ(shaped.replyFaults[1].extraBytes, 0);
    EXPECT_EQ(shaped.replyFaults[1].every, 1);
    EXPECT_EQ(shaped.replyFaults[1].command, -1);
    EXPECT_EQ(shaped.overcount, 64);
}

TEST(SimOptions, RecordsFileHoldsWholeSlots) {
    std::string path = ::testing::TempDir() + "sim-records.bin";
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 32; ++i) out.put(static_cast<char>(i));
    }
    auto records = Parse({"--records", path}).config.records;
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 2u);
    EXPECT_EQ((*records)[1][15], 31);
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out.put('x');
    }
    SimOptions o;
    std::string error;
    EXPECT_FALSE(ParseSimOptions({"--records", path}, o, error));
    std::remove(path.c_str());
}

TEST(SimOptions, RejectsBadArguments) {
    const std::vector<std::vector<std::string>> bad = {
        {"--com", "0"},         {"--com"},                 {"--com", "x"},          {"--battery", "64"},
        {"--record-mode", "4"}, {"--start-type", "2"},     {"--slots", "2049"},     {"--fw-version", "1.2.3"},
        {"--fw-version", "1.2.3.256"}, {"--refuse", "1:5"}, {"--refuse", "1.3"},    {"--refuse", "1.3:5:0"},
        {"--drop", "0"},        {"--drop", "2@x"},         {"--split", "0"},        {"--split", "4:5:6"},
        {"--board-missing", "5:4"}, {"--distance", "-1"},  {"--nonfix-percent", "101"}, {"--records", "/nonexistent"},
        {"--bogus"},            {"--no-pacing=1"},         {"--seed", "12abc"},
        {"--extra-data", "1009"}, {"--extra-data", "8:0"},  {"--extra-data", "8@3"}, {"--overcount", "-1"},
    };
    for (const auto& args : bad) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(ParseSimOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace wing::sim
