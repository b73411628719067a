#pragma once
// A race: birds released together at one point and time, each flying to its own loft,
// judged by one set of rules. Plain data; race_file reads and writes it as JSON, and
// judgement turns it into the figures every output shows.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "flight/coordinates.h"

namespace wing {

enum class VelocityUnit { MetresPerMinute, YardsPerMinute };

// Time a bird out at night is not timed for.
//   None   nothing is taken off.
//   Fixed  a window of every local day in the race's zone, e.g. 21:30-05:00 (it runs over
//          midnight when it ends earlier than it starts); whatever of each night's window
//          lies between release and arrival is taken off.
//   Sun    from sunset to the next sunrise at the bird's loft, narrowed by an offset at
//          both ends: +60 opens the window an hour after sunset and closes it an hour
//          before sunrise.
struct DeadTimeRule {
    enum class Kind { None, Fixed, Sun };
    Kind kind = Kind::None;
    int startMinute = 0;        // Fixed: minutes after local midnight at which it opens
    int endMinute = 0;          // Fixed: minutes after local midnight at which it closes
    int sunOffsetMinutes = 0;   // Sun
    bool operator==(const DeadTimeRule&) const = default;
};

struct RaceRules {
    VelocityUnit unit = VelocityUnit::MetresPerMinute;  // the unit the ranking is published in
    int velocityDecimals = 3;          // the published velocity is rounded to this many places
    DeadTimeRule deadTime;
    double arrivalRadiusMetres = 100;  // a fix this close to the loft is home
    int maxDays = 3;                   // nothing after release + maxDays days is judged
    bool operator==(const RaceRules&) const = default;
};

// A bird's loft: a named loft of the settings, or a position as typed (any form
// ParseCoordinates reads). When both are given the position is the one used; a race made
// from a named loft keeps the position it had then, so the file judges alike on any PC.
struct RaceLoft {
    std::string name;
    std::string position;
    bool operator==(const RaceLoft&) const = default;
};

struct RaceEntry {
    std::string ring;   // the bird's ring number; optional
    std::string name;   // optional
    std::string owner;  // optional
    RaceLoft loft;
    // An archive of ours (.wing) or a GPX 1.0/1.1 file; a relative path is read from the
    // race file's folder.
    std::filesystem::path track;
    bool operator==(const RaceEntry&) const = default;
};

struct Race {
    std::string name;
    GeoPoint releasePoint;
    std::int64_t releaseTime = 0;  // the liberation, UTC seconds
    // The race's zone (a TimeZone::Named value): local times are read and shown in it and
    // the fixed dead-time window lies in it. Empty: UTC.
    std::string zone;
    RaceRules rules;
    std::vector<RaceEntry> entries;
    // The file's JSON as it was read (empty for a new race): keys this version does not
    // know are written back unchanged.
    std::string keptJson;
};

}  // namespace wing
