#pragma once
// The release of a race, asked of the user: its name, where and when the birds were
// liberated, the race's time zone and dead time. From the Flights list it makes a race of
// the archives chosen there, each bird with its loft (the settings' first by default),
// written into the race folder; for a station it gives the day's race its release, for
// every bird the station reads that day.

#include <QDialog>

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "archive/download_archive.h"
#include "race/race.h"
#include "settings/config.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace wing {

class RaceReleaseDialog : public QDialog {
    Q_OBJECT
public:
    // A new race of `birds` (archives), written to DefaultRaceFile(name), never over a race
    // already there.
    RaceReleaseDialog(std::vector<ArchiveEntry> birds, const Config& config, unsigned langId,
                      QWidget* parent = nullptr);
    // The station's day: the release of the race in `stationFile`, which gathers every bird
    // of `dayBirds` and those read later, each flying to the settings' first loft.
    RaceReleaseDialog(std::filesystem::path stationFile, std::vector<ArchiveEntry> dayBirds, const Config& config,
                      unsigned langId, QWidget* parent = nullptr);

    // The fields, for the user and for tests.
    QLineEdit& NameEdit() const { return *m_name; }
    QLineEdit& ReleasePointEdit() const { return *m_point; }
    QDateTimeEdit& ReleaseTimeEdit() const { return *m_time; }
    QLineEdit& ZoneEdit() const { return *m_zone; }
    QLineEdit& DeadTimeEdit() const { return *m_dead; }
    // Bird i's loft: an index into the settings' lofts (Flights only).
    QComboBox* LoftChooser(int bird) const;

    // The race the fields describe, or what is wrong with them.
    std::variant<Race, QString> RaceOfFields() const;
    // What OK does: the race checked and written; false, with the reason shown in red and
    // nothing written, when it cannot be.
    bool Save();
    // The race file written by Save.
    const std::filesystem::path& RaceFile() const { return m_file; }
    QString Problem() const;

private:
    RaceReleaseDialog(const Config& config, unsigned langId, QWidget* parent);
    QString Text(unsigned id) const;
    void BuildFields();
    void BuildBirdTable();
    void BuildButtons();
    void ShowProblem(const QString& text);
    RaceLoft LoftOf(int bird) const;

    Config m_config;
    unsigned m_langId = 0;
    std::vector<ArchiveEntry> m_birds;
    bool m_station = false;
    std::filesystem::path m_file;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_point = nullptr;
    QDateTimeEdit* m_time = nullptr;
    QLineEdit* m_zone = nullptr;
    QLineEdit* m_dead = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_problem = nullptr;
};

}  // namespace wing
