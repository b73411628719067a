// Link, Read and Save, Open Log Folder and Exit, the window's closing, and the display
// of every status answer.

#include <QDesktopServices>
#include <QPalette>
#include <QUrl>

#include <ctime>

#include "controller/wing_utility_dlg.h"
#include "log/save_worker.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "serial/port_discovery.h"

namespace wing {

void CWingUtilityDlg::OnLink() {
    if (ItemText(IDC_LINK) == Text(157)) {
        m_linkPort = m_personal != 0 ? FindAdapterPort() : m_comNumber;
        ListReset(IDC_STATUS_LIST);
        BuildInitQueryFlow();
        ClearStatic(IDC_READ_MESSAGE);
        ClearStatic(IDC_ERROR_LINE);
        m_closing = 0;
        EnableItem(IDC_LINK, false);
        EnableItem(IDC_EXIT, false);
        m_lastSwitch = 0xFF;
        m_port.m_portNumber = m_linkPort;
        m_port.m_baud = 115200;
        m_port.m_parity = 0;
        m_reqInitQuery = 1;
        StartFlowDispatch();
        return;
    }
    LockLinkControls();
    CloseLink();
    ClearStatic(IDC_SERIAL);
    m_reinitPending = 0;
}

void CWingUtilityDlg::ResetLinkControls() {
    ListReset(IDC_STATUS_LIST);
    ClearStatic(IDC_READ_MESSAGE);
    ClearStatic(IDC_READ_COUNTER);
    EnableItem(IDC_SETTING, false);
    EnableItem(IDC_READ_SAVE, false);
    SetProgress(IDC_LINK_PROGRESS, 0);
    SetProgress(IDC_READ_PROGRESS, 0);
    SetItemText(IDC_LINK, Text(157));
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    ClearStatic(IDC_BATTERY);
    EnableItem(IDC_AUTO_READ, true);
    EnableItem(IDC_AUTO_SET, true);
}

void CWingUtilityDlg::OnReadAndSave() {
    // One download at a time. A status answer already on its way when the button was
    // pressed can enable it again, and a second read would empty the records of the one
    // still running.
    if (m_readRunning || m_saveRunning || SettingUnderWay()) return;
    m_readStartTick = TickCountMs();
    SetProgress(IDC_READ_PROGRESS, 0);
    auto now = static_cast<std::uint32_t>(std::time(nullptr));
    ClearStatic(IDC_READ_MESSAGE);

    if (m_lastSwitch == 1) {
        SetStatic(IDC_ERROR_LINE, Text(191), DarkRed(), 12);
        EnableItem(IDC_READ_SAVE, true);
        return;
    }
    ClearStatic(IDC_ERROR_LINE);

    if (m_shownStartKind == 1 && m_shownStartTime != 0xFFFFFFFFu && m_shownStartTime >= now) {
        // The race has not started: there is nothing to read yet.
        SetStatic(IDC_READ_MESSAGE, Text(162), DarkRed());
        std::wstring text = Text(163) + L" " + FormatDeviceTime(m_shownStartTime);
        if (m_personal != 0) {
            ShowMessageBox(text, kApplicationName, MB_OK);
        } else {
            SetStatic(IDC_READ_MESSAGE, text, DarkRed());
        }
        return;
    }

    m_records.clear();
    m_readRunning = true;
    EnableCloseItem(false);
    EnableItem(IDC_AUTO_READ, false);
    EnableItem(IDC_READ_SAVE, false);
    EnableItem(IDC_LINK, false);
    EnableItem(IDC_EXIT, false);
    ClearStatic(IDC_READ_COUNTER);
    SetStatic(IDC_READ_MESSAGE, Text(152), DarkGreen());
    m_reqReadLog = 1;
    ClearStatic(IDC_ERROR_LINE);
    StartFlowDispatch();
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
    m_closing = 1;
    CDialog::OnClose();
}

void CWingUtilityDlg::OnDestroy() {
    m_closing = 1;
    CDialog::OnDestroy();
    StopClockThread();
    // Answers are dropped while the window closes, so nothing the worker waits for
    // needs this thread; the wait is therefore safe without a limit.
    m_closeLinkThreads.JoinAll();
    m_closeLinkRunning = true;
    m_closeLinkThreads.Start([this] { CloseLinkWorker(); });
    m_closeLinkThreads.JoinAll();
    m_dispatchThreads.JoinAll();
    m_saveThreads.JoinAll();
}

void CWingUtilityDlg::ShowDeviceStatus(const CQueryStatus& answer) {
    if (m_verifyAfterSet) {
        m_verifyAfterSet = 0;
        RefreshStatusList(answer);
        VerifyAfterSetMode(answer);
    } else if (answer.m_switch != m_lastSwitch || m_awaitFirstStatus) {
        // The first status of every link shows its lines, whatever the switch reads.
        m_lastSwitch = answer.m_switch;
        RefreshStatusList(answer);
    }
    m_battery = answer.m_battery;
    QColor lamp = DarkGreen();
    if (m_battery == 0) {
        lamp = palette().color(QPalette::Button);
    } else if (m_battery < m_threshold) {
        lamp = DarkRed();
    }
    // Every status answer comes here, twice a second: only a change is painted.
    if (lamp != m_lampColor) {
        m_lampColor = lamp;
        RepaintLamp();
    }
    wchar_t volts[32];
    std::swprintf(volts, std::size(volts), L"%.1f V", m_battery / 10.0);
    SetStatic(IDC_BATTERY, volts, DarkBlue());
    if (!SettingUnderWay() && !m_readRunning && !m_saveRunning && !IsChecked(IDC_AUTO_READ) && !IsChecked(IDC_AUTO_SET))
        EnableBySwitch(answer.m_switch);
}

void CWingUtilityDlg::EnableBySwitch(std::uint8_t switchState) {
    const bool on = switchState == 1;
    EnableItem(IDC_SETTING, on);
    EnableItem(IDC_AUTO_SET, on);
    EnableItem(IDC_READ_SAVE, !on);
    EnableItem(IDC_AUTO_READ, !on);
}

}  // namespace wing
