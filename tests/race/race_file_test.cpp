// The race file: what is written reads back the same, keys this version does not know
// survive a rewrite, the liberation is read in each form it may be written in, and every
// bad value is refused with the entry and key it lies at.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "race/race_file.h"
#include "race/race_fixture.h"
#include "support/files.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::int64_t kRelease = 1781327700;  // 2026-06-13 05:15:00 UTC, 07:15 in Brussels

Race SampleRace() {
    Race race;
    race.name = "Orléans national";
    race.releasePoint = {47.902964, 1.909251};
    race.releaseTime = kRelease;
    race.zone = "Europe/Brussels";
    race.rules.unit = VelocityUnit::YardsPerMinute;
    race.rules.velocityDecimals = 2;
    race.rules.deadTime = {DeadTimeRule::Kind::Sun, 0, 0, 60};
    race.rules.arrivalRadiusMetres = 75.5;
    race.rules.maxDays = 2;
    race.entries.push_back({"BE-2025-1234567", "Blue", "J. Peeters", {"Home", "50.846667, 4.352500"}, "tracks/blue.wing"});
    race.entries.push_back({"", "", "", {"Second loft", ""}, "/srv/gpx/bird two.gpx"});
    return race;
}

void ExpectSameRace(const Race& a, const Race& b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.releasePoint.lat, b.releasePoint.lat);
    EXPECT_EQ(a.releasePoint.lon, b.releasePoint.lon);
    EXPECT_EQ(a.releaseTime, b.releaseTime);
    EXPECT_EQ(a.zone, b.zone);
    EXPECT_EQ(a.rules, b.rules);
    EXPECT_EQ(a.entries, b.entries);
}

std::string Refusal(const std::string& text) {
    auto race = DecodeRace(text);
    const auto* why = std::get_if<std::string>(&race);
    return why != nullptr ? *why : std::string("(read)");
}

// A minimal valid file with `patch` (a JSON merge patch) applied.
std::string Patched(const json& patch) {
    json doc = {{"name", "Club race"},
                {"release", {{"lat", 47.9}, {"lon", 1.9}, {"time", "2026-06-13T05:15:00Z"}}},
                {"entries", {{{"loft", {{"position", "50.85, 4.35"}}}, {"track", "a.gpx"}}}}};
    doc.merge_patch(patch);
    return doc.dump();
}

TEST(RaceFile, WrittenRaceReadsBackWithEveryValue) {
    test::TempFolder dir;
    const fs::path path = dir.Path() / "races" / "orleans.json";  // the folder is made
    const Race race = SampleRace();
    ASSERT_EQ(WriteRace(race, path), "");
    auto read = ReadRace(path);
    ASSERT_TRUE(std::holds_alternative<Race>(read)) << std::get<std::string>(read);
    ExpectSameRace(std::get<Race>(read), race);

    // The liberation is written as the local time of the race's zone, with its offset.
    const json doc = json::parse(test::ReadWhole(path));
    EXPECT_EQ(doc["release"]["time"], "2026-06-13T07:15:00+02:00");
    EXPECT_EQ(doc["rules"]["dead_time"], "sun:60");
    EXPECT_EQ(doc["rules"]["unit"], "yd/min");
    EXPECT_EQ(doc["entries"][1]["track"], "/srv/gpx/bird two.gpx");
    EXPECT_FALSE(doc["entries"][1].contains("ring"));  // an empty optional value is left out
    // Nothing but the file is left in the folder.
    EXPECT_EQ(test::FilesUnder(dir.Path()).size(), 1u);
}

TEST(RaceFile, UnknownKeysSurviveARewrite) {
    const std::string text = R"({
      "name": "Club race", "club": {"id": 17, "federation": "KBDB"},
      "release": {"lat": 47.9, "lon": 1.9, "time": "2026-06-13T05:15:00Z", "weather": "clear"},
      "rules": {"dead_time": "21:30-05:00", "basketing": "friday"},
      "entries": [
        {"ring": "A1", "loft": {"position": "50.85, 4.35", "postcode": "1000"}, "track": "a.gpx", "basket": 3},
        {"ring": "A2", "loft": {"name": "Home"}, "track": "b.gpx", "colour": "red"}
      ]})";
    auto decoded = DecodeRace(text);
    ASSERT_TRUE(std::holds_alternative<Race>(decoded)) << std::get<std::string>(decoded);
    Race race = std::get<Race>(decoded);
    race.name = "Club race (corrected)";
    race.entries[0].ring = "A1-bis";
    race.entries[1].loft.position = "51.0, 4.0";

    const json doc = json::parse(EncodeRace(race));
    EXPECT_EQ(doc["name"], "Club race (corrected)");
    EXPECT_EQ(doc["club"], json({{"id", 17}, {"federation", "KBDB"}}));
    EXPECT_EQ(doc["release"]["weather"], "clear");
    EXPECT_EQ(doc["rules"]["basketing"], "friday");
    EXPECT_EQ(doc["entries"][0]["basket"], 3);
    EXPECT_EQ(doc["entries"][0]["ring"], "A1-bis");
    EXPECT_EQ(doc["entries"][0]["loft"]["postcode"], "1000");
    EXPECT_EQ(doc["entries"][1]["colour"], "red");
    EXPECT_EQ(doc["entries"][1]["loft"], json({{"name", "Home"}, {"position", "51.0, 4.0"}}));
}

TEST(RaceFile, LiberationIsReadInEveryForm) {
    struct Case {
        const char* zone;  // empty: none given
        const char* time;
        std::int64_t utc;
    } cases[] = {
        {"", "2026-06-13T05:15:00Z", kRelease},
        {"", "2026-06-13T05:15:00", kRelease},  // no zone: UTC
        {"", "2026-06-13T07:15:00+02:00", kRelease},
        {"", "2026-06-13T07:15:00+0200", kRelease},
        {"", "2026-06-13 05:15:00.6Z", kRelease + 1},  // to the nearest second
        {"Europe/Brussels", "2026-06-13T07:15:00", kRelease},
        {"Europe/Brussels", "2026-06-13 07:15:00", kRelease},
        {"Asia/Taipei", "2026-06-13T05:15:00Z", kRelease},  // an offset wins over the zone
        {"Europe/Brussels", "2026-01-10T07:15:00", 1768025700},  // winter: +01:00
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.time);
        json patch = {{"release", {{"time", c.time}}}};
        if (*c.zone != '\0') patch["zone"] = c.zone;
        auto race = DecodeRace(Patched(patch));
        ASSERT_TRUE(std::holds_alternative<Race>(race)) << std::get<std::string>(race);
        EXPECT_EQ(std::get<Race>(race).releaseTime, c.utc);
    }
}

TEST(RaceFile, BadValuesAreRefusedNamingWhereTheyAre) {
    struct Case {
        std::string text;
        std::vector<std::string> said;
    } cases[] = {
        {"{\"name\": \"Club race\", ", {"not a JSON document"}},
        {"[1, 2]", {"must be a JSON object"}},
        {Patched({{"name", nullptr}}), {"name: missing"}},
        {Patched({{"name", 7}}), {"name: must be text"}},
        {Patched({{"version", 2}}), {"version", "newer"}},
        {Patched({{"zone", "Mars/Olympus"}}), {"zone", "Mars/Olympus"}},
        {Patched({{"release", nullptr}}), {"release: missing"}},
        {Patched({{"release", {{"time", nullptr}}}}), {"release.time: missing"}},
        {Patched({{"release", {{"lat", "47.9"}}}}), {"release.lat: must be a number"}},
        {Patched({{"release", {{"lat", 95.0}}}}), {"release", "off the globe"}},
        {Patched({{"release", {{"time", "13/06/2026 07:15"}}}}), {"release.time", "13/06/2026 07:15"}},
        // The clocks skipped 02:30 that night.
        {Patched({{"zone", "Europe/Brussels"}, {"release", {{"time", "2026-03-29T02:30:00"}}}}), {"release.time"}},
        {Patched({{"rules", {{"unit", "km/h"}}}}), {"rules.unit", "km/h"}},
        {Patched({{"rules", {{"dead_time", "25:00-05:00"}}}}), {"rules.dead_time", "25:00-05:00"}},
        {Patched({{"rules", {{"velocity_decimals", 2.5}}}}), {"rules.velocity_decimals"}},
        {Patched({{"rules", {{"max_days", 0}}}}), {"rules.max_days"}},
        {Patched({{"rules", {{"arrival_radius_m", -5}}}}), {"rules.arrival_radius_m"}},
        {Patched({{"entries", nullptr}}), {"entries: missing"}},
        {Patched({{"entries", "a.gpx"}}), {"entries: must be a list"}},
        {Patched({{"entries", {{{"ring", "B7"}, {"loft", {{"position", "50, 4"}}}}}}}), {"entry 1 (ring B7): track: missing"}},
        {Patched({{"entries", {{{"loft", {{"position", "50, 4"}}}, {"track", "a.gpx"}},
                               {{"ring", "B8"}, {"loft", {{"position", "95.2, 200.1"}}}, {"track", "b.gpx"}}}}}),
         {"entry 2 (ring B8): loft.position", "95.2, 200.1"}},
        {Patched({{"entries", {{{"loft", json::object()}, {"track", "a.gpx"}}}}}), {"entry 1: loft", "name or a position"}},
        {Patched({{"entries", {{{"loft", {{"position", "50, 4"}}}, {"track", ""}}}}}), {"entry 1: track: is empty"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string why = Refusal(c.text);
        for (const auto& part : c.said) EXPECT_NE(why.find(part), std::string::npos) << why;
    }
}

TEST(RaceFile, ARaceThatWouldNotReadBackIsNotWritten) {
    test::TempFolder dir;
    const fs::path path = dir.Path() / "race.json";
    ASSERT_EQ(WriteRace(SampleRace(), path), "");
    const std::string before = test::ReadWhole(path);

    Race bad = SampleRace();
    bad.entries[1].loft.position = "somewhere north";
    const std::string why = WriteRace(bad, path);
    EXPECT_NE(why.find("entry 2"), std::string::npos) << why;
    EXPECT_EQ(test::ReadWhole(path), before);

    // A name that is no UTF-8 cannot be kept as it is.
    bad = SampleRace();
    bad.name = "Orl\xe9" "ans";
    EXPECT_NE(WriteRace(bad, path), "");
    EXPECT_EQ(test::ReadWhole(path), before);

    // A folder where the file should be: named, nothing left behind.
    fs::create_directories(dir.Path() / "taken.json");
    EXPECT_NE(WriteRace(SampleRace(), dir.Path() / "taken.json"), "");
    EXPECT_EQ(test::FilesUnder(dir.Path()).size(), 1u);
}

TEST(RaceFile, ReadingNamesTheFile) {
    test::TempFolder dir;
    const auto missing = ReadRace(dir.Path() / "gone.json");
    ASSERT_TRUE(std::holds_alternative<std::string>(missing));
    EXPECT_NE(std::get<std::string>(missing).find("gone.json"), std::string::npos);
    const auto bad = ReadRace(dir.Write("bad.json", "not json"));
    ASSERT_TRUE(std::holds_alternative<std::string>(bad));
    EXPECT_NE(std::get<std::string>(bad).find("bad.json: not a JSON document"), std::string::npos);
}

}  // namespace
}  // namespace wing
