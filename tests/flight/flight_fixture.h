#pragma once
// Records for the flight tests and benchmark, built from decimal degrees.

#include <cstdint>

#include "log/log_record.h"

namespace wing::test {

// Decimal degrees to the logger's packed form (about 0.2 m steps).
inline std::int32_t PackDegrees(double degrees) { return DegreesToPacked(degrees); }

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
