#include "flightview/flight_map.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace wing {

void DrawPin(QPainter& painter, const QPointF& at, const QColor& colour, const QString& label) {
    QPainterPath path;
    path.moveTo(at);
    path.lineTo(at + QPointF(-6, -14));
    path.arcTo(QRectF(at.x() - 7, at.y() - 24, 14, 14), 200, -220);
    path.closeSubpath();
    painter.setPen(QPen(colour.darker(), 1));
    painter.setBrush(colour);
    painter.drawPath(path);
    painter.setPen(colour.darker());
    painter.drawText(at + QPointF(9, -12), label);
}

void DrawRestRing(QPainter& painter, const QPointF& at) {
    painter.setPen(QPen(kRestRing, 2));
    painter.setBrush(QColor(kRestRing.red(), kRestRing.green(), kRestRing.blue(), 60));
    painter.drawEllipse(at, 9, 9);
}

QColor SpeedColour(double speed, double maxSpeed) {
    const double t = maxSpeed > 0 ? std::clamp(speed / maxSpeed, 0.0, 1.0) : 0;
    // Blue (slow) through green and yellow to red (fast): hue 240 down to 0.
    return QColor::fromHsvF(static_cast<float>((1.0 - t) * 240.0 / 360.0), 0.9f, 0.85f);
}

FlightMap::FlightMap(TileSourceOptions tiles, unsigned langId, QWidget* parent)
    : MapView(std::move(tiles), langId, parent) {
    setAccessibleName(QStringLiteral("flight map"));
}

void FlightMap::SetData(FlightMapData data) {
    m_data = std::move(data);
    m_maxSpeed = 1;
    for (const auto& p : m_data.track)
        if (!p.flagged) m_maxSpeed = std::max(m_maxSpeed, p.speedKmh);
    m_highlight = -1;
    SetUserMoved(false);
    FitToFlight();
}

void FlightMap::FitToFlight() {
    std::vector<GeoPoint> points;
    for (const auto& p : m_data.track)
        if (!p.flagged) points.push_back(p.where);
    if (m_data.release) points.push_back(*m_data.release);
    if (m_data.loft) points.push_back(*m_data.loft);
    // Room around the flight for the pins, which stand above their points; a flight of a
    // few metres is shown at street level, not at the last tile level.
    if (points.empty()) points.push_back({0, 0});
    FitTo(points, 40, 17);
}

void FlightMap::SetHighlight(std::int64_t time) {
    int best = -1;
    std::int64_t bestGap = 0;
    for (int i = 0; time != 0 && i < static_cast<int>(m_data.track.size()); ++i) {
        if (m_data.track[i].flagged) continue;
        const std::int64_t gap = std::llabs(m_data.track[i].time - time);
        if (best < 0 || gap < bestGap) {
            best = i;
            bestGap = gap;
        }
    }
    if (best != m_highlight) {
        m_highlight = best;
        update();
    }
}

void FlightMap::DrawOverlay(QPainter& painter) const {
    DrawTrack(painter);
    DrawMarks(painter);
}

void FlightMap::DrawTrack(QPainter& painter) const {
    const MapPoint* previous = nullptr;
    for (const auto& p : m_data.track) {
        if (p.flagged) continue;
        if (previous != nullptr) {
            painter.setPen(QPen(SpeedColour(previous->speedKmh, m_maxSpeed), 3, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(ScreenOf(previous->where), ScreenOf(p.where));
        }
        previous = &p;
    }
    // Points left out of the figures, shown so the fancier sees what was set aside.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kFlaggedPoint);
    for (const auto& p : m_data.track)
        if (p.flagged && IsValidPoint(p.where) && (p.where.lat != 0 || p.where.lon != 0))
            painter.drawEllipse(ScreenOf(p.where), 3, 3);
    if (m_highlight >= 0) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::black, 2));
        painter.drawEllipse(ScreenOf(m_data.track[m_highlight].where), 7, 7);
    }
}

void FlightMap::DrawMarks(QPainter& painter) const {
    for (const auto& rest : m_data.rests) {
        const QPointF at = ScreenOf(rest.where);
        DrawRestRing(painter, at);
        painter.drawText(at + QPointF(11, 4), QString::number(rest.durationSeconds / 60) + " min");
    }
    if (m_data.release) DrawPin(painter, ScreenOf(*m_data.release), kReleasePin, QStringLiteral("R"));
    if (m_data.loft) DrawPin(painter, ScreenOf(*m_data.loft), kLoftPin, QStringLiteral("L"));
}

void FlightMap::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) {
        MapView::mouseMoveEvent(e);
        return;
    }
    // The nearest good point within a few pixels tells the chart where the mouse is.
    int best = -1;
    double bestDistance = 12;
    for (int i = 0; i < static_cast<int>(m_data.track.size()); ++i) {
        if (m_data.track[i].flagged) continue;
        const QPointF d = ScreenOf(m_data.track[i].where) - e->position();
        const double distance = std::hypot(d.x(), d.y());
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    if (best >= 0 && best != m_highlight) {
        m_highlight = best;
        update();
        Q_EMIT Hovered(m_data.track[best].time);
    }
}

}  // namespace wing
