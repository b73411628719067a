#include "race/replay.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <algorithm>
#include <limits>

namespace wing {
namespace {

constexpr double kDaySeconds = 24 * 60 * 60;

const GeographicLib::Geodesic& Wgs84() { return GeographicLib::Geodesic::WGS84(); }

double Distance(const GeoPoint& a, const GeoPoint& b) {
    double metres = 0;
    Wgs84().Inverse(a.lat, a.lon, b.lat, b.lon, metres);
    return metres;
}

// The point `share` of the way from a to b along their geodesic, as the judgement places
// a bird between two fixes.
GeoPoint Between(const GeoPoint& a, const GeoPoint& b, double share) {
    const auto line = Wgs84().InverseLine(a.lat, a.lon, b.lat, b.lon);
    GeoPoint p;
    line.Position(line.Distance() * share, p.lat, p.lon);
    return p;
}

}  // namespace

struct RaceReplay::Bird {
    bool judged = false;
    GeoPoint loft;
    double distance = 0;  // release point to loft
    std::optional<double> arrival;
    std::vector<ReplayFix> fixes;  // in time order
};

RaceReplay::RaceReplay(const RaceJudgement& judgement, const std::vector<CLogRecordList>& tracks)
    : m_release(judgement.race.releasePoint),
      m_start(static_cast<double>(judgement.race.releaseTime)),
      m_end(m_start) {
    const double lastDay = m_start + std::max(judgement.race.rules.maxDays, 0) * kDaySeconds;
    m_birds.resize(judgement.birds.size());
    for (std::size_t i = 0; i < judgement.birds.size(); ++i) {
        const BirdResult& result = judgement.birds[i];
        Bird& bird = m_birds[i];
        bird.loft = result.loft;
        bird.judged = result.problem.empty() && i < tracks.size();
        if (!bird.judged) continue;
        bird.distance = result.distanceMetres;
        if (result.arrival) bird.arrival = static_cast<double>(*result.arrival);
        for (const JudgedFix& fix : JudgedFixes(tracks[i], result, judgement.race.releaseTime))
            bird.fixes.push_back({static_cast<double>(fix.time), fix.point});
        if (!bird.fixes.empty()) m_end = std::max(m_end, bird.fixes.back().time);
        if (bird.arrival) m_end = std::max(m_end, *bird.arrival);
    }
    m_end = std::min(m_end, lastDay);
}

RaceReplay::RaceReplay(const RaceReplay&) = default;
RaceReplay::RaceReplay(RaceReplay&&) noexcept = default;
RaceReplay& RaceReplay::operator=(const RaceReplay&) = default;
RaceReplay& RaceReplay::operator=(RaceReplay&&) noexcept = default;
RaceReplay::~RaceReplay() = default;

std::size_t RaceReplay::BirdCount() const { return m_birds.size(); }
double RaceReplay::Start() const { return m_start; }
double RaceReplay::End() const { return m_end; }
const GeoPoint& RaceReplay::ReleasePoint() const { return m_release; }

GeoPoint RaceReplay::PositionAt(std::size_t i, double t) const {
    const Bird& bird = m_birds.at(i);
    if (bird.arrival && t >= *bird.arrival) return bird.loft;
    const auto& fixes = bird.fixes;
    if (t < m_start || fixes.empty() || t < fixes.front().time) return m_release;
    if (t >= fixes.back().time) return fixes.back().point;
    const auto after = std::upper_bound(fixes.begin(), fixes.end(), t,
                                        [](double when, const ReplayFix& f) { return when < f.time; });
    const ReplayFix& a = *(after - 1);
    const ReplayFix& b = *after;
    if (t == a.time) return a.point;
    return Between(a.point, b.point, (t - a.time) / (b.time - a.time));
}

std::vector<GeoPoint> RaceReplay::TailAt(std::size_t i, double t, double seconds) const {
    const auto& fixes = m_birds.at(i).fixes;
    const auto first = std::upper_bound(fixes.begin(), fixes.end(), t - seconds,
                                        [](double when, const ReplayFix& f) { return when < f.time; });
    std::vector<GeoPoint> tail;
    for (auto it = first; it != fixes.end() && it->time < t; ++it) tail.push_back(it->point);
    tail.push_back(PositionAt(i, t));
    return tail;
}

double RaceReplay::DistanceToFlyAt(std::size_t i, double t) const {
    const Bird& bird = m_birds.at(i);
    if (!bird.judged) return 0;
    return Distance(PositionAt(i, t), bird.loft);
}

std::vector<std::pair<double, double>> RaceReplay::DistanceSeries(std::size_t i) const {
    const Bird& bird = m_birds.at(i);
    std::vector<std::pair<double, double>> series;
    if (!bird.judged) return series;
    series.reserve(bird.fixes.size() + 2);
    series.emplace_back(m_start, Distance(m_release, bird.loft));
    for (const ReplayFix& fix : bird.fixes)
        if (fix.time > m_start && (!bird.arrival || fix.time < *bird.arrival))
            series.emplace_back(fix.time, Distance(fix.point, bird.loft));
    if (bird.arrival) series.emplace_back(*bird.arrival, 0.0);
    return series;
}

bool RaceReplay::ArrivedBy(std::size_t i, double t) const {
    const Bird& bird = m_birds.at(i);
    return bird.arrival && t >= *bird.arrival;
}

std::optional<double> RaceReplay::NextArrivalAfter(double t) const {
    std::optional<double> next;
    for (const Bird& bird : m_birds)
        if (bird.arrival && *bird.arrival > t && (!next || *bird.arrival < *next)) next = bird.arrival;
    return next;
}

std::optional<std::size_t> RaceReplay::LeaderAt(double t) const {
    if (t < m_start) return std::nullopt;
    std::optional<std::size_t> leader;
    double least = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < m_birds.size(); ++i) {
        const Bird& bird = m_birds[i];
        // In the air: released, not home, and its track not yet ended.
        if (!bird.judged || bird.distance <= 0 || bird.fixes.empty() || ArrivedBy(i, t) || t > bird.fixes.back().time)
            continue;
        const double share = DistanceToFlyAt(i, t) / bird.distance;
        if (share < least) least = share, leader = i;
    }
    return leader;
}

}  // namespace wing
