#include "soak/soak_cycle.h"

#include <dirent.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>

#include "archive/download_archive.h"
#include "platform/text.h"

namespace wing::soak {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr CommandId kLinkCommands[] = {{2, 0, "Set RTC"}, {1, 1, "Get Version"}, {1, 3, "Get SN"}, {1, 0, "Query Status"}};
constexpr CommandId kSettingCommands[] = {{3, 2, "Delete log"}, {2, 1, "Set Mode"}};
constexpr CommandId kReadCommands[] = {{3, 1, "Query Log Number"}, {3, 0, "Read Log"}};

const char* const kFaultKinds[] = {"refusal", "drop",  "corrupt",       "duplicate", "late duplicate",
                                   "garbage", "split", "delay", "board missing", "hang-up"};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Narrow(const std::wstring& text) { return ToUtf8(text); }

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return !prefix.empty() && text.rfind(prefix, 0) == 0;
}

// The record lines of a CSV export, or -1 with `why` when the file is not a complete one.
long CsvRecordLines(const std::string& text, std::string& why) {
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
        why = "does not end with a line end";
        return -1;
    }
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (lines.size() < 3 || lines[0].rfind("SN :", 0) != 0 || lines[1].rfind("GPS Board :", 0) != 0 ||
        lines[2].rfind("DateTime", 0) != 0) {
        why = "header lines missing";
        return -1;
    }
    for (std::size_t i = 3; i < lines.size(); ++i) {
        if (std::count(lines[i].begin(), lines[i].end(), ',') < 21) {
            why = "record line " + std::to_string(i - 2) + " is cut short";
            return -1;
        }
    }
    return static_cast<long>(lines.size() - 3);
}

}  // namespace

int OwnThreadCount() {
    auto comm = [](const std::string& path) {
        std::string name;
        std::ifstream in(path);
        std::getline(in, name);
        return name;
    };
    const std::string own = comm("/proc/self/comm");
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            if (comm(std::string("/proc/self/task/") + e->d_name + "/comm") == own) ++count;
        }
        ::closedir(dir);
    }
    return count - 1;
}

Soak::Soak(std::uint32_t seed, bool verbose) : m_rng(seed), m_verbose(verbose) { OpenFreshWindow(); }

void Soak::OpenFreshWindow() {
    m_host.CloseWindow();
    // Personal mode: LINK finds the adapter, so every cycle's fresh simulator is found
    // without writing the profile again.
    test::RigOptions options;
    options.personal = 1;
    m_host.OpenWindow(options, 0);
    m_host.dlg->MapMessage(kProbeMessage, [](WPARAM, LPARAM) { return LRESULT{0}; });
    m_host.Click(IDC_START_NOW);
    // The window's own threads; a logger still running adds its one.
    m_threadBaseline = OwnThreadCount() - (m_sim && !m_sim->HungUp() ? 1 : 0);
}

Soak::~Soak() {
    m_host.CloseWindow();
    m_sim.reset();
}

Soak::Plan Soak::Draw() {
    Plan plan;
    sim::SimConfig& c = plan.config;
    c.pacing = false;
    c.faultSeed = m_rng();
    c.flight.seed = m_rng();
    plan.read = Pick(2) == 0;
    c.switchPos = plan.read ? 0 : 1;
    if (plan.read) {
        static const int kSlots[] = {0, 8, 40, 200, 200, 512, 512, 2048};
        int slots = kSlots[Pick(static_cast<int>(std::size(kSlots)))];
        if (slots == 0) {
            c.records = std::vector<sim::LogSlot>{};
        } else {
            c.flight.slots = slots;
        }
    } else {
        c.flight.slots = 16;
    }

    // Commands this cycle sends, for faults aimed at one of them.
    std::vector<CommandId> sent(std::begin(kLinkCommands), std::end(kLinkCommands));
    if (plan.read) {
        sent.insert(sent.end(), std::begin(kReadCommands), std::end(kReadCommands));
    } else {
        sent.insert(sent.end(), std::begin(kSettingCommands), std::end(kSettingCommands));
    }

    // One cycle in five is clean, the others meet one or two faults.
    int r = Pick(10);
    int count = r < 2 ? 0 : (r < 7 ? 1 : 2);
    // Refusals weigh three times, so a full run meets every status code; a hang-up needs a download.
    std::vector<std::string> kinds(std::begin(kFaultKinds), std::end(kFaultKinds));
    kinds.insert(kinds.end(), 2, "refusal");
    if (!plan.read) kinds.erase(std::find(kinds.begin(), kinds.end(), "hang-up"));
    for (int i = 0; i < count; ++i) {
        std::string kind = kinds[Pick(static_cast<int>(kinds.size()))];
        kinds.erase(std::remove(kinds.begin(), kinds.end(), kind), kinds.end());
        plan.kinds.push_back(kind);
        sim::Faults& f = c.faults;
        if (kind == "refusal") {
            CommandId target = sent[Pick(static_cast<int>(sent.size()))];
            // The codes 0-20 in turn, from a point the seed chooses.
            if (m_nextRefusalCode < 0) m_nextRefusalCode = Pick(21);
            sim::Refusal refusal{target.command, target.sub, static_cast<std::uint8_t>(m_nextRefusalCode), 0};
            m_nextRefusalCode = (m_nextRefusalCode + 1) % 21;
            refusal.times = Pick(2) == 0 ? 0 : 1 + Pick(2);
            // A clock the logger always refuses as a parameter error is written again for
            // ever, as designed; the soak wants an end.
            if (target.command == 2 && target.sub == 0 && refusal.code == 6 && refusal.times == 0) refusal.times = 2;
            f.refusals.push_back(refusal);
            plan.refused = target;
            plan.refusalCode = refusal.code;
            plan.details.push_back(std::string("refusal of ") + target.name + " code " + std::to_string(refusal.code) +
                                   (refusal.times == 0 ? " always" : " x" + std::to_string(refusal.times)));
        } else if (kind == "drop" || kind == "corrupt" || kind == "duplicate" || kind == "late duplicate") {
            sim::ReplyFault fault;
            fault.kind = kind == "drop"        ? sim::ReplyFaultKind::Drop
                         : kind == "corrupt"   ? sim::ReplyFaultKind::Corrupt
                         : kind == "duplicate" ? sim::ReplyFaultKind::Duplicate
                                               : sim::ReplyFaultKind::DuplicateLate;
            fault.every = 2 + Pick(6);
            std::string target = "replies";
            if (Pick(2) == 0) {
                CommandId aim = sent[Pick(static_cast<int>(sent.size()))];
                fault.command = aim.command;
                fault.sub = aim.sub;
                target = std::string(aim.name) + " replies";
            }
            f.replyFaults.push_back(fault);
            // Every missing or damaged page costs an answer time: keep the download short.
            if (kind != "duplicate" && kind != "late duplicate" && plan.read && c.flight.slots > 512) c.flight.slots = 512;
            plan.details.push_back(kind + " every " + std::to_string(fault.every) + " of the " + target);
        } else if (kind == "garbage") {
            f.garbageBytes = 1 + Pick(48);
            plan.details.push_back("garbage " + std::to_string(f.garbageBytes) + " bytes");
        } else if (kind == "split") {
            f.splitMaxChunk = 1 + Pick(12);
            f.splitDelayMs = Pick(3);
            plan.details.push_back("split in 1.." + std::to_string(f.splitMaxChunk) + " bytes " +
                                   std::to_string(f.splitDelayMs) + " ms apart");
        } else if (kind == "delay") {
            // Mostly within the answer time; sometimes beyond it, so answers come late.
            f.replyDelayMs = Pick(10) < 7 ? 20 + Pick(300) : 900 + Pick(700);
            if (plan.read && c.flight.slots > 200) c.flight.slots = 200;
            plan.details.push_back("delay " + std::to_string(f.replyDelayMs) + " ms");
        } else if (kind == "board missing") {
            // From around the link to within the action; the cycle waits for its end.
            f.boardMissingFrom = 0.3 + Pick(25) / 10.0;
            f.boardMissingTo = f.boardMissingFrom + 0.5 + Pick(25) / 10.0;
            char text[64];
            std::snprintf(text, sizeof text, "board missing %.1f-%.1f s", f.boardMissingFrom, f.boardMissingTo);
            plan.details.push_back(text);
        } else if (kind == "hang-up") {
            int pages = std::max(1, c.flight.slots / 8);
            f.hangUpAfterPages = Pick(pages);
            plan.details.push_back("hang-up after " + std::to_string(f.hangUpAfterPages) + " pages");
        }
    }
    return plan;
}

CycleReport Soak::RunCycle(int index) {
    const auto started = Clock::now();
    CycleReport report;
    report.index = index;
    Plan plan = Draw();
    report.action = plan.read ? "read and save" : "setting";
    report.faults = plan.details;
    for (const auto& kind : plan.kinds) ++m_faultsDrawn[kind];
    if (plan.kinds.empty()) ++m_faultsDrawn["none (clean cycle)"];

    const FileMap before = ScanLogFolder();
    m_sim = std::make_unique<sim::LoggerSimulator>(plan.config);
    const auto simStarted = Clock::now();
    auto lap = simStarted;
    auto split = [&lap](double& into) {
        auto now = Clock::now();
        into = std::chrono::duration<double>(now - lap).count();
        lap = now;
    };
    if (!m_sim->Start()) {
        report.outcome = "simulator did not start";
        report.violations.push_back("the simulator could not start");
    } else {
        report.outcome = WaitForLink(report);
        split(report.linkSeconds);
        if (report.outcome == "linked") report.outcome = RunAction(plan, report);
        if (report.outcome.empty()) report.outcome = EndOfLink();
        split(report.actionSeconds);
        // A board-missing window still to come or under way: let it pass while linked,
        // so the re-link after it is part of the cycle.
        const double boardBack = plan.config.faults.boardMissingTo;
        if (boardBack > 0 && !m_host.Unlinked()) {
            auto until = simStarted + std::chrono::milliseconds(static_cast<int>(boardBack * 1000) + 1500);
            m_host.WaitFor([&] { return Clock::now() >= until || m_host.Unlinked(); }, 30);
        }
    }

    const bool saved = report.outcome == "saved";
    const std::vector<sim::LogSlot> held = m_sim ? m_sim->LogSlots() : std::vector<sim::LogSlot>{};
    const std::size_t records = saved ? m_host.dlg->Session().Records().size() : 0;
    if (saved && records != held.size())
        report.violations.push_back("downloaded " + std::to_string(records) + " records of " +
                                    std::to_string(held.size()));
    if (m_sim) CountFaultsMet(plan, report);

    CheckResponsive(report);
    // LINK is usable: the link is up, or it is down with LINK enabled.
    if (!m_host.WaitFor([&] { return m_host.Linked() || m_host.Unlinked(); }, 15)) {
        ++m_windowsWithoutLinkOrExit;
        report.violations.push_back("LINK not usable after the outcome (caption \"" +
                                    Narrow(m_host.dlg->ItemText(IDC_LINK)) + "\", " +
                                    (m_host.dlg->IsItemEnabled(IDC_LINK) ? "enabled" : "disabled") + ")");
    }
    // Linked: the simulator, the port's reader thread and the poll's worker.
    CheckThreads(report, m_host.Linked() ? 3 : 1, "after the outcome");
    CheckFiles(before, saved ? &held : nullptr, report);

    split(report.checkSeconds);
    if (!report.violations.empty()) report.evidence = Evidence();
    const std::size_t found = report.violations.size();
    Unlink(report);
    if (report.violations.size() > found) {
        report.evidence += "after unlinking:\n" + Evidence();
        // A window that cannot be unlinked would spoil every later cycle: start afresh.
        if (!m_host.Unlinked()) OpenFreshWindow();
    }
    m_sim.reset();
    CheckThreads(report, 0, "after unlinking");
    split(report.unlinkSeconds);

    ++m_outcomes[report.outcome];
    for (const auto& v : report.violations) m_violations.push_back("cycle " + std::to_string(index) + ": " + v);
    report.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (m_verbose || !report.violations.empty()) {
        if (plan.read) report.action += plan.config.records ? " 0" : " " + std::to_string(plan.config.flight.slots);
        std::string faults;
        for (const auto& f : report.faults) faults += (faults.empty() ? "" : "; ") + f;
        std::printf("cycle %3d  %-13s %-18s %5.1f s (link %.1f, action %.1f, checks %.1f, unlink %.1f)  faults: %s\n",
                    index, report.action.c_str(), report.outcome.c_str(), report.seconds, report.linkSeconds,
                    report.actionSeconds, report.checkSeconds, report.unlinkSeconds,
                    faults.empty() ? "none" : faults.c_str());
        for (const auto& v : report.violations) std::printf("    VIOLATION: %s\n", v.c_str());
        if (!report.violations.empty()) std::printf("%s", report.evidence.c_str());
        std::fflush(stdout);
    }
    return report;
}

// Clicks LINK and waits until the link is up or has ended.
std::string Soak::WaitForLink(CycleReport& report) {
    const std::size_t boxes = m_host.Boxes().size();
    auto openFailed = [&] {
        auto all = m_host.Boxes();
        for (std::size_t i = boxes; i < all.size(); ++i)
            if (all[i].text == m_host.dlg->Text(148)) return true;
        return false;
    };
    m_host.Click(IDC_LINK);
    if (!m_host.WaitFor([&] { return m_host.Linked() || m_host.Unlinked() || openFailed(); }, 60)) {
        report.violations.push_back("no end of the link within 60 s");
        return "stuck while linking";
    }
    if (m_host.Linked()) return "linked";
    if (openFailed()) return "port not opened";
    return "";  // classified by the caller's final look at the window
}

std::string Soak::RunAction(const Plan& plan, CycleReport& report) {
    CWingUtilityDlg& dlg = *m_host.dlg;
    const int button = plan.read ? IDC_READ_SAVE : IDC_SETTING;
    // A board-missing window may hold the buttons back until the re-link.
    if (!m_host.WaitFor([&] { return (m_host.Linked() && dlg.IsItemEnabled(button)) || m_host.Unlinked(); }, 30)) {
        report.violations.push_back(std::string(plan.read ? "Read and Save" : "Setting") +
                                    " not offered within 30 s while linked");
        return "action not offered";
    }
    if (m_host.Unlinked()) return "";

    const std::size_t boxes = m_host.Boxes().size();
    auto summaryShown = [&] {
        auto all = m_host.Boxes();
        for (std::size_t i = boxes; i < all.size(); ++i)
            if (StartsWith(all[i].text, dlg.Text(159))) return true;
        return false;
    };
    auto readEnded = [&] {
        std::wstring message = m_host.StaticText(IDC_READ_MESSAGE);
        return dlg.IsItemEnabled(IDC_LINK) && (StartsWith(message, dlg.Text(151)) || message == dlg.Text(149) ||
                                               message == dlg.Text(150));
    };
    // The board going missing after Set Mode was acknowledged re-links the logger, and the
    // re-link drops the verification that was due: linked again is that cycle's outcome.
    bool boardMissing = false;
    auto relinked = [&] {
        boardMissing = boardMissing || m_host.StaticText(IDC_SERIAL) == dlg.Text(186);
        return boardMissing && m_host.Linked() && dlg.IsItemEnabled(IDC_SETTING);
    };
    m_host.Click(button);
    bool ended = m_host.WaitFor(
        [&] {
            if (m_host.Unlinked()) return true;
            if (plan.read) return readEnded();
            return (summaryShown() && m_host.Linked() && dlg.IsItemEnabled(IDC_LINK)) || relinked();
        },
        120);
    if (!ended) {
        report.violations.push_back(std::string("no outcome of ") + report.action + " within 120 s");
        return "stuck in " + report.action;
    }
    if (m_host.Unlinked()) return "";
    if (!plan.read) return summaryShown() ? "set and verified" : "linked again";
    std::wstring message = m_host.StaticText(IDC_READ_MESSAGE);
    if (StartsWith(message, dlg.Text(151))) return "saved";
    if (message == dlg.Text(149)) return "no log data";
    return "read error";
}

void Soak::CountFaultsMet(const Plan& plan, CycleReport& report) {
    auto log = m_sim->FrameLog();
    auto noted = [&](const char* what) {
        return std::any_of(log.begin(), log.end(), [&](const sim::FrameLogEntry& e) {
            return !e.fromPc && e.note.find(what) != std::string::npos;
        });
    };
    for (const auto& kind : plan.kinds) {
        bool met = false;
        if (kind == "refusal") {
            met = std::any_of(log.begin(), log.end(), [&](const sim::FrameLogEntry& e) {
                return !e.fromPc && e.command == plan.refused.command && e.sub == plan.refused.sub &&
                       e.statusCode == plan.refusalCode;
            });
        } else if (kind == "drop") {
            met = noted("dropped");
        } else if (kind == "corrupt") {
            met = noted("checksum corrupted");
        } else if (kind == "duplicate") {
            met = noted("duplicated");
        } else if (kind == "late duplicate") {
            met = noted("late copy");
        } else if (kind == "garbage") {
            met = noted("garbage bytes");
        } else if (kind == "split") {
            met = noted("split");
        } else if (kind == "delay") {
            met = noted("delayed");
        } else if (kind == "board missing") {
            met = std::any_of(log.begin(), log.end(), [](const sim::FrameLogEntry& e) {
                return !e.fromPc && e.command == 1 && e.sub == 0 && e.statusCode == sim::kBoardNotDetected;
            });
        } else if (kind == "hang-up") {
            met = m_sim->HungUp();
        }
        if (met) {
            if (kind == "refusal") m_refusalCodesMet.insert(plan.refusalCode);
            ++m_faultsMet[kind];
            report.faultsMet.push_back(kind);
        }
    }

}

// The window's state and the logger's last frames, to show what a failed check met.
std::string Soak::Evidence() {
    CWingUtilityDlg& dlg = *m_host.dlg;
    std::string out;
    auto line = [&out](const std::string& name, const std::string& value) { out += "    " + name + ": " + value + "\n"; };
    line("LINK", "\"" + Narrow(dlg.ItemText(IDC_LINK)) + "\" " + (dlg.IsItemEnabled(IDC_LINK) ? "enabled" : "disabled") +
                     ", link progress " + std::to_string(dlg.Progress(IDC_LINK_PROGRESS)));
    line("Read and Save / Setting", std::string(dlg.IsItemEnabled(IDC_READ_SAVE) ? "enabled" : "disabled") + " / " +
                                        (dlg.IsItemEnabled(IDC_SETTING) ? "enabled" : "disabled"));
    line("read message", Narrow(m_host.StaticText(IDC_READ_MESSAGE)) + "  counter " +
                             Narrow(m_host.StaticText(IDC_READ_COUNTER)) + "  bar " +
                             std::to_string(dlg.Progress(IDC_READ_PROGRESS)));
    line("error line", Narrow(m_host.StaticText(IDC_ERROR_LINE)));
    line("serial", Narrow(m_host.StaticText(IDC_SERIAL)));
    line("flows", std::string(dlg.Session().FlowsRunning() ? "running" : "stopped") + ", port " +
                      (dlg.Session().PortOpen() ? "open" : "closed"));
    line("threads of ours", std::to_string(OwnThreadCount()) + " (baseline " + std::to_string(m_threadBaseline) + ")");
    if (m_sim) {
        auto frames = m_sim->FrameLogLines();
        out += "    last frames of " + std::to_string(frames.size()) + ":\n";
        for (std::size_t i = frames.size() > 30 ? frames.size() - 30 : 0; i < frames.size(); ++i)
            out += "      " + frames[i] + "\n";
    }
    return out;
}

// Why the link ended, from the window.
std::string Soak::EndOfLink() {
    CWingUtilityDlg& dlg = *m_host.dlg;
    std::wstring error = m_host.StaticText(IDC_ERROR_LINE);
    if (StartsWith(error, dlg.Text(154))) return "no-response line";
    if (error.find(dlg.Text(171)) != std::wstring::npos) return "refusal report";
    return "unlinked";
}

std::chrono::milliseconds Soak::ProbeLatency() {
    std::atomic<bool> handled{false};
    Clock::time_point handledAt;
    const auto posted = Clock::now();
    m_host.dlg->MapMessage(kProbeMessage, [&](WPARAM, LPARAM) {
        handledAt = Clock::now();
        handled = true;
        return LRESULT{0};
    });
    PostMessageTo(m_host.dlg->Hwnd(), kProbeMessage, 0, 0);
    m_host.WaitFor([&] { return handled.load(); }, 5);
    m_host.dlg->MapMessage(kProbeMessage, [](WPARAM, LPARAM) { return LRESULT{0}; });
    if (!handled) return kProbeLost;
    return std::chrono::duration_cast<std::chrono::milliseconds>(handledAt - posted);
}

void Soak::CheckResponsive(CycleReport& report) {
    const auto latency = ProbeLatency();
    if (latency == kProbeLost) {
        report.violations.push_back("a posted message was not handled within 5 s");
    } else if (latency > std::chrono::seconds(1)) {
        report.violations.push_back("a posted message took " + std::to_string(latency.count()) + " ms to be handled");
    }
}

void Soak::CheckThreads(CycleReport& report, int allowedAboveBaseline, const char* when) {
    // Short-lived threads (dispatcher, close-link, export) end within a few seconds.
    const int limit = m_threadBaseline + allowedAboveBaseline;
    if (m_host.WaitFor([&] { return OwnThreadCount() <= limit; }, 8)) return;
    report.violations.push_back(std::string("threads ") + when + ": " + std::to_string(OwnThreadCount()) +
                                " of ours running, at most " + std::to_string(limit) + " expected");
}

Soak::FileMap Soak::ScanLogFolder() const {
    FileMap files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_host.drive, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        FileState state;
        state.mtime = it->last_write_time(ec);
        state.size = it->file_size(ec);
        files[it->path().string()] = state;
    }
    return files;
}

void Soak::CheckFiles(const FileMap& before, const std::vector<sim::LogSlot>* held, CycleReport& report) {
    const FileMap now = ScanLogFolder();
    for (const auto& [path, state] : m_verified)
        if (!now.count(path)) report.violations.push_back("earlier file lost: " + path);
    for (const auto& [path, state] : now) {
        const std::string name = fs::path(path).filename().string();
        if (name.find(".tmp") != std::string::npos) {
            report.violations.push_back("temporary file left: " + path);
            continue;
        }
        auto old = before.find(path);
        bool changed = old == before.end() || old->second.mtime != state.mtime || old->second.size != state.size;
        auto seen = m_verified.find(path);
        if (!changed && seen != m_verified.end() && seen->second.mtime == state.mtime && seen->second.size == state.size)
            continue;
        if (held == nullptr) {
            report.violations.push_back("file written without a finished download: " + path);
            continue;
        }
        const std::string ext = fs::path(path).extension().string();
        const std::string text = ReadFile(path);
        std::string why;
        if (ext == ".csv") {
            CsvRecordLines(text, why);
            // Record for record what the logger holds, not only whole.
            if (why.empty()) {
                // The serial number as the logger holds it, or none when an older firmware's
                // refusal of it was met on the link that saved.
                const sim::SimConfig logger;  // the soak's loggers keep these of the defaults
                const std::wstring serial(logger.serialNumber.begin(), logger.serialNumber.end());
                CGetVersion version;
                version.m_version = logger.version;
                const std::wstring board = version.FormatVersion();
                const unsigned lang = m_host.dlg->m_langId;
                const std::string expected = test::ExpectedCsv(*held, serial, board, lang);
                if (text != expected && text != test::ExpectedCsv(*held, L"", board, lang)) {
                    std::size_t at = 0;
                    while (at < text.size() && at < expected.size() && text[at] == expected[at]) ++at;
                    const long line = std::count(expected.begin(), expected.begin() + static_cast<long>(at), '\n');
                    why = "differs from the logger's records from line " + std::to_string(line + 1);
                }
            }
            if (!why.empty()) ++m_recordMismatches;
        } else if (ext == ".wing") {
            // The archive holds the logger's slots exactly.
            auto read = DecodeArchive(text);
            if (auto* problem = std::get_if<std::string>(&read)) {
                why = "archive: " + *problem;
            } else if (std::get<ArchivedDownload>(read).rawSlots != *held) {
                why = "the archive's slots differ from the logger's";
                ++m_recordMismatches;
            }
        } else if (ext == ".kml") {
            pugi::xml_document doc;
            auto result = doc.load_buffer(text.data(), text.size());
            if (!result)
                why = std::string("not well-formed XML: ") + result.description();
            else if (std::string(doc.document_element().name()) != "kml")
                why = "root element is not kml";
        } else if (ext == ".js") {
            std::string trimmed = text;
            while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == '\r')) trimmed.pop_back();
            if (trimmed.size() < 3 || trimmed.compare(trimmed.size() - 3, 3, "]};") != 0)
                why = "points script does not end with \"]};\"";
        } else {
            why = "unexpected file";
        }
        if (!why.empty()) report.violations.push_back(name + ": " + why);
        m_verified[path] = state;
    }
}

void Soak::Unlink(CycleReport& report) {
    CWingUtilityDlg& dlg = *m_host.dlg;
    auto canUnlink = [&] { return dlg.ItemText(IDC_LINK) == dlg.Text(143) && dlg.IsItemEnabled(IDC_LINK); };
    if (!m_host.WaitFor([&] { return m_host.Unlinked() || canUnlink(); }, 60)) {
        ++m_windowsWithoutLinkOrExit;
        report.violations.push_back("LINK not released within 60 s, cannot unlink");
        return;
    }
    if (m_host.Unlinked()) return;
    m_host.Click(IDC_LINK);
    if (!m_host.WaitFor([&] { return m_host.Unlinked() && dlg.IsItemEnabled(IDC_EXIT); }, 20)) {
        ++m_windowsWithoutLinkOrExit;
        report.violations.push_back("not unlinked with Exit enabled within 20 s of clicking LINK");
    }
}

void Soak::PrintSummary(std::FILE* out) const {
    std::fprintf(out, "\nfaults (cycles drawn / met):\n");
    for (const auto& [kind, n] : m_faultsDrawn) {
        auto met = m_faultsMet.find(kind);
        if (kind.rfind("none", 0) == 0)
            std::fprintf(out, "  %-20s %4d\n", kind.c_str(), n);
        else
            std::fprintf(out, "  %-20s %4d / %d\n", kind.c_str(), n, met == m_faultsMet.end() ? 0 : met->second);
    }
    std::fprintf(out, "saved CSV files that differ from the logger's records: %d\n", m_recordMismatches);
    std::fprintf(out, "windows left without an enabled LINK or Exit: %d\n", m_windowsWithoutLinkOrExit);
    if (m_sequences > 0)
        std::fprintf(out, "button sequences: %d, presses made: %d, slowest answer of the event loop: %ld ms\n",
                     m_sequences, m_presses, m_slowestLoopMs);
    std::fprintf(out, "refusal codes met:");
    for (int code : m_refusalCodesMet) std::fprintf(out, " %d", code);
    std::fprintf(out, "\noutcomes:\n");
    for (const auto& [outcome, n] : m_outcomes) std::fprintf(out, "  %-20s %4d\n", outcome.c_str(), n);
    std::fprintf(out, "violations: %zu\n", m_violations.size());
    for (const auto& v : m_violations) std::fprintf(out, "  %s\n", v.c_str());
}

}  // namespace wing::soak
