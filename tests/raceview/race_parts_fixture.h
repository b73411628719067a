#pragma once
// A small race judged from GPX files: birds whose figures sort differently as numbers
// and as text (1200 before 900 m/min, 9 before 12 km), one that stops short, one whose
// track is missing.

#include <string>
#include <vector>

#include "race/judgement.h"
#include "race/race_fixture.h"

namespace wing::test {

constexpr std::int64_t kPartsRelease = 1746082800;  // 2025-05-01 07:00 UTC

struct PartsRace {
    Race race;
    GeoPoint release{50.0, 5.0};
    std::vector<CLogRecordList> written;  // by entry: the records of each GPX file written
};

// Entries: FAST (12 km north at 1200 m/min), EAST (9 km east at 900 m/min), SLOW (12 km
// north at 600 m/min with a rest), SHORT (stops 3 km before its loft), GONE (no file).
inline PartsRace MakePartsRace(const TempFolder& folder) {
    PartsRace p;
    const GeoPoint north = Direct(p.release, 0, 12000);
    const GeoPoint east = Direct(p.release, 90, 9000);
    TrackBuilder fast(kPartsRelease), eastward(kPartsRelease), slow(kPartsRelease), shortOne(kPartsRelease);
    fast.At(p.release).To(north, 1200).Stay(3);
    eastward.At(p.release).To(east, 900).Stay(3);
    slow.At(p.release).To(Direct(p.release, 0, 4800), 600).Stay(12).To(north, 600).Stay(3);
    shortOne.At(p.release).To(Direct(p.release, 0, 9000), 600).Stay(3);
    p.race.name = "Parts race";
    p.race.releasePoint = p.release;
    p.race.releaseTime = kPartsRelease;
    const std::string n = FormatCoordinates(north), e = FormatCoordinates(east);
    p.race.entries = {
        {"FAST", "Arrow", "Ann", {"", n}, "fast.gpx"},
        {"EAST", "Breeze", "Bob", {"", e}, "east.gpx"},
        {"SLOW", "Cloud", "Cid", {"", n}, "slow.gpx"},
        {"SHORT", "Dusk", "Dee", {"", n}, "short.gpx"},
        {"GONE", "Echo", "Eve", {"", n}, "gone.gpx"},
    };
    p.written = {fast.records, eastward.records, slow.records, shortOne.records, {}};
    const char* files[] = {"fast.gpx", "east.gpx", "slow.gpx", "short.gpx"};
    for (int i = 0; i < 4; ++i) folder.Write(files[i], GpxOf(p.written[i]));
    return p;
}

}  // namespace wing::test
