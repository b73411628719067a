#include "flightview/flight_map.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace wing {
namespace {

const QColor kFlagged(170, 170, 170);
const QColor kRelease(0, 128, 0);
const QColor kLoft(200, 0, 0);
const QColor kRest(230, 130, 0);

// The largest 1, 2 or 5 times a power of ten not above `value`.
double NiceStep(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * power <= value) return m * power;
    return power;
}

QString DistanceText(double metres) {
    return metres >= 1000 ? QString::number(metres / 1000, 'g', 3) + " km" : QString::number(metres, 'g', 3) + " m";
}

}  // namespace

QColor SpeedColour(double speed, double maxSpeed) {
    const double t = maxSpeed > 0 ? std::clamp(speed / maxSpeed, 0.0, 1.0) : 0;
    // Blue (slow) through green and yellow to red (fast): hue 240 down to 0.
    return QColor::fromHsvF(static_cast<float>((1.0 - t) * 240.0 / 360.0), 0.9f, 0.85f);
}

FlightMap::FlightMap(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(240, 200);
    setAccessibleName(QStringLiteral("flight map"));
    setCursor(Qt::OpenHandCursor);
}

void FlightMap::SetData(FlightMapData data) {
    m_data = std::move(data);
    // The projection is centred on the flight, so the map is true to scale around it.
    double latMin = 90, latMax = -90, lonMin = 180, lonMax = -180;
    auto grow = [&](const GeoPoint& p) {
        latMin = std::min(latMin, p.lat);
        latMax = std::max(latMax, p.lat);
        lonMin = std::min(lonMin, p.lon);
        lonMax = std::max(lonMax, p.lon);
    };
    for (const auto& p : m_data.track)
        if (!p.flagged) grow(p.where);
    if (m_data.release) grow(*m_data.release);
    if (m_data.loft) grow(*m_data.loft);
    if (latMin > latMax) latMin = latMax = lonMin = lonMax = 0;
    m_projection.Reset((latMin + latMax) / 2, (lonMin + lonMax) / 2, 0);
    m_maxSpeed = 1;
    for (const auto& p : m_data.track)
        if (!p.flagged) m_maxSpeed = std::max(m_maxSpeed, p.speedKmh);
    m_highlight = -1;
    m_userMoved = false;
    FitToFlight();
}

QPointF FlightMap::Local(const GeoPoint& p) const {
    double x = 0, y = 0, z = 0;
    m_projection.Forward(p.lat, p.lon, 0, x, y, z);
    return {x, y};
}

QPointF FlightMap::ToScreen(const QPointF& local) const {
    return {width() / 2.0 + (local.x() - m_centre.x()) * m_scale, height() / 2.0 - (local.y() - m_centre.y()) * m_scale};
}

void FlightMap::FitToFlight() {
    double left = 0, right = 0, bottom = 0, top = 0;
    bool any = false;
    auto add = [&](const GeoPoint& p) {
        const QPointF l = Local(p);
        left = any ? std::min(left, l.x()) : l.x();
        right = any ? std::max(right, l.x()) : l.x();
        bottom = any ? std::min(bottom, l.y()) : l.y();
        top = any ? std::max(top, l.y()) : l.y();
        any = true;
    };
    for (const auto& p : m_data.track)
        if (!p.flagged) add(p.where);
    if (m_data.release) add(*m_data.release);
    if (m_data.loft) add(*m_data.loft);
    m_centre = QPointF((left + right) / 2, (bottom + top) / 2);
    const double w = std::max(right - left, 200.0), h = std::max(top - bottom, 200.0);
    // Room around the flight for the pins, which stand above their points.
    m_scale = std::min((width() - 80) / w, (height() - 80) / h);
    if (!(m_scale > 0)) m_scale = 1;
    update();
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

void FlightMap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(250, 250, 246));
    DrawGraticule(painter);
    DrawTrack(painter);
    DrawMarks(painter);
    DrawScaleBar(painter);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void FlightMap::DrawGraticule(QPainter& painter) const {
    // Lines of latitude and longitude at a round step that gives a handful across.
    double lat0 = 0, lon0 = 0, h = 0, lat1 = 0, lon1 = 0;
    const QPointF topLeft = m_centre + QPointF(-width() / 2.0 / m_scale, height() / 2.0 / m_scale);
    const QPointF bottomRight = m_centre + QPointF(width() / 2.0 / m_scale, -height() / 2.0 / m_scale);
    m_projection.Reverse(topLeft.x(), topLeft.y(), 0, lat1, lon0, h);
    m_projection.Reverse(bottomRight.x(), bottomRight.y(), 0, lat0, lon1, h);
    const double step = NiceStep(std::max(lat1 - lat0, lon1 - lon0) / 4);
    if (!(step > 0) || (lat1 - lat0) / step > 50 || (lon1 - lon0) / step > 50) return;
    painter.setPen(QPen(QColor(215, 215, 205), 1));
    const QFont small(font().family(), std::max(7, font().pointSize() - 2));
    painter.setFont(small);
    for (double lat = std::ceil(lat0 / step) * step; lat <= lat1; lat += step) {
        const QPointF a = ScreenOf({lat, lon0}), b = ScreenOf({lat, lon1});
        painter.drawLine(a, b);
        painter.setPen(QColor(140, 140, 130));
        painter.drawText(QPointF(4, a.y() - 2), QString::number(lat, 'f', 3) + QChar(0xB0));
        painter.setPen(QPen(QColor(215, 215, 205), 1));
    }
    for (double lon = std::ceil(lon0 / step) * step; lon <= lon1; lon += step) {
        const QPointF a = ScreenOf({lat0, lon}), b = ScreenOf({lat1, lon});
        painter.drawLine(a, b);
        painter.setPen(QColor(140, 140, 130));
        painter.drawText(QPointF(b.x() + 2, 12), QString::number(lon, 'f', 3) + QChar(0xB0));
        painter.setPen(QPen(QColor(215, 215, 205), 1));
    }
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
    painter.setBrush(kFlagged);
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
        painter.setPen(QPen(kRest, 2));
        painter.setBrush(QColor(kRest.red(), kRest.green(), kRest.blue(), 60));
        painter.drawEllipse(at, 9, 9);
        painter.drawText(at + QPointF(11, 4), QString::number(rest.durationSeconds / 60) + " min");
    }
    auto pin = [&](const GeoPoint& where, const QColor& colour, const QString& label) {
        const QPointF at = ScreenOf(where);
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
    };
    if (m_data.release) pin(*m_data.release, kRelease, QStringLiteral("R"));
    if (m_data.loft) pin(*m_data.loft, kLoft, QStringLiteral("L"));
}

void FlightMap::DrawScaleBar(QPainter& painter) const {
    const double metres = NiceStep(width() / 4.0 / m_scale);
    const double pixels = metres * m_scale;
    const QPointF left(12, height() - 14);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(left, left + QPointF(pixels, 0));
    painter.drawLine(left, left + QPointF(0, -5));
    painter.drawLine(left + QPointF(pixels, 0), left + QPointF(pixels, -5));
    painter.drawText(left + QPointF(4, -6), DistanceText(metres));
}

void FlightMap::wheelEvent(QWheelEvent* e) {
    // Zoom about the point under the cursor, so it stays where it is.
    const QPointF at = e->position();
    const QPointF before = m_centre + QPointF((at.x() - width() / 2.0) / m_scale, -(at.y() - height() / 2.0) / m_scale);
    const double factor = std::pow(1.0015, e->angleDelta().y());
    m_scale = std::clamp(m_scale * factor, 1e-6, 50.0);
    m_userMoved = true;
    m_centre = before - QPointF((at.x() - width() / 2.0) / m_scale, -(at.y() - height() / 2.0) / m_scale);
    update();
}

void FlightMap::mousePressEvent(QMouseEvent* e) { m_dragFrom = e->pos(); }

void FlightMap::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) {
        const QPoint delta = e->pos() - m_dragFrom;
        m_dragFrom = e->pos();
        m_centre -= QPointF(delta.x() / m_scale, -delta.y() / m_scale);
        m_userMoved = true;
        update();
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

void FlightMap::mouseDoubleClickEvent(QMouseEvent*) {
    m_userMoved = false;
    FitToFlight();
}

void FlightMap::resizeEvent(QResizeEvent*) {
    // The whole flight stays in view until the user zooms or pans.
    if (!m_userMoved) FitToFlight();
}

}  // namespace wing
