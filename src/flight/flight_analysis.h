#pragma once
// The figures a fancier judges a flight by, from a download's records: release,
// arrival, velocity (straight-line distance release to loft over the time between),
// the route actually flown and the rests on the way. Distances are geodesics on the
// WGS84 ellipsoid.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "flight/coordinates.h"
#include "log/log_record.h"

namespace wing {

// Why a record is or is not part of the figures. Every record gets one; none is dropped,
// so the window can show the fancier which points were left out.
enum class PointFlag : std::uint8_t {
    Ok,
    NotPosition,   // a satellite record
    NoFix,         // the logger had no fix
    ZeroPosition,  // latitude and longitude both 0: the logger's "no position"
    OutOfRange,    // coordinates off the globe, as corrupt flash reads
    Spike,         // would need a speed beyond the bound to reach from the good track
};

std::string_view PointFlagName(PointFlag flag);

struct FlagCounts {
    int ok = 0;
    int notPosition = 0;
    int noFix = 0;
    int zeroPosition = 0;
    int outOfRange = 0;
    int spike = 0;
};

struct FlightSettings {
    double arrivalRadiusMetres = 100;
    double spikeSpeedKmh = 200;  // well above any pigeon's ground speed, tailwind included
    std::int64_t minRestSeconds = 5 * 60;
    // A logger lying still wanders some 10-30 m; 50 m leaves room for that while a bird
    // that keeps moving, even slowly, soon leaves the circle.
    double restRadiusMetres = 50;
};

// A release as the fancier entered it: where and when (UTC seconds).
struct ReleaseEntry {
    GeoPoint point;
    std::int64_t time = 0;
};

struct FlightInput {
    GeoPoint loft;
    std::optional<ReleaseEntry> release;
    // The logger's reserved start (UTC seconds), when it was set to start at the release.
    std::optional<std::int64_t> reservedStart;
    FlightSettings settings;
};

enum class ReleaseSource {
    Entered,          // as the fancier entered it
    ReservedStart,    // the first good fix at or after the reserved start
    SustainedFlight,  // the fix from which the bird kept moving
};

struct Release {
    GeoPoint point;
    std::int64_t time = 0;
    ReleaseSource source = ReleaseSource::Entered;
    int recordIndex = -1;  // the fix taken as the release; -1 when entered
    bool Estimated() const { return source != ReleaseSource::Entered; }
};

struct Arrival {
    GeoPoint point;
    std::int64_t time = 0;
    int recordIndex = -1;
    double distanceToLoftMetres = 0;
};

// A stretch of at least the minimum rest during which every fix stayed within the rest
// radius of the first.
struct Rest {
    GeoPoint centre;  // mean of its fixes
    std::int64_t start = 0;
    std::int64_t durationSeconds = 0;
    int firstRecord = -1;
    int lastRecord = -1;
};

struct FlightSummary {
    std::vector<PointFlag> flags;  // one per input record, in the same order
    FlagCounts counts;

    // Everything below needs a release. The flight runs from it to the arrival, or to
    // the last good fix when the bird never arrived.
    std::optional<Release> release;
    std::optional<Arrival> arrival;
    std::optional<double> distanceMetres;  // straight line, release to loft
    std::optional<std::int64_t> flightSeconds;  // release to arrival
    std::optional<double> velocityMetresPerMinute;
    std::optional<double> velocityYardsPerMinute;
    // Geodesics between consecutive good fixes (from an entered release point to the
    // first fix after it, too).
    std::optional<double> pathMetres;
    std::optional<double> routeEfficiency;  // straight line / path, once arrived
    std::optional<double> averageSpeedKmh;  // path / time
    std::optional<double> maxSpeedKmh;  // between consecutive good fixes
    std::optional<int> maxLoggerSpeedKmh;  // the logger's own speed field
    std::optional<int> maxAltitudeMetres;
    std::vector<Rest> rests;
};

constexpr double kMetresPerYard = 0.9144;

// The flag of every record, in order, as AnalyseFlight gives them; no loft or release is
// needed, so an export can leave out what the figures leave out.
std::vector<PointFlag> FlagTrack(const CLogRecordList& records,
                                 double spikeSpeedKmh = FlightSettings{}.spikeSpeedKmh);

// Runs in one pass over the records plus a geodesic or so per good fix. Throws
// std::invalid_argument when the loft or an entered release point is off the globe.
FlightSummary AnalyseFlight(const CLogRecordList& records, const FlightInput& input);

}  // namespace wing
