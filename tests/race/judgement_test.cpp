// The judgement of each bird and of the race, from tracks built on geodesics.

#include <gtest/gtest.h>

#include <cmath>

#include "race/dead_time.h"
#include "race/judgement.h"
#include "race/race_file.h"
#include "race/race_fixture.h"
#include "race/track_input.h"

namespace wing {
namespace {

using test::Direct;
using test::TrackBuilder;

constexpr std::int64_t kRelease = 1746082800;  // 2025-05-01 07:00 UTC

TEST(JudgeBird, VelocityIsTheFlightAnalysisesWithTheRaceRelease) {
    const GeoPoint release{51.0, 4.0};
    const GeoPoint loft = Direct(release, 40, 150000);
    Race race = test::OneBirdRace(release, kRelease);
    TrackBuilder track(kRelease - 600);
    track.At(release).Stay(9).To(loft, 1200).Stay(5);  // ten minutes in the basket, then 1200 m/min
    const BirdResult bird = JudgeBird(race, 0, loft, track.records);
    ASSERT_TRUE(bird.problem.empty()) << bird.problem;

    FlightInput input;
    input.loft = loft;
    input.release = ReleaseEntry{release, kRelease};
    const FlightSummary analysed = AnalyseFlight(track.records, input);
    ASSERT_TRUE(bird.arrived);
    EXPECT_EQ(*bird.arrival, analysed.arrival->time);
    EXPECT_EQ(bird.flyingSeconds, *analysed.flightSeconds);
    EXPECT_EQ(bird.deadSeconds, 0);
    EXPECT_DOUBLE_EQ(*bird.velocityMetresPerMinute, *analysed.velocityMetresPerMinute);
    EXPECT_DOUBLE_EQ(*bird.velocityYardsPerMinute, *bird.velocityMetresPerMinute / 0.9144);
    EXPECT_NEAR(bird.distanceMetres, 150000, 0.001);
    // 150 km at 1200 m/min, the arrival fix inside the 100 m radius: 125 minutes.
    EXPECT_NEAR(*bird.velocityMetresPerMinute, 1200, 10);
    EXPECT_NEAR(bird.pathMetres, 150000, 1);
    EXPECT_LT(bird.extraMetres, 1);
    EXPECT_LT(bird.maxCrossTrackMetres, 1);
    EXPECT_TRUE(bird.turnBacks.empty());
    EXPECT_FALSE(bird.closestMetres);

    race.rules.unit = VelocityUnit::YardsPerMinute;
    race.rules.velocityDecimals = 2;
    EXPECT_DOUBLE_EQ(*PublishedVelocity(race.rules, bird), std::round(*bird.velocityYardsPerMinute * 100) / 100);
    race.rules.unit = VelocityUnit::MetresPerMinute;
    race.rules.velocityDecimals = 0;
    EXPECT_DOUBLE_EQ(*PublishedVelocity(race.rules, bird), std::round(*bird.velocityMetresPerMinute));
}

// A bird flying beside the course at a known distance: fixes placed perpendicular to the
// release-to-loft geodesic, on the ellipsoid.
TEST(JudgeBird, CrossTrackOfATrackBesideTheCourse) {
    struct Case {
        const char* what;
        GeoPoint release;
        double course;  // azimuth from the release to the loft
        double offset;  // metres; positive to the right of the way to the loft
        int side;
    } cases[] = {
        {"parallel to a meridian, east", {23.0, 120.5}, 0, 2000, 1},
        {"parallel to a meridian, west", {23.0, 120.5}, 0, -5000, -1},
        {"north-east over 300 km, left", {48.0, 2.0}, 50, -10000, -1},
        {"south-west in the south, right", {-33.0, 151.0}, 225, 20000, 1},
    };
    for (const auto& c : cases) {
        const double length = c.course == 0 ? 111000 : 300000;
        const auto line = GeographicLib::Geodesic::WGS84().Line(c.release.lat, c.release.lon, c.course);
        GeoPoint loft;
        line.Position(length, loft.lat, loft.lon);
        const Race race = test::OneBirdRace(c.release, kRelease);
        TrackBuilder track(kRelease + 60);
        int beside = 0;
        for (double s = 5000; s < length - 5000; s += 1000, ++beside) {
            double lat = 0, lon = 0, azi = 0;
            line.Position(s, lat, lon, azi);
            track.At(Direct({lat, lon}, azi + (c.offset > 0 ? 90 : -90), std::abs(c.offset)));
        }
        track.time += 600;  // time enough to come back to the course at a pigeon's speed
        track.At(loft);
        const BirdResult bird = JudgeBird(race, 0, loft, track.records);
        ASSERT_TRUE(bird.arrived) << c.what << bird.problem;
        // The logger stores 0.0001' (0.2 m).
        EXPECT_NEAR(bird.maxCrossTrackMetres, std::abs(c.offset), 0.5) << c.what;
        EXPECT_EQ(bird.crossTrackSide, c.side) << c.what;
        // Every fix beside the course, and the arrival on the loft; the estimate from one geodesic
        // per fix holds to the logger's own precision.
        EXPECT_NEAR(bird.meanCrossTrackMetres, std::abs(c.offset) * beside / (beside + 1), 0.5)
            << c.what;
    }
}

// 60 km north at 1000 m/min; `shape` changes the middle of the flight.
BirdResult FlyNorth(const std::function<void(TrackBuilder&)>& middle, const Race& race, GeoPoint& loft) {
    const GeoPoint release{50.0, 5.0};
    loft = Direct(release, 0, 60000);
    TrackBuilder track(kRelease, 60);
    track.At(release).To(Direct(release, 0, 30000), 1000);
    middle(track);
    track.To(loft, 1000);
    return JudgeBird(race, 0, loft, track.records);
}

TEST(JudgeBird, TurnBacksAreStretchesOfMoreThanTwoMinutesAwayFromTheLoft) {
    const Race race = test::OneBirdRace({50.0, 5.0}, kRelease);
    struct Case {
        const char* what;
        std::function<void(TrackBuilder&)> middle;
        std::size_t turnBacks;
        std::int64_t seconds;
        double metresLost;
    } cases[] = {
        {"five minutes back south", [](TrackBuilder& t) { t.To(Direct(t.last, 180, 5000), 1000); }, 1, 300, 5000},
        {"two minutes back: not yet", [](TrackBuilder& t) { t.To(Direct(t.last, 180, 2000), 1000); }, 0, 0, 0},
        {"three minutes east, across the course, then on", [](TrackBuilder& t) { t.To(Direct(t.last, 90, 9000), 3000); }, 1, 180, 0},
        {"a rest with the logger's wander", [](TrackBuilder& t) {
             const GeoPoint here = t.last;
             for (int i = 0; i < 20; ++i) t.At(Direct(here, i * 97.0, 8.0 + 6 * (i % 3)));
         }, 0, 0, 0},
    };
    for (const auto& c : cases) {
        GeoPoint loft;
        const BirdResult bird = FlyNorth(c.middle, race, loft);
        ASSERT_TRUE(bird.arrived) << c.what << bird.problem;
        ASSERT_EQ(bird.turnBacks.size(), c.turnBacks) << c.what;
        if (c.turnBacks == 0) continue;
        EXPECT_EQ(bird.turnBacks[0].start, kRelease + 30 * 60) << c.what;
        EXPECT_EQ(bird.turnBacks[0].seconds, c.seconds) << c.what;
        if (c.metresLost > 0) EXPECT_NEAR(bird.turnBacks[0].metresLost, c.metresLost, 1) << c.what;
        else EXPECT_GT(bird.turnBacks[0].metresLost, 500) << c.what;  // across: a little further away
    }
}

TEST(JudgeBird, ARestCostsTheVelocityItTook) {
    const Race race = test::OneBirdRace({50.0, 5.0}, kRelease);
    GeoPoint loft;
    // Thirty fixes a minute apart on one spot: a rest of 29 minutes.
    const BirdResult bird = FlyNorth([](TrackBuilder& t) { t.Stay(29); }, race, loft);
    ASSERT_TRUE(bird.arrived) << bird.problem;
    ASSERT_EQ(bird.rests.size(), 1u);
    EXPECT_EQ(bird.rests[0].rest.durationSeconds, 29 * 60);
    // By hand: 60 km in 60 minutes of flying and 29 of rest (the arrival fix is on the loft).
    EXPECT_EQ(bird.flyingSeconds, (60 + 29) * 60);
    EXPECT_NEAR(*bird.velocityMetresPerMinute, 60000.0 / 89, 1e-6);
    EXPECT_NEAR(*bird.rests[0].velocityWithoutMetresPerMinute, 60000.0 / 60, 1e-6);
}

// Released at 07:00, fourteen hours on the wing, the night on a roof from 21:00 to 06:00,
// home at 09:00 the next day: 26 hours, of which 21:30-05:00 is not timed.
TEST(JudgeBird, DeadTimeComesOffTheFlightAndOffTheRestItFellIn) {
    constexpr std::int64_t kSeven = 1746075600;  // 2025-05-01 07:00 in Brussels
    const GeoPoint release{40.0, 4.0};
    const GeoPoint roof = Direct(release, 0, 840000 - 0.5);
    const GeoPoint loft = Direct(roof, 0, 180000 - 0.5);
    TrackBuilder track(kSeven, 60);
    track.At(release).To(roof, 1000).Stay(540).To(loft, 1000);
    ASSERT_EQ(track.records.back().time, kSeven + 26 * 3600);

    Race race = test::OneBirdRace(release, kSeven);
    race.zone = "Europe/Brussels";
    race.rules.deadTime = DeadTimeRule{DeadTimeRule::Kind::Fixed, 21 * 60 + 30, 5 * 60, 0};
    const BirdResult bird = JudgeBird(race, 0, loft, track.records);
    ASSERT_TRUE(bird.arrived) << bird.problem;
    EXPECT_EQ(*bird.arrival, kSeven + 26 * 3600);
    EXPECT_EQ(bird.deadSeconds, 7 * 3600 + 1800);
    EXPECT_EQ(bird.flyingSeconds, 18 * 3600 + 1800);
    EXPECT_DOUBLE_EQ(*bird.velocityMetresPerMinute, bird.distanceMetres / (18.5 * 60));
    // The nine-hour rest held the whole dead time: only its hour and a half was timed.
    ASSERT_EQ(bird.rests.size(), 1u);
    EXPECT_EQ(bird.rests[0].rest.durationSeconds, 9 * 3600);
    EXPECT_DOUBLE_EQ(*bird.rests[0].velocityWithoutMetresPerMinute, bird.distanceMetres / (17 * 60));

    // The sun's rule is taken at the bird's loft, not at the release point.
    race.rules.deadTime = DeadTimeRule{DeadTimeRule::Kind::Sun, 0, 0, 60};
    const BirdResult bySun = JudgeBird(race, 0, loft, track.records);
    const TimeZone zone = *TimeZone::Named("Europe/Brussels");
    EXPECT_EQ(bySun.deadSeconds, DeadSeconds(race.rules.deadTime, zone, loft, kSeven, kSeven + 26 * 3600));
    EXPECT_NE(bySun.deadSeconds, DeadSeconds(race.rules.deadTime, zone, release, kSeven, kSeven + 26 * 3600));
    EXPECT_EQ(bySun.flyingSeconds, 26 * 3600 - bySun.deadSeconds);
}

TEST(JudgeBird, ABirdThatNeverArrivesTellsHowCloseItCame) {
    Race race = test::OneBirdRace({50.0, 5.0}, kRelease);
    const GeoPoint release{50.0, 5.0};
    const GeoPoint loft = Direct(release, 0, 60000);
    TrackBuilder track(kRelease, 60);
    track.At(release).To(Direct(release, 0, 57000), 1000).To(Direct(release, 0, 50000), 1000);
    const BirdResult bird = JudgeBird(race, 0, loft, track.records);
    ASSERT_TRUE(bird.problem.empty()) << bird.problem;
    EXPECT_FALSE(bird.arrived);
    EXPECT_FALSE(bird.velocityMetresPerMinute);
    EXPECT_FALSE(PublishedVelocity(race.rules, bird));
    EXPECT_NEAR(*bird.closestMetres, 3000, 1);
    EXPECT_EQ(bird.flyingSeconds, static_cast<std::int64_t>(track.records.back().time) - kRelease);

    // Past the race's last day nothing counts: a bird home on the fourth day did not arrive.
    TrackBuilder late(kRelease, 60);
    late.At(release).To(Direct(release, 0, 30000), 1000);
    late.time = static_cast<std::uint32_t>(kRelease + 3 * 86400 + 60);
    late.To(loft, 1000);
    const BirdResult tooLate = JudgeBird(race, 0, loft, late.records);
    EXPECT_FALSE(tooLate.arrived);
    EXPECT_NEAR(*tooLate.closestMetres, 30000, 1);
    race.rules.maxDays = 4;
    EXPECT_TRUE(JudgeBird(race, 0, loft, late.records).arrived);
}

// A logger holding still repeats its position for many fixes; the fixes after it, down to
// one step of the logger's grid in latitude or in longitude alone, each count with their
// own geodesic: in the path flown and in the distance home.
TEST(JudgeBird, EveryFixCountsWhenTheLoggerHoldsStillOrMovesOneStep) {
    const GeoPoint release{50.0, 5.0};
    const GeoPoint loft = Direct(release, 45, 60000);
    const Race race = test::OneBirdRace(release, kRelease);
    struct Case {
        const char* what;
        int lastNorth, lastEast;  // the last step, in 0.0001' of the logger's grid
    } cases[] = {{"the last step north alone", 1, 0}, {"the last step east alone", 0, 1}};
    for (const auto& c : cases) {
        TrackBuilder track(kRelease, 60);
        track.At(release).Stay(4).To(Direct(release, 45, 57000), 1000).Stay(5);
        // Each step held for three fixes; every step brings it closer to the loft.
        auto step = [&](int north, int east) {
            CLogRecord r = track.records.back();
            r.latitude += north;
            r.longitude += east;
            for (int k = 0; k < 3; ++k, track.time += 60) r.time = track.time, track.records.push_back(r);
        };
        step(1 - c.lastNorth, 1 - c.lastEast);
        step(c.lastNorth, c.lastEast);
        const BirdResult bird = JudgeBird(race, 0, loft, track.records);
        ASSERT_TRUE(bird.problem.empty()) << c.what << bird.problem;
        ASSERT_FALSE(bird.arrived) << c.what;

        double path = 0, closest = INFINITY;
        GeoPoint previous = release;
        for (const CLogRecord& r : track.records) {
            const GeoPoint p{r.LatitudeDegrees(), r.LongitudeDegrees()};
            path += test::Geodesic(previous, p);
            closest = std::min(closest, test::Geodesic(loft, p));
            previous = p;
        }
        EXPECT_NEAR(bird.pathMetres, path, 1e-6) << c.what;
        EXPECT_NEAR(*bird.closestMetres, closest, 1e-6) << c.what;
    }
}

// Bad input is named, never ranked.
TEST(JudgeBird, WhatCannotBeJudgedIsAProblemNamingTheEntry) {
    const GeoPoint release{50.0, 5.0};
    const GeoPoint loft = Direct(release, 0, 60000);
    TrackBuilder flown(kRelease, 60);
    flown.At(release).To(loft, 1000).Stay(30);
    TrackBuilder noFix(kRelease, 60);
    noFix.At(release).At(loft);
    for (auto& r : noFix.records) r = test::WithoutFix(r);
    struct Case {
        const char* what;
        std::int64_t releaseTime;
        GeoPoint loft;
        const CLogRecordList* records;
        const char* says;
    } cases[] = {
        {"loft off the globe", kRelease, {91.0, 5.0}, &flown.records, "off the globe"},
        {"release after the whole track", kRelease + 86400, loft, &flown.records, "no position after the release"},
        {"release after the arrival, bird at home", kRelease + 90 * 60, loft, &flown.records, "already at its loft"},
        {"no good fix at all", kRelease, loft, &noFix.records, "no good position"},
    };
    for (const auto& c : cases) {
        Race race = test::OneBirdRace(release, c.releaseTime, "BE-123");
        race.entries.insert(race.entries.begin(), RaceEntry{"NL-1", "", "", {}, "first.gpx"});
        const BirdResult bird = JudgeBird(race, 1, c.loft, *c.records);
        EXPECT_NE(bird.problem.find("entry 2 (ring BE-123, bird.wing)"), std::string::npos) << c.what << ": " << bird.problem;
        EXPECT_NE(bird.problem.find(c.says), std::string::npos) << c.what << ": " << bird.problem;
        EXPECT_FALSE(bird.velocityMetresPerMinute) << c.what;
    }
}

// Through the files: each track read from the race's folder, each loft found; what
// cannot be had is named with its entry and the others are still judged.
TEST(JudgeRace, ReadsEachTrackAndLoftAndNamesWhatIsMissing) {
    test::TempFolder folder;
    const GeoPoint release{50.0, 5.0};
    const GeoPoint loft = Direct(release, 0, 30000);
    TrackBuilder track(kRelease - 120);
    track.At(release).Stay(1).To(loft, 1000).Stay(3);
    std::string gpx = "<?xml version=\"1.0\"?><gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>";
    std::string untimed = gpx;
    for (const CLogRecord& r : track.records) {
        const std::time_t t = r.time;
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
        const std::string point = "<trkpt lat=\"" + std::to_string(r.LatitudeDegrees()) + "\" lon=\"" +
                                  std::to_string(r.LongitudeDegrees()) + "\">";
        gpx += point + "<time>" + when + "</time></trkpt>";
        untimed += point + "</trkpt>";
    }
    folder.Write("good.gpx", gpx + "</trkseg></trk></gpx>");
    folder.Write("untimed.gpx", untimed + "</trkseg></trk></gpx>");
    Race race = test::OneBirdRace(release, kRelease, "GOOD");
    race.entries[0] = {"GOOD", "", "", {"Home", ""}, "good.gpx"};
    race.entries.push_back({"NOTIME", "", "", {"", FormatCoordinates(loft)}, "untimed.gpx"});
    race.entries.push_back({"NOLOFT", "", "", {"Elsewhere", ""}, "good.gpx"});
    race.entries.push_back({"GONE", "", "", {"", FormatCoordinates(loft)}, "gone.wing"});
    const RaceJudgement j = JudgeRace(race, {{"home", FormatCoordinates(loft)}}, folder.Path());
    ASSERT_EQ(j.birds.size(), 4u);
    EXPECT_EQ(j.birds[0].entry, 0u);
    EXPECT_EQ(j.birds[0].rank, 1);
    EXPECT_TRUE(j.birds[0].problem.empty()) << j.birds[0].problem;
    const char* says[] = {"entry 2 (ring NOTIME, untimed.gpx): ", "entry 3 (ring NOLOFT, good.gpx): the settings have no loft named",
                          "entry 4 (ring GONE, gone.wing): "};
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(j.birds[i].entry, i);
        EXPECT_EQ(j.birds[i].rank, 0);
        EXPECT_EQ(j.birds[i].problem.rfind(says[i - 1], 0), 0u) << j.birds[i].problem;
    }
    EXPECT_NE(j.birds[1].problem.find("time"), std::string::npos) << j.birds[1].problem;
}

BirdResult Judged(std::size_t entry, std::optional<double> velocity, std::int64_t arrival, std::optional<double> closest = {},
                  std::string problem = {}) {
    BirdResult b;
    b.entry = entry;
    b.problem = std::move(problem);
    if (velocity) {
        b.arrived = true;
        b.arrival = arrival;
        b.velocityMetresPerMinute = velocity;
        b.velocityYardsPerMinute = *velocity / kMetresPerYard;
    }
    b.closestMetres = closest;
    return b;
}

TEST(RankRace, ByPublishedVelocityThenEarlierArrivalThenHowCloseThenProblems) {
    RaceJudgement j;
    j.race.rules.velocityDecimals = 3;
    j.birds = {
        Judged(0, 1200.0004, 1000),          // publishes 1200.000, arrived last of the three
        Judged(1, 1200.0001, 900),           // 1200.000, earlier
        Judged(2, {}, 0, {}, "entry 3: no track"),
        Judged(3, 1300, 2000),               // fastest, though it arrived last
        Judged(4, {}, 0, 500.0),             // never arrived, 500 m short
        Judged(5, 1199.9996, 900),           // rounds to 1200.000 and arrived with entry 1: a tie
        Judged(6, {}, 0, 100.0),
    };
    RankRace(j, {});
    std::vector<std::pair<std::size_t, int>> got;
    for (const auto& b : j.birds) got.push_back({b.entry, b.rank});
    const std::vector<std::pair<std::size_t, int>> expected{{3, 1}, {1, 2}, {5, 2}, {0, 4}, {6, 0}, {4, 0}, {2, 0}};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(j.winnerArrival, 2000);

    // Rounded to one place the first three tie on velocity and arrival decides.
    j.race.rules.velocityDecimals = 0;
    j.birds.push_back(Judged(7, 1200.4, 800));
    RankRace(j, {});
    EXPECT_EQ(j.birds[1].entry, 7u);
    EXPECT_EQ(j.birds[1].rank, 2);
}

TEST(RankRace, BehindTheWinnerIsWhereEachBirdWasWhenTheWinnerArrived) {
    const GeoPoint release{50.0, 5.0};
    Race race = test::OneBirdRace(release, kRelease, "W");
    race.entries.push_back(RaceEntry{"SLOW", "", "", {}, "slow.wing"});
    race.entries.push_back(RaceEntry{"NEAR", "", "", {}, "near.wing"});
    const GeoPoint loft = Direct(release, 0, 60000);
    const GeoPoint nearLoft = Direct(release, 0, 20000);
    std::vector<CLogRecordList> tracks(3);
    TrackBuilder winner(kRelease, 60), slow(kRelease, 60), nearBird(kRelease, 60);
    winner.At(release).To(loft, 1200);                 // home after 50 minutes
    slow.At(release).To(loft, 900);                    // 45 km flown after 50 minutes
    nearBird.At(release).To(nearLoft, 500);            // 20 km home after 40 minutes: before the winner, slower
    tracks = {winner.records, slow.records, nearBird.records};
    RaceJudgement j;
    j.race = race;
    j.birds = {JudgeBird(race, 0, loft, tracks[0]), JudgeBird(race, 1, loft, tracks[1]), JudgeBird(race, 2, nearLoft, tracks[2])};
    RankRace(j, tracks);
    ASSERT_EQ(j.birds[0].entry, 0u);
    EXPECT_EQ(j.winnerArrival, kRelease + 50 * 60);
    EXPECT_FALSE(j.birds[0].behindWinnerMetres);
    const BirdResult& s = j.birds[1].entry == 1 ? j.birds[1] : j.birds[2];
    const BirdResult& n = j.birds[1].entry == 2 ? j.birds[1] : j.birds[2];
    ASSERT_TRUE(s.behindWinnerMetres);
    EXPECT_NEAR(*s.behindWinnerMetres, 15000, 1);
    // At its own average speed: 60 km in 67 minutes.
    EXPECT_NEAR(*s.behindWinnerMinutes, 15000 / (60000.0 / 67), 0.01);
    EXPECT_FALSE(n.behindWinnerMetres);  // it was home already

    // Between two fixes the position is interpolated: half a minute later, 450 m nearer.
    j.birds[0].arrival = kRelease + 50 * 60 + 30;
    RankRace(j, tracks);
    const BirdResult& s2 = j.birds[1].entry == 1 ? j.birds[1] : j.birds[2];
    EXPECT_NEAR(*s2.behindWinnerMetres, 14550, 1);
}

// Judged from the files, with or without the records handed back, the race holds the
// same figures as its birds judged one by one and ranked over their tracks; the entries
// come in another order than the ranking, so each bird is placed on its own track.
TEST(JudgeRace, GivesTheFiguresOfItsBirdsJudgedOneByOne) {
    test::TempFolder folder;
    const GeoPoint release{50.0, 5.0};
    const GeoPoint loft = Direct(release, 0, 60000);
    const GeoPoint otherLoft = Direct(release, 20, 70000);
    TrackBuilder slow(kRelease, 60), winner(kRelease, 60), other(kRelease, 60);
    slow.At(release).To(loft, 900);
    winner.At(release).To(loft, 1200);
    other.At(release).To(Direct(release, 20, 20000), 1000).To(otherLoft, 1100);
    Race race = test::OneBirdRace(release, kRelease, "SLOW");
    race.entries[0] = {"SLOW", "", "", {"", FormatCoordinates(loft)}, "slow.gpx"};
    race.entries.push_back({"WIN", "", "", {"", FormatCoordinates(loft)}, "winner.gpx"});
    race.entries.push_back({"OTHER", "", "", {"", FormatCoordinates(otherLoft)}, "other.gpx"});
    const CLogRecordList* built[] = {&slow.records, &winner.records, &other.records};
    RaceJudgement byHand;
    byHand.race = race;
    std::vector<CLogRecordList> tracks;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto path = folder.Write(race.entries[i].track.string(), test::GpxOf(*built[i]));
        tracks.push_back(std::get<RaceTrack>(ReadTrack(path)).records);
        byHand.birds.push_back(JudgeBird(race, i, *ParseCoordinates(race.entries[i].loft.position), tracks[i]));
    }
    RankRace(byHand, tracks);
    ASSERT_EQ(byHand.birds[0].entry, 1u);
    ASSERT_TRUE(byHand.birds[1].behindWinnerMetres && byHand.birds[2].behindWinnerMetres);

    std::vector<CLogRecordList> handedBack;
    for (const RaceJudgement& j : {JudgeRace(race, {}, folder.Path()), JudgeRace(race, {}, folder.Path(), &handedBack)}) {
        ASSERT_EQ(j.birds.size(), 3u);
        EXPECT_EQ(j.winnerArrival, byHand.winnerArrival);
        for (std::size_t k = 0; k < 3; ++k) {
            const BirdResult& a = j.birds[k];
            const BirdResult& b = byHand.birds[k];
            EXPECT_EQ(a.entry, b.entry);
            EXPECT_EQ(a.rank, b.rank);
            EXPECT_EQ(a.velocityMetresPerMinute, b.velocityMetresPerMinute) << a.entry;
            EXPECT_EQ(a.pathMetres, b.pathMetres) << a.entry;
            EXPECT_EQ(a.meanCrossTrackMetres, b.meanCrossTrackMetres) << a.entry;
            EXPECT_EQ(a.behindWinnerMetres, b.behindWinnerMetres) << a.entry;
            EXPECT_EQ(a.behindWinnerMinutes, b.behindWinnerMinutes) << a.entry;
        }
    }
    ASSERT_EQ(handedBack.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(handedBack[k].size(), tracks[byHand.birds[k].entry].size());
}

}  // namespace
}  // namespace wing
