#pragma once
// A club race on disk for the benchmarks: 100 birds, each a full 2048-record archive.

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "archive/download_archive.h"
#include "logger-sim/flight_log.h"
#include "race/race.h"
#include "race/race_fixture.h"

namespace wing {

constexpr std::int64_t kRelease = 1748754000;  // 2025-06-01 05:00 UTC
const GeoPoint kReleasePoint{47.9, 1.9};

// 2048 records ten seconds apart: five minutes in the basket, about 280 km at 72 km/h
// with a ten-minute rest half-way, then the loft until the log is full.
inline CLogRecordList Flight(const GeoPoint& loft) {
    test::TrackBuilder t(kRelease - 300, 10);
    const auto line = GeographicLib::Geodesic::WGS84().InverseLine(kReleasePoint.lat, kReleasePoint.lon, loft.lat, loft.lon);
    GeoPoint half;
    line.Position(line.Distance() / 2, half.lat, half.lon);
    t.At(kReleasePoint).Stay(29).To(half, 200).Stay(60).To(loft, 200);
    while (t.records.size() < 2048) t.At(loft);
    t.records.resize(2048);
    return t.records;
}

struct RaceOnDisk {
    std::filesystem::path folder;
    Race race;
    RaceOnDisk() {
        char tmpl[] = "/tmp/wing-race-bench-XXXXXX";
        folder = ::mkdtemp(tmpl);
        race.name = "Bench national";
        race.releasePoint = kReleasePoint;
        race.releaseTime = kRelease;
        for (int i = 0; i < 100; ++i) {
            const GeoPoint loft = test::Direct(kReleasePoint, 20 + i * 0.4, 270000 + i * 150);
            ArchivedDownload download;
            download.serial = L"WG" + std::to_wstring(1000 + i);
            download.downloadedUtc = kRelease + 86400;
            download.timeZone = "UTC";
            for (const CLogRecord& r : Flight(loft))
                download.rawSlots.push_back(sim::PositionSlot(r.time, r.LatitudeDegrees(), r.LongitudeDegrees(), 72, 0, 150));
            const std::string name = "bird" + std::to_string(i) + ".wing";
            std::ofstream(folder / name, std::ios::binary) << EncodeArchive(download);
            race.entries.push_back({"BE-" + std::to_string(i), "", "", {"", FormatCoordinates(loft)}, name});
        }
    }
    ~RaceOnDisk() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

}  // namespace wing
