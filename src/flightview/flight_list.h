#pragma once
// The archived flights, newest first, by serial number and date; damaged files are
// named below the list and skipped. Several chosen together make a race ("Race..."), and
// a race file can be opened from here too.

#include <QDialog>

#include <filesystem>
#include <functional>
#include <vector>

#include "archive/download_archive.h"

class QListWidget;
class QPushButton;

namespace wing {

class FlightList : public QDialog {
    Q_OBJECT
public:
    // `open` is called with the archive the user picks.
    FlightList(const ArchiveListing& listing, unsigned langId, std::function<void(const std::filesystem::path&)> open,
               QWidget* parent = nullptr);

    // What "Race..." does with the flights chosen, and what "Open Race..." does; each
    // button is there once its action is given.
    void SetRaceActions(std::function<void(std::vector<ArchiveEntry>)> race, std::function<void()> openRace);

    int Count() const;
    QListWidget& List() const { return *m_list; }
    QPushButton* RaceButton() const { return m_raceButton; }
    QPushButton* OpenRaceButton() const { return m_openRaceButton; }
    // The flights chosen, in the list's order.
    std::vector<ArchiveEntry> Chosen() const;

private:
    std::vector<ArchiveEntry> m_entries;
    unsigned m_langId = 0;
    QListWidget* m_list = nullptr;
    QPushButton* m_raceButton = nullptr;
    QPushButton* m_openRaceButton = nullptr;
};

}  // namespace wing
