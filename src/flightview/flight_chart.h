#pragma once
// Speed and altitude over the flight's time, rests shaded; linked to the map through the
// time the mouse points at.

#include <QtCharts/QChartView>

#include <cstdint>
#include <vector>

#include "flightview/flight_map.h"

QT_BEGIN_NAMESPACE
class QGraphicsLineItem;
QT_END_NAMESPACE

namespace wing {

struct ChartPoint {
    std::int64_t time = 0;
    double speedKmh = 0;
    double altitudeMetres = 0;
};

struct ChartRest {
    std::int64_t start = 0;
    std::int64_t end = 0;
};

class FlightChart : public QChartView {
    Q_OBJECT
public:
    FlightChart(const QString& speedTitle, const QString& altitudeTitle, QWidget* parent = nullptr);
    void SetData(const std::vector<ChartPoint>& points, const std::vector<ChartRest>& rests);
    // Draws a line at this time (a point the map points at); 0: none.
    void SetHighlight(std::int64_t time);
    QSize sizeHint() const override { return {520, 220}; }

Q_SIGNALS:
    void Hovered(qint64 time);

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void PlaceMarker();

    QString m_speedTitle;
    QString m_altitudeTitle;
    QGraphicsLineItem* m_marker = nullptr;
    std::int64_t m_highlight = 0;
};

}  // namespace wing
