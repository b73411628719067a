// The generated race flight decodes to a plausible track.

#include "logger-sim/flight_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace wing::sim {
namespace {

// An independent reading of the 16-byte slot.
struct Slot {
    bool satellite;
    std::uint32_t time;
    double lat, lon;
    int speed, status, altitude;
};

std::int32_t I32(const LogSlot& s, int at) {
    return static_cast<std::int32_t>(s[at] | (s[at + 1] << 8) | (s[at + 2] << 16) |
                                     (static_cast<std::uint32_t>(s[at + 3]) << 24));
}

double Degrees(std::int32_t v) {
    double d = v / 1000000.0;
    double i = std::trunc(d);
    return i + (d - i) * 100.0 / 60.0;
}

Slot Decode(const LogSlot& s) {
    Slot d{};
    d.satellite = (s[15] & 0x80) != 0;
    d.time = static_cast<std::uint32_t>(I32(s, 0));
    d.status = s[13];
    if (!d.satellite) {
        d.lat = Degrees(I32(s, 4));
        d.lon = Degrees(I32(s, 8));
        d.speed = s[12];
        d.altitude = s[14] | (s[15] << 8);
    }
    return d;
}

double Km(const Slot& a, const Slot& b) {
    constexpr double r = 6371.0, k = 3.14159265358979323846 / 180;
    double dlat = (b.lat - a.lat) * k, dlon = (b.lon - a.lon) * k;
    double h = std::sin(dlat / 2) * std::sin(dlat / 2) +
               std::cos(a.lat * k) * std::cos(b.lat * k) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * r * std::asin(std::sqrt(h));
}

std::vector<Slot> DecodeAll(const std::vector<LogSlot>& log) {
    std::vector<Slot> out;
    for (const auto& s : log) out.push_back(Decode(s));
    return out;
}

TEST(FlightLog, PackedCoordinatesRoundTrip) {
    struct Case { double degrees; std::int32_t packed; };
    for (const Case& k : {Case{121.508538, 121305123}, Case{-121.508538, -121305123}, Case{0.0, 0},
                          Case{24.5, 24300000}, Case{59.99999999, 60000000}, Case{-0.25, -150000}}) {
        SCOPED_TRACE(k.degrees);
        EXPECT_EQ(PackCoordinate(k.degrees), k.packed);
        EXPECT_NEAR(UnpackCoordinate(k.packed), k.degrees, 2e-6);
    }
}

TEST(FlightLog, EveryRecordModeFliesAPlausibleRace) {
    for (int mode = 0; mode <= 3; ++mode) {
        SCOPED_TRACE(mode);
        FlightSpec spec;
        spec.seed = 11 + mode;
        spec.recordMode = mode;
        spec.distanceKm = 250;
        auto log = DecodeAll(GenerateFlightLog(spec));
        ASSERT_GT(log.size(), 20u);
        ASSERT_LE(log.size(), static_cast<std::size_t>(kLogCapacity));

        std::vector<Slot> positions;
        int nonFix = 0, satellites = 0;
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i].satellite) {
                ++satellites;
                ASSERT_GT(i, 0u);
                EXPECT_GT(log[i].time, log[i - 1].time) << "satellite slots sit between position slots";
                if (i + 1 < log.size()) {
                    EXPECT_LT(log[i].time, log[i + 1].time);
                }
                continue;
            }
            EXPECT_LT(log[i].altitude, 32768);
            if (log[i].status != 0) ++nonFix;
            positions.push_back(log[i]);
        }
        EXPECT_GT(satellites, 0);
        EXPECT_GT(nonFix, 0);
        EXPECT_LT(nonFix, static_cast<int>(positions.size()) / 5);

        const std::uint32_t start = positions.front().time;
        double flown = 0;
        const Slot* lastFix = nullptr;
        for (std::size_t i = 1; i < positions.size(); ++i) {
            const Slot& a = positions[i - 1];
            const Slot& b = positions[i];
            EXPECT_EQ(static_cast<int>(b.time - a.time), RecordIntervalSeconds(mode, a.time - start));
            if (a.status != 0 || b.status != 0) continue;
            double km = Km(a, b);
            flown += km;
            if (b.speed > 0) {  // still flying: the reported speed carried it to the next fix
                EXPECT_GE(a.speed, 60);
                EXPECT_LE(a.speed, 100);
                EXPECT_NEAR(km / (b.time - a.time) * 3600, a.speed, 1.0);
            }
            lastFix = &b;
        }
        ASSERT_NE(lastFix, nullptr);
        EXPECT_EQ(positions.back().speed, 0) << "it ends resting in the loft";
        EXPECT_NEAR(Km(positions.front(), positions.back()), 250.0, 0.5) << "release point to loft";
        EXPECT_LT(flown, 250.0 * 1.1) << "a fairly straight line home";
    }
}

TEST(FlightLog, OptionsShapeTheLog) {
    FlightSpec base;
    base.seed = 3;
    EXPECT_EQ(GenerateFlightLog(base), GenerateFlightLog(base)) << "same seed, same flight";
    FlightSpec other = base;
    other.seed = 4;
    EXPECT_NE(GenerateFlightLog(base), GenerateFlightLog(other));

    FlightSpec exact = base;
    exact.slots = 10;
    EXPECT_EQ(GenerateFlightLog(exact).size(), 10u);
    exact.slots = kLogCapacity;
    EXPECT_EQ(GenerateFlightLog(exact).size(), static_cast<std::size_t>(kLogCapacity)) << "rests in the loft";
    FlightSpec far = base;
    far.distanceKm = 3000;
    far.recordMode = 3;
    EXPECT_EQ(GenerateFlightLog(far).size(), static_cast<std::size_t>(kLogCapacity)) << "the flash is full";

    FlightSpec zero = base;
    zero.zeroFix = true;
    int zeroFixes = 0;
    for (const auto& s : DecodeAll(GenerateFlightLog(zero))) {
        zeroFixes += !s.satellite && s.status == 0 && s.lat == 0 && s.lon == 0;
    }
    EXPECT_EQ(zeroFixes, 1);
    int none = 0;
    for (const auto& s : DecodeAll(GenerateFlightLog(base))) none += !s.satellite && s.lat == 0 && s.lon == 0;
    EXPECT_EQ(none, 0);

    FlightSpec plain = base;
    plain.nonFixPercent = 0;
    plain.satelliteEvery = 0;
    for (const auto& s : DecodeAll(GenerateFlightLog(plain))) {
        EXPECT_FALSE(s.satellite);
        EXPECT_EQ(s.status, 0);
    }

    FlightSpec fixedStart = base;
    fixedStart.startTime = 1430464200;
    EXPECT_EQ(Decode(GenerateFlightLog(fixedStart).front()).time, 1430464200u);
}

TEST(FlightLog, CrossesLocalMidnightWhenAsked) {
    auto localDay = [](std::uint32_t t) {
        std::time_t tt = t;
        std::tm tm{};
        localtime_r(&tt, &tm);
        return std::make_pair(tm.tm_mday, tm.tm_hour);
    };
    FlightSpec spec;
    spec.seed = 21;
    spec.crossMidnight = true;
    spec.recordMode = 1;
    auto log = GenerateFlightLog(spec);
    auto first = localDay(Decode(log.front()).time);
    auto last = localDay(Decode(log.back()).time);
    EXPECT_EQ(first.second, 22);
    EXPECT_NE(first.first, last.first);

    spec.crossMidnight = false;
    log = GenerateFlightLog(spec);
    EXPECT_EQ(localDay(Decode(log.front()).time).first, localDay(Decode(log.back()).time).first);
}

TEST(FlightLog, SatelliteSlotKeepsSignalsInSixBits) {
    std::array<std::uint8_t, 12> cn{};
    for (int i = 0; i < 12; ++i) cn[i] = static_cast<std::uint8_t>(40 + i);
    cn[11] = 0xFF;  // more than six bits: only the low six are kept
    LogSlot s = SatelliteSlot(1430464200, cn);
    EXPECT_EQ(s[15], 0x80 | 0x3F);
    EXPECT_EQ(s[13], 49) << "CN10 is the status byte";
    EXPECT_EQ(s[4], 40);
    LogSlot p = PositionSlot(1, 1, 1, 80, 0, 0xFFFF);
    EXPECT_EQ(p[15] & 0x80, 0) << "an altitude never sets the kind bit";
}

}  // namespace
}  // namespace wing::sim
