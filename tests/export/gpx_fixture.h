#pragma once
// A download over four local days in Asia/Taipei (UTC+8) with every kind of point the GPX
// leaves out, each record with the point it must give (its UTC time and its track), and
// the GPX read back.

#include <pugixml.hpp>

#include <string>
#include <vector>

#include "log/log_fixture.h"

namespace wing::test {

struct GpxCase {
    CLogRecord record;
    const char* utc = nullptr;  // the point's time; nullptr: left out of the GPX
    int track = -1;             // the day's track it belongs to
};

// 2015-05-01 23:55:00 in Taipei, 15:55:00 UTC: the first two tracks share a UTC date.
constexpr std::uint32_t kBeforeMidnight = 1430495700;

inline std::vector<GpxCase> FourDaysWithFlaggedPoints() {
    const std::uint32_t t = kBeforeMidnight;
    const std::uint32_t may4 = t + 300 + 2 * 86400 + 7200;  // 2015-05-04 02:00 local
    CLogRecord offTheGlobe = Fix(t + 480, 25040000);
    offTheGlobe.latitude = 95000000;  // 95 degrees, as a corrupt read gives
    // Flying north at about 55 km/h: 0.5' of latitude a minute.
    return {
        {Satellite(t - 60)},  // a satellite fix: gives the files' first stamp, never a point
        {Fix(t, 25000000, 121300000, 60, 100), "2015-05-01T15:55:00Z", 0},
        {NoFix(t + 60)},
        {Fix(t + 120, 25010000, 121300000, 61, 110), "2015-05-01T15:57:00Z", 0},
        {Fix(t + 180, 0, 0, 0, 0)},  // the logger's "no position"
        {Fix(t + 240, 25020000, 121300000, 62, 120), "2015-05-01T15:59:00Z", 0},
        // Local midnight: a new track, on the same UTC date.
        {Fix(t + 300, 25025000, 121300000, 63, 130), "2015-05-01T16:00:00Z", 1},
        {Fix(t + 360, 26025000, 121300000, 255, 140)},  // 111 km in a minute: a spike
        {Fix(t + 420, 25035000, 121300000, 64, 150), "2015-05-01T16:02:00Z", 1},
        {offTheGlobe},
        {Fix(t + 540, 25045000, 121300000, 65, 32767), "2015-05-01T16:04:00Z", 1},
        {NoFix(t + 300 + 86400 + 3600)},  // the only record of May 3: no track that day
        {Fix(may4, 25050000, 121300000, 10, 90), "2015-05-03T18:00:00Z", 2},
        {Fix(may4 + 60, 25050500, 121300500, 5, 80), "2015-05-03T18:01:00Z", 2},
    };
}

inline const char* const kFourDaysTrackNames[] = {"2015-05-01", "2015-05-02", "2015-05-04"};

inline CLogRecordList GpxRecords(const std::vector<GpxCase>& cases) {
    CLogRecordList out;
    for (const auto& c : cases) out.push_back(c.record);
    return out;
}

// One track point as read back.
struct GpxPoint {
    double lat = 0, lon = 0;
    std::string ele, time;
};

// The points of each track, in document order.
inline std::vector<std::vector<GpxPoint>> GpxTracks(const pugi::xml_document& doc) {
    std::vector<std::vector<GpxPoint>> out;
    for (auto trk : doc.child("gpx").children("trk")) {
        auto& points = out.emplace_back();
        for (auto seg : trk.children("trkseg"))
            for (auto p : seg.children("trkpt"))
                points.push_back({p.attribute("lat").as_double(), p.attribute("lon").as_double(),
                                  p.child_value("ele"), p.child_value("time")});
    }
    return out;
}

}  // namespace wing::test
