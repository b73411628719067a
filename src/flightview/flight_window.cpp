#include "flightview/flight_window.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "flightview/flight_chart.h"
#include "flightview/flight_map.h"
#include "framework/qt_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

QString LocalTime(std::int64_t utc) {
    return QDateTime::fromSecsSinceEpoch(utc).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString Duration(std::int64_t seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
}

QString Km(double metres) { return QString::number(metres / 1000.0, 'f', 3) + " km"; }

// Records that are positions a figure may use, by index, with the speed to the next one.
std::vector<int> GoodIndices(const FlightSummary& summary) {
    std::vector<int> good;
    for (int i = 0; i < static_cast<int>(summary.flags.size()); ++i)
        if (summary.flags[i] == PointFlag::Ok) good.push_back(i);
    return good;
}

}  // namespace

FlightMapData MapDataOf(const CLogRecordList& records, const FlightSummary& summary, const std::optional<GeoPoint>& loft) {
    FlightMapData data;
    for (std::size_t i = 0; i < records.size() && i < summary.flags.size(); ++i) {
        const CLogRecord& r = records[i];
        if (summary.flags[i] == PointFlag::NotPosition) continue;
        MapPoint p;
        p.where = {r.LatitudeDegrees(), r.LongitudeDegrees()};
        p.time = r.time;
        p.speedKmh = r.SpeedKmh();
        p.flagged = summary.flags[i] != PointFlag::Ok;
        data.track.push_back(p);
    }
    if (summary.release) data.release = summary.release->point;
    data.loft = loft;
    for (const auto& rest : summary.rests) data.rests.push_back({rest.centre, rest.durationSeconds});
    return data;
}

FlightWindow::FlightWindow(const ArchivedDownload& download, const LoftSetting& loft, unsigned langId, QWidget* parent)
    : QWidget(parent, Qt::Window), m_langId(langId), m_records(RecordsOf(download)), m_loft(loft) {
    FlightInput input;
    input.settings.arrivalRadiusMetres = loft.arrivalRadiusMetres;
    if (loft.position) input.loft = *loft.position;
    m_summary = AnalyseFlight(m_records, input);
    if (!loft.position) {
        // Without a loft there is no velocity; the track and the rests still are the flight.
        m_summary.arrival.reset();
        m_summary.distanceMetres.reset();
        m_summary.flightSeconds.reset();
        m_summary.velocityMetresPerMinute.reset();
        m_summary.velocityYardsPerMinute.reset();
        m_summary.routeEfficiency.reset();
    }

    setWindowTitle(Text(IDS_FLIGHT_TITLE) + " - " + ToQString(download.serial) + " - " + LocalTime(download.downloadedUtc));
    m_map = new FlightMap(this);
    m_map->SetData(MapDataOf(m_records, m_summary, loft.position));
    m_chart = new FlightChart(Text(IDS_FLIGHT_SPEED_AXIS), Text(IDS_FLIGHT_ALTITUDE_AXIS), this);
    std::vector<ChartPoint> points;
    for (int i : GoodIndices(m_summary))
        points.push_back({m_records[i].time, static_cast<double>(m_records[i].SpeedKmh()),
                          static_cast<double>(m_records[i].altitude)});
    std::vector<ChartRest> rests;
    for (const auto& rest : m_summary.rests) rests.push_back({rest.start, rest.start + rest.durationSeconds});
    m_chart->SetData(points, rests);
    connect(m_map, &FlightMap::Hovered, this, [this](qint64 t) { m_chart->SetHighlight(t); });
    connect(m_chart, &FlightChart::Hovered, this, [this](qint64 t) { m_map->SetHighlight(t); });

    auto* summary = new QWidget(this);
    auto* grid = new QGridLayout(summary);
    BuildSummary(grid);
    grid->setRowStretch(grid->rowCount(), 1);

    auto* close = new QPushButton(Text(IDS_FLIGHT_CLOSE), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_map);
    split->addWidget(m_chart);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    auto* side = new QVBoxLayout();
    side->addWidget(summary, 1);
    side->addWidget(close, 0, Qt::AlignRight);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(side);
    resize(980, 680);
}

QString FlightWindow::Text(unsigned id) const {
    std::wstring text;
    LoadLanguageString(m_langId, id, text);
    return ToQString(text);
}

void FlightWindow::AddLine(QGridLayout* grid, unsigned labelId, const QString& value) {
    const int row = grid->rowCount();
    auto* label = new QLabel(Text(labelId), this);
    auto* shown = new QLabel(value, this);
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
    shown->setWordWrap(true);
    label->setBuddy(shown);
    grid->addWidget(label, row, 0, Qt::AlignTop);
    grid->addWidget(shown, row, 1, Qt::AlignTop);
    m_lines.emplace_back(label->text(), value);
}

void FlightWindow::BuildSummary(QGridLayout* grid) {
    const FlightSummary& s = m_summary;
    if (!m_loft.position) {
        auto* note = new QLabel(Text(IDS_FLIGHT_NO_LOFT), this);
        note->setWordWrap(true);
        note->setStyleSheet(QStringLiteral("color: #7f0000"));
        grid->addWidget(note, grid->rowCount(), 0, 1, 2);
    }
    if (s.velocityMetresPerMinute) {
        auto* velocity = new QLabel(QString::number(*s.velocityMetresPerMinute, 'f', 2) + " m/min", this);
        QFont big = velocity->font();
        big.setPointSize(big.pointSize() + 6);
        big.setBold(true);
        velocity->setFont(big);
        velocity->setAccessibleName(Text(IDS_FLIGHT_VELOCITY));
        grid->addWidget(velocity, grid->rowCount(), 0, 1, 2);
        AddLine(grid, IDS_FLIGHT_VELOCITY,
                QString::number(*s.velocityMetresPerMinute, 'f', 2) + " m/min   " +
                    QString::number(*s.velocityYardsPerMinute, 'f', 2) + " yd/min");
    }
    if (s.release) {
        QString release = LocalTime(s.release->time);
        if (s.release->Estimated()) release += " (" + Text(IDS_FLIGHT_ESTIMATED) + ")";
        AddLine(grid, IDS_FLIGHT_RELEASE, release);
    }
    if (m_loft.position) AddLine(grid, IDS_FLIGHT_ARRIVAL, s.arrival ? LocalTime(s.arrival->time) : Text(IDS_FLIGHT_NOT_ARRIVED));
    if (s.flightSeconds) AddLine(grid, IDS_FLIGHT_TIME, Duration(*s.flightSeconds));
    if (s.distanceMetres) AddLine(grid, IDS_FLIGHT_DISTANCE, Km(*s.distanceMetres));
    if (s.pathMetres) AddLine(grid, IDS_FLIGHT_PATH, Km(*s.pathMetres));
    if (s.routeEfficiency) AddLine(grid, IDS_FLIGHT_EFFICIENCY, QString::number(*s.routeEfficiency * 100, 'f', 1) + " %");
    if (s.averageSpeedKmh && s.maxSpeedKmh)
        AddLine(grid, IDS_FLIGHT_SPEED,
                QString::number(*s.averageSpeedKmh, 'f', 1) + " / " + QString::number(*s.maxSpeedKmh, 'f', 1) + " km/h");
    if (s.maxLoggerSpeedKmh) AddLine(grid, IDS_FLIGHT_LOGGER_SPEED, QString::number(*s.maxLoggerSpeedKmh) + " km/h");
    if (s.maxAltitudeMetres) AddLine(grid, IDS_FLIGHT_ALTITUDE, QString::number(*s.maxAltitudeMetres) + " m");
    QString rests = QString::number(s.rests.size());
    for (const auto& rest : s.rests)
        rests += "\n" + LocalTime(rest.start).mid(11) + "  " + QString::number(rest.durationSeconds / 60) + " min";
    AddLine(grid, IDS_FLIGHT_RESTS, rests);
    const int leftOut = s.counts.noFix + s.counts.zeroPosition + s.counts.outOfRange + s.counts.spike;
    AddLine(grid, IDS_FLIGHT_LEFT_OUT, QString::number(leftOut));
}

}  // namespace wing
