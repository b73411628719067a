// The clock group: texts in green 12 points that change as time passes, the numeric
// fall-backs, and a bounded stop.

#include <QElapsedTimer>

#include "window/controller_fixture.h"
#include "framework/color_font_static.h"

namespace wing {
namespace {

using namespace std::chrono_literals;
using test::IniValues;
using test::PumpUntil;

class Clock : public test::MainDialogFixture {};

TEST_F(Clock, DateAndTimeAppearInGreenAndTheTimeMovesOn) {
    auto& d = Open({});
    ASSERT_TRUE(PumpUntil([&] { return !d.ItemText(IDC_TIME_TEXT).empty(); }, 3s));
    const std::wstring first = d.ItemText(IDC_TIME_TEXT);
    EXPECT_FALSE(d.ItemText(IDC_DATE_TEXT).empty());
    for (int id : {IDC_DATE_TEXT, IDC_TIME_TEXT}) {
        EXPECT_EQ(d.ColorStatic(id)->TextColor(), QColor(0, 127, 0));
        EXPECT_EQ(d.ColorStatic(id)->Description().height, -16);
    }
    // The date carries the day's name after two blanks.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_NE(d.ItemText(IDC_DATE_TEXT).find(L"  "), std::wstring::npos);
    // Ticks come 1 to 1.5 s apart.
    ASSERT_TRUE(PumpUntil([&] { return d.ItemText(IDC_TIME_TEXT) != first; }, 2500ms));
}

TEST_F(Clock, ALocaleThatCannotFormatGetsTheNumericTextsWithTheDayNamesOfTheTable) {
    IniValues v;
    v.languageByOS = 1;
    auto& d = Open(v, "zh_TW.UTF-8");
    d.StopClockThread();
    QApplication::processEvents();
    d.m_formatDate = [](const std::tm&, std::wstring&) { return false; };
    d.m_formatTime = [](const std::tm&, std::wstring&) { return false; };

    // 3 March 2025, a Monday: day number 2.
    d.ShowDate(2025, 3, 3, 2);
    EXPECT_EQ(d.ItemText(IDC_DATE_TEXT), L"2025 / 03 / 03  " + Str(LANG_ZH_TW, 118));
    // Every day of the week takes its own name.
    for (int dow = 1; dow <= 7; ++dow) {
        d.ShowDate(2025, 3, 2 + dow - 1, dow);
        EXPECT_EQ(d.ItemText(IDC_DATE_TEXT).substr(16), Str(LANG_ZH_TW, 117 + dow - 1)) << dow;
    }
    // The same date again changes nothing, and a day of week out of range shows nothing.
    d.SetStatic(IDC_DATE_TEXT, L"marker", QColor());
    d.ShowDate(2025, 3, 8, 7);
    d.ShowDate(2025, 3, 9, 0);
    EXPECT_EQ(d.ItemText(IDC_DATE_TEXT), L"marker");

    d.ShowTime(7, 5, 9);
    EXPECT_EQ(d.ItemText(IDC_TIME_TEXT), L"07:05:09");
    d.ShowTime(-1, -1, -1);  // local time unavailable
    EXPECT_EQ(d.ItemText(IDC_TIME_TEXT), L"-1:-1:-1");
    EXPECT_EQ(d.ColorStatic(IDC_TIME_TEXT)->TextColor(), QColor(0, 127, 0));
}

TEST_F(Clock, TheLocaleFormatsAreUsedWhenTheyWork) {
    auto& d = Open({});
    d.StopClockThread();
    QApplication::processEvents();
    d.m_formatDate = [](const std::tm& t, std::wstring& text) {
        text = std::to_wstring(t.tm_mday) + L"." + std::to_wstring(t.tm_mon + 1) + L"." + std::to_wstring(t.tm_year + 1900);
        return true;
    };
    d.m_formatTime = [](const std::tm& t, std::wstring& text) {
        text = std::to_wstring(t.tm_hour) + L"h" + std::to_wstring(t.tm_min);
        return true;
    };
    d.ShowDate(2025, 3, 4, 3);
    // The day's name comes from the locale (the C library's full name of Tuesday here).
    EXPECT_EQ(d.ItemText(IDC_DATE_TEXT).substr(0, 10), L"4.3.2025  ");
    EXPECT_FALSE(d.ItemText(IDC_DATE_TEXT).substr(10).empty());
    d.ShowTime(23, 59, 58);
    EXPECT_EQ(d.ItemText(IDC_TIME_TEXT), L"23h59");
}

TEST_F(Clock, StoppingEndsTheThreadPromptlyEvenWithTheUiThreadBusy) {
    auto& d = Open({});
    ASSERT_TRUE(PumpUntil([&] { return !d.ItemText(IDC_TIME_TEXT).empty(); }, 3s));
    // No events are served from here on: the thread must not wait for this one.
    std::this_thread::sleep_for(1500ms);
    QElapsedTimer timer;
    timer.start();
    d.StopClockThread();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_FALSE(d.m_clockThread.joinable());
}

}  // namespace
}  // namespace wing
