#include "race/judgement.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>
#include <GeographicLib/Math.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>
#include <thread>

#include "platform/sync.h"
#include "race/dead_time.h"
#include "race/track_input.h"

namespace wing {
namespace {

using GeographicLib::Geodesic;
using GeographicLib::Math;

// Longer than this flying away from the loft is a turn back, not a bird finding its way.
constexpr std::int64_t kTurnBackSeconds = 120;
constexpr std::int64_t kDaySeconds = 24 * 60 * 60;

const Geodesic& Wgs84() { return Geodesic::WGS84(); }

double Distance(const GeoPoint& a, const GeoPoint& b) {
    double metres = 0;
    Wgs84().Inverse(a.lat, a.lon, b.lat, b.lon, metres);
    return metres;
}

using Fix = JudgedFix;

// Records beyond the flags (cut at the race's last day) are not looked at.
std::vector<Fix> FlightFixes(const CLogRecordList& records, const FlightSummary& flight, std::int64_t release) {
    std::vector<Fix> fixes;
    const std::size_t end = std::min(flight.arrival ? static_cast<std::size_t>(flight.arrival->recordIndex) + 1 : records.size(),
                                     std::min(records.size(), flight.flags.size()));
    fixes.reserve(end);
    for (std::size_t i = 0; i < end; ++i) {
        const CLogRecord& r = records[i];
        if (flight.flags[i] == PointFlag::Ok && r.time >= release)
            fixes.push_back({r.time, {r.LatitudeDegrees(), r.LongitudeDegrees()}});
    }
    return fixes;
}

// The records a race judges: none after release + maxDays days. Records come in time
// order, so that is a prefix; the whole list is used as it is when nothing is cut.
const CLogRecordList& WithinRace(const CLogRecordList& records, const Race& race, CLogRecordList& cut) {
    const std::int64_t limit = race.releaseTime + static_cast<std::int64_t>(std::max(race.rules.maxDays, 0)) * kDaySeconds;
    const auto beyond = std::find_if(records.begin(), records.end(),
                                     [&](const CLogRecord& r) { return static_cast<std::int64_t>(r.time) > limit; });
    if (beyond == records.end()) return records;
    cut.assign(records.begin(), beyond);
    return cut;
}

std::optional<TimeZone> RaceZone(const Race& race) {
    return race.zone.empty() ? std::optional<TimeZone>(TimeZone::Utc()) : TimeZone::Named(race.zone);
}

// The perpendicular from `p` to the geodesic `line` (release to loft), found on the
// ellipsoid: from the estimate `along` (metres from the release), each step moves the
// foot by the projection of foot-to-p on the line, until it moves less than a millimetre;
// a handful of steps. Signed: positive to the right of the line's direction.
double ExactCrossTrack(const GeographicLib::GeodesicLine& line, const GeoPoint& p, double along) {
    double s12 = 0;
    double side = 0;
    for (int step = 0; step < 20; ++step) {
        double lat = 0, lon = 0, azi = 0;
        line.Position(along, lat, lon, azi);
        double azi1 = 0, azi2 = 0;
        Wgs84().Inverse(lat, lon, p.lat, p.lon, s12, azi1, azi2);
        const double angle = Math::AngDiff(azi, azi1);
        side = std::sin(angle * Math::degree());
        const double move = s12 * std::cos(angle * Math::degree());
        along += move;
        if (std::abs(move) < 1e-3) break;
    }
    return side < 0 ? -s12 : s12;
}

// The flight line: cross-track from the release-to-loft geodesic and the distance to
// the loft at every fix, one geodesic per fix (from the loft, with its reduced length m12).
// Seen from the loft, a fix at angle B from the release direction lies m12·sin B from the
// line: exact to first order in B, within a few centimetres per kilometre of offset over
// a race's distances. The farthest fixes are then measured exactly (ExactCrossTrack).
struct LineFigures {
    std::vector<double> toLoft;  // metres, per fix
    double maxCrossTrack = 0;
    double meanCrossTrack = 0;
    int side = 0;
};

LineFigures MeasureLine(const std::vector<Fix>& fixes, const GeoPoint& release, const GeoPoint& loft) {
    LineFigures out;
    out.toLoft.resize(fixes.size());
    if (fixes.empty()) return out;
    double straight = 0, toRelease = 0, unused = 0;
    Wgs84().Inverse(loft.lat, loft.lon, release.lat, release.lon, straight, toRelease, unused);
    std::vector<double> estimate(fixes.size()), along(fixes.size());
    double sum = 0, largest = 0;
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        if (i > 0 && fixes[i].point == fixes[i - 1].point) {  // holding still: the same geodesic again
            out.toLoft[i] = out.toLoft[i - 1];
            estimate[i] = estimate[i - 1];
            along[i] = along[i - 1];
        } else {
            double d = 0, azi1 = 0, azi2 = 0, m12 = 0;
            Wgs84().Inverse(loft.lat, loft.lon, fixes[i].point.lat, fixes[i].point.lon, d, azi1, azi2, m12);
            const double angle = Math::AngDiff(toRelease, azi1) * Math::degree();
            out.toLoft[i] = d;
            estimate[i] = -m12 * std::sin(angle);  // right of the way to the loft: the angle turns anticlockwise
            along[i] = straight - d * std::cos(angle);
        }
        sum += std::abs(estimate[i]);
        largest = std::max(largest, std::abs(estimate[i]));
    }
    out.meanCrossTrack = sum / static_cast<double>(fixes.size());
    if (largest == 0) return out;
    const GeographicLib::GeodesicLine line = Wgs84().InverseLine(release.lat, release.lon, loft.lat, loft.lon);
    double best = 0;
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        // The estimate's error is far below 1 %: any fix that could be the farthest is measured.
        if (std::abs(estimate[i]) < 0.99 * largest) continue;
        const double exact = ExactCrossTrack(line, fixes[i].point, along[i]);
        if (std::abs(exact) > std::abs(best)) best = exact;
    }
    out.maxCrossTrack = std::abs(best);
    out.side = best > 0 ? 1 : best < 0 ? -1 : 0;
    return out;
}

// Stretches in which the distance to the loft grew for more than two minutes. The
// distance swings between lows and highs; a swing counts only once it exceeds `noise`
// (a logger lying still wanders some tens of metres), so jitter on a rest is no turn back.
std::vector<TurnBack> FindTurnBacks(const std::vector<Fix>& fixes, const std::vector<double>& toLoft, double noise) {
    std::vector<TurnBack> out;
    auto add = [&](std::size_t low, std::size_t high) {
        if (fixes[high].time - fixes[low].time > kTurnBackSeconds)
            out.push_back({fixes[low].time, fixes[high].time - fixes[low].time, toLoft[high] - toLoft[low]});
    };
    bool away = false;
    std::size_t low = 0, high = 0;
    for (std::size_t i = 1; i < fixes.size(); ++i) {
        if (!away) {
            if (toLoft[i] < toLoft[low]) low = i;
            else if (toLoft[i] - toLoft[low] > noise) away = true, high = i;
        } else if (toLoft[i] > toLoft[high]) {
            high = i;
        } else if (toLoft[high] - toLoft[i] > noise) {
            add(low, high);
            away = false;
            low = i;
        }
    }
    if (away) add(low, high);
    return out;
}

// Metres per minute over a time in seconds; none when there is no time.
std::optional<double> PerMinute(double metres, std::int64_t seconds) {
    if (seconds <= 0) return std::nullopt;
    return metres / (static_cast<double>(seconds) / 60.0);
}

// Where the bird was at `when`, between the fixes either side of it on their geodesic.
std::optional<GeoPoint> PositionAt(const std::vector<Fix>& fixes, std::int64_t when) {
    const auto after = std::lower_bound(fixes.begin(), fixes.end(), when,
                                        [](const Fix& f, std::int64_t t) { return f.time < t; });
    if (after == fixes.end() || (after == fixes.begin() && after->time != when)) return std::nullopt;
    if (after->time == when) return after->point;
    const Fix& a = *(after - 1);
    const Fix& b = *after;
    const auto line = Wgs84().InverseLine(a.point.lat, a.point.lon, b.point.lat, b.point.lon);
    const double share = static_cast<double>(when - a.time) / static_cast<double>(b.time - a.time);
    GeoPoint p;
    line.Position(line.Distance() * share, p.lat, p.lon);
    return p;
}

// The velocity as ranked: an integer count of the published unit's last decimal place, so
// that two birds tie exactly when their published velocities are the same.
long long RankedVelocity(const RaceRules& rules, const BirdResult& bird) {
    const double factor = std::pow(10.0, std::clamp(rules.velocityDecimals, 0, 6));
    const double v = rules.unit == VelocityUnit::YardsPerMinute ? *bird.velocityYardsPerMinute : *bird.velocityMetresPerMinute;
    return std::llround(v * factor);
}

// Each rest with the velocity the bird would have had without it. Only the timed part of
// a rest counts: a night on a roof is dead time already.
std::vector<JudgedRest> CostOfRests(const std::vector<Rest>& rests, const BirdResult& bird, const DeadTimeRule& rule,
                                    const TimeZone& zone) {
    std::vector<JudgedRest> out;
    for (const Rest& rest : rests) {
        JudgedRest judged{rest, std::nullopt};
        if (bird.arrived) {
            const std::int64_t end = rest.start + rest.durationSeconds;
            const std::int64_t timed = rest.durationSeconds - DeadSeconds(rule, zone, bird.loft, rest.start, end);
            judged.velocityWithoutMetresPerMinute = PerMinute(bird.distanceMetres, bird.flyingSeconds - timed);
        }
        out.push_back(judged);
    }
    return out;
}

}  // namespace

std::vector<JudgedFix> JudgedFixes(const CLogRecordList& records, const BirdResult& bird, std::int64_t release) {
    if (!bird.problem.empty()) return {};
    return FlightFixes(records, bird.flight, release);
}

std::string EntryLabel(const Race& race, std::size_t entry) {
    std::string label = "entry " + std::to_string(entry + 1);
    if (entry >= race.entries.size()) return label;
    const RaceEntry& e = race.entries[entry];
    std::string about = !e.ring.empty() ? "ring " + e.ring : e.name;
    const std::string file = e.track.filename().string();
    if (!file.empty()) about += (about.empty() ? "" : ", ") + file;
    return about.empty() ? label : label + " (" + about + ")";
}

namespace {

// JudgeBird, also giving the good fixes the bird was judged from.
BirdResult Judge(const Race& race, std::size_t entry, const GeoPoint& loft, const CLogRecordList& allRecords,
                 std::vector<Fix>& fixes) {
    BirdResult bird;
    bird.entry = entry;
    bird.loft = loft;
    auto refuse = [&](const std::string& why) {
        bird.problem = EntryLabel(race, entry) + ": " + why;
        return bird;
    };
    if (!IsValidPoint(loft)) return refuse("its loft (" + FormatCoordinates(loft) + ") is off the globe");
    if (!IsValidPoint(race.releasePoint))
        return refuse("the release point (" + FormatCoordinates(race.releasePoint) + ") is off the globe");
    const std::optional<TimeZone> zone = RaceZone(race);
    if (!zone) return refuse("the race's time zone \"" + race.zone + "\" is not known here");

    CLogRecordList cut;
    const CLogRecordList& records = WithinRace(allRecords, race, cut);
    FlightInput input;
    input.loft = loft;
    input.release = ReleaseEntry{race.releasePoint, race.releaseTime};
    input.settings.arrivalRadiusMetres = race.rules.arrivalRadiusMetres;
    bird.flight = AnalyseFlight(records, input);
    const FlightSummary& flight = bird.flight;
    fixes = FlightFixes(records, flight, race.releaseTime);
    if (fixes.empty()) {
        if (flight.counts.ok == 0) return refuse("its track holds no good position");
        return refuse("its track has no position after the release; it ends before the liberation");
    }

    const LineFigures line = MeasureLine(fixes, race.releasePoint, loft);
    // Home at the liberation: the release time is wrong (after the arrival), or the
    // logger only began at the loft. Either way no velocity can be had from this track.
    if (line.toLoft.front() <= race.rules.arrivalRadiusMetres && *flight.distanceMetres > race.rules.arrivalRadiusMetres)
        return refuse("it was already at its loft at the liberation: is the release time after its arrival?");

    bird.distanceMetres = *flight.distanceMetres;
    bird.arrived = flight.arrival.has_value();
    const std::int64_t end = bird.arrived ? flight.arrival->time : fixes.back().time;
    if (bird.arrived) bird.arrival = end;
    bird.deadSeconds = DeadSeconds(race.rules.deadTime, *zone, loft, race.releaseTime, end);
    bird.flyingSeconds = end - race.releaseTime - bird.deadSeconds;
    if (bird.arrived) {
        bird.velocityMetresPerMinute = PerMinute(bird.distanceMetres, bird.flyingSeconds);
        if (!bird.velocityMetresPerMinute)
            return refuse("it arrived with no flying time left once the dead time is taken off");
        bird.velocityYardsPerMinute = *bird.velocityMetresPerMinute / kMetresPerYard;
    }

    bird.pathMetres = flight.pathMetres.value_or(0);
    // Over the straight line from the release to where the flight ended: never negative,
    // also for a bird that stopped short of the loft or arrived at the radius's edge.
    bird.extraMetres = std::max(0.0, bird.pathMetres - Distance(race.releasePoint, fixes.back().point));
    bird.maxCrossTrackMetres = line.maxCrossTrack;
    bird.meanCrossTrackMetres = line.meanCrossTrack;
    bird.crossTrackSide = line.side;
    bird.turnBacks = FindTurnBacks(fixes, line.toLoft, input.settings.restRadiusMetres);
    if (!bird.arrived) bird.closestMetres = *std::min_element(line.toLoft.begin(), line.toLoft.end());

    bird.rests = CostOfRests(flight.rests, bird, race.rules.deadTime, *zone);
    return bird;
}

}  // namespace

BirdResult JudgeBird(const Race& race, std::size_t entry, const GeoPoint& loft, const CLogRecordList& records) {
    std::vector<Fix> fixes;
    return Judge(race, entry, loft, records, fixes);
}

std::optional<double> PublishedVelocity(const RaceRules& rules, const BirdResult& bird) {
    if (!bird.velocityMetresPerMinute || !bird.velocityYardsPerMinute) return std::nullopt;
    const double factor = std::pow(10.0, std::clamp(rules.velocityDecimals, 0, 6));
    return static_cast<double>(RankedVelocity(rules, bird)) / factor;
}

namespace {

// Ranks the birds in place; element k of the result is the index ranked bird k had before.
std::vector<std::size_t> OrderBirds(RaceJudgement& judgement) {
    const RaceRules& rules = judgement.race.rules;
    std::vector<std::size_t> order(judgement.birds.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto group = [&](const BirdResult& b) { return !b.problem.empty() ? 2 : b.velocityMetresPerMinute ? 0 : 1; };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        const BirdResult& a = judgement.birds[x];
        const BirdResult& b = judgement.birds[y];
        if (group(a) != group(b)) return group(a) < group(b);
        if (group(a) == 0) {
            const long long va = RankedVelocity(rules, a), vb = RankedVelocity(rules, b);
            if (va != vb) return va > vb;
            if (*a.arrival != *b.arrival) return *a.arrival < *b.arrival;
        } else if (group(a) == 1 && a.closestMetres != b.closestMetres) {
            return a.closestMetres.value_or(INFINITY) < b.closestMetres.value_or(INFINITY);
        }
        return a.entry < b.entry;
    });

    std::vector<BirdResult> ranked;
    ranked.reserve(order.size());
    for (std::size_t i : order) {
        BirdResult bird = std::move(judgement.birds[i]);
        bird.rank = 0;
        if (group(bird) == 0) {
            // Equal published velocity and arrival: the same place.
            const BirdResult* before = ranked.empty() ? nullptr : &ranked.back();
            const bool tie = before != nullptr && before->rank > 0 && RankedVelocity(rules, *before) == RankedVelocity(rules, bird) &&
                             before->arrival == bird.arrival;
            bird.rank = tie ? before->rank : static_cast<int>(ranked.size()) + 1;
        }
        ranked.push_back(std::move(bird));
    }
    judgement.birds = std::move(ranked);
    return order;
}

// Where each ranked bird was when the winner arrived: `positionAt(k, when)` places ranked
// bird k on its track.
template <typename PositionOf>
void PlaceAtWinnersArrival(RaceJudgement& judgement, const PositionOf& positionAt) {
    judgement.winnerArrival.reset();
    if (judgement.birds.empty() || judgement.birds.front().rank != 1) return;
    const std::int64_t when = *judgement.birds.front().arrival;
    judgement.winnerArrival = when;

    for (std::size_t k = 0; k < judgement.birds.size(); ++k) {
        BirdResult& bird = judgement.birds[k];
        bird.behindWinnerMetres.reset();
        bird.behindWinnerMinutes.reset();
        if (!bird.problem.empty() || (bird.arrival && *bird.arrival <= when)) continue;
        const std::optional<GeoPoint> at = positionAt(k, when);
        if (!at) continue;
        bird.behindWinnerMetres = Distance(*at, bird.loft);
        // Its own average speed: the path it flew over its timed flight.
        if (const auto speed = PerMinute(bird.pathMetres, bird.flyingSeconds); speed && *speed > 0)
            bird.behindWinnerMinutes = *bird.behindWinnerMetres / *speed;
    }
}

}  // namespace

void RankRace(RaceJudgement& judgement, const std::vector<CLogRecordList>& tracks) {
    const std::vector<std::size_t> trackOf = OrderBirds(judgement);
    PlaceAtWinnersArrival(judgement, [&](std::size_t k, std::int64_t when) -> std::optional<GeoPoint> {
        if (trackOf[k] >= tracks.size()) return std::nullopt;
        CLogRecordList cut;
        const CLogRecordList& records = WithinRace(tracks[trackOf[k]], judgement.race, cut);
        return PositionAt(FlightFixes(records, judgement.birds[k].flight, judgement.race.releaseTime), when);
    });
}

namespace {

// One entry: its loft found, its track read, the bird judged; `track` keeps the records
// and `fixes` the good fixes it was judged from.
BirdResult JudgeEntry(const Race& race, std::size_t i, const std::vector<LoftEntry>& lofts,
                      const std::filesystem::path& raceFolder, CLogRecordList& track, std::vector<Fix>& fixes) {
    const RaceEntry& entry = race.entries[i];
    BirdResult bird;
    bird.entry = i;
    std::optional<GeoPoint> loft;
    std::string problem;
    if (!entry.loft.position.empty()) {
        loft = ParseCoordinates(entry.loft.position);
        if (!loft) problem = "its loft position \"" + entry.loft.position + "\" cannot be read";
    } else if (!entry.loft.name.empty()) {
        Config named;
        named.lofts = lofts;
        const LoftEntry* found = FindLoft(named, entry.loft.name);
        if (found == nullptr) problem = "the settings have no loft named \"" + entry.loft.name + "\"";
        else if (!(loft = ParseCoordinates(found->position)))
            problem = "the position of loft \"" + found->name + "\" cannot be read";
    } else {
        problem = "it names no loft";
    }
    if (problem.empty()) {
        const std::filesystem::path path = entry.track.is_absolute() ? entry.track : raceFolder / entry.track;
        auto read = ReadTrack(path);
        if (auto* why = std::get_if<std::string>(&read)) problem = *why;
        else track = std::move(std::get<RaceTrack>(read).records);
    }
    if (problem.empty()) return Judge(race, i, *loft, track, fixes);
    bird.problem = EntryLabel(race, i) + ": " + problem;
    if (loft) bird.loft = *loft;
    return bird;
}

}  // namespace

RaceJudgement JudgeRace(const Race& race, const std::vector<LoftEntry>& lofts, const std::filesystem::path& raceFolder,
                        std::vector<CLogRecordList>* tracksOut) {
    RaceJudgement judgement;
    judgement.race = race;
    const std::size_t n = race.entries.size();
    judgement.birds.resize(n);
    // Only the window wants every bird's records back; otherwise each bird's are let go
    // once it is judged (the next bird's reuse that memory) and its good fixes kept for
    // where it was when the winner arrived.
    std::vector<CLogRecordList> tracks(tracksOut != nullptr ? n : 0);
    std::vector<std::vector<Fix>> fixes(n);
    // Birds are judged apart from each other, so each core takes the next one.
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next++) < n;) {
            CLogRecordList records;
            try {
                judgement.birds[i] = JudgeEntry(race, i, lofts, raceFolder, records, fixes[i]);
            } catch (const std::exception& e) {
                judgement.birds[i] = BirdResult{};
                judgement.birds[i].entry = i;
                judgement.birds[i].problem = EntryLabel(race, i) + ": " + e.what();
                fixes[i].clear();
            }
            if (tracksOut != nullptr) tracks[i] = std::move(records);
        }
    };
    {
        WorkerThreads helpers;
        const std::size_t cores = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
        for (std::size_t k = 1; k < std::min(cores, n); ++k)
            if (!helpers.Start(work)) break;  // fewer helpers: this thread does more
        work();
    }
    const std::vector<std::size_t> entryOf = OrderBirds(judgement);
    PlaceAtWinnersArrival(judgement, [&](std::size_t k, std::int64_t when) { return PositionAt(fixes[entryOf[k]], when); });
    if (tracksOut != nullptr) {
        tracksOut->clear();
        tracksOut->reserve(n);
        for (const BirdResult& bird : judgement.birds) tracksOut->push_back(std::move(tracks[bird.entry]));
    }
    return judgement;
}

}  // namespace wing
