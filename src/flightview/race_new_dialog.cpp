#include "flightview/race_new_dialog.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <ctime>

#include "flight/coordinates.h"
#include "framework/grow_to_fit.h"
#include "framework/qt_text.h"
#include "platform/time_zone.h"
#include "race/dead_time.h"
#include "race/race_file.h"
#include "race/station_race.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

QString FromUtf8Q(const std::string& text) { return QString::fromStdString(text); }
std::string Utf8(const QString& text) { return text.trimmed().toStdString(); }

enum BirdColumn { kLoggerColumn, kDownloadedColumn, kLoftColumn, kColumns };

QString LoftLabel(const LoftEntry& loft) { return FromUtf8Q(loft.name.empty() ? loft.position : loft.name); }

// The moment `utc` as the wall clock of `zone` shows it, for the time field.
QDateTime WallClock(std::int64_t utc, const TimeZone& zone) {
    std::tm tm{};
    if (!zone.LocalTime(utc, tm)) return {};
    return QDateTime(QDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday), QTime(tm.tm_hour, tm.tm_min, tm.tm_sec));
}

}  // namespace

RaceReleaseDialog::RaceReleaseDialog(const Config& config, unsigned langId, QWidget* parent)
    : QDialog(parent), m_config(config), m_langId(langId) {}

RaceReleaseDialog::RaceReleaseDialog(std::vector<ArchiveEntry> birds, const Config& config, unsigned langId,
                                     QWidget* parent)
    : RaceReleaseDialog(config, langId, parent) {
    m_birds = std::move(birds);
    setWindowTitle(Text(IDS_RACEOPEN_NEW_TITLE));
    BuildFields();
    BuildBirdTable();
    BuildButtons();
}

RaceReleaseDialog::RaceReleaseDialog(fs::path stationFile, std::vector<ArchiveEntry> dayBirds, const Config& config,
                                     unsigned langId, QWidget* parent)
    : RaceReleaseDialog(config, langId, parent) {
    m_birds = std::move(dayBirds);
    m_station = true;
    m_file = std::move(stationFile);
    setWindowTitle(Text(IDS_RACEOPEN_STATION_TITLE));
    BuildFields();
    m_name->setText(FromUtf8Q(m_file.stem().string()));
    // A release entered earlier today is shown to be corrected, not typed again.
    if (auto read = ReadRace(m_file); std::holds_alternative<Race>(read)) {
        const Race& race = std::get<Race>(read);
        m_name->setText(FromUtf8Q(race.name));
        m_point->setText(FromUtf8Q(FormatCoordinates(race.releasePoint)));
        m_zone->setText(FromUtf8Q(race.zone));
        m_dead->setText(FromUtf8Q(DeadTimeText(race.rules.deadTime)));
        const auto zone = TimeZone::Named(race.zone.empty() ? "UTC" : race.zone);
        if (zone) m_time->setDateTime(WallClock(race.releaseTime, *zone));
    }
    const QString loft = m_config.lofts.empty() ? Text(IDS_RACEOPEN_NO_LOFT) : LoftLabel(m_config.lofts.front());
    auto* note = new QLabel(Text(IDS_RACEOPEN_STATION_NOTE) + " " + loft, this);
    note->setWordWrap(true);
    layout()->addWidget(note);
    BuildButtons();
}

QString RaceReleaseDialog::Text(unsigned id) const {
    std::wstring text;
    LoadLanguageString(m_langId, id, text);
    return ToQString(text);
}

void RaceReleaseDialog::BuildFields() {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto add = [&](unsigned label, QWidget* field) {
        field->setAccessibleName(Text(label));
        form->addRow(Text(label), field);
    };
    m_name = new QLineEdit(this);
    add(IDS_RACEOPEN_NAME, m_name);
    m_point = new QLineEdit(this);
    m_point->setPlaceholderText(QStringLiteral("24.1234, 120.6543"));
    add(IDS_RACE_POINT, m_point);
    m_time = new QDateTimeEdit(this);
    m_time->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    m_time->setCalendarPopup(true);
    const auto pc = TimeZone::Pc();
    m_time->setDateTime(WallClock(std::time(nullptr) / 3600 * 3600, pc));
    add(IDS_FLIGHT_RELEASE_TIME, m_time);
    m_zone = new QLineEdit(FromUtf8Q(PortableZoneName(CurrentTimeZone())), this);
    add(IDS_RACE_ZONE, m_zone);
    m_dead = new QLineEdit(this);
    m_dead->setPlaceholderText(Text(IDS_RACEOPEN_DEAD_HINT));
    add(IDS_RACE_DEAD_TIME, m_dead);
    for (QLineEdit* edit : {m_name, m_point, m_zone, m_dead}) FitLineEditToText(*edit);
    layout->addLayout(form);
}

void RaceReleaseDialog::BuildBirdTable() {
    m_table = new QTableWidget(static_cast<int>(m_birds.size()), kColumns, this);
    m_table->setAccessibleName(Text(IDS_RACE_TABLE_BIRDS));
    m_table->setHorizontalHeaderLabels({Text(IDS_RACEOPEN_COL_LOGGER), Text(IDS_RACEOPEN_COL_DOWNLOADED), Text(IDS_RACE_COL_LOFT)});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    for (int row = 0; row < static_cast<int>(m_birds.size()); ++row) {
        const ArchiveEntry& bird = m_birds[static_cast<std::size_t>(row)];
        const QString logger = ToQString(bird.serial.empty() ? L"-" : bird.serial);
        m_table->setItem(row, kLoggerColumn, new QTableWidgetItem(logger));
        m_table->setItem(row, kDownloadedColumn,
                         new QTableWidgetItem(QDateTime::fromSecsSinceEpoch(bird.downloadedUtc).toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
        auto* loft = new QComboBox(m_table);
        for (const LoftEntry& entry : m_config.lofts) loft->addItem(LoftLabel(entry));
        loft->setAccessibleName(Text(IDS_RACE_COL_LOFT) + " " + logger);
        m_table->setCellWidget(row, kLoftColumn, loft);
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Every column in view: the loft chooser is what the user came to set.
    m_table->setMinimumWidth(m_table->horizontalHeader()->length() + 2 * m_table->frameWidth() +
                             m_table->verticalScrollBar()->sizeHint().width());
    layout()->addWidget(m_table);
}

void RaceReleaseDialog::BuildButtons() {
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #7f0000"));
    m_problem->hide();
    layout()->addWidget(m_problem);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Text(IDS_SETTINGS_OK), QDialogButtonBox::AcceptRole);
    buttons->addButton(Text(IDS_SETTINGS_CANCEL), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (Save()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout()->addWidget(buttons);
}

QComboBox* RaceReleaseDialog::LoftChooser(int bird) const {
    return m_table ? qobject_cast<QComboBox*>(m_table->cellWidget(bird, kLoftColumn)) : nullptr;
}

RaceLoft RaceReleaseDialog::LoftOf(int bird) const {
    const QComboBox* chooser = LoftChooser(bird);
    const int index = chooser ? chooser->currentIndex() : 0;
    const LoftEntry& loft = m_config.lofts.at(static_cast<std::size_t>(index < 0 ? 0 : index));
    // The position goes with the name: the file judges alike on a PC with other settings.
    return RaceLoft{loft.name, loft.position};
}

std::variant<Race, QString> RaceReleaseDialog::RaceOfFields() const {
    Race race;
    race.name = Utf8(m_name->text());
    if (race.name.empty()) return Text(IDS_RACEOPEN_NAME_MISSING);
    const auto point = ParseCoordinates(Utf8(m_point->text()));
    if (!point) return Text(IDS_FLIGHT_BAD_POSITION) + " " + m_point->text();
    race.releasePoint = *point;
    race.zone = Utf8(m_zone->text());
    const auto zone = race.zone.empty() ? std::optional<TimeZone>(TimeZone::Utc()) : TimeZone::Named(race.zone);
    if (!zone) return Text(IDS_RACEOPEN_ZONE_BAD) + " " + m_zone->text();
    const QDateTime wall = m_time->dateTime();
    const LocalMoment moment = zone->FromLocal(LocalDateTime{wall.date().year(), wall.date().month(), wall.date().day(),
                                                             wall.time().hour(), wall.time().minute(), 0});
    if (moment.kind != LocalMoment::Kind::Unique) return Text(IDS_RACEOPEN_TIME_BAD) + " " + m_time->text();
    race.releaseTime = moment.earlier;
    if (const std::string dead = Utf8(m_dead->text()); !dead.empty()) {
        const auto rule = ParseDeadTime(dead);
        if (!rule) return Text(IDS_RACEOPEN_DEAD_BAD) + " " + m_dead->text();
        race.rules.deadTime = *rule;
    }
    race.rules.arrivalRadiusMetres = m_config.arrivalRadius;
    if (m_config.lofts.empty()) return Text(IDS_RACEOPEN_NO_LOFT);
    if (!m_station && m_birds.empty()) return Text(IDS_RACEOPEN_NO_BIRDS);
    return race;
}

bool RaceReleaseDialog::Save() {
    auto fields = RaceOfFields();
    if (const auto* why = std::get_if<QString>(&fields)) {
        ShowProblem(*why);
        return false;
    }
    Race& race = std::get<Race>(fields);
    std::string failed;
    if (m_station) {
        const RaceLoft loft = LoftOf(0);
        std::vector<RaceEntry> birds;
        for (const ArchiveEntry& bird : m_birds) birds.push_back(LoggerBird(bird.serial, bird.path, loft, m_file));
        failed = SetStationRelease(m_file, race, birds);
    } else {
        const fs::path file = DefaultRaceFile(race.name);
        std::error_code ec;
        // A race made earlier may hold the club's corrections: it is never replaced.
        if (!file.empty() && fs::exists(fs::symlink_status(file, ec))) {
            ShowProblem(Text(IDS_RACEOPEN_EXISTS) + " " + FromUtf8Q(file.string()));
            return false;
        }
        for (int i = 0; i < static_cast<int>(m_birds.size()); ++i) {
            const ArchiveEntry& bird = m_birds[static_cast<std::size_t>(i)];
            race.entries.push_back(LoggerBird(bird.serial, bird.path, LoftOf(i), file));
        }
        failed = file.empty() ? std::string("races") : WriteRace(race, file);
        if (failed.empty()) m_file = file;
    }
    if (!failed.empty()) {
        ShowProblem(Text(IDS_RACEOPEN_NOT_WRITTEN) + " " + FromUtf8Q(failed));
        return false;
    }
    ShowProblem({});
    return true;
}

QString RaceReleaseDialog::Problem() const { return m_problem->isHidden() ? QString() : m_problem->text(); }

void RaceReleaseDialog::ShowProblem(const QString& text) {
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
}

}  // namespace wing
