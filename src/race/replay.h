#pragma once
// A race replayed: where each bird was at a moment of the race, from its judged figures
// and the records it was judged from. Positions are interpolated between good fixes, never
// extrapolated past the last one. Qt-free, so the window, the benchmarks and the tests read
// the same positions.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "flight/coordinates.h"
#include "log/log_record.h"
#include "race/judgement.h"

namespace wing {

struct ReplayFix {
    double time = 0;  // UTC seconds
    GeoPoint point;
};

class RaceReplay {
public:
    // tracks[i] holds the records judgement.birds[i] was judged from (empty for a bird that
    // could not be judged). Only the fixes AnalyseFlight found good are used.
    RaceReplay(const RaceJudgement& judgement, const std::vector<CLogRecordList>& tracks);
    // Out of line: Bird is complete only in replay.cpp.
    RaceReplay(const RaceReplay&);
    RaceReplay(RaceReplay&&) noexcept;
    RaceReplay& operator=(const RaceReplay&);
    RaceReplay& operator=(RaceReplay&&) noexcept;
    ~RaceReplay();

    std::size_t BirdCount() const;
    double Start() const;  // the release
    double End() const;    // the last good fix or arrival of any bird, at most the race's last day
    const GeoPoint& ReleasePoint() const;

    // Where bird i was at t: the release point before the release (and before its first
    // fix); between two good fixes the point between them in proportion to the time; its
    // last fix after that; its loft from its arrival on.
    GeoPoint PositionAt(std::size_t bird, double t) const;
    // The good fixes of the `seconds` before t, ending with PositionAt(bird, t).
    std::vector<GeoPoint> TailAt(std::size_t bird, double t, double seconds) const;
    // The geodesic from PositionAt(bird, t) to its loft.
    double DistanceToFlyAt(std::size_t bird, double t) const;
    // Distance still to fly at each good fix (and at release and arrival), for the chart.
    std::vector<std::pair<double, double>> DistanceSeries(std::size_t bird) const;
    bool ArrivedBy(std::size_t bird, double t) const;
    // The first arrival strictly after t; none when no bird arrives later.
    std::optional<double> NextArrivalAfter(double t) const;
    // The bird still flying with the least part of its own distance left at t (an arrived
    // bird is not followed); none when no bird is in the air.
    std::optional<std::size_t> LeaderAt(double t) const;

private:
    struct Bird;
    std::vector<Bird> m_birds;  // defined in replay.cpp
    GeoPoint m_release;
    double m_start = 0;
    double m_end = 0;
};

}  // namespace wing
