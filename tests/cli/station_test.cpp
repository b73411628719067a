// The station's loop: loggers come and go on one port; each gives one roster line.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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
    std::vector<std::string> StationArgs(int com, bool json = false) const {
        std::vector<std::string> args{"station", "--port", "COM" + std::to_string(com), "--auto-read", "--roster",
                                      (root / "roster.csv").string()};
        if (json) args.insert(args.begin(), "--json");
        return Args(args);
    }
    Process StartStation(int com) { return Process(StationArgs(com), Env()); }
    // The logger that comes to the station: 16 records on port `com`.
    void ALoggerComes(int com) {
        auto config = Quick(16);
        config.comNumber = com;
        StartSimulator(config);
    }
    std::string ExpectedCsvNow() const {
        return ExpectedCsv(simulator->LogSlots(), L"WG1507A0042", L"V 1.2.3.4", 1033);
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

// A roster that is not a regular file is refused at once: a FIFO without a reader would
// hold the open for ever, a device would swallow the lines.
TEST_F(Station, ARosterThatIsNotARegularFileIsRefused) {
    const auto fifo = root / "roster.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directories(root / "folder");
    for (const std::string& roster : {fifo.string(), std::string("/dev/null"), (root / "folder").string()}) {
        SCOPED_TRACE(roster);
        const auto r = Run({"--json", "station", "--port", "COM" + std::to_string(FreeComNumber(60)), "--auto-read",
                            "--roster", roster},
                           30);
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        const nlohmann::json doc = LastJson(r);
        EXPECT_EQ(doc.value("error", ""), "usage") << r.out;
        EXPECT_NE(doc.value("message", "").find(roster), std::string::npos) << r.out;
    }
}

// A line the roster cannot take (the file may grow no further: a full disk) is said, the
// bird is NG, the roster keeps no torn line, and the station's day ends with 5. The bird's
// own files are written all the same.
TEST_F(Station, ARosterLineThatCannotBeWrittenIsSaidAndTheRunEndsWithFive) {
    constexpr std::size_t kLimit = 16384;
    std::string before = "time,serial,battery,job,records,result,message\r\n";
    while (before.size() < kLimit - 5) before += "#";
    before.resize(kLimit - 5);  // room for 5 bytes of the next line, not for the line
    std::ofstream(root / "roster.csv", std::ios::binary) << before;
    const int com = FreeComNumber(60);
    std::vector<std::string> args{"/bin/sh", "-c", "exec prlimit --fsize=" + std::to_string(kLimit) + " \"$0\" \"$@\""};
    for (auto& a : StationArgs(com, true)) args.push_back(a);
    Process station(args, Env());
    ALoggerComes(com);
    nlohmann::json bird;
    for (int i = 0; i < 400 && bird.is_null(); ++i) {
        station.Pump(100);
        std::istringstream lines(station.Out());
        for (std::string line; std::getline(lines, line);)
            if (auto doc = nlohmann::json::parse(line, nullptr, false); doc.value("event", "") == "bird") bird = doc;
    }
    ASSERT_FALSE(bird.is_null()) << station.Out() << station.Err();
    EXPECT_FALSE(bird["ok"].get<bool>());
    EXPECT_NE(bird.value("message", "").find((root / "roster.csv").string()), std::string::npos) << bird;
    EXPECT_EQ(bird.value("records", 0), 16);
    station.Signal(SIGINT);
    const auto r = station.Wait(30);
    EXPECT_EQ(r.exitCode, 5) << r.out << r.err;
    EXPECT_EQ(LastJson(r).value("error", ""), "files-not-written") << r.out;
    const std::string after = ReadWhole(root / "roster.csv");
    EXPECT_TRUE(after == before) << "the roster ends with: " << after.substr(after.size() - std::min<std::size_t>(after.size(), 80));
    const auto csv = Saved(".csv");
    ASSERT_EQ(csv.size(), 1u);
    EXPECT_EQ(ReadWhole(csv[0]), ExpectedCsvNow());
}

// A bird's line is in the roster, on disk, before it is printed: here the output is a pipe
// nobody reads (a terminal held with Ctrl-S), so the print never ends, and the roster has
// the line all the same. Ctrl-C still ends the station.
TEST_F(Station, ABirdsRosterLineIsOnDiskBeforeItIsPrinted) {
    const auto fifo = root / "out.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const int filler = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    while (::write(filler, block.data(), 1) > 0) {
    }
    ::close(filler);  // the pipe stays full while `reader` is open and not read

    const int com = FreeComNumber(60);
    std::vector<std::string> args{"/bin/sh", "-c", "exec \"$0\" \"$@\" > " + fifo.string()};
    for (auto& a : StationArgs(com, true)) args.push_back(a);
    Process station(args, Env());
    ALoggerComes(com);
    ASSERT_TRUE(WaitForBirds(station, 1, 40s)) << station.Err();
    const auto lines = RosterLines();
    EXPECT_NE(lines[1].find(",WG1507A0042,4.1,read,16,OK,"), std::string::npos) << lines[1];
    station.Signal(SIGINT);
    const auto r = station.Wait(40);
    ::close(reader);
    EXPECT_EQ(r.exitCode, 130) << r.err;
}

}  // namespace
}  // namespace wing::test
