// Races from the main window: made from archived flights chosen in the Flights list,
// opened from a race file, and in station mode the race of the day, which gathers every
// bird the station reads that day.

#include <QFileDialog>
#include <QPushButton>

#include <ctime>

#include "flightview/race_new_dialog.h"
#include "framework/qt_text.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "race/race_file.h"
#include "race/station_race.h"
#include "raceview/race_window.h"
#include "resources/string_ids.h"
#include "window/wing_utility_dlg.h"

namespace wing {

namespace fs = std::filesystem;

void CWingUtilityDlg::OpenRace(const fs::path& raceFile) {
    auto opened = RaceWindow::OpenFile(raceFile, m_config, m_langId);
    if (const auto* why = std::get_if<std::string>(&opened)) {
        ShowMessageBox(Text(IDS_RACE_CANNOT_READ) + L" " + FromLocale8(raceFile.string()) + L"\n" + FromUtf8(*why),
                       kApplicationName, MB_OK | MB_ICONWARNING);
        return;
    }
    // The race window opens its birds' flight windows itself (the track from the race's
    // folder, the bird's own loft first).
    m_raceWindow.reset(std::get<RaceWindow*>(opened));
    m_raceWindow->show();
}

void CWingUtilityDlg::NewRace(std::vector<ArchiveEntry> birds) {
    RaceReleaseDialog dialog(std::move(birds), m_config, m_langId, this);
    if (dialog.exec() == QDialog::Accepted) OpenRace(dialog.RaceFile());
}

void CWingUtilityDlg::ChooseRace() {
    const QString file = QFileDialog::getOpenFileName(this, ToQString(Text(IDS_RACEOPEN_CHOOSE_FILE)),
                                                      QString::fromStdString(RaceFolder().string()),
                                                      ToQString(Text(IDS_RACEOPEN_FILE_FILTER)));
    if (!file.isEmpty()) OpenRace(fs::path(file.toStdString()));
}

fs::path CWingUtilityDlg::StationRaceFileToday() const {
    return StationRaceFile(RaceFolder(), std::time(nullptr), TimeZone::Pc());
}

void CWingUtilityDlg::AddStationRaceButton() {
    auto* button = new QPushButton(ToQString(Text(IDS_RACEOPEN_STATION_BUTTON)), this);
    button->setAccessibleName(ToQString(Text(IDS_RACEOPEN_STATION_TITLE)));
    // Beside Read and Save, where the day's birds come in, as laid out for this language.
    const QRect readSave = ItemRect(IDC_READ_SAVE);
    const int gap = readSave.height() / 4;
    button->setGeometry(readSave.right() + gap, readSave.top(), button->sizeHint().width(), readSave.height());
    button->show();
    connect(button, &QPushButton::clicked, this, [this] { OnStationRace(); });
    m_stationRaceButton = button;
    AddSystemMenuItem(kStationReleaseCommand, Text(IDS_RACEOPEN_STATION_TITLE));
}

void CWingUtilityDlg::OnStationRace() {
    std::error_code ec;
    // The release is entered once for the day; after that the button opens the race.
    if (!fs::exists(StationRaceFileToday(), ec) && !AskStationRelease()) return;
    OpenRace(StationRaceFileToday());
}

bool CWingUtilityDlg::AskStationRelease() {
    const std::int64_t now = std::time(nullptr);
    RaceReleaseDialog dialog(StationRaceFileToday(), ArchivesOfDay(ListArchives(ArchiveRoot()), now, TimeZone::Pc()),
                             m_config, m_langId, this);
    return dialog.exec() == QDialog::Accepted;
}

void CWingUtilityDlg::AddToStationRace(const fs::path& archive) {
    const fs::path day = StationRaceFileToday();
    std::error_code ec;
    // Before the release is entered the day's birds wait in the archive: entering it gathers them.
    if (!fs::exists(day, ec)) return;
    std::string why;
    const auto read = ReadArchive(archive);
    if (const auto* problem = std::get_if<std::string>(&read))
        why = *problem;
    else if (m_config.lofts.empty())
        why = ToUtf8(Text(IDS_RACEOPEN_NO_LOFT));
    else
        why = AddStationBird(day, LoggerBird(std::get<ArchivedDownload>(read).serial, archive,
                                             RaceLoft{m_config.lofts.front().name, m_config.lofts.front().position}, day));
    if (!why.empty())
        ShowMessageBox(Text(IDS_RACEOPEN_STATION_NOT_ADDED) + L" " + FromLocale8(archive.string()) + L"\n" + FromUtf8(why),
                       kApplicationName, MB_OK | MB_ICONWARNING);
}

}  // namespace wing
