// race new: the race file the command line writes holds what was typed and what the
// settings give (the loft's position, the arrival radius), every track is read before
// anything is written, and each bad argument ends with exit 1 and no file.

#include <fstream>

#include "archive/download_archive.h"
#include "cli/cli_rig.h"
#include "logger-sim/flight_log.h"
#include "race/race_file.h"
#include "support/files.h"

namespace wing::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr char kGpx[] = R"(<?xml version="1.0"?>
<gpx version="1.1" xmlns="http://www.topografix.com/GPX/1/1"><trk><trkseg>
<trkpt lat="47.95" lon="2.0"><time>2026-06-13T05:20:00Z</time></trkpt>
<trkpt lat="48.10" lon="2.2"><time>2026-06-13T05:30:00Z</time></trkpt>
</trkseg></trk></gpx>
)";

class RaceNew : public CliRig {
protected:
    void SetUp() override {
        CliRig::SetUp();
        WriteIni(1, 40, "[Flight]\nLoft=50.846667, 4.352500\nLoftName=Home\nArrivalRadius=80\n");
        tracks = root / "tracks";
        fs::create_directories(tracks);
        ArchivedDownload download;
        download.serial = L"WG1507A0042";
        download.downloadedUtc = 1781400000;
        for (const auto& slot : sim::GenerateFlightLog(sim::FlightSpec{})) download.rawSlots.push_back(slot);
        archive = tracks / "bird.wing";
        std::ofstream(archive, std::ios::binary) << EncodeArchive(download);
        gpx = tracks / "other.gpx";
        std::ofstream(gpx) << kGpx;
    }
    std::vector<std::string> Made(std::vector<std::string> extra, const std::string& release = "47.902964, 1.909251",
                                  const std::string& zone = "Europe/Brussels",
                                  const std::string& time = "2026-06-13 07:15") const {
        std::vector<std::string> args{"race", "new", "--name", "Club race", "--release", release,
                                      "--release-time", time, "--zone", zone};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    fs::path races() const { return drive / "GPSLOG" / "races"; }

    fs::path tracks, archive, gpx;
};

TEST_F(RaceNew, WritesTheRaceWithTheSettingsLoftAndEveryTrack) {
    const auto r = Run(Made({"--json", "--loft", "home", "--dead-time", "sun:60", archive.string(), gpx.string()}));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const fs::path file = races() / "Club race.json";
    const json doc = LastJson(r);
    EXPECT_EQ(doc["race"], file.string());
    EXPECT_EQ(doc["entries"], 2);

    auto read = ReadRace(file);
    ASSERT_TRUE(std::holds_alternative<Race>(read)) << std::get<std::string>(read);
    const Race& race = std::get<Race>(read);
    EXPECT_EQ(race.name, "Club race");
    EXPECT_EQ(race.zone, "Europe/Brussels");
    EXPECT_EQ(race.releaseTime, 1781327700);  // 07:15 in Brussels is 05:15 UTC
    EXPECT_EQ(race.releasePoint.lat, 47.902964);
    EXPECT_EQ(race.rules.deadTime, (DeadTimeRule{DeadTimeRule::Kind::Sun, 0, 0, 60}));
    EXPECT_EQ(race.rules.arrivalRadiusMetres, 80);
    ASSERT_EQ(race.entries.size(), 2u);
    // The named loft keeps the position it has now, so the file judges alike elsewhere.
    EXPECT_EQ(race.entries[0].loft, (RaceLoft{"Home", "50.846667, 4.352500"}));
    EXPECT_EQ(race.entries[0].track, archive);
    EXPECT_EQ(race.entries[1].track, gpx);
}

TEST_F(RaceNew, TracksBesideTheRaceFileAreKeptRelative) {
    const fs::path file = tracks / "race.json";
    const auto r = Run(Made({"--loft-at", "N50 51.000 E4 21.150", "--out", file.string(), archive.string()}));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Race written: " + file.string() + " (1 birds)"), std::string::npos) << r.out;
    const Race race = std::get<Race>(ReadRace(file));
    EXPECT_EQ(race.entries[0].track, fs::path("bird.wing"));
    EXPECT_EQ(race.entries[0].loft, (RaceLoft{"", "N50 51.000 E4 21.150"}));
}

TEST_F(RaceNew, BadArgumentsWriteNothing) {
    std::ofstream(tracks / "no-time.gpx") << "<gpx version=\"1.1\"><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>";
    const std::string a = archive.string();
    struct Case {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"race", "new", "--release", "47.9, 1.9", "--release-time", "2026-06-13 07:15", a}, "--name"},
        {Made({}), "track"},
        {Made({"--loft-at", "95, 200", a}), "95, 200"},
        {Made({"--loft", "Nowhere", a}), "Nowhere"},
        {Made({"--dead-time", "dusk", a}), "--dead-time"},
        {Made({a}, "47.9, 1.9", "Mars/Olympus"), "Mars/Olympus"},
        {Made({a}, "north"), "north"},
        {Made({a}, "47.9, 1.9", "Europe/Brussels", "13.06.2026 07:15"), "--release-time: YYYY-MM-DD"},
        // The clocks skipped 02:30 that night.
        {Made({a}, "47.9, 1.9", "Europe/Brussels", "2026-03-29 02:30"), "--release-time: YYYY-MM-DD"},
        {Made({(tracks / "gone.wing").string()}), "gone.wing: missing"},
        {Made({a, (tracks / "no-time.gpx").string()}), "no-time.gpx: track point 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        auto args = c.args;
        args.push_back("--json");
        const auto r = Run(args);
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        const json doc = LastJson(r);
        EXPECT_EQ(doc["ok"], false);
        EXPECT_NE(doc.value("message", std::string()).find(c.said), std::string::npos) << r.out;
    }
    EXPECT_FALSE(fs::exists(races()));
}

TEST_F(RaceNew, AnExistingRaceFileIsNeverReplaced) {
    ASSERT_EQ(Run(Made({archive.string()})).exitCode, 0);
    const fs::path file = races() / "Club race.json";
    const std::string before = ReadWhole(file);
    const auto again = Run(Made({"--dead-time", "21:30-05:00", gpx.string()}));
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    EXPECT_EQ(ReadWhole(file), before);

    // A folder that cannot be made: exit 5, the files not written.
    const auto blocked = Run(Made({"--out", (archive / "race.json").string(), archive.string()}));
    EXPECT_EQ(blocked.exitCode, 5) << blocked.err;
}

}  // namespace
}  // namespace wing::test
