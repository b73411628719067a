#include "flight/flight_analysis.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/Math.hpp>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace wing {
namespace {

// Below this a bird is walking, in the basket or drifting in the GPS noise; a pigeon on
// the wing rarely goes under 40 km/h.
constexpr double kFlyingKmh = 20;
// How long the bird must keep flying for the start to count as the release: long enough
// to pass over a few fixes, short enough to sit close to the real moment.
constexpr std::int64_t kSustainedSeconds = 60;

double Distance(const GeoPoint& a, const GeoPoint& b) {
    // A logger holding still repeats its position, often for hundreds of fixes on a
    // roof or in the loft; GeographicLib gives exactly 0 for those, so it is not asked.
    if (a == b) return 0;
    double metres = 0;
    GeographicLib::Geodesic::WGS84().Inverse(a.lat, a.lon, b.lat, b.lon, metres);
    return metres;
}

// The logger stamps whole seconds, so two fixes with the same stamp are up to a second
// apart; counting them one second apart keeps the speed finite without excusing a jump.
double Kmh(double metres, std::int64_t seconds) {
    return metres / static_cast<double>(std::max<std::int64_t>(std::llabs(seconds), 1)) * 3.6;
}

// A record with a usable position.
struct Fix {
    int record = -1;
    std::int64_t time = 0;
    GeoPoint point;
};

// The good fixes in order; steps[i] is the geodesic from fix i-1 to fix i (steps[0] = 0).
struct Track {
    std::vector<Fix> fixes;
    std::vector<double> steps;

    double Kmh(std::size_t i) const { return wing::Kmh(steps[i], fixes[i].time - fixes[i - 1].time); }
};

PointFlag FlagOf(const CLogRecord& r) {
    if (r.kind != 0) return PointFlag::NotPosition;
    if (!r.IsFix()) return PointFlag::NoFix;
    if (r.latitude == 0 && r.longitude == 0) return PointFlag::ZeroPosition;
    if (!IsValidPoint({r.LatitudeDegrees(), r.LongitudeDegrees()})) return PointFlag::OutOfRange;
    return PointFlag::Ok;
}

std::vector<Fix> UsableFixes(const CLogRecordList& records, std::vector<PointFlag>& flags) {
    std::vector<Fix> fixes;
    fixes.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const CLogRecord& r = records[i];
        flags[i] = FlagOf(r);
        if (flags[i] == PointFlag::Ok)
            fixes.push_back({static_cast<int>(i), r.time, {r.LatitudeDegrees(), r.LongitudeDegrees()}});
    }
    return fixes;
}

// Flags the fixes that the bird could not have reached from the good track. The track is
// the group of fixes that agree with each other (each reachable from the one before
// within the bound); a fix that does not fit waits with any after it that agree with it.
// When the track comes back, the waiting fixes were a spike. When more of them agree
// than the track holds so far, the track was the spike: that way a wild first fix does
// not throw away the flight that follows it.
Track DropSpikes(const std::vector<Fix>& fixes, double boundKmh, std::vector<PointFlag>& flags) {
    const std::size_t n = fixes.size();
    std::vector<double> step(n, 0.0);
    for (std::size_t k = 1; k < n; ++k) step[k] = Distance(fixes[k - 1].point, fixes[k].point);
    auto between = [&](std::size_t from, std::size_t to) {
        return to == from + 1 ? step[to] : Distance(fixes[from].point, fixes[to].point);
    };
    auto fits = [&](std::size_t from, std::size_t to, double metres) {
        return Kmh(metres, fixes[to].time - fixes[from].time) <= boundKmh;
    };
    auto flagSpikes = [&](std::vector<std::size_t>& ks) {
        for (std::size_t k : ks) flags[fixes[k].record] = PointFlag::Spike;
        ks.clear();
    };

    std::vector<std::size_t> kept, waiting;
    for (std::size_t k = 0; k < n; ++k) {
        if (kept.empty() || fits(kept.back(), k, between(kept.back(), k))) {
            flagSpikes(waiting);
            kept.push_back(k);
            continue;
        }
        // Waiting fixes are always consecutive, so the last one is k-1.
        if (!waiting.empty() && !fits(k - 1, k, step[k])) flagSpikes(waiting);
        waiting.push_back(k);
        if (waiting.size() > kept.size()) {
            flagSpikes(kept);
            kept.swap(waiting);
        }
    }
    flagSpikes(waiting);

    Track track;
    track.fixes.reserve(kept.size());
    track.steps.reserve(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        track.fixes.push_back(fixes[kept[i]]);
        track.steps.push_back(i == 0 ? 0.0 : between(kept[i - 1], kept[i]));
    }
    return track;
}

// Flags every record (`flags` holds one per record) and gives the good fixes that are left.
Track FlagRecords(const CLogRecordList& records, double spikeSpeedKmh, std::vector<PointFlag>& flags) {
    flags.assign(records.size(), PointFlag::Ok);
    return DropSpikes(UsableFixes(records, flags), spikeSpeedKmh, flags);
}

// First fix at or after `time` (strictly after when `strict`), or the track's size.
std::size_t FirstFixFrom(const Track& t, std::int64_t time, bool strict = false) {
    for (std::size_t i = 0; i < t.fixes.size(); ++i)
        if (t.fixes[i].time > time || (!strict && t.fixes[i].time == time)) return i;
    return t.fixes.size();
}

// First fix from which the bird keeps above flying speed for the sustained time.
std::size_t StartOfSustainedFlight(const Track& t) {
    const std::size_t n = t.fixes.size();
    if (n < 2) return n;
    // reach[i]: the last fix the bird gets to from fix i without a slow step.
    std::vector<std::size_t> reach(n);
    reach[n - 1] = n - 1;
    for (std::size_t i = n - 1; i-- > 0;) reach[i] = t.Kmh(i + 1) >= kFlyingKmh ? reach[i + 1] : i;
    for (std::size_t i = 0; i < n; ++i)
        if (t.fixes[reach[i]].time - t.fixes[i].time >= kSustainedSeconds) return i;
    return n;
}

struct Start {
    Release release;
    std::size_t first = 0;  // first fix of the flight
    std::size_t arrivalFrom = 0;  // first fix that can be the arrival
};

std::optional<Start> FindRelease(const Track& t, const FlightInput& in) {
    if (in.release) {
        Start s{{in.release->point, in.release->time, ReleaseSource::Entered, -1}, 0, 0};
        s.first = FirstFixFrom(t, in.release->time);
        s.arrivalFrom = FirstFixFrom(t, in.release->time, true);
        return s;
    }
    const bool reserved = in.reservedStart.has_value();
    const std::size_t i = reserved ? FirstFixFrom(t, *in.reservedStart) : StartOfSustainedFlight(t);
    if (i >= t.fixes.size()) return std::nullopt;
    const Fix& f = t.fixes[i];
    const ReleaseSource source = reserved ? ReleaseSource::ReservedStart : ReleaseSource::SustainedFlight;
    return Start{{f.point, f.time, source, f.record}, i, i + 1};
}

struct ArrivalFix {
    std::size_t fix = 0;
    double metres = 0;
};

// First fix from `from` within the radius of the loft. Once a fix's distance is known,
// the fixes after it are at least that distance less the path flown since away, so the
// geodesic is only needed when that could be inside the radius: on a flight home that
// is a handful of geodesics, not one per fix.

std::optional<ArrivalFix> FindArrival(const Track& t, std::size_t from, const GeoPoint& loft, double radius) {
    double known = 0;
    double flownSince = 0;
    for (std::size_t i = from; i < t.fixes.size(); ++i) {
        if (i > from) {
            flownSince += t.steps[i];
            if (known - flownSince > radius) continue;
        }
        known = Distance(t.fixes[i].point, loft);
        flownSince = 0;
        if (known <= radius) return ArrivalFix{i, known};
    }
    return std::nullopt;
}

Rest MakeRest(const Track& t, std::size_t i, std::size_t j) {
    // Longitudes are averaged as offsets from the first so that a rest on the 180th
    // meridian does not average to the other side of the world.
    const double lon0 = t.fixes[i].point.lon;
    double lat = 0, dlon = 0;
    for (std::size_t k = i; k <= j; ++k) {
        lat += t.fixes[k].point.lat;
        dlon += GeographicLib::Math::AngDiff(lon0, t.fixes[k].point.lon);
    }
    const double n = static_cast<double>(j - i + 1);
    return Rest{{lat / n, GeographicLib::Math::AngNormalize(lon0 + dlon / n)},
                t.fixes[i].time,
                t.fixes[j].time - t.fixes[i].time,
                t.fixes[i].record,
                t.fixes[j].record};
}

// Stretches of fixes first..last that stay within the rest radius of their first fix for
// at least the minimum rest. A rest from fix i must hold the first fix a minimum rest
// later (`due`), so one geodesic to it settles nearly every fix in flight.
std::vector<Rest> FindRests(const Track& t, std::size_t first, std::size_t last, const FlightSettings& s) {
    std::vector<Rest> rests;
    const double radius = s.restRadiusMetres;
    auto within = [&](std::size_t i, std::size_t j) {
        const double d = j == i + 1 ? t.steps[j] : Distance(t.fixes[i].point, t.fixes[j].point);
        return d <= radius;
    };
    std::size_t due = first;
    for (std::size_t i = first; i < last;) {
        due = std::max(due, i + 1);
        while (due <= last && t.fixes[due].time - t.fixes[i].time < s.minRestSeconds) ++due;
        if (due > last) break;
        if (!within(i, i + 1) || !within(i, due)) {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < last && within(i, j + 1)) ++j;
        if (j >= due) {
            rests.push_back(MakeRest(t, i, j));
            i = j + 1;
        } else {
            ++i;
        }
    }
    return rests;
}

FlagCounts Count(const std::vector<PointFlag>& flags) {
    FlagCounts c;
    for (PointFlag f : flags) {
        switch (f) {
            case PointFlag::Ok: ++c.ok; break;
            case PointFlag::NotPosition: ++c.notPosition; break;
            case PointFlag::NoFix: ++c.noFix; break;
            case PointFlag::ZeroPosition: ++c.zeroPosition; break;
            case PointFlag::OutOfRange: ++c.outOfRange; break;
            case PointFlag::Spike: ++c.spike; break;
        }
    }
    return c;
}

// The figures of fixes first..last, the flight from the release.
void SummariseFlight(const CLogRecordList& records, const Track& t, const Start& start, std::size_t last,
                     const FlightInput& in, FlightSummary& out) {
    const Release& release = start.release;
    const std::size_t first = start.first;
    double path = release.Estimated() ? 0.0 : Distance(release.point, t.fixes[first].point);
    std::optional<double> maxKmh;
    int maxLogger = 0, maxAltitude = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (i > first) {
            path += t.steps[i];
            maxKmh = std::max(maxKmh.value_or(0.0), t.Kmh(i));
        }
        const CLogRecord& r = records[t.fixes[i].record];
        maxLogger = std::max(maxLogger, r.SpeedKmh());
        maxAltitude = std::max(maxAltitude, static_cast<int>(r.altitude));
    }
    out.pathMetres = path;
    // Only a finished flight has a route to compare with the straight line.
    if (out.arrival && path > 0) out.routeEfficiency = *out.distanceMetres / path;
    const std::int64_t elapsed = t.fixes[last].time - release.time;
    if (elapsed > 0) out.averageSpeedKmh = Kmh(path, elapsed);
    out.maxSpeedKmh = maxKmh;
    out.maxLoggerSpeedKmh = maxLogger;
    out.maxAltitudeMetres = maxAltitude;
    out.rests = FindRests(t, first, last, in.settings);
}

}  // namespace

std::string_view PointFlagName(PointFlag flag) {
    switch (flag) {
        case PointFlag::Ok: return "ok";
        case PointFlag::NotPosition: return "not a position";
        case PointFlag::NoFix: return "no fix";
        case PointFlag::ZeroPosition: return "zero position";
        case PointFlag::OutOfRange: return "out of range";
        case PointFlag::Spike: return "spike";
    }
    return "?";
}

std::vector<PointFlag> FlagTrack(const CLogRecordList& records, double spikeSpeedKmh) {
    std::vector<PointFlag> flags;
    FlagRecords(records, spikeSpeedKmh, flags);
    return flags;
}

FlightSummary AnalyseFlight(const CLogRecordList& records, const FlightInput& in) {
    if (!IsValidPoint(in.loft)) throw std::invalid_argument("loft position is off the globe");
    if (in.release && !IsValidPoint(in.release->point))
        throw std::invalid_argument("release position is off the globe");

    FlightSummary out;
    const Track track = FlagRecords(records, in.settings.spikeSpeedKmh, out.flags);
    out.counts = Count(out.flags);

    const std::optional<Start> start = FindRelease(track, in);
    if (!start) return out;
    out.release = start->release;
    out.distanceMetres = Distance(start->release.point, in.loft);
    const std::optional<ArrivalFix> arrived =
        FindArrival(track, start->arrivalFrom, in.loft, in.settings.arrivalRadiusMetres);
    if (arrived) {
        const Fix& f = track.fixes[arrived->fix];
        out.arrival = Arrival{f.point, f.time, f.record, arrived->metres};
        const std::int64_t seconds = out.arrival->time - start->release.time;
        out.flightSeconds = seconds;
        if (seconds > 0) {
            out.velocityMetresPerMinute = *out.distanceMetres / (static_cast<double>(seconds) / 60.0);
            out.velocityYardsPerMinute = *out.velocityMetresPerMinute / kMetresPerYard;
        }
    }
    if (start->first >= track.fixes.size()) return out;  // no fix after an entered release

    const std::size_t last = arrived ? arrived->fix : track.fixes.size() - 1;
    SummariseFlight(records, track, *start, last, in, out);
    return out;
}

}  // namespace wing
