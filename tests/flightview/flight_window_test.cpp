// The flight window of an archived download: the figures it shows are the analysis's,
// the map holds every point (the flagged ones greyed), and it reads in each language.

#include <QDir>
#include <QImage>
#include <QLabel>

#include <fstream>

#include "flightview/flight_list.h"
#include "flightview/flight_map.h"
#include "flightview/flight_window.h"
#include "flightview/simulated_flight.h"
#include "framework/qt_test_env.h"
#include "log/log_fixture.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "support/files.h"

namespace wing {
namespace {

WING_QT_TEST_ENVIRONMENT();

using test::Flight;
using test::SimulatedFlight;

std::optional<QString> LineValue(const FlightWindow& w, unsigned langId, unsigned labelId) {
    std::wstring label;
    LoadLanguageString(langId, labelId, label);
    for (const auto& [l, v] : w.SummaryLines())
        if (l == QString::fromStdWString(label)) return v;
    return std::nullopt;
}

TEST(FlightWindow, ShowsTheAnalysisVelocityAndEveryPointOnTheMap) {
    const Flight f = SimulatedFlight(true);
    LoftSetting loft{"Home", f.loft, 100};
    FlightWindow window(f.download, loft, 1033);
    const CLogRecordList records = RecordsOf(f.download);
    FlightInput input;
    input.loft = f.loft;
    const FlightSummary expected = AnalyseFlight(records, input);
    ASSERT_TRUE(expected.velocityMetresPerMinute);
    ASSERT_TRUE(window.Summary().velocityMetresPerMinute);
    EXPECT_DOUBLE_EQ(*window.Summary().velocityMetresPerMinute, *expected.velocityMetresPerMinute);
    auto velocity = LineValue(window, 1033, IDS_FLIGHT_VELOCITY);
    ASSERT_TRUE(velocity);
    EXPECT_TRUE(velocity->startsWith(QString::number(*expected.velocityMetresPerMinute, 'f', 2) + " m/min"))
        << velocity->toStdString();
    EXPECT_TRUE(velocity->contains("yd/min"));
    EXPECT_TRUE(expected.arrival.has_value());

    // The map: every position record, the ones left out of the figures greyed.
    const FlightMapData data = MapDataOf(records, expected, f.loft);
    int positions = 0, flagged = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].kind != 0) continue;
        ++positions;
        flagged += expected.flags[i] != PointFlag::Ok;
    }
    EXPECT_EQ(static_cast<int>(data.track.size()), positions);
    int greyed = 0;
    for (const auto& p : data.track) greyed += p.flagged;
    EXPECT_EQ(greyed, flagged);
    EXPECT_GT(greyed, 0);  // the logger's no-fix slots and the (0, 0) fix
    ASSERT_TRUE(data.release && data.loft);
}

TEST(FlightWindow, WithoutALoftTheTrackIsShownAndTheNoteSaysHowToSetOne) {
    const Flight f = SimulatedFlight();
    FlightWindow window(f.download, LoftSetting{"Loft", std::nullopt, 100}, 1033);
    EXPECT_FALSE(window.Summary().velocityMetresPerMinute);
    EXPECT_FALSE(LineValue(window, 1033, IDS_FLIGHT_VELOCITY));
    std::wstring note;
    LoadLanguageString(1033, IDS_FLIGHT_NO_LOFT, note);
    bool shown = false;
    for (auto* label : window.findChildren<QLabel*>()) shown = shown || label->text() == QString::fromStdWString(note);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(LineValue(window, 1033, IDS_FLIGHT_RESTS));
}

TEST(FlightWindow, ScreenshotsInEachLanguage) {
    const QString dir = QStringLiteral(WING_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    const Flight f = SimulatedFlight(true);
    for (auto [lang, file] : {std::pair{1033u, "flight-en.png"}, std::pair{1028u, "flight-zh-tw.png"},
                              std::pair{2052u, "flight-zh-cn.png"}}) {
        FlightWindow window(f.download, LoftSetting{"Home", f.loft, 100}, lang);
        window.show();
        test::PumpFor(std::chrono::milliseconds(200));
        const QImage image = window.grab().toImage();
        EXPECT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(dir + "/" + file)) << file;
        EXPECT_TRUE(LineValue(window, lang, IDS_FLIGHT_VELOCITY)) << file;
    }
}

TEST(FlightWindow, MapAndChartAreSavedAsPicturesAndTheFlightJoinsTheLoftsList) {
    test::TempDrive drive;
    const Flight f = SimulatedFlight();
    FlightWindow window(f.download, LoftSetting{"Home", f.loft, 100}, 1033);
    window.show();
    test::PumpFor(std::chrono::milliseconds(100));
    const auto dir = drive.Root();
    auto bytes = [](const std::filesystem::path& p) { return test::ReadWhole(p); };
    EXPECT_FALSE(window.SaveMap(dir / "map.png"));
    EXPECT_EQ(bytes(dir / "map.png").substr(1, 3), "PNG");
    EXPECT_FALSE(window.SaveChart(dir / "chart.svg"));
    EXPECT_NE(bytes(dir / "chart.svg").find("<svg"), std::string::npos);
    // A folder that is not there: the failure names the file, nothing is left behind.
    auto failure = window.SaveMap(dir / "missing" / "map.png");
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->reason.empty());

    for (int i = 0; i < 2; ++i) {
        auto added = window.AddToFlightList();
        ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(added));
    }
    const std::string list = bytes(drive.LogDir() / "flights-Home.csv");
    const std::string line = window.FlightListLine().toStdString();
    EXPECT_EQ(list, FlightWindow::FlightListHeader().toStdString() + "\r\n" + line + "\r\n" + line + "\r\n");
    // The line carries the velocity the window shows.
    EXPECT_NE(line.find(QString::number(*window.Summary().velocityMetresPerMinute, 'f', 3).toStdString()),
              std::string::npos);
}

TEST(FlightWindow, AnEnteredReleaseReplacesTheEstimateAndATypingSlipChangesNothing) {
    const Flight f = SimulatedFlight();
    FlightWindow window(f.download, LoftSetting{"Home", f.loft, 100}, 1033);
    ASSERT_TRUE(window.Summary().release);
    EXPECT_TRUE(window.Summary().release->Estimated());
    const double estimated = *window.Summary().velocityMetresPerMinute;

    EXPECT_FALSE(window.EnterRelease("24.5 north-ish", 1430470000));
    EXPECT_TRUE(window.Summary().release->Estimated());  // as it was

    // The release a few minutes before the bird left, at the same place: a slower velocity.
    const Release& r = *window.Summary().release;
    const QString where = QString::fromStdString(FormatCoordinates(r.point));
    ASSERT_TRUE(window.EnterRelease(where, r.time - 300));
    ASSERT_TRUE(window.Summary().release);
    EXPECT_FALSE(window.Summary().release->Estimated());
    ASSERT_TRUE(window.Summary().velocityMetresPerMinute);
    EXPECT_LT(*window.Summary().velocityMetresPerMinute, estimated);
    auto shown = LineValue(window, 1033, IDS_FLIGHT_VELOCITY);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->startsWith(QString::number(*window.Summary().velocityMetresPerMinute, 'f', 2)));

    ASSERT_TRUE(window.EnterRelease("", 0));  // back to the track's estimate
    EXPECT_TRUE(window.Summary().release->Estimated());
    EXPECT_DOUBLE_EQ(*window.Summary().velocityMetresPerMinute, estimated);
}

TEST(FlightList, ListsNewestFirstAndNamesDamagedFiles) {
    test::TempDrive drive;
    Flight f = SimulatedFlight();
    for (std::int64_t day : {1, 2}) {
        f.download.downloadedUtc = 1430500000 + day * 86400;
        ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(WriteArchive(f.download)));
    }
    std::ofstream(ArchiveRoot() / "WG1507A0042" / "cut.wing") << "WING-ARCHIVE 1\nserial: x";
    const ArchiveListing listing = ListArchives(ArchiveRoot());
    std::filesystem::path opened;
    FlightList list(listing, 1033, [&](const std::filesystem::path& p) { opened = p; });
    EXPECT_EQ(list.Count(), 2);
    bool named = false;
    for (auto* label : list.findChildren<QLabel*>()) named = named || label->text().contains("cut.wing");
    EXPECT_TRUE(named);
}

}  // namespace
}  // namespace wing
