#pragma once
// The map widget every map view draws on: Web Mercator tiles under the drawing (while a
// tile is on its way, the nearest lower level's one scaled, else a plain background), a
// graticule, the scale bar, the source's attribution while any of its tiles shows, and
// "map offline" said quietly once
// the source fails. The wheel zooms about the cursor, a drag pans, a double click asks the
// view to fit its content. Subclasses draw their content in DrawOverlay.

#include <QWidget>

#include <vector>

#include "flight/coordinates.h"
#include "framework/tile_source.h"
#include "map/web_mercator.h"

namespace wing {

class MapView : public QWidget {
    Q_OBJECT
public:
    MapView(TileSourceOptions options, unsigned langId, QWidget* parent = nullptr);

    QPointF ScreenOf(const GeoPoint& point) const;
    GeoPoint GeoAt(const QPointF& at) const;
    // The points in view with `margin` pixels around them (and `leftKept` more on the left),
    // no closer than `maxZoom`.
    void FitTo(const std::vector<GeoPoint>& points, double margin, double maxZoom, double leftKept = 0);
    const MapViewport& Viewport() const { return m_view; }
    void SetView(const GeoPoint& centre, double zoom);
    TileSource& Source() { return *m_source; }
    // True when every tile the view shows at its own level has arrived or will not come.
    bool Complete() const;
    bool SaysOffline() const { return m_source->Failed(); }

protected:
    virtual void DrawOverlay(QPainter&) const {}
    virtual void FitRequested() {}
    // Where the overlay keeps a box of its own (a legend): no graticule label is drawn there.
    virtual QRectF LabelFreeArea() const { return {}; }
    bool UserMoved() const { return m_userMoved; }
    void SetUserMoved(bool moved) { m_userMoved = moved; }

    void paintEvent(QPaintEvent*) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QRect TileRect(const TileId& tile) const;
    // True when at least one tile (or a lower level's stand-in) was drawn.
    bool DrawTiles(QPainter& painter);
    void DrawGraticule(QPainter& painter) const;
    static QRectF LabelRect(const QPainter& painter, const QPointF& baseline, const QString& label);
    void DrawScaleBar(QPainter& painter) const;
    void DrawNotes(QPainter& painter, bool tilesShown) const;

    TileSource* m_source;
    unsigned m_langId;
    MapViewport m_view;
    QPoint m_dragFrom;
    bool m_userMoved = false;
};

}  // namespace wing
