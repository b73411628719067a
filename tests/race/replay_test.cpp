// The replay: where each bird was at a moment of the race, from the fixes it was judged
// on; positions interpolated on the geodesic between two good fixes, never past the last.

#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>

#include "race/judgement.h"
#include "race/race_fixture.h"
#include "race/replay.h"

namespace wing {
namespace {

using test::Direct;
using test::TrackBuilder;

constexpr std::int64_t kRelease = 1746082800;  // 2025-05-01 07:00 UTC
const GeoPoint kReleasePoint{50.0, 5.0};

GeoPoint FixOf(const CLogRecord& r) { return {r.LatitudeDegrees(), r.LongitudeDegrees()}; }

GeoPoint OnGeodesic(const GeoPoint& a, const GeoPoint& b, double share) {
    const auto line = GeographicLib::Geodesic::WGS84().InverseLine(a.lat, a.lon, b.lat, b.lon);
    GeoPoint p;
    line.Position(line.Distance() * share, p.lat, p.lon);
    return p;
}

void ExpectNear(const GeoPoint& got, const GeoPoint& expected, const std::string& what) {
    EXPECT_LT(test::Geodesic(got, expected), 0.01) << what << ": " << FormatCoordinates(got) << " not "
                                                   << FormatCoordinates(expected);
}

// Two birds judged from their records: HOME flies 30 km north in 60 s steps and arrives,
// its track holding a spike and a record without a fix; LATE's logger starts 5 minutes
// after the release and it stops 10 km short of its loft.
struct TwoBirds {
    GeoPoint loft = Direct(kReleasePoint, 0, 30000);
    GeoPoint lateLoft = Direct(kReleasePoint, 90, 40000);
    std::vector<CLogRecordList> tracks;
    RaceJudgement judgement;
    std::size_t spikeAt = 0;  // index in HOME's records

    TwoBirds() {
        TrackBuilder home(kRelease - 120), late(kRelease + 300);
        home.At(kReleasePoint).Stay(1).To(loft, 1000).Stay(3);
        spikeAt = 8;
        const std::uint32_t spikeTime = home.records[spikeAt].time;
        const GeoPoint far = Direct(kReleasePoint, 180, 50000);
        home.records[spikeAt] = test::Position(spikeTime, far.lat, far.lon);
        home.records[spikeAt + 3] = test::WithoutFix(home.records[spikeAt + 3]);
        late.At(Direct(kReleasePoint, 90, 3000)).To(Direct(kReleasePoint, 90, 30000), 1500);
        tracks = {home.records, late.records};
        Race race = test::OneBirdRace(kReleasePoint, kRelease, "HOME");
        race.entries.push_back(RaceEntry{"LATE", "", "", {}, "late.wing"});
        judgement.race = race;
        judgement.birds = {JudgeBird(race, 0, loft, tracks[0]), JudgeBird(race, 1, lateLoft, tracks[1])};
        RankRace(judgement, tracks);
    }
};

TEST(RaceReplay, PositionsAreTheGoodFixesInterpolatedNeverExtrapolated) {
    const TwoBirds race;
    ASSERT_TRUE(race.judgement.birds[0].arrived);
    ASSERT_EQ(race.judgement.birds[0].flight.flags[race.spikeAt], PointFlag::Spike);
    ASSERT_FALSE(race.judgement.birds[1].arrived);
    const RaceReplay replay(race.judgement, race.tracks);
    const CLogRecordList& home = race.tracks[0];
    const CLogRecordList& late = race.tracks[1];
    const double arrival = static_cast<double>(*race.judgement.birds[0].arrival);
    const auto at = [](const CLogRecord& r, double plus = 0) { return static_cast<double>(r.time) + plus; };

    struct Case {
        const char* what;
        std::size_t bird;
        double t;
        GeoPoint expected;
    };
    const Case cases[] = {
        {"before the release", 0, kRelease - 3600.0, kReleasePoint},
        {"before the release, a bird elsewhere then", 1, kRelease - 1.0, kReleasePoint},
        {"released, its logger not started", 1, kRelease + 299.0, kReleasePoint},
        {"on a fix", 0, at(home[5]), FixOf(home[5])},
        {"a quarter of the way", 0, at(home[5], 15), OnGeodesic(FixOf(home[5]), FixOf(home[6]), 0.25)},
        {"half way, the other bird", 1, at(late[2], 30), OnGeodesic(FixOf(late[2]), FixOf(late[3]), 0.5)},
        {"over the spike, between the good fixes around it", 0, at(home[race.spikeAt]),
         OnGeodesic(FixOf(home[race.spikeAt - 1]), FixOf(home[race.spikeAt + 1]), 0.5)},
        {"over the record without a fix", 0, at(home[race.spikeAt + 3], 30),
         OnGeodesic(FixOf(home[race.spikeAt + 2]), FixOf(home[race.spikeAt + 4]), 0.75)},
        {"after its last fix it stays", 1, at(late.back(), 7200), FixOf(late.back())},
        {"home: on its loft, not on the fix that brought it", 0, arrival, race.loft},
        {"long after the arrival", 0, arrival + 86400, race.loft},
    };
    for (const Case& c : cases) {
        ExpectNear(replay.PositionAt(c.bird, c.t), c.expected, c.what);
        EXPECT_NEAR(replay.DistanceToFlyAt(c.bird, c.t),
                    test::Geodesic(c.expected, c.bird == 0 ? race.loft : race.lateLoft), 0.01)
            << c.what;
    }
    EXPECT_FALSE(replay.ArrivedBy(0, arrival - 1));
    EXPECT_TRUE(replay.ArrivedBy(0, arrival));
    EXPECT_FALSE(replay.ArrivedBy(1, at(late.back(), 86400)));
    EXPECT_EQ(replay.Start(), kRelease);
    EXPECT_EQ(replay.End(), std::max(arrival, at(late.back())));
}

// The tail: the good fixes of the last minutes, in time order, ending at the marker.
TEST(RaceReplay, TailIsTheLastMinutesGoodFixesEndingAtTheMarker) {
    const TwoBirds race;
    const RaceReplay replay(race.judgement, race.tracks);
    const CLogRecordList& home = race.tracks[0];
    const double t = home[race.spikeAt + 1].time + 20.0;
    const std::vector<GeoPoint> tail = replay.TailAt(0, t, 300);
    // Fixes 4 to 9 lie in the five minutes; 8 is the spike.
    const std::vector<GeoPoint> expected{FixOf(home[race.spikeAt - 3]), FixOf(home[race.spikeAt - 2]),
                                         FixOf(home[race.spikeAt - 1]), FixOf(home[race.spikeAt + 1]),
                                         replay.PositionAt(0, t)};
    ASSERT_EQ(tail.size(), expected.size());
    for (std::size_t i = 0; i < tail.size(); ++i) ExpectNear(tail[i], expected[i], "tail point " + std::to_string(i));

    ASSERT_EQ(replay.TailAt(1, kRelease + 60.0, 600).size(), 1u);  // nothing flown yet: the marker alone
    ExpectNear(replay.TailAt(1, kRelease + 60.0, 600).back(), kReleasePoint, "not started");
}

TEST(RaceReplay, DistanceSeriesRunsFromTheReleaseToZeroAtTheArrival) {
    const TwoBirds race;
    const RaceReplay replay(race.judgement, race.tracks);
    const auto home = replay.DistanceSeries(0);
    ASSERT_GE(home.size(), 3u);
    EXPECT_EQ(home.front().first, kRelease);
    EXPECT_NEAR(home.front().second, 30000, 0.01);
    EXPECT_EQ(home.back(), std::make_pair(static_cast<double>(*race.judgement.birds[0].arrival), 0.0));
    for (std::size_t i = 1; i < home.size(); ++i) {
        EXPECT_GT(home[i].first, home[i - 1].first) << i;
        EXPECT_LT(home[i].second, 30001) << "no spike (80 km out) in the series, point " << i;
    }
    const auto late = replay.DistanceSeries(1);
    EXPECT_NEAR(late.back().second, test::Geodesic(FixOf(race.tracks[1].back()), race.lateLoft), 0.01);
}

// Three birds over the same 40 km: FAST arrives first, SLOW later; LOST stops half way.
TEST(RaceReplay, ArrivalsInTurnAndTheLeaderIsTheBirdInTheAirWithLeastLeft) {
    const GeoPoint loft = Direct(kReleasePoint, 0, 40000);
    TrackBuilder fast(kRelease, 60), slow(kRelease, 60), lost(kRelease, 60);
    fast.At(kReleasePoint).To(loft, 1500);                                    // 27 minutes
    slow.At(kReleasePoint).To(loft, 1000);                                    // 40 minutes
    lost.At(kReleasePoint).To(Direct(kReleasePoint, 0, 20000), 1400).Stay(2);  // ends at 20 km after 17 minutes
    const std::vector<CLogRecordList> inputs{fast.records, slow.records, lost.records};
    Race race = test::OneBirdRace(kReleasePoint, kRelease, "FAST");
    race.entries.push_back(RaceEntry{"SLOW", "", "", {}, "slow.wing"});
    race.entries.push_back(RaceEntry{"LOST", "", "", {}, "lost.wing"});
    RaceJudgement j;
    j.race = race;
    for (std::size_t i = 0; i < 3; ++i) j.birds.push_back(JudgeBird(race, i, loft, inputs[i]));
    RankRace(j, inputs);
    std::vector<CLogRecordList> tracks;
    for (const BirdResult& b : j.birds) tracks.push_back(inputs[b.entry]);
    const RaceReplay replay(j, tracks);
    ASSERT_EQ(j.birds[0].entry, 0u);
    ASSERT_EQ(j.birds[1].entry, 1u);
    const double first = static_cast<double>(*j.birds[0].arrival), second = static_cast<double>(*j.birds[1].arrival);

    EXPECT_EQ(replay.NextArrivalAfter(kRelease - 600), first);
    EXPECT_EQ(replay.NextArrivalAfter(first), second);  // strictly after
    EXPECT_EQ(replay.NextArrivalAfter(second), std::nullopt);

    EXPECT_EQ(replay.LeaderAt(kRelease - 1), std::nullopt);  // nobody in the air yet
    EXPECT_EQ(replay.LeaderAt(kRelease + 600), 0u);
    EXPECT_EQ(replay.LeaderAt(first), 1u);                   // the winner home is no longer followed
    EXPECT_EQ(replay.LeaderAt(second), std::nullopt);        // home, and LOST's track has ended
}

// Through the files: JudgeRace hands back each bird's records in the judgement's order;
// a bird whose track is missing stays at the release and draws no line.
TEST(RaceReplay, JudgeRaceGivesTheTracksInBirdOrderAndAMissingTrackIsEmpty) {
    test::TempFolder folder;
    const GeoPoint loft = Direct(kReleasePoint, 0, 30000);
    TrackBuilder slow(kRelease, 60), fast(kRelease, 60);
    slow.At(kReleasePoint).To(loft, 800);
    fast.At(kReleasePoint).To(loft, 1500);
    folder.Write("slow.gpx", test::GpxOf(slow.records));
    folder.Write("fast.gpx", test::GpxOf(fast.records));
    Race race = test::OneBirdRace(kReleasePoint, kRelease, "GONE");
    const std::string at = FormatCoordinates(loft);
    race.entries = {{"GONE", "", "", {"", at}, "gone.wing"}, {"SLOW", "", "", {"", at}, "slow.gpx"},
                    {"FAST", "", "", {"", at}, "fast.gpx"}};
    std::vector<CLogRecordList> tracks;
    const RaceJudgement j = JudgeRace(race, {}, folder.Path(), &tracks);
    ASSERT_EQ(tracks.size(), 3u);
    const std::vector<std::size_t> order{j.birds[0].entry, j.birds[1].entry, j.birds[2].entry};
    EXPECT_EQ(order, (std::vector<std::size_t>{2, 1, 0}));
    EXPECT_EQ(tracks[0].size(), fast.records.size());
    EXPECT_EQ(tracks[1].size(), slow.records.size());
    EXPECT_TRUE(tracks[2].empty());
    EXPECT_FALSE(j.birds[2].problem.empty());

    const RaceReplay replay(j, tracks);
    ASSERT_EQ(replay.BirdCount(), 3u);
    ExpectNear(replay.PositionAt(0, kRelease + 240.0), FixOf(fast.records[4]), "fast at its fifth fix");
    ExpectNear(replay.PositionAt(2, kRelease + 600.0), kReleasePoint, "the missing bird");
    EXPECT_TRUE(replay.DistanceSeries(2).empty());
    EXPECT_EQ(replay.End(), static_cast<double>(*j.birds[1].arrival));
}

}  // namespace
}  // namespace wing
