// The button soak: a fresh window and a slow logger, then presses in random order, as an
// impatient user makes them, with the logger's switch moved now and then and faults drawn
// as the cycles draw them. Afterwards the window must let the user link again and close
// it, its event loop must have answered promptly all along, no thread of ours may be left
// over and every file written must hold the logger's records exactly.

#include <QAbstractButton>
#include <QDateTimeEdit>

#include <algorithm>
#include <chrono>

#include "platform/text.h"
#include "soak/soak_cycle.h"

namespace wing::soak {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A logger this slow still answers within the window's one-second attempt.
constexpr int kSlowLoggerMs = 900;

// After the last press, the longest activity there may still be before LINK is enabled: a
// download of five pages where the count and every page take all three one-second
// attempts, the ten-second wait for the count, then the closing of the link (two flows'
// five-second stop waits and the port threads' five seconds).
constexpr int kLinkBackSeconds = 6 * 3 + 10 + 15;
// From Disconnect to LINK and Exit enabled: the closing of the link alone.
constexpr int kUnlinkSeconds = 15;
// The event loop must handle a posted message within this.
constexpr milliseconds kLoopAnswer{1000};

enum class Press { Link, Setting, ReadSave, StartNow, StartReserved, AutoRead, AutoSet, Close, Exit };

struct PressKind {
    Press press;
    int weight;
    const char* name;
};
// The buttons that start something weigh most; the start kind, the automatic choices and
// the close attempts come now and then.
constexpr PressKind kPresses[] = {
    {Press::Link, 6, "LINK"},        {Press::Setting, 8, "Setting"},   {Press::ReadSave, 8, "Read and Save"},
    {Press::StartNow, 1, "Start Now"}, {Press::StartReserved, 1, "Reserve"}, {Press::AutoRead, 1, "Auto-Read"},
    {Press::AutoSet, 1, "Auto-Set"}, {Press::Close, 1, "close button"}, {Press::Exit, 1, "Exit"},
};

bool Starts(Press press) { return press == Press::Link || press == Press::Setting || press == Press::ReadSave; }

int ButtonOf(Press press) {
    switch (press) {
        case Press::Link: return IDC_LINK;
        case Press::Setting: return IDC_SETTING;
        case Press::ReadSave: return IDC_READ_SAVE;
        case Press::StartNow: return IDC_START_NOW;
        case Press::StartReserved: return IDC_START_RESERVED;
        case Press::AutoRead: return IDC_AUTO_READ;
        case Press::AutoSet: return IDC_AUTO_SET;
        case Press::Exit: return IDC_EXIT;
        case Press::Close: break;
    }
    return 0;
}

}  // namespace

// Pumps events for `pause`, posting a probe every 50 ms and timing how long the event loop
// takes to handle it; the longest such time (kProbeLost when one was not handled within
// five seconds).
milliseconds Soak::PauseWithProbe(milliseconds pause) {
    const auto until = Clock::now() + pause;
    milliseconds slowest{0};
    do {
        const milliseconds latency = ProbeLatency();
        if (latency == kProbeLost) return kProbeLost;
        slowest = std::max(slowest, latency);
        test::PumpFor(std::min(milliseconds(50), std::chrono::duration_cast<milliseconds>(until - Clock::now())));
    } while (Clock::now() < until);
    return slowest;
}

CycleReport Soak::RunButtonSequence(int index, int presses) {
    const auto started = Clock::now();
    CycleReport report;
    report.index = index;
    report.action = "buttons";

    Plan plan = Draw();
    sim::SimConfig& c = plan.config;
    static const int kSlots[] = {0, 8, 40};
    const int slots = kSlots[Pick(3)];
    if (slots == 0) {
        c.records = std::vector<sim::LogSlot>{};
    } else {
        c.records.reset();
        c.flight.slots = slots;
    }
    c.switchPos = static_cast<std::uint8_t>(Pick(2));
    if (c.faults.replyDelayMs == 0) c.faults.replyDelayMs = kSlowLoggerMs;
    // Spread over the sequence, not only around the first link.
    if (c.faults.boardMissingFrom >= 0) {
        c.faults.boardMissingFrom = 1 + Pick(200) / 10.0;
        c.faults.boardMissingTo = c.faults.boardMissingFrom + 0.5 + Pick(60) / 10.0;
    }
    if (c.faults.hangUpAfterPages >= 0) c.faults.hangUpAfterPages = Pick(slots / 8 + 1);
    const bool station = Pick(2) == 0;
    report.faults = plan.details;
    report.faults.push_back(std::string(station ? "station" : "personal") + " mode, " + std::to_string(slots) +
                            " records, switch " + std::to_string(c.switchPos));
    for (const auto& kind : plan.kinds) ++m_faultsDrawn[kind];
    if (plan.kinds.empty()) ++m_faultsDrawn["none (clean sequence)"];

    const FileMap before = ScanLogFolder();
    m_sim = std::make_unique<sim::LoggerSimulator>(c);
    if (!m_sim->Start()) {
        report.outcome = "simulator did not start";
        report.violations.push_back("the simulator could not start");
        m_sim.reset();
        ++m_outcomes[report.outcome];
        return report;
    }
    const std::vector<sim::LogSlot> held = m_sim->LogSlots();

    test::RigOptions options;
    options.personal = station ? 0 : 1;
    // The thread baseline stays the one measured without a logger: every window runs the
    // same threads of its own.
    auto openWindow = [&] {
        m_host.CloseWindow();
        m_host.OpenWindow(options, m_sim->ComNumber());
        m_host.dlg->MapMessage(kProbeMessage, [](WPARAM, LPARAM) { return LRESULT{0}; });
    };
    openWindow();

    int pressed = 0, closed = 0;
    milliseconds slowest{0};
    bool waiting = false;  // looking briefly again for a button that starts something
    for (int i = 0; i < presses; ++i) {
        // Short, medium and long pauses, so presses land in every stage of every exchange.
        const int r = waiting ? 0 : Pick(10);
        const milliseconds pause(r < 4 ? Pick(150) : r < 8 ? 150 + Pick(650) : 800 + Pick(1700));
        waiting = false;
        const milliseconds latency = PauseWithProbe(pause);
        slowest = std::max(slowest, latency);
        if (latency > kLoopAnswer) {
            report.violations.push_back("before press " + std::to_string(i + 1) + " a posted message took " +
                                        (latency == kProbeLost ? std::string("over 5 s")
                                                               : std::to_string(latency.count()) + " ms") +
                                        " to be handled");
            break;
        }
        // The fancier moves the logger's switch now and then.
        if (Pick(5) == 0) m_sim->SetSwitch(m_sim->State().switchPos == 1 ? 0 : 1);

        // The user presses what can be pressed: an enabled, visible button, or the close
        // button, which is always there (greyed, it does nothing).
        CWingUtilityDlg& dlg = *m_host.dlg;
        auto clickable = [&](Press press) -> QAbstractButton* {
            if (press == Press::Close) return nullptr;
            auto* button = dlg.ItemAs<QAbstractButton>(ButtonOf(press));
            return button != nullptr && button->isVisible() && button->isEnabled() ? button : nullptr;
        };
        int total = 0;
        bool anyStarts = false;
        for (const auto& k : kPresses) {
            if (k.press != Press::Close && !clickable(k.press)) continue;
            total += k.weight;
            anyStarts = anyStarts || Starts(k.press);
        }
        // With nothing to start, the user mostly waits: that wait is not a press.
        if (!anyStarts && Pick(30) != 0) {
            waiting = true;
            --i;
            continue;
        }
        int draw = Pick(total);
        const PressKind* kind = kPresses;
        for (;; ++kind) {
            if (kind->press != Press::Close && !clickable(kind->press)) continue;
            if (draw < kind->weight) break;
            draw -= kind->weight;
        }

        if (kind->press == Press::Close) {
            dlg.close();  // the close button: ignored while its menu item is greyed
        } else {
            if (kind->press == Press::StartReserved) {
                // A start an hour or a minute ahead, or one already past, as the user types it.
                const int ahead = Pick(3) == 0 ? -600 : Pick(2) == 0 ? 60 : 3600;
                const QDateTime when = QDateTime::currentDateTime().addSecs(ahead);
                if (auto* date = dlg.Picker(IDC_DATE_PICKER)) date->setDate(when.date());
                if (auto* time = dlg.Picker(IDC_TIME_PICKER)) time->setTime(when.time());
            }
            clickable(kind->press)->click();
        }
        ++pressed;
        report.presses.push_back(kind->name);
        if (dlg.IsClosing()) {
            // The window accepted the close: it must end promptly, and it opens again.
            const auto closing = Clock::now();
            m_host.CloseWindow();
            const double seconds = std::chrono::duration<double>(Clock::now() - closing).count();
            if (seconds > kUnlinkSeconds)
                report.violations.push_back("the window took " + std::to_string(seconds) + " s to close");
            ++closed;
            openWindow();
            report.unlinkSeconds += std::chrono::duration<double>(Clock::now() - closing).count();
        }
    }

    const auto pressesEnded = Clock::now();
    report.actionSeconds = std::chrono::duration<double>(pressesEnded - started).count() - report.unlinkSeconds;
    // The user waits for LINK, unlinks if linked, and must then be able to link again and exit.
    CWingUtilityDlg& dlg = *m_host.dlg;
    bool usable = m_host.WaitFor([&] { return dlg.IsItemEnabled(IDC_LINK); }, kLinkBackSeconds);
    if (usable && m_host.Linked()) {
        m_host.Click(IDC_LINK);
        usable = m_host.WaitFor([&] { return m_host.Unlinked() && dlg.IsItemEnabled(IDC_EXIT); }, kUnlinkSeconds);
    } else if (usable) {
        // A download's or setting's end and the board's return may still re-link: wait for
        // the caption to settle, then Exit must be there with LINK.
        usable = m_host.WaitFor([&] { return m_host.Unlinked() && dlg.IsItemEnabled(IDC_EXIT); }, kUnlinkSeconds);
        if (!usable && m_host.Linked()) {
            m_host.Click(IDC_LINK);
            usable = m_host.WaitFor([&] { return m_host.Unlinked() && dlg.IsItemEnabled(IDC_EXIT); }, kUnlinkSeconds);
        }
    }
    if (!usable) {
        ++m_windowsWithoutLinkOrExit;
        report.violations.push_back(std::string("LINK and Exit not both enabled and unlinked in time (LINK \"") +
                                    ToUtf8(dlg.ItemText(IDC_LINK)) + "\" " +
                                    (dlg.IsItemEnabled(IDC_LINK) ? "enabled" : "disabled") + ", Exit " +
                                    (dlg.IsItemEnabled(IDC_EXIT) ? "enabled" : "disabled") + ")");
    }
    CheckResponsive(report);
    CountFaultsMet(plan, report);
    const std::string evidence = Evidence();
    m_sim.reset();
    CheckThreads(report, 0, "after the sequence");
    CheckFiles(before, &held, report);
    if (!report.violations.empty()) report.evidence = evidence;

    report.outcome = std::to_string(pressed) + " presses" + (closed ? ", " + std::to_string(closed) + " closed" : "");
    ++m_outcomes[closed ? "sequence with a close" : "sequence"];
    m_sequences += 1;
    m_presses += pressed;
    m_slowestLoopMs = std::max<long>(m_slowestLoopMs, static_cast<long>(slowest.count()));
    for (const auto& v : report.violations) m_violations.push_back("sequence " + std::to_string(index) + ": " + v);
    // The fault cycles go on in their own window.
    OpenFreshWindow();
    report.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    report.checkSeconds = std::chrono::duration<double>(Clock::now() - pressesEnded).count();
    if (m_verbose || !report.violations.empty()) {
        std::string faults, made;
        for (const auto& f : report.faults) faults += (faults.empty() ? "" : "; ") + f;
        for (const auto& p : report.presses) made += (made.empty() ? "" : ", ") + p;
        std::printf("seq   %3d  %-24s %5.1f s (presses %.1f, closing and opening %.1f, end and checks %.1f), slowest "
                    "loop answer %ld ms  faults: %s\n      presses: %s\n",
                    index, report.outcome.c_str(), report.seconds, report.actionSeconds, report.unlinkSeconds,
                    report.checkSeconds, static_cast<long>(slowest.count()), faults.c_str(), made.c_str());
        for (const auto& v : report.violations) std::printf("    VIOLATION: %s\n", v.c_str());
        if (!report.violations.empty()) std::printf("%s", report.evidence.c_str());
        std::fflush(stdout);
    }
    return report;
}

}  // namespace wing::soak
