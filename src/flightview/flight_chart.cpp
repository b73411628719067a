#include "flightview/flight_chart.h"

#include <QDateTime>
#include <QGraphicsLineItem>
#include <QMouseEvent>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>

namespace wing {

FlightChart::FlightChart(const QString& speedTitle, const QString& altitudeTitle, QWidget* parent)
    : QChartView(parent), m_speedTitle(speedTitle), m_altitudeTitle(altitudeTitle) {
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    setMinimumHeight(160);
    setAccessibleName(speedTitle + " / " + altitudeTitle);
    // The keyboard's focus lands on the drawing surface, so it carries the name too.
    viewport()->setAccessibleName(accessibleName());
}

void FlightChart::SetData(const std::vector<ChartPoint>& points, const std::vector<ChartRest>& rests) {
    auto* chart = new QChart();
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* speed = new QLineSeries();
    speed->setName(m_speedTitle);
    auto* altitude = new QLineSeries();
    altitude->setName(m_altitudeTitle);
    double maxSpeed = 10, maxAltitude = 10;
    for (const auto& p : points) {
        const double ms = static_cast<double>(p.time) * 1000.0;
        speed->append(ms, p.speedKmh);
        altitude->append(ms, p.altitudeMetres);
        maxSpeed = std::max(maxSpeed, p.speedKmh);
        maxAltitude = std::max(maxAltitude, p.altitudeMetres);
    }
    auto* timeAxis = new QDateTimeAxis();
    timeAxis->setFormat("HH:mm");
    auto* speedAxis = new QValueAxis();
    speedAxis->setRange(0, maxSpeed * 1.1);
    speedAxis->setLabelFormat("%d");
    auto* altitudeAxis = new QValueAxis();
    altitudeAxis->setRange(0, maxAltitude * 1.1);
    altitudeAxis->setLabelFormat("%d");
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(speedAxis, Qt::AlignLeft);
    chart->addAxis(altitudeAxis, Qt::AlignRight);

    // Each rest a shaded band under the speed axis.
    for (const auto& rest : rests) {
        // The area does not own its edge: the edge is made its child, so the chart's
        // deletion of the area takes the edge along.
        auto* band = new QAreaSeries();
        auto* upper = new QLineSeries(band);
        upper->append(static_cast<double>(rest.start) * 1000.0, maxSpeed * 1.1);
        upper->append(static_cast<double>(rest.end) * 1000.0, maxSpeed * 1.1);
        band->setUpperSeries(upper);
        band->setColor(QColor(230, 130, 0, 50));
        band->setBorderColor(QColor(230, 130, 0, 50));
        chart->addSeries(band);
        band->attachAxis(timeAxis);
        band->attachAxis(speedAxis);
    }
    chart->addSeries(speed);
    speed->attachAxis(timeAxis);
    speed->attachAxis(speedAxis);
    chart->addSeries(altitude);
    altitude->attachAxis(timeAxis);
    altitude->attachAxis(altitudeAxis);
    for (auto* marker : chart->legend()->markers())
        if (marker->series() != speed && marker->series() != altitude) marker->setVisible(false);
    if (!points.empty())
        timeAxis->setRange(QDateTime::fromSecsSinceEpoch(points.front().time),
                           QDateTime::fromSecsSinceEpoch(std::max(points.back().time, points.front().time + 60)));

    QChart* old = this->chart();
    setChart(chart);
    delete old;
    m_marker = new QGraphicsLineItem(chart);
    m_marker->setPen(QPen(Qt::black, 1, Qt::DashLine));
    m_marker->setVisible(false);
    PlaceMarker();
}

void FlightChart::SetHighlight(std::int64_t time) {
    m_highlight = time;
    PlaceMarker();
}

void FlightChart::PlaceMarker() {
    if (m_marker == nullptr) return;
    if (m_highlight == 0 || chart()->series().isEmpty()) {
        m_marker->setVisible(false);
        return;
    }
    const QRectF area = chart()->plotArea();
    const QPointF at = chart()->mapToPosition(QPointF(static_cast<double>(m_highlight) * 1000.0, 0),
                                              chart()->series().back());
    m_marker->setLine(at.x(), area.top(), at.x(), area.bottom());
    m_marker->setVisible(area.contains(QPointF(at.x(), area.center().y())));
}

void FlightChart::mouseMoveEvent(QMouseEvent* e) {
    QChartView::mouseMoveEvent(e);
    if (chart()->series().isEmpty()) return;
    const QPointF scene = mapToScene(e->pos());
    if (!chart()->plotArea().contains(chart()->mapFromScene(scene))) return;
    const QPointF value = chart()->mapToValue(chart()->mapFromScene(scene), chart()->series().back());
    const auto time = static_cast<std::int64_t>(value.x() / 1000.0);
    SetHighlight(time);
    Q_EMIT Hovered(time);
}

void FlightChart::resizeEvent(QResizeEvent* e) {
    QChartView::resizeEvent(e);
    PlaceMarker();
}

}  // namespace wing
