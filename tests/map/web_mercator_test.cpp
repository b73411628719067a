#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>

#include <cmath>

#include "map/web_mercator.h"

namespace wing {
namespace {

TEST(WebMercator, KnownPointsLandOnTheirTiles) {
    const WorldPoint origin = ToWorld({0, 0});
    EXPECT_DOUBLE_EQ(origin.x, 0.5);
    EXPECT_NEAR(origin.y, 0.5, 1e-15);
    struct Case {
        GeoPoint where;
        TileId tile;
    };
    // London's z7 tile is the one the tile servers' own documentation shows; the others are
    // cities on each side of the equator and the date line.
    for (const Case& c : {Case{{51.5074, -0.1278}, {7, 63, 42}}, Case{{-33.8688, 151.2093}, {10, 942, 614}},
                          Case{{40.7128, -74.0060}, {12, 1205, 1540}}, Case{{35.6762, 139.6503}, {15, 29095, 12903}},
                          Case{{0, 0}, {0, 0, 0}}, Case{{0, 0}, {1, 1, 1}}})
        EXPECT_EQ(TileAt(c.where, c.tile.z), c.tile) << c.where.lat << "," << c.where.lon;
}

TEST(WebMercator, ThePolesAndTheDateLineStayOnTheWorld) {
    EXPECT_EQ(TileAt({89.9, -180}, 3), (TileId{3, 0, 0}));
    EXPECT_EQ(TileAt({-89.9, 180}, 3), (TileId{3, 7, 7}));
    for (GeoPoint p : {GeoPoint{47.3, 8.5}, GeoPoint{-70, -120.25}, GeoPoint{85, 179.9}}) {
        const GeoPoint back = FromWorld(ToWorld(p));
        EXPECT_NEAR(back.lat, p.lat, 1e-9);
        EXPECT_NEAR(back.lon, p.lon, 1e-9);
    }
}

TEST(MapViewport, ZoomAboutTheCursorKeepsThePointUnderIt) {
    MapViewport view;
    view.SetSize(1000, 700);
    view.SetCentre(ToWorld({46.5, 7.5}));
    view.SetZoom(9.3);
    const WorldPoint before = view.ScreenToWorld(820, 130);
    view.ZoomAbout(12.7, 820, 130);
    const WorldPoint after = view.ScreenToWorld(820, 130);
    EXPECT_NEAR(after.x, before.x, 1e-12);
    EXPECT_NEAR(after.y, before.y, 1e-12);
    view.ZoomAbout(40, 0, 0);  // held at the last level
    EXPECT_EQ(view.Zoom(), MapViewport::kMaxZoom);
}

TEST(MapViewport, FitShowsEveryPointInsideTheMargin) {
    const std::vector<GeoPoint> flight{{24.10, 120.60}, {24.95, 121.55}, {23.70, 121.10}};
    struct Case {
        double margin, leftKept;
    };
    for (const Case c : {Case{40, 0}, Case{40, 250}, Case{10, 600}}) {
        MapViewport view;
        view.SetSize(1000, 700);
        view.Fit(flight, c.margin, MapViewport::kMaxZoom, c.leftKept);
        const double left = c.margin + c.leftKept, right = 1000 - c.margin, top = c.margin, bottom = 700 - c.margin;
        double x = 0, y = 0, lowX = 1e9, highX = -1e9;
        bool touches = false;
        for (const GeoPoint& p : flight) {
            view.WorldToScreen(ToWorld(p), x, y);
            EXPECT_GE(x, left - 1e-6) << c.leftKept;
            EXPECT_LE(x, right + 1e-6) << c.leftKept;
            EXPECT_GE(y, top - 1e-6) << c.leftKept;
            EXPECT_LE(y, bottom + 1e-6) << c.leftKept;
            lowX = std::min(lowX, x);
            highX = std::max(highX, x);
            touches = touches || std::abs(y - top) < 1e-6 || std::abs(y - bottom) < 1e-6 || std::abs(x - left) < 1e-6;
        }
        EXPECT_TRUE(touches) << "the fit is the closest one; kept " << c.leftKept;
        EXPECT_NEAR((lowX + highX) / 2, (left + right) / 2, 1e-6) << "centred in the room left";
    }
    MapViewport view;
    view.SetSize(1000, 700);
    view.Fit({{24.1, 120.6}}, 40);  // one point: as close as the map goes
    EXPECT_EQ(view.Zoom(), MapViewport::kMaxZoom);
    view.Fit({{24.1, 120.6}}, 40, 15.5);  // or as close as the caller allows
    EXPECT_EQ(view.Zoom(), 15.5);
}

TEST(MapViewport, TilesInViewCoverTheViewAndOneRingCentreFirst) {
    MapViewport view;
    view.SetSize(1000, 700);
    view.SetCentre(ToWorld({51.5074, -0.1278}));
    view.SetZoom(12.2);
    const int z = view.TileZoom(19);
    EXPECT_EQ(z, 12);
    const auto inner = view.TilesInView(z, 0), ringed = view.TilesInView(z, 1);
    EXPECT_EQ(inner.front(), TileAt({51.5074, -0.1278}, 12));
    // Every pixel's tile is listed; the ring adds one row and column on every side.
    for (double x : {0.0, 500.0, 999.0})
        for (double y : {0.0, 350.0, 699.0}) {
            const GeoPoint p = FromWorld(view.ScreenToWorld(x, y));
            EXPECT_NE(std::find(inner.begin(), inner.end(), TileAt(p, z)), inner.end());
        }
    const auto span = [](const std::vector<TileId>& t, auto field) {
        auto [lo, hi] = std::minmax_element(t.begin(), t.end(), [&](auto& a, auto& b) { return a.*field < b.*field; });
        return (*hi).*field - (*lo).*field + 1;
    };
    EXPECT_EQ(span(ringed, &TileId::x), span(inner, &TileId::x) + 2);
    EXPECT_EQ(span(ringed, &TileId::y), span(inner, &TileId::y) + 2);
    EXPECT_EQ(ringed.size(), static_cast<std::size_t>(span(ringed, &TileId::x) * span(ringed, &TileId::y)));
    // Past MaxZoom the last level is drawn larger; at the world's edge no tile is made up.
    EXPECT_EQ(view.TileZoom(10), 10);
    view.SetZoom(0.2);
    EXPECT_EQ(view.TilesInView(view.TileZoom(19), 1), (std::vector<TileId>{{0, 0, 0}}));
}

TEST(ScaleBar, ItsGroundDistanceMatchesTheGeodesicWithinHalfAPercent) {
    const auto& wgs84 = GeographicLib::Geodesic::WGS84();
    for (double lat : {0.0, 24.1, 46.5, -33.9, 60.0, 71.0})
        for (double zoom : {3.0, 7.5, 11.0, 14.3, 18.0}) {
            MapViewport view;
            view.SetSize(1000, 700);
            view.SetCentre(ToWorld({lat, 10}));
            view.SetZoom(zoom);
            const ScaleBar bar = ScaleBarFor(view, 250);
            ASSERT_GT(bar.pixels, 250 / 5.0) << lat << " " << zoom;
            ASSERT_LE(bar.pixels, 250.0 + 1e-9);
            const GeoPoint a = FromWorld(view.ScreenToWorld(500 - bar.pixels / 2, 350));
            const GeoPoint b = FromWorld(view.ScreenToWorld(500 + bar.pixels / 2, 350));
            double metres = 0;
            wgs84.Inverse(a.lat, a.lon, b.lat, b.lon, metres);
            EXPECT_NEAR(bar.metres / metres, 1.0, 0.005) << lat << " " << zoom;
        }
    // The published ground resolution at the equator: 156543.03 m per pixel at zoom 0.
    MapViewport equator;
    equator.SetSize(1000, 700);
    equator.SetZoom(10);
    const ScaleBar bar = ScaleBarFor(equator, 250);
    EXPECT_NEAR(bar.metres / bar.pixels, 156543.03 / 1024, 156543.03 / 1024 * 0.005);
}

TEST(ScaleBar, NiceStepsAreOneTwoOrFiveTimesAPowerOfTen) {
    struct Case {
        double value, step;
    };
    for (const Case& c : {Case{0.7, 0.5}, Case{1, 1}, Case{1.99, 1}, Case{4999, 2000}, Case{5000, 5000}, Case{73.2, 50},
                          Case{0, 0}})
        EXPECT_DOUBLE_EQ(NiceStep(c.value), c.step) << c.value;
}

}  // namespace
}  // namespace wing
