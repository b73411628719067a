// Setting: the checks before anything is sent, the Set Mode values, the start of the
// "Set Mode" flow, and the verification when the next status answer arrives.

#include <QDateTimeEdit>

#include <ctime>

#include "controller/wing_utility_dlg.h"
#include "platform/locale.h"
#include "platform/message_box.h"

namespace wing {

void CWingUtilityDlg::OnStartNow() {
    EnableItem(IDC_DATE_PICKER, false);
    EnableItem(IDC_TIME_PICKER, false);
}

void CWingUtilityDlg::OnStartReserved() {
    EnableItem(IDC_DATE_PICKER, true);
    EnableItem(IDC_TIME_PICKER, true);
}

void CWingUtilityDlg::OnAutoSet() {
    if (IsChecked(IDC_AUTO_SET)) SetChecked(IDC_AUTO_READ, false);
}

void CWingUtilityDlg::OnSetting() {
    // One setting at a time, and none during a read. A status answer already on its way
    // when the button was pressed can enable it again; a second press would restart the
    // flow under the running one.
    if (SettingUnderWay() || m_readRunning || m_saveRunning) return;
    if (m_lastSwitch == 0) {
        SetStatic(IDC_ERROR_LINE, Text(190), DarkRed(), 12);
        EnableItem(IDC_SETTING, true);
        return;
    }
    ClearStatic(IDC_ERROR_LINE);

    if (m_competition != 0 && m_battery < m_threshold) {
        if (ShowMessageBox(Text(166), L"", MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL) return;
    }
    m_recordMode = 3;
    if (m_competition == 0) m_recordMode = ComboCurSel(IDC_RECORD_MODE);

    m_startTime = 0;
    m_startKind = std::max(0, RadioGroupValue(IDC_START_NOW));
    if (m_startKind != 0) {
        m_startTime = ReservedStartTime();
        if (m_startTime == 0) {
            ShowMessageBox(Text(165), kApplicationName, MB_OK);
            return;
        }
    }

    EnableItem(IDC_SETTING, false);
    m_reqSetMode = 1;
    m_setMode.Reset();
    m_setMode.m_startType = static_cast<std::uint8_t>(m_startKind);
    m_setMode.m_recordMode = static_cast<std::uint8_t>(m_recordMode);
    m_setMode.m_reservedStart = m_startTime;

    EnableItem(IDC_LINK, false);
    EnableItem(IDC_EXIT, false);
    EnableItem(IDC_AUTO_SET, false);
    EnableCloseItem(false);
    ClearStatic(IDC_VERDICT);
    ClearStatic(IDC_ERROR_LINE);
    StartFlowDispatch();
}

std::uint32_t CWingUtilityDlg::ReservedStartTime() {
    QDateTimeEdit* datePicker = Picker(IDC_DATE_PICKER);
    QDateTimeEdit* timePicker = Picker(IDC_TIME_PICKER);
    if (datePicker == nullptr || timePicker == nullptr) return 0;
    QDate d = datePicker->date();
    QTime t = timePicker->time();
    std::tm local{};
    local.tm_year = d.year() - 1900;
    local.tm_mon = d.month() - 1;
    local.tm_mday = d.day();
    local.tm_hour = t.hour();
    local.tm_min = t.minute();
    local.tm_sec = t.second();
    local.tm_isdst = -1;  // the system decides whether summer time applies
    std::time_t chosen = std::mktime(&local);
    if (chosen == static_cast<std::time_t>(-1) || chosen < std::time(nullptr)) return 0;
    return static_cast<std::uint32_t>(chosen);
}

void CWingUtilityDlg::VerifyAfterSetMode(const CQueryStatus& answer) {
    if (m_personal != 0) {
        std::uint8_t type = answer.m_startType;
        std::uint8_t mode = answer.m_recordMode;
        std::uint32_t start = answer.m_reservedStart;
        // The box waits for the user; the answer that brought the status must not wait with it.
        Defer([this, type, mode, start] { ShowSettingSummary(type, mode, start); });
    } else {
        bool same = answer.m_reservedStart == m_setMode.m_reservedStart && answer.m_startType == m_setMode.m_startType &&
                    answer.m_recordMode == m_setMode.m_recordMode;
        SetStatic(IDC_VERDICT, same ? L"OK" : L"NG", same ? DarkGreen() : DarkRed(), 14);
    }
    EnableItem(IDC_SETTING, true);
    EnableItem(IDC_LINK, true);
    EnableItem(IDC_EXIT, true);
    EnableItem(IDC_AUTO_SET, true);
    EnableCloseItem(true);
}

void CWingUtilityDlg::ShowSettingSummary(std::uint8_t startType, std::uint8_t recordMode, std::uint32_t startTime) {
    std::wstring text;
    if (startType == 0 || startType == 1) {
        std::wstring kind = startType < m_startKindNames.size() ? m_startKindNames[startType] : std::wstring();
        text += Text(159) + L" [" + kind + L"]\n";
    }
    std::wstring mode = recordMode < m_recordModeNames.size() ? m_recordModeNames[recordMode] : std::wstring();
    text += Text(160) + L" :[" + mode + L"]\n";
    if (startType == 1) text += Text(161) + L" [" + FormatDeviceTime(startTime) + L"]";
    if (text.size() > 256) text.resize(256);
    ShowMessageBox(text, kApplicationName, MB_OK);
}

}  // namespace wing
