// The result files: every figure as the judgement has it, in the interface's language,
// text from a race file escaped or defused.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "export/file_output.h"
#include "race/race_fixture.h"
#include "race/result_sheet.h"
#include "resources/string_table.h"
#include "support/decimal_comma.h"

namespace wing {
namespace {

using test::Direct;
using test::TrackBuilder;

constexpr std::int64_t kRelease = 1746082800;  // 2025-05-01 07:00 UTC, 09:00 in Brussels

// Three birds to one loft: a fast one, a slow one, one that stops 3 km short; and one whose
// loft cannot be found. Texts a sheet must not take as markup or formulas.
RaceJudgement SmallRace() {
    const GeoPoint release{50.0, 5.0};
    const GeoPoint loft = Direct(release, 0, 60000);
    Race race;
    race.name = "Spring <1> & \"Co\"";
    race.releasePoint = release;
    race.releaseTime = kRelease;
    race.zone = "Europe/Brussels";
    race.entries = {
        {"BE-1<b>", "Fast", "=HYPERLINK(\"x\")", {"", FormatCoordinates(loft)}, "fast.wing"},
        {"BE-2", "Slow, but steady", "Jan", {"", FormatCoordinates(loft)}, "slow.gpx"},
        {"BE-3", "Short", "Jan", {"", FormatCoordinates(loft)}, "short.wing"},
        {"BE-4", "", "", {"Nowhere", ""}, "lost.wing"},
    };
    std::vector<CLogRecordList> tracks(4);
    TrackBuilder fast(kRelease, 60), slow(kRelease, 60), shortOne(kRelease, 60);
    fast.At(release).To(loft, 1200);
    slow.At(release).To(Direct(release, 0, 30000), 900).Stay(15).To(loft, 900);
    shortOne.At(release).To(Direct(release, 0, 57000), 800);
    tracks = {fast.records, slow.records, shortOne.records, {}};
    RaceJudgement j;
    j.race = race;
    for (std::size_t i = 0; i < 3; ++i) j.birds.push_back(JudgeBird(race, i, loft, tracks[i]));
    BirdResult lost;
    lost.entry = 3;
    lost.problem = EntryLabel(race, 3) + ": the settings have no loft named \"Nowhere\"";
    j.birds.push_back(lost);
    RankRace(j, tracks);
    return j;
}

// Three places with a decimal point, as the files write them.
std::string Places3(double value) {
    ScopedCNumeric point;
    return Format("%.3f", value);
}

TEST(RaceResultFiles, CsvAndJsonCarryTheJudgementsFiguresRowForBird) {
    test::ScopedDecimalComma comma;  // the files keep a decimal point whatever the locale
    const RaceJudgement j = SmallRace();
    const auto rows = test::ParseCsv(RaceResultCsv(j, LANG_EN_US));
    const auto doc = nlohmann::json::parse(RaceResultJson(j));
    ASSERT_EQ(rows.size(), 1 + j.birds.size());
    ASSERT_EQ(doc["birds"].size(), j.birds.size());
    const auto& head = rows[0];
    auto column = [&](const std::string& title) {
        const auto it = std::find(head.begin(), head.end(), title);
        EXPECT_NE(it, head.end()) << title;
        return static_cast<std::size_t>(it - head.begin());
    };
    for (const auto& row : rows) EXPECT_EQ(row.size(), head.size());

    for (std::size_t i = 0; i < j.birds.size(); ++i) {
        const BirdResult& b = j.birds[i];
        const auto& row = rows[i + 1];
        const auto& bird = doc["birds"][i];
        const std::string ring = j.race.entries[b.entry].ring;
        EXPECT_EQ(row[column("Ring")], ring);
        EXPECT_EQ(bird["ring"], ring);
        EXPECT_EQ(row[column("Rank")], b.rank ? std::to_string(b.rank) : "");
        EXPECT_EQ(bird["rank"], b.rank ? nlohmann::json(b.rank) : nlohmann::json());
        EXPECT_EQ(bird["arrived"], b.arrived);
        EXPECT_EQ(bird["track"], j.race.entries[b.entry].track.string());
        if (!b.problem.empty()) {
            EXPECT_EQ(row[column("Not judged because")], b.problem);
            EXPECT_EQ(bird["problem"], b.problem);
            EXPECT_TRUE(bird["velocity_m_per_min"].is_null());
            continue;
        }
        EXPECT_DOUBLE_EQ(bird["distance_m"].get<double>(), b.distanceMetres);
        EXPECT_EQ(bird["flying_seconds"], b.flyingSeconds);
        EXPECT_EQ(bird["dead_seconds"], b.deadSeconds);
        EXPECT_DOUBLE_EQ(bird["path_m"].get<double>(), b.pathMetres);
        EXPECT_DOUBLE_EQ(bird["max_cross_track_m"].get<double>(), b.maxCrossTrackMetres);
        EXPECT_EQ(bird["rests"].size(), b.rests.size());
        EXPECT_EQ(row[column("Distance (km)")], Places3(b.distanceMetres / 1000));
        if (b.arrived) {
            EXPECT_DOUBLE_EQ(bird["velocity_m_per_min"].get<double>(), *b.velocityMetresPerMinute);
            EXPECT_DOUBLE_EQ(bird["velocity_yd_per_min"].get<double>(), *b.velocityYardsPerMinute);
            // CSV and JSON publish the same rounded figure.
            EXPECT_EQ(row[column("Velocity (m/min)")], Places3(*PublishedVelocity(j.race.rules, b)));
            EXPECT_EQ(row[column("Velocity (m/min)")], Places3(bird["velocity_published"].get<double>()));
        } else {
            EXPECT_EQ(row[column("Arrival")], "not arrived");
            EXPECT_DOUBLE_EQ(bird["closest_m"].get<double>(), *b.closestMetres);
        }
        if (b.behindWinnerMetres) EXPECT_DOUBLE_EQ(bird["behind_winner_m"].get<double>(), *b.behindWinnerMetres);
        else EXPECT_TRUE(bird["behind_winner_m"].is_null());
    }
    // The winner's arrival with the race's offset: 09:00 in Brussels plus its 50 minutes.
    EXPECT_EQ(doc["birds"][0]["arrival"], "2025-05-01T09:50:00+02:00");
    EXPECT_EQ(doc["race"]["release"]["time"], "2025-05-01T09:00:00+02:00");
    EXPECT_EQ(doc["race"]["rules"]["dead_time"], "none");
    // The slow bird's rest, and what it cost.
    const auto& slow = doc["birds"][1];
    ASSERT_EQ(slow["ring"], "BE-2");
    ASSERT_EQ(slow["rests"].size(), 1u);
    EXPECT_EQ(slow["rests"][0]["seconds"], 15 * 60);
    EXPECT_GT(slow["rests"][0]["velocity_without_m_per_min"].get<double>(), slow["velocity_m_per_min"].get<double>());
    // Text that a spreadsheet would run is defused; the comma in a name is quoted, not split.
    EXPECT_EQ(rows[1][column("Owner")], "'=HYPERLINK(\"x\")");
    EXPECT_EQ(rows[2][column("Name")], "Slow, but steady");
}

TEST(RaceResultFiles, TheSheetIsEscapedPrintableHtmlInTheInterfacesLanguage) {
    const RaceJudgement j = SmallRace();
    const std::string en = RaceResultHtml(j, LANG_EN_US);
    EXPECT_EQ(en.find("<b>"), std::string::npos);
    EXPECT_NE(en.find("BE-1&lt;b&gt;"), std::string::npos);
    EXPECT_NE(en.find("Spring &lt;1&gt; &amp; &quot;Co&quot;"), std::string::npos);
    EXPECT_NE(en.find("@page { size: A4"), std::string::npos);
    EXPECT_NE(en.find("<html lang=\"en\">"), std::string::npos);
    EXPECT_NE(en.find("<meta charset=\"utf-8\">"), std::string::npos);
    std::size_t rows = 0;
    for (std::size_t at = en.find("<tbody>"); (at = en.find("<tr", at + 1)) != std::string::npos;) ++rows;
    EXPECT_EQ(rows, j.birds.size());
    EXPECT_NE(en.find("<tr class=\"problem\">"), std::string::npos);

    struct Case {
        unsigned lang;
        const char* attribute;
        const char* title;
        const char* rank;
    } cases[] = {
        {LANG_ZH_TW, "zh-TW", "比賽成績", "名次"},
        {LANG_ZH_CN, "zh-CN", "比赛成绩", "名次"},
    };
    for (const auto& c : cases) {
        const std::string html = RaceResultHtml(j, c.lang);
        EXPECT_NE(html.find(std::string("<html lang=\"") + c.attribute + "\">"), std::string::npos) << c.attribute;
        EXPECT_NE(html.find(c.title), std::string::npos) << c.attribute;
        const auto csv = test::ParseCsv(RaceResultCsv(j, c.lang));
        EXPECT_EQ(csv[0][0], c.rank) << c.attribute;
    }
}

}  // namespace
}  // namespace wing
