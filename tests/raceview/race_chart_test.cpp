// The distance chart: a line per judged bird that is the replay's distance still to fly,
// the cursor where the replay time is, a click or an arrow key choosing a time of the
// race, the selected bird drawn over the others, and the chart saved whole or the
// failure said.

#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtSvg/QSvgRenderer>

#include <fstream>
#include <iterator>

#include "framework/qt_test_env.h"
#include "race/replay.h"
#include "raceview/race_chart.h"
#include "raceview/race_parts_fixture.h"
#include "resources/string_table.h"
#include "support/accessibility.h"

namespace wing {
namespace {

// The program's one QApplication is registered in race_table_test.cpp.

using test::TempFolder;

struct Judged {
    RaceJudgement judgement;
    RaceReplay replay;
    std::vector<QColor> colours{QColor(200, 30, 30), QColor(30, 150, 30), QColor(30, 30, 200), QColor(200, 140, 0),
                                QColor(120, 0, 160)};
    std::vector<QString> names{"FAST", "EAST", "SLOW", "SHORT", "GONE"};
};

Judged JudgeParts(const TempFolder& folder) {
    const test::PartsRace p = test::MakePartsRace(folder);
    std::vector<CLogRecordList> tracks;
    RaceJudgement j = JudgeRace(p.race, {}, folder.Path(), &tracks);
    RaceReplay replay(j, tracks);
    return {std::move(j), std::move(replay)};
}

QChartView* ViewOf(RaceDistanceChart& chart) { return chart.findChild<QChartView*>(); }

QLineSeries* LineNamed(RaceDistanceChart& chart, const QString& name) {
    for (QAbstractSeries* s : ViewOf(chart)->chart()->series())
        if (s->name() == name) return qobject_cast<QLineSeries*>(s);
    return nullptr;
}

QGraphicsLineItem* CursorLine(RaceDistanceChart& chart) {
    for (QGraphicsItem* item : ViewOf(chart)->scene()->items())
        if (auto* line = dynamic_cast<QGraphicsLineItem*>(item)) return line;
    return nullptr;
}

// The parts race's chart, shown at 800 x 400.
struct ShownChart {
    TempFolder folder;
    Judged r = JudgeParts(folder);
    RaceDistanceChart chart{LANG_EN_US};
    ShownChart() {
        chart.SetReplay(r.replay, r.colours, r.names);
        chart.resize(800, 400);
        chart.show();
        QApplication::processEvents();
    }
};

TEST(RaceDistanceChart, EachJudgedBirdsLineIsTheReplaysDistanceStillToFly) {
    TempFolder folder;
    Judged r = JudgeParts(folder);
    ASSERT_EQ(r.replay.BirdCount(), 5u);
    RaceDistanceChart chart(LANG_EN_US);
    chart.SetReplay(r.replay, r.colours, r.names);
    EXPECT_EQ(ViewOf(chart)->chart()->series().size(), 4);  // none for the missing track
    EXPECT_EQ(LineNamed(chart, "GONE"), nullptr);
    for (std::size_t bird = 0; bird < 4; ++bird) {
        QLineSeries* line = LineNamed(chart, r.names[bird]);
        ASSERT_NE(line, nullptr) << bird;
        EXPECT_EQ(line->pen().color(), r.colours[bird]);
        // Drawn: points of the series, in order, its first and last among them, and every
        // point left out within a pixel of a chart 2000 wide of the line drawn past it.
        std::vector<QPointF> expected;
        for (const auto& [t, metres] : r.replay.DistanceSeries(bird))
            expected.emplace_back((t - r.replay.Start()) / 3600, metres / 1000);
        const QList<QPointF> drawn = line->points();
        ASSERT_GE(drawn.size(), 2) << bird;
        std::vector<std::size_t> at;  // the index in `expected` of each drawn point
        for (const QPointF& d : drawn) {
            std::size_t i = at.empty() ? 0 : at.back() + 1;
            while (i < expected.size() && expected[i] != d) ++i;
            ASSERT_LT(i, expected.size()) << "bird " << bird << ": a point drawn that is not the series'";
            at.push_back(i);
        }
        EXPECT_EQ(at.front(), 0u);
        EXPECT_EQ(at.back(), expected.size() - 1);
        const double xSpan = (r.replay.End() - r.replay.Start()) / 3600, ySpan = 12.0;
        for (std::size_t k = 0; k + 1 < at.size(); ++k) {
            const QPointF a(expected[at[k]].x() / xSpan, expected[at[k]].y() / ySpan);
            const QPointF b(expected[at[k + 1]].x() / xSpan, expected[at[k + 1]].y() / ySpan);
            for (std::size_t i = at[k] + 1; i < at[k + 1]; ++i) {
                const QPointF q(expected[i].x() / xSpan, expected[i].y() / ySpan);
                const QPointF ab = b - a, aq = q - a;
                const double off = std::abs(ab.x() * aq.y() - ab.y() * aq.x()) / std::hypot(ab.x(), ab.y());
                EXPECT_LE(off, 0.0005 + 1e-9) << "bird " << bird << " point " << i;
            }
        }
    }
    // The birds that arrived end at zero; the one that stopped short does not.
    EXPECT_EQ(LineNamed(chart, "FAST")->points().back().y(), 0.0);
    EXPECT_GT(LineNamed(chart, "SHORT")->points().back().y(), 2.5);
}

TEST(RaceDistanceChart, CursorSitsAtTheReplayTimeAndAClickOrKeyChoosesATime) {
    ShownChart shown;
    Judged& r = shown.r;
    RaceDistanceChart& chart = shown.chart;
    QSignalSpy chosen(&chart, &RaceDistanceChart::TimeChosen);
    QChart* c = ViewOf(chart)->chart();
    QLineSeries* fast = LineNamed(chart, "FAST");
    const double start = r.replay.Start(), end = r.replay.End();
    const QRectF area = c->plotArea();
    const double secondsPerPixel = (end - start) / area.width();

    const double t = start + 0.4 * (end - start);
    chart.SetCursor(t);
    EXPECT_EQ(chart.Cursor(), t);
    QGraphicsLineItem* cursor = CursorLine(chart);
    ASSERT_NE(cursor, nullptr);
    ASSERT_TRUE(cursor->isVisible());
    // Where the chart itself puts that time on its axis.
    const QPointF expected = c->mapToPosition(QPointF((t - start) / 3600, 0), fast);
    EXPECT_NEAR(cursor->line().x1(), expected.x(), 0.5);
    EXPECT_EQ(chosen.count(), 0);  // set from outside: not announced back

    // A click there chooses that time (to within a pixel) and moves the cursor to it.
    const QPoint at = ViewOf(chart)->mapFromScene(c->mapToScene(QPointF(expected.x(), area.center().y())));
    QTest::mouseClick(ViewOf(chart)->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(chosen.count(), 1);
    const double clicked = chosen.at(0).at(0).toDouble();
    EXPECT_NEAR(clicked, t, secondsPerPixel);
    EXPECT_EQ(chart.Cursor(), clicked);

    // Outside the plot a click keeps to the race; an arrow key steps a hundredth of it.
    struct Case {
        const char* what;
        std::function<void()> act;
        double expected;
    };
    const QPoint left = ViewOf(chart)->mapFromScene(c->mapToScene(QPointF(area.left() - 20, area.center().y())));
    const QPoint right = ViewOf(chart)->mapFromScene(c->mapToScene(QPointF(area.right() + 20, area.center().y())));
    const Case cases[] = {
        {"left of the plot", [&] { QTest::mouseClick(ViewOf(chart)->viewport(), Qt::LeftButton, {}, left); }, start},
        {"right arrow at the start", [&] { QTest::keyClick(ViewOf(chart), Qt::Key_Right); }, start + (end - start) / 100},
        {"right of the plot", [&] { QTest::mouseClick(ViewOf(chart)->viewport(), Qt::LeftButton, {}, right); }, end},
        {"right arrow at the end", [&] { QTest::keyClick(ViewOf(chart), Qt::Key_Right); }, end},
        {"left arrow", [&] { QTest::keyClick(ViewOf(chart), Qt::Key_Left); }, end - (end - start) / 100},
    };
    for (const Case& k : cases) {
        chosen.clear();
        k.act();
        ASSERT_EQ(chosen.count(), 1) << k.what;
        EXPECT_NEAR(chosen.at(0).at(0).toDouble(), k.expected, 1e-6) << k.what;
        EXPECT_NEAR(chart.Cursor(), k.expected, 1e-6) << k.what;
    }
    // A time outside the race (before a replay is set, or after it) shows no cursor.
    chart.SetCursor(end + 3600);
    EXPECT_FALSE(cursor->isVisible());

    int checked = 0;
    EXPECT_TRUE(test::EveryControlIsNamed(&chart, &checked));
    EXPECT_GT(checked, 0);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RaceDistanceChart, TheSelectedBirdStandsOutAndTheChartSavesAsPngOrSvg) {
    ShownChart shown;
    Judged& r = shown.r;
    RaceDistanceChart& chart = shown.chart;

    chart.Highlight(2);
    for (std::size_t bird = 0; bird < 4; ++bird) {
        const QPen pen = LineNamed(chart, r.names[bird])->pen();
        if (bird == 2) {
            EXPECT_EQ(pen.color(), r.colours[2]);
            EXPECT_GT(pen.widthF(), LineNamed(chart, "FAST")->pen().widthF());
        } else {
            EXPECT_LT(pen.color().alpha(), 255) << bird;
        }
    }
    // Drawn last, over the others.
    EXPECT_EQ(ViewOf(chart)->chart()->series().back()->name(), "SLOW");
    chart.Highlight(std::nullopt);
    for (std::size_t bird = 0; bird < 4; ++bird) EXPECT_EQ(LineNamed(chart, r.names[bird])->pen().color(), r.colours[bird]);
    chart.Highlight(4);  // no line: nothing faded for a bird that is not drawn
    EXPECT_EQ(LineNamed(chart, "FAST")->pen().color(), r.colours[0]);

    const auto png = shown.folder.Path() / "chart.png";
    ASSERT_FALSE(chart.Save(png));
    const QImage image(QString::fromStdString(png.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), ViewOf(chart)->size() * ViewOf(chart)->devicePixelRatioF());
    // The lines are in it, in their birds' colours.
    auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 30;
    };
    int fastPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) fastPixels += near(image.pixelColor(x, y), r.colours[0]);
    EXPECT_GT(fastPixels, 20);

    const auto svg = shown.folder.Path() / "chart.svg";
    ASSERT_FALSE(chart.Save(svg));
    QSvgRenderer renderer(QString::fromStdString(svg.string()));
    EXPECT_TRUE(renderer.isValid());
    EXPECT_NE(ReadFile(svg).find(r.colours[1].name().toStdString()), std::string::npos);

    const auto failure = chart.Save(shown.folder.Path() / "missing" / "chart.png");
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->reason.empty());
    EXPECT_FALSE(std::filesystem::exists(shown.folder.Path() / "missing"));
}

}  // namespace
}  // namespace wing
