#pragma once
// Dates and times as the race file and GPX files write them: ISO 8601.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/time_zone.h"

namespace wing {

// "2026-06-01T07:00:00Z", "...+02:00", "...+0200", also with fractional seconds (up to
// nine digits) and a blank for the 'T', as UTC seconds rounded to the nearest second. A
// time without an offset is local time in `zone`; with no zone, or one whose clocks
// skipped that time or showed it twice, it is refused.
std::optional<std::int64_t> ParseIsoTime(std::string_view text, const TimeZone* zone);

// UTC seconds as local time in `zone` with its offset, "2026-06-01T07:00:00+02:00"
// ("Z" when the offset is 0), which ParseIsoTime reads back.
std::string IsoTimeText(std::int64_t utc, const TimeZone& zone);

}  // namespace wing
