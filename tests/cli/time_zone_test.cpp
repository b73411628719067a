// The command line's clock for an archived flight is the archive's zone: the same archive
// and the same arguments give the same figures and files whatever zone the PC is in.

#include <fstream>

#include "archive/download_archive.h"
#include "cli/cli_rig.h"
#include "flight/coordinates.h"
#include "flight/flight_analysis.h"
#include "logger-sim/flight_log.h"

namespace wing::test {
namespace {

using nlohmann::json;

constexpr const char* kPcZones[] = {"UTC", "Asia/Taipei", "America/New_York"};
constexpr std::uint32_t kRelease = 1430440200;  // 2015-05-01 08:30 in Taipei, 00:30 UTC

class CliTimeZones : public CliRig {
protected:
    // A 60 km flight released at kRelease, archived in Taipei.
    std::string WriteFlight(const std::string& zone = "Asia/Taipei") {
        sim::FlightSpec spec;
        spec.seed = 7;
        spec.distanceKm = 60;
        spec.startTime = kRelease;
        download.serial = L"WG1507A0042";
        download.downloadedUtc = kRelease + 6 * 3600;
        download.timeZone = zone;
        download.utcOffsetSeconds = 8 * 3600;
        download.rawSlots.clear();
        for (const auto& slot : sim::GenerateFlightLog(spec)) download.rawSlots.push_back(slot);
        records = RecordsOf(download);
        for (const auto& r : records)
            if (r.kind == 0 && r.IsFix()) {
                if (!release) release = GeoPoint{r.LatitudeDegrees(), r.LongitudeDegrees()};
                loft = GeoPoint{r.LatitudeDegrees(), r.LongitudeDegrees()};
            }
        const auto path = root / "flight.wing";
        std::ofstream(path, std::ios::binary) << EncodeArchive(download);
        return path.string();
    }
    ProcessResult RunIn(const std::string& pcZone, std::vector<std::string> args) {
        auto env = Env();
        env["TZ"] = pcZone;
        return RunProcess(Args(std::move(args)), env, 90);
    }

    ArchivedDownload download;
    CLogRecordList records;
    std::optional<GeoPoint> release, loft;
};

TEST_F(CliTimeZones, AReleaseTimeIsReadInTheArchivesZoneUnlessItCarriesAnOffset) {
    const std::string archive = WriteFlight();
    ASSERT_TRUE(release && loft);
    // Ten minutes after the track begins, typed three ways.
    FlightInput input;
    input.loft = *ParseCoordinates(FormatCoordinates(*loft));
    input.release = ReleaseEntry{*ParseCoordinates(FormatCoordinates(*release)), kRelease + 600};
    const FlightSummary expected = AnalyseFlight(records, input);
    ASSERT_TRUE(expected.velocityMetresPerMinute);
    for (const char* pcZone : kPcZones)
        for (const char* typed : {"2015-05-01 08:40", "2015-05-01T08:40:00+08:00", "2015-05-01 00:40Z", "2015-05-01 02:40+0200"}) {
            SCOPED_TRACE(std::string(pcZone) + ", " + typed);
            const auto r = RunIn(pcZone, {"--json", "flight", archive, "--loft-at", FormatCoordinates(*loft), "--release",
                                          FormatCoordinates(*release), "--release-time", typed});
            ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
            const json doc = LastJson(r);
            EXPECT_EQ(doc["release"]["time"], "2015-05-01T00:40:00Z");
            EXPECT_DOUBLE_EQ(doc["velocity_m_per_min"].get<double>(), *expected.velocityMetresPerMinute);
        }
    // The texts are the archive's local times too.
    const auto text = RunIn("America/New_York", {"flight", archive, "--loft-at", FormatCoordinates(*loft), "--release",
                                                 FormatCoordinates(*release), "--release-time", "2015-05-01 08:40"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("2015-05-01 08:40:00"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("2015-05-01 14:30:00"), std::string::npos) << text.out;  // downloaded
}

TEST_F(CliTimeZones, AReleaseTimeTheArchivesClocksSkippedOrShowedTwiceNeedsItsOffset) {
    const std::string archive = WriteFlight("America/New_York");
    ASSERT_TRUE(release && loft);
    for (const char* typed : {"2015-03-08 02:30", "2015-11-01 01:30", "2015-02-29 08:00", "2015-05-01 08:40+8"}) {
        SCOPED_TRACE(typed);
        const auto r = RunIn("UTC", {"--json", "flight", archive, "--release", FormatCoordinates(*release),
                                     "--release-time", typed});
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_NE(LastJson(r)["message"].get<std::string>().find("America/New_York"), std::string::npos) << r.out;
    }
    const auto r = RunIn("UTC", {"--json", "flight", archive, "--release", FormatCoordinates(*release),
                                 "--release-time", "2015-11-01 01:30-05:00"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(LastJson(r)["release"]["time"], "2015-11-01T06:30:00Z");
}

TEST_F(CliTimeZones, ExportWritesTheSameFilesWhateverThePcsZone) {
    const std::string archive = WriteFlight();
    std::optional<std::map<std::string, std::string>> first;
    for (const char* pcZone : kPcZones) {
        SCOPED_TRACE(pcZone);
        std::filesystem::remove_all(drive / "GPSLOG");
        const auto r = RunIn(pcZone, {"export", archive, "--format", "csv,kml,gpx"});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        std::map<std::string, std::string> files;
        for (const auto& f : FilesUnder(drive)) files[f.filename().string()] = ReadWhole(f);
        if (!first) first = files;
        EXPECT_EQ(files, *first);
    }
    ASSERT_EQ(first->size(), 3u);
    // Named by the track's Taipei times.
    EXPECT_EQ(first->begin()->first.substr(0, 26), "WG1507A0042_2015_05_01_08_");
}

TEST_F(CliTimeZones, AnArchiveInAZoneThisSystemDoesNotKnowIsRefused) {
    const std::string archive = WriteFlight("Mars/Olympus");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--json", "export", archive}, {"--json", "flight", archive}}) {
        SCOPED_TRACE(args[1]);
        const auto r = RunIn("UTC", args);
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_NE(r.out.find("bad-archive"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Mars/Olympus"), std::string::npos) << r.out;
    }
    EXPECT_TRUE(FilesUnder(drive).empty());
}

}  // namespace
}  // namespace wing::test
