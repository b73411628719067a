#pragma once
// The soak: the real window, offscreen, against a fresh logger simulator per cycle with
// faults drawn at random from a seed. A fault cycle links, waits for the status, then sets
// the logger up (start now) when its switch is on or reads and saves when it is off, and
// waits for the outcome. A button sequence (button_sequence.cpp) opens a window on a slow
// logger and presses its buttons in random order. After each the process must be
// responsive, LINK and Exit usable, no thread left over, and every file in the log folder
// complete and from a finished download, its CSV record for record what the logger holds.
// Used by the wing-soak program and by short tests.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "e2e/window_rig.h"

namespace wing::soak {

// A command of the protocol, by command and sub id, with its display name.
struct CommandId {
    int command;
    int sub;
    const char* name;
};

// What one cycle did and found.
struct CycleReport {
    int index = 0;
    std::vector<std::string> faults;     // drawn, e.g. "refusal Read Log code 6"
    std::vector<std::string> faultsMet;  // kinds the logger actually applied
    std::vector<std::string> presses;    // a button sequence's presses, in order
    std::string action;                  // "setting" or "read and save"
    std::string outcome;                 // "saved", "linked", "refusal report", ...
    std::vector<std::string> violations; // failed checks; empty when the cycle is sound
    std::string evidence;                // the window and the logger's last frames when a check failed
    double seconds = 0;
    double linkSeconds = 0, actionSeconds = 0, checkSeconds = 0, unlinkSeconds = 0;
};

class Soak {
public:
    explicit Soak(std::uint32_t seed, bool verbose = false);
    ~Soak();
    Soak(const Soak&) = delete;
    Soak& operator=(const Soak&) = delete;

    CycleReport RunCycle(int index);
    // A fresh window on a slow logger and `presses` random presses, then the checks.
    CycleReport RunButtonSequence(int index, int presses = 25);

    // Counts so far: fault kinds drawn and met, outcomes, and every violation.
    const std::map<std::string, int>& FaultsDrawn() const { return m_faultsDrawn; }
    const std::map<std::string, int>& FaultsMet() const { return m_faultsMet; }
    const std::map<std::string, int>& Outcomes() const { return m_outcomes; }
    const std::vector<std::string>& Violations() const { return m_violations; }
    int RecordMismatches() const { return m_recordMismatches; }
    // Windows that did not give back LINK and Exit within their bounds.
    int WindowsWithoutLinkOrExit() const { return m_windowsWithoutLinkOrExit; }
    const std::set<int>& RefusalCodesMet() const { return m_refusalCodesMet; }
    void PrintSummary(std::FILE* out) const;

private:
    // What a cycle meets: the logger's configuration with its faults, described.
    struct Plan {
        sim::SimConfig config;
        bool read = false;
        std::vector<std::string> kinds;
        std::vector<std::string> details;  // each fault with its parameters
        CommandId refused{-1, -1, ""};
        int refusalCode = -1;
    };
    struct FileState {
        std::filesystem::file_time_type mtime;
        std::uintmax_t size = 0;
    };
    using FileMap = std::map<std::string, FileState>;

    // A message nobody else uses: the probe of the UI thread's responsiveness.
    static constexpr unsigned kProbeMessage = WM_APP + 1900;
    static constexpr std::chrono::milliseconds kProbeLost{1000000};

    Plan Draw();
    int Pick(int n) { return static_cast<int>(m_rng() % static_cast<unsigned>(n)); }
    // How long the event loop takes to handle a posted message (kProbeLost: over 5 s).
    std::chrono::milliseconds ProbeLatency();
    std::chrono::milliseconds PauseWithProbe(std::chrono::milliseconds pause);
    void OpenFreshWindow();
    std::string WaitForLink(CycleReport& report);
    std::string RunAction(const Plan& plan, CycleReport& report);
    std::string EndOfLink();
    std::string Evidence();
    void CountFaultsMet(const Plan& plan, CycleReport& report);
    void CheckResponsive(CycleReport& report);
    void CheckThreads(CycleReport& report, int allowedAboveBaseline, const char* when);
    // `held`: the logger's records every new or changed file must hold; null when no
    // download finished, so no file may have been written.
    void CheckFiles(const FileMap& before, const std::vector<sim::LogSlot>* held, CycleReport& report);
    void Unlink(CycleReport& report);
    FileMap ScanLogFolder() const;

    std::mt19937 m_rng;
    bool m_verbose;
    test::WindowHost m_host;
    std::unique_ptr<sim::LoggerSimulator> m_sim;
    int m_threadBaseline = 0;
    int m_nextRefusalCode = -1;
    std::set<int> m_refusalCodesMet;
    FileMap m_verified;  // files checked complete, as they were then
    std::map<std::string, int> m_faultsDrawn;
    std::map<std::string, int> m_faultsMet;
    std::map<std::string, int> m_outcomes;
    std::vector<std::string> m_violations;
    int m_recordMismatches = 0;
    int m_windowsWithoutLinkOrExit = 0;
    int m_sequences = 0;
    int m_presses = 0;
    long m_slowestLoopMs = 0;
};

// Threads of this process that run our code: the ones that carry the process's own name
// (the library's and Qt's helper threads name themselves), the main thread excluded.
int OwnThreadCount();

}  // namespace wing::soak
