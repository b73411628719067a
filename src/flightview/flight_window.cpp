#include "flightview/flight_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QVBoxLayout>

#include <fstream>

#include "flightview/flight_chart.h"
#include "flightview/flight_map.h"
#include "flightview/picture.h"
#include "export/file_output.h"
#include "export/save_worker.h"
#include "framework/qt_text.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

QString LocalTime(std::int64_t utc, const TimeZone& zone) {
    return QString::fromStdString(zone.Format(utc, "%Y-%m-%d %H:%M:%S"));
}

// The download's zone; one this system does not know shows UTC, and the title says so.
TimeZone ZoneOf(const ArchivedDownload& download) {
    const auto zone = ArchiveZone(download);
    return std::holds_alternative<TimeZone>(zone) ? std::get<TimeZone>(zone) : TimeZone::Utc();
}

// The field shows the wall time of the download's zone whatever the PC's: a time as
// UTC does not move when the PC's own clocks change.
QDateTime WallTime(std::int64_t utc, const TimeZone& zone) {
    std::tm local{};
    if (!zone.LocalTime(utc, local)) return QDateTime::fromSecsSinceEpoch(utc, Qt::UTC);
    return QDateTime(QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
                     QTime(local.tm_hour, local.tm_min, local.tm_sec), Qt::UTC);
}

// The moment the field's wall time names in the zone: where the clocks showed it twice
// the first, where they skipped it the time read as before the change.
std::int64_t MomentOf(const QDateTime& wall, const TimeZone& zone) {
    const QDate d = wall.date();
    const QTime t = wall.time();
    return zone.FromLocal(LocalDateTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()}).earlier;
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

FlightWindow::FlightWindow(const ArchivedDownload& download, const LoftSetting& loft, unsigned langId,
                           TileSourceOptions tiles, QWidget* parent)
    : FlightWindow(download, std::vector<LoftSetting>{loft}, langId, std::move(tiles), parent) {}

FlightWindow::FlightWindow(const ArchivedDownload& download, std::vector<LoftSetting> lofts, unsigned langId,
                           TileSourceOptions tiles, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_langId(langId),
      m_serial(download.serial),
      m_records(RecordsOf(download)),
      m_zone(ZoneOf(download)),
      m_lofts(std::move(lofts)) {
    if (m_lofts.empty()) m_lofts.push_back(LoftSetting{"Loft", std::nullopt, 100});
    m_loft = m_lofts.front();
    m_input.settings.arrivalRadiusMetres = m_loft.arrivalRadiusMetres;
    if (m_loft.position) m_input.loft = *m_loft.position;

    QString title = Text(IDS_FLIGHT_TITLE) + " - " + ToQString(download.serial) + " - " + LocalTime(download.downloadedUtc, m_zone);
    const auto zone = ArchiveZone(download);
    if (const auto* why = std::get_if<std::string>(&zone)) title += " (UTC: " + QString::fromStdString(*why) + ")";
    setWindowTitle(title);
    m_map = new FlightMap(std::move(tiles), m_langId, this);
    m_chart = new FlightChart(Text(IDS_FLIGHT_SPEED_AXIS), Text(IDS_FLIGHT_ALTITUDE_AXIS), this);
    connect(m_map, &FlightMap::Hovered, this, [this](qint64 t) { m_chart->SetHighlight(t); });
    connect(m_chart, &FlightChart::Hovered, this, [this](qint64 t) { m_map->SetHighlight(t); });

    // The race's release, when the fancier knows it; otherwise the track gives it.
    m_releasePoint = new QLineEdit(this);
    m_releasePoint->setPlaceholderText(QStringLiteral("24.123456, 120.654321"));
    m_releaseTime = new QDateTimeEdit(this);
    m_releaseTime->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    m_releaseTime->setTimeSpec(Qt::UTC);
    m_releaseTime->setDateTime(WallTime(m_records.empty() ? download.downloadedUtc : m_records.front().time, m_zone));
    auto* apply = new QPushButton(Text(IDS_FLIGHT_APPLY), this);
    m_releaseNote = new QLabel(this);
    m_releaseNote->setWordWrap(true);
    m_releaseNote->setStyleSheet(QStringLiteral("color: #7f0000"));
    connect(apply, &QPushButton::clicked, this, [this] {
        EnterRelease(m_releasePoint->text(), MomentOf(m_releaseTime->dateTime(), m_zone));
    });
    auto* releaseForm = new QGridLayout();
    auto* pointLabel = new QLabel(Text(IDS_FLIGHT_RELEASE_POINT), this);
    pointLabel->setBuddy(m_releasePoint);
    auto* timeLabel = new QLabel(Text(IDS_FLIGHT_RELEASE_TIME), this);
    timeLabel->setBuddy(m_releaseTime);
    releaseForm->addWidget(pointLabel, 0, 0);
    releaseForm->addWidget(m_releasePoint, 0, 1);
    releaseForm->addWidget(timeLabel, 1, 0);
    releaseForm->addWidget(m_releaseTime, 1, 1);
    releaseForm->addWidget(apply, 2, 1, Qt::AlignRight);
    releaseForm->addWidget(m_releaseNote, 3, 0, 1, 2);

    auto* close = new QPushButton(Text(IDS_FLIGHT_CLOSE), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* saveMap = new QPushButton(Text(IDS_FLIGHT_SAVE_MAP), this);
    connect(saveMap, &QPushButton::clicked, this, [this] { SaveWithDialog(m_map, QStringLiteral("map")); });
    auto* saveChart = new QPushButton(Text(IDS_FLIGHT_SAVE_CHART), this);
    connect(saveChart, &QPushButton::clicked, this, [this] { SaveWithDialog(m_chart, QStringLiteral("chart")); });
    m_addToList = new QPushButton(Text(IDS_FLIGHT_ADD_TO_LIST), this);
    m_addToList->setEnabled(m_loft.position.has_value());
    auto* listNote = new QLabel(this);
    listNote->setWordWrap(true);
    connect(m_addToList, &QPushButton::clicked, this, [this, listNote] {
        auto added = AddToFlightList();
        if (auto* failure = std::get_if<ExportFailure>(&added)) {
            ShowMessageBox(FromQString(Text(IDS_FLIGHT_NOT_SAVED)) + L"\n" + failure->path + L"\n" + failure->reason, L"",
                           MB_OK | MB_ICONWARNING);
            return;
        }
        listNote->setText(Text(IDS_FLIGHT_ADDED) + "\n" + QString::fromStdString(std::get<std::filesystem::path>(added).string()));
    });

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_map);
    split->addWidget(m_chart);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    m_side = new QVBoxLayout();
    if (m_lofts.size() > 1) {
        // Which loft the figures, and the list of flights, are for.
        m_loftChooser = new QComboBox(this);
        for (const LoftSetting& loft : m_lofts) m_loftChooser->addItem(QString::fromStdString(loft.name));
        auto* loftLabel = new QLabel(Text(IDS_FLIGHT_LOFT), this);
        loftLabel->setBuddy(m_loftChooser);
        m_loftChooser->setAccessibleName(loftLabel->text());
        connect(m_loftChooser, &QComboBox::currentIndexChanged, this, [this](int index) { ChooseLoft(index); });
        auto* loftRow = new QHBoxLayout();
        loftRow->addWidget(loftLabel);
        loftRow->addWidget(m_loftChooser, 1);
        m_side->addLayout(loftRow);
    }
    m_side->addLayout(releaseForm);
    m_side->addWidget(listNote);
    for (QPushButton* b : {saveMap, saveChart, m_addToList}) m_side->addWidget(b);
    m_side->addSpacing(8);
    m_side->addWidget(close, 0, Qt::AlignRight);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(m_side);
    Analyse();
    resize(1000, 700);
}

void FlightWindow::ChooseLoft(int index) {
    if (index < 0 || index >= static_cast<int>(m_lofts.size())) return;
    m_loft = m_lofts[static_cast<std::size_t>(index)];
    m_input.loft = m_loft.position.value_or(GeoPoint{});
    m_input.settings.arrivalRadiusMetres = m_loft.arrivalRadiusMetres;
    m_addToList->setEnabled(m_loft.position.has_value());
    if (m_loftChooser && m_loftChooser->currentIndex() != index) {
        const QSignalBlocker quiet(m_loftChooser);
        m_loftChooser->setCurrentIndex(index);
    }
    Analyse();
}

bool FlightWindow::EnterRelease(const QString& point, std::int64_t utcTime) {
    if (point.trimmed().isEmpty()) {
        // Nothing entered: the release comes from the track again.
        m_input.release.reset();
        m_releaseNote->clear();
        Analyse();
        return true;
    }
    const auto parsed = ParseCoordinates(point.toStdString());
    if (!parsed) {
        m_releaseNote->setText(Text(IDS_FLIGHT_BAD_POSITION) + " " + point);
        return false;
    }
    m_releaseNote->clear();
    m_input.release = ReleaseEntry{*parsed, utcTime};
    Analyse();
    return true;
}

void FlightWindow::Analyse() {
    m_summary = AnalyseFlight(m_records, m_input);
    if (!m_loft.position) {
        // Without a loft there is no velocity; the track and the rests still are the flight.
        m_summary.arrival.reset();
        m_summary.distanceMetres.reset();
        m_summary.flightSeconds.reset();
        m_summary.velocityMetresPerMinute.reset();
        m_summary.velocityYardsPerMinute.reset();
        m_summary.routeEfficiency.reset();
    }
    m_map->SetData(MapDataOf(m_records, m_summary, m_loft.position));
    std::vector<ChartPoint> points;
    for (int i : GoodIndices(m_summary))
        points.push_back({m_records[i].time, static_cast<double>(m_records[i].SpeedKmh()),
                          static_cast<double>(m_records[i].altitude)});
    std::vector<ChartRest> rests;
    for (const auto& rest : m_summary.rests) rests.push_back({rest.start, rest.start + rest.durationSeconds});
    m_chart->SetData(points, rests);

    delete m_summaryPanel;
    m_lines.clear();
    m_summaryPanel = new QWidget(this);
    auto* grid = new QGridLayout(m_summaryPanel);
    BuildSummary(grid);
    grid->setRowStretch(grid->rowCount(), 1);
    m_side->insertWidget(m_loftChooser ? 1 : 0, m_summaryPanel, 1);  // below the loft chooser
}

QString FlightWindow::Text(unsigned id) const {
    std::wstring text;
    LoadLanguageString(m_langId, id, text);
    return ToQString(text);
}

void FlightWindow::SaveWithDialog(QWidget* what, const QString& suffix) {
    const QString base = QString::fromStdString(ArchiveRoot().parent_path().string()) + "/" + ToQString(m_serial) + "_" +
                         (m_records.empty() ? QString() : LocalTime(m_records.front().time, m_zone).left(10)) + "_" + suffix;
    const QString path = QFileDialog::getSaveFileName(this, windowTitle(), base + ".png",
                                                      QStringLiteral("PNG (*.png);;SVG (*.svg)"));
    if (path.isEmpty()) return;
    if (auto failure = SaveWidgetPicture(*what, std::filesystem::path(path.toStdString())))
        ShowMessageBox(FromQString(Text(IDS_FLIGHT_NOT_SAVED)) + L"\n" + failure->path + L"\n" + failure->reason, L"",
                       MB_OK | MB_ICONWARNING);
}

std::optional<ExportFailure> FlightWindow::SaveMap(const std::filesystem::path& path) const {
    return SaveWidgetPicture(*m_map, path);
}

std::optional<ExportFailure> FlightWindow::SaveChart(const std::filesystem::path& path) const {
    return SaveWidgetPicture(*m_chart, path);
}

QString FlightWindow::FlightListHeader() {
    return QStringLiteral(
        "Serial,Loft,Release,Release estimated,Arrival,Flight time (s),Distance (m),Velocity (m/min),"
        "Velocity (yd/min),Distance flown (m)");
}

QString FlightWindow::FlightListLine() const {
    const FlightSummary& s = m_summary;
    auto number = [](const auto& value, int places) {
        return value ? QString::number(static_cast<double>(*value), 'f', places) : QString();
    };
    QStringList fields;
    fields << ToQString(CsvLineSafe(m_serial)).remove(',') << QString::fromStdString(m_loft.name).remove(',')
           << (s.release ? LocalTime(s.release->time, m_zone) : QString())
           << (s.release ? (s.release->Estimated() ? "yes" : "no") : QString())
           << (s.arrival ? LocalTime(s.arrival->time, m_zone) : QString()) << number(s.flightSeconds, 0)
           << number(s.distanceMetres, 1) << number(s.velocityMetresPerMinute, 3)
           << number(s.velocityYardsPerMinute, 3) << number(s.pathMetres, 1);
    return fields.join(',');
}

std::variant<std::filesystem::path, ExportFailure> FlightWindow::AddToFlightList() const {
    const std::filesystem::path folder = ArchiveRoot().parent_path();
    const std::filesystem::path path =
        folder / ToLocale8(FileNameSafe(L"flights-" + FromUtf8(m_loft.name) + L".csv"));
    std::string content;
    if (std::ifstream in(path, std::ios::binary); in)
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (content.empty()) content = FlightListHeader().toStdString() + "\r\n";
    content += FlightListLine().toStdString() + "\r\n";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::string why;
    if (!ReplaceFileContents(path, content, &why)) return ExportFailure{FromLocale8(path.string()), FromLocale8(why)};
    return path;
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
        QString release = LocalTime(s.release->time, m_zone);
        if (s.release->Estimated()) release += " (" + Text(IDS_FLIGHT_ESTIMATED) + ")";
        AddLine(grid, IDS_FLIGHT_RELEASE, release);
    }
    if (m_loft.position) AddLine(grid, IDS_FLIGHT_ARRIVAL, s.arrival ? LocalTime(s.arrival->time, m_zone) : Text(IDS_FLIGHT_NOT_ARRIVED));
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
        rests += "\n" + LocalTime(rest.start, m_zone).mid(11) + "  " + QString::number(rest.durationSeconds / 60) + " min";
    AddLine(grid, IDS_FLIGHT_RESTS, rests);
    const int leftOut = s.counts.noFix + s.counts.zeroPosition + s.counts.outOfRange + s.counts.spike;
    AddLine(grid, IDS_FLIGHT_LEFT_OUT, QString::number(leftOut));
}

}  // namespace wing
