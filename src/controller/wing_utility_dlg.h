#pragma once
// The main window and controller of every exchange with the logger. It owns, for its
// whole life, the serial port and channel, the registry and factory, one object of each
// command, the seven tasks and the two flows, the record list and the configuration.
//
// Where each part lives:
//   controller/dialog_init.cpp    construction, OnInitDialog, name tables, texts, lamp painting
//   controller/link_flows.cpp     the four flow builders, the dispatcher, closing the link
//   controller/device_events.cpp  the message map and the handlers of background messages
//   ui/clock_display.cpp          the clock thread and its texts
//   ui/link_commands.cpp          Link, Read and Save, Open Log Folder, Exit, closing, status display
//   ui/start_settings.cpp         Setting and its verification

#include <QColor>
#include <QRect>

#include <atomic>
#include <functional>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/dialog.h"
#include "log/log_record.h"
#include "platform/sync.h"
#include "platform/system_clock.h"
#include "protocol/cmd_factory.h"
#include "protocol/cmd_registry.h"
#include "protocol/commands.h"
#include "serial/com_port.h"
#include "tasks/task.h"
#include "tasks/task_flow.h"
#include "ui/config.h"

namespace wing {

// Control ids of the main dialog.
enum : int {
    IDC_TITLE = 1000,
    IDC_GROUP_TIME = 1001,
    IDC_OPEN_FOLDER = 1005,
    IDC_EXIT = 1006,
    IDC_GROUP_LINK = 1007,
    IDC_LINK = 1009,
    IDC_LINK_PROGRESS = 1010,
    IDC_PORT_LABEL = 1011,
    IDC_GROUP_SETTING = 1013,
    IDC_START_NOW = 1014,
    IDC_START_RESERVED = 1015,
    IDC_DATE_PICKER = 1016,
    IDC_TIME_PICKER = 1017,
    IDC_RECORD_MODE = 1019,
    IDC_SETTING = 1020,
    IDC_READ_SAVE = 1021,
    IDC_READ_PROGRESS = 1022,
    IDC_DATE_TEXT = 1023,
    IDC_TIME_TEXT = 1024,
    IDC_MODE_LABEL = 1025,
    IDC_STATIC_1027 = 1027,
    IDC_READ_MESSAGE = 1028,
    IDC_GROUP_DATA = 1029,
    IDC_MAP_NOTE = 1030,
    IDC_STATUS_LIST = 1032,
    IDC_READ_COUNTER = 1033,
    IDC_PORT_LIST = 1034,
    IDC_BATTERY = 1035,
    IDC_SERIAL = 1037,
    IDC_AUTO_READ = 1038,
    IDC_AUTO_SET = 1039,
    IDC_VERDICT = 1040,
    IDC_ERROR_LINE = 1041,
};

constexpr int kAboutCommand = 16;

// Colours of the status texts.
inline QColor DarkGreen() { return QColor(0, 127, 0); }
inline QColor DarkRed() { return QColor(127, 0, 0); }
inline QColor DarkBlue() { return QColor(0, 0, 127); }
inline QColor Magenta() { return QColor(255, 0, 255); }

class CWingUtilityDlg : public CDialog {
public:
    // `configPath`: the profile file; empty means "Wing.ini" beside the executable.
    explicit CWingUtilityDlg(QWidget* parent = nullptr, std::wstring configPath = {});
    ~CWingUtilityDlg() override;

    bool OnInitDialog() override;
    void OnClose() override;
    void OnDestroy() override;
    void OnSysCommand(int command) override;
    void OnPaintDialog(QPainter& painter) override;

    // ---- initialisation (dialog_init.cpp) ------------------------------------------
    void FillNameTables();
    void ApplyControlTexts();
    void FitComboDropWidth(int comboId);
    void ResetNotes();
    void DrawStatusLamp(QPainter& painter, const QColor& colour);
    void RepaintLamp();
    std::wstring Text(unsigned id) const;  // LoadLanguageString in m_langId, empty when missing

    // ---- clock (clock_display.cpp) -------------------------------------------------
    void StartClockThread();
    void ClockThread();
    void ClockTick();
    void ShowDate(int year, int month, int day, int dayOfWeek);
    void ShowTime(int hour, int minute, int second);
    void StopClockThread();

    // ---- flows (link_flows.cpp) ----------------------------------------------------
    void ResetLinkState();
    void BuildInitQueryFlow();
    void BuildQueryFlow();
    void BuildSetModeFlow();
    void BuildReadLogFlow();
    void RunNextFlow();
    void StartFlowDispatch();
    void CloseLink();
    void CloseLinkWorker();

    // ---- background messages (device_events.cpp) -----------------------------------
    void MapMessages();
    LRESULT OnDeviceAnswer(WPARAM wParam, LPARAM lParam);
    void OnAnswerAcknowledged(CWingMsg* command);
    void OnAnswerRefused(CWingMsg* command);
    void CommonRefusalReport(CWingMsg* command);
    LRESULT OnNoResponse(WPARAM wParam, LPARAM lParam);
    LRESULT OnLogEmpty(WPARAM, LPARAM);
    LRESULT OnLogReadError(WPARAM, LPARAM);
    LRESULT OnLogReadDone(WPARAM wParam, LPARAM);
    LRESULT OnLogProgress(WPARAM wParam, LPARAM lParam);
    LRESULT OnClockReady(WPARAM, LPARAM);
    LRESULT OnLinkClosed(WPARAM, LPARAM);
    LRESULT OnPortOpened(WPARAM, LPARAM);
    LRESULT OnPortOpenFailed(WPARAM, LPARAM);
    LRESULT OnFilesSaved(WPARAM wParam, LPARAM);
    LRESULT OnLogReadFailed(WPARAM, LPARAM);
    void ShowReadProgress(unsigned n);
    void EndReadUi(int position);
    void LockLinkControls();
    void RefreshStatusList(const CQueryStatus& answer);
    // Waits for the command flow's worker after raising its stop flag.
    void StopCommandFlowAndWait();
    // Runs `fn` on the UI thread after the current handler has returned.
    void Defer(std::function<void()> fn);

    // ---- user commands (link_commands.cpp) -----------------------------------------
    void OnLink();
    void ResetLinkControls();
    void OnReadAndSave();
    void OnOpenLogFolder();
    void OnExit();
    void OnAutoRead();
    void OnPortDropDown();
    void ShowDeviceStatus(const CQueryStatus& answer);
    void EnableBySwitch(std::uint8_t switchState);
    // From the Setting click to the verification, the refusal or the link's end.
    bool SettingUnderWay() const { return m_reqSetMode || m_setModePending || m_verifyAfterSet; }

    // ---- start settings (start_settings.cpp) ---------------------------------------
    void OnStartNow();
    void OnStartReserved();
    void OnAutoSet();
    void OnSetting();
    std::uint32_t ReservedStartTime();
    void VerifyAfterSetMode(const CQueryStatus& answer);
    void ShowSettingSummary(std::uint8_t startType, std::uint8_t recordMode, std::uint32_t startTime);

    // Sets text, colour and point size of a coloured static (any of them may be skipped).
    void SetStatic(int id, const std::wstring& text, const QColor& colour, int pointSize = 0);
    void ClearStatic(int id);

    // ---- configuration and language -------------------------------------------------
    std::wstring m_configPath;
    unsigned m_langId = 1033;
    std::uint8_t m_languageByOS = 1;
    int m_competition = 1;
    std::uint32_t m_threshold = 0;
    int m_ntpEnable = 0;
    int m_personal = 0;
    int m_comNumber = 0;
    std::string m_ntpServer;

    // ---- name tables ---------------------------------------------------------------
    std::vector<std::wstring> m_weekdayNames;
    std::vector<std::wstring> m_startKindNames;
    std::vector<std::wstring> m_recordModeNames;
    std::vector<std::wstring> m_nackTexts;

    // ---- device-facing members (declared in this order: flows are destroyed before
    // the tasks they walk, the channel after them) -----------------------------------
    std::vector<CLogRecord> m_records;
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

    // ---- per-link device information ---------------------------------------------------
    std::wstring m_snText;
    std::wstring m_versionText;
    std::uint16_t m_logCount = 0;
    std::uint8_t m_lastSwitch = 2;
    std::uint32_t m_battery = 0;
    std::uint32_t m_shownStartKind = 255;
    std::uint32_t m_shownStartTime = 0;
    int m_linkPort = 0;
    std::uint32_t m_readStartTick = 0;

    // ---- flow-control flags (written by the UI thread and the dispatcher) ---------------
    std::atomic<int> m_reqInitQuery{0};
    std::atomic<int> m_reqReadLog{0};
    std::atomic<int> m_reqSetMode{0};
    std::atomic<int> m_reinitPending{0};
    std::atomic<int> m_awaitFirstStatus{1};
    std::atomic<int> m_setModePending{0};
    std::atomic<int> m_verifyAfterSet{0};
    std::atomic<int> m_closing{0};
    // A download runs (from the click to its end) / its files are being written. While
    // either holds, Read and Save starts nothing, whatever enabled its button.
    bool m_readRunning = false;
    bool m_saveRunning = false;

    // ---- start settings --------------------------------------------------------------
    int m_startKind = 0;
    int m_recordMode = 0;
    std::uint32_t m_startTime = 0;

    // ---- lamp ------------------------------------------------------------------------
    QColor m_lampColor;
    QRect m_lampRect;

    // ---- clock -----------------------------------------------------------------------
    std::atomic<int> m_clockStop{0};
    int m_ntpPending = 1;
    int m_shownDate[4] = {0, 0, 0, 0};
    int m_shownTime[3] = {0, 0, 0};
    // Wakes the clock thread's pause at once when it is asked to stop.
    AutoResetEvent m_clockWake;
    // The locale's date and time formatting (FormatShortDate, FormatTime24); replaceable so
    // the numeric fall-backs can be shown.
    std::function<bool(const std::tm&, std::wstring&)> m_formatDate;
    std::function<bool(const std::tm&, std::wstring&)> m_formatTime;
    // The clock and connectivity test the time synchronisation uses; null / empty: the
    // machine's own.
    SystemClock* m_ntpClock = nullptr;
    std::function<bool()> m_ntpConnectivity;

    // ---- short-lived threads ---------------------------------------------------------
    // Dispatches run one at a time; closing the link stops both flows under the same
    // lock, so no dispatch can start a flow behind its back. At most one close-link
    // worker acts at a time; while it does, dispatches only stop flows.
    std::mutex m_dispatchLock;
    WorkerThreads m_dispatchThreads;
    WorkerThreads m_closeLinkThreads;
    std::atomic<bool> m_closeLinkRunning{false};
    std::atomic<bool> m_linkClosing{false};
    WorkerThreads m_saveThreads;
    std::thread m_clockThread;
};

}  // namespace wing
