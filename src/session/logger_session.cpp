// The session's requests, its life and the delivery of its events.

#include "session/logger_session.h"

#include <ctime>

#include "platform/system_clock.h"

namespace wing {

LoggerSession::LoggerSession(Sink sink, unsigned langId) : m_sink(std::move(sink)), m_langId(langId) {
    // The registry, the port and the channel report to the session's inbox.
    m_cmdRegistry.m_window = &m_inbox;
    m_port.m_window = &m_inbox;
    m_portChannel.m_window = &m_inbox;
    m_port.m_channel = &m_portChannel;
    m_portChannel.m_protocol.m_registry = &m_cmdRegistry;
}

LoggerSession::~LoggerSession() { Shutdown(); }

void LoggerSession::Link(int portNumber) {
    std::lock_guard<std::mutex> lock(m_reportLock);
    m_linkPort = portNumber;
    BuildInitQueryFlow();
    m_lastSwitch = 0xFF;
    m_port.m_portNumber = portNumber;
    m_port.m_baud = 115200;
    m_port.m_parity = 0;
    m_reqInitQuery = 1;
    StartFlowDispatch();
}

void LoggerSession::Unlink() {
    std::lock_guard<std::mutex> lock(m_reportLock);
    CloseLink();
    m_reinitPending = 0;
}

ReadRequest LoggerSession::ReadAndSave() {
    std::lock_guard<std::mutex> lock(m_reportLock);
    // One download at a time. A status answer already on its way when the request came
    // can make a front end offer it again, and a second read would empty the records of
    // the one still running.
    if (ReadUnderWay() || SettingUnderWay()) return ReadRequest::Busy;
    if (m_lastSwitch == 1) return ReadRequest::SwitchOn;
    const auto now = static_cast<std::uint32_t>(std::time(nullptr));
    if (m_shownStartKind == 1 && m_shownStartTime != 0xFFFFFFFFu && m_shownStartTime >= now)
        return ReadRequest::NotStarted;
    m_readStartTick = TickCountMs();
    m_records.clear();
    m_rawSlots.clear();
    m_readRunning = true;
    m_reqReadLog = 1;
    StartFlowDispatch();
    return ReadRequest::Started;
}

SettingRequest LoggerSession::CheckSetting() const {
    // One setting at a time, and none during a read.
    if (SettingUnderWay() || ReadUnderWay()) return SettingRequest::Busy;
    if (m_lastSwitch == 0) return SettingRequest::SwitchOff;
    return SettingRequest::Allowed;
}

void LoggerSession::SetForFlight(const FlightSetting& setting) {
    std::lock_guard<std::mutex> lock(m_reportLock);
    m_reqSetMode = 1;
    m_setMode.Reset();
    m_setMode.m_startType = setting.startKind;
    m_setMode.m_recordMode = setting.recordMode;
    m_setMode.m_reservedStart = setting.startTime;
    StartFlowDispatch();
}

void LoggerSession::SetExportFormats(std::optional<ExportFormats> formats) {
    // A save already started keeps the formats it began with.
    std::lock_guard<std::mutex> lock(m_reportLock);
    m_exportFormats = formats;
}

void LoggerSession::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_reportLock);
        if (m_shutDown.exchange(true)) return;
        m_inbox.Close();
    }
    // Nothing is reported any more, so nothing a worker waits for needs the front end;
    // the waits are therefore safe without a limit.
    m_closeLinkThreads.JoinAll();
    m_closeLinkRunning = true;
    m_closeLinkThreads.Start([this] { CloseLinkWorker(false); });
    m_closeLinkThreads.JoinAll();
    m_dispatchThreads.JoinAll();
    m_saveThreads.JoinAll();
}

std::wstring LoggerSession::SerialText() const {
    std::lock_guard<std::mutex> lock(m_reportLock);
    return m_snText;
}

std::filesystem::path LoggerSession::LastArchive() const {
    std::lock_guard<std::mutex> lock(m_reportLock);
    return m_lastArchive;
}

std::wstring LoggerSession::VersionText() const {
    std::lock_guard<std::mutex> lock(m_reportLock);
    return m_versionText;
}

void LoggerSession::SetAnswerGate(std::function<bool(const CWingMsg&)> gate) {
    std::lock_guard<std::mutex> lock(m_reportLock);
    m_answerGate = std::move(gate);
}

void LoggerSession::Emit(SessionEvent event) {
    if (!m_shutDown && m_sink) m_sink(event);
}

const char* EventName(const SessionEvent& event) {
    static constexpr const char* kNames[] = {
        "PortOpened", "PortOpenFailed", "ClockWritten", "VersionRead",  "SerialRead",   "StatusRead",
        "BoardMissing", "Refused",    "NoAnswer",     "CountAsked",   "ReadProgress", "LogEmpty",
        "LogReadError", "ReadFailed", "ReadDone",     "FilesSaved",   "LinkClosed",   "AutoJobDue"};
    static_assert(std::size(kNames) == std::variant_size_v<SessionEvent>);
    return kNames[event.index()];
}

}  // namespace wing
