#pragma once
// Web Mercator (EPSG:3857), the projection of the map tiles, and the view over it: a centre,
// a zoom that may lie between the tile levels, and a size in pixels.

#include <vector>

#include "flight/coordinates.h"
#include "map/tiles.h"

namespace wing {

// The latitude where Web Mercator's square world ends, north and south.
inline constexpr double kMercatorMaxLatitude = 85.05112877980659;

// A position on the square world: x from 0 at 180°W to 1 at 180°E, y from 0 at the
// northern edge to 1 at the southern one.
struct WorldPoint {
    double x = 0;
    double y = 0;
};

WorldPoint ToWorld(const GeoPoint& point);  // latitudes past the world's edge are held at it
GeoPoint FromWorld(const WorldPoint& point);

// The tile that holds a position at zoom z.
TileId TileAt(const GeoPoint& point, int z);

// A view of the map: which world point sits at the centre, at what zoom, on how many pixels.
class MapViewport {
public:
    static constexpr double kMinZoom = 0;
    static constexpr double kMaxZoom = kMaxTileZoom;

    void SetSize(double width, double height);
    void SetCentre(const WorldPoint& centre);
    void SetZoom(double zoom);  // held within kMinZoom..kMaxZoom
    double Width() const { return m_width; }
    double Height() const { return m_height; }
    double Zoom() const { return m_zoom; }
    const WorldPoint& Centre() const { return m_centre; }

    // Pixels across the whole world at this zoom.
    double WorldPixels() const;
    WorldPoint ScreenToWorld(double x, double y) const;
    void WorldToScreen(const WorldPoint& world, double& x, double& y) const;

    // Changes the zoom keeping the world point under the screen point (x, y) where it is.
    void ZoomAbout(double zoom, double x, double y);
    void PanBy(double dx, double dy);  // the map follows a drag of (dx, dy) pixels
    // The largest zoom (within the limits and not past maxZoom) at which the box of points
    // fits in the view less `margin` pixels on each side and `leftKept` more on the left
    // (where the view keeps a box of its own), centred in that room.
    void Fit(const std::vector<GeoPoint>& points, double margin, double maxZoom = kMaxZoom, double leftKept = 0);

    // The tile level drawn at this zoom: the nearest level not past maxTileZoom.
    int TileZoom(int maxTileZoom) const;
    // The tiles that cover the view at that level, and `ring` more tiles on every side, the
    // ones nearest the centre first; only tiles that exist.
    std::vector<TileId> TilesInView(int tileZoom, int ring) const;

private:
    double m_width = 1;
    double m_height = 1;
    double m_zoom = 0;
    WorldPoint m_centre{0.5, 0.5};
};

// A scale bar: a round ground distance and the pixels it takes across the view's centre.
struct ScaleBar {
    double metres = 0;
    double pixels = 0;
};

// The geodesic distance on WGS84 between two points of the same latitude.
double GroundMetres(double lat, double lon0, double lon1);

// The bar for the view: the largest 1, 2 or 5 times a power of ten metres that takes at most
// `maxPixels`, measured along the latitude of the view's centre.
ScaleBar ScaleBarFor(const MapViewport& view, double maxPixels);

// The largest 1, 2 or 5 times a power of ten not above `value`.
double NiceStep(double value);

}  // namespace wing
