#include "raceview/race_chart.h"

#include <QGraphicsLineItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <functional>

#include "flightview/picture.h"
#include "framework/qt_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

// Beyond this many birds the chart has no legend of its own: the map's names the colours.
constexpr std::size_t kMostLegendEntries = 12;

QString Text(unsigned langId, unsigned id) {
    std::wstring text;
    if (!LoadLanguageString(langId, id, text)) LoadLanguageString(LANG_EN_US, id, text);
    return ToQString(text);
}

// A press on the plot or an arrow key on the chart, passed on as a place or a step.
class InputFilter : public QObject {
public:
    InputFilter(QObject* parent, std::function<void(QPoint)> pressed, std::function<void(int)> stepped)
        : QObject(parent), m_pressed(std::move(pressed)), m_stepped(std::move(stepped)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) {
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
    std::function<void(QPoint)> m_pressed;
    std::function<void(int)> m_stepped;
};

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
        return std::clamp(start + share * (end - start), start, end);
    }

    void PlaceCursor() const {
        if (cursorLine == nullptr) return;
        const QRectF area = view->chart()->plotArea();
        if (end <= start || cursor < start || cursor > end) {
            cursorLine->setVisible(false);
            return;
        }
        const double x = area.left() + (cursor - start) / (end - start) * area.width();
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
    auto* filter = new InputFilter(
        this, [this, choose](QPoint pos) { if (m_parts->end > m_parts->start) choose(m_parts->TimeAt(pos)); },
        [this, choose](int direction) {
            // A hundredth of the race a key press.
            if (m_parts->end <= m_parts->start) return;
            const double step = (m_parts->end - m_parts->start) / 100;
            choose(std::clamp(m_parts->cursor + direction * step, m_parts->start, m_parts->end));
        });
    m_parts->view->viewport()->installEventFilter(filter);
    m_parts->view->installEventFilter(filter);
}

RaceDistanceChart::~RaceDistanceChart() = default;

void RaceDistanceChart::SetReplay(const RaceReplay& replay, const std::vector<QColor>& colours,
                                  const std::vector<QString>& names) {
    Parts& p = *m_parts;
    auto* chart = new QChart();
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setVisible(replay.BirdCount() <= kMostLegendEntries);
    p.start = replay.Start();
    // A race of no length still gets an axis a minute long.
    p.end = std::max(replay.End(), p.start + 60);
    p.colours = colours;
    p.lines.assign(replay.BirdCount(), nullptr);

    auto* hours = new QValueAxis();
    hours->setTitleText(Text(p.langId, IDS_RACE_CHART_HOURS));
    hours->setRange(0, (p.end - p.start) / 3600);
    hours->setLabelFormat("%.1f");
    auto* km = new QValueAxis();
    km->setTitleText(Text(p.langId, IDS_RACE_CHART_DISTANCE));
    km->setLabelFormat("%.0f");
    chart->addAxis(hours, Qt::AlignBottom);
    chart->addAxis(km, Qt::AlignLeft);

    double most = 1;
    for (std::size_t bird = 0; bird < replay.BirdCount(); ++bird) {
        const auto series = replay.DistanceSeries(bird);
        if (series.empty()) continue;
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(series.size()));
        for (const auto& [t, metres] : series) {
            points.append(QPointF((t - p.start) / 3600, metres / 1000));
            most = std::max(most, metres / 1000);
        }
        auto* line = new QLineSeries();
        line->replace(points);
        line->setName(bird < names.size() ? names[bird] : QString::number(bird + 1));
        chart->addSeries(line);
        line->attachAxis(hours);
        line->attachAxis(km);
        p.lines[bird] = line;
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
    if (p.highlighted && *p.highlighted >= p.lines.size()) p.highlighted.reset();
    p.ApplyHighlight();
    p.PlaceCursor();
}

void RaceDistanceChart::SetCursor(double t) {
    m_parts->cursor = t;
    m_parts->PlaceCursor();
}

double RaceDistanceChart::Cursor() const { return m_parts->cursor; }

void RaceDistanceChart::Highlight(std::optional<std::size_t> bird) {
    if (bird && *bird >= m_parts->lines.size()) bird.reset();
    m_parts->highlighted = bird;
    m_parts->ApplyHighlight();
}

std::optional<ExportFailure> RaceDistanceChart::Save(const std::filesystem::path& path) const {
    return SaveWidgetPicture(*m_parts->view, path);
}

}  // namespace wing
