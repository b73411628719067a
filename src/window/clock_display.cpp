// The clock group: a worker thread that runs the optional time synchronisation once,
// releases LINK and Exit, and keeps the date and time texts current. The texts are
// computed on the clock thread and handed to the UI thread, which alone touches widgets,
// so the thread never waits for the window and always ends on its stop flag.

#include <langinfo.h>

#include <cstdio>
#include <ctime>
#include <system_error>

#include "window/clock_sync.h"
#include "window/wing_utility_dlg.h"
#include "platform/locale.h"
#include "platform/sync.h"
#include "platform/text.h"

namespace wing {
namespace {
constexpr int kDateText = IDC_DATE_TEXT;
constexpr int kTimeText = IDC_TIME_TEXT;
constexpr int kClockPoints = 12;
constexpr std::uint32_t kPauseMs = 500;
constexpr long long kTickMs = 1000;
}  // namespace

void CWingUtilityDlg::StartClockThread() {
    if (m_clockThread.joinable()) StopClockThread();
    m_clockStop = 0;
    m_clockWake.Reset();
    try {
        m_clockThread = std::thread([this] { ClockThread(); });
    } catch (const std::system_error&) {
        // No thread: LINK and Exit stay disabled, as nothing will report ready.
    }
}

void CWingUtilityDlg::ClockThread() {
    if (m_ntpEnable == 0) {
        Post(WM_CLOCK_READY, 0, 0);
    } else if (m_ntpPending) {
        SyncClockFromServer(m_ntpServer, m_ntpClock, m_ntpConnectivity);  // silent either way
        // Cleared before the window hears of it: whoever the ready message reaches sees it done.
        m_ntpPending = 0;
        Post(WM_CLOCK_READY, 0, 0);
    }

    double start = PerformanceSeconds();
    while (!m_clockStop) {
        const double now = PerformanceSeconds();
        const long long elapsedMs = static_cast<long long>((now - start) * 1000.0);
        if (elapsedMs >= kTickMs) {
            start = now;
            ClockTick();
        }
        m_clockWake.Wait(kPauseMs);
    }
}

void CWingUtilityDlg::ClockTick() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr) {
        ShowDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday + 1);
        ShowTime(local.tm_hour, local.tm_min, local.tm_sec);
    } else {
        ShowDate(0, 0, 0, 0);
        ShowTime(-1, -1, -1);
    }
}

void CWingUtilityDlg::ShowDate(int year, int month, int day, int dayOfWeek) {
    if (year == m_shownDate[0] && month == m_shownDate[1] && day == m_shownDate[2] && dayOfWeek == m_shownDate[3])
        return;
    if (dayOfWeek < 1 || dayOfWeek > 7) return;

    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_wday = dayOfWeek - 1;
    const std::wstring fallbackName =
        static_cast<std::size_t>(dayOfWeek) <= m_weekdayNames.size() ? m_weekdayNames[dayOfWeek - 1] : std::wstring();

    std::wstring date;
    std::wstring text;
    if (m_formatDate && m_formatDate(t, date)) {
        std::wstring name;
        const char* full = nl_langinfo(static_cast<nl_item>(DAY_1 + dayOfWeek - 1));
        if (full && *full) name = FromLocale8(full);
        if (name.empty() || name.size() > 255) name = fallbackName;
        text = date + L"  " + name;
    } else {
        wchar_t buf[64];
        std::swprintf(buf, 64, L"%04d / %02d / %02d  ", year, month, day);
        text = buf + fallbackName;
    }
    RunOnUiThread([this, text] { SetStatic(kDateText, text, DarkGreen(), kClockPoints); });

    m_shownDate[0] = year;
    m_shownDate[1] = month;
    m_shownDate[2] = day;
    m_shownDate[3] = dayOfWeek;
}

void CWingUtilityDlg::ShowTime(int hour, int minute, int second) {
    if (hour == m_shownTime[0] && minute == m_shownTime[1] && second == m_shownTime[2]) return;

    std::tm t{};
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    std::wstring text;
    if (!(hour >= 0 && m_formatTime && m_formatTime(t, text))) {
        wchar_t buf[48];
        std::swprintf(buf, 48, L"%02d:%02d:%02d", hour, minute, second);
        text = buf;
    }
    RunOnUiThread([this, text] { SetStatic(kTimeText, text, DarkGreen(), kClockPoints); });

    m_shownTime[0] = hour;
    m_shownTime[1] = minute;
    m_shownTime[2] = second;
}

void CWingUtilityDlg::StopClockThread() {
    m_clockStop = 1;
    m_clockWake.Set();
    // The thread checks its flag at least every half second and never waits for this
    // thread, so it ends without force.
    if (m_clockThread.joinable()) m_clockThread.join();
}

}  // namespace wing
