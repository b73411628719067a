// Link, Read and Save, Open Log Folder and Exit, the window's closing, and the display
// of every status answer.

#include <QDesktopServices>
#include <QPalette>
#include <QUrl>

#include <cstdio>

#include "export/save_worker.h"
#include "resources/string_ids.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "serial/port_discovery.h"
#include "window/wing_utility_dlg.h"

namespace wing {

void CWingUtilityDlg::OnLink() {
    if (ItemText(IDC_LINK) == Text(IDS_LINK)) {
        ListReset(IDC_STATUS_LIST);
        ClearStatic(IDC_READ_MESSAGE);
        ClearStatic(IDC_ERROR_LINE);
        EnableItem(IDC_LINK, false);
        EnableItem(IDC_EXIT, false);
        m_session->Link(m_personal != 0 ? FindAdapterPort() : m_comNumber);
        return;
    }
    LockLinkControls();
    m_session->Unlink();
    ClearStatic(IDC_SERIAL);
}

void CWingUtilityDlg::ResetLinkControls() {
    ListReset(IDC_STATUS_LIST);
    ClearStatic(IDC_READ_MESSAGE);
    ClearStatic(IDC_READ_COUNTER);
    EnableItem(IDC_SETTING, false);
    EnableItem(IDC_READ_SAVE, false);
    SetProgress(IDC_LINK_PROGRESS, 0);
    SetProgress(IDC_READ_PROGRESS, 0);
    SetItemText(IDC_LINK, Text(IDS_LINK));
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    ClearStatic(IDC_BATTERY);
    EnableItem(IDC_AUTO_READ, true);
    EnableItem(IDC_AUTO_SET, true);
}

void CWingUtilityDlg::OnReadAndSave() {
    const ReadRequest request = m_session->ReadAndSave();
    if (request == ReadRequest::Busy) return;
    SetProgress(IDC_READ_PROGRESS, 0);
    ClearStatic(IDC_READ_MESSAGE);

    if (request == ReadRequest::SwitchOn) {
        SetStatic(IDC_ERROR_LINE, Text(IDS_SWITCH_TO_OFF), DarkRed(), kSwitchNotePoints);
        EnableItem(IDC_READ_SAVE, true);
        return;
    }
    ClearStatic(IDC_ERROR_LINE);

    if (request == ReadRequest::NotStarted) {
        // The race has not started: there is nothing to read yet.
        SetStatic(IDC_READ_MESSAGE, Text(IDS_RACE_NOT_STARTED), DarkRed());
        std::wstring text = Text(IDS_RACE_TIME) + L" " + FormatDeviceTime(m_session->ShownStartTime());
        if (m_personal != 0) {
            ShowMessageBox(text, kApplicationName, MB_OK);
        } else {
            SetStatic(IDC_READ_MESSAGE, text, DarkRed());
        }
        return;
    }

    EnableCloseItem(false);
    EnableItem(IDC_AUTO_READ, false);
    EnableItem(IDC_READ_SAVE, false);
    EnableItem(IDC_LINK, false);
    EnableItem(IDC_EXIT, false);
    ClearStatic(IDC_READ_COUNTER);
    SetStatic(IDC_READ_MESSAGE, Text(IDS_READING_COUNT), DarkGreen());
    ClearStatic(IDC_ERROR_LINE);
}

void CWingUtilityDlg::OnOpenLogFolder() {
    if (!DriveDirectoryExists(LOG_FOLDER)) {
        // First click: the folder is made; the next click opens it.
        CreateDriveDirectory(LOG_FOLDER);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(ResolveDrivePath(LOG_FOLDER).string())));
}

void CWingUtilityDlg::OnExit() { Close(); }

void CWingUtilityDlg::OnAutoRead() {
    if (IsChecked(IDC_AUTO_READ)) SetChecked(IDC_AUTO_SET, false);
    SyncAutoJob();
}

void CWingUtilityDlg::OnPortDropDown() {
    struct Combo : IPortComboBox {
        CWingUtilityDlg* dlg;
        void AddString(const std::wstring& text) override { dlg->ComboAdd(IDC_PORT_LIST, text); }
        void SetCurSel(int index) override { dlg->ComboSetCurSel(IDC_PORT_LIST, index); }
    } combo;
    combo.dlg = this;
    ComboReset(IDC_PORT_LIST);
    FillPortList(combo);
}

void CWingUtilityDlg::OnClose() {
    m_closing = true;
    CDialog::OnClose();
}

void CWingUtilityDlg::OnDestroy() {
    m_closing = true;
    CDialog::OnDestroy();
    StopClockThread();
    // The session reports nothing from here on; it closes the link and ends its threads.
    if (m_session) m_session->Shutdown();
    m_flightWindow.reset();
    m_raceWindow.reset();
}

void CWingUtilityDlg::ShowDeviceStatus(const ev::StatusRead& e) {
    if (e.refreshLines) RefreshStatusList(e.status);
    if (e.settingHeld) VerifyAfterSetMode(e.status, *e.settingHeld);
    const std::uint32_t battery = e.status.battery;
    QColor lamp = DarkGreen();
    if (battery == 0) {
        lamp = palette().color(QPalette::Button);
    } else if (battery < m_threshold) {
        lamp = DarkRed();
    }
    // Every status answer comes here, twice a second: only a change is painted.
    if (lamp != m_lampColor) {
        m_lampColor = lamp;
        RepaintLamp();
    }
    wchar_t volts[32];
    std::swprintf(volts, std::size(volts), L"%.1f V", battery / 10.0);
    SetStatic(IDC_BATTERY, volts, DarkBlue());
    if (!m_session->SettingUnderWay() && !m_session->ReadUnderWay() && !IsChecked(IDC_AUTO_READ) &&
        !IsChecked(IDC_AUTO_SET))
        EnableBySwitch(e.status.switchState);
}

void CWingUtilityDlg::EnableBySwitch(std::uint8_t switchState) {
    const bool on = switchState == 1;
    EnableItem(IDC_SETTING, on);
    EnableItem(IDC_AUTO_SET, on);
    EnableItem(IDC_READ_SAVE, !on);
    EnableItem(IDC_AUTO_READ, !on);
}

}  // namespace wing
