// wing-window-bench COM OUTDIR: the real window, offscreen, in station mode on COM (a
// simulator running in another process), with drive C: under OUTDIR. Prints one line per
// figure: name, value, unit.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

#include "controller/wing_utility_dlg.h"
#include "framework/message_box_qt.h"

namespace fs = std::filesystem;
using namespace wing;

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Waits in the event loop, sleeping between passes so the wait itself costs no CPU.
bool Wait(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(20);
    }
    return true;
}

void Figure(const char* name, double value, const char* unit) { std::printf("%s %.3f %s\n", name, value, unit); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: wing-window-bench COM OUTDIR\n");
        return 2;
    }
    int com = std::atoi(argv[1]);
    fs::path out = fs::absolute(argv[2]);
    fs::create_directories(out / "c");
    fs::path ini = out / "Wing.ini";
    std::ofstream(ini) << "[Mode]\nCompetition=0\n[Power]\nThreshold=35\n[Language]\nLanguageByOS=2\n"
                          "[NTP]\nNTP=0\n[Personal]\nENABLE=0\nCOM=" << com << "\n";

    QElapsedTimer sinceStart;
    sinceStart.start();
    setlocale(LC_ALL, "");
    QApplication app(argc, argv);
    InstallQtMessageBoxHandler();
    MessageBoxResponder boxes(IDOK);

    CWingUtilityDlg dlg(nullptr, ini.wstring());
    dlg.Create();
    Figure("window_shown", sinceStart.nsecsElapsed() / 1e6, "ms");
    Wait([&] { return dlg.IsItemEnabled(IDC_LINK); }, 10000);
    Figure("clock_ready", sinceStart.nsecsElapsed() / 1e6, "ms");

    dynamic_cast<QAbstractButton*>(dlg.Item(IDC_LINK))->click();
    if (!Wait([&] { return dlg.Progress(IDC_LINK_PROGRESS) == 100; }, 20000)) {
        std::fprintf(stderr, "the logger on COM%d did not link\n", com);
        return 1;
    }
    // Idle while linked: the status poll every 500 ms and the clock.
    Wait([] { return false; }, 1000);
    double cpu0 = CpuSeconds();
    QElapsedTimer idle;
    idle.start();
    Wait([] { return false; }, 10000);
    Figure("idle_cpu", 100.0 * (CpuSeconds() - cpu0) / (idle.nsecsElapsed() / 1e9), "%");

    QElapsedTimer read;
    read.start();
    dynamic_cast<QAbstractButton*>(dlg.Item(IDC_READ_SAVE))->click();
    bool saved = Wait([&] { return dlg.Progress(IDC_READ_PROGRESS) == 100 && dlg.IsItemEnabled(IDC_LINK); }, 120000);
    Figure("read_and_save", read.nsecsElapsed() / 1e9, "s");
    Figure("records", static_cast<double>(dlg.m_records.size()), "records");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    Figure("peak_rss", usage.ru_maxrss / 1024.0, "MiB");
    dlg.DestroyWindow();
    return saved ? 0 : 1;
}
