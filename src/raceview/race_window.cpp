#include "raceview/race_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "archive/download_archive.h"
#include "flightview/flight_window.h"
#include "flightview/picture.h"
#include "framework/qt_text.h"
#include "platform/text.h"
#include "platform/time_zone.h"
#include "race/race_file.h"
#include "race/result_sheet.h"
#include "raceview/race_chart.h"
#include "raceview/race_map.h"
#include "raceview/race_table.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

// The speeds offered, times real time.
constexpr int kSpeeds[] = {1, 10, 30, 60, 120, 300, 600, 1200, 1800, 3600};
constexpr int kDefaultSpeed = 300;
constexpr int kFrameMs = 16;  // about 60 frames a second

QString Text(unsigned langId, unsigned id) {
    std::wstring text;
    LoadLanguageString(langId, id, text);
    return ToQString(text);
}

QString BirdLabel(const Race& race, const BirdResult& bird) {
    if (bird.entry >= race.entries.size()) return QString::number(bird.entry + 1);
    const RaceEntry& e = race.entries[bird.entry];
    QString label = QString::fromStdString(e.ring);
    if (!e.name.empty()) label += (label.isEmpty() ? "" : " ") + QString::fromStdString(e.name);
    if (label.isEmpty()) label = QString::fromStdString(e.track.filename().string());
    return bird.rank > 0 ? QStringLiteral("%1. %2").arg(bird.rank).arg(label) : label;
}

// What the map draws of each bird: its good fixes, the points left out, its rests.
std::vector<RaceMapBird> MapBirds(const RaceJudgement& judgement, const std::vector<CLogRecordList>& tracks,
                                  const std::vector<QColor>& colours, const std::vector<QString>& labels) {
    std::vector<RaceMapBird> birds(judgement.birds.size());
    for (std::size_t i = 0; i < birds.size(); ++i) {
        const BirdResult& result = judgement.birds[i];
        RaceMapBird& bird = birds[i];
        bird.label = labels[i];
        bird.colour = colours[i];
        bird.rank = result.rank;
        if (!result.problem.empty() || i >= tracks.size()) continue;
        bird.loft = result.loft;
        for (const JudgedFix& fix : JudgedFixes(tracks[i], result, judgement.race.releaseTime)) bird.track.push_back(fix.point);
        const CLogRecordList& records = tracks[i];
        for (std::size_t k = 0; k < records.size() && k < result.flight.flags.size(); ++k) {
            const PointFlag flag = result.flight.flags[k];
            if (flag == PointFlag::Ok || flag == PointFlag::NotPosition || flag == PointFlag::ZeroPosition ||
                flag == PointFlag::OutOfRange)
                continue;
            bird.flagged.push_back({records[k].LatitudeDegrees(), records[k].LongitudeDegrees()});
        }
        for (const JudgedRest& rest : result.rests) bird.rests.push_back(rest.rest.centre);
    }
    return birds;
}

}  // namespace

struct RaceWindow::Parts {
    Config config;
    unsigned langId = 0;
    std::filesystem::path raceFolder;
    TimeZone zone = TimeZone::Utc();
    std::vector<CLogRecordList> tracks;
    RaceJudgement judgement;
    std::optional<RaceReplay> replay;
    std::vector<QColor> colours;
    std::vector<QString> labels;

    double time = 0;
    bool playing = false;
    int speed = kDefaultSpeed;
    QTimer timer;
    QElapsedTimer clock;

    RaceMap* map = nullptr;
    RaceDistanceChart* chart = nullptr;
    RaceResultsTable* table = nullptr;
    QSlider* slider = nullptr;
    QPushButton* play = nullptr;
    QComboBox* speeds = nullptr;
    QCheckBox* follow = nullptr;
    QLabel* clockText = nullptr;
    QLabel* note = nullptr;
    std::vector<std::unique_ptr<FlightWindow>> flights;

    QString Text(unsigned id) const { return wing::Text(langId, id); }
};

RaceWindow::RaceWindow(Race race, std::filesystem::path raceFolder, const Config& config, unsigned langId, QWidget* parent)
    : QWidget(parent, Qt::Window), m_parts(std::make_unique<Parts>()) {
    Parts& p = *m_parts;
    p.config = config;
    p.langId = langId;
    p.raceFolder = std::move(raceFolder);
    if (!race.zone.empty())
        if (auto zone = TimeZone::Named(race.zone)) p.zone = *zone;
    p.judgement = JudgeRace(race, config.lofts, p.raceFolder, &p.tracks);
    p.replay.emplace(p.judgement, p.tracks);
    p.colours = BirdColours(p.judgement.birds.size());
    for (const BirdResult& bird : p.judgement.birds) p.labels.push_back(BirdLabel(p.judgement.race, bird));
    p.time = p.replay->Start();

    setWindowTitle(p.Text(IDS_RACEWIN_TITLE) + " - " + QString::fromStdString(p.judgement.race.name));
    TileSourceOptions tiles;
    tiles.map = config.map;
    p.map = new RaceMap(std::move(tiles), langId, this);
    p.map->setAccessibleName(p.Text(IDS_RACEWIN_MAP));
    p.map->SetRace(*p.replay, MapBirds(p.judgement, p.tracks, p.colours, p.labels));
    p.chart = new RaceDistanceChart(langId, this);
    p.chart->SetReplay(*p.replay, p.colours, p.labels);
    p.table = new RaceResultsTable(langId, this);
    p.table->SetJudgement(p.judgement, p.colours);

    // The replay's controls under the map.
    p.play = new QPushButton(p.Text(IDS_RACEWIN_PLAY), this);
    // A plain button whose name says what a press does ("Play" or "Pause"): a screen reader
    // would read a checkable one as a check box.
    connect(p.play, &QPushButton::clicked, this, [this] { Playing() ? Pause() : Play(); });
    auto* speedLabel = new QLabel(p.Text(IDS_RACEWIN_SPEED), this);
    p.speeds = new QComboBox(this);
    for (int s : kSpeeds) p.speeds->addItem(p.Text(IDS_RACEWIN_SPEED_TIMES).arg(s), s);
    p.speeds->setCurrentIndex(p.speeds->findData(kDefaultSpeed));
    speedLabel->setBuddy(p.speeds);
    p.speeds->setAccessibleName(speedLabel->text());
    connect(p.speeds, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetSpeed(m_parts->speeds->itemData(index).toInt()); });
    auto* next = new QPushButton(p.Text(IDS_RACEWIN_NEXT_ARRIVAL), this);
    connect(next, &QPushButton::clicked, this, &RaceWindow::StepToNextArrival);
    next->setEnabled(p.replay->NextArrivalAfter(p.replay->Start() - 1).has_value());
    p.follow = new QCheckBox(p.Text(IDS_RACEWIN_FOLLOW), this);
    connect(p.follow, &QCheckBox::toggled, this, &RaceWindow::SetFollowLeader);
    p.slider = new QSlider(Qt::Horizontal, this);
    p.slider->setRange(0, static_cast<int>(std::ceil(p.replay->End() - p.replay->Start())));
    p.slider->setAccessibleName(p.Text(IDS_RACEWIN_TIME));
    connect(p.slider, &QSlider::valueChanged, this,
            [this](int value) { SetReplayTime(m_parts->replay->Start() + value); });
    p.clockText = new QLabel(this);
    p.clockText->setAccessibleName(p.Text(IDS_RACEWIN_TIME));
    p.clockText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* controls = new QHBoxLayout();
    controls->addWidget(p.play);
    controls->addWidget(p.slider, 1);
    controls->addWidget(p.clockText);
    auto* controls2 = new QHBoxLayout();
    controls2->addWidget(speedLabel);
    controls2->addWidget(p.speeds);
    controls2->addWidget(next);
    controls2->addWidget(p.follow);
    controls2->addStretch(1);

    // The exports and the close under the table.
    auto* saveMap = new QPushButton(p.Text(IDS_RACEWIN_SAVE_MAP), this);
    connect(saveMap, &QPushButton::clicked, this, [this] { SaveWithDialog(&Map(), QStringLiteral("map"), QStringLiteral("PNG (*.png);;SVG (*.svg)")); });
    auto* saveChart = new QPushButton(p.Text(IDS_RACEWIN_SAVE_CHART), this);
    connect(saveChart, &QPushButton::clicked, this, [this] { SaveWithDialog(&Chart(), QStringLiteral("chart"), QStringLiteral("PNG (*.png);;SVG (*.svg)")); });
    auto* savePdf = new QPushButton(p.Text(IDS_RACEWIN_SAVE_PDF), this);
    connect(savePdf, &QPushButton::clicked, this, [this] { SaveWithDialog(nullptr, QStringLiteral("results"), QStringLiteral("PDF (*.pdf)")); });
    auto* saveHtml = new QPushButton(p.Text(IDS_RACEWIN_SAVE_HTML), this);
    connect(saveHtml, &QPushButton::clicked, this, [this] { SaveWithDialog(nullptr, QStringLiteral("results"), QStringLiteral("HTML (*.html)")); });
    auto* close = new QPushButton(p.Text(IDS_RACEWIN_CLOSE), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    p.note = new QLabel(this);
    p.note->setWordWrap(true);
    p.note->setStyleSheet(QStringLiteral("color: #7f0000"));
    p.note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    p.note->setAccessibleName(p.Text(IDS_RACEWIN_NOT_SAVED));
    p.note->hide();
    auto* exports = new QHBoxLayout();
    for (QPushButton* b : {saveMap, saveChart, savePdf, saveHtml}) exports->addWidget(b);
    exports->addStretch(1);
    exports->addWidget(close);

    // Linking: the chart's cursor and the table's selection drive the replay and the map.
    connect(p.chart, &RaceDistanceChart::TimeChosen, this, &RaceWindow::SetReplayTime);
    connect(p.table, &RaceResultsTable::BirdSelected, this, &RaceWindow::SelectBird);
    connect(p.table, &RaceResultsTable::BirdOpened, this, [this](std::size_t bird) {
        Q_EMIT FlightWanted(bird);
        OpenFlight(bird);
    });
    connect(&p.timer, &QTimer::timeout, this, &RaceWindow::Tick);
    p.timer.setInterval(kFrameMs);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(p.map, 1);
    leftLayout->addLayout(controls);
    leftLayout->addLayout(controls2);
    auto* right = new QSplitter(Qt::Vertical, this);
    right->addWidget(p.chart);
    right->addWidget(p.table);
    right->setStretchFactor(0, 1);
    right->setStretchFactor(1, 1);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({760, 640});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(p.note);
    layout->addLayout(exports);
    resize(1400, 850);
    SetReplayTime(p.time);
}

RaceWindow::~RaceWindow() = default;

std::variant<RaceWindow*, std::string> RaceWindow::OpenFile(const std::filesystem::path& raceFile, const Config& config,
                                                            unsigned langId, QWidget* parent) {
    auto read = ReadRace(raceFile);
    if (auto* why = std::get_if<std::string>(&read)) return *why;
    return new RaceWindow(std::get<Race>(std::move(read)), raceFile.parent_path(), config, langId, parent);
}

const RaceJudgement& RaceWindow::Judgement() const { return m_parts->judgement; }
const RaceReplay& RaceWindow::Replay() const { return *m_parts->replay; }
RaceMap& RaceWindow::Map() const { return *m_parts->map; }
RaceDistanceChart& RaceWindow::Chart() const { return *m_parts->chart; }
RaceResultsTable& RaceWindow::Table() const { return *m_parts->table; }
double RaceWindow::ReplayTime() const { return m_parts->time; }
bool RaceWindow::Playing() const { return m_parts->playing; }

void RaceWindow::SetReplayTime(double t) {
    Parts& p = *m_parts;
    p.time = std::clamp(t, p.replay->Start(), p.replay->End());
    {
        const QSignalBlocker quiet(p.slider);
        p.slider->setValue(static_cast<int>(std::lround(p.time - p.replay->Start())));
    }
    p.chart->SetCursor(p.time);
    p.map->SetReplayTime(p.time);
    p.clockText->setText(QString::fromStdString(p.zone.Format(static_cast<std::int64_t>(std::floor(p.time)), "%Y-%m-%d %H:%M:%S")));
    Q_EMIT ReplayTimeChanged(p.time);
}

void RaceWindow::Play() {
    Parts& p = *m_parts;
    if (p.playing) return;
    // From the end, a new play starts the race again.
    if (p.time >= p.replay->End()) SetReplayTime(p.replay->Start());
    p.playing = true;
    p.clock.start();
    p.timer.start();
    p.play->setText(p.Text(IDS_RACEWIN_PAUSE));
}

void RaceWindow::Pause() {
    Parts& p = *m_parts;
    p.playing = false;
    p.timer.stop();
    p.play->setText(p.Text(IDS_RACEWIN_PLAY));
}

void RaceWindow::Tick() {
    Parts& p = *m_parts;
    // The real time since the last frame, so a slow frame does not slow the race down.
    const double seconds = static_cast<double>(p.clock.restart()) / 1000.0;
    SetReplayTime(p.time + seconds * p.speed);
    if (p.time >= p.replay->End()) Pause();
}

void RaceWindow::SetSpeed(int timesRealTime) {
    Parts& p = *m_parts;
    p.speed = std::clamp(timesRealTime, 1, 3600);
    const int index = p.speeds->findData(p.speed);
    if (index >= 0 && index != p.speeds->currentIndex()) {
        const QSignalBlocker quiet(p.speeds);
        p.speeds->setCurrentIndex(index);
    }
}

void RaceWindow::StepToNextArrival() {
    if (const auto next = m_parts->replay->NextArrivalAfter(m_parts->time)) SetReplayTime(*next);
}

void RaceWindow::SetFollowLeader(bool follow) {
    Parts& p = *m_parts;
    if (p.follow->isChecked() != follow) {
        const QSignalBlocker quiet(p.follow);
        p.follow->setChecked(follow);
    }
    p.map->SetFollowLeader(follow);
}

void RaceWindow::SelectBird(std::optional<std::size_t> bird) {
    Parts& p = *m_parts;
    if (bird && *bird >= p.judgement.birds.size()) bird.reset();
    p.map->Highlight(bird);
    p.chart->Highlight(bird);
    if (p.table->SelectedBird() != bird) p.table->SelectBird(bird);
}

void RaceWindow::OpenFlight(std::size_t bird) {
    Parts& p = *m_parts;
    if (bird >= p.judgement.birds.size()) return;
    const BirdResult& result = p.judgement.birds[bird];
    const RaceEntry& entry = p.judgement.race.entries.at(result.entry);
    const std::filesystem::path path = entry.track.is_absolute() ? entry.track : p.raceFolder / entry.track;
    auto read = ReadArchive(path);
    if (const auto* download = std::get_if<ArchivedDownload>(&read))
        if (auto zone = ArchiveZone(*download); std::holds_alternative<std::string>(zone)) read = std::get<std::string>(zone);
    if (const auto* why = std::get_if<std::string>(&read)) {
        p.note->setText(p.Text(IDS_RACEWIN_NO_FLIGHT) + " " + p.labels[bird] + "\n" +
                         QString::fromStdString(path.string() + ": " + *why));
        p.note->show();
        return;
    }
    // The bird's own loft first, then the settings' others.
    std::vector<LoftSetting> lofts;
    lofts.push_back(LoftSetting{entry.loft.name.empty() ? p.labels[bird].toStdString() : entry.loft.name, result.loft,
                                p.judgement.race.rules.arrivalRadiusMetres});
    for (const LoftEntry& loft : p.config.lofts)
        if (loft.name != entry.loft.name)
            lofts.push_back(LoftSetting{loft.name, ParseCoordinates(loft.position), static_cast<double>(p.config.arrivalRadius)});
    TileSourceOptions tiles;
    tiles.map = p.config.map;
    auto window = std::make_unique<FlightWindow>(std::get<ArchivedDownload>(read), std::move(lofts), p.langId, std::move(tiles));
    window->show();
    p.flights.push_back(std::move(window));
}

std::optional<ExportFailure> RaceWindow::Save(const std::filesystem::path& path) const {
    const Parts& p = *m_parts;
    const std::string ext = path.extension().string();
    if (ext == ".pdf") return SaveResultSheetPdf(p.judgement, p.langId, path);
    if (ext == ".html" || ext == ".htm") return SaveResultSheetHtml(p.judgement, p.langId, path);
    return SaveWidgetPicture(*p.map, path);
}

void RaceWindow::SaveWithDialog(QWidget* picture, const QString& suffix, const QString& filter) {
    Parts& p = *m_parts;
    const QString ext = filter.section(QStringLiteral("*"), 1, 1).section(QStringLiteral(")"), 0, 0);
    const QString base = QString::fromStdString((p.raceFolder / ToLocale8(FileNameSafe(FromUtf8(p.judgement.race.name)))).string()) + "_" + suffix;
    const QString chosen = QFileDialog::getSaveFileName(this, windowTitle(), base + ext, filter);
    if (chosen.isEmpty()) return;
    const std::filesystem::path path(chosen.toStdString());
    std::optional<ExportFailure> failure;
    if (picture == p.chart) failure = p.chart->Save(path);
    else failure = Save(path);
    if (failure) {
        p.note->setText(p.Text(IDS_RACEWIN_NOT_SAVED) + " " + ToQString(failure->path) + "\n" + ToQString(failure->reason));
        p.note->show();
    } else {
        p.note->hide();
    }
}

}  // namespace wing
