#pragma once
// A download set up as the window sets it up, against the logger simulator, with a
// window that does what the dialog does for a download: store the count, collect the
// pages, flag refusals and missing answers.

#include <atomic>
#include <functional>
#include <vector>

#include "logger-sim/logger_sim.h"
#include "protocol/cmd_factory.h"
#include "protocol/cmd_registry.h"
#include "protocol/commands.h"
#include "serial/com_port.h"
#include "support/recording_window.h"
#include "support/temp_config.h"
#include "tasks/task.h"
#include "tasks/task_flow.h"

namespace wing::test {

struct DownloadRig {
    explicit DownloadRig(sim::SimConfig config) : simulator(std::move(config)) {
        port.m_channel = &channel;
        port.m_window = &window;
        port.m_baud = 115200;
        port.m_parity = 0;
        registry.m_window = &window;
        channel.m_protocol.m_registry = &registry;
        flow.m_port = &port;
        flow.m_registry = &registry;
        flow.m_window = &window;
        flow.m_delay = 50;
        flow.SetFirstTask(&task);
        task.m_flow = &flow;
        task.m_factory = &factory;
        task.m_readMessage = &read;
        task.m_countMessage = &count;
        task.m_nextOnSuccess = &end;
        task.m_nextOnFailure = &end;
        end.m_flow = &flow;
        end.m_terminal = 1;
        window.OnSend([this](unsigned msg, WPARAM wp, LPARAM lp) { return OnAnswer(msg, wp, lp); });
        window.OnPost([this](unsigned msg, WPARAM, LPARAM) {
            if (msg == WM_NO_RESPONSE) task.MarkFailed();
            return LRESULT{0};
        });
    }
    ~DownloadRig() {
        flow.Stop();
        channel.Close();
        simulator.Stop();
    }

    bool Open() {
        sim::SimPort p = simulator.Start();
        if (!p) return false;
        port.m_portNumber = p.comNumber;
        return channel.Open(115200, p.comNumber, 0);
    }

    void RunToEnd() {
        flow.Start();
        flow.WaitForWorker();
    }

    LRESULT OnAnswer(unsigned msg, WPARAM wp, LPARAM lp) {
        if (msg != WM_DEVICE_ANSWER) return 0;
        auto* m = reinterpret_cast<CWingMsg*>(wp);
        if (lp != 0) {
            task.MarkFailed();  // a refusal of the count or of a page
        } else if (m == &count) {
            task.SetRecordCount(countOverride >= 0 ? static_cast<std::uint32_t>(countOverride) : count.m_count);
        } else if (m == &read) {
            pages.emplace_back(read.m_page, read.m_page + sizeof read.m_page);
            task.m_failed = 0;
            if (onPage) onPage(static_cast<int>(pages.size()));
        }
        return 0;
    }

    // First record index of every Read Log request the logger received.
    std::vector<int> PageRequests() const {
        std::vector<int> out;
        for (const auto& e : simulator.FrameLog())
            if (e.fromPc && e.command == 3 && e.sub == 0 && e.frame.size() >= 26) out.push_back(e.frame[13] | (e.frame[14] << 8));
        return out;
    }

    TempConfig config;
    sim::LoggerSimulator simulator;
    RecordingWindow window;
    CCmdRegistry registry;
    CWingCmdFactory factory;
    CComPortChannel channel;
    CComPortOpeation port;
    CTaskFlowWithCommPort flow;
    CReadLog read;
    CQueryLogNumber count;
    CReadLogTask task;
    CProcessErrorTask end;
    std::vector<std::vector<std::uint8_t>> pages;
    std::function<void(int pagesSoFar)> onPage;
    int countOverride = -1;
};

inline sim::SimConfig LogOf(int slots, bool pacing = false) {
    sim::SimConfig c;
    c.pacing = pacing;
    c.flight.slots = slots;
    if (slots == 0) c.records = std::vector<sim::LogSlot>{};
    return c;
}

}  // namespace wing::test
