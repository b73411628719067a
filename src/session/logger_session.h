#pragma once
// One logger on one serial port: linking, the status poll, setting it for a flight,
// reading and saving its log, and closing the link. The session owns everything that
// talks to the device and decides what follows each answer; a front end (the window,
// a command line, a test) turns user actions into requests and the session's events
// into what it shows. No Qt here.
//
// Threads: requests come from the front end's thread. Answers arrive on the channel's
// reader thread, other reports on the flows' workers; each is applied where it arrives,
// under one lock, and the events it causes go to the sink in that order. Anything that
// must wait for a worker (stopping a flow, starting the next, closing the port) runs on
// a short-lived thread of its own, so no report ever waits for the thread it came from.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "archive/download_archive.h"
#include "export/export_job.h"
#include "log/log_record.h"
#include "platform/sync.h"
#include "protocol/cmd_factory.h"
#include "protocol/cmd_registry.h"
#include "protocol/commands.h"
#include "serial/com_port.h"
#include "session/session_events.h"
#include "tasks/device_reports.h"
#include "tasks/task.h"
#include "tasks/task_flow.h"

namespace wing {

// What a Setting sends: start now (0) or at `startTime` (1), in `recordMode`.
struct FlightSetting {
    std::uint8_t startKind = 0;
    std::uint8_t recordMode = 3;
    std::uint32_t startTime = 0;
};

enum class ReadRequest {
    Started,
    Busy,        // a download, its save or a setting is under way: nothing starts
    SwitchOn,    // the logger is recording; it is read with its switch off
    NotStarted,  // the reserved start is still ahead: there is nothing to read
};

enum class SettingRequest {
    Allowed,
    Busy,       // a download, its save or a setting is under way
    SwitchOff,  // a logger is set with its switch on
};

class LoggerSession : private IDeviceReports {
public:
    using Sink = std::function<void(const SessionEvent&)>;

    // `langId` decides the files a download writes (points scripts for 2052, KML otherwise)
    // until SetExportFormats chooses others.
    LoggerSession(Sink sink, unsigned langId);
    ~LoggerSession() override;
    LoggerSession(const LoggerSession&) = delete;
    LoggerSession& operator=(const LoggerSession&) = delete;

    // ---- requests ---------------------------------------------------------------------
    // Opens COM`portNumber` at 115200 baud, writes the PC clock, reads version, serial
    // number and status, then polls the status every 500 ms.
    void Link(int portNumber);
    void Unlink();
    ReadRequest ReadAndSave();
    // The checks before a setting; the front end may still ask the user (battery) after.
    SettingRequest CheckSetting() const;
    // Erases the log and sends the setting; the next status is compared with it.
    void SetForFlight(const FlightSetting& setting);
    void SetAutoJob(AutoJob job) { m_autoJob = job; }
    // For a front end whose process ends with the link (the command line): the port is
    // opened once its device has been there for the settle wait, not a full settle wait
    // after every request, and closing the link waits for the flows' workers without the
    // pause a following flow of the window needs. Set before Link.
    void SetShortWaits(bool on);
    // The files a download writes from the next save on; empty: those of the language
    // (points scripts for 2052, KML otherwise, and the CSV).
    void SetExportFormats(std::optional<ExportFormats> formats);
    // The front end is going: no event is delivered from here on, the link is closed and
    // every thread of the session has ended when this returns.
    void Shutdown();

    // ---- state a front end may read at any time -------------------------------------
    bool SettingUnderWay() const { return m_reqSetMode || m_setModePending || m_verifyAfterSet; }
    bool ReadUnderWay() const { return m_readRunning || m_saveRunning; }
    std::uint32_t Battery() const { return m_battery; }
    // The reserved start the status lines show (valid when ShownStartKind() is 1).
    std::uint32_t ShownStartTime() const { return m_shownStartTime; }
    std::uint32_t ShownStartKind() const { return m_shownStartKind; }
    int LinkPort() const { return m_linkPort; }

    // ---- for tests and tools, read when the session is quiet -------------------------
    const std::vector<CLogRecord>& Records() const { return m_records; }
    std::wstring SerialText() const;
    std::wstring VersionText() const;
    bool PortOpen() const { return m_portChannel.IsOpen(); }
    bool FlowsRunning() const { return m_queryFlow.IsWorkerRunning() || m_commandFlow.IsWorkerRunning(); }
    // The archive file of the last download saved; empty before one, or when it failed.
    std::filesystem::path LastArchive() const;
    // Tests hold answers back here: an answer for which this returns false is dropped
    // before the session sees it, as if it had never arrived.
    void SetAnswerGate(std::function<bool(const CWingMsg&)> gate);

private:
    // ---- reports (session_answers.cpp) ------------------------------------------------
    void OnAnswer(CWingMsg& command, bool refused) override;
    void OnNoResponse(CWingMsg& command) override;
    void OnPortOpened() override;
    void OnPortOpenFailed() override;
    void OnLogProgress(unsigned index, bool countAsked) override;
    void OnLogEmpty() override;
    void OnLogReadError() override;
    void OnLogReadDone(unsigned count) override;
    void OnLogReadFailed() override;
    void OnFilesSaved(std::vector<ExportFailure> failures, std::filesystem::path archivePath);
    void OnLinkClosed();

    void OnAcknowledged(CWingMsg& command);
    void KeepRawSlots(const std::uint8_t* page, std::size_t firstIndex);
    void OnRefused(CWingMsg& command);
    void OnStatus(const CQueryStatus& answer);
    void ReportRefusal(CWingMsg& command);
    void Emit(SessionEvent event);

    // ---- flows (session_flows.cpp) ----------------------------------------------------
    void ResetLinkState();
    void BuildInitQueryFlow();
    void BuildQueryFlow();
    void BuildSetModeFlow();
    void BuildReadLogFlow();
    void RunNextFlow();
    void StartFlowDispatch();
    void CloseLink();
    void CloseLinkWorker(bool report);

    // ---- front end ----------------------------------------------------------------------
    mutable std::mutex m_reportLock;  // one report or request at a time; events in order
    Sink m_sink;
    unsigned m_langId;
    std::optional<ExportFormats> m_exportFormats;  // under m_reportLock
    std::atomic<AutoJob> m_autoJob{AutoJob::None};
    std::function<bool(const CWingMsg&)> m_answerGate;
    CReportInbox m_inbox{*this};

    // ---- device-facing members (declared in this order: flows are destroyed before the
    // tasks they walk, the channel after them) ---------------------------------------------
    std::vector<CLogRecord> m_records;
    // The download's slots as the pages brought them, kept for its archive.
    std::vector<LogSlot> m_rawSlots;
    CSetRTC m_setRtc;
    CQueryStatus m_queryStatus;
    CQueryLogNumber m_queryLogNumber;
    CSetMode m_setMode;
    CReadLog m_readLog;
    CDeleteLog m_deleteLog;
    CGetVersion m_getVersion;
    CGetSN m_getSn;
    CSoftwareSwitch m_softwareSwitch;
    CCmdRegistry m_cmdRegistry;
    CWingCmdFactory m_cmdFactory{0};
    CComPortChannel m_portChannel;
    CComPortOpeation m_port;
    CCmdTask m_cmdTask1;
    CCmdTask m_cmdTask2;
    CCmdTask m_cmdTask3;
    CCmdTask m_cmdTask4;
    COpenComPortTask m_openPortTask;
    CReadLogTask m_readLogTask;
    CProcessErrorTask m_errorTask;
    CTaskFlowWithCommPort m_commandFlow;
    CTaskFlowWithCommPort m_queryFlow;

    // ---- per-link device information ----------------------------------------------------
    std::wstring m_snText;
    std::wstring m_versionText;
    std::uint16_t m_logCount = 0;
    std::atomic<std::uint8_t> m_lastSwitch{2};
    std::atomic<std::uint32_t> m_battery{0};
    std::atomic<std::uint32_t> m_shownStartKind{255};
    std::atomic<std::uint32_t> m_shownStartTime{0};
    std::atomic<int> m_linkPort{0};
    std::uint32_t m_readStartTick = 0;
    std::filesystem::path m_lastArchive;
    int m_clockRefusals = 0;  // Set RTC turned down in a row on this link (under m_reportLock)

    // ---- flow-control flags (requests, reports and the dispatcher) ------------------------
    std::atomic<int> m_reqInitQuery{0};
    std::atomic<int> m_reqReadLog{0};
    std::atomic<int> m_reqSetMode{0};
    std::atomic<int> m_reinitPending{0};
    std::atomic<int> m_awaitFirstStatus{1};
    std::atomic<int> m_setModePending{0};
    std::atomic<int> m_verifyAfterSet{0};
    std::atomic<bool> m_shutDown{false};
    // A download runs (from the request to its end) / its files are being written.
    std::atomic<bool> m_readRunning{false};
    std::atomic<bool> m_saveRunning{false};

    // ---- short-lived threads ------------------------------------------------------------
    // Dispatches run one at a time; closing the link stops both flows under the same
    // lock, so no dispatch can start a flow behind its back. At most one close-link
    // worker acts at a time; while it does, dispatches only stop flows.
    std::mutex m_dispatchLock;
    WorkerThreads m_dispatchThreads;
    WorkerThreads m_closeLinkThreads;
    std::atomic<bool> m_closeLinkRunning{false};
    std::atomic<bool> m_linkClosing{false};
    std::atomic<bool> m_shortWaits{false};
    WorkerThreads m_saveThreads;
};

}  // namespace wing
