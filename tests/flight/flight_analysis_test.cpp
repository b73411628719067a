#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>

#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "flight/flight_analysis.h"
#include "flight/flight_fixture.h"

namespace wing {
namespace {

using test::Position;

constexpr std::uint32_t T0 = 1700000000;  // the release, 2023-11-14 22:13:20 UTC
constexpr GeoPoint kRelease{24.0, 120.6};
constexpr GeoPoint kLoft{24.3, 120.6};

// Figures from GeographicLib's GeodSolve 2.1.2, run on its own as a check on ours:
//   $ echo "24 120.6 24.3 120.6" | GeodSolve -i -p 3
//   0.00000000 0.00000000 33228.118
//   $ echo "24.1 120.6 24.2 120.6" | GeodSolve -i -p 3
//   0.00000000 0.00000000 11076.039
constexpr double kReleaseToLoft = 33228.118;
constexpr double kSecondLeg = 11076.039;

double Metres(const GeoPoint& a, const GeoPoint& b) {
    double s = 0;
    GeographicLib::Geodesic::WGS84().Inverse(a.lat, a.lon, b.lat, b.lon, s);
    return s;
}

FlightInput Entered(GeoPoint release = kRelease, std::int64_t time = T0) {
    FlightInput in;
    in.loft = kLoft;
    in.release = ReleaseEntry{release, time};
    return in;
}

FlightInput Estimated() {
    FlightInput in;
    in.loft = kLoft;
    return in;
}

// Before the release the bird sits at the release point (the first fix still carries
// the journey there in its speed and height); then it flies due north to the loft.
CLogRecordList MeridianFlight() {
    return {
        Position(T0 - 600, 24.0, 120.6, 90, 500),
        Position(T0 - 300, 24.0, 120.6, 0, 40),
        Position(T0, 24.0, 120.6, 0, 40),
        Position(T0 + 600, 24.1, 120.6, 55, 250),
        Position(T0 + 1080, 24.2, 120.6, 71, 320),
        Position(T0 + 1800, 24.3, 120.6, 64, 30),
    };
}

// Every figure of the flight against hand-worked values: 33228.118 m in 30 min.
void ExpectMeridianFigures(const FlightSummary& s) {
    ASSERT_TRUE(s.arrival.has_value());
    EXPECT_EQ(s.arrival->time, T0 + 1800);
    EXPECT_NEAR(s.arrival->distanceToLoftMetres, 0.0, 1e-6);
    EXPECT_NEAR(*s.distanceMetres, kReleaseToLoft, 1e-3);
    EXPECT_EQ(*s.flightSeconds, 1800);
    EXPECT_NEAR(*s.velocityMetresPerMinute, 1107.60393, 1e-4);  // 33228.118 / 30
    EXPECT_NEAR(*s.velocityYardsPerMinute, 1211.29039, 1e-4);   // / 0.9144
    EXPECT_NEAR(*s.pathMetres, kReleaseToLoft, 1e-3);  // one meridian: the legs add up
    EXPECT_NEAR(*s.routeEfficiency, 1.0, 1e-7);
    EXPECT_NEAR(*s.averageSpeedKmh, 66.456236, 1e-4);  // 33228.118 m / 1800 s
    EXPECT_NEAR(*s.maxSpeedKmh, kSecondLeg / 480 * 3.6, 1e-4);  // the 8-minute leg
    EXPECT_EQ(*s.maxLoggerSpeedKmh, 71);  // the 90 before the release does not count
    EXPECT_EQ(*s.maxAltitudeMetres, 320);  // nor does its 500 m
    EXPECT_TRUE(s.rests.empty());
}

TEST(FlightAnalysis, EnteredReleaseGivesTheFlightsFigures) {
    const FlightSummary s = AnalyseFlight(MeridianFlight(), Entered());
    ASSERT_TRUE(s.release.has_value());
    EXPECT_EQ(s.release->source, ReleaseSource::Entered);
    EXPECT_FALSE(s.release->Estimated());
    EXPECT_EQ(s.release->recordIndex, -1);
    EXPECT_EQ(s.counts.ok, 6);
    ExpectMeridianFigures(s);
    EXPECT_EQ(s.arrival->recordIndex, 5);
}

struct ReleaseCase {
    const char* name;
    FlightInput input;
    ReleaseSource source;
    std::int64_t time;
    int recordIndex;
    double distance;
    double velocity;  // m/min
};

TEST(FlightAnalysis, ReleaseIsEnteredOrEstimatedFromTheTrack) {
    FlightInput reserved = Estimated();
    reserved.reservedStart = T0 - 300;
    FlightInput reservedBetweenFixes = Estimated();
    reservedBetweenFixes.reservedStart = T0 - 301;
    // $ echo "24.05 120.45 24.3 120.6" | GeodSolve -i -p 3
    // 28.79989000 28.86131893 31608.008
    const double elsewhere = 31608.008;
    const ReleaseCase cases[] = {
        {"entered", Entered(), ReleaseSource::Entered, T0, -1, kReleaseToLoft, 1107.60393},
        {"entered elsewhere", Entered({24.05, 120.45}), ReleaseSource::Entered, T0, -1, elsewhere,
         elsewhere / 30},
        {"start of sustained flight", Estimated(), ReleaseSource::SustainedFlight, T0, 2, kReleaseToLoft,
         1107.60393},
        {"reserved start", reserved, ReleaseSource::ReservedStart, T0 - 300, 1, kReleaseToLoft,
         kReleaseToLoft / 35},
        {"reserved start between fixes", reservedBetweenFixes, ReleaseSource::ReservedStart, T0 - 300, 1,
         kReleaseToLoft, kReleaseToLoft / 35},
    };
    for (const ReleaseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FlightSummary s = AnalyseFlight(MeridianFlight(), c.input);
        ASSERT_TRUE(s.release.has_value());
        EXPECT_EQ(s.release->source, c.source);
        EXPECT_EQ(s.release->Estimated(), c.source != ReleaseSource::Entered);
        EXPECT_EQ(s.release->time, c.time);
        EXPECT_EQ(s.release->recordIndex, c.recordIndex);
        EXPECT_NEAR(*s.distanceMetres, c.distance, 1e-3);
        EXPECT_NEAR(*s.velocityMetresPerMinute, c.velocity, 1e-4);
    }
}

TEST(FlightAnalysis, EstimatedReleaseGivesTheSameFiguresWhenTheBirdLeavesOnTime) {
    const FlightSummary s = AnalyseFlight(MeridianFlight(), Estimated());
    EXPECT_NEAR(s.release->point.lat, 24.0, 1e-12);
    ExpectMeridianFigures(s);
}

struct VelocityCase {
    const char* name;
    GeoPoint release;
    GeoPoint loft;
    std::int64_t seconds;
    double metres;
    double metresPerMinute;
};

// The velocity depends only on the release, the loft and the times; the route to the
// loft does not enter it.
TEST(FlightAnalysis, VelocityIsTheEllipsoidalDistanceOverTheFlightTime) {
    const VelocityCase cases[] = {
        // GeographicLib's documented example, JFK to Singapore Changi (only the arithmetic
        // matters here, not the bird). The GeodSolve man page gives 15347628 m; in full:
        //   $ echo 40:38:23N 073:46:44W 01:21:33N 103:59:22E | GeodSolve -i -p 3
        //   3.30831240 177.48590214 15347627.660
        {"JFK to Changi in ten days",
         {40 + 38 / 60.0 + 23 / 3600.0, -(73 + 46 / 60.0 + 44 / 3600.0)},
         {1 + 21 / 60.0 + 33 / 3600.0, 103 + 59 / 60.0 + 22 / 3600.0},
         864000, 15347627.660, 1065.807476},
        // $ echo "24.05 120.45 24.3 120.6" | GeodSolve -i -p 3
        // 28.79989000 28.86131893 31608.008
        {"a short toss at 24 N", {24.05, 120.45}, {24.3, 120.6}, 1800, 31608.008, 1053.600267},
    };
    for (const VelocityCase& c : cases) {
        SCOPED_TRACE(c.name);
        FlightInput in;
        in.loft = c.loft;
        in.release = ReleaseEntry{c.release, T0};
        const CLogRecordList track{Position(T0 + static_cast<std::uint32_t>(c.seconds), c.loft.lat, c.loft.lon)};
        const FlightSummary s = AnalyseFlight(track, in);
        ASSERT_TRUE(s.velocityMetresPerMinute.has_value());
        EXPECT_NEAR(*s.distanceMetres, c.metres, 1e-3);
        EXPECT_EQ(*s.flightSeconds, c.seconds);
        // GeodSolve's figure is to the millimetre: a few 1e-5 m/min over half an hour.
        EXPECT_NEAR(*s.velocityMetresPerMinute, c.metresPerMinute, 1e-4);
        EXPECT_NEAR(*s.velocityYardsPerMinute, c.metresPerMinute / 0.9144, 1e-4);
    }
}

TEST(FlightAnalysis, DistanceIsOnTheEllipsoidNotASphere) {
    const FlightSummary s = AnalyseFlight(MeridianFlight(), Entered());
    // The same 0.3 degrees of latitude on a sphere of the mean radius:
    //   $ echo "24 120.6 24.3 120.6" | GeodSolve -i -e 6371000 0 -p 3
    //   0.00000000 0.00000000 33358.478
    double sphere = 0;
    GeographicLib::Geodesic(6371000, 0).Inverse(24.0, 120.6, 24.3, 120.6, sphere);
    EXPECT_NEAR(sphere, 33358.478, 1e-3);
    EXPECT_NEAR(*s.distanceMetres, kReleaseToLoft, 1e-3);
    // North-south at 24 N a degree of latitude is shorter than on the sphere: ~0.39 %.
    const double off = sphere / *s.distanceMetres - 1;
    EXPECT_GT(off, 0.0035);
    EXPECT_LT(off, 0.0045);
}

struct RadiusCase {
    std::int32_t packedLat;  // the last fix, due north of the loft
    double radius;
    bool arrives;
};

TEST(FlightAnalysis, ArrivalIsTheFirstFixWithinTheRadius) {
    // $ echo "24:18.0536 120:36 24:18 120:36" | GeodSolve -i -p 3
    // 180.00000000 180.00000000 98.948
    // $ echo "24:18.0545 120:36 24:18 120:36" | GeodSolve -i -p 3
    // 180.00000000 180.00000000 100.609
    const RadiusCase cases[] = {
        {24180536, 100, true},
        {24180545, 100, false},
        {24180545, 100.7, true},
        {24180536, 98.9, false},
    };
    for (const RadiusCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.packedLat << " within " << c.radius);
        CLogRecordList track = MeridianFlight();
        track.back().latitude = c.packedLat;
        FlightInput in = Entered();
        in.settings.arrivalRadiusMetres = c.radius;
        const FlightSummary s = AnalyseFlight(track, in);
        ASSERT_EQ(s.arrival.has_value(), c.arrives);
        if (c.arrives) {
            EXPECT_NEAR(s.arrival->distanceToLoftMetres, c.packedLat == 24180536 ? 98.948 : 100.609, 1e-3);
            EXPECT_EQ(s.arrival->recordIndex, 5);
        }
    }
}

TEST(FlightAnalysis, ArrivalComesAfterTheReleaseAndIsTheFirstVisit) {
    // At the loft before the basketing, then the flight; the bird flies over the loft,
    // goes on 5 km and comes back.
    const CLogRecordList track{
        Position(T0 - 7200, 24.3, 120.6),
        Position(T0 - 600, 24.0, 120.6),
        Position(T0, 24.0, 120.6),
        Position(T0 + 900, 24.15, 120.6),
        Position(T0 + 1800, 24.3003, 120.6),  // about 33 m north of the loft
        Position(T0 + 2100, 24.345, 120.6),
        Position(T0 + 2400, 24.3, 120.6),
    };
    const FlightSummary s = AnalyseFlight(track, Entered());
    ASSERT_TRUE(s.arrival.has_value());
    EXPECT_EQ(s.arrival->recordIndex, 4);
    EXPECT_EQ(*s.flightSeconds, 1800);
}

TEST(FlightAnalysis, BirdThatNeverArrivesHasAPathToItsLastFixButNoVelocity) {
    CLogRecordList track = MeridianFlight();
    track.pop_back();  // ends at 24.2 N, 11 km short
    const FlightSummary s = AnalyseFlight(track, Entered());
    ASSERT_TRUE(s.release.has_value());
    EXPECT_FALSE(s.arrival.has_value());
    EXPECT_FALSE(s.flightSeconds.has_value());
    EXPECT_FALSE(s.velocityMetresPerMinute.has_value());
    EXPECT_FALSE(s.velocityYardsPerMinute.has_value());
    EXPECT_FALSE(s.routeEfficiency.has_value());
    EXPECT_NEAR(*s.distanceMetres, kReleaseToLoft, 1e-3);
    // $ echo "24 120.6 24.2 120.6" | GeodSolve -i -p 3  ->  22151.933
    EXPECT_NEAR(*s.pathMetres, 22151.933, 1e-3);
    EXPECT_NEAR(*s.averageSpeedKmh, 22151.933 / 1080 * 3.6, 1e-4);
}

TEST(FlightAnalysis, EveryRecordIsFlaggedAndOnlyGoodFixesCount) {
    CLogRecord offTheGlobe = Position(T0 - 20, 24.0, 120.6);
    offTheGlobe.latitude = 95000000;  // 95 degrees
    const CLogRecordList track{
        Position(T0 - 60, 24.0, 120.6),
        test::Satellite(T0 - 50),
        test::WithoutFix(Position(T0 - 40, 24.0, 120.6)),
        Position(T0 - 30, 0, 0),
        offTheGlobe,
        Position(T0, 24.0, 120.6, 0, 40),
        Position(T0 + 300, 24.05, 121.0, 250, 9000),  // 40 km east in 5 minutes
        Position(T0 + 600, 24.1, 120.6, 55, 250),
        Position(T0 + 1080, 24.2, 120.6, 71, 320),
        Position(T0 + 1800, 24.3, 120.6, 64, 30),
    };
    const FlightSummary s = AnalyseFlight(track, Entered());
    using F = PointFlag;
    EXPECT_EQ(s.flags, (std::vector<F>{F::Ok, F::NotPosition, F::NoFix, F::ZeroPosition, F::OutOfRange, F::Ok,
                                       F::Spike, F::Ok, F::Ok, F::Ok}));
    // The flags alone, as the exports take them, are the same without a loft.
    EXPECT_EQ(FlagTrack(track), s.flags);
    // So are they under another bound (60 km/h: some legs of this flight are faster).
    FlightInput slow = Entered();
    slow.settings.spikeSpeedKmh = 60;
    const std::vector<F> slowFlags = FlagTrack(track, 60);
    EXPECT_EQ(slowFlags, AnalyseFlight(track, slow).flags);
    EXPECT_NE(slowFlags, s.flags);
    EXPECT_EQ(s.counts.ok, 5);
    EXPECT_EQ(s.counts.notPosition, 1);
    EXPECT_EQ(s.counts.noFix, 1);
    EXPECT_EQ(s.counts.zeroPosition, 1);
    EXPECT_EQ(s.counts.outOfRange, 1);
    EXPECT_EQ(s.counts.spike, 1);
    // The spike's speed, height and 80 km detour are in none of the figures.
    EXPECT_NEAR(*s.pathMetres, kReleaseToLoft, 1e-3);
    EXPECT_EQ(*s.maxLoggerSpeedKmh, 71);
    EXPECT_EQ(*s.maxAltitudeMetres, 320);
    EXPECT_NEAR(*s.maxSpeedKmh, kSecondLeg / 480 * 3.6, 1e-4);
    EXPECT_EQ(PointFlagName(F::Spike), "spike");
}

struct SpikeCase {
    const char* name;
    std::vector<std::pair<int, double>> wild;  // fix index, longitude offset (0.3 deg ~ 30 km)
};

TEST(FlightAnalysis, WildFixesAreFlaggedAndTheTrackAroundThemKept) {
    const SpikeCase cases[] = {
        {"one in the middle", {{5, 0.3}}},
        {"the first", {{0, 0.3}}},
        {"the last", {{11, 0.3}}},
        {"two in a row far apart", {{5, 0.3}, {6, -0.3}}},
        {"two in a row that agree", {{5, 0.3}, {6, 0.3}}},
        {"the first two, agreeing", {{0, 0.3}, {1, 0.3}}},
        {"two apart", {{3, 0.3}, {8, -0.3}}},
    };
    for (const SpikeCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Twelve fixes a minute apart flying north at 0.5' (about 920 m) a minute.
        CLogRecordList track;
        std::set<int> wild;
        for (int i = 0; i < 12; ++i) {
            double lon = 120.6;
            for (auto [index, offset] : c.wild)
                if (index == i) lon += offset;
            if (lon != 120.6) wild.insert(i);
            track.push_back(Position(T0 + 60 * i, 24.0 + i * 0.5 / 60, lon));
        }
        const FlightSummary s = AnalyseFlight(track, Estimated());
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(s.flags[i], wild.count(i) ? PointFlag::Spike : PointFlag::Ok) << "fix " << i;
        ASSERT_TRUE(s.release.has_value());
        EXPECT_EQ(s.release->recordIndex, wild.count(0) ? (wild.count(1) ? 2 : 1) : 0);
    }
}

TEST(FlightAnalysis, AWildFirstFixDoesNotCostTheFlight) {
    CLogRecordList track = MeridianFlight();
    track.insert(track.begin(), Position(T0 - 900, 24.0, 121.6, 0, 3000));  // 100 km east
    const FlightSummary s = AnalyseFlight(track, Estimated());
    EXPECT_EQ(s.flags[0], PointFlag::Spike);
    EXPECT_EQ(s.counts.ok, 6);
    EXPECT_EQ(s.release->recordIndex, 3);
    ExpectMeridianFigures(s);
}

// One fix a minute, flying north at 0.5' (about 920 m) a minute, stopping or creeping.
class Route {
public:
    Route& Fly(int minutes) { return Move(minutes, 0.5 / 60); }
    Route& Creep(int minutes, double metresPerMinute) { return Move(minutes, metresPerMinute / 110760.0); }
    // Wandering up to about 10 m, as a logger lying still does.
    Route& Stay(int minutes) {
        static constexpr double kWander[][2] = {{0.00005, -0.0001}, {-0.00004, 0.00008}, {0.00002, 0.0001}};
        for (int m = 0; m < minutes; ++m) {
            const auto& w = kWander[m % 3];
            Add(m_lat + w[0], 120.6 + w[1]);
        }
        return *this;
    }
    CLogRecordList records;

private:
    Route& Move(int minutes, double degreesPerMinute) {
        if (records.empty()) Add(m_lat, 120.6);
        for (int m = 0; m < minutes; ++m) {
            m_lat += degreesPerMinute;
            Add(m_lat, 120.6);
        }
        return *this;
    }
    void Add(double lat, double lon) { records.push_back(Position(T0 + 60 * records.size(), lat, lon)); }
    double m_lat = 24.0;
};

struct RestCase {
    const char* name;
    CLogRecordList track;
    std::int64_t minRestSeconds;
    std::vector<std::pair<int, std::int64_t>> rests;  // first record, duration
};

TEST(FlightAnalysis, RestsAreStopsOfAtLeastTheMinimumWithinTheRadius) {
    const RestCase cases[] = {
        {"six-minute stop", Route().Fly(10).Stay(6).Fly(10).records, 300, {{10, 360}}},
        {"four-minute stop", Route().Fly(10).Stay(4).Fly(10).records, 300, {}},
        {"stop of exactly the minimum", Route().Fly(10).Stay(5).Fly(10).records, 300, {{10, 300}}},
        {"four-minute stop, three-minute minimum", Route().Fly(10).Stay(4).Fly(10).records, 180, {{10, 240}}},
        {"two stops", Route().Fly(5).Stay(6).Fly(5).Stay(9).Fly(5).records, 300, {{5, 360}, {16, 540}}},
        // 15 m a minute (0.9 km/h) for 20 minutes: never still, only slow.
        {"slow drift", Route().Fly(10).Creep(20, 15).Fly(10).records, 300, {}},
    };
    for (const RestCase& c : cases) {
        SCOPED_TRACE(c.name);
        FlightInput in = Entered();
        in.settings.minRestSeconds = c.minRestSeconds;
        const FlightSummary s = AnalyseFlight(c.track, in);
        ASSERT_EQ(s.rests.size(), c.rests.size());
        for (std::size_t k = 0; k < c.rests.size(); ++k) {
            const Rest& r = s.rests[k];
            const CLogRecord& first = c.track[c.rests[k].first];
            EXPECT_EQ(r.firstRecord, c.rests[k].first);
            EXPECT_EQ(r.start, first.time);
            EXPECT_EQ(r.durationSeconds, c.rests[k].second);
            EXPECT_EQ(r.lastRecord - r.firstRecord, c.rests[k].second / 60);
            EXPECT_LT(Metres(r.centre, {first.LatitudeDegrees(), first.LongitudeDegrees()}), 10.0);
        }
    }
}

TEST(FlightAnalysis, WithoutAGoodFixThereIsNoFlight) {
    const FlightSummary empty = AnalyseFlight({}, Estimated());
    EXPECT_TRUE(empty.flags.empty());
    EXPECT_FALSE(empty.release.has_value());

    const CLogRecordList noFix{test::Satellite(T0), test::WithoutFix(Position(T0 + 1, 24.0, 120.6)),
                               Position(T0 + 2, 0, 0)};
    const FlightSummary s = AnalyseFlight(noFix, Estimated());
    EXPECT_EQ(s.flags.size(), 3u);
    EXPECT_EQ(s.counts.ok, 0);
    EXPECT_FALSE(s.release.has_value());
    EXPECT_FALSE(s.pathMetres.has_value());

    // An entered release still gives the distance, but nothing was flown after it.
    const FlightSummary late = AnalyseFlight(MeridianFlight(), Entered(kRelease, T0 + 3600));
    ASSERT_TRUE(late.release.has_value());
    EXPECT_NEAR(*late.distanceMetres, kReleaseToLoft, 1e-3);
    EXPECT_FALSE(late.arrival.has_value());
    EXPECT_FALSE(late.pathMetres.has_value());
}

TEST(FlightAnalysis, RefusesALoftOrReleaseOffTheGlobe) {
    FlightInput in = Entered();
    in.loft = {91, 0};
    EXPECT_THROW(AnalyseFlight(MeridianFlight(), in), std::invalid_argument);
    EXPECT_THROW(AnalyseFlight(MeridianFlight(), Entered({0, 181})), std::invalid_argument);
}

}  // namespace
}  // namespace wing
