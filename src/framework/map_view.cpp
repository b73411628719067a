#include "framework/map_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "framework/qt_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

const QColor kBackground(242, 239, 233);
const QColor kGraticule(120, 120, 110, 70);
const QColor kGraticuleText(90, 90, 80);
// The further levels up a tile is looked for while its own is on the way; past this the
// piece to scale up is a few pixels and says nothing.
constexpr int kFallbackLevels = 6;

QString DistanceText(double metres) {
    return metres >= 1000 ? QString::number(metres / 1000, 'g', 3) + " km" : QString::number(metres, 'g', 3) + " m";
}

}  // namespace

MapView::MapView(TileSourceOptions options, unsigned langId, QWidget* parent)
    : QWidget(parent), m_source(new TileSource(std::move(options), this)), m_langId(langId) {
    setMouseTracking(true);
    setMinimumSize(240, 200);
    setCursor(Qt::OpenHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_view.SetSize(width(), height());
    connect(m_source, &TileSource::TileArrived, this, qOverload<>(&QWidget::update));
    connect(m_source, &TileSource::SourceFailed, this, [this] {
        setToolTip(m_source->Failure());
        update();
    });
}

QPointF MapView::ScreenOf(const GeoPoint& point) const {
    double x = 0, y = 0;
    m_view.WorldToScreen(ToWorld(point), x, y);
    return {x, y};
}

GeoPoint MapView::GeoAt(const QPointF& at) const { return FromWorld(m_view.ScreenToWorld(at.x(), at.y())); }

void MapView::FitTo(const std::vector<GeoPoint>& points, double margin, double maxZoom, double leftKept) {
    m_view.SetSize(width(), height());
    m_view.Fit(points, margin, maxZoom, leftKept);
    update();
}

void MapView::SetView(const GeoPoint& centre, double zoom) {
    m_view.SetSize(width(), height());
    m_view.SetCentre(ToWorld(centre));
    m_view.SetZoom(zoom);
    m_userMoved = true;
    update();
}

bool MapView::Complete() const {
    const int z = m_view.TileZoom(m_source->MaxZoom());
    for (const TileId& tile : m_view.TilesInView(z, 0))
        if (!m_source->Settled(tile)) return false;
    return true;
}

QRect MapView::TileRect(const TileId& tile) const {
    // Whole pixels from the rounded corners, so neighbouring tiles meet without a seam.
    const double n = 1 << tile.z;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    m_view.WorldToScreen({tile.x / n, tile.y / n}, x0, y0);
    m_view.WorldToScreen({(tile.x + 1) / n, (tile.y + 1) / n}, x1, y1);
    return QRect(QPoint(static_cast<int>(std::lround(x0)), static_cast<int>(std::lround(y0))),
                 QPoint(static_cast<int>(std::lround(x1)) - 1, static_cast<int>(std::lround(y1)) - 1));
}

void MapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const bool tilesShown = DrawTiles(painter);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawGraticule(painter);
    DrawOverlay(painter);
    DrawScaleBar(painter);
    DrawNotes(painter, tilesShown);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool MapView::DrawTiles(QPainter& painter) {
    const int z = m_view.TileZoom(m_source->MaxZoom());
    m_source->Want(m_view.TilesInView(z, 1));

    // Scaled tiles (between levels, or a lower level standing in) are smoothed.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    bool drawn = false;
    for (const TileId& tile : m_view.TilesInView(z, 0)) {
        const QRect target = TileRect(tile);
        if (const QImage* image = m_source->Tile(tile)) {
            painter.drawImage(target, *image);
            drawn = true;
            continue;
        }
        for (int up = 1; up <= std::min(z, kFallbackLevels); ++up) {
            const TileId parent = Ancestor(tile, up);
            const QImage* image = m_source->Tile(parent);
            if (image == nullptr) continue;
            const double part = static_cast<double>(image->width()) / (1 << up);
            const QRectF source((tile.x - (parent.x << up)) * part, (tile.y - (parent.y << up)) * part, part, part);
            painter.drawImage(QRectF(target), *image, source);
            drawn = true;
            break;
        }
    }
    return drawn;
}

void MapView::DrawGraticule(QPainter& painter) const {
    // Lines of latitude and longitude at a round step that gives a handful across.
    const GeoPoint topLeft = GeoAt({0, 0}), bottomRight = GeoAt(QPointF(width(), height()));
    const double lat0 = bottomRight.lat, lat1 = topLeft.lat, lon0 = topLeft.lon, lon1 = bottomRight.lon;
    const double step = NiceStep(std::max(lat1 - lat0, lon1 - lon0) / 4);
    if (!(step > 0) || (lat1 - lat0) / step > 50 || (lon1 - lon0) / step > 50) return;
    const QFont small(font().family(), std::max(7, font().pointSize() - 2));
    painter.setFont(small);
    const int places = std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 6);
    const QRectF kept = LabelFreeArea();
    // One line with its label at `at`; a label the edge would cut, or the overlay's own box
    // would cover, is left out: the line says enough.
    auto gridLine = [&](const QPointF& a, const QPointF& b, double value, const QPointF& at) {
        painter.setPen(QPen(kGraticule, 1));
        painter.drawLine(a, b);
        const QString label = QString::number(value, 'f', places) + QChar(0xB0);
        const QRectF room = LabelRect(painter, at, label);
        if (room.right() >= width() - 2 || kept.intersects(room)) return;
        painter.setPen(kGraticuleText);
        painter.drawText(at, label);
    };
    for (double lat = std::ceil(lat0 / step) * step; lat <= lat1; lat += step) {
        const QPointF a = ScreenOf({lat, lon0});
        gridLine(a, ScreenOf({lat, lon1}), lat, QPointF(4, a.y() - 2));
    }
    for (double lon = std::ceil(lon0 / step) * step; lon <= lon1; lon += step) {
        const QPointF b = ScreenOf({lat1, lon});
        gridLine(ScreenOf({lat0, lon}), b, lon, QPointF(b.x() + 2, 12));
    }
}

void MapView::DrawScaleBar(QPainter& painter) const {
    const ScaleBar bar = ScaleBarFor(m_view, width() / 4.0);
    if (!(bar.pixels > 0)) return;
    const QString text = DistanceText(bar.metres);
    const QFontMetrics metrics(painter.font());
    const QPointF left(12, height() - 14);
    // A light backing keeps the bar readable over any tile.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.drawRect(QRectF(left.x() - 4, left.y() - metrics.height() - 6,
                            std::max(bar.pixels, metrics.horizontalAdvance(text) + 4.0) + 8, metrics.height() + 10));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(left, left + QPointF(bar.pixels, 0));
    painter.drawLine(left, left + QPointF(0, -5));
    painter.drawLine(left + QPointF(bar.pixels, 0), left + QPointF(bar.pixels, -5));
    painter.drawText(left + QPointF(4, -6), text);
}

QRectF MapView::LabelRect(const QPainter& painter, const QPointF& baseline, const QString& label) {
    const QFontMetricsF metrics(painter.font());
    return {baseline.x(), baseline.y() - metrics.ascent(), metrics.horizontalAdvance(label), metrics.height()};
}

void MapView::DrawNotes(QPainter& painter, bool tilesShown) const {
    QFont small = font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() - 1));
    painter.setFont(small);
    const QFontMetrics metrics(small);
    auto note = [&](const QString& text, bool bottom, const QColor& colour) {
        const QRect room = metrics.boundingRect(text).adjusted(-4, -1, 4, 1);
        QRect box(QPoint(0, 0), room.size());
        box.moveRight(width() - 2);
        if (bottom) box.moveBottom(height() - 2);
        else box.moveTop(2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 200));
        painter.drawRect(box);
        painter.setPen(colour);
        painter.drawText(box, Qt::AlignCenter, text);
    };
    // The source is credited for the tiles it gave; over the plain background it would
    // claim a map that is not there.
    const QString attribution = m_source->Attribution();
    if (tilesShown && !attribution.isEmpty()) note(attribution, true, QColor(40, 40, 40));
    if (m_source->Failed()) {
        std::wstring offline;
        LoadLanguageString(m_langId, IDS_MAP_OFFLINE, offline);
        note(ToQString(offline), false, QColor(110, 110, 110));
    }
}

void MapView::wheelEvent(QWheelEvent* e) {
    // Zoom about the point under the cursor, so it stays where it is.
    m_view.ZoomAbout(m_view.Zoom() + e->angleDelta().y() * std::log2(1.0015), e->position().x(), e->position().y());
    m_userMoved = true;
    update();
}

void MapView::mousePressEvent(QMouseEvent* e) { m_dragFrom = e->pos(); }

void MapView::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton)) return;
    const QPoint delta = e->pos() - m_dragFrom;
    m_dragFrom = e->pos();
    m_view.PanBy(delta.x(), delta.y());
    m_userMoved = true;
    update();
}

void MapView::mouseDoubleClickEvent(QMouseEvent*) {
    m_userMoved = false;
    FitRequested();
}

void MapView::resizeEvent(QResizeEvent*) {
    m_view.SetSize(width(), height());
    if (!m_userMoved) FitRequested();
}

}  // namespace wing
