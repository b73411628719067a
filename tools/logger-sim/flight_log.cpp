#include "logger-sim/flight_log.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <random>

namespace wing::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadiusKm = 6371.0;

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

double Radians(double d) { return d * kPi / 180.0; }
double Degrees(double r) { return r * 180.0 / kPi; }

double DistanceKm(double lat1, double lon1, double lat2, double lon2) {
    double dlat = Radians(lat2 - lat1), dlon = Radians(lon2 - lon1);
    double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
               std::cos(Radians(lat1)) * std::cos(Radians(lat2)) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

double BearingDeg(double lat1, double lon1, double lat2, double lon2) {
    double y = std::sin(Radians(lon2 - lon1)) * std::cos(Radians(lat2));
    double x = std::cos(Radians(lat1)) * std::sin(Radians(lat2)) -
               std::sin(Radians(lat1)) * std::cos(Radians(lat2)) * std::cos(Radians(lon2 - lon1));
    return Degrees(std::atan2(y, x));
}

void Move(double& lat, double& lon, double bearingDeg, double km) {
    double d = km / kEarthRadiusKm, b = Radians(bearingDeg);
    double la = Radians(lat), lo = Radians(lon);
    double la2 = std::asin(std::sin(la) * std::cos(d) + std::cos(la) * std::sin(d) * std::cos(b));
    double lo2 = lo + std::atan2(std::sin(b) * std::sin(d) * std::cos(la), std::cos(d) - std::sin(la) * std::sin(la2));
    lat = Degrees(la2);
    lon = std::remainder(Degrees(lo2), 360.0);
}

std::uint32_t DefaultStart(const FlightSpec& spec) {
    std::tm tm{};
    tm.tm_year = 2015 - 1900;
    tm.tm_mon = 3;  // April, plus up to 150 days: the racing season
    tm.tm_mday = 1 + static_cast<int>(spec.seed % 150);
    tm.tm_hour = spec.crossMidnight ? 22 : 7;
    tm.tm_isdst = -1;
    return static_cast<std::uint32_t>(std::mktime(&tm));
}

}  // namespace

int RecordIntervalSeconds(int recordMode, std::uint32_t secondsSinceStart) {
    switch (recordMode) {
    case 1: return 180;
    case 2: return secondsSinceStart < 3600 ? 30 : 180;
    case 3: return 10;
    default: return 30;
    }
}

std::int32_t PackCoordinate(double degrees) {
    double a = std::fabs(degrees);
    auto whole = static_cast<std::int64_t>(std::floor(a));
    auto minutes4 = static_cast<std::int64_t>(std::llround((a - static_cast<double>(whole)) * 60.0 * 10000.0));
    if (minutes4 >= 600000) {  // rounding reached a whole degree
        ++whole;
        minutes4 -= 600000;
    }
    std::int64_t packed = whole * 1000000 + minutes4;
    return static_cast<std::int32_t>(degrees < 0 ? -packed : packed);
}

double UnpackCoordinate(std::int32_t packed) {
    double d = packed / 1000000.0;
    double whole = std::trunc(d);
    return whole + (d - whole) * 100.0 / 60.0;
}

LogSlot PositionSlot(std::uint32_t time, double latitude, double longitude, std::uint8_t speedKmh,
                     std::uint8_t status, std::uint16_t altitude) {
    LogSlot s{};
    PutU32(&s[0], time);
    PutU32(&s[4], static_cast<std::uint32_t>(PackCoordinate(latitude)));
    PutU32(&s[8], static_cast<std::uint32_t>(PackCoordinate(longitude)));
    s[12] = speedKmh;
    s[13] = status;
    altitude &= 0x7FFF;  // bit 15 is the slot kind
    s[14] = static_cast<std::uint8_t>(altitude);
    s[15] = static_cast<std::uint8_t>(altitude >> 8);
    return s;
}

LogSlot SatelliteSlot(std::uint32_t time, const std::array<std::uint8_t, 12>& cn) {
    LogSlot s{};
    PutU32(&s[0], time);
    for (int n = 0; n < 12; ++n) s[4 + n] = cn[n] & 0x3F;
    s[15] |= 0x80;
    return s;
}

std::vector<LogSlot> GenerateFlightLog(const FlightSpec& spec) {
    std::mt19937 rng(spec.seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto chance = [&](double percent) { return uniform(0, 100) < percent; };

    const int limit = spec.slots > 0 ? std::min(spec.slots, kLogCapacity) : kLogCapacity;
    const std::uint32_t start = spec.startTime != 0 ? spec.startTime : DefaultStart(spec);

    // Release point somewhere in the racing region, loft `distanceKm` away in a random direction.
    double lat = uniform(23.0, 40.0), lon = uniform(105.0, 121.0);
    double homeLat = lat, homeLon = lon;
    Move(homeLat, homeLon, uniform(0, 360), std::max(spec.distanceKm, 0.0));

    std::vector<LogSlot> log;
    double speed = uniform(65, 95), altitude = uniform(120, 250);
    std::uint32_t t = start;
    int positions = 0, loftSlots = 0;
    bool arrived = spec.distanceKm <= 0;
    const double expectedPositions = spec.distanceKm / 80.0 * 3600 / RecordIntervalSeconds(spec.recordMode, 0);
    const int zeroFixAt = std::max(2, static_cast<int>(std::min(expectedPositions, limit * 0.8) / 3));
    bool zeroFixDone = false;

    while (static_cast<int>(log.size()) < limit) {
        if (arrived && spec.slots <= 0 && loftSlots >= 10) break;
        const int interval = RecordIntervalSeconds(spec.recordMode, t - start);

        bool fix = !(positions < 2 && spec.nonFixPercent > 0) && !chance(spec.nonFixPercent);
        std::uint8_t status = fix ? 0 : static_cast<std::uint8_t>(1 + rng() % 3);
        if (arrived) {
            log.push_back(PositionSlot(t, homeLat, homeLon, 0, status, 20));
            ++loftSlots;
        } else if (spec.zeroFix && !zeroFixDone && positions >= zeroFixAt) {
            log.push_back(PositionSlot(t, 0.0, 0.0, static_cast<std::uint8_t>(speed), 0, 0));
            zeroFixDone = true;
        } else {
            log.push_back(PositionSlot(t, lat, lon, fix ? static_cast<std::uint8_t>(std::lround(speed)) : 0, status,
                                       static_cast<std::uint16_t>(altitude)));
        }
        ++positions;

        if (spec.satelliteEvery > 0 && positions % spec.satelliteEvery == 0 &&
            static_cast<int>(log.size()) < limit) {
            std::array<std::uint8_t, 12> cn{};
            int tracked = 6 + static_cast<int>(rng() % 7);
            for (int i = 0; i < tracked; ++i) cn[i] = static_cast<std::uint8_t>(24 + rng() % 24);
            log.push_back(SatelliteSlot(t + static_cast<std::uint32_t>(interval / 2), cn));
        }

        // Fly on towards the loft: speed and height drift, the heading wanders a little.
        if (!arrived) {
            double step = speed * interval / 3600.0;
            double remaining = DistanceKm(lat, lon, homeLat, homeLon);
            if (remaining <= step) {
                lat = homeLat;
                lon = homeLon;
                arrived = true;
            } else {
                Move(lat, lon, BearingDeg(lat, lon, homeLat, homeLon) + uniform(-12, 12), step);
            }
            speed = std::clamp(speed + uniform(-4, 4), 60.0, 100.0);
            altitude = std::clamp(altitude + uniform(-15, 15), 60.0, 400.0);
        }
        t += static_cast<std::uint32_t>(interval);
    }
    return log;
}

}  // namespace wing::sim
