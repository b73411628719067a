// A bird's track from a file: an archive gives the very records of the download, a GPX
// file from another logger gives fixes as the flight analysis reads them, and a file that
// cannot give a track is named with what is wrong.

#include <gtest/gtest.h>

#include <cmath>

#include "archive/download_archive.h"
#include "logger-sim/flight_log.h"
#include "race/race_fixture.h"
#include "race/track_input.h"

namespace wing {
namespace {

RaceTrack Track(std::variant<RaceTrack, std::string> read) {
    if (const auto* why = std::get_if<std::string>(&read)) ADD_FAILURE() << *why;
    return std::holds_alternative<RaceTrack>(read) ? std::get<RaceTrack>(std::move(read)) : RaceTrack{};
}

// Two segments, the second written first; times with Z, an offset and a fraction.
constexpr char kGpx11[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="another logger" xmlns="http://www.topografix.com/GPX/1/1">
  <rte><rtept lat="1" lon="1"><time>2026-06-13T05:00:00Z</time></rtept></rte>
  <trk><name>Blue</name>
    <trkseg>
      <trkpt lat="50.500000" lon="4.100000"><ele>88.6</ele><time>2026-06-13T08:00:10+02:00</time></trkpt>
      <trkpt lat="-33.912345" lon="-151.212345"><ele>-12</ele><time>2026-06-13T06:00:20.6Z</time></trkpt>
    </trkseg>
    <trkseg>
      <trkpt lat="47.902964" lon="1.909251"><ele>120</ele><time>2026-06-13T05:15:00.000Z</time></trkpt>
    </trkseg>
  </trk>
</gpx>
)";

TEST(TrackInput, GpxTrackPointsBecomeFixesInTimeOrder) {
    test::TempFolder dir;
    const RaceTrack track = Track(ReadTrack(dir.Write("blue.gpx", kGpx11)));
    ASSERT_EQ(track.records.size(), 3u);  // the route is not read when there is a track
    struct Expected {
        std::uint32_t time;
        double lat, lon;
        int altitude;
    } expected[] = {
        {1781327700, 47.902964, 1.909251, 120},
        {1781330410, 50.5, 4.1, 89},
        {1781330421, -33.912345, -151.212345, 0},  // 20.6 s to the nearest second; below sea level: 0
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const CLogRecord& r = track.records[i];
        EXPECT_EQ(r.kind, 0);
        EXPECT_TRUE(r.IsFix());
        EXPECT_EQ(r.time, expected[i].time);
        // The packed form keeps a ten-thousandth of a minute: within 0.1 m.
        EXPECT_NEAR(r.LatitudeDegrees(), expected[i].lat, 0.00005 / 60);
        EXPECT_NEAR(r.LongitudeDegrees(), expected[i].lon, 0.00005 / 60);
        EXPECT_EQ(r.altitude, expected[i].altitude);
    }
    EXPECT_EQ(track.serial, "");
}

TEST(TrackInput, GpxRoutesAreReadWhenThereIsNoTrack) {
    test::TempFolder dir;
    const RaceTrack track = Track(ReadTrack(dir.Write("route.gpx", R"(<?xml version="1.0"?>
<gpx version="1.0" creator="old logger" xmlns="http://www.topografix.com/GPX/1/0">
  <rte>
    <rtept lat="24.1" lon="120.6"><time>2026-06-13T05:15:00Z</time><speed>12.5</speed></rtept>
    <rtept lat="24.2" lon="120.6"><time>2026-06-13T05:25:00Z</time></rtept>
  </rte>
</gpx>)")));
    ASSERT_EQ(track.records.size(), 2u);
    EXPECT_EQ(track.records[0].SpeedKmh(), 45);  // GPX 1.0's speed is in m/s
    EXPECT_EQ(track.records[1].time - track.records[0].time, 600u);
}

TEST(TrackInput, ArchiveGivesTheDownloadsRecords) {
    sim::FlightSpec spec;
    spec.seed = 7;
    spec.distanceKm = 40;
    spec.nonFixPercent = 5;
    ArchivedDownload download;
    download.serial = L"WG1507A0042";
    download.downloadedUtc = 1781400000;
    download.timeZone = "Europe/Brussels";
    for (const auto& slot : sim::GenerateFlightLog(spec)) download.rawSlots.push_back(slot);

    test::TempFolder dir;
    const RaceTrack track = Track(ReadTrack(dir.Write("bird.wing", EncodeArchive(download))));
    const CLogRecordList expected = RecordsOf(download);
    ASSERT_EQ(track.records.size(), expected.size());
    ASSERT_GT(expected.size(), 50u);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const CLogRecord &a = track.records[i], &b = expected[i];
        EXPECT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.time, b.time);
        EXPECT_EQ(a.latitude, b.latitude);
        EXPECT_EQ(a.longitude, b.longitude);
        EXPECT_EQ(a.debugStatus, b.debugStatus);
        EXPECT_EQ(a.speed, b.speed);
        EXPECT_EQ(a.altitude, b.altitude);
    }
    EXPECT_EQ(track.serial, "WG1507A0042");
}

TEST(TrackInput, FilesThatGiveNoTrackAreNamedWithTheReason) {
    const std::string head = R"(<?xml version="1.0"?><gpx version="1.1" xmlns="http://www.topografix.com/GPX/1/1">)";
    struct Case {
        const char* name;
        std::string text;  // empty: the file is not made
        std::vector<std::string> said;
    } cases[] = {
        {"gone.gpx", "", {"gone.gpx: missing"}},
        {"no-time.gpx",
         head + "<trk><trkseg>\n<trkpt lat=\"1\" lon=\"2\"><time>2026-06-13T05:15:00Z</time></trkpt>\n"
                "<trkpt lat=\"1\" lon=\"2\"><ele>5</ele></trkpt>\n</trkseg></trk></gpx>",
         {"no-time.gpx: track point 2 (line 3): no time"}},
        {"bad-time.gpx", head + "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>yesterday</time></trkpt></trkseg></trk></gpx>",
         {"bad-time.gpx: track point 1", "yesterday"}},
        {"off.gpx", head + "<rte><rtept lat=\"91\" lon=\"2\"><time>2026-06-13T05:15:00Z</time></rtept></rte></gpx>",
         {"off.gpx: route point 1", "off the globe"}},
        {"no-lat.gpx", head + "<trk><trkseg><trkpt lon=\"2\"><time>2026-06-13T05:15:00Z</time></trkpt></trkseg></trk></gpx>",
         {"no-lat.gpx: track point 1", "no lat and lon"}},
        {"empty.gpx", head + "<wpt lat=\"1\" lon=\"2\"/></gpx>", {"empty.gpx: no track or route points"}},
        {"v2.gpx", R"(<gpx version="2.0"><trk/></gpx>)", {"v2.gpx: GPX version 2.0"}},
        {"cut.gpx", head + "<trk><trkseg><trkpt lat=\"1\"", {"cut.gpx: neither an archive nor a GPX file", "line 1"}},
        {"kml.gpx", "<kml><Document/></kml>", {"kml.gpx: neither an archive nor a GPX file"}},
        {"cut.wing", "WING-ARCHIVE 2\nserial: X\n", {"cut.wing: "}},
    };
    test::TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = c.text.empty() ? dir.Path() / c.name : dir.Write(c.name, c.text);
        const auto read = ReadTrack(path);
        ASSERT_TRUE(std::holds_alternative<std::string>(read));
        for (const auto& part : c.said) EXPECT_NE(std::get<std::string>(read).find(part), std::string::npos) << std::get<std::string>(read);
    }
}

}  // namespace
}  // namespace wing
