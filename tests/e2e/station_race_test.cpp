// The station's race of the day: loggers read one after another by the window in station
// mode gather into the day's race (the release entered once, after the first bird was
// read), each bird's archive holds exactly what its logger held, and the race judges in the
// race window as the command line's race judges the same file.

#include <gtest/gtest.h>

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

#include <nlohmann/json.hpp>

#include <set>

#include "flight/flight_analysis.h"
#include "flightview/flight_window.h"
#include "flightview/race_new_dialog.h"
#include "race/race_file.h"
#include "race/race_fixture.h"
#include "platform/text.h"
#include "race/station_race.h"
#include "resources/string_ids.h"
#include "raceview/race_table.h"
#include "raceview/race_window.h"
#include "support/modal.h"
#include "support/process.h"
#include "support/track_slots.h"
#include "window_rig.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using test::Direct;
using test::SlotsOf;
using test::TrackBuilder;

constexpr std::int64_t kRelease = 1748754000;  // 2025-06-01 05:00 UTC, 07:00 in Brussels
const GeoPoint kReleasePoint{50.0, 4.0};
constexpr int kStationCom = 7;

class StationRace : public ::testing::Test {
protected:
    // A logger holding `records` put into the station's adapter, read with Read and Save,
    // and taken out again; the slots it held.
    std::vector<sim::LogSlot> ReadLogger(const std::string& serial, const CLogRecordList& records) {
        sim::SimConfig config = test::ReadyToRead(0);
        config.serialNumber = serial;
        config.records = SlotsOf(records);
        config.comNumber = kStationCom;
        sim::LoggerSimulator logger(config);
        EXPECT_TRUE(logger.Start());
        EXPECT_TRUE(host.LinkAndWait()) << serial;
        host.Click(IDC_READ_SAVE);
        EXPECT_TRUE(host.WaitFor([&] {
            return host.StaticText(IDC_READ_MESSAGE).rfind(host.dlg->Text(IDS_READ_SAVE_DONE), 0) == 0 &&
                   host.dlg->IsItemEnabled(IDC_LINK);
        }, 60)) << serial << ": " << ToUtf8(host.StaticText(IDC_READ_MESSAGE));
        host.Click(IDC_LINK);
        EXPECT_TRUE(host.WaitFor([&] { return host.Unlinked(); })) << serial;
        logger.Stop();
        return *config.records;
    }

    // The release as the user types it into the station's window, then OK.
    void EnterRelease() {
        const bool shown = test::WhileModal<RaceReleaseDialog>([&] { host.dlg->AskStationRelease(); }, [&](RaceReleaseDialog& d) {
            d.NameEdit().setText("Spring national");
            d.ReleasePointEdit().setText(QString::fromStdString(FormatCoordinates(kReleasePoint)));
            d.ReleaseTimeEdit().setDateTime(QDateTime::fromString("2025-06-01 07:00", "yyyy-MM-dd HH:mm"));
            d.ZoneEdit().setText("Europe/Brussels");
            auto* buttons = d.findChild<QDialogButtonBox*>();
            for (QAbstractButton* b : buttons->buttons())
                if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) b->click();
            EXPECT_EQ(d.Problem(), QString());
        });
        ASSERT_TRUE(shown);
    }

    test::WindowHost host;
    const GeoPoint home = Direct(kReleasePoint, 30, 80000);
};

TEST_F(StationRace, ThreeLoggersReadInTurnMakeTheDaysRaceJudgedAsTheCommandLineJudgesIt) {
    test::RigOptions options;
    options.personal = 0;  // station mode: the adapter of COM7
    options.extraIni = "[Flight]\nLoft=" + FormatCoordinates(home) + "\nLoftName=Home\n[Map]\nOffline=1\n";
    host.OpenWindow(options, kStationCom);
    ASSERT_NE(host.dlg->StationRaceButton(), nullptr);
    EXPECT_TRUE(host.dlg->StationRaceButton()->isVisible());

    TrackBuilder a(kRelease - 300), b(kRelease - 300), c(kRelease - 300);
    a.At(kReleasePoint).Stay(4).To(home, 1300).Stay(5);
    b.At(kReleasePoint).Stay(4).To(Direct(kReleasePoint, 30, 40000), 1100).Stay(15).To(home, 1100).Stay(5);
    c.At(kReleasePoint).Stay(4).To(Direct(kReleasePoint, 30, 75000), 900).Stay(5);  // never home
    const std::map<std::string, CLogRecordList> flown{{"WGA", a.records}, {"WGB", b.records}, {"WGC", c.records}};
    std::map<std::string, std::vector<sim::LogSlot>> held;

    // The first bird comes in before the release is known; entering it gathers that bird.
    held["WGB"] = ReadLogger("WGB", flown.at("WGB"));
    const fs::path day = host.dlg->StationRaceFileToday();
    EXPECT_FALSE(fs::exists(day));
    EnterRelease();
    held["WGA"] = ReadLogger("WGA", flown.at("WGA"));
    held["WGC"] = ReadLogger("WGC", flown.at("WGC"));

    auto read = ReadRace(day);
    ASSERT_TRUE(std::holds_alternative<Race>(read)) << std::get<std::string>(read);
    const Race race = std::get<Race>(read);
    EXPECT_EQ(race.releaseTime, kRelease);
    ASSERT_EQ(race.entries.size(), 3u);
    std::vector<std::string> order;
    for (const RaceEntry& e : race.entries) {
        order.push_back(e.name);
        EXPECT_EQ(e.loft.name, "Home");
        // The archive the race reads is the logger's log, slot for slot.
        const auto archived = ReadArchive(e.track);
        ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(archived)) << e.track;
        EXPECT_EQ(std::get<ArchivedDownload>(archived).rawSlots, held.at(e.name)) << e.name;
    }
    EXPECT_EQ(order, (std::vector<std::string>{"WGB", "WGA", "WGC"}));

    // The Race button opens the day's race.
    host.dlg->StationRaceButton()->click();
    auto* window = qobject_cast<RaceWindow*>(host.dlg->RaceView());
    ASSERT_NE(window, nullptr);
    const RaceJudgement& judged = window->Judgement();
    ASSERT_EQ(judged.birds.size(), 3u);

    const auto r = test::RunProcess({WING_BINARY_DIR "/src/cli/wing-utility-cli", "--config", host.ini, "--json", "race",
                                     day.string(), "--out", host.config.Root() + "/results"},
                                    {{"XDG_CONFIG_HOME", host.config.Root() + "/config"}});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto doc = nlohmann::json::parse(r.out.substr(r.out.rfind('{', r.out.rfind("\"birds\""))));
    const auto& cli = doc["birds"];
    ASSERT_EQ(cli.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const BirdResult& bird = judged.birds[i];
        const std::string name = race.entries[bird.entry].name;
        SCOPED_TRACE(name);
        EXPECT_EQ(cli[i]["entry"].get<std::size_t>(), bird.entry + 1);
        EXPECT_EQ(cli[i]["rank"].is_null() ? 0 : cli[i]["rank"].get<int>(), bird.rank);
        if (bird.velocityMetresPerMinute)
            EXPECT_DOUBLE_EQ(cli[i]["velocity_m_per_min"].get<double>(), *bird.velocityMetresPerMinute);
        else
            EXPECT_TRUE(cli[i]["velocity_m_per_min"].is_null());
        // And both are the flight analysis's for that bird, its loft and the release entered.
        FlightInput input;
        input.loft = *ParseCoordinates(FormatCoordinates(home));
        input.release = ReleaseEntry{kReleasePoint, kRelease};
        const FlightSummary expected = AnalyseFlight(flown.at(name), input);
        EXPECT_EQ(expected.velocityMetresPerMinute.has_value(), bird.velocityMetresPerMinute.has_value());
        if (expected.velocityMetresPerMinute) {
            EXPECT_DOUBLE_EQ(*bird.velocityMetresPerMinute, *expected.velocityMetresPerMinute);
        }
    }
    EXPECT_EQ(race.entries[judged.birds[0].entry].name, "WGA");  // the fastest wins
    EXPECT_EQ(race.entries[judged.birds[2].entry].name, "WGC");  // and the one not home comes last

    // A double click on the winner's row opens one flight window, of the winner's archive
    // with its loft (beside the one the station opened for the last bird read).
    auto flightWindows = [] {
        std::set<FlightWindow*> open;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<FlightWindow*>(w); f && f->isVisible()) open.insert(f);
        return open;
    };
    const std::set<FlightWindow*> before = flightWindows();
    Q_EMIT window->Table().BirdOpened(0);
    test::PumpFor(std::chrono::milliseconds(200));
    std::vector<FlightWindow*> flights;
    for (FlightWindow* f : flightWindows())
        if (!before.count(f)) flights.push_back(f);
    ASSERT_EQ(flights.size(), 1u);
    EXPECT_EQ(flights[0]->Loft().name, "Home");
    const FlagCounts& counts = flights[0]->Summary().counts;
    EXPECT_EQ(counts.ok, static_cast<int>(held.at("WGA").size()));
    EXPECT_EQ(flights[0]->Summary().arrival.has_value(), true);
    EXPECT_EQ(flights[0]->Summary().arrival->time, *judged.birds[0].arrival);
}

}  // namespace
}  // namespace wing

namespace wing {
namespace {

// `wing-utility --race FILE`: a file that is no race is said on the terminal with its
// reason, and the program ends with 1 before any window is made.
TEST(RaceOnTheCommandLine, AFileThatIsNoRaceIsNamedWithItsReason) {
    test::TempFolder dir;
    const fs::path broken = dir.Write("broken.json", "{\"name\": \"Spring\", \"entries\": []}");
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"--race"}, "--race needs a race file"},
        {{"--race", (dir.Path() / "gone.json").string()}, "gone.json"},
        {{"--race=" + broken.string()}, "release: missing"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{WING_BINARY_DIR "/src/app/wing-utility"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto r = test::RunProcess(argv, {{"QT_QPA_PLATFORM", "offscreen"}});
        EXPECT_EQ(r.exitCode, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace wing
