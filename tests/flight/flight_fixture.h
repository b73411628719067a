#pragma once
// Records for the flight tests and benchmark, built from decimal degrees.

#include <cmath>
#include <cstdint>

#include "log/log_record.h"

namespace wing::test {

// Decimal degrees to the logger's packed form, degrees x 1e6 + minutes x 1e4, to the
// nearest 0.0001' (about 0.2 m).
inline std::int32_t PackDegrees(double degrees) {
    const double a = std::abs(degrees);
    std::int64_t whole = static_cast<std::int64_t>(a);
    std::int64_t minutes = std::llround((a - static_cast<double>(whole)) * 60.0 * 1e4);
    if (minutes >= 600000) {
        ++whole;
        minutes -= 600000;
    }
    const std::int64_t packed = whole * 1000000 + minutes;
    return static_cast<std::int32_t>(degrees < 0 ? -packed : packed);
}

// A position fix as the decoder gives it.
inline CLogRecord Position(std::uint32_t time, double lat, double lon, int speedKmh = 60, int altitude = 100) {
    CLogRecord r;
    r.kind = 0;
    r.time = time;
    r.latitude = PackDegrees(lat);
    r.longitude = PackDegrees(lon);
    r.speed = static_cast<std::uint16_t>(speedKmh);
    r.altitude = static_cast<std::uint16_t>(altitude);
    r.debugStatus = 0;
    r.switchBit = r.pluginBit = r.wakeOnBit = r.status = 0;
    return r;
}

inline CLogRecord WithoutFix(CLogRecord r) {
    r.debugStatus = 0x21;
    return r;
}

inline CLogRecord Satellite(std::uint32_t time) {
    CLogRecord r = Position(time, 0, 0, 0, 0);
    r.kind = 1;
    return r;
}

}  // namespace wing::test
