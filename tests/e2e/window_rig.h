#pragma once
// The real main window, offscreen, linked to the logger simulator: a profile file, a
// device map and a drive C: of its own in a temporary folder, and a responder that
// answers every message box.

#include <QAbstractButton>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "export/csv_writer.h"
#include "framework/color_font_static.h"
#include "framework/message_box_qt.h"
#include "framework/qt_test_env.h"
#include "logger-sim/logger_sim.h"
#include "support/expected_csv.h"
#include "support/files.h"
#include "support/temp_config.h"
#include "window/wing_utility_dlg.h"

namespace wing::test {

struct RigOptions {
    int languageByOS = 2;  // English
    int competition = 0;
    int threshold = 35;
    int personal = 0;      // station mode: the port comes from COM
    int comOverride = -1;  // COM to write instead of the simulator's
    std::string extraIni;  // more sections for the profile file
};

// The real window in its surroundings, without a logger: the profile file is written and
// the window opened by OpenWindow, so a logger (or several in turn) can be started in
// between. Drives the window as the user does.
class WindowHost {
public:
    explicit WindowHost(std::function<int(const MessageBoxRequest&)> boxes = {})
        : m_responder(boxes ? std::move(boxes) : [](const MessageBoxRequest&) { return IDOK; }) {
        drive = config.Root() + "/c";
        std::filesystem::create_directories(drive);
        std::filesystem::create_directories(config.ConfigDir());
        std::ofstream(config.ConfigDir() + "/device-map.ini") << "[drives]\nC = " << drive << "\n";
        ini = config.Root() + "/Wing.ini";
    }
    virtual ~WindowHost() { CloseWindow(); }
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    // Writes the profile file (COM = `comNumber` unless the options say otherwise) and
    // opens the window; returns when LINK is released.
    void OpenWindow(const RigOptions& options, int comNumber) {
        std::ofstream(ini) << "[Mode]\nCompetition=" << options.competition << "\n[Power]\nThreshold="
                           << options.threshold << "\n[Language]\nLanguageByOS=" << options.languageByOS
                           << "\n[NTP]\nNTP=0\n[Personal]\nENABLE=" << options.personal
                           << "\nCOM=" << (options.comOverride >= 0 ? options.comOverride : comNumber) << "\n"
                           << "[Map]\nOffline=1\n"  // the flight window never goes online
                           << options.extraIni;
        dlg = std::make_unique<CWingUtilityDlg>(nullptr, std::filesystem::path(ini).wstring());
        dlg->Create();
        PumpUntil([&] { return dlg->IsItemEnabled(IDC_LINK); }, std::chrono::seconds(10));
    }
    void CloseWindow() {
        if (dlg) {
            dlg->DestroyWindow();
            dlg.reset();
        }
    }

    // Clicks a button as the user does.
    void Click(int id) {
        if (auto* b = dlg->ItemAs<QAbstractButton>(id)) b->click();
    }
    bool WaitFor(const std::function<bool()>& done, int seconds = 20) {
        return PumpUntil(done, std::chrono::seconds(seconds));
    }
    bool Linked() { return dlg->ItemText(IDC_LINK) == dlg->Text(143) && dlg->Progress(IDC_LINK_PROGRESS) == 100; }
    bool Unlinked() { return dlg->ItemText(IDC_LINK) == dlg->Text(157) && dlg->IsItemEnabled(IDC_LINK); }
    bool LinkAndWait() {
        Click(IDC_LINK);
        return WaitFor([&] { return Linked(); });
    }
    std::wstring StaticText(int id) { return dlg->ColorStatic(id)->Text(); }
    QColor StaticColour(int id) { return dlg->ColorStatic(id)->TextColor(); }
    std::vector<std::wstring> ListLines() {
        std::vector<std::wstring> out;
        for (int i = 0; i < dlg->ListCount(IDC_STATUS_LIST); ++i) out.push_back(dlg->ListText(IDC_STATUS_LIST, i));
        return out;
    }
    std::vector<std::filesystem::path> LogFiles() { return FilesUnder(drive); }
    std::vector<MessageBoxRequest> Boxes() const { return m_responder.Requests(); }

    TempConfig config;
    MessageBoxResponder m_responder;
    std::string drive;
    std::string ini;
    std::unique_ptr<CWingUtilityDlg> dlg;
};

// The window linked to one simulator, which is there for the window's whole life.
class WindowRig : public WindowHost {
public:
    WindowRig(sim::SimConfig simConfig, RigOptions options = {}, std::function<int(const MessageBoxRequest&)> boxes = {})
        : WindowHost(std::move(boxes)), simulator(std::move(simConfig)) {
        port = simulator.Start();
        OpenWindow(options, port.comNumber);
    }
    ~WindowRig() override {
        CloseWindow();
        simulator.Stop();
    }

    // The commands the logger received, by display name, in order.
    std::vector<std::string> Received() {
        std::vector<std::string> out;
        for (const auto& e : simulator.FrameLog())
            if (e.fromPc && e.command >= 0) out.push_back(sim::CommandName(e.command, e.sub));
        return out;
    }
    std::vector<sim::FrameLogEntry> ReceivedFrames(int command, int sub) {
        std::vector<sim::FrameLogEntry> out;
        for (const auto& e : simulator.FrameLog())
            if (e.fromPc && e.command == command && e.sub == sub) out.push_back(e);
        return out;
    }

    sim::LoggerSimulator simulator;
    sim::SimPort port;
};

inline sim::SimConfig Logger(int slots = 64) {
    sim::SimConfig c;
    c.pacing = false;
    c.flight.slots = slots;
    return c;
}

// A logger whose switch is off, as one is for reading.
inline sim::SimConfig ReadyToRead(int slots) {
    auto c = Logger(slots);
    c.switchPos = 0;
    return c;
}

}  // namespace wing::test
