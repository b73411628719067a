// The map widget: what stands in for a tile on its way, and what is drawn where none comes.

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QWheelEvent>

#include <filesystem>

#include "framework/map_view.h"
#include "framework/qt_test_env.h"
#include "map/mbtiles_fixture.h"
#include "support/tile_server.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(MapView, ATileOnItsWayIsStoodInForByTheLowerLevelsThenDrawnItself) {
    char tmpl[] = "/tmp/wing-mapview-XXXXXX";
    const fs::path dir = ::mkdtemp(tmpl);
    // One z8 tile, and one z10 tile at its north-west corner.
    const TileId z8{8, 214, 110}, z10{10, 856, 440};
    ASSERT_EQ(Ancestor(z10, 2), z8);
    test::MbTilesFixture file;
    file.tiles = {{z8, test::TilePng(z8).toStdString()}, {z10, test::TilePng(z10).toStdString()}};
    file.Write(dir / "tiles.mbtiles");
    TileSourceOptions options;  // offline
    options.map.mbtiles = {dir / "tiles.mbtiles"};
    MapView view(options, 1033);
    view.resize(600, 300);
    const GeoPoint corner = FromWorld({z10.x / 1024.0 + 0.25 / 1024, z10.y / 1024.0 + 0.25 / 1024});
    view.SetView(corner, 8);
    view.grab();
    ASSERT_TRUE(test::PumpUntil([&] { return view.Complete(); }, 10s));

    view.SetView(corner, 10);
    // The z10 tile spans x 236-491: east of it the z8 tile goes on, west of it is not in it.
    const QPoint centre(300, 150), east(540, 150), west(150, 150);
    QImage image = view.grab().toImage();
    EXPECT_EQ(image.pixel(centre), test::TileRgb(z8)) << "the z8 tile, scaled";
    ASSERT_TRUE(test::PumpUntil([&] { return view.Complete(); }, 10s));
    image = view.grab().toImage();
    EXPECT_EQ(image.pixel(centre), test::TileRgb(z10));
    EXPECT_EQ(image.pixel(east), test::TileRgb(z8));
    // West of the z8 tile nothing was ever loaded: the plain background.
    EXPECT_EQ(image.pixel(west), QColor(242, 239, 233).rgb());
    EXPECT_FALSE(view.SaysOffline());
    fs::remove_all(dir);
}

// A view that counts the fits it is asked for.
class CountingView : public MapView {
public:
    using MapView::MapView;
    int fits = 0;

protected:
    void FitRequested() override { ++fits; }
};

TEST(MapView, TheWheelZoomsAboutTheCursorADragCarriesTheMapADoubleClickFits) {
    CountingView view(TileSourceOptions{}, 1033);
    view.resize(600, 400);
    view.show();
    test::PumpFor(std::chrono::milliseconds(20));
    EXPECT_GE(view.fits, 1) << "shown unmoved, the view fits its content";
    view.SetView({46.5, 7.5}, 9);
    const int fitsBefore = view.fits;

    const QPointF cursor(450, 120);
    const GeoPoint under = view.GeoAt(cursor);
    QWheelEvent wheel(cursor, view.mapToGlobal(cursor), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
    EXPECT_GT(view.Viewport().Zoom(), 9.3);
    EXPECT_NEAR(view.GeoAt(cursor).lat, under.lat, 1e-9);
    EXPECT_NEAR(view.GeoAt(cursor).lon, under.lon, 1e-9);

    const QPointF from(100, 100), to(300, 250);
    const GeoPoint grabbed = view.GeoAt(from);
    QMouseEvent press(QEvent::MouseButtonPress, from, view.mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, view.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    QApplication::sendEvent(&view, &move);
    EXPECT_NEAR(view.GeoAt(to).lat, grabbed.lat, 1e-9);
    EXPECT_NEAR(view.GeoAt(to).lon, grabbed.lon, 1e-9);

    // Moved by hand, a resize keeps the view; a double click asks for the fit.
    view.resize(700, 450);
    EXPECT_EQ(view.fits, fitsBefore);
    QMouseEvent twice(QEvent::MouseButtonDblClick, to, view.mapToGlobal(to), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &twice);
    EXPECT_EQ(view.fits, fitsBefore + 1);
}

}  // namespace
}  // namespace wing
