// wing-utility-cli against the simulator, as a script runs it: each subcommand, each exit
// code, the files it writes compared record by record with what the logger holds.

#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <thread>

#include "archive/download_archive.h"
#include "cli/cli_rig.h"
#include "flight/flight_analysis.h"
#include "support/expected_csv.h"

namespace wing::test {
namespace {

using nlohmann::json;

class Cli : public CliRig {};

std::string ExpectedCsvOf(const sim::LoggerSimulator& s) {
    return ExpectedCsv(s.LogSlots(), L"WG1507A0042", L"V 1.2.3.4", 1033);
}

TEST_F(Cli, PortsListTheSimulatorAsTheLoggersAdapter) {
    StartSimulator(Quick());
    const auto r = Run({"--json", "ports"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json doc = LastJson(r);
    bool found = false;
    for (const auto& p : doc["ports"])
        if (p["port"] == Com()) {
            found = true;
            EXPECT_EQ(p["device"], port.slavePath);
            EXPECT_TRUE(p["adapter"].get<bool>());
        }
    EXPECT_TRUE(found) << r.out;
}

TEST_F(Cli, StatusShowsIdentityAndStateAndWritesThePcClock) {
    auto config = Quick();
    config.clockOffset = -3600;  // the logger's clock is an hour behind until it is written
    config.battery = 37;
    StartSimulator(config);
    const auto r = Run({"--json", "status", "--port", Com()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json doc = LastJson(r);
    EXPECT_EQ(doc["serial"], "WG1507A0042");
    EXPECT_EQ(doc["firmware"], "V 1.2.3.4");
    EXPECT_DOUBLE_EQ(doc["battery_volts"].get<double>(), 3.7);
    EXPECT_EQ(doc["switch"], "off");
    EXPECT_EQ(doc["start"], "now");
    EXPECT_LE(std::abs(doc["clock_minus_pc_seconds"].get<long>()), 2);
    EXPECT_LE(std::abs(static_cast<long>(simulator->State().clock) - static_cast<long>(std::time(nullptr))), 2);
    // Unlinked at the end: the port is free for the next program.
    EXPECT_FALSE(simulator->HungUp());

    const auto text = Run({"status"});  // the adapter found, English lines
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("Serial number: WG1507A0042"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Battery: 3.7 V"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Switch Off"), std::string::npos) << text.out;
}

// Every way a command ends without its job, with its exit code and JSON error.
TEST_F(Cli, EachFailureEndsWithItsExitCode) {
    struct Case {
        const char* name;
        std::function<void(sim::SimConfig&)> logger;
        std::vector<std::string> args;  // "{port}" is the simulator's
        int exit;
        const char* error;
        int code = -1;
    };
    const std::vector<Case> cases = {
        {"no such port", {}, {"status", "--port", "COM250"}, 2, "no-port"},
        {"logger silent", [](auto& c) { c.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 1}); },
         {"status", "--port", "{port}"}, 3, "no-answer"},
        {"version refused", [](auto& c) { c.faults.refusals.push_back({1, 1, sim::kParameterError}); },
         {"status", "--port", "{port}"}, 4, "refused", 6},
        {"clock turned down every time", [](auto& c) { c.faults.refusals.push_back({2, 0, sim::kParameterError}); },
         {"status", "--port", "{port}"}, 4, "refused", 6},
        {"set, switch off", {}, {"set", "--now", "--port", "{port}"}, 6, "switch-off"},
        {"set, low battery for racing", [](auto& c) { c.switchPos = 1; c.battery = 30; },
         {"set", "--now", "--port", "{port}"}, 6, "battery-low"},
        {"set, time passed", [](auto& c) { c.switchPos = 1; }, {"set", "--at", "2020-01-01 07:00", "--port", "{port}"}, 1, "usage"},
        {"set, not held", [](auto& c) { c.switchPos = 1; c.setModeTimeSkew = 60; },
         {"set", "--at", "2040-05-01 07:00", "--port", "{port}"}, 7, "not-held"},
        {"set mode refused", [](auto& c) { c.switchPos = 1; c.faults.refusals.push_back({2, 1, sim::kNotSupported}); },
         {"set", "--now", "--port", "{port}"}, 4, "refused", 5},
        {"read, switch on", [](auto& c) { c.switchPos = 1; }, {"read", "--port", "{port}"}, 6, "switch-on"},
        {"read, empty log", [](auto& c) { c.flight.slots = 0; c.records = std::vector<sim::LogSlot>{}; },
         {"read", "--port", "{port}"}, 6, "empty"},
        {"read, count refused", [](auto& c) { c.faults.refusals.push_back({3, 1, sim::kIncorrectLength}); },
         {"read", "--port", "{port}"}, 4, "refused", 3},
        {"read, every page cut short",
         [](auto& c) { c.faults.replyFaults.push_back({sim::ReplyFaultKind::Reshape, 1, 3, 0, 120}); },
         {"read", "--port", "{port}"}, 3, "no-answer"},
        {"bad format", {}, {"read", "--format", "csv,pdf", "--port", "{port}"}, 1, "usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto config = Quick();
        if (c.logger) c.logger(config);
        StartSimulator(config);
        std::vector<std::string> args{"--json"};
        for (const auto& a : c.args) args.push_back(a == "{port}" ? Com() : a);
        const auto r = Run(args);
        EXPECT_EQ(r.exitCode, c.exit) << r.out << r.err;
        const json doc = LastJson(r);
        EXPECT_EQ(doc.value("error", ""), c.error) << r.out;
        if (c.code >= 0) {
            EXPECT_EQ(doc.value("code", -1), c.code) << r.out;
        }
        EXPECT_TRUE(Saved(".csv").empty());
        simulator.reset();
    }
}

TEST_F(Cli, APortHeldByAnotherProgramIsReportedAsBusy) {
    StartSimulator(Quick());
    const int held = ::open(port.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const auto r = Run({"--json", "status", "--port", Com()});
    ::close(held);
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
    EXPECT_EQ(LastJson(r).value("error", ""), "port-busy");
}

TEST_F(Cli, UsageErrorsExitWithOne) {
    EXPECT_EQ(Run({}).exitCode, 1);
    EXPECT_EQ(Run({"set", "--now", "--at", "2040-01-01 07:00"}).exitCode, 1);
    for (const char* at : {"2040-01-01 07:00x", "2040-02-31 07:00", "2040-01-01", "07:00 2040-01-01"})
        EXPECT_EQ(Run({"set", "--at", at, "--port", "COM250"}).exitCode, 1) << at;
    EXPECT_EQ(Run({"status", "--port", "ttyUSB0"}).exitCode, 1);
    EXPECT_EQ(Run({"station", "--roster", "x.csv"}).exitCode, 1);
    EXPECT_EQ(Run({"--lang", "fr", "ports"}).exitCode, 1);
}

// Under --json every way the arguments can be wrong ends with one JSON object naming the
// cause; as text, a line on stderr names it. An unknown subcommand is named as such.
TEST_F(Cli, EachUsageErrorNamesItsCauseAsTextAndAsOneJsonObject) {
    struct Case {
        std::vector<std::string> args;
        const char* named;
    } cases[] = {
        {{"status", "--port", "COM0"}, "--port"},
        {{"--bogus", "ports"}, "--bogus"},
        {{"status", "--bogus"}, "--bogus"},
        {{"frobnicate"}, "subcommand: frobnicate"},
        {{"station", "--auto-read"}, "--roster"},
        {{"--lang", "xx", "ports"}, "--lang"},
        {{}, "subcommand"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        std::vector<std::string> args{"--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto j = Run(args);
        EXPECT_EQ(j.exitCode, 1) << j.out << j.err;
        // One object, on one line, and nothing else on stdout.
        ASSERT_FALSE(j.out.empty()) << j.err;
        EXPECT_EQ(j.out.find('\n'), j.out.size() - 1) << j.out;
        const json doc = json::parse(j.out, nullptr, false);
        ASSERT_TRUE(doc.is_object()) << j.out;
        EXPECT_EQ(doc.value("ok", true), false);
        EXPECT_EQ(doc.value("exit", -1), 1);
        EXPECT_EQ(doc.value("error", ""), "usage");
        EXPECT_NE(doc.value("message", "").find(c.named), std::string::npos) << j.out;

        const auto t = Run(c.args);
        EXPECT_EQ(t.exitCode, 1);
        EXPECT_TRUE(t.out.empty()) << t.out;
        EXPECT_NE(t.err.find(c.named), std::string::npos) << t.err;
    }
}

// An empty value is a value given wrong, never one not given; a time that is no time is
// said to be one, not taken for a time in the past. Nothing is done with the logger.
TEST_F(Cli, EmptyValuesAndUnreadableTimesAreUsageErrors) {
    StartSimulator(Quick(40));
    const auto r = Run({"--json", "read", "--port", Com()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string archive = LastJson(r)["archive"];
    const std::string roster = (root / "roster.csv").string();
    struct Case {
        std::vector<std::string> args;
        const char* named;
    } cases[] = {
        {{"status", "--port", ""}, "--port"},
        {{"read", "--port", Com(), "--out", ""}, "--out"},
        {{"read", "--port", Com(), "--format", ""}, "--format"},
        {{"flight", archive, "--loft-at", ""}, "--loft-at"},
        {{"flight", archive, "--loft", ""}, "--loft"},
        {{"flight", archive, "--release", "", "--release-time", "2015-04-02 07:00"}, "--release"},
        {{"set", "--port", Com(), "--at", ""}, "--at"},
        {{"set", "--port", Com(), "--now", "--mode", ""}, "--mode"},
        {{"station", "--auto-read", "--port", Com(), "--roster", ""}, "--roster"},
        {{"--lang", "", "ports"}, "--lang"},
        {{"set", "--port", Com(), "--at", "tomorrow"}, "tomorrow"},
        {{"set", "--port", Com(), "--at", "2040-13-01 07:00"}, "2040-13-01 07:00"},
    };
    const auto before = simulator->State();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        std::vector<std::string> args{"--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto e = Run(args, 30);
        EXPECT_EQ(e.exitCode, 1) << e.out << e.err;
        const json doc = LastJson(e);
        EXPECT_EQ(doc.value("error", ""), "usage") << e.out;
        const std::string message = doc.value("message", "");
        EXPECT_NE(message.find(c.named), std::string::npos) << e.out;
        EXPECT_EQ(message.find("after the present"), std::string::npos) << e.out;
    }
    EXPECT_EQ(Saved(".csv").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(roster));
    EXPECT_EQ(simulator->State().logCount, before.logCount);
    EXPECT_EQ(simulator->State().recordMode, before.recordMode);
}

// SIGTERM (or Ctrl-C) while the command line asks on its terminal ends the question and
// the run; nothing is sent to the logger.
TEST_F(Cli, AnInterruptEndsTheQuestionOnTheTerminal) {
    auto config = Quick(64);
    config.switchPos = 1;
    config.battery = 30;  // low: a racing setting asks first
    StartSimulator(config);
    const auto before = simulator->State();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    std::vector<std::string> args{"/bin/sh", "-c", "exec \"$0\" \"$@\" < " + terminal};
    for (auto& a : Args({"set", "--now", "--port", Com()})) args.push_back(a);
    Process set(args, Env());
    for (int i = 0; i < 300 && set.Err().find("[y/N]") == std::string::npos; ++i) set.Pump(100);
    ASSERT_NE(set.Err().find("[y/N]"), std::string::npos) << set.Err();
    set.Signal(SIGTERM);
    const auto r = set.Wait(30);
    ::close(master);
    EXPECT_EQ(r.exitCode, 130) << r.out << r.err;
    EXPECT_EQ(simulator->State().logCount, before.logCount);
    EXPECT_EQ(simulator->State().recordMode, before.recordMode);
}

// What the logger holds after a setting is what was asked, and its old log is gone.
TEST_F(Cli, SetLeavesTheLoggerHoldingTheSetting) {
    const std::int64_t at = std::time(nullptr) + 86400;
    char atText[32];
    const std::time_t t = static_cast<std::time_t>(at / 60 * 60);
    std::strftime(atText, sizeof atText, "%Y-%m-%d %H:%M", std::localtime(&t));
    struct Case {
        const char* name;
        std::uint8_t battery;
        std::vector<std::string> args;
        std::uint8_t startType;
        std::uint8_t recordMode;
        std::uint32_t reservedStart;
    } cases[] = {
        {"now, racing", 41, {"set", "--now"}, 0, 3, 0},
        {"reserved, training mode 2", 41, {"set", "--at", atText, "--mode", "2"}, 1, 1, static_cast<std::uint32_t>(t)},
        {"low battery with --yes", 30, {"set", "--now", "--yes"}, 0, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto config = Quick(64);
        config.switchPos = 1;
        config.battery = c.battery;
        StartSimulator(config);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "--json");
        args.push_back("--port");
        args.push_back(Com());
        const auto r = Run(args);
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_TRUE(LastJson(r)["held"].get<bool>());
        const sim::DeviceState state = simulator->State();
        EXPECT_EQ(state.startType, c.startType);
        EXPECT_EQ(state.recordMode, c.recordMode);
        if (c.startType == 1) {
            EXPECT_EQ(state.reservedStart, c.reservedStart);
        }
        EXPECT_EQ(state.logCount, 0);
        simulator.reset();
    }
}

TEST_F(Cli, ReadSavesEveryRecordAsTheLoggerHoldsItAndArchivesItFirst) {
    StartSimulator(Quick(300));
    const auto r = Run({"--json", "read", "--port", Com()});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    // One JSON line per event: the pages, then the files.
    int progress = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        if (json::parse(line, nullptr, false).value("event", "") == "progress") ++progress;
    EXPECT_GE(progress, 300 / 8);
    const json saved = LastJson(r);
    EXPECT_EQ(saved["event"], "saved");
    EXPECT_EQ(saved["records"], 300);

    const auto csv = Saved(".csv");
    ASSERT_EQ(csv.size(), 1u);
    EXPECT_EQ(ReadWhole(csv[0]), ExpectedCsvOf(*simulator));
    auto archive = ReadArchive(saved["archive"].get<std::string>());
    ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(archive)) << std::get<std::string>(archive);
    const auto slots = simulator->LogSlots();
    const auto& kept = std::get<ArchivedDownload>(archive).rawSlots;
    ASSERT_EQ(kept.size(), slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(kept[i], slots[i]) << "slot " << i;
    EXPECT_FALSE(Saved(".kml").empty());
}

TEST_F(Cli, ReadThatCannotWriteItsFilesExitsWithFive) {
    StartSimulator(Quick());
    std::ofstream(drive / "GPSLOG") << "a file where the log folder should be";
    const auto r = Run({"--json", "read", "--port", Com()});
    EXPECT_EQ(r.exitCode, 5) << r.out << r.err;
    EXPECT_EQ(LastJson(r).value("error", ""), "files-not-written");
}

TEST_F(Cli, ExportRemakesTheFilesFromTheArchiveAndNamesADamagedOne) {
    StartSimulator(Quick(120));
    const auto r = Run({"--json", "read", "--port", Com()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string archive = LastJson(r)["archive"];
    const auto csv = Saved(".csv");
    const auto kml = Saved(".kml");
    ASSERT_EQ(csv.size(), 1u);
    ASSERT_FALSE(kml.empty());
    const std::string csvBytes = ReadWhole(csv[0]);
    const std::string kmlBytes = ReadWhole(kml[0]);
    std::filesystem::remove(csv[0]);
    std::filesystem::remove(kml[0]);
    const auto damaged = root / "damaged.wing";
    std::string bytes = ReadWhole(archive);
    bytes[bytes.size() - 3] ^= 0x55;
    std::ofstream(damaged, std::ios::binary) << bytes;

    const auto e = Run({"--json", "export", damaged.string(), archive});
    EXPECT_EQ(e.exitCode, 1) << e.out << e.err;
    const json doc = LastJson(e);
    ASSERT_EQ(doc["archives"].size(), 2u);
    EXPECT_FALSE(doc["archives"][0]["ok"].get<bool>());
    EXPECT_TRUE(doc["archives"][1]["ok"].get<bool>());
    EXPECT_EQ(ReadWhole(csv[0]), csvBytes);
    EXPECT_EQ(ReadWhole(kml[0]), kmlBytes);
}

TEST_F(Cli, FlightGivesTheVelocityTheAnalysisComputes) {
    auto config = Quick(0);
    config.flight.slots = 0;  // the whole flight and the bird in the loft
    config.flight.distanceKm = 120;
    StartSimulator(config);
    const auto r = Run({"--json", "read", "--port", Com()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string archive = LastJson(r)["archive"];
    const auto download = std::get<ArchivedDownload>(ReadArchive(archive));
    const CLogRecordList records = RecordsOf(download);
    std::optional<GeoPoint> loft;
    for (const auto& rec : records)
        if (rec.kind == 0 && rec.IsFix()) loft = GeoPoint{rec.LatitudeDegrees(), rec.LongitudeDegrees()};
    ASSERT_TRUE(loft);
    const std::string loftText = FormatCoordinates(*loft);

    const auto f = Run({"--json", "flight", archive, "--loft-at", loftText});
    ASSERT_EQ(f.exitCode, 0) << f.out << f.err;
    const json doc = LastJson(f);
    FlightInput input;
    input.loft = *ParseCoordinates(loftText);
    const FlightSummary expected = AnalyseFlight(records, input);
    ASSERT_TRUE(expected.velocityMetresPerMinute);
    EXPECT_DOUBLE_EQ(doc["velocity_m_per_min"].get<double>(), *expected.velocityMetresPerMinute);
    EXPECT_EQ(doc["flight_seconds"].get<std::int64_t>(), *expected.flightSeconds);
    EXPECT_NEAR(doc["distance_metres"].get<double>(), 120000, 2000);
    EXPECT_EQ(Run({"flight", archive, "--loft-at", "north of here"}).exitCode, 1);
}

// --help tells which settings file the run would use: the one given with --config when
// there is one, however many of the usual places hold a file.
TEST_F(Cli, HelpMarksTheSettingsFileInForce) {
    const auto user = root / "config" / "wing-utility" / "Wing.ini";
    std::ofstream(user) << "[Power]\nThreshold=40\n";
    const auto given = Run({"--help"});
    ASSERT_EQ(given.exitCode, 0) << given.err;
    EXPECT_NE(given.out.find("* " + ini.string() + "\n"), std::string::npos) << given.out;
    EXPECT_EQ(given.out.find("* " + user.string()), std::string::npos) << given.out;
    EXPECT_NE(given.out.find("    " + user.string() + "\n"), std::string::npos) << given.out;  // still listed

    const auto usual = RunProcess({kCli, "--help"}, Env());
    ASSERT_EQ(usual.exitCode, 0) << usual.err;
    EXPECT_NE(usual.out.find("* " + user.string() + "\n"), std::string::npos) << usual.out;
    EXPECT_EQ(usual.out.find(ini.string()), std::string::npos) << usual.out;
}

}  // namespace
}  // namespace wing::test
