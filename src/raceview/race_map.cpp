#include "raceview/race_map.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

#include "flightview/flight_map.h"

namespace wing {
namespace {

// Points on the screen with those that would land within a pixel and a half of the last
// one kept left out (the final point is always kept): a day's fixes seen from afar are a
// few hundred pixels, not thousands, and a tail is a handful of strokes, not a stroke per fix.
template <typename Points, typename ToScreen>
QPolygonF Thinned(const Points& points, ToScreen toScreen) {
    QPolygonF line;
    QPointF last(-1e9, -1e9);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF at = toScreen(points[i]);
        if ((at - last).manhattanLength() < 1.5 && i + 1 != points.size()) continue;
        line.append(at);
        last = at;
    }
    return line;
}

QPolygonF Thinned(const MapViewport& view, const std::vector<WorldPoint>& points) {
    return Thinned(points, [&](const WorldPoint& w) {
        double x = 0, y = 0;
        view.WorldToScreen(w, x, y);
        return QPointF(x, y);
    });
}

QPolygonF Projected(const MapView& map, const std::vector<GeoPoint>& points) {
    return Thinned(points, [&](const GeoPoint& p) { return map.ScreenOf(p); });
}

}  // namespace

std::vector<QColor> BirdColours(std::size_t n) {
    std::vector<QColor> colours;
    colours.reserve(n);
    // Hues a golden angle apart stay apart however many birds there are; every third one
    // darker, so neighbours differ in brightness as well.
    for (std::size_t i = 0; i < n; ++i) {
        const double hue = std::fmod(static_cast<double>(i) * 0.618033988749895, 1.0);
        colours.push_back(QColor::fromHsvF(static_cast<float>(hue), 0.85f, i % 3 == 2 ? 0.6f : 0.85f));
    }
    return colours;
}

RaceMap::RaceMap(TileSourceOptions tiles, unsigned langId, QWidget* parent) : MapView(std::move(tiles), langId, parent) {}

void RaceMap::SetRace(const RaceReplay& replay, std::vector<RaceMapBird> birds) {
    m_replay = &replay;
    m_birds = std::move(birds);
    m_world.clear();
    for (const RaceMapBird& bird : m_birds) {
        std::vector<WorldPoint>& world = m_world.emplace_back();
        world.reserve(bird.track.size());
        for (const GeoPoint& p : bird.track) world.push_back(ToWorld(p));
    }
    m_time = replay.Start();
    m_highlight.reset();
    m_tracksKey.clear();
    m_legendKey.clear();
    SetUserMoved(false);
    FitToRace();
}

void RaceMap::FitToRace() {
    std::vector<GeoPoint> points;
    if (m_replay) points.push_back(m_replay->ReleasePoint());
    for (const RaceMapBird& bird : m_birds) {
        points.insert(points.end(), bird.track.begin(), bird.track.end());
        if (bird.loft) points.push_back(*bird.loft);
    }
    if (points.empty()) points.push_back({0, 0});
    // The tracks stay right of the legend, unless it would take most of a narrow view.
    const double margin = 40;
    const double legendRight = LegendLayout().box.right() + 12;
    FitTo(points, margin, 15, legendRight - margin < width() / 3.0 ? std::max(0.0, legendRight - margin) : 0.0);
}

void RaceMap::SetReplayTime(double t) {
    m_time = t;
    if (m_follow) FollowLeader();
    update();
}

void RaceMap::SetFollowLeader(bool follow) {
    m_follow = follow;
    if (m_follow) FollowLeader();
    update();
}

void RaceMap::FollowLeader() {
    if (!m_replay) return;
    if (const auto leader = m_replay->LeaderAt(m_time)) SetView(m_replay->PositionAt(*leader, m_time), Viewport().Zoom());
}

void RaceMap::Highlight(std::optional<std::size_t> bird) {
    if (bird && *bird >= m_birds.size()) bird.reset();
    if (bird == m_highlight) return;
    m_highlight = bird;
    m_tracksKey.clear();
    update();
}

QPointF RaceMap::MarkerAt(std::size_t bird) const {
    if (!m_replay || bird >= m_replay->BirdCount()) return {};
    return ScreenOf(m_replay->PositionAt(bird, m_time));
}

void RaceMap::DrawOverlay(QPainter& painter) const {
    DrawTracks(painter);
    DrawPins(painter);
    DrawMarkers(painter);
    DrawLegend(painter);
}

void RaceMap::DrawTracks(QPainter& painter) const {
    const MapViewport& view = Viewport();
    const qreal ratio = devicePixelRatioF();
    const QString key = QStringLiteral("%1 %2x%3 %4").arg(view.Zoom(), 0, 'g', 17).arg(width()).arg(height()).arg(ratio);
    // Where the layer's centre lies now, relative to the view's centre: the pan since it was drawn.
    double x = 0, y = 0;
    view.WorldToScreen(m_tracksCentre, x, y);
    const QPointF shift(std::round((x - view.Width() / 2) * ratio) / ratio, std::round((y - view.Height() / 2) * ratio) / ratio);
    const QSize margin = TrackMargin(size());
    if (key != m_tracksKey || std::abs(shift.x()) > margin.width() || std::abs(shift.y()) > margin.height()) {
        DrawTrackLayer(margin, ratio);
        m_tracksKey = key;
        m_tracksCentre = view.Centre();
        painter.drawPixmap(QPointF(-margin.width(), -margin.height()), m_tracks);
        return;
    }
    painter.drawPixmap(QPointF(-margin.width(), -margin.height()) + shift, m_tracks);
}

// Half the view on every side: following a bird re-renders the tracks every few hundred
// pixels of its flight instead of every frame.
QSize RaceMap::TrackMargin(const QSize& view) { return {view.width() / 2, view.height() / 2}; }

void RaceMap::DrawTrackLayer(const QSize& margin, qreal ratio) const {
    const MapViewport& view = Viewport();
    m_tracks = QPixmap((QSizeF(size() + 2 * margin) * ratio).toSize());
    m_tracks.setDevicePixelRatio(ratio);
    m_tracks.fill(Qt::transparent);
    QPainter layer(&m_tracks);
    layer.translate(margin.width(), margin.height());
    layer.setRenderHint(QPainter::Antialiasing);
    layer.setPen(Qt::NoPen);
    layer.setBrush(kFlaggedPoint);
    for (const RaceMapBird& bird : m_birds)
        for (const GeoPoint& p : bird.flagged) layer.drawEllipse(ScreenOf(p), 2.5, 2.5);
    for (std::size_t i = 0; i < m_birds.size(); ++i) {
        if (m_highlight == i) continue;
        QColor colour = m_birds[i].colour;
        if (m_highlight) colour.setAlpha(90);  // the others step back behind the chosen bird
        layer.setPen(QPen(colour, 2, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        layer.drawPolyline(Thinned(view, m_world[i]));
    }
    if (m_highlight) {
        const RaceMapBird& bird = m_birds[*m_highlight];
        layer.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        const QPolygonF line = Thinned(view, m_world[*m_highlight]);
        layer.drawPolyline(line);
        layer.setPen(QPen(bird.colour, 4, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        layer.drawPolyline(line);
    }
    for (const RaceMapBird& bird : m_birds)
        for (const GeoPoint& rest : bird.rests) DrawRestRing(layer, ScreenOf(rest));
}

void RaceMap::DrawPins(QPainter& painter) const {
    if (!m_replay) return;
    DrawPin(painter, ScreenOf(m_replay->ReleasePoint()), kReleasePin, QStringLiteral("R"));
    std::vector<QPointF> drawn;
    for (const RaceMapBird& bird : m_birds) {
        if (!bird.loft) continue;
        const QPointF at = ScreenOf(*bird.loft);
        // Birds of one loft share its pin.
        if (std::any_of(drawn.begin(), drawn.end(), [&](const QPointF& d) { return (d - at).manhattanLength() < 2; }))
            continue;
        drawn.push_back(at);
        DrawPin(painter, at, kLoftPin, QString());
    }
}

void RaceMap::DrawMarkers(QPainter& painter) const {
    if (!m_replay) return;
    painter.setRenderHint(QPainter::Antialiasing);
    const std::size_t n = std::min(m_birds.size(), m_replay->BirdCount());
    auto draw = [&](std::size_t i) {
        const RaceMapBird& bird = m_birds[i];
        if (bird.track.empty()) return;  // a bird that could not be judged has no place
        const bool chosen = m_highlight == i;
        const QPointF at = MarkerAt(i);
        if (m_replay->ArrivedBy(i, m_time)) {
            // Home: on its loft, with its place.
            painter.setPen(QPen(Qt::black, 1));
            painter.setBrush(bird.colour);
            painter.drawEllipse(at, chosen ? 9 : 7, chosen ? 9 : 7);
            if (bird.rank > 0) {
                painter.setPen(Qt::black);
                painter.drawText(at + QPointF(10, 5), QString::number(bird.rank));
            }
            return;
        }
        painter.setPen(QPen(bird.colour, chosen ? 5 : 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(Projected(*this, m_replay->TailAt(i, m_time, kTailSeconds)));
        painter.setPen(QPen(chosen ? Qt::black : Qt::white, chosen ? 2 : 1.5));
        painter.setBrush(bird.colour);
        painter.drawEllipse(at, chosen ? 8 : 6, chosen ? 8 : 6);
    };
    for (std::size_t i = 0; i < n; ++i)
        if (m_highlight != i) draw(i);
    if (m_highlight && *m_highlight < n) draw(*m_highlight);  // on top of the others
}

RaceMap::Legend RaceMap::LegendLayout() const {
    // Asked twice a frame (the graticule keeps out of it, then it is drawn): measured again
    // only when the birds, the height or the font change.
    const QString key = QString::number(height()) + QLatin1Char(' ') + font().key();
    if (key != m_legendKey) {
        m_legend = MeasureLegend();
        m_legendKey = key;
    }
    return m_legend;
}

RaceMap::Legend RaceMap::MeasureLegend() const {
    Legend legend;
    if (m_birds.empty()) return legend;
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);  // the chosen bird's label is bold: room for it in any row
    legend.line = metrics.height() + 2;
    // As many birds as fit above the scale bar; the rest are counted.
    const int room = std::max(1, (height() - 60) / legend.line - 1);
    legend.shown = std::min<int>(static_cast<int>(m_birds.size()), room);
    const bool more = legend.shown < static_cast<int>(m_birds.size());
    legend.widest = 0;
    for (int i = 0; i < legend.shown; ++i)
        legend.widest = std::max(legend.widest, metrics.horizontalAdvance(m_birds[i].label));
    if (more) legend.rest = QStringLiteral("+%1").arg(m_birds.size() - static_cast<std::size_t>(legend.shown));
    legend.widest = std::max(legend.widest, metrics.horizontalAdvance(legend.rest));
    legend.box = QRectF(8, 8, legend.widest + 34, legend.line * (legend.shown + (more ? 1 : 0)) + 8);
    return legend;
}

QRectF RaceMap::LabelFreeArea() const { return LegendLayout().box; }

void RaceMap::DrawLegend(QPainter& painter) const {
    const Legend legend = LegendLayout();
    if (legend.box.isEmpty()) return;
    const QRectF& box = legend.box;
    const int line = legend.line;
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter.setBrush(QColor(255, 255, 255, 215));
    painter.drawRoundedRect(box, 4, 4);
    for (int i = 0; i < legend.shown; ++i) {
        const RaceMapBird& bird = m_birds[static_cast<std::size_t>(i)];
        const double y = box.top() + 4 + i * line;
        painter.setPen(Qt::NoPen);
        painter.setBrush(bird.colour);
        painter.drawRoundedRect(QRectF(box.left() + 6, y + line / 2.0 - 5, 18, 10), 2, 2);
        QFont f = font();
        f.setBold(m_highlight == static_cast<std::size_t>(i));
        painter.setFont(f);
        painter.setPen(bird.track.empty() ? QColor(128, 128, 128) : QColor(Qt::black));
        painter.drawText(QRectF(box.left() + 28, y, legend.widest + 4, line), Qt::AlignVCenter | Qt::AlignLeft, bird.label);
    }
    painter.setFont(font());
    if (!legend.rest.isEmpty()) {
        painter.setPen(Qt::black);
        painter.drawText(QRectF(box.left() + 28, box.top() + 4 + legend.shown * line, legend.widest + 4, line),
                         Qt::AlignVCenter, legend.rest);
    }
}

}  // namespace wing
