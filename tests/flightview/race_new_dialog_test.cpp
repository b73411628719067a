// How a race is made from the archived flights: several chosen in the Flights list, then
// "Race..." asks the release and each bird's loft and writes the race file into the race
// folder; fields that describe no race write nothing and say why. The station's day gets
// its release from the same questions.

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <fstream>

#include "flightview/flight_list.h"
#include "flightview/race_new_dialog.h"
#include "framework/qt_test_env.h"
#include "platform/paths.h"
#include "race/dead_time.h"
#include "race/race_file.h"
#include "race/race_fixture.h"
#include "race/station_race.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "support/accessibility.h"
#include "support/files.h"

namespace wing {
namespace {


namespace fs = std::filesystem;

constexpr std::int64_t kRelease = 1781327700;  // 2026-06-13 05:15:00 UTC, 07:15 in Brussels

QString Text(unsigned id) {
    std::wstring text;
    LoadLanguageString(1033, id, text);
    return QString::fromStdWString(text);
}

// The log folder (and so the race folder) in a fresh folder for the test's life.
class RaceFolderTest : public ::testing::Test {
protected:
    void SetUp() override { SetLogFolder(dir.Path()); }
    void TearDown() override { SetLogFolder({}); }

    Config Settings() const {
        Config config;
        config.lofts = {{"Home", "50.846667, 4.352500"}, {"Club", "50.9, 4.4"}};
        config.arrivalRadius = 80;
        return config;
    }
    std::vector<ArchiveEntry> Archives() const {
        return {{dir.Path() / "archive" / "WGA" / "1.wing", L"WGA", kRelease + 7200, 900},
                {dir.Path() / "archive" / "WGB" / "1.wing", L"WGB", kRelease + 3600, 800},
                {dir.Path() / "archive" / "WGC" / "1.wing", L"WGC", kRelease + 600, 700}};
    }
    static void Fill(RaceReleaseDialog& d, const char* name, const char* point, const char* time, const char* zone,
                     const char* dead) {
        d.NameEdit().setText(QString::fromUtf8(name));
        d.ReleasePointEdit().setText(point);
        d.ReleaseTimeEdit().setDateTime(QDateTime::fromString(time, "yyyy-MM-dd HH:mm"));
        d.ZoneEdit().setText(zone);
        d.DeadTimeEdit().setText(dead);
    }

    test::TempFolder dir;
};

TEST_F(RaceFolderTest, TheFlightsChosenInTheListMakeTheRace) {
    ArchiveListing listing;
    listing.entries = Archives();
    FlightList list(listing, 1033, [](const fs::path&) {});
    std::vector<ArchiveEntry> raced;
    int opened = 0;
    list.SetRaceActions([&](std::vector<ArchiveEntry> birds) { raced = std::move(birds); }, [&] { ++opened; });
    ASSERT_NE(list.RaceButton(), nullptr);
    list.List().clearSelection();
    EXPECT_FALSE(list.RaceButton()->isEnabled());  // a race of no bird is not offered

    list.List().item(2)->setSelected(true);
    list.List().item(0)->setSelected(true);
    ASSERT_TRUE(list.RaceButton()->isEnabled());
    list.RaceButton()->click();
    ASSERT_EQ(raced.size(), 2u);
    EXPECT_EQ(raced[0].path, Archives()[0].path);  // in the list's order
    EXPECT_EQ(raced[1].path, Archives()[2].path);
    EXPECT_EQ(opened, 0);
    list.OpenRaceButton()->click();
    EXPECT_EQ(opened, 1);
}

TEST_F(RaceFolderTest, TheReleaseAndEachBirdsLoftAreWrittenAsTheRaceFile) {
    RaceReleaseDialog dialog(Archives(), Settings(), 1033);
    Fill(dialog, "Orléans", "47.902964, 1.909251", "2026-06-13 07:15", "Europe/Brussels", "21:30-05:00");
    ASSERT_NE(dialog.LoftChooser(1), nullptr);
    EXPECT_EQ(dialog.LoftChooser(0)->currentIndex(), 0);  // the settings' first loft
    dialog.LoftChooser(1)->setCurrentIndex(1);
    ASSERT_TRUE(dialog.Save()) << dialog.Problem().toStdString();
    EXPECT_EQ(dialog.RaceFile(), dir.Path() / "races" / "Orléans.json");

    auto read = ReadRace(dialog.RaceFile());
    ASSERT_TRUE(std::holds_alternative<Race>(read)) << std::get<std::string>(read);
    const Race& race = std::get<Race>(read);
    EXPECT_EQ(race.name, "Orléans");
    EXPECT_DOUBLE_EQ(race.releasePoint.lat, 47.902964);
    EXPECT_DOUBLE_EQ(race.releasePoint.lon, 1.909251);
    EXPECT_EQ(race.releaseTime, kRelease);  // 07:15 in Brussels's summer time
    EXPECT_EQ(race.zone, "Europe/Brussels");
    EXPECT_EQ(DeadTimeText(race.rules.deadTime), "21:30-05:00");
    EXPECT_EQ(race.rules.arrivalRadiusMetres, 80);
    const RaceLoft home{"Home", "50.846667, 4.352500"}, club{"Club", "50.9, 4.4"};
    const std::vector<RaceEntry> expected{{"", "WGA", "", home, Archives()[0].path},
                                          {"", "WGB", "", club, Archives()[1].path},
                                          {"", "WGC", "", home, Archives()[2].path}};
    EXPECT_EQ(race.entries, expected);
}

TEST_F(RaceFolderTest, FieldsThatDescribeNoRaceWriteNothingAndSayWhy) {
    const struct {
        const char* what;
        const char* name;
        const char* point;
        const char* time;
        const char* zone;
        const char* dead;
        unsigned says;
    } cases[] = {
        {"no name", "  ", "47.9, 1.9", "2026-06-13 07:15", "Europe/Brussels", "", IDS_RACEOPEN_NAME_MISSING},
        {"no position", "A", "47.9 north", "2026-06-13 07:15", "Europe/Brussels", "", IDS_FLIGHT_BAD_POSITION},
        {"off the globe", "A", "95, 200", "2026-06-13 07:15", "Europe/Brussels", "", IDS_FLIGHT_BAD_POSITION},
        {"unknown zone", "A", "47.9, 1.9", "2026-06-13 07:15", "Europe/Nowhere", "", IDS_RACEOPEN_ZONE_BAD},
        {"clocks skipped it", "A", "47.9, 1.9", "2026-03-29 02:30", "Europe/Brussels", "", IDS_RACEOPEN_TIME_BAD},
        {"clocks showed it twice", "A", "47.9, 1.9", "2026-10-25 02:30", "Europe/Brussels", "", IDS_RACEOPEN_TIME_BAD},
        {"bad dead time", "A", "47.9, 1.9", "2026-06-13 07:15", "Europe/Brussels", "21:30", IDS_RACEOPEN_DEAD_BAD},
    };
    for (const auto& c : cases) {
        RaceReleaseDialog dialog(Archives(), Settings(), 1033);
        Fill(dialog, c.name, c.point, c.time, c.zone, c.dead);
        EXPECT_FALSE(dialog.Save()) << c.what;
        EXPECT_TRUE(dialog.Problem().startsWith(Text(c.says))) << c.what << ": " << dialog.Problem().toStdString();
        EXPECT_TRUE(test::FilesUnder(dir.Path()).empty()) << c.what;
    }

    // Without a loft in the settings no bird has one to fly to.
    Config noLoft = Settings();
    noLoft.lofts.clear();
    RaceReleaseDialog dialog(Archives(), noLoft, 1033);
    Fill(dialog, "A", "47.9, 1.9", "2026-06-13 07:15", "Europe/Brussels", "");
    EXPECT_FALSE(dialog.Save());
    EXPECT_EQ(dialog.Problem(), Text(IDS_RACEOPEN_NO_LOFT));
    EXPECT_TRUE(test::FilesUnder(dir.Path()).empty());
}

TEST_F(RaceFolderTest, ARaceOfTheSameNameIsNeverReplaced) {
    RaceReleaseDialog first(Archives(), Settings(), 1033);
    Fill(first, "Spring", "47.9, 1.9", "2026-06-13 07:15", "Europe/Brussels", "");
    ASSERT_TRUE(first.Save());
    const std::string before = test::ReadWhole(first.RaceFile());

    RaceReleaseDialog second({Archives()[0]}, Settings(), 1033);
    Fill(second, "Spring", "48, 2", "2026-06-14 07:15", "Europe/Brussels", "");
    EXPECT_FALSE(second.Save());
    EXPECT_TRUE(second.Problem().startsWith(Text(IDS_RACEOPEN_EXISTS))) << second.Problem().toStdString();
    EXPECT_EQ(test::ReadWhole(first.RaceFile()), before);
}

TEST_F(RaceFolderTest, TheStationsReleaseGathersTheDaysBirdsAndIsShownAgainToBeCorrected) {
    const fs::path day = dir.Path() / "races" / "station-2026-06-13.json";
    {
        RaceReleaseDialog dialog(day, {Archives()[2]}, Settings(), 1033);
        EXPECT_EQ(dialog.NameEdit().text(), "station-2026-06-13");
        Fill(dialog, "Saturday", "47.902964, 1.909251", "2026-06-13 07:15", "Europe/Brussels", "sun:60");
        ASSERT_TRUE(dialog.Save()) << dialog.Problem().toStdString();
    }
    const Race race = std::get<Race>(ReadRace(day));
    EXPECT_EQ(race.releaseTime, kRelease);
    EXPECT_EQ(race.entries, (std::vector<RaceEntry>{{"", "WGC", "", {"Home", "50.846667, 4.352500"}, Archives()[2].path}}));

    RaceReleaseDialog again(day, {Archives()[2], Archives()[1]}, Settings(), 1033);
    EXPECT_EQ(again.NameEdit().text(), "Saturday");
    EXPECT_EQ(again.ReleaseTimeEdit().dateTime().toString("yyyy-MM-dd HH:mm"), "2026-06-13 07:15");
    EXPECT_EQ(again.ZoneEdit().text(), "Europe/Brussels");
    EXPECT_EQ(again.DeadTimeEdit().text(), "sun:60");
    again.ReleaseTimeEdit().setDateTime(QDateTime::fromString("2026-06-13 07:30", "yyyy-MM-dd HH:mm"));
    ASSERT_TRUE(again.Save());
    const Race corrected = std::get<Race>(ReadRace(day));
    EXPECT_EQ(corrected.releaseTime, kRelease + 900);
    ASSERT_EQ(corrected.entries.size(), 2u);
    EXPECT_EQ(corrected.entries[1].name, "WGB");
}

}  // namespace
}  // namespace wing

namespace wing {
namespace {

// What a screen reader says of the race's questions and the Flights list's race buttons, in
// each language: every control has its role and name.
TEST(RaceReleaseAccessibility, EveryControlIsNamedInEachLanguage) {
    Config config;
    config.lofts = {{"Home", "24.1, 120.6"}};
    const std::vector<ArchiveEntry> birds{{"/nonexistent/a.wing", L"WGA", 1430524800, 10}};
    ArchiveListing listing;
    listing.entries = birds;
    for (unsigned lang : {1033u, 1028u, 2052u}) {
        int checked = 0;
        RaceReleaseDialog dialog(birds, config, lang);
        dialog.show();
        EXPECT_TRUE(test::EveryControlIsNamed(&dialog, &checked)) << lang;
        EXPECT_GE(checked, 9) << lang;  // five fields, the table, its loft chooser, OK and Cancel
        RaceReleaseDialog station("/nonexistent/station-2015-05-02.json", birds, config, lang);
        station.show();
        EXPECT_TRUE(test::EveryControlIsNamed(&station, &checked)) << lang;
        EXPECT_GE(checked, 7) << lang;
        FlightList list(listing, lang, [](const std::filesystem::path&) {});
        list.SetRaceActions([](std::vector<ArchiveEntry>) {}, [] {});
        list.show();
        EXPECT_TRUE(test::EveryControlIsNamed(&list, &checked)) << lang;
        EXPECT_GE(checked, 5) << lang;  // the list, Open, Close, Race... and Open Race...
    }
}

}  // namespace
}  // namespace wing
