#include "raceview/race_chart.h"

#include <QGraphicsLineItem>
#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <functional>

#include "flightview/picture.h"
#include "framework/qt_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

QString Text(unsigned langId, unsigned id) {
    std::wstring text;
    if (!LoadLanguageString(langId, id, text)) LoadLanguageString(LANG_EN_US, id, text);
    return ToQString(text);
}

// A press on the plot or an arrow key on the chart, passed on as a place or a step.
class InputFilter : public QObject {
public:
    InputFilter(QAbstractScrollArea* view, std::function<void(QPoint)> pressed, std::function<void(int)> stepped)
        : QObject(view), m_surface(view->viewport()), m_pressed(std::move(pressed)), m_stepped(std::move(stepped)) {
        view->installEventFilter(this);
        m_surface->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A press the drawing surface leaves unused comes to the view as well: taken once.
        if (event->type() == QEvent::MouseButtonPress && watched == m_surface) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) m_pressed(mouse->position().toPoint());
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Right) {
                m_stepped(key == Qt::Key_Left ? -1 : 1);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QObject* m_surface;
    std::function<void(QPoint)> m_pressed;
    std::function<void(int)> m_stepped;
};

// The line's points with those that lie within `tolerance` of the line through their
// neighbours left out (Douglas-Peucker, x and y each scaled to the axis's span): a bird's
// 2048 fixes drawn as the few dozen its shape needs, the same on the screen to a pixel.
QList<QPointF> Thinned(const QList<QPointF>& points, double xSpan, double ySpan, double tolerance) {
    const qsizetype n = points.size();
    if (n < 3 || xSpan <= 0 || ySpan <= 0) return points;
    std::vector<bool> keep(static_cast<std::size_t>(n), false);
    keep.front() = keep.back() = true;
    std::vector<std::pair<qsizetype, qsizetype>> stack{{0, n - 1}};
    while (!stack.empty()) {
        const auto [first, last] = stack.back();
        stack.pop_back();
        const double ax = points[first].x() / xSpan, ay = points[first].y() / ySpan;
        const double dx = points[last].x() / xSpan - ax, dy = points[last].y() / ySpan - ay;
        const double length = std::hypot(dx, dy);
        double farthest = 0;
        qsizetype at = -1;
        for (qsizetype i = first + 1; i < last; ++i) {
            const double px = points[i].x() / xSpan - ax, py = points[i].y() / ySpan - ay;
            const double d = length > 0 ? std::abs(px * dy - py * dx) / length : std::hypot(px, py);
            if (d > farthest) farthest = d, at = i;
        }
        if (at < 0 || farthest <= tolerance) continue;
        keep[static_cast<std::size_t>(at)] = true;
        stack.push_back({first, at});
        stack.push_back({at, last});
    }
    QList<QPointF> out;
    for (qsizetype i = 0; i < n; ++i)
        if (keep[static_cast<std::size_t>(i)]) out.append(points[i]);
    return out;
}

// What thinning may move a point, as a share of the axes: under a pixel on a chart 2000 wide.
constexpr double kThinning = 0.0005;

QPen LinePen(QColor colour, double width) {
    QPen pen(colour, width);
    pen.setCosmetic(true);
    return pen;
}

}  // namespace

struct RaceDistanceChart::Parts {
    unsigned langId = LANG_EN_US;
    QChartView* view = nullptr;
    QGraphicsLineItem* cursorLine = nullptr;
    QValueAxis* hours = nullptr;      // hours after the release
    std::vector<QLineSeries*> lines;  // by bird; none for a bird without a line
    std::vector<QColor> colours;
    double start = 0;                 // the release: hours on the axis count from it
    double end = 0;
    double cursor = 0;
    std::optional<std::size_t> highlighted;

    // The time at a position on the view (clamped to the race), from the plot's edges.
    double TimeAt(QPoint viewPos) const {
        const QRectF area = view->chart()->plotArea();
        const QPointF at = view->chart()->mapFromScene(view->mapToScene(viewPos));
        const double share = area.width() > 0 ? (at.x() - area.left()) / area.width() : 0;
        return std::clamp(start + (hours->min() + share * (hours->max() - hours->min())) * 3600, start, end);
    }

    void PlaceCursor() const {
        if (cursorLine == nullptr) return;
        const QRectF area = view->chart()->plotArea();
        const double span = hours->max() - hours->min();
        if (span <= 0 || cursor < start || cursor > end) {
            cursorLine->setVisible(false);
            return;
        }
        const double x = area.left() + ((cursor - start) / 3600 - hours->min()) / span * area.width();
        cursorLine->setLine(x, area.top(), x, area.bottom());
        cursorLine->setVisible(true);
    }

    void ApplyHighlight() const {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i] == nullptr) continue;
            QColor colour = i < colours.size() ? colours[i] : QColor(Qt::darkGray);
            double width = 2;
            if (highlighted && *highlighted == i) {
                width = 4;
            } else if (highlighted) {
                colour.setAlpha(70);  // the others stay in sight, faded
                width = 1.5;
            }
            lines[i]->setPen(LinePen(colour, width));
        }
        // The highlighted line is drawn over the others.
        if (highlighted && *highlighted < lines.size() && lines[*highlighted] != nullptr) {
            QChart* chart = view->chart();
            QLineSeries* top = lines[*highlighted];
            const auto axes = top->attachedAxes();
            chart->removeSeries(top);
            chart->addSeries(top);
            for (QAbstractAxis* axis : axes) top->attachAxis(axis);
        }
    }
};

RaceDistanceChart::RaceDistanceChart(unsigned langId, QWidget* parent)
    : QWidget(parent), m_parts(std::make_unique<Parts>()) {
    m_parts->langId = langId;
    m_parts->view = new QChartView(this);
    m_parts->view->setRenderHint(QPainter::Antialiasing);
    m_parts->view->setMinimumHeight(160);
    m_parts->view->setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_parts->view);
    const QString name = Text(langId, IDS_RACE_CHART_TITLE);
    const QString hint = Text(langId, IDS_RACE_CHART_HINT);
    setAccessibleName(name);
    // The keyboard's focus lands on the view and its drawing surface: they carry the name too.
    for (QWidget* w : {static_cast<QWidget*>(m_parts->view), m_parts->view->viewport()}) {
        w->setAccessibleName(name);
        w->setAccessibleDescription(hint);
    }
    m_parts->view->setToolTip(hint);

    auto choose = [this](double t) {
        SetCursor(t);
        Q_EMIT TimeChosen(t);
    };
    new InputFilter(
        m_parts->view, [this, choose](QPoint pos) { if (m_parts->hours != nullptr) choose(m_parts->TimeAt(pos)); },
        [this, choose](int direction) {
            // A hundredth of the race a key press.
            if (m_parts->hours == nullptr) return;
            const double step = (m_parts->end - m_parts->start) / 100;
            choose(std::clamp(m_parts->cursor + direction * step, m_parts->start, m_parts->end));
        });
}

RaceDistanceChart::~RaceDistanceChart() = default;

void RaceDistanceChart::SetReplay(const RaceReplay& replay, const std::vector<QColor>& colours,
                                  const std::vector<QString>& names) {
    Parts& p = *m_parts;
    auto* chart = new QChart();
    chart->setMargins(QMargins(4, 4, 4, 4));
    // The map's legend names the colours; here a line names its bird when pointed at.
    chart->legend()->hide();
    p.start = replay.Start();
    // A race of no length still gets an axis a minute long.
    p.end = std::max(replay.End(), p.start + 60);
    p.colours = colours;
    p.lines.assign(replay.BirdCount(), nullptr);

    auto* hours = new QValueAxis();
    hours->setTitleText(Text(p.langId, IDS_RACE_CHART_HOURS));
    hours->setRange(0, (p.end - p.start) / 3600);
    hours->applyNiceNumbers();  // ticks on round hours or tenths, not on fifths of the race
    hours->setLabelFormat("%.1f");
    p.hours = hours;
    auto* km = new QValueAxis();
    km->setTitleText(Text(p.langId, IDS_RACE_CHART_DISTANCE));
    km->setLabelFormat("%.0f");
    chart->addAxis(hours, Qt::AlignBottom);
    chart->addAxis(km, Qt::AlignLeft);

    double most = 1;
    std::vector<QList<QPointF>> pointsOf(replay.BirdCount());
    for (std::size_t bird = 0; bird < replay.BirdCount(); ++bird) {
        for (const auto& [t, metres] : replay.DistanceSeries(bird)) {
            pointsOf[bird].append(QPointF((t - p.start) / 3600, metres / 1000));
            most = std::max(most, metres / 1000);
        }
    }
    for (std::size_t bird = 0; bird < replay.BirdCount(); ++bird) {
        if (pointsOf[bird].isEmpty()) continue;
        auto* line = new QLineSeries();
        line->replace(Thinned(pointsOf[bird], (p.end - p.start) / 3600, most, kThinning));
        line->setName(bird < names.size() ? names[bird] : QString::number(bird + 1));
        chart->addSeries(line);
        line->attachAxis(hours);
        line->attachAxis(km);
        p.lines[bird] = line;
        connect(line, &QLineSeries::hovered, this, [this, line](const QPointF&, bool over) {
            m_parts->view->setToolTip(over ? line->name() : Text(m_parts->langId, IDS_RACE_CHART_HINT));
        });
    }
    km->setRange(0, most * 1.05);
    km->applyNiceNumbers();

    QChart* old = p.view->chart();
    p.view->setChart(chart);
    delete old;
    p.cursorLine = new QGraphicsLineItem(chart);
    p.cursorLine->setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.cursorLine->setZValue(10);
    connect(chart, &QChart::plotAreaChanged, this, [this] { m_parts->PlaceCursor(); });
    if (p.highlighted && (*p.highlighted >= p.lines.size() || p.lines[*p.highlighted] == nullptr)) p.highlighted.reset();
    p.ApplyHighlight();
    p.PlaceCursor();
}

void RaceDistanceChart::SetCursor(double t) {
    m_parts->cursor = t;
    m_parts->PlaceCursor();
}

double RaceDistanceChart::Cursor() const { return m_parts->cursor; }

void RaceDistanceChart::Highlight(std::optional<std::size_t> bird) {
    // A bird without a line (not judged) leaves the others as they are.
    if (bird && (*bird >= m_parts->lines.size() || m_parts->lines[*bird] == nullptr)) bird.reset();
    m_parts->highlighted = bird;
    m_parts->ApplyHighlight();
}

std::optional<ExportFailure> RaceDistanceChart::Save(const std::filesystem::path& path) const {
    return SaveWidgetPicture(*m_parts->view, path);
}

}  // namespace wing
