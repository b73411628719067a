#pragma once
// Files, races and synthetic tracks for the race tests and benchmark: a fresh folder for
// a test's files, and fixes placed on geodesics (GeographicLib), so every expected figure
// is known by construction.

#include <stdlib.h>

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "flight/flight_fixture.h"
#include "race/race.h"

namespace wing::test {

class TempFolder {
public:
    TempFolder() {
        char tmpl[] = "/tmp/wing-race-XXXXXX";
        m_path = ::mkdtemp(tmpl);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path Write(const std::string& name, const std::string& text) const {
        const auto path = m_path / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

private:
    std::filesystem::path m_path;
};


inline GeoPoint Direct(const GeoPoint& from, double azimuth, double metres) {
    GeoPoint p;
    GeographicLib::Geodesic::WGS84().Direct(from.lat, from.lon, azimuth, metres, p.lat, p.lon);
    return p;
}

inline double Geodesic(const GeoPoint& a, const GeoPoint& b) {
    double s = 0;
    GeographicLib::Geodesic::WGS84().Inverse(a.lat, a.lon, b.lat, b.lon, s);
    return s;
}

// A logger's track built fix by fix, `every` seconds apart.
struct TrackBuilder {
    std::uint32_t time;
    std::uint32_t every = 60;
    CLogRecordList records;
    GeoPoint last;

    explicit TrackBuilder(std::int64_t start, std::uint32_t seconds = 60)
        : time(static_cast<std::uint32_t>(start)), every(seconds) {}

    TrackBuilder& At(const GeoPoint& p) {
        records.push_back(Position(time, p.lat, p.lon));
        time += every;
        last = p;
        return *this;
    }
    // Fixes on the geodesic from the last fix towards `to`, `step` metres apart, the
    // last one on `to`.
    TrackBuilder& To(const GeoPoint& to, double step) {
        const auto line = GeographicLib::Geodesic::WGS84().InverseLine(last.lat, last.lon, to.lat, to.lon);
        for (double s = step; s < line.Distance(); s += step) {
            GeoPoint p;
            line.Position(s, p.lat, p.lon);
            At(p);
        }
        return At(to);
    }
    TrackBuilder& Stay(int fixes) {
        const GeoPoint here = last;
        for (int i = 0; i < fixes; ++i) At(here);
        return *this;
    }
};

// The records as a GPX 1.1 track, as another logger would write them.
inline std::string GpxOf(const CLogRecordList& records) {
    std::string gpx = "<?xml version=\"1.0\"?><gpx version=\"1.1\" creator=\"t\" "
                      "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>";
    for (const CLogRecord& r : records) {
        const std::time_t t = r.time;
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
        char point[96];
        std::snprintf(point, sizeof point, "<trkpt lat=\"%.7f\" lon=\"%.7f\">", r.LatitudeDegrees(), r.LongitudeDegrees());
        gpx += std::string(point) + "<time>" + when + "</time></trkpt>";
    }
    return gpx + "</trkseg></trk></gpx>";
}

inline Race OneBirdRace(const GeoPoint& release, std::int64_t time, const std::string& ring = "TW-0001") {
    Race race;
    race.name = "Test race";
    race.releasePoint = release;
    race.releaseTime = time;
    race.entries.push_back(RaceEntry{ring, "", "", RaceLoft{}, "bird.wing"});
    return race;
}

// The fields of each line of a CSV file (RFC 4180 quoting, CR LF line ends).
inline std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
            else if (c == '"') quoted = false;
            else field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(field), field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.back().push_back(field), field.clear();
            rows.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    if (rows.back().empty()) rows.pop_back();
    return rows;
}

}  // namespace wing::test
