// wing-demo-session OUTDIR: starts the logger simulator (registered as the adapter),
// opens the main window in personal mode, links, reads and saves, and after each step
// writes a screenshot to OUTDIR. Prints what it did and the files written. The log
// folder (drive C:) is OUTDIR/c, so the demo leaves the user's own files alone.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QPixmap>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "window/wing_utility_dlg.h"
#include "framework/message_box_qt.h"
#include "logger-sim/logger_sim.h"
#include "platform/text.h"
#include "framework/color_font_static.h"

namespace fs = std::filesystem;
using namespace wing;

namespace {

bool PumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return true;
}

void Shot(CWingUtilityDlg& dlg, const fs::path& out, const char* name) {
    fs::path file = out / (std::string("demo-") + name + ".png");
    dlg.grab().save(QString::fromStdString(file.string()));
    std::printf("  screenshot: %s\n", file.c_str());
}

std::string Static(CWingUtilityDlg& dlg, int id) { return ToUtf8(dlg.ColorStatic(id)->Text()); }

}  // namespace

int main(int argc, char** argv) {
    fs::path out = argc > 1 ? fs::path(argv[1]) : fs::path("screenshots");
    fs::create_directories(out);
    out = fs::absolute(out);
    // A configuration folder of the demo's own: its device map points drive C: into OUTDIR.
    fs::path config = out / "config";
    fs::create_directories(config / "wing-utility");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    fs::path drive = out / "c";
    fs::create_directories(drive);
    std::ofstream(config / "wing-utility" / "device-map.ini") << "[drives]\nC = " << drive.string() << "\n";
    fs::path ini = out / "Wing.ini";
    std::ofstream(ini) << "[Mode]\nCompetition=0\n[Power]\nThreshold=35\n[Language]\nLanguageByOS=2\n"
                          "[NTP]\nNTP=0\n[Personal]\nENABLE=1\nCOM=0\n[Map]\nOffline=1\n";

    setlocale(LC_ALL, "");
    QApplication app(argc, argv);
    InstallQtMessageBoxHandler();
    MessageBoxResponder boxes(IDOK);  // nobody is there to press OK

    sim::SimConfig logger;
    logger.switchPos = 0;  // switched off: ready to be read
    logger.flight.seed = 7;
    sim::LoggerSimulator simulator(logger);
    sim::SimPort port = simulator.Start();
    if (!port) {
        std::fprintf(stderr, "the simulator could not start: %s\n", port.error.c_str());
        return 1;
    }
    std::printf("simulated logger on COM%d (%s), %zu log slots\n", port.comNumber, port.slavePath.c_str(),
                simulator.LogSlots().size());

    CWingUtilityDlg dlg(nullptr, ini.wstring());
    dlg.Create();
    PumpUntil([&] { return dlg.IsItemEnabled(IDC_LINK); }, 10000);
    Shot(dlg, out, "1-start");

    std::printf("LINK\n");
    dynamic_cast<QAbstractButton*>(dlg.Item(IDC_LINK))->click();
    bool linked = PumpUntil([&] { return dlg.Progress(IDC_LINK_PROGRESS) == 100; }, 20000);
    std::printf("  %s: serial %s, battery %s\n", linked ? "linked" : "NOT linked", Static(dlg, IDC_SERIAL).c_str(),
                Static(dlg, IDC_BATTERY).c_str());
    for (int i = 0; i < dlg.ListCount(IDC_STATUS_LIST); ++i)
        std::printf("  | %s\n", ToUtf8(dlg.ListText(IDC_STATUS_LIST, i)).c_str());
    Shot(dlg, out, "2-linked");
    if (!linked) return 1;

    std::printf("Read and Save\n");
    dynamic_cast<QAbstractButton*>(dlg.Item(IDC_READ_SAVE))->click();
    bool saved = PumpUntil([&] { return dlg.Progress(IDC_READ_PROGRESS) == 100 && dlg.IsItemEnabled(IDC_LINK); }, 120000);
    std::printf("  %s  %s\n", Static(dlg, IDC_READ_COUNTER).c_str(), Static(dlg, IDC_READ_MESSAGE).c_str());
    Shot(dlg, out, "3-saved");

    std::printf("files written under %s:\n", drive.c_str());
    for (const auto& e : fs::recursive_directory_iterator(drive))
        if (e.is_regular_file()) std::printf("  %s  (%ju bytes)\n", e.path().c_str(), static_cast<std::uintmax_t>(e.file_size()));

    dlg.DestroyWindow();
    simulator.Stop();
    return saved ? 0 : 1;
}
