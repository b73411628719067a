#pragma once
// The main window: a view of one logger session. It turns clicks into the session's
// requests and the session's events into texts, colours, the lamp, boxes and progress.
// It also keeps the PC clock display and its one time synchronisation.
//
// Where each part lives:
//   window/dialog_init.cpp     construction, OnInitDialog, name tables, texts, lamp painting,
//                              the settings read at start and applied from the settings window
//   window/session_view.cpp    the message map and what the window shows of each session event
//   window/link_commands.cpp   Link, Read and Save, Open Log Folder, Exit, closing, status display
//   window/start_settings.cpp  Setting and its verification
//   window/clock_display.cpp   the clock thread and its texts
//   window/race_open.cpp       races: made from the Flights list, opened from a file, and
//                              the station's race of the day

#include <QAbstractButton>
#include <QColor>
#include <QRect>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framework/dialog.h"
#include "framework/text_room.h"
#include "platform/sync.h"
#include "platform/system_clock.h"
#include "flightview/flight_window.h"
#include "session/logger_session.h"
#include "settings/config.h"
#include "window/view_constants.h"

namespace wing {

class CWingUtilityDlg : public CDialog {
public:
    // `configPath`: the settings file; empty means the one in force (ConfigFilePath).
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
    // The window's centre on the primary screen's, its size unchanged.
    void CentreOnScreen();
    // Texts a control shows later than the start (the read's end, a missing board, a
    // refusal), each at the size it is drawn then (0: the control's size at the start).
    struct LaterText {
        std::wstring text;
        int points = 0;
    };
    std::vector<LaterText> LaterTexts(int id) const;
    // The room one of them takes in its control (which is left at the text's size).
    std::optional<TextRoom> MeasureLaterText(int id, const LaterText& later);
    // The one that needs the most room (lines first, then width), at its size.
    std::optional<LaterText> LargestLaterText(int id);
    void ShowWidestLaterTexts();
    std::wstring NoAnswerText(const std::wstring& commandName) const;
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

    // ---- session events (session_view.cpp) ----------------------------------------
    void MapMessages();
    // The session's sink: hands each event to the UI thread, in order.
    void PostSessionEvent(const SessionEvent& event);
    void OnSessionEvent(const SessionEvent& event);
    void Show(const ev::PortOpened&);
    void Show(const ev::PortOpenFailed&);
    void Show(const ev::ClockWritten&);
    void Show(const ev::VersionRead& e);
    void Show(const ev::SerialRead& e);
    void Show(const ev::StatusRead& e);
    void Show(const ev::BoardMissing&);
    void Show(const ev::Refused& e);
    void Show(const ev::NoAnswer& e);
    void Show(const ev::CountAsked&);
    void Show(const ev::ReadProgress& e);
    void Show(const ev::LogEmpty&);
    void Show(const ev::LogReadError&);
    void Show(const ev::ReadFailed&);
    void Show(const ev::ReadDone& e);
    void Show(const ev::FilesSaved& e);
    void Show(const ev::LinkClosed&);
    void Show(const ev::AutoJobDue& e);
    LRESULT OnClockReady(WPARAM, LPARAM);
    void ShowReadProgress(unsigned n, unsigned count);
    void EndReadUi(int position);
    void LockLinkControls();
    void RefreshStatusList(const DeviceStatus& status);
    void SyncAutoJob();
    // Runs `fn` on the UI thread after the current handler has returned.
    void Defer(std::function<void()> fn);
    LoggerSession& Session() { return *m_session; }
    // The flight of an archived download in its own window (one at a time).
    void OpenFlight(const std::filesystem::path& archive);
    void ShowFlightList();
    // The settings window; what it saved is applied at once where it can be.
    void ShowSettings();
    // What the settings change while the tool runs: the battery threshold, the time
    // server, the lofts, the flight after a save, the export formats and the log folder
    // (the last only while no read or save is under way; otherwise as soon as it ends).
    // The rest (language, record configuration, mode, port, the clock at start) is read
    // once at start.
    void ApplySettings(const Config& config);
    void ApplyLogFolderWhenIdle();
    FlightWindow* Flight() { return m_flightWindow.get(); }

    // ---- races (race_open.cpp) ----------------------------------------------------
    // The race in its window (one at a time), or a box saying why the file cannot be read.
    void OpenRace(const std::filesystem::path& raceFile);
    // "Race..." of the Flights list: the release and lofts asked, the race written, opened.
    void NewRace(std::vector<ArchiveEntry> birds);
    // "Open Race...": a race file chosen in a file dialog.
    void ChooseRace();
    // Station mode: the day's race file, its Race button (opens the day's race, asking its
    // release first when there is none yet), the release asked again to correct it, and
    // each bird added as its archive is written.
    std::filesystem::path StationRaceFileToday() const;
    void AddStationRaceButton();
    void OnStationRace();
    bool AskStationRelease();
    void AddToStationRace(const std::filesystem::path& archive);
    QWidget* RaceView() { return m_raceWindow.get(); }
    QAbstractButton* StationRaceButton() { return m_stationRaceButton; }

    // ---- user commands (link_commands.cpp) -----------------------------------------
    void OnLink();
    void ResetLinkControls();
    void OnReadAndSave();
    void OnOpenLogFolder();
    void OnExit();
    void OnAutoRead();
    void OnPortDropDown();
    void ShowDeviceStatus(const ev::StatusRead& e);
    void EnableBySwitch(std::uint8_t switchState);

    // ---- start settings (start_settings.cpp) ---------------------------------------
    void OnStartNow();
    void OnStartReserved();
    void OnAutoSet();
    void OnSetting();
    std::uint32_t ReservedStartTime();
    void VerifyAfterSetMode(const DeviceStatus& status, bool held);
    void ShowSettingSummary(std::uint8_t startType, std::uint8_t recordMode, std::uint32_t startTime);

    // Sets text, colour and point size of a coloured static (any of them may be skipped).
    void SetStatic(int id, const std::wstring& text, const QColor& colour, int pointSize = 0);
    void ClearStatic(int id);

    // ---- configuration and language -------------------------------------------------
    std::wstring m_configPath;
    // The settings in force and the file they came from.
    Config m_config;
    std::filesystem::path m_settingsPath;
    unsigned m_langId = 1033;
    std::uint8_t m_languageByOS = 1;
    int m_competition = 1;
    std::uint32_t m_threshold = 0;
    int m_ntpEnable = 0;
    int m_personal = 0;
    int m_comNumber = 0;
    std::string m_ntpServer;
    std::vector<LoftSetting> m_lofts;
    bool m_openFlightAfterSave = true;
    bool m_gpx = false;  // [Export] GPX, for the exports to follow
    bool m_logFolderPending = false;

    // ---- name tables ---------------------------------------------------------------
    std::vector<std::wstring> m_weekdayNames;
    std::vector<std::wstring> m_startKindNames;
    std::vector<std::wstring> m_recordModeNames;
    std::vector<std::wstring> m_nackTexts;

    // ---- the session and what the window keeps of it -----------------------------------
    std::unique_ptr<LoggerSession> m_session;
    // The window is closing: events still queued change nothing.
    bool m_closing = false;
    std::unique_ptr<FlightWindow> m_flightWindow;
    std::unique_ptr<QWidget> m_raceWindow;  // a RaceWindow
    QAbstractButton* m_stationRaceButton = nullptr;  // station mode only; not in the template

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

    // ---- clock thread --------------------------------------------------------------
    std::thread m_clockThread;
};

}  // namespace wing
