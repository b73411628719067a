#pragma once
// The race over the map: each bird's track in its own colour with a legend of ring and
// name, flagged points greyed as in the flight window, the release and the lofts as pins,
// the rests as rings, and at the replay time a marker per bird with a short tail; an
// arrived bird's marker rests on its loft with its rank. The map follows the leading bird
// or stays where the user put it.

#include <QColor>
#include <QPixmap>
#include <QString>

#include <optional>
#include <vector>

#include "framework/map_view.h"
#include "race/replay.h"

namespace wing {

// What the map draws of one bird (by the judgement's bird index).
struct RaceMapBird {
    QString label;  // ring and name, for the legend
    QColor colour;
    int rank = 0;
    std::vector<GeoPoint> track;    // its good fixes
    std::vector<GeoPoint> flagged;  // points the analysis left out
    std::vector<GeoPoint> rests;
    std::optional<GeoPoint> loft;
};

class RaceMap : public MapView {
    Q_OBJECT
public:
    RaceMap(TileSourceOptions tiles, unsigned langId, QWidget* parent = nullptr);

    // The replay is kept by reference: it outlives the map.
    void SetRace(const RaceReplay& replay, std::vector<RaceMapBird> birds);
    void SetReplayTime(double t);
    double ReplayTime() const { return m_time; }
    void SetFollowLeader(bool follow);
    bool FollowsLeader() const { return m_follow; }
    void Highlight(std::optional<std::size_t> bird);
    std::optional<std::size_t> Highlighted() const { return m_highlight; }
    void FitToRace();
    // Where bird i's marker is drawn at the replay time (its loft once it arrived).
    QPointF MarkerAt(std::size_t bird) const;
    QSize sizeHint() const override { return {640, 480}; }

    static constexpr double kTailSeconds = 10 * 60;

protected:
    void DrawOverlay(QPainter& painter) const override;
    void FitRequested() override { FitToRace(); }
    QRectF LabelFreeArea() const override;

private:
    void DrawTracks(QPainter& painter) const;
    void DrawTrackLayer(const QSize& margin, qreal ratio) const;
    static QSize TrackMargin(const QSize& view);
    void DrawPins(QPainter& painter) const;
    void DrawMarkers(QPainter& painter) const;
    // The legend's box (empty without birds), its rows and the count of birds it leaves out.
    struct Legend {
        QRectF box;
        int line = 0;
        int shown = 0;
        int widest = 0;
        QString rest;
    };
    Legend LegendLayout() const;
    Legend MeasureLegend() const;
    void DrawLegend(QPainter& painter) const;
    void FollowLeader();

    const RaceReplay* m_replay = nullptr;
    std::vector<RaceMapBird> m_birds;
    std::vector<std::vector<WorldPoint>> m_world;  // each track projected once
    double m_time = 0;
    bool m_follow = false;
    std::optional<std::size_t> m_highlight;
    // The tracks change only with the view: drawn once per zoom and size, with a margin
    // around the view, then reused each frame, shifted while the view only pans within it.
    mutable QPixmap m_tracks;
    mutable QString m_tracksKey;
    mutable WorldPoint m_tracksCentre;  // the view's centre when the layer was drawn
    mutable Legend m_legend;
    mutable QString m_legendKey;  // the height and font it was measured for
};

// Colours far apart from each other for n birds.
std::vector<QColor> BirdColours(std::size_t n);

}  // namespace wing
