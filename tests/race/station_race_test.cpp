// The race a station gathers in a day: one file per local day, the release given once
// over whatever the day's file holds, and each bird added once, the file left as it was
// when it cannot take it.

#include <gtest/gtest.h>

#include <fstream>

#include "race/race_file.h"
#include "race/race_fixture.h"
#include "race/station_race.h"
#include "support/files.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kRelease = 1781327700;  // 2026-06-13 05:15:00 UTC, 07:15 in Brussels
const RaceLoft kLoft{"Home", "50.846667, 4.352500"};

Race Release(const std::string& name = "Saturday") {
    Race race;
    race.name = name;
    race.releasePoint = {47.902964, 1.909251};
    race.releaseTime = kRelease;
    race.zone = "Europe/Brussels";
    race.rules.arrivalRadiusMetres = 80;
    return race;
}

void WriteText(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

Race Read(const fs::path& file) {
    auto read = ReadRace(file);
    if (auto* why = std::get_if<std::string>(&read)) ADD_FAILURE() << *why;
    return std::holds_alternative<Race>(read) ? std::get<Race>(read) : Race{};
}

TEST(StationRace, TheDayIsTheLocalDayOfTheStationsZone) {
    const auto brussels = *TimeZone::Named("Europe/Brussels");
    const auto taipei = *TimeZone::Named("Asia/Taipei");
    const struct {
        std::int64_t utc;
        const TimeZone* zone;
        const char* file;
    } cases[] = {
        {1781301600 - 1, &brussels, "station-2026-06-12.json"},  // 23:59:59 in Brussels
        {1781301600, &brussels, "station-2026-06-13.json"},      // midnight in Brussels
        {1781301600 - 1, &taipei, "station-2026-06-13.json"},    // 05:59:59 the next day in Taipei
    };
    for (const auto& c : cases) EXPECT_EQ(StationRaceFile("/r", c.utc, *c.zone), fs::path("/r") / c.file) << c.utc;
}

TEST(StationRace, TheDaysArchivesAreThoseDownloadedThatLocalDayOldestFirst) {
    const auto brussels = *TimeZone::Named("Europe/Brussels");
    ArchiveListing listing;  // newest first, as ListArchives gives it
    listing.entries = {{"/a/late.wing", L"C", 1781301600 + 86400, 1},  // the next day
                       {"/a/third.wing", L"B", 1781301600 + 80000, 1},
                       {"/a/second.wing", L"A", 1781301600 + 3600, 1},
                       {"/a/first.wing", L"A", 1781301600, 1},
                       {"/a/before.wing", L"D", 1781301600 - 1, 1}};  // the day before
    std::vector<fs::path> paths;
    for (const auto& e : ArchivesOfDay(listing, kRelease, brussels)) paths.push_back(e.path);
    EXPECT_EQ(paths, (std::vector<fs::path>{"/a/first.wing", "/a/second.wing", "/a/third.wing"}));
}

TEST(StationRace, TheReleaseMakesTheDaysRaceWithTheBirdsReadSoFar) {
    test::TempFolder dir;
    const fs::path file = dir.Path() / "races" / "station-2026-06-13.json";
    const RaceEntry a = LoggerBird(L"WGA", dir.Path() / "archive" / "WGA" / "1.wing", kLoft, file);
    const RaceEntry b = LoggerBird(L"WGB", dir.Path() / "archive" / "WGB" / "1.wing", kLoft, file);
    EXPECT_EQ(a.name, "WGA");
    EXPECT_EQ(a.loft, kLoft);
    EXPECT_EQ(a.track, dir.Path() / "archive" / "WGA" / "1.wing");

    ASSERT_EQ(SetStationRelease(file, Release(), {a, b, a}), "");
    const Race race = Read(file);
    EXPECT_EQ(race.name, "Saturday");
    EXPECT_EQ(race.releaseTime, kRelease);
    EXPECT_EQ(race.zone, "Europe/Brussels");
    EXPECT_EQ(race.rules.arrivalRadiusMetres, 80);
    EXPECT_EQ(race.entries, (std::vector<RaceEntry>{a, b}));
}

TEST(StationRace, ReleasingAgainKeepsTheBirdsAndWhatTheClubAddedToTheFile) {
    test::TempFolder dir;
    const fs::path file = dir.Path() / "station-2026-06-13.json";
    const RaceEntry a = LoggerBird(L"WGA", dir.Path() / "a.wing", kLoft, file);
    ASSERT_EQ(SetStationRelease(file, Release(), {a}), "");
    // The club gave the bird its ring by hand and a key of its own.
    Race edited = Read(file);
    edited.entries[0].ring = "BE-1";
    std::string text = EncodeRace(edited);
    text.insert(text.rfind('}'), ",\"club\":\"De Duif\"");
    WriteText(file, text);

    const RaceEntry b = LoggerBird(L"WGB", dir.Path() / "b.wing", kLoft, file);
    Race corrected = Release("Saturday, corrected");
    corrected.releaseTime = kRelease + 600;
    ASSERT_EQ(SetStationRelease(file, corrected, {a, b}), "");
    const Race race = Read(file);
    EXPECT_EQ(race.name, "Saturday, corrected");
    EXPECT_EQ(race.releaseTime, kRelease + 600);
    ASSERT_EQ(race.entries.size(), 2u);
    EXPECT_EQ(race.entries[0].ring, "BE-1");  // the bird is known by its track, not its text
    EXPECT_EQ(race.entries[1], b);
    EXPECT_NE(test::ReadWhole(file).find("\"club\": \"De Duif\""), std::string::npos) << test::ReadWhole(file);
}

TEST(StationRace, EachBirdIsAddedOnceWhateverPathNamesItsTrack) {
    test::TempFolder dir;
    const fs::path file = dir.Path() / "station-2026-06-13.json";
    ASSERT_EQ(SetStationRelease(file, Release(), {}), "");
    WriteText(dir.Path() / "a.wing", "");
    const RaceEntry a = LoggerBird(L"WGA", dir.Path() / "a.wing", kLoft, file);
    EXPECT_EQ(a.track, fs::path("a.wing"));  // beside the race file: kept relative
    ASSERT_EQ(AddStationBird(file, a), "");
    RaceEntry again = a;
    again.track = dir.Path() / "." / "a.wing";
    ASSERT_EQ(AddStationBird(file, again), "");
    const RaceEntry b = LoggerBird(L"WGB", dir.Path() / "b.wing", kLoft, file);
    ASSERT_EQ(AddStationBird(file, b), "");
    EXPECT_EQ(Read(file).entries, (std::vector<RaceEntry>{a, b}));
}

TEST(StationRace, AFileThatCannotTakeTheBirdIsLeftAsItWasAndSaysWhy) {
    test::TempFolder dir;
    const fs::path file = dir.Path() / "station-2026-06-13.json";
    const RaceEntry a = LoggerBird(L"WGA", dir.Path() / "a.wing", kLoft, file);

    // No release entered yet: no race to add to, and none is made.
    EXPECT_NE(AddStationBird(file, a), "");
    EXPECT_FALSE(fs::exists(file));

    // A file spoilt by hand is neither added to nor replaced by a new release.
    WriteText(file, "{\"name\": \"Saturday\", \"entries\": [");
    EXPECT_NE(AddStationBird(file, a), "");
    EXPECT_NE(SetStationRelease(file, Release(), {a}), "");
    EXPECT_EQ(test::ReadWhole(file), "{\"name\": \"Saturday\", \"entries\": [");

    // A bird with no loft would not read back: refused, the day's race as it was.
    test::TempFolder other;
    const fs::path good = other.Path() / "station-2026-06-13.json";
    ASSERT_EQ(SetStationRelease(good, Release(), {a}), "");
    const std::string before = test::ReadWhole(good);
    EXPECT_NE(AddStationBird(good, LoggerBird(L"WGB", other.Path() / "b.wing", RaceLoft{}, good)), "");
    EXPECT_EQ(test::ReadWhole(good), before);
}

}  // namespace
}  // namespace wing
