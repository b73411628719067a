#pragma once
// Local time and the user's date and time formats, standing in for GetDateFormatW,
// GetTimeFormatW and the time-zone bias. Device times are unsigned seconds since
// 1970-01-01 00:00:00 UTC; they are shown in the local time of a zone: a download's in
// its exports, the PC's own for the logger's clock.

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/time_zone.h"

namespace wing {

// Breaks a device time down into local time in `zone`. False when it cannot be shown.
bool DeviceLocalTime(std::uint32_t deviceTime, std::tm& local, const TimeZone& zone);

// The date in the locale's short date format (LC_TIME, nl_langinfo(D_FMT)). False
// when the format is unavailable or the text would not fit in `capacity` characters
// (terminator included), as the Windows call fails on a short buffer.
bool FormatShortDate(const std::tm& local, std::wstring& text, std::size_t capacity = 32);

// The time in the locale's time format with any 12-hour element replaced by its
// 24-hour form and the AM/PM marker removed.
bool FormatTime24(const std::tm& local, std::wstring& text, std::size_t capacity = 32);

// The locale's time pattern (nl_langinfo(T_FMT)) rewritten to 24 hours.
std::string Force24HourPattern(const std::string& pattern);

// Seconds since 1970 as UTC in ISO 8601, "YYYY-MM-DDTHH:MM:SSZ", whatever the locale.
std::string IsoUtcText(std::int64_t seconds);

// Device time as "<short date> <24-hour time>" in local time in `zone`; when either part
// cannot be formatted, "%Y-%m-%d  %H:%M:%S" (two blanks). At most 32 characters.
std::wstring FormatDeviceTime(std::uint32_t deviceTime, const TimeZone& zone);
// The same in the PC's own zone, for the logger's clock and start time.
std::wstring FormatDeviceTime(std::uint32_t deviceTime);

}  // namespace wing
