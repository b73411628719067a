#include "map/web_mercator.h"

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wing {

WorldPoint ToWorld(const GeoPoint& point) {
    const double lat = std::clamp(point.lat, -kMercatorMaxLatitude, kMercatorMaxLatitude) * std::numbers::pi / 180;
    const double y = std::log(std::tan(std::numbers::pi / 4 + lat / 2));
    return {(point.lon + 180) / 360, 0.5 - y / (2 * std::numbers::pi)};
}

GeoPoint FromWorld(const WorldPoint& point) {
    const double y = (0.5 - point.y) * 2 * std::numbers::pi;
    return {std::atan(std::sinh(y)) * 180 / std::numbers::pi, point.x * 360 - 180};
}

TileId TileAt(const GeoPoint& point, int z) {
    const WorldPoint w = ToWorld(point);
    const int n = 1 << z;
    auto cell = [n](double v) { return std::clamp(static_cast<int>(std::floor(v * n)), 0, n - 1); };
    return {z, cell(w.x), cell(w.y)};
}

void MapViewport::SetSize(double width, double height) {
    m_width = std::max(width, 1.0);
    m_height = std::max(height, 1.0);
}

void MapViewport::SetCentre(const WorldPoint& centre) {
    m_centre = {std::clamp(centre.x, 0.0, 1.0), std::clamp(centre.y, 0.0, 1.0)};
}

void MapViewport::SetZoom(double zoom) { m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom); }

double MapViewport::WorldPixels() const { return kTilePixels * std::exp2(m_zoom); }

WorldPoint MapViewport::ScreenToWorld(double x, double y) const {
    const double scale = WorldPixels();
    return {m_centre.x + (x - m_width / 2) / scale, m_centre.y + (y - m_height / 2) / scale};
}

void MapViewport::WorldToScreen(const WorldPoint& world, double& x, double& y) const {
    const double scale = WorldPixels();
    x = m_width / 2 + (world.x - m_centre.x) * scale;
    y = m_height / 2 + (world.y - m_centre.y) * scale;
}

void MapViewport::ZoomAbout(double zoom, double x, double y) {
    const WorldPoint held = ScreenToWorld(x, y);
    SetZoom(zoom);
    const double scale = WorldPixels();
    SetCentre({held.x - (x - m_width / 2) / scale, held.y - (y - m_height / 2) / scale});
}

void MapViewport::PanBy(double dx, double dy) {
    const double scale = WorldPixels();
    SetCentre({m_centre.x - dx / scale, m_centre.y - dy / scale});
}

void MapViewport::Fit(const std::vector<GeoPoint>& points, double margin, double maxZoom, double leftKept) {
    if (points.empty()) return;
    WorldPoint low = ToWorld(points.front()), high = low;
    for (const GeoPoint& p : points) {
        const WorldPoint w = ToWorld(p);
        low = {std::min(low.x, w.x), std::min(low.y, w.y)};
        high = {std::max(high.x, w.x), std::max(high.y, w.y)};
    }
    const double roomX = std::max(m_width - 2 * margin - leftKept, 1.0), roomY = std::max(m_height - 2 * margin, 1.0);
    const double spanX = high.x - low.x, spanY = high.y - low.y;
    double zoom = std::min(kMaxZoom, maxZoom);
    if (spanX > 0) zoom = std::min(zoom, std::log2(roomX / (spanX * kTilePixels)));
    if (spanY > 0) zoom = std::min(zoom, std::log2(roomY / (spanY * kTilePixels)));
    SetZoom(zoom);
    // The box's middle goes to the middle of the room, half the kept strip right of the view's.
    SetCentre({(low.x + high.x) / 2 - leftKept / 2 / WorldPixels(), (low.y + high.y) / 2});
}

int MapViewport::TileZoom(int maxTileZoom) const {
    return std::clamp(static_cast<int>(std::lround(m_zoom)), 0, std::clamp(maxTileZoom, 0, kMaxTileZoom));
}

std::vector<TileId> MapViewport::TilesInView(int tileZoom, int ring) const {
    const int n = 1 << tileZoom;
    const WorldPoint topLeft = ScreenToWorld(0, 0), bottomRight = ScreenToWorld(m_width, m_height);
    auto cell = [n](double v) { return static_cast<int>(std::floor(v * n)); };
    const int x0 = std::max(cell(topLeft.x) - ring, 0), x1 = std::min(cell(bottomRight.x) + ring, n - 1);
    const int y0 = std::max(cell(topLeft.y) - ring, 0), y1 = std::min(cell(bottomRight.y) + ring, n - 1);
    std::vector<TileId> tiles;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) tiles.push_back({tileZoom, x, y});
    // The middle of the view first: it is what the eye is on.
    const double cx = m_centre.x * n - 0.5, cy = m_centre.y * n - 0.5;
    std::stable_sort(tiles.begin(), tiles.end(), [&](const TileId& a, const TileId& b) {
        return std::hypot(a.x - cx, a.y - cy) < std::hypot(b.x - cx, b.y - cy);
    });
    return tiles;
}

double GroundMetres(double lat, double lon0, double lon1) {
    double metres = 0;
    GeographicLib::Geodesic::WGS84().Inverse(lat, lon0, lat, lon1, metres);
    return metres;
}

double NiceStep(double value) {
    if (!(value > 0)) return 0;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * power <= value) return m * power;
    return power;
}

ScaleBar ScaleBarFor(const MapViewport& view, double maxPixels) {
    // The bar's ends sit on the latitude of the view's centre; its length is the geodesic
    // between them. Zoomed far out, at most a quarter of the world across, so the geodesic
    // never takes the short way round the other side.
    const double cx = view.Width() / 2, cy = view.Height() / 2;
    auto groundOver = [&](double pixels) {
        const GeoPoint left = FromWorld(view.ScreenToWorld(cx - pixels / 2, cy));
        const GeoPoint right = FromWorld(view.ScreenToWorld(cx + pixels / 2, cy));
        return GroundMetres(left.lat, left.lon, right.lon);
    };
    const double most = std::min(maxPixels, view.WorldPixels() / 4);
    const double metres = NiceStep(groundOver(most));
    if (!(metres > 0)) return {};
    // The geodesic grows with the span but not in proportion far from the equator: a few
    // steps of the ratio find the span of the round length.
    double pixels = most * metres / groundOver(most);
    for (int i = 0; i < 4; ++i) pixels *= metres / groundOver(pixels);
    return {metres, pixels};
}

}  // namespace wing
