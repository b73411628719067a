#include "platform/locale.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <clocale>
#include <optional>
#include <string>
#include <utility>

#include "support/process_zone.h"

namespace wing {
namespace {

using ZoneGuard = test::ProcessZone;

TEST(Force24HourPattern, RewritesTwelveHourElements) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"%H:%M:%S", "%H:%M:%S"},
        {"%I:%M:%S %p", "%H:%M:%S"},
        {"%r", "%H:%M:%S"},
        {"%p %I時%M分%S秒", "%H時%M分%S秒"},
        {"%l:%M %P", "%k:%M"},
        {"%OI:%M", "%OH:%M"},
        {"%%I %T", "%%I %T"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Force24HourPattern(c.in), c.out) << c.in;
}

TEST(FormatDeviceTime, LocaleShortDateAndTwentyFourHourTime) {
    ZoneGuard tz("Asia/Taipei");
    std::setlocale(LC_TIME, "C");
    // 2015-05-01 20:30:00 local: the C locale's date is %m/%d/%y, its time %H:%M:%S.
    EXPECT_EQ(FormatDeviceTime(1430483400), L"05/01/15 20:30:00");
    EXPECT_EQ(FormatDeviceTime(0), L"01/01/70 08:00:00");
}

TEST(FormatDeviceTime, PartsFailOnAShortBuffer) {
    std::setlocale(LC_TIME, "C");
    std::tm local{};
    ASSERT_TRUE(DeviceLocalTime(1430483400, local, TimeZone::Named("Asia/Taipei").value()));
    std::wstring text = L"unchanged";
    EXPECT_FALSE(FormatShortDate(local, text, 8));  // "05/01/15" needs 9 with the terminator
    EXPECT_EQ(text, L"unchanged");
    EXPECT_TRUE(FormatShortDate(local, text, 9));
    EXPECT_FALSE(FormatTime24(local, text, 5));
}

TEST(FormatDeviceTime, AGivenZoneDecidesNotTheProcesssOne) {
    ZoneGuard tz("America/New_York");
    std::setlocale(LC_TIME, "C");
    const TimeZone taipei = TimeZone::Named("Asia/Taipei").value();
    EXPECT_EQ(FormatDeviceTime(1430483400, taipei), L"05/01/15 20:30:00");
    EXPECT_EQ(FormatDeviceTime(1430483400), L"05/01/15 08:30:00");  // the PC's own: New York
}

TEST(IsoUtcText, IsUtcWhateverTheZone) {
    ZoneGuard tz("Asia/Taipei");
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "1970-01-01T00:00:00Z"},
        {1430440200, "2015-05-01T00:30:00Z"},  // 08:30 in Taipei
        {1430495999, "2015-05-01T15:59:59Z"},  // a second before local midnight
        {0xFFFFFFFF, "2106-02-07T06:28:15Z"},  // the last device time
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(IsoUtcText(seconds), text) << seconds;
}

}  // namespace
}  // namespace wing
