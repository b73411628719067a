// Setting: the checks before anything is sent, the Set Mode values, the start of the
// "Set Mode" flow, and the verification when the next status answer arrives.

#include <QDateTimeEdit>

#include <ctime>

#include "platform/locale.h"
#include "platform/message_box.h"
#include "resources/string_ids.h"
#include "window/wing_utility_dlg.h"

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
    SyncAutoJob();
}

void CWingUtilityDlg::OnSetting() {
    const SettingRequest request = m_session->CheckSetting();
    if (request == SettingRequest::Busy) return;
    if (request == SettingRequest::SwitchOff) {
        SetStatic(IDC_ERROR_LINE, Text(IDS_SWITCH_TO_ON), DarkRed(), kSwitchNotePoints);
        EnableItem(IDC_SETTING, true);
        return;
    }
    ClearStatic(IDC_ERROR_LINE);

    if (m_competition != 0 && m_session->Battery() < m_threshold) {
        if (ShowMessageBox(Text(IDS_BATTERY_LOW), L"", MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL) return;
    }
    m_recordMode = 3;
    if (m_competition == 0) m_recordMode = ComboCurSel(IDC_RECORD_MODE);

    m_startTime = 0;
    m_startKind = std::max(0, RadioGroupValue(IDC_START_NOW));
    if (m_startKind != 0) {
        m_startTime = ReservedStartTime();
        if (m_startTime == 0) {
            ShowMessageBox(Text(IDS_PICK_FUTURE_TIME), kApplicationName, MB_OK);
            return;
        }
    }

    EnableItem(IDC_SETTING, false);
    EnableItem(IDC_LINK, false);
    EnableItem(IDC_EXIT, false);
    EnableItem(IDC_AUTO_SET, false);
    EnableCloseItem(false);
    ClearStatic(IDC_VERDICT);
    ClearStatic(IDC_ERROR_LINE);
    m_session->SetForFlight(FlightSetting{static_cast<std::uint8_t>(m_startKind),
                                          static_cast<std::uint8_t>(m_recordMode), m_startTime});
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

void CWingUtilityDlg::VerifyAfterSetMode(const DeviceStatus& status, bool held) {
    if (m_personal != 0) {
        // The box waits for the user; the events behind it are shown when it closes.
        Defer([this, status] { ShowSettingSummary(status.startType, status.recordMode, status.reservedStart); });
    } else {
        SetStatic(IDC_VERDICT, held ? L"OK" : L"NG", held ? DarkGreen() : DarkRed(), 14);
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
        text += Text(IDS_YOUR_SETTING) + L" [" + kind + L"]\n";
    }
    std::wstring mode = recordMode < m_recordModeNames.size() ? m_recordModeNames[recordMode] : std::wstring();
    text += Text(IDS_SUMMARY_RECORD_MODE) + L" :[" + mode + L"]\n";
    if (startType == 1) text += Text(IDS_SUMMARY_START_TIME) + L" [" + FormatDeviceTime(startTime) + L"]";
    if (text.size() > 256) text.resize(256);
    ShowMessageBox(text, kApplicationName, MB_OK);
}

}  // namespace wing
