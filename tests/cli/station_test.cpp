// The station's loop: loggers come and go on one port; each gives one roster line.

#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/cli_rig.h"
#include "platform/device_map.h"
#include "platform/text.h"
#include "support/expected_csv.h"

namespace wing::test {
namespace {

using namespace std::chrono_literals;

class Station : public CliRig {
protected:
    std::vector<std::string> RosterLines() const {
        std::vector<std::string> lines;
        std::ifstream in(root / "roster.csv");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // Waits until the roster has `n` lines after its header.
    bool WaitForBirds(Process& station, std::size_t n, std::chrono::seconds bound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (std::chrono::steady_clock::now() < deadline) {
            station.Pump(100);
            if (RosterLines().size() >= n + 1) return true;
        }
        return false;
    }
    Process StartStation(int com) {
        return Process(Args({"station", "--port", "COM" + std::to_string(com), "--auto-read", "--roster",
                             (root / "roster.csv").string()}),
                       Env());
    }
};

TEST_F(Station, ThreeLoggersInTurnGiveThreeRosterLinesAndTheirFiles) {
    const int com = FreeComNumber(60);
    Process station = StartStation(com);
    const char* serials[] = {"WG1507A0001", "WG1507A0002", "WG1507A0003"};
    std::vector<std::string> expectedCsv;
    for (int i = 0; i < 3; ++i) {
        auto config = Quick(16 + 8 * i);
        config.comNumber = com;
        config.serialNumber = serials[i];
        config.flight.seed = 10 + i;
        StartSimulator(config);
        ASSERT_TRUE(WaitForBirds(station, i + 1, 40s)) << station.Out();
        expectedCsv.push_back(ExpectedCsv(simulator->LogSlots(), FromUtf8(serials[i]), L"V 1.2.3.4", 1033));
        simulator.reset();  // the adapter is pulled out
    }
    station.Signal(SIGINT);
    const auto r = station.Wait(20);
    EXPECT_EQ(r.exitCode, 0) << r.err;

    const auto lines = RosterLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "time,serial,battery,job,records,result,message\r");
    for (int i = 0; i < 3; ++i) {
        std::istringstream fields(lines[i + 1]);
        std::vector<std::string> f;
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        ASSERT_GE(f.size(), 6u) << lines[i + 1];
        EXPECT_EQ(f[1], serials[i]);
        EXPECT_EQ(f[2], "4.1");
        EXPECT_EQ(f[3], "read");
        EXPECT_EQ(f[4], std::to_string(16 + 8 * i));
        EXPECT_EQ(f[5], "OK");
    }
    // Each bird's CSV is exactly its logger's log.
    for (int i = 0; i < 3; ++i) {
        bool found = false;
        for (const auto& csv : Saved(".csv"))
            if (csv.filename().string().rfind(serials[i], 0) == 0) {
                found = true;
                EXPECT_EQ(ReadWhole(csv), expectedCsv[i]) << serials[i];
            }
        EXPECT_TRUE(found) << serials[i];
    }
}

TEST_F(Station, ALoggerPulledOutMidReadGivesAnNgLineAndNoFile) {
    const int com = FreeComNumber(60);
    Process station = StartStation(com);
    auto config = Quick(200);
    config.comNumber = com;
    config.faults.hangUpAfterPages = 3;
    StartSimulator(config);
    ASSERT_TRUE(WaitForBirds(station, 1, 40s)) << station.Out();
    station.Signal(SIGINT);
    const auto r = station.Wait(20);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto lines = RosterLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(",NG,"), std::string::npos) << lines[1];
    EXPECT_TRUE(Saved(".csv").empty());
    EXPECT_TRUE(Saved(".wing").empty());
}

}  // namespace
}  // namespace wing::test
