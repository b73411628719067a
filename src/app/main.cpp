// Start-up: the character-type locale from the user's, the Qt application, the main
// dialog run modally, and a clean exit when it closes. --help says where the settings are.

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "window/wing_utility_dlg.h"
#include "framework/assets.h"
#include "framework/message_box_qt.h"
#include "framework/qt_text.h"
#include "settings/config.h"
#include "settings/config_writer.h"

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

}  // namespace wing

int main(int argc, char** argv) {
    // Answered before Qt starts, so it works without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: wing-utility [Qt options]\n"
                        "The desktop tool for the pigeon GPS logger: link, set for a flight, read and save.\n\n%s",
                        wing::SettingsFilesHelp().c_str());
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("wing-utility"));
    QApplication::setDesktopFileName(QStringLiteral("wing-utility"));
    // The window ends the run itself; closing the last window must not quit under it.
    QApplication::setQuitOnLastWindowClosed(false);
    // A settings save killed part-way left its temporary file; this start clears it.
    wing::RemoveStaleSettingsTempFiles();
    wing::CWingUtilityApp theApp;
    theApp.InitInstance();
    return 0;
}
