// wing-utility-cli race: a race of three downloads from the simulator and one GPX file
// from another logger, judged as its own process; and what it does with bad input.

#include <gtest/gtest.h>

#include <fstream>

#include "archive/download_archive.h"
#include "cli/cli_rig.h"
#include "flight/flight_analysis.h"
#include "race/race_file.h"
#include "race/race_fixture.h"
#include "race/track_input.h"
#include "support/track_slots.h"

namespace wing {
namespace {

using json = nlohmann::json;
using test::Direct;
using test::SlotsOf;
using test::TrackBuilder;

constexpr std::int64_t kRelease = 1748754000;  // 2025-06-01 05:00 UTC, 07:00 in Brussels
const GeoPoint kReleasePoint{50.0, 4.0};

std::string Gpx(const CLogRecordList& records) {
    std::string gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"another logger\" "
                      "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
    for (const CLogRecord& r : records) {
        char line[200];
        const std::time_t t = r.time;
        std::tm tm{};
        gmtime_r(&t, &tm);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &tm);
        std::snprintf(line, sizeof line, "<trkpt lat=\"%.8f\" lon=\"%.8f\"><ele>150</ele><time>%s</time></trkpt>\n",
                      r.LatitudeDegrees(), r.LongitudeDegrees(), when);
        gpx += line;
    }
    return gpx + "</trkseg></trk></gpx>\n";
}

class RaceCli : public test::CliRig {
protected:
    // The log read from a simulated logger holding `records`, as its archive; the archive
    // holds exactly the slots the logger held.
    std::string Download(const std::string& serial, const CLogRecordList& records) {
        auto config = Quick();
        config.serialNumber = serial;
        config.records = SlotsOf(records);
        StartSimulator(config);
        const auto r = Run({"--json", "read", "--port", Com()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        simulator.reset();
        const std::string archive = LastJson(r)["archive"];
        const auto download = std::get<ArchivedDownload>(ReadArchive(archive));
        EXPECT_EQ(download.rawSlots, *config.records) << serial;
        return archive;
    }

    Race MakeRace() {
        Race race;
        race.name = "Spring national";
        race.releasePoint = kReleasePoint;
        race.releaseTime = kRelease;
        race.zone = "Europe/Brussels";
        return race;
    }
};

TEST_F(RaceCli, ThreeDownloadsAndAForeignGpxAreRankedAsTheFlightAnalysisTimesThem) {
    const GeoPoint home = Direct(kReleasePoint, 30, 80000);
    WriteIni(1, 40, "[Flight]\nLoft=" + FormatCoordinates(home) + "\nLoftName=Home\n");
    struct Bird {
        const char* ring;
        RaceLoft loft;
        GeoPoint at;
        CLogRecordList records;
    };
    const GeoPoint loftB = Direct(kReleasePoint, 45, 100000), loftC = Direct(kReleasePoint, 10, 60000),
                   loftD = Direct(kReleasePoint, 60, 90000);
    TrackBuilder a(kRelease - 300), b(kRelease - 300), c(kRelease - 300), d(kRelease - 300);
    a.At(kReleasePoint).Stay(4).To(home, 1300).Stay(5);                                 // fastest
    b.At(kReleasePoint).Stay(4).To(Direct(kReleasePoint, 45, 50000), 1100).Stay(20).To(loftB, 1100).Stay(5);
    c.At(kReleasePoint).Stay(4).To(Direct(kReleasePoint, 10, 55000), 900).Stay(5);    // 5 km short
    d.At(kReleasePoint).Stay(4).To(loftD, 1200).Stay(5);

    const std::filesystem::path races = root / "races";
    std::filesystem::create_directories(races / "tracks");
    std::ofstream(races / "tracks" / "d.gpx") << Gpx(d.records);
    Race race = MakeRace();
    race.entries = {
        {"BE-A", "Ace", "Jan", {"home", ""}, Download("WGA", a.records)},
        {"BE-B", "Blue", "Piet", {"", FormatCoordinates(loftB)}, Download("WGB", b.records)},
        {"BE-C", "Chequer", "Jan", {"", FormatCoordinates(loftC)}, Download("WGC", c.records)},
        {"NL-D", "Dun", "Kees", {"", FormatCoordinates(loftD)}, "tracks/d.gpx"},
        {"BE-E", "", "", {"", FormatCoordinates(loftD)}, "tracks/gone.wing"},
    };
    ASSERT_EQ(WriteRace(race, races / "spring.json"), "");

    const auto r = Run({"--json", "race", (races / "spring.json").string(), "--out", (root / "results").string()});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const json doc = LastJson(r);
    ASSERT_TRUE(doc.is_object()) << r.out;
    const json& birds = doc["birds"];
    std::vector<std::string> rings;
    for (const auto& bird : birds) rings.push_back(bird["ring"]);
    EXPECT_EQ(rings, (std::vector<std::string>{"BE-A", "NL-D", "BE-B", "BE-C", "BE-E"}));
    EXPECT_EQ(birds[0]["rank"], 1);
    EXPECT_EQ(birds[1]["rank"], 2);
    EXPECT_EQ(birds[2]["rank"], 3);
    EXPECT_TRUE(birds[3]["rank"].is_null());
    EXPECT_FALSE(birds[3]["arrived"].get<bool>());
    EXPECT_NEAR(birds[3]["closest_m"].get<double>(), 5000, 1);
    EXPECT_NE(birds[4]["problem"].get<std::string>().find("entry 5 (ring BE-E, gone.wing)"), std::string::npos)
        << birds[4]["problem"];

    // Each bird's velocity is the flight analysis's for its track, the race's release and its loft.
    const std::map<std::string, std::pair<GeoPoint, std::filesystem::path>> tracks{
        {"BE-A", {home, race.entries[0].track}}, {"BE-B", {loftB, race.entries[1].track}},
        {"BE-C", {loftC, race.entries[2].track}}, {"NL-D", {loftD, races / "tracks" / "d.gpx"}}};
    for (const auto& bird : birds) {
        const auto it = tracks.find(bird["ring"]);
        if (it == tracks.end()) continue;
        const auto read = ReadTrack(it->second.second);
        ASSERT_TRUE(std::holds_alternative<RaceTrack>(read)) << std::get<std::string>(read);
        FlightInput input;
        input.loft = *ParseCoordinates(FormatCoordinates(it->second.first));
        input.release = ReleaseEntry{kReleasePoint, kRelease};
        const FlightSummary expected = AnalyseFlight(std::get<RaceTrack>(read).records, input);
        if (expected.velocityMetresPerMinute)
            EXPECT_DOUBLE_EQ(bird["velocity_m_per_min"].get<double>(), *expected.velocityMetresPerMinute) << it->first;
        else
            EXPECT_TRUE(bird["velocity_m_per_min"].is_null()) << it->first;
        EXPECT_DOUBLE_EQ(bird["distance_m"].get<double>(), *expected.distanceMetres) << it->first;
        for (const char* key : {"rank", "ring", "track", "arrived", "arrival", "distance_m", "flying_seconds", "dead_seconds",
                                "velocity_m_per_min", "velocity_yd_per_min", "path_m", "max_cross_track_m", "rests",
                                "behind_winner_m"})
            EXPECT_TRUE(bird.contains(key)) << key;
    }
    EXPECT_EQ(birds[0]["arrival"].get<std::string>().substr(19), "+02:00");

    // The CSV beside it agrees with the JSON, bird for bird, and so does the JSON file.
    const std::filesystem::path csvPath = root / "results" / "spring-results.csv";
    ASSERT_EQ(doc["files"].size(), 3u);
    const auto rows = test::ParseCsv(test::ReadWhole(csvPath));
    ASSERT_EQ(rows.size(), birds.size() + 1);
    const auto velocity = std::find(rows[0].begin(), rows[0].end(), "Velocity (m/min)") - rows[0].begin();
    for (std::size_t i = 0; i < birds.size(); ++i) {
        EXPECT_EQ(rows[i + 1][0], birds[i]["rank"].is_null() ? "" : std::to_string(birds[i]["rank"].get<int>()));
        EXPECT_EQ(rows[i + 1][1], birds[i]["ring"]);
        if (!birds[i]["velocity_published"].is_null()) {
            EXPECT_DOUBLE_EQ(std::stod(rows[i + 1][velocity]), birds[i]["velocity_published"].get<double>());
        }
    }
    const json saved = json::parse(test::ReadWhole(root / "results" / "spring-results.json"));
    EXPECT_EQ(saved["birds"], birds);
    EXPECT_NE(test::ReadWhole(root / "results" / "spring-results.html").find("BE-A"), std::string::npos);
    // The race file itself is left as it was.
    EXPECT_TRUE(std::holds_alternative<Race>(ReadRace(races / "spring.json")));
}

TEST_F(RaceCli, BadInputEndsWithItsExitCodeAndNamesTheCause) {
    const std::filesystem::path races = root / "races";
    std::filesystem::create_directories(races);
    std::ofstream(races / "broken.json") << "{ \"name\": \"half";
    Race early = MakeRace();
    TrackBuilder home(kRelease - 300);
    home.At(kReleasePoint).Stay(4).To(Direct(kReleasePoint, 0, 30000), 1000).Stay(30);
    std::ofstream(races / "t.gpx") << Gpx(home.records);
    // Liberation typed a day late: the bird is home before it.
    early.releaseTime = kRelease + 86400;
    early.entries = {{"BE-1", "", "", {"", FormatCoordinates(Direct(kReleasePoint, 0, 30000))}, "t.gpx"}};
    ASSERT_EQ(WriteRace(early, races / "late.json"), "");
    Race fine = early;
    fine.releaseTime = kRelease;
    ASSERT_EQ(WriteRace(fine, races / "fine.json"), "");
    std::ofstream(root / "a-file") << "x";

    struct Case {
        const char* what;
        std::vector<std::string> args;
        int exit;
        const char* says;
    } cases[] = {
        {"not JSON", {"race", (races / "broken.json").string()}, 1, "broken.json"},
        {"no such file", {"race", (races / "none.json").string()}, 1, "none.json"},
        {"unknown format", {"race", (races / "fine.json").string(), "--format", "pdf"}, 1, "--format"},
        {"release after every arrival", {"race", (races / "late.json").string()}, 6, "entry 1 (ring BE-1, t.gpx)"},
        {"result folder is a file", {"race", (races / "fine.json").string(), "--out", (root / "a-file").string()}, 5,
         "a-file"},
    };
    for (const auto& c : cases) {
        const auto r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exit) << c.what << "\n" << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << c.what << "\n" << r.out << r.err;
        auto withJson = c.args;
        withJson.insert(withJson.begin(), "--json");
        const auto j = Run(withJson);
        EXPECT_EQ(j.exitCode, c.exit) << c.what;
        EXPECT_FALSE(LastJson(j)["ok"].get<bool>()) << c.what << j.out;
    }
    // The good race writes its three files, and nothing else beside the race file.
    const auto r = Run({"race", (races / "fine.json").string(), "--format", "csv,html"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(races / "fine-results.csv"));
    EXPECT_TRUE(std::filesystem::exists(races / "fine-results.html"));
    EXPECT_FALSE(std::filesystem::exists(races / "fine-results.json"));
}

}  // namespace
}  // namespace wing
