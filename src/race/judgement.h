#pragma once
// The judgement of a race: for each bird the flight analysis's figures (AnalyseFlight
// with the race's release), then what a race adds: dead time, velocity in the race's
// units, the flight line, what each rest cost, where it was when the winner arrived, and
// the ranking. Every output (command line, CSV, JSON, sheet, window) shows these figures.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "flight/flight_analysis.h"
#include "race/race.h"
#include "settings/config.h"

namespace wing {

// A stretch of more than two minutes in which the bird flew away from its loft.
struct TurnBack {
    std::int64_t start = 0;  // UTC seconds
    std::int64_t seconds = 0;
    double metresLost = 0;  // how much further from the loft it was at the end
};

struct JudgedRest {
    Rest rest;
    // The velocity (m/min) the bird would have had without this rest; none when it did not
    // arrive.
    std::optional<double> velocityWithoutMetresPerMinute;
};

struct BirdResult {
    std::size_t entry = 0;  // index into the race's entries
    // Non-empty when the bird could not be judged (missing or unreadable track, loft off
    // the globe, no fix after the release): the message names the entry.
    std::string problem;
    GeoPoint loft;
    FlightSummary flight;  // AnalyseFlight's figures for this bird
    int rank = 0;          // 1, 2, ... for arrived birds; 0 otherwise
    bool arrived = false;
    std::optional<std::int64_t> arrival;  // UTC seconds
    double distanceMetres = 0;            // geodesic, release point to loft
    std::int64_t flyingSeconds = 0;       // release to arrival (or last fix), dead time out
    std::int64_t deadSeconds = 0;
    std::optional<double> velocityMetresPerMinute;  // distance / flying time, unrounded
    std::optional<double> velocityYardsPerMinute;
    double pathMetres = 0;
    double extraMetres = 0;  // path flown beyond the straight line
    double maxCrossTrackMetres = 0;   // farthest from the release-to-loft geodesic
    double meanCrossTrackMetres = 0;
    int crossTrackSide = 0;  // where the farthest point lay, seen flying to the loft: -1 left, +1 right
    std::vector<TurnBack> turnBacks;
    std::vector<JudgedRest> rests;
    // When the first bird arrived: the distance this bird still had to its own loft, and
    // that distance in minutes at its own average speed. None for the winner itself and
    // for a bird that arrived first or had no fix by then.
    std::optional<double> behindWinnerMetres;
    std::optional<double> behindWinnerMinutes;
    std::optional<double> closestMetres;  // a bird that never arrived: nearest it came
};

struct RaceJudgement {
    Race race;
    // Ranked: the arrived birds by published velocity (ties: earlier arrival), then those
    // that never arrived (nearest first), then those that could not be judged.
    std::vector<BirdResult> birds;
    std::optional<std::int64_t> winnerArrival;
};

// One bird, its records already read; `loft` already resolved.
BirdResult JudgeBird(const Race& race, std::size_t entry, const GeoPoint& loft,
                     const CLogRecordList& records);

// The whole race: each track read (relative paths from `raceFolder`), each loft resolved
// (a name through `lofts`, the settings' lofts), each bird judged, then the ranking and
// behind-the-winner figures. `tracks`, when given, receives the records each bird was
// judged from, in the judgement's bird order (empty for a bird whose track was not read).
RaceJudgement JudgeRace(const Race& race, const std::vector<LoftEntry>& lofts,
                        const std::filesystem::path& raceFolder, std::vector<CLogRecordList>* tracks = nullptr);

// A good fix of a judged flight: AnalyseFlight's flag is Ok and it lies between the
// release and the arrival (or the track's end).
struct JudgedFix {
    std::int64_t time = 0;  // UTC seconds
    GeoPoint point;
};
// The good fixes of `bird`'s flight, from the records it was judged from.
std::vector<JudgedFix> JudgedFixes(const CLogRecordList& records, const BirdResult& bird, std::int64_t release);

// The ranking, then where each bird was when the winner arrived, over birds judged one by
// one: tracks[i] holds the records birds[i] was judged from.
void RankRace(RaceJudgement& judgement, const std::vector<CLogRecordList>& tracks);

// What a problem calls an entry: "entry 3 (ring TW-2024-0042, blue.gpx)".
std::string EntryLabel(const Race& race, std::size_t entry);

// The velocity as published: in the rules' unit, rounded to their decimals.
std::optional<double> PublishedVelocity(const RaceRules& rules, const BirdResult& bird);

}  // namespace wing
