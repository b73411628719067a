// What the session does with every report of the background: answers, refusals,
// missing answers, the download's progress and end, the files saved, the link closed.
// Each runs on the reporting thread under the report lock; nothing here waits for a
// worker, so the task that waits for an answer is released as soon as it is applied.

#include <ctime>
#include <span>

#include "export/save_worker.h"
#include "protocol/status_codes.h"
#include "session/logger_session.h"

namespace wing {
namespace {

CommandKind KindOf(const CWingMsg& command) {
    if (command.IsKindOf<CSetRTC>()) return CommandKind::SetClock;
    if (command.IsKindOf<CQueryStatus>()) return CommandKind::QueryStatus;
    if (command.IsKindOf<CQueryLogNumber>()) return CommandKind::QueryLogCount;
    if (command.IsKindOf<CSetMode>()) return CommandKind::SetMode;
    if (command.IsKindOf<CReadLog>()) return CommandKind::ReadLog;
    if (command.IsKindOf<CDeleteLog>()) return CommandKind::DeleteLog;
    if (command.IsKindOf<CGetVersion>()) return CommandKind::GetVersion;
    if (command.IsKindOf<CGetSN>()) return CommandKind::GetSerial;
    return CommandKind::SoftwareSwitch;
}

DeviceStatus ToDeviceStatus(const CQueryStatus& answer) {
    return DeviceStatus{answer.m_deviceClock, answer.m_switch,  answer.m_startType,
                        answer.m_reservedStart, answer.m_battery, answer.m_recordMode};
}

}  // namespace

// ---- answers ------------------------------------------------------------------------

void LoggerSession::OnAnswer(CWingMsg& command, bool refused) {
    std::lock_guard<std::mutex> lock(m_reportLock);
    if (m_answerGate && !m_answerGate(command)) return;
    if (refused) {
        OnRefused(command);
    } else {
        OnAcknowledged(command);
    }
}

void LoggerSession::OnAcknowledged(CWingMsg& command) {
    if (command.IsKindOf<CSetRTC>()) {
        m_clockRefusals = 0;
        m_cmdTask1.m_nextOnSuccess = &m_cmdTask2;
        Emit(ev::ClockWritten{});
    } else if (auto* version = dynamic_cast<CGetVersion*>(&command)) {
        m_versionText = version->FormatVersion();
        Emit(ev::VersionRead{m_versionText});
    } else if (auto* status = dynamic_cast<CQueryStatus*>(&command)) {
        OnStatus(*status);
    } else if (command.IsKindOf<CSetMode>()) {
        m_setModePending = 0;
        m_verifyAfterSet = 1;
        StartFlowDispatch();
    } else if (auto* count = dynamic_cast<CQueryLogNumber*>(&command)) {
        m_logCount = count->m_count;
        if (count->m_count <= CReadLogTask::kMaxRecords) m_rawSlots.assign(count->m_count, LogSlot{});
        m_readLogTask.SetRecordCount(count->m_count);
    } else if (auto* read = dynamic_cast<CReadLog*>(&command)) {
        DecodeLogPage(std::span<const std::uint8_t, LOG_PAGE_SIZE>(read->m_page, LOG_PAGE_SIZE), read->m_firstIndex,
                      m_records, m_logCount);
        KeepRawSlots(read->m_page, read->m_firstIndex);
        m_readLogTask.m_failed = 0;
    } else if (auto* sn = dynamic_cast<CGetSN*>(&command)) {
        wchar_t text[CGetSN::kTextSize + 1] = {};
        sn->ToWideText(text, static_cast<int>(std::size(text)));
        m_snText = text;
        Emit(ev::SerialRead{m_snText, true});
    }
}

void LoggerSession::OnStatus(const CQueryStatus& answer) {
    ev::StatusRead shown;
    shown.status = ToDeviceStatus(answer);
    shown.relinking = m_reinitPending != 0;
    if (shown.relinking) {
        ResetLinkState();
        m_reqInitQuery = 1;
        StartFlowDispatch();
    }
    if (m_verifyAfterSet.exchange(0)) {
        shown.refreshLines = true;
        shown.settingHeld = answer.m_reservedStart == m_setMode.m_reservedStart &&
                            answer.m_startType == m_setMode.m_startType &&
                            answer.m_recordMode == m_setMode.m_recordMode;
    } else if (answer.m_switch != m_lastSwitch || m_awaitFirstStatus) {
        // The first status of every link shows its lines, whatever the switch reads.
        m_lastSwitch = answer.m_switch;
        shown.refreshLines = true;
    }
    if (shown.refreshLines) {
        m_shownStartKind = answer.m_startType;
        if (answer.m_startType == 1) m_shownStartTime = answer.m_reservedStart;
    }
    m_battery = answer.m_battery;
    shown.firstOfLink = m_awaitFirstStatus.exchange(0) != 0;
    if (shown.firstOfLink) m_queryFlow.m_delay = 500;
    Emit(shown);
    if (shown.firstOfLink && m_autoJob != AutoJob::None) Emit(ev::AutoJobDue{m_autoJob});
}

void LoggerSession::OnRefused(CWingMsg& command) {
    const unsigned code = command.m_statusCode;
    if (command.IsKindOf<CReadLog>() || command.IsKindOf<CQueryLogNumber>()) {
        // The download ends here: the task sees the refusal when this returns and asks
        // for nothing more.
        m_readLogTask.MarkFailed();
        m_readRunning = false;
    } else if (command.IsKindOf<CSetRTC>()) {
        // A clock turned down is written again, as often as a request is attempted;
        // turned down every time, it is a refusal like any other, reported with its code.
        if (code == kStatusClockRejected && ++m_clockRefusals < CComPortChannel::kAttempts) {
            m_cmdTask1.m_nextOnSuccess = &m_cmdTask1;
            return;
        }
    } else if (command.IsKindOf<CSetMode>()) {
        m_setModePending = 0;
    } else if (command.IsKindOf<CGetSN>()) {
        if (code == kStatusNotSupported) {  // an older firmware without serial numbers: the link goes on
            m_snText.clear();
            Emit(ev::SerialRead{L"", false});
            return;
        }
    } else if (command.IsKindOf<CQueryStatus>()) {
        const bool boardMissing = code == kStatusBoardMissing && !m_awaitFirstStatus;
        if (m_setModePending) {
            if (boardMissing) {
                if (!m_verifyAfterSet) StartFlowDispatch();
            } else {
                m_setModePending = 0;
            }
        }
        if (boardMissing) {
            // The GPS board went missing: keep polling; the next good status re-links.
            m_reinitPending = 1;
            Emit(ev::BoardMissing{});
            return;
        }
    }
    ReportRefusal(command);
}

void LoggerSession::ReportRefusal(CWingMsg& command) {
    Emit(ev::Refused{KindOf(command), command.m_displayName, command.m_statusCode});
    // The command flow ends with the refused task; the close stops both flows.
    m_commandFlow.RequestStop();
    CloseLink();
}

void LoggerSession::OnNoResponse(CWingMsg& command) {
    std::lock_guard<std::mutex> lock(m_reportLock);
    // A refusal already closes the link and its report says why; the same command's
    // missing answer must not replace that report.
    if (m_linkClosing) return;
    const bool download = command.IsKindOf<CReadLog>() || command.IsKindOf<CQueryLogNumber>();
    if (!m_awaitFirstStatus && download) m_readLogTask.MarkFailed();
    Emit(ev::NoAnswer{KindOf(command), command.m_displayName});
    CloseLink();
}

// ---- link ---------------------------------------------------------------------------

void LoggerSession::OnPortOpened() {
    std::lock_guard<std::mutex> lock(m_reportLock);
    m_setRtc.m_time = static_cast<std::uint32_t>(std::time(nullptr));
    m_softwareSwitch.m_value0 = 0;
    m_softwareSwitch.m_value1 = 0;
    m_softwareSwitch.m_value2 = 0;
    Emit(ev::PortOpened{});
}

void LoggerSession::OnPortOpenFailed() {
    std::lock_guard<std::mutex> lock(m_reportLock);
    Emit(ev::PortOpenFailed{});
}

void LoggerSession::OnLinkClosed() {
    std::lock_guard<std::mutex> lock(m_reportLock);
    // Nothing is under way on a closed link: a setting that went unanswered is over too.
    m_readRunning = false;
    m_reqSetMode = 0;
    m_setModePending = 0;
    m_verifyAfterSet = 0;
    Emit(ev::LinkClosed{});
}

// ---- download -----------------------------------------------------------------------

void LoggerSession::OnLogProgress(unsigned index, bool countAsked) {
    std::lock_guard<std::mutex> lock(m_reportLock);
    if (countAsked) {
        Emit(ev::CountAsked{});
    } else {
        Emit(ev::ReadProgress{index, m_logCount});
    }
}

void LoggerSession::OnLogEmpty() {
    std::lock_guard<std::mutex> lock(m_reportLock);
    m_readRunning = false;
    if (m_linkClosing) return;  // a refusal closes the link, and its report says why
    Emit(ev::LogEmpty{});
    StartFlowDispatch();
}

void LoggerSession::OnLogReadError() {
    std::lock_guard<std::mutex> lock(m_reportLock);
    m_readRunning = false;
    if (m_linkClosing) return;  // a refusal closes the link, and its report says why
    Emit(ev::LogReadError{});
    StartFlowDispatch();
}

void LoggerSession::OnLogReadFailed() {
    std::lock_guard<std::mutex> lock(m_reportLock);
    m_readRunning = false;
    // An unanswered request or a refusal closes the link, and its report says why.
    if (m_linkClosing) return;
    Emit(ev::ReadFailed{});
    StartFlowDispatch();
}

void LoggerSession::OnLogReadDone(unsigned count) {
    std::lock_guard<std::mutex> lock(m_reportLock);
    // The save is marked first: ReadUnderWay never reads false between the two, so the
    // window never moves the log folder under a save that is about to start.
    m_saveRunning = true;
    m_readRunning = false;
    Emit(ev::ReadDone{count, m_logCount});
    // One zone for the download: the archive names the one its exports are made in.
    const TimeZone zone = TimeZone::Pc();
    ArchivedDownload archive{m_snText, m_versionText, static_cast<std::int64_t>(std::time(nullptr)),
                             zone.Name(), 0, m_langId, m_rawSlots};
    archive.utcOffsetSeconds = static_cast<std::int32_t>(zone.OffsetAt(archive.downloadedUtc));
    // The save run gets its own copy of the download: the list stays for the front end,
    // and nothing done to it meanwhile can reach the files. The download is archived
    // before any export is written; a failed archive does not keep the exports back.
    m_saveThreads.Start([this, records = m_records, archive = std::move(archive), formats = m_exportFormats, zone] {
        std::vector<ExportFailure> failures;
        std::filesystem::path archivePath;
        auto written = WriteArchive(archive);
        if (auto* failure = std::get_if<ExportFailure>(&written)) {
            failures.push_back(*failure);
        } else {
            archivePath = std::get<std::filesystem::path>(written);
        }
        const CExportJob job{records, archive.serial, archive.firmware, m_langId, formats, zone};
        for (auto& failure : SaveFiles(job)) failures.push_back(std::move(failure));
        OnFilesSaved(std::move(failures), std::move(archivePath));
    });
}

void LoggerSession::OnFilesSaved(std::vector<ExportFailure> failures, std::filesystem::path archivePath) {
    std::lock_guard<std::mutex> lock(m_reportLock);
    m_saveRunning = false;
    m_lastArchive = archivePath;
    Emit(ev::FilesSaved{std::move(failures), std::move(archivePath), TickCountMs() - m_readStartTick});
    StartFlowDispatch();
}

void LoggerSession::KeepRawSlots(const std::uint8_t* page, std::size_t firstIndex) {
    for (std::size_t k = 0; k < LOG_PAGE_SIZE / LOG_SLOT_SIZE; ++k) {
        const std::size_t index = firstIndex + k;
        if (index >= m_rawSlots.size()) break;
        std::copy(page + k * LOG_SLOT_SIZE, page + (k + 1) * LOG_SLOT_SIZE, m_rawSlots[index].begin());
    }
}

}  // namespace wing
