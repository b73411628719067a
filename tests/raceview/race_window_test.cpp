// The race window: every marker where the replay puts the bird, the slider, the chart's
// cursor and the map at one time, the table's birds the judgement's, selection shown
// everywhere, and the exports whole.

#include <QAccessible>
#include <QApplication>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <GeographicLib/Geodesic.hpp>

#include <fstream>
#include <functional>
#include <iterator>

#include "framework/qt_test_env.h"
#include "race/result_sheet.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "raceview/race_chart.h"
#include "raceview/race_map.h"
#include "raceview/race_parts_fixture.h"
#include "raceview/race_table.h"
#include "raceview/race_window.h"
#include "support/accessibility.h"

namespace wing {
namespace {

WING_QT_TEST_ENVIRONMENT();

using test::TempFolder;

Config OfflineConfig() {
    Config config;
    config.map.offline = 1;  // no tile is asked of any server
    return config;
}

GeoPoint FixOf(const CLogRecord& r) { return {r.LatitudeDegrees(), r.LongitudeDegrees()}; }

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct OpenRace {
    TempFolder folder;
    test::PartsRace parts = test::MakePartsRace(folder);
    RaceWindow window{parts.race, folder.Path(), OfflineConfig(), LANG_EN_US};
    OpenRace() {
        window.show();
        test::PumpFor(std::chrono::milliseconds(50));
    }
    // The judgement's index of the bird of an entry.
    std::size_t BirdOf(std::size_t entry) const {
        for (std::size_t i = 0; i < window.Judgement().birds.size(); ++i)
            if (window.Judgement().birds[i].entry == entry) return i;
        ADD_FAILURE() << "no bird for entry " << entry;
        return 0;
    }
};

// At chosen times each marker is the interpolation of the bird's two fixes around that
// time (on the geodesic), the release point before the release, the last fix after it;
// the slider and the chart's cursor show the same time.
TEST(RaceWindow, MarkersSliderAndChartCursorAreAtTheReplayTime) {
    OpenRace r;
    RaceWindow& w = r.window;
    const CLogRecordList& fast = r.parts.written[0];
    const CLogRecordList& shortOne = r.parts.written[3];
    const std::size_t fastBird = r.BirdOf(0), shortBird = r.BirdOf(3);
    auto between = [](const CLogRecord& a, const CLogRecord& b, double share) {
        const auto line = GeographicLib::Geodesic::WGS84().InverseLine(a.LatitudeDegrees(), a.LongitudeDegrees(),
                                                                        b.LatitudeDegrees(), b.LongitudeDegrees());
        GeoPoint p;
        line.Position(line.Distance() * share, p.lat, p.lon);
        return p;
    };
    struct Case {
        const char* what;
        std::size_t bird;
        double t;
        GeoPoint expected;
    };
    const double start = w.Replay().Start();
    const Case cases[] = {
        {"at the release", fastBird, start, r.parts.release},
        {"a third between two fixes", fastBird, fast[3].time + 20.0, between(fast[3], fast[4], 1.0 / 3)},
        {"the short bird mid-way", shortBird, shortOne[6].time + 30.0, between(shortOne[6], shortOne[7], 0.5)},
        {"the short bird after its last fix", shortBird, w.Replay().End(), FixOf(shortOne.back())},
    };
    for (const Case& c : cases) {
        w.SetReplayTime(c.t);
        EXPECT_EQ(w.ReplayTime(), c.t) << c.what;
        const QPointF marker = w.Map().MarkerAt(c.bird);
        const QPointF expected = w.Map().ScreenOf(c.expected);
        EXPECT_NEAR(marker.x(), expected.x(), 0.01) << c.what;
        EXPECT_NEAR(marker.y(), expected.y(), 0.01) << c.what;
        EXPECT_DOUBLE_EQ(w.Chart().Cursor(), c.t) << c.what;
        EXPECT_EQ(w.findChild<QSlider*>()->value(), static_cast<int>(c.t - start)) << c.what;
    }
    // Before the release and past the end the replay holds at the race's ends.
    w.SetReplayTime(start - 3600);
    EXPECT_EQ(w.ReplayTime(), start);
    w.SetReplayTime(w.Replay().End() + 3600);
    EXPECT_EQ(w.ReplayTime(), w.Replay().End());

    // The other way: the slider and a click on the chart move the replay, the map and the cursor.
    QSignalSpy moved(&w, &RaceWindow::ReplayTimeChanged);
    w.findChild<QSlider*>()->setValue(600);
    EXPECT_EQ(w.ReplayTime(), start + 600);
    EXPECT_EQ(w.Map().ReplayTime(), start + 600);
    EXPECT_DOUBLE_EQ(w.Chart().Cursor(), start + 600);
    Q_EMIT w.Chart().TimeChosen(start + 900);
    EXPECT_EQ(w.ReplayTime(), start + 900);
    EXPECT_EQ(w.findChild<QSlider*>()->value(), 900);
    EXPECT_EQ(moved.count(), 2);
}

// The window judges the race as the command line does: the same birds in the same order
// with the same figures; the missing track is named and the other birds are all drawn.
TEST(RaceWindow, TheTableIsTheJudgementAndAMissingTrackIsNamed) {
    OpenRace r;
    const RaceJudgement expected = JudgeRace(r.parts.race, {}, r.folder.Path());
    const RaceJudgement& got = r.window.Judgement();
    ASSERT_EQ(got.birds.size(), expected.birds.size());
    const auto columns = RaceResultColumns(expected, LANG_EN_US);
    for (std::size_t i = 0; i < got.birds.size(); ++i) {
        EXPECT_EQ(got.birds[i].entry, expected.birds[i].entry) << i;
        EXPECT_EQ(got.birds[i].rank, expected.birds[i].rank) << i;
        EXPECT_EQ(got.birds[i].velocityMetresPerMinute, expected.birds[i].velocityMetresPerMinute) << i;
    }
    const BirdResult& gone = got.birds.back();
    EXPECT_EQ(gone.entry, 4u);
    EXPECT_NE(gone.problem.find("GONE"), std::string::npos) << gone.problem;
    bool named = false;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c)
        named = named || r.window.Table().CellText(got.birds.size() - 1, c).contains("gone.gpx");
    EXPECT_TRUE(named) << "the table names the missing track";
    // Every judged bird has its track and a marker on the map; the missing one has none.
    r.window.SetReplayTime(r.window.Replay().Start() + 300);
    for (std::size_t i = 0; i + 1 < got.birds.size(); ++i)
        EXPECT_GT(r.window.Replay().DistanceSeries(i).size(), 2u) << i;
    EXPECT_TRUE(r.window.Replay().DistanceSeries(got.birds.size() - 1).empty());
}

// A bird chosen in the table is highlighted on the map and in the chart, and the other way
// round; a double click asks for its flight, and a GPX track, no archive, says why not.
TEST(RaceWindow, SelectionIsSharedAndADoubleClickAsksForTheFlight) {
    OpenRace r;
    RaceWindow& w = r.window;
    w.SelectBird(2);
    EXPECT_EQ(w.Map().Highlighted(), 2u);
    EXPECT_EQ(w.Table().SelectedBird(), 2u);
    // A click on the table's second row, as the user chooses a bird.
    QTableView& table = w.Table();
    const QModelIndex second = table.model()->index(1, 1);
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(second).center());
    ASSERT_TRUE(w.Table().SelectedBird());
    EXPECT_NE(w.Table().SelectedBird(), 2u);
    EXPECT_EQ(w.Map().Highlighted(), w.Table().SelectedBird());
    w.SelectBird(std::nullopt);
    EXPECT_EQ(w.Map().Highlighted(), std::nullopt);
    EXPECT_EQ(w.Table().SelectedBird(), std::nullopt);

    QSignalSpy wanted(&w, &RaceWindow::FlightWanted);
    Q_EMIT w.Table().BirdOpened(0);
    ASSERT_EQ(wanted.count(), 1);
    EXPECT_EQ(wanted.at(0).at(0).value<std::size_t>(), 0u);
    bool said = false;
    for (QLabel* label : w.findChildren<QLabel*>())
        said = said || (label->isVisible() && label->text().contains("fast.gpx") && label->text().contains("FAST"));
    EXPECT_TRUE(said) << "the window says why the flight cannot be shown";
}

// Next arrival steps from arrival to arrival; playing moves the replay on and stops at the
// end; following keeps the leading bird in the middle of the map.
TEST(RaceWindow, StepPlayAndFollow) {
    OpenRace r;
    RaceWindow& w = r.window;
    std::vector<double> arrivals;
    for (const BirdResult& b : w.Judgement().birds)
        if (b.arrival) arrivals.push_back(static_cast<double>(*b.arrival));
    std::sort(arrivals.begin(), arrivals.end());
    arrivals.erase(std::unique(arrivals.begin(), arrivals.end()), arrivals.end());  // FAST and EAST arrive together
    ASSERT_GE(arrivals.size(), 2u);
    w.StepToNextArrival();
    EXPECT_EQ(w.ReplayTime(), arrivals[0]);
    w.StepToNextArrival();
    EXPECT_EQ(w.ReplayTime(), arrivals[1]);

    w.SetReplayTime(w.Replay().Start() + 120);
    w.SetFollowLeader(true);
    const auto leader = w.Replay().LeaderAt(w.ReplayTime());
    ASSERT_TRUE(leader);
    const QPointF centre(w.Map().width() / 2.0, w.Map().height() / 2.0);
    const QPointF at = w.Map().MarkerAt(*leader);
    EXPECT_NEAR(at.x(), centre.x(), 1);
    EXPECT_NEAR(at.y(), centre.y(), 1);
    EXPECT_TRUE(w.findChild<QCheckBox*>()->isChecked());

    w.SetSpeed(3600);
    w.Play();
    EXPECT_TRUE(w.Playing());
    EXPECT_TRUE(test::PumpUntil([&] { return !w.Playing(); }, std::chrono::seconds(30)));
    EXPECT_EQ(w.ReplayTime(), w.Replay().End());
}

// The tracks drawn once are shifted while the view only pans: after any pan, near or past
// the edge of what was drawn, in any direction, the map is the one drawn afresh.
TEST(RaceWindow, APannedMapIsTheMapDrawnAfresh) {
    OpenRace r;
    RaceMap& map = r.window.Map();
    map.resize(400, 300);
    test::PumpFor(std::chrono::milliseconds(20));
    const double zoom = map.Viewport().Zoom();
    const QPointF centre(map.width() / 2.0, map.height() / 2.0);
    const QPointF pans[] = {{7, -3}, {-60, 45}, {190, 0}, {0, -140}, {-250, 180}, {1, 1}};
    for (const QPointF& pan : pans) {
        SCOPED_TRACE(testing::Message() << pan.x() << "," << pan.y());
        map.grab();  // the layer as the view is now
        map.SetView(map.GeoAt(centre + pan), zoom);
        const QImage panned = map.grab().toImage();
        map.Highlight(0);  // a highlight and back: the layer is drawn again for this view
        map.Highlight(std::nullopt);
        const QImage fresh = map.grab().toImage();
        ASSERT_EQ(panned.size(), fresh.size());
        int differing = 0;
        for (int y = 0; y < fresh.height(); ++y)
            for (int x = 0; x < fresh.width(); ++x) differing += panned.pixel(x, y) != fresh.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

// The map at the replay time as PNG and SVG, the sheet as the judgement's HTML and as a PDF;
// a file that cannot be written is a failure said, not a success.
TEST(RaceWindow, ExportsAreWholeOrTheFailureIsSaid) {
    OpenRace r;
    r.window.SetReplayTime(r.window.Replay().Start() + 400);
    const auto dir = r.folder.Path();
    for (const char* name : {"map.png", "map.svg", "sheet.html", "sheet.pdf"})
        EXPECT_EQ(r.window.Save(dir / name), std::nullopt) << name;
    QImage png(QString::fromStdString((dir / "map.png").string()));
    EXPECT_EQ(png.size(), r.window.Map().size() * r.window.Map().devicePixelRatioF());
    EXPECT_NE(Contents(dir / "map.svg").find("<svg"), std::string::npos);
    EXPECT_EQ(Contents(dir / "sheet.html"), RaceResultHtml(r.window.Judgement(), LANG_EN_US));
    EXPECT_EQ(Contents(dir / "sheet.pdf").rfind("%PDF", 0), 0u);
    EXPECT_NE(r.window.Save(dir / "no-such-folder" / "map.png"), std::nullopt);
}

// A control's name, or on this platform for a combo box (whose name is its value) the
// name of the label that labels it, as a screen reader reads them.
bool NamedOrLabelled(QAccessibleInterface* a, const QString& name) {
    if (a->text(QAccessible::Name) == name) return true;
    for (const auto& [label, relation] : a->relations(QAccessible::Label))
        if (label->text(QAccessible::Name) == name) return true;
    return false;
}

// The control a screen reader finds by its role and the name it reads out, searched
// through the accessibility tree only.
QAccessibleInterface* Accessible(QWidget* top, QAccessible::Role role, unsigned langId, unsigned nameId) {
    std::wstring name;
    LoadLanguageString(langId, nameId, name);
    std::vector<QAccessibleInterface*> open{QAccessible::queryAccessibleInterface(top)};
    while (!open.empty()) {
        QAccessibleInterface* a = open.back();
        open.pop_back();
        if (a == nullptr) continue;
        if (a->role() == role && NamedOrLabelled(a, QString::fromStdWString(name))) return a;
        for (int i = 0; i < a->childCount(); ++i) open.push_back(a->child(i));
    }
    ADD_FAILURE() << "no control named \"" << QString::fromStdWString(name).toStdString() << "\" with role " << role;
    return nullptr;
}

// Play, pause, the time, the next arrival, following the leader and the speed, each driven
// as assistive technology drives it: by the control's actions and value, found by name.
TEST(RaceWindow, AScreenReaderRunsTheReplayThroughTheControlsActions) {
    OpenRace r;
    RaceWindow& w = r.window;
    QAccessibleInterface* time = Accessible(&w, QAccessible::Slider, LANG_EN_US, IDS_RACEWIN_TIME);
    QAccessibleInterface* next = Accessible(&w, QAccessible::Button, LANG_EN_US, IDS_RACEWIN_NEXT_ARRIVAL);
    QAccessibleInterface* follow = Accessible(&w, QAccessible::CheckBox, LANG_EN_US, IDS_RACEWIN_FOLLOW);
    QAccessibleInterface* speed = Accessible(&w, QAccessible::ComboBox, LANG_EN_US, IDS_RACEWIN_SPEED);
    QAccessibleInterface* play = Accessible(&w, QAccessible::Button, LANG_EN_US, IDS_RACEWIN_PLAY);
    ASSERT_TRUE(time && next && follow && speed && play);
    // A button pressed this way clicks a moment later, as a click it animates.
    auto press = [](QAccessibleInterface* button, const std::function<bool()>& done) {
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        return test::PumpUntil(done, std::chrono::seconds(5));
    };

    ASSERT_NE(time->valueInterface(), nullptr);
    time->valueInterface()->setCurrentValue(150);
    EXPECT_EQ(w.ReplayTime(), w.Replay().Start() + 150);
    EXPECT_DOUBLE_EQ(w.Chart().Cursor(), w.ReplayTime());

    const auto first = w.Replay().NextArrivalAfter(w.ReplayTime());
    ASSERT_TRUE(first);
    EXPECT_TRUE(press(next, [&] { return w.ReplayTime() == *first; }));
    EXPECT_EQ(time->valueInterface()->currentValue().toDouble(), w.ReplayTime() - w.Replay().Start());

    time->valueInterface()->setCurrentValue(120);
    follow->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(follow->state().checked);
    const auto leader = w.Replay().LeaderAt(w.ReplayTime());
    ASSERT_TRUE(leader);
    const QPointF at = w.Map().MarkerAt(*leader);
    EXPECT_NEAR(at.x(), w.Map().width() / 2.0, 1);
    EXPECT_NEAR(at.y(), w.Map().height() / 2.0, 1);

    // A combo box is opened by its action; the reader's user then picks from its list with
    // the keys.
    speed->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    auto* speeds = qobject_cast<QComboBox*>(speed->object());
    ASSERT_NE(speeds, nullptr);
    ASSERT_TRUE(test::PumpUntil([&] { return speeds->view()->isVisible(); }, std::chrono::seconds(5)));
    QTest::keyClick(speeds->view(), Qt::Key_End);
    QTest::keyClick(speeds->view(), Qt::Key_Return);
    EXPECT_TRUE(test::PumpUntil([&] { return !speeds->view()->isVisible(); }, std::chrono::seconds(5)));
    std::wstring times;
    LoadLanguageString(LANG_EN_US, IDS_RACEWIN_SPEED_TIMES, times);
    EXPECT_EQ(speed->text(QAccessible::Value), QString::fromStdWString(times).arg(3600));

    EXPECT_TRUE(press(play, [&] { return w.Playing(); }));
    EXPECT_FALSE(play->state().checkable) << "read as a button, not a check box";
    EXPECT_EQ(play, Accessible(&w, QAccessible::Button, LANG_EN_US, IDS_RACEWIN_PAUSE)) << "its name says what a press does now";
    EXPECT_TRUE(press(play, [&] { return !w.Playing(); }));
    // At 3600 times real time the rest of the race (under half an hour) plays in well under a minute.
    EXPECT_TRUE(press(play, [&] { return w.Playing(); }));
    EXPECT_TRUE(test::PumpUntil([&] { return !w.Playing(); }, std::chrono::seconds(60)));
    EXPECT_EQ(w.ReplayTime(), w.Replay().End());
    EXPECT_EQ(time->valueInterface()->currentValue().toInt(), time->valueInterface()->maximumValue().toInt());
    EXPECT_EQ(play->text(QAccessible::Name).toStdWString(), [] {
        std::wstring name;
        LoadLanguageString(LANG_EN_US, IDS_RACEWIN_PLAY, name);
        return name;
    }());
}

TEST(RaceWindow, EveryControlHasARoleAndAName) {
    OpenRace r;
    int checked = 0;
    EXPECT_TRUE(test::EveryControlIsNamed(&r.window, &checked));
    EXPECT_GT(checked, 8);
}

}  // namespace
}  // namespace wing
