#pragma once
// Dead time: the part of a flight that falls in the nights a race does not time.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "flight/coordinates.h"
#include "platform/time_zone.h"
#include "race/race.h"

namespace wing {

// Seconds of [from, to) (UTC seconds) inside the rule's windows: a fixed window in `zone`,
// the sun's at `loft` (sunset and sunrise from libnova).
std::int64_t DeadSeconds(const DeadTimeRule& rule, const TimeZone& zone, const GeoPoint& loft,
                         std::int64_t from, std::int64_t to);

// The rule as the command line and the settings write it: "none", "21:30-05:00",
// "sun:60" (minutes; may be negative). None when the text is none of these.
std::optional<DeadTimeRule> ParseDeadTime(std::string_view text);
std::string DeadTimeText(const DeadTimeRule& rule);

}  // namespace wing
