// Start-up: the character-type locale from the user's, the Qt application, the main
// dialog run modally, and a clean exit when it closes. --help says where the settings are;
// --race FILE opens a race file in the race window alone (no logger is linked), and the
// program ends when that window closes.

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>

#include "window/wing_utility_dlg.h"
#include "framework/assets.h"
#include "framework/message_box_qt.h"
#include "framework/qt_text.h"
#include "platform/paths.h"
#include "race/race_file.h"
#include "raceview/race_window.h"
#include "settings/config.h"
#include "settings/config_writer.h"
#include "settings/language.h"

namespace wing {

// The application object: its start-up routine shows the main dialog and reports that
// there is no message loop left to run.
class CWingUtilityApp {
public:
    bool InitInstance() {
        // Conversions between 8-bit and wide text follow the user's code set.
        std::setlocale(LC_CTYPE, "");
        // OLE, the common controls and the sockets library need no start-up here.
        InstallQtMessageBoxHandler();
        InstallFontSubstitutions();
        QApplication::setWindowIcon(ApplicationIcon());
        CWingUtilityDlg dlg;
        dlg.DoModal();
        return false;
    }
};

// The race window on its own, for `--race FILE`: the settings in force give the language,
// the lofts and the map; the run ends when the window is closed.
int RunRaceWindow(const std::filesystem::path& raceFile) {
    std::setlocale(LC_CTYPE, "");
    InstallQtMessageBoxHandler();
    InstallFontSubstitutions();
    QApplication::setWindowIcon(ApplicationIcon());
    const StartupChoice start = LoadConfigAndSelectLanguage(ConfigFilePath());
    ApplyLogFolder(start.config);
    auto opened = RaceWindow::OpenFile(raceFile, start.config, start.langId);
    if (const auto* why = std::get_if<std::string>(&opened)) {
        std::fprintf(stderr, "wing-utility: %s: %s\n", raceFile.c_str(), why->c_str());
        return 1;
    }
    RaceWindow* window = std::get<RaceWindow*>(opened);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QApplication::setQuitOnLastWindowClosed(true);
    window->show();
    return QApplication::exec();
}

}  // namespace wing

int main(int argc, char** argv) {
    std::optional<std::filesystem::path> raceFile;
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: wing-utility [--race FILE] [Qt options]\n"
                        "The desktop tool for the pigeon GPS logger: link, set for a flight, read and save.\n"
                        "  --race FILE   open a race file (docs/race-file.md) in the race window\n\n%s",
                        wing::SettingsFilesHelp().c_str());
            return 0;
        }
        if (std::strcmp(argv[i], "--race") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "wing-utility: --race needs a race file\n");
                return 1;
            }
            raceFile = argv[++i];
        } else if (std::strncmp(argv[i], "--race=", 7) == 0) {
            raceFile = argv[i] + 7;
        }
    }
    // A file that is no race is said on the terminal, before a window is made.
    if (raceFile) {
        if (auto read = wing::ReadRace(*raceFile); const auto* why = std::get_if<std::string>(&read)) {
            std::fprintf(stderr, "wing-utility: %s: %s\n", raceFile->c_str(), why->c_str());
            return 1;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("wing-utility"));
    QApplication::setDesktopFileName(QStringLiteral("wing-utility"));
    // The window ends the run itself; closing the last window must not quit under it.
    QApplication::setQuitOnLastWindowClosed(false);
    if (raceFile) return wing::RunRaceWindow(*raceFile);
    // A settings save killed part-way left its temporary file; this start clears it.
    wing::RemoveStaleSettingsTempFiles();
    wing::CWingUtilityApp theApp;
    theApp.InitInstance();
    return 0;
}
