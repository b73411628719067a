// The one message map of the main window, and what the window shows of every event of
// its logger session: answers, refusals, missing answers, download progress and end,
// files saved, link closed.

#include <QMetaObject>
#include <QPalette>

#include <cstdio>

#include "export/save_worker.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "resources/refusal_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "window/wing_utility_dlg.h"

namespace wing {

void CWingUtilityDlg::MapMessages() {
    MapMessage(WM_CLOCK_READY, [this](WPARAM wp, LPARAM lp) { return OnClockReady(wp, lp); });

    MapCommand(IDC_LINK, [this] { OnLink(); });
    MapCommand(IDC_READ_SAVE, [this] { OnReadAndSave(); });
    MapCommand(IDC_SETTING, [this] { OnSetting(); });
    MapCommand(IDC_OPEN_FOLDER, [this] { OnOpenLogFolder(); });
    MapCommand(IDC_EXIT, [this] { OnExit(); });
    // The automatic job follows the boxes' state, not their clicks: a screen reader's
    // toggle action checks a box without a click.
    MapToggled(IDC_AUTO_READ, [this] { OnAutoRead(); });
    MapToggled(IDC_AUTO_SET, [this] { OnAutoSet(); });
    MapCommand(IDC_START_NOW, [this] { OnStartNow(); });
    MapCommand(IDC_START_RESERVED, [this] { OnStartReserved(); });
    MapDropDown(IDC_PORT_LIST, [this] { OnPortDropDown(); });
}

void CWingUtilityDlg::Defer(std::function<void()> fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void CWingUtilityDlg::PostSessionEvent(const SessionEvent& event) {
    // Queued calls to one object run in the order they were made.
    QMetaObject::invokeMethod(this, [this, event] { OnSessionEvent(event); }, Qt::QueuedConnection);
}

void CWingUtilityDlg::OnSessionEvent(const SessionEvent& event) {
    if (m_closing) return;
    std::visit([this](const auto& e) { Show(e); }, event);
}

void CWingUtilityDlg::SyncAutoJob() {
    AutoJob job = AutoJob::None;
    if (IsChecked(IDC_AUTO_READ)) {
        job = AutoJob::Read;
    } else if (IsChecked(IDC_AUTO_SET)) {
        job = AutoJob::Set;
    }
    if (m_session) m_session->SetAutoJob(job);
}

// ---- link ---------------------------------------------------------------------------

LRESULT CWingUtilityDlg::OnClockReady(WPARAM, LPARAM) {
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    EnableCloseItem(true);
    return 0;
}

void CWingUtilityDlg::Show(const ev::PortOpened&) {
    SetProgress(IDC_LINK_PROGRESS, kLinkProgressPortOpen);
    ClearStatic(IDC_SERIAL);
    ListReset(IDC_STATUS_LIST);
}

void CWingUtilityDlg::Show(const ev::PortOpenFailed&) {
    ShowMessageBox(Text(IDS_PORT_NOT_OPENED), kApplicationName, MB_OK | MB_ICONWARNING);
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    EnableCloseItem(true);
}

void CWingUtilityDlg::Show(const ev::ClockWritten&) { SetProgress(IDC_LINK_PROGRESS, kLinkProgressClock); }

void CWingUtilityDlg::Show(const ev::VersionRead& e) {
    SetProgress(IDC_LINK_PROGRESS, kLinkProgressVersion);
    ListInsert(IDC_STATUS_LIST, -1, L"GPS Ver: " + e.text);
}

void CWingUtilityDlg::Show(const ev::SerialRead& e) {
    if (!e.supported) {
        SetStatic(IDC_SERIAL, Text(IDS_OLD_FIRMWARE), Magenta(), 14);
        return;
    }
    SetProgress(IDC_LINK_PROGRESS, kLinkProgressSerial);
    SetStatic(IDC_SERIAL, e.text.empty() ? Text(IDS_NO_SERIAL) : e.text, Magenta(), 14);
}

void CWingUtilityDlg::Show(const ev::StatusRead& e) {
    ShowDeviceStatus(e);
    if (e.relinking) {
        // The board is back and the logger is being linked again: the actions wait for
        // the re-link's first status, or a click now would be wiped by it.
        EnableItem(IDC_SETTING, false);
        EnableItem(IDC_READ_SAVE, false);
    }
    if (e.firstOfLink) {
        SetProgress(IDC_LINK_PROGRESS, kLinkProgressLinked);
        EnableItem(IDC_LINK, true);
        EnableItem(IDC_EXIT, true);
        SetItemText(IDC_LINK, Text(IDS_DISCONNECT));
        EnableCloseItem(true);
    }
}

void CWingUtilityDlg::Show(const ev::AutoJobDue& e) {
    // The boxes are still checked: the user may have cleared one since the session asked.
    if (e.job == AutoJob::Read && IsChecked(IDC_AUTO_READ)) {
        OnReadAndSave();
    } else if (e.job == AutoJob::Set && IsChecked(IDC_AUTO_SET)) {
        OnSetting();
    }
}

void CWingUtilityDlg::Show(const ev::BoardMissing&) {
    ClearStatic(IDC_READ_MESSAGE);
    SetStatic(IDC_SERIAL, Text(IDS_INSERT_BOARD), Magenta(), 14);
    EnableItem(IDC_READ_SAVE, false);
    EnableItem(IDC_SETTING, false);
    ClearStatic(IDC_READ_COUNTER);
    ClearStatic(IDC_VERDICT);
    SetProgress(IDC_READ_PROGRESS, 0);
    SetProgress(IDC_LINK_PROGRESS, 0);
    ClearStatic(IDC_ERROR_LINE);
}

void CWingUtilityDlg::Show(const ev::Refused& e) {
    if (e.command == CommandKind::QueryLogCount) EndReadUi(0);
    LockLinkControls();
    // At the control's own size, whatever size a switch note left it at: the layout made
    // room for the report at that size.
    SetStatic(IDC_ERROR_LINE, ComposeRefusalText(m_langId, m_nackTexts, e.commandName, e.code), DarkRed(),
              Template().fontPointSize);
}

void CWingUtilityDlg::Show(const ev::NoAnswer& e) {
    LockLinkControls();
    SetStatic(IDC_ERROR_LINE, NoAnswerText(e.commandName), DarkRed(), Template().fontPointSize);
    EnableItem(IDC_EXIT, true);
    EnableItem(IDC_LINK, true);
}

void CWingUtilityDlg::Show(const ev::LinkClosed&) {
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    ResetLinkControls();
    EnableCloseItem(true);
    ResetNotes();
    m_lampColor = palette().color(QPalette::Button);
    RepaintLamp();
}

// ---- download -----------------------------------------------------------------------

void CWingUtilityDlg::ShowReadProgress(unsigned n, unsigned count) {
    // A count of 0 never reaches here from a download; guard the division all the same.
    unsigned pos = count != 0 ? (n + kReadProgressPageAhead) * 100u / count : 0;
    SetProgress(IDC_READ_PROGRESS, static_cast<int>(std::min(pos, 100u)));
    SetStatic(IDC_READ_COUNTER, std::to_wstring(n) + L"/" + std::to_wstring(count), DarkGreen());
    SetStatic(IDC_READ_MESSAGE, Text(IDS_DOWNLOADING), DarkGreen());
}

void CWingUtilityDlg::EndReadUi(int position) {
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

void CWingUtilityDlg::RefreshStatusList(const DeviceStatus& status) {
    if (ListCount(IDC_STATUS_LIST) == 5)
        for (int i = 0; i < 4; ++i) ListDelete(IDC_STATUS_LIST, ListCount(IDC_STATUS_LIST) - 1);

    std::wstring startLine;
    if (status.startType == 1) {
        startLine = Text(IDS_RESERVED_START_LINE) + L" : " + FormatDeviceTime(status.reservedStart);
    } else {
        startLine = m_startKindNames.empty() ? std::wstring() : m_startKindNames[0];
    }
    ListInsert(IDC_STATUS_LIST, -1, startLine);

    unsigned m = status.recordMode;
    std::wstring modeName = m < m_recordModeNames.size() ? m_recordModeNames[m] : std::wstring();
    ListInsert(IDC_STATUS_LIST, -1,
               Text(IDS_RECORD_MODE_LINE) + L": (" + std::to_wstring(m < 3 ? m + 1 : 1) + L") " + modeName);

    std::wstring switchLine;
    if (status.switchState == 0) {
        switchLine = L"Switch Off";
    } else if (status.switchState == 1) {
        switchLine = L"Switch On";
        ClearStatic(IDC_READ_MESSAGE);
        SetProgress(IDC_READ_PROGRESS, 0);
        ClearStatic(IDC_READ_COUNTER);
    } else {
        switchLine = L"Switch Unknown";
    }
    ListInsert(IDC_STATUS_LIST, -1, switchLine);
    ListInsert(IDC_STATUS_LIST, -1, FormatDeviceTime(status.deviceClock));
}

void CWingUtilityDlg::Show(const ev::CountAsked&) {
    SetStatic(IDC_READ_MESSAGE, Text(IDS_READING_COUNT), DarkGreen());
}

void CWingUtilityDlg::Show(const ev::ReadProgress& e) { ShowReadProgress(e.index, e.count); }

void CWingUtilityDlg::Show(const ev::LogEmpty&) {
    SetStatic(IDC_READ_MESSAGE, Text(IDS_NO_LOG_DATA), DarkRed());
    EndReadUi(0);
}

void CWingUtilityDlg::Show(const ev::LogReadError&) {
    SetStatic(IDC_READ_MESSAGE, Text(IDS_READ_ERROR), DarkRed());
    EndReadUi(0);
}

void CWingUtilityDlg::Show(const ev::ReadFailed&) {
    // The download ended without its data: the count never came.
    SetStatic(IDC_READ_MESSAGE, Text(IDS_READ_ERROR), DarkRed());
    EndReadUi(0);
}

void CWingUtilityDlg::Show(const ev::ReadDone& e) {
    ShowReadProgress(e.index, e.count);
    SetStatic(IDC_READ_MESSAGE, Text(IDS_GENERATING_FILES), DarkGreen());
}

void CWingUtilityDlg::Show(const ev::FilesSaved& e) {
    for (const ExportFailure& failure : e.failures) ShowSaveFailure(failure, m_langId);
    wchar_t seconds[32];
    std::swprintf(seconds, std::size(seconds), L"%.1f", e.elapsedMs / 1000.0);
    EndReadUi(100);
    // A station's bird joins the day's race once its archive is written, whatever else failed.
    if (m_personal == 0 && !e.archivePath.empty()) AddToStationRace(e.archivePath);
    if (e.failures.empty()) {
        SetStatic(IDC_READ_MESSAGE, Text(IDS_READ_SAVE_DONE) + L"  " + seconds, DarkGreen());
        if (m_openFlightAfterSave && !e.archivePath.empty()) OpenFlight(e.archivePath);
    } else {
        // Each missing file has had its box; the line says the download is not all saved.
        SetStatic(IDC_READ_MESSAGE, Text(IDS_NOT_ALL_SAVED), DarkRed());
    }
}

std::wstring CWingUtilityDlg::NoAnswerText(const std::wstring& commandName) const {
    return Text(IDS_NO_RESPONSE_PREFIX) + L" [" + commandName + L"] " + Text(IDS_NO_RESPONSE);
}

}  // namespace wing
