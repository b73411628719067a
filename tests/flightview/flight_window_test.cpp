// The flight window of an archived download: the figures it shows are the analysis's,
// the map holds every point (the flagged ones greyed), and it reads in each language.

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
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
#include "support/accessibility.h"
#include "support/files.h"
#include "support/tile_server.h"

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

TEST(FlightWindow, TimesShownAndTypedAreTheDownloadsLocalTimesNotThePcs) {
    test::ScopedTimeZone pc("America/New_York");
    Flight f = SimulatedFlight();
    f.download.timeZone = "Asia/Taipei";
    const TimeZone taipei = TimeZone::Named("Asia/Taipei").value();
    auto wall = [&](std::int64_t utc) { return QString::fromStdString(taipei.Format(utc, "%Y-%m-%d %H:%M:%S")); };
    FlightWindow window(f.download, LoftSetting{"Home", f.loft, 100}, 1033);
    ASSERT_TRUE(window.Summary().release && window.Summary().arrival);
    EXPECT_TRUE(window.windowTitle().endsWith(wall(f.download.downloadedUtc)));
    EXPECT_TRUE(LineValue(window, 1033, IDS_FLIGHT_RELEASE)->startsWith(wall(window.Summary().release->time)));
    EXPECT_EQ(LineValue(window, 1033, IDS_FLIGHT_ARRIVAL), wall(window.Summary().arrival->time));

    auto* field = window.findChild<QDateTimeEdit*>();
    ASSERT_NE(field, nullptr);
    const std::int64_t first = RecordsOf(f.download).front().time;
    EXPECT_EQ(field->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), wall(first));
    // The release typed as Taipei's clock showed it, five minutes before the estimate.
    const Release estimate = *window.Summary().release;
    QLineEdit* point = nullptr;
    for (auto* edit : window.findChildren<QLineEdit*>())
        if (!edit->placeholderText().isEmpty()) point = edit;
    ASSERT_NE(point, nullptr);
    point->setText(QString::fromStdString(FormatCoordinates(estimate.point)));
    QDateTime typed = QDateTime::fromString(wall(estimate.time - 300), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    typed.setTimeSpec(Qt::UTC);  // the field's digits, as typed into it
    field->setDateTime(typed);
    std::wstring apply;
    LoadLanguageString(1033, IDS_FLIGHT_APPLY, apply);
    for (auto* button : window.findChildren<QPushButton*>())
        if (button->text() == QString::fromStdWString(apply)) button->click();
    ASSERT_TRUE(window.Summary().release);
    EXPECT_FALSE(window.Summary().release->Estimated());
    EXPECT_EQ(window.Summary().release->time, estimate.time - 300);
}

TEST(FlightWindow, SeveralLoftsGetAChooserAndTheFiguresAndTheListFollowTheChosenOne) {
    test::TempDrive drive;
    const Flight f = SimulatedFlight();
    // The club's loft some 5 km from the fancier's, where the bird does not land.
    const GeoPoint club{f.loft.lat + 0.045, f.loft.lon};
    const std::vector<LoftSetting> lofts{{"Home", f.loft, 100}, {"Club", club, 100}, {"Unplaced", std::nullopt, 100}};
    FlightWindow window(f.download, lofts, 1033);
    auto* chooser = window.findChild<QComboBox*>();
    ASSERT_NE(chooser, nullptr);
    ASSERT_EQ(chooser->count(), 3);
    EXPECT_EQ(window.Loft().name, "Home");

    const CLogRecordList records = RecordsOf(f.download);
    for (int index : {1, 0}) {
        chooser->setCurrentIndex(index);  // as the user picks it
        FlightInput input;
        input.loft = *lofts[index].position;
        const FlightSummary expected = AnalyseFlight(records, input);
        ASSERT_TRUE(window.Summary().distanceMetres && expected.distanceMetres);
        EXPECT_DOUBLE_EQ(*window.Summary().distanceMetres, *expected.distanceMetres) << lofts[index].name;
        EXPECT_EQ(window.Summary().arrival.has_value(), expected.arrival.has_value()) << lofts[index].name;
        auto added = window.AddToFlightList();
        ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(added));
        EXPECT_EQ(std::get<std::filesystem::path>(added).filename(), "flights-" + lofts[index].name + ".csv");
        EXPECT_NE(test::ReadWhole(std::get<std::filesystem::path>(added)).find("," + lofts[index].name + ","),
                  std::string::npos);
    }
    // A loft without a position: the track without a velocity, and no list to add to.
    window.ChooseLoft(2);
    EXPECT_EQ(chooser->currentIndex(), 2);
    EXPECT_FALSE(window.Summary().velocityMetresPerMinute);
    EXPECT_FALSE(LineValue(window, 1033, IDS_FLIGHT_VELOCITY));

    // One loft: no chooser.
    FlightWindow single(f.download, LoftSetting{"Home", f.loft, 100}, 1033);
    EXPECT_EQ(single.findChild<QComboBox*>(), nullptr);
}

TEST(FlightWindow, EveryControlOfTheFlightWindowAndTheListHasARoleAndAName) {
    test::TempDrive drive;
    Flight f = SimulatedFlight();
    ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(WriteArchive(f.download)));
    for (unsigned lang : {1033u, 1028u, 2052u}) {
        FlightWindow window(f.download, std::vector<LoftSetting>{{"Home", f.loft, 100}, {"Club", f.loft, 100}}, lang);
        window.show();
        int checked = 0;
        EXPECT_TRUE(test::EveryControlIsNamed(&window, &checked)) << lang;
        EXPECT_GE(checked, 8) << lang;  // chooser, release point and time, the buttons, map and chart

        FlightList list(ListArchives(ArchiveRoot()), lang, [](const std::filesystem::path&) {});
        list.show();
        EXPECT_TRUE(test::EveryControlIsNamed(&list, &checked)) << lang;
        EXPECT_GE(checked, 3) << lang;  // the list and its two buttons
    }
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

// The flight over tiles served on loopback; its disk cache in the test's own folder.
TileSourceOptions LoopbackTiles(const test::TileServer& server, const std::filesystem::path& dir) {
    TileSourceOptions tiles;
    tiles.map.tileUrl = server.UrlTemplate().toStdString();
    tiles.map.attribution = "Tiles \u00a9 loopback test";
    tiles.map.offline = 0;
    tiles.cacheFolder = dir / "tiles";
    tiles.transferTimeoutMs = 300;
    return tiles;
}

TEST(FlightMapTiles, TheMapAndItsSavedPicturesHoldTheTilesAndTheAttribution) {
    test::TempDrive drive;
    test::TileServer server;
    const Flight f = SimulatedFlight();
    FlightWindow window(f.download, LoftSetting{"Home", f.loft, 100}, 1033, LoopbackTiles(server, drive.Root()));
    window.resize(1000, 700);
    window.show();
    FlightMap& map = window.Map();
    ASSERT_TRUE(test::PumpUntil([&] { return map.Complete(); }, std::chrono::seconds(20)));
    // Nothing beyond the view and one ring around it.
    const int z = map.Viewport().TileZoom(19);
    EXPECT_LE(server.requests, static_cast<int>(map.Viewport().TilesInView(z, 1).size()));
    EXPECT_GT(server.requests, 0);

    ASSERT_FALSE(window.SaveMap(drive.Root() / "map.png"));
    const QImage picture(QString::fromStdString((drive.Root() / "map.png").string()));
    ASSERT_EQ(picture.size(), map.size());
    // Most of the picture is the tile under each point (the rest: track, lines, notes).
    int onTile = 0, looked = 0;
    for (int y = 20; y < picture.height() - 20; y += 17)
        for (int x = 20; x < picture.width() - 20; x += 17, ++looked)
            onTile += picture.pixel(x, y) == test::TileRgb(TileAt(map.GeoAt(QPointF(x + 0.5, y + 0.5)), z));
    EXPECT_GT(onTile, looked * 6 / 10) << onTile << " of " << looked;

    ASSERT_FALSE(window.SaveMap(drive.Root() / "map.svg"));
    const std::string svg = test::ReadWhole(drive.Root() / "map.svg");
    EXPECT_NE(svg.find("<image"), std::string::npos);
    EXPECT_NE(svg.find("Tiles \u00a9 loopback test"), std::string::npos);
    EXPECT_EQ(svg.find("map offline"), std::string::npos);
}

TEST(FlightMapTiles, AServerThatRefusesOrHangsLeavesTheTrackDrawnAndIsSaidQuietlyWithNoCredit) {
    for (bool hang : {false, true}) {
        test::TempDrive drive;
        test::TileServer server;
        server.mode = test::TileServer::Mode::Hang;
        TileSourceOptions tiles = LoopbackTiles(server, drive.Root());
        if (!hang) tiles.map.tileUrl = test::TileServer::RefusingTemplate().toStdString();
        const Flight f = SimulatedFlight();
        FlightWindow window(f.download, LoftSetting{"Home", f.loft, 100}, 1033, tiles);
        window.resize(1000, 700);
        window.show();
        FlightMap& map = window.Map();
        // While the download hangs the window draws, and draws the track.
        const FlightMapData data = MapDataOf(RecordsOf(f.download), window.Summary(), f.loft);
        auto trackDrawn = [&] {
            const QImage image = map.grab().toImage();
            int drawn = 0, good = 0;
            for (const MapPoint& p : data.track) {
                if (p.flagged) continue;
                ++good;
                const QPoint at = map.ScreenOf(p.where).toPoint();
                drawn += image.rect().contains(at) && image.pixel(at) != QColor(242, 239, 233).rgb();
            }
            return good > 0 && drawn == good;
        };
        EXPECT_TRUE(trackDrawn()) << hang;
        ASSERT_TRUE(test::PumpUntil([&] { return map.SaysOffline(); }, std::chrono::seconds(10))) << hang;
        EXPECT_TRUE(trackDrawn()) << hang;
        ASSERT_FALSE(window.SaveMap(drive.Root() / "map.svg"));
        const std::string svg = test::ReadWhole(drive.Root() / "map.svg");
        EXPECT_NE(svg.find("map offline"), std::string::npos) << hang;
        // No tile came, so the source is not credited for a map the picture does not show.
        EXPECT_EQ(svg.find("Tiles \u00a9 loopback test"), std::string::npos) << hang;
        if (hang) {
            EXPECT_GT(server.requests, 0);
        }
    }
}

}  // namespace
}  // namespace wing
