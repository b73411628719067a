#pragma once
// The flight drawn by the program, offline: the track coloured by speed, flagged points
// greyed, the release and the loft as pins, the rests as rings, a graticule and a scale
// bar. The wheel zooms about the cursor, a drag pans, a double click fits the flight.

#include <QWidget>

#include <GeographicLib/LocalCartesian.hpp>

#include <cstdint>
#include <optional>
#include <vector>

#include "flight/coordinates.h"

namespace wing {

struct MapPoint {
    GeoPoint where;
    std::int64_t time = 0;
    double speedKmh = 0;  // to the next good point
    bool flagged = false;
};

struct MapRest {
    GeoPoint where;
    std::int64_t durationSeconds = 0;
};

struct FlightMapData {
    std::vector<MapPoint> track;
    std::optional<GeoPoint> release;
    std::optional<GeoPoint> loft;
    std::vector<MapRest> rests;
};

class FlightMap : public QWidget {
    Q_OBJECT
public:
    explicit FlightMap(QWidget* parent = nullptr);

    void SetData(FlightMapData data);
    // Marks the track point nearest this time (a time the chart points at); 0: none.
    void SetHighlight(std::int64_t time);
    void FitToFlight();
    QSize sizeHint() const override { return {520, 420}; }

Q_SIGNALS:
    // The time of the track point under the mouse.
    void Hovered(qint64 time);

protected:
    void paintEvent(QPaintEvent*) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // Metres east and north of the flight's centre, then the view's pixels.
    QPointF Local(const GeoPoint& p) const;
    QPointF ToScreen(const QPointF& local) const;
    QPointF ScreenOf(const GeoPoint& p) const { return ToScreen(Local(p)); }
    void DrawGraticule(QPainter& painter) const;
    void DrawTrack(QPainter& painter) const;
    void DrawMarks(QPainter& painter) const;
    void DrawScaleBar(QPainter& painter) const;

    FlightMapData m_data;
    GeographicLib::LocalCartesian m_projection;
    double m_maxSpeed = 1;
    // The view: pixels per metre, and the local point at the widget's centre.
    double m_scale = 1;
    QPointF m_centre;
    QPoint m_dragFrom;
    int m_highlight = -1;
    bool m_userMoved = false;
};

// The colour of a speed on a scale from slow (blue) to the flight's fastest (red).
QColor SpeedColour(double speed, double maxSpeed);

}  // namespace wing
