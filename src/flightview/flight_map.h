#pragma once
// The flight over the map: the track coloured by speed, flagged points greyed, the release
// and the loft as pins, the rests as rings, drawn over the tiles of the shared map widget.
// A double click fits the flight; so does a resize until the user has zoomed or panned.

#include <QColor>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "flight/coordinates.h"
#include "framework/map_view.h"

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

class FlightMap : public MapView {
    Q_OBJECT
public:
    FlightMap(TileSourceOptions tiles, unsigned langId, QWidget* parent = nullptr);

    void SetData(FlightMapData data);
    // Marks the track point nearest this time (a time the chart points at); 0: none.
    void SetHighlight(std::int64_t time);
    void FitToFlight();
    QSize sizeHint() const override { return {520, 420}; }

Q_SIGNALS:
    // The time of the track point under the mouse.
    void Hovered(qint64 time);

protected:
    void DrawOverlay(QPainter& painter) const override;
    void FitRequested() override { FitToFlight(); }
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void DrawTrack(QPainter& painter) const;
    void DrawMarks(QPainter& painter) const;

    FlightMapData m_data;
    double m_maxSpeed = 1;
    int m_highlight = -1;
};

// The marks every map of flights shares: points left out greyed, the release green, the
// loft red, rests as orange rings.
inline const QColor kFlaggedPoint(170, 170, 170);
inline const QColor kReleasePin(0, 128, 0);
inline const QColor kLoftPin(200, 0, 0);
inline const QColor kRestRing(230, 130, 0);
// A pin standing on `at`, with a label beside its head.
void DrawPin(QPainter& painter, const QPointF& at, const QColor& colour, const QString& label);
void DrawRestRing(QPainter& painter, const QPointF& at);

// The colour of a speed on a scale from slow (blue) to the flight's fastest (red).
QColor SpeedColour(double speed, double maxSpeed);

}  // namespace wing
