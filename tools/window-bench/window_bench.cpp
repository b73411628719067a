// wing-window-bench COM OUTDIR [--garbage]: the real window, offscreen, in station mode on
// COM (a simulator running in another process), with drive C: under OUTDIR. Prints one
// line per figure: name, value, unit. With --garbage the logger streams garbage between
// its replies: the figures are the cost of that while linked, and how fast LINK answers.

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <dirent.h>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "window/wing_utility_dlg.h"
#include "framework/message_box_qt.h"

namespace fs = std::filesystem;
using namespace wing;

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Runs the event loop as the application does (asleep until an event comes) until `done`
// holds, looked at every 20 ms, or `ms` have passed.
bool Wait(const std::function<bool()>& done, int ms) {
    if (done()) return true;
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    look.start(20);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// The event loop alone for `ms`: no look-ups of our own to wake it.
void Idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

long StatusField(const std::string& path, const char* field) {
    std::ifstream in(path);
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    return 0;
}

// Context switches of every thread of the process: each is a wake-up, or a preemption.
long ContextSwitches() {
    long total = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            const std::string status = std::string("/proc/self/task/") + e->d_name + "/status";
            total += StatusField(status, "voluntary_ctxt_switches") + StatusField(status, "nonvoluntary_ctxt_switches");
        }
        closedir(dir);
    }
    return total;
}

double RssMiB() { return StatusField("/proc/self/status", "VmRSS") / 1024.0; }

// The event loop alone for 30 s after a settling second: CPU in % of one core, and the
// process's context switches per second.
struct IdleCost {
    double cpuPercent = 0;
    double wakeups = 0;
};
IdleCost IdleThirtySeconds() {
    Idle(1000);
    const double cpu0 = CpuSeconds();
    const long switches0 = ContextSwitches();
    QElapsedTimer span;
    span.start();
    Idle(30000);
    const double seconds = span.nsecsElapsed() / 1e9;
    return {100.0 * (CpuSeconds() - cpu0) / seconds, (ContextSwitches() - switches0) / seconds};
}

void Figure(const char* name, double value, const char* unit) { std::printf("%s %.3f %s\n", name, value, unit); }

}  // namespace

// Linked to a logger that streams garbage: CPU and memory over 30 s, then Disconnect and LINK.
int GarbageRun(CWingUtilityDlg& dlg) {
    auto linkButton = [&] { return dynamic_cast<QAbstractButton*>(dlg.Item(IDC_LINK)); };
    const double rss0 = RssMiB();
    const IdleCost cost = IdleThirtySeconds();
    Figure("garbage_cpu", cost.cpuPercent, "%");
    Figure("garbage_wakeups", cost.wakeups, "/s");
    Figure("garbage_rss_start", rss0, "MiB");
    Figure("garbage_rss_end", RssMiB(), "MiB");

    QElapsedTimer unlink;
    unlink.start();
    linkButton()->click();
    bool down = Wait([&] { return dlg.ItemText(IDC_LINK) == dlg.Text(157) && dlg.IsItemEnabled(IDC_LINK); }, 20000);
    Figure("garbage_unlink", unlink.nsecsElapsed() / 1e9, "s");
    QElapsedTimer relink;
    relink.start();
    linkButton()->click();
    bool up = Wait([&] { return dlg.Progress(IDC_LINK_PROGRESS) == 100; }, 20000);
    Figure("garbage_relink", relink.nsecsElapsed() / 1e9, "s");
    return down && up ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: wing-window-bench COM OUTDIR [--garbage]\n");
        return 2;
    }
    const bool garbage = argc > 3 && std::string(argv[3]) == "--garbage";
    int com = std::atoi(argv[1]);
    fs::path out = fs::absolute(argv[2]);
    fs::create_directories(out / "c");
    fs::path ini = out / "Wing.ini";
    std::ofstream(ini) << "[Mode]\nCompetition=0\n[Power]\nThreshold=35\n[Language]\nLanguageByOS=2\n"
                          "[NTP]\nNTP=0\n[Personal]\nENABLE=0\nCOM=" << com << "\n[Map]\nOffline=1\n";

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
    if (garbage) {
        int result = GarbageRun(dlg);
        dlg.DestroyWindow();
        return result;
    }
    // Idle while linked: the status poll every 500 ms and the clock.
    const IdleCost idle = IdleThirtySeconds();
    Figure("idle_cpu", idle.cpuPercent, "%");
    Figure("idle_wakeups", idle.wakeups, "/s");

    QElapsedTimer read;
    read.start();
    dynamic_cast<QAbstractButton*>(dlg.Item(IDC_READ_SAVE))->click();
    bool saved = Wait([&] { return dlg.Progress(IDC_READ_PROGRESS) == 100 && dlg.IsItemEnabled(IDC_LINK); }, 120000);
    Figure("read_and_save", read.nsecsElapsed() / 1e9, "s");
    Figure("records", static_cast<double>(dlg.Session().Records().size()), "records");
    // From the end of a save to the flight drawn: read the archive, analyse, lay out, paint.
    QElapsedTimer flight;
    flight.start();
    dlg.OpenFlight(dlg.Session().LastArchive());
    if (dlg.Flight() != nullptr) {
        QCoreApplication::processEvents();
        dlg.Flight()->grab();
    }
    Figure("flight_drawn", flight.nsecsElapsed() / 1e6, "ms");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    Figure("peak_rss", usage.ru_maxrss / 1024.0, "MiB");
    dlg.DestroyWindow();
    return saved ? 0 : 1;
}
