// The one message map of the main window, and what the window does with every message
// the background sends: answers, refusals, missing answers, download progress and end,
// files saved, link closed.

#include <QMetaObject>

#include <cstdio>

#include "controller/wing_utility_dlg.h"
#include "log/save_worker.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "resources/string_table.h"
#include "ui/refusal_text.h"

namespace wing {

void CWingUtilityDlg::MapMessages() {
    auto map = [this](unsigned msg, LRESULT (CWingUtilityDlg::*handler)(WPARAM, LPARAM)) {
        MapMessage(msg, [this, handler](WPARAM wp, LPARAM lp) { return (this->*handler)(wp, lp); });
    };
    map(WM_DEVICE_ANSWER, &CWingUtilityDlg::OnDeviceAnswer);
    map(WM_NO_RESPONSE, &CWingUtilityDlg::OnNoResponse);
    map(WM_LOG_EMPTY, &CWingUtilityDlg::OnLogEmpty);
    map(WM_LOG_READ_ERROR, &CWingUtilityDlg::OnLogReadError);
    map(WM_LOG_READ_DONE, &CWingUtilityDlg::OnLogReadDone);
    map(WM_LOG_PROGRESS, &CWingUtilityDlg::OnLogProgress);
    map(WM_CLOCK_READY, &CWingUtilityDlg::OnClockReady);
    map(WM_LINK_CLOSED, &CWingUtilityDlg::OnLinkClosed);
    map(WM_PORT_OPENED, &CWingUtilityDlg::OnPortOpened);
    map(WM_PORT_OPEN_FAILED, &CWingUtilityDlg::OnPortOpenFailed);
    map(WM_FILES_SAVED, &CWingUtilityDlg::OnFilesSaved);
    map(WM_LOG_READ_FAILED, &CWingUtilityDlg::OnLogReadFailed);
    // Frame errors change nothing visible; 1016 has a handler that does nothing.
    MapMessage(WM_FRAME_ERROR, [](WPARAM, LPARAM) { return LRESULT{0}; });
    MapMessage(WM_APP_1016, [](WPARAM, LPARAM) { return LRESULT{0}; });

    MapCommand(IDC_LINK, [this] { OnLink(); });
    MapCommand(IDC_READ_SAVE, [this] { OnReadAndSave(); });
    MapCommand(IDC_SETTING, [this] { OnSetting(); });
    MapCommand(IDC_OPEN_FOLDER, [this] { OnOpenLogFolder(); });
    MapCommand(IDC_EXIT, [this] { OnExit(); });
    MapCommand(IDC_AUTO_READ, [this] { OnAutoRead(); });
    MapCommand(IDC_AUTO_SET, [this] { OnAutoSet(); });
    MapCommand(IDC_START_NOW, [this] { OnStartNow(); });
    MapCommand(IDC_START_RESERVED, [this] { OnStartReserved(); });
    MapDropDown(IDC_PORT_LIST, [this] { OnPortDropDown(); });
}

void CWingUtilityDlg::Defer(std::function<void()> fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

// ---- answers ------------------------------------------------------------------------

LRESULT CWingUtilityDlg::OnDeviceAnswer(WPARAM wParam, LPARAM lParam) {
    if (m_closing) return 0;
    auto* command = reinterpret_cast<CWingMsg*>(wParam);
    if (command == nullptr) return 0;
    if (lParam == 0) OnAnswerAcknowledged(command);
    if (lParam == 1) OnAnswerRefused(command);
    return 0;
}

void CWingUtilityDlg::OnAnswerAcknowledged(CWingMsg* command) {
    if (command->IsKindOf<CSetRTC>()) {
        SetProgress(IDC_LINK_PROGRESS, 40);
        m_cmdTask1.m_nextOnSuccess = &m_cmdTask2;
    } else if (auto* version = dynamic_cast<CGetVersion*>(command)) {
        SetProgress(IDC_LINK_PROGRESS, 60);
        m_versionText = version->FormatVersion();
        ListInsert(IDC_STATUS_LIST, -1, L"GPS Ver: " + m_versionText);
    } else if (auto* status = dynamic_cast<CQueryStatus*>(command)) {
        const bool relinking = m_reinitPending != 0;
        if (relinking) {
            ResetLinkState();
            m_reqInitQuery = 1;
            StartFlowDispatch();
        }
        ShowDeviceStatus(*status);
        if (relinking) {
            // The board is back and the logger is being linked again: the actions wait
            // for the re-link's first status, or a click now would be wiped by it.
            EnableItem(IDC_SETTING, false);
            EnableItem(IDC_READ_SAVE, false);
        }
        if (m_awaitFirstStatus) {
            SetProgress(IDC_LINK_PROGRESS, 100);
            EnableItem(IDC_LINK, true);
            EnableItem(IDC_EXIT, true);
            SetItemText(IDC_LINK, Text(143));
            m_awaitFirstStatus = 0;
            m_queryFlow.m_delay = 500;
            EnableCloseItem(true);
            // Run after this answer has been released: a command that asks the user
            // something must not hold the reader thread while the box is open.
            if (IsChecked(IDC_AUTO_READ)) {
                Defer([this] { OnReadAndSave(); });
            } else if (IsChecked(IDC_AUTO_SET)) {
                Defer([this] { OnSetting(); });
            }
        }
    } else if (command->IsKindOf<CSetMode>()) {
        m_setModePending = 0;
        m_verifyAfterSet = 1;
        StartFlowDispatch();
    } else if (auto* count = dynamic_cast<CQueryLogNumber*>(command)) {
        m_logCount = count->m_count;
        m_readLogTask.SetRecordCount(count->m_count);
    } else if (auto* read = dynamic_cast<CReadLog*>(command)) {
        DecodeLogPage(std::span<const std::uint8_t, LOG_PAGE_SIZE>(read->m_page, LOG_PAGE_SIZE), read->m_firstIndex,
                      m_records, m_logCount);
        m_readLogTask.m_failed = 0;
    } else if (auto* sn = dynamic_cast<CGetSN*>(command)) {
        SetProgress(IDC_LINK_PROGRESS, 80);
        wchar_t text[CGetSN::kTextSize + 1] = {};
        sn->ToWideText(text, static_cast<int>(std::size(text)));
        m_snText = text;
        SetStatic(IDC_SERIAL, m_snText.empty() ? Text(189) : m_snText, Magenta(), 14);
    }
}

void CWingUtilityDlg::OnAnswerRefused(CWingMsg* command) {
    const unsigned code = command->m_statusCode;
    if (command->IsKindOf<CReadLog>()) {
        m_readLogTask.MarkFailed();
        StopCommandFlowAndWait();
    } else if (command->IsKindOf<CQueryLogNumber>()) {
        m_readLogTask.MarkFailed();
        EndReadUi(0);
        RunNextFlow();
    } else if (command->IsKindOf<CSetRTC>()) {
        if (code == 6) {
            m_cmdTask1.m_nextOnSuccess = &m_cmdTask1;  // the clock is written again
            return;
        }
    } else if (command->IsKindOf<CSetMode>()) {
        m_setModePending = 0;
        RunNextFlow();
    } else if (command->IsKindOf<CGetSN>()) {
        if (code == 5) {  // an older firmware without serial numbers: the link goes on
            m_snText.clear();
            SetStatic(IDC_SERIAL, Text(182), Magenta(), 14);
            return;
        }
    } else if (command->IsKindOf<CQueryStatus>()) {
        const bool boardMissing = code == 8 && !m_awaitFirstStatus;
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
            ClearStatic(IDC_READ_MESSAGE);
            SetStatic(IDC_SERIAL, Text(186), Magenta(), 14);
            EnableItem(IDC_READ_SAVE, false);
            EnableItem(IDC_SETTING, false);
            ClearStatic(IDC_READ_COUNTER);
            ClearStatic(IDC_VERDICT);
            SetProgress(IDC_READ_PROGRESS, 0);
            SetProgress(IDC_LINK_PROGRESS, 0);
            ClearStatic(IDC_ERROR_LINE);
            return;
        }
    }
    CommonRefusalReport(command);
}

void CWingUtilityDlg::CommonRefusalReport(CWingMsg* command) {
    std::wstring text = ComposeRefusalText(m_langId, m_nackTexts, command->m_displayName, command->m_statusCode);
    LockLinkControls();
    StopCommandFlowAndWait();
    SetStatic(IDC_ERROR_LINE, text, DarkRed());
    CloseLink();
}

void CWingUtilityDlg::StopCommandFlowAndWait() {
    m_commandFlow.RequestStop();
    m_commandFlow.WaitForWorker();
}

LRESULT CWingUtilityDlg::OnNoResponse(WPARAM wParam, LPARAM) {
    auto* command = reinterpret_cast<CWingMsg*>(wParam);
    if (m_closing || command == nullptr) return 0;
    // A refusal already closes the link and its report says why; the same command's
    // missing answer, which follows while the refusal report waits for the flow, must
    // not replace that report.
    if (m_linkClosing) return 0;
    if (!m_awaitFirstStatus && (command->IsKindOf<CReadLog>() || command->IsKindOf<CQueryLogNumber>()))
        m_readLogTask.MarkFailed();
    LockLinkControls();
    SetStatic(IDC_ERROR_LINE, Text(154) + L" [" + command->m_displayName + L"] " + Text(173), DarkRed());
    EnableItem(IDC_EXIT, true);
    EnableItem(IDC_LINK, true);
    CloseLink();
    return 0;
}

// ---- download -----------------------------------------------------------------------

void CWingUtilityDlg::ShowReadProgress(unsigned n) {
    // A count of 0 never reaches here from a download; guard the division all the same.
    unsigned pos = m_logCount != 0 ? (n + 8) * 100u / m_logCount : 0;
    SetProgress(IDC_READ_PROGRESS, static_cast<int>(std::min(pos, 100u)));
    SetStatic(IDC_READ_COUNTER, std::to_wstring(n) + L"/" + std::to_wstring(m_logCount), DarkGreen());
    SetStatic(IDC_READ_MESSAGE, Text(153), DarkGreen());
}

void CWingUtilityDlg::EndReadUi(int position) {
    m_readRunning = false;
    EnableItem(IDC_READ_SAVE, true);
    SetProgress(IDC_READ_PROGRESS, position);
    EnableCloseItem(true);
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    EnableItem(IDC_AUTO_READ, true);
}

void CWingUtilityDlg::LockLinkControls() {
    for (int id : {IDC_LINK, IDC_EXIT, IDC_READ_SAVE, IDC_SETTING, IDC_AUTO_READ, IDC_AUTO_SET}) EnableItem(id, false);
}

void CWingUtilityDlg::RefreshStatusList(const CQueryStatus& answer) {
    if (ListCount(IDC_STATUS_LIST) == 5)
        for (int i = 0; i < 4; ++i) ListDelete(IDC_STATUS_LIST, ListCount(IDC_STATUS_LIST) - 1);

    m_shownStartKind = answer.m_startType;
    std::wstring startLine;
    if (m_shownStartKind == 1) {
        m_shownStartTime = answer.m_reservedStart;
        startLine = Text(146) + L" : " + FormatDeviceTime(m_shownStartTime);
    } else {
        startLine = m_startKindNames.empty() ? std::wstring() : m_startKindNames[0];
    }
    ListInsert(IDC_STATUS_LIST, -1, startLine);

    unsigned m = answer.m_recordMode;
    std::wstring modeName = m < m_recordModeNames.size() ? m_recordModeNames[m] : std::wstring();
    ListInsert(IDC_STATUS_LIST, -1, Text(147) + L": (" + std::to_wstring(m < 3 ? m + 1 : 1) + L") " + modeName);

    std::wstring switchLine;
    if (answer.m_switch == 0) {
        switchLine = L"Switch Off";
    } else if (answer.m_switch == 1) {
        switchLine = L"Switch On";
        ClearStatic(IDC_READ_MESSAGE);
        SetProgress(IDC_READ_PROGRESS, 0);
        ClearStatic(IDC_READ_COUNTER);
    } else {
        switchLine = L"Switch Unknown";
    }
    ListInsert(IDC_STATUS_LIST, -1, switchLine);
    ListInsert(IDC_STATUS_LIST, -1, FormatDeviceTime(answer.m_deviceClock));
}

LRESULT CWingUtilityDlg::OnLogProgress(WPARAM wParam, LPARAM lParam) {
    if (lParam == 1) {
        SetStatic(IDC_READ_MESSAGE, Text(152), DarkGreen());
    } else {
        ShowReadProgress(static_cast<unsigned>(wParam));
    }
    return 0;
}

LRESULT CWingUtilityDlg::OnLogEmpty(WPARAM, LPARAM) {
    SetStatic(IDC_READ_MESSAGE, Text(149), DarkRed());
    EndReadUi(0);
    RunNextFlow();
    EnableItem(IDC_AUTO_READ, true);
    return 0;
}

LRESULT CWingUtilityDlg::OnLogReadError(WPARAM, LPARAM) {
    SetStatic(IDC_READ_MESSAGE, Text(150), DarkRed());
    EndReadUi(0);
    RunNextFlow();
    EnableItem(IDC_AUTO_READ, true);
    return 0;
}

LRESULT CWingUtilityDlg::OnLogReadDone(WPARAM wParam, LPARAM) {
    ShowReadProgress(static_cast<unsigned>(wParam));
    SetStatic(IDC_READ_MESSAGE, Text(192), DarkGreen());
    m_readRunning = false;
    m_saveRunning = true;
    // The save run gets its own copy of the download: the list stays for the window,
    // and nothing done to it meanwhile can reach the files.
    m_saveThreads.Start([this, records = m_records, sn = m_snText, version = m_versionText]() mutable {
        SaveWorker(std::move(records), std::move(sn), std::move(version), m_langId, Hwnd());
    });
    return 0;
}

LRESULT CWingUtilityDlg::OnFilesSaved(WPARAM wParam, LPARAM) {
    m_saveRunning = false;
    std::uint32_t elapsed = TickCountMs() - m_readStartTick;
    wchar_t seconds[32];
    std::swprintf(seconds, std::size(seconds), L"%.1f", elapsed / 1000.0);
    EndReadUi(100);
    if (wParam == 0) {
        SetStatic(IDC_READ_MESSAGE, Text(151) + L"  " + seconds, DarkGreen());
    } else {
        // Each missing file has had its box; the line says the download is not all saved.
        SetStatic(IDC_READ_MESSAGE, Text(IDS_NOT_ALL_SAVED), DarkRed());
    }
    RunNextFlow();
    return 0;
}

LRESULT CWingUtilityDlg::OnLogReadFailed(WPARAM, LPARAM) {
    // The download ended without its data: the count never came, or a request went
    // unanswered. An unanswered one closes the link, which restores the controls.
    if (m_linkClosing || m_closing) {
        m_readRunning = false;
        return 0;
    }
    SetStatic(IDC_READ_MESSAGE, Text(150), DarkRed());
    EndReadUi(0);
    RunNextFlow();
    return 0;
}

// ---- link ---------------------------------------------------------------------------

LRESULT CWingUtilityDlg::OnClockReady(WPARAM, LPARAM) {
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    EnableCloseItem(true);
    return 0;
}

LRESULT CWingUtilityDlg::OnPortOpened(WPARAM, LPARAM) {
    SetProgress(IDC_LINK_PROGRESS, 20);
    ClearStatic(IDC_SERIAL);
    ListReset(IDC_STATUS_LIST);
    m_setRtc.m_time = static_cast<std::uint32_t>(std::time(nullptr));
    m_softwareSwitch.m_value0 = 0;
    m_softwareSwitch.m_value1 = 0;
    m_softwareSwitch.m_value2 = 0;
    return 0;
}

LRESULT CWingUtilityDlg::OnPortOpenFailed(WPARAM, LPARAM) {
    ShowMessageBox(Text(148), kApplicationName, MB_OK | MB_ICONWARNING);
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    EnableCloseItem(true);
    return 0;
}

LRESULT CWingUtilityDlg::OnLinkClosed(WPARAM, LPARAM) {
    m_readRunning = false;
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    ResetLinkControls();
    EnableCloseItem(true);
    ResetNotes();
    m_lampColor = palette().color(QPalette::Button);
    RepaintLamp();
    return 0;
}

}  // namespace wing
