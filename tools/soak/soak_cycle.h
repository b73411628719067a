#pragma once
// The fault soak: the real window, offscreen, against a fresh logger simulator per cycle
// with faults drawn at random from a seed. A cycle links, waits for the status, then sets
// the logger up (start now) when its switch is on or reads and saves when it is off, and
// waits for the outcome. After every cycle the process must be responsive, LINK usable,
// no thread left over, and every file in the log folder complete and from a finished
// download, its CSV record for record what the logger holds. Used by the wing-soak program and by a short test.

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

// What one cycle did and found.
struct CycleReport {
    int index = 0;
    std::vector<std::string> faults;     // drawn, e.g. "refusal Read Log code 6"
    std::vector<std::string> faultsMet;  // kinds the logger actually applied
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

    // Counts so far: fault kinds drawn and met, outcomes, and every violation.
    const std::map<std::string, int>& FaultsDrawn() const { return m_faultsDrawn; }
    const std::map<std::string, int>& FaultsMet() const { return m_faultsMet; }
    const std::map<std::string, int>& Outcomes() const { return m_outcomes; }
    const std::vector<std::string>& Violations() const { return m_violations; }
    int RecordMismatches() const { return m_recordMismatches; }
    const std::set<int>& RefusalCodesMet() const { return m_refusalCodesMet; }
    void PrintSummary(std::FILE* out) const;

private:
    struct Plan;
    struct FileState {
        std::filesystem::file_time_type mtime;
        std::uintmax_t size = 0;
    };
    using FileMap = std::map<std::string, FileState>;

    Plan Draw();
    void OpenFreshWindow();
    std::string WaitForLink(CycleReport& report);
    std::string RunAction(const Plan& plan, CycleReport& report);
    std::string EndOfLink();
    std::string Evidence();
    void CountFaultsMet(const Plan& plan, CycleReport& report);
    void CheckResponsive(CycleReport& report);
    void CheckThreads(CycleReport& report, int allowedAboveBaseline, const char* when);
    void CheckFiles(const FileMap& before, bool downloadFinished, std::size_t records, CycleReport& report);
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
};

// Threads of this process that run our code: the ones that carry the process's own name
// (the library's and Qt's helper threads name themselves), the main thread excluded.
int OwnThreadCount();

}  // namespace wing::soak
