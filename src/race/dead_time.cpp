#include "race/dead_time.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <date/date.h>
#include <libnova/rise_set.h>
#include <libnova/solar.h>

namespace wing {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr double kUnixEpochJd = 2440587.5;

std::int64_t Overlap(std::int64_t from, std::int64_t to, std::int64_t open, std::int64_t close) {
    return std::max<std::int64_t>(0, std::min(to, close) - std::max(from, open));
}

// The moment the clocks in `zone` first show `minute` (after midnight) on that day. A time
// the clocks skipped is the moment they jumped over it; one they showed twice, the first.
std::int64_t WallClockMoment(const TimeZone& zone, date::sys_days day, int minute) {
    const date::year_month_day ymd(day);
    const LocalMoment m = zone.FromLocal(LocalDateTime{static_cast<int>(ymd.year()),
                                                       static_cast<int>(static_cast<unsigned>(ymd.month())),
                                                       static_cast<int>(static_cast<unsigned>(ymd.day())), minute / 60,
                                                       minute % 60, 0});
    if (m.kind != LocalMoment::Kind::Skipped) return m.earlier;
    // The jump lies between the two readings: the first second with the new offset.
    std::int64_t low = std::min(m.earlier, m.later), high = std::max(m.earlier, m.later);
    const long before = zone.OffsetAt(low);
    while (high - low > 1) {
        const std::int64_t mid = low + (high - low) / 2;
        (zone.OffsetAt(mid) == before ? low : high) = mid;
    }
    return high;
}

date::sys_days LocalDay(const TimeZone& zone, std::int64_t utc) {
    return date::floor<date::days>(date::sys_seconds{std::chrono::seconds{utc + zone.OffsetAt(utc)}});
}

// Each local day's window [start, end) from the day before `from` to the day of `to`: a
// window that ends before it starts runs into the next day.
std::int64_t FixedDeadSeconds(const DeadTimeRule& rule, const TimeZone& zone, std::int64_t from, std::int64_t to) {
    std::int64_t dead = 0;
    const date::sys_days last = LocalDay(zone, to);
    for (date::sys_days day = LocalDay(zone, from) - date::days{1}; day <= last; day += date::days{1}) {
        const date::sys_days endDay = rule.endMinute <= rule.startMinute ? day + date::days{1} : day;
        dead += Overlap(from, to, WallClockMoment(zone, day, rule.startMinute), WallClockMoment(zone, endDay, rule.endMinute));
    }
    return dead;
}

double JulianDay(std::int64_t utc) { return kUnixEpochJd + static_cast<double>(utc) / kDay; }
std::int64_t UtcOf(double jd) { return static_cast<std::int64_t>(std::llround((jd - kUnixEpochJd) * kDay)); }

// The sun's next rise and set after `utc` at `where` (both within a day of it); the
// library's answer: 0, or +1 when the sun stays up all day, -1 when it stays down.
int NextSunEvents(std::int64_t utc, const GeoPoint& where, std::int64_t& rise, std::int64_t& set) {
    ln_lnlat_posn observer{where.lon, where.lat};
    ln_rst_time rst{};
    const int answer =
        ln_get_body_next_rst_horizon(JulianDay(utc), &observer, ln_get_solar_equ_coords, LN_SOLAR_STANDART_HORIZON, &rst);
    rise = UtcOf(rst.rise);
    set = UtcOf(rst.set);
    return answer;
}

// From each sunset to the following sunrise, narrowed by the offset at both ends. A day
// on which the sun never sets takes nothing off; one on which it never rises is night
// throughout.
std::int64_t SunDeadSeconds(const DeadTimeRule& rule, const GeoPoint& loft, std::int64_t from, std::int64_t to) {
    const std::int64_t offset = static_cast<std::int64_t>(rule.sunOffsetMinutes) * 60;
    std::int64_t dead = 0;
    // A night is shorter than a day, so the sunset of a night under way at the release
    // lies less than a day before it.
    std::int64_t t = from - kDay;
    while (t < to) {
        std::int64_t rise = 0, set = 0;
        const int answer = NextSunEvents(t, loft, rise, set);
        if (answer != 0) {
            if (answer < 0) dead += Overlap(from, to, t, t + kDay);
            t += kDay;
            continue;
        }
        std::int64_t nextRise = 0, nextSet = 0;
        if (NextSunEvents(set, loft, nextRise, nextSet) != 0) {  // the polar night begins
            dead += Overlap(from, to, set + offset, set + kDay);
            t = set + kDay;
            continue;
        }
        if (set + offset < nextRise - offset) dead += Overlap(from, to, set + offset, nextRise - offset);
        t = std::max(nextRise, set + 1);
    }
    return dead;
}

bool ParseClock(std::string_view text, int& minute) {
    int h = 0, m = 0;
    if (text.size() != 5 || text[2] != ':') return false;
    const auto a = std::from_chars(text.data(), text.data() + 2, h);
    const auto b = std::from_chars(text.data() + 3, text.data() + 5, m);
    if (a.ec != std::errc() || a.ptr != text.data() + 2 || b.ec != std::errc() || b.ptr != text.data() + 5) return false;
    if (h > 23 || m > 59 || h < 0 || m < 0) return false;
    minute = h * 60 + m;
    return true;
}

}  // namespace

std::int64_t DeadSeconds(const DeadTimeRule& rule, const TimeZone& zone, const GeoPoint& loft, std::int64_t from,
                         std::int64_t to) {
    if (to <= from) return 0;
    switch (rule.kind) {
    case DeadTimeRule::Kind::Fixed:
        if (rule.startMinute == rule.endMinute) return 0;
        return FixedDeadSeconds(rule, zone, from, to);
    case DeadTimeRule::Kind::Sun: return SunDeadSeconds(rule, loft, from, to);
    case DeadTimeRule::Kind::None: break;
    }
    return 0;
}

std::optional<DeadTimeRule> ParseDeadTime(std::string_view text) {
    DeadTimeRule rule;
    if (text == "none") return rule;
    if (text.substr(0, 4) == "sun:") {
        std::string_view number = text.substr(4);
        if (!number.empty() && number.front() == '+') number.remove_prefix(1);
        int minutes = 0;
        const auto r = std::from_chars(number.data(), number.data() + number.size(), minutes);
        if (number.empty() || r.ec != std::errc() || r.ptr != number.data() + number.size() || minutes < -720 ||
            minutes > 720)
            return std::nullopt;
        rule.kind = DeadTimeRule::Kind::Sun;
        rule.sunOffsetMinutes = minutes;
        return rule;
    }
    if (text.size() != 11 || text[5] != '-') return std::nullopt;
    if (!ParseClock(text.substr(0, 5), rule.startMinute) || !ParseClock(text.substr(6), rule.endMinute))
        return std::nullopt;
    if (rule.startMinute == rule.endMinute) return std::nullopt;  // no window, or all day: neither is a night
    rule.kind = DeadTimeRule::Kind::Fixed;
    return rule;
}

std::string DeadTimeText(const DeadTimeRule& rule) {
    char text[32];
    switch (rule.kind) {
    case DeadTimeRule::Kind::Fixed:
        std::snprintf(text, sizeof text, "%02d:%02d-%02d:%02d", rule.startMinute / 60, rule.startMinute % 60,
                      rule.endMinute / 60, rule.endMinute % 60);
        return text;
    case DeadTimeRule::Kind::Sun:
        std::snprintf(text, sizeof text, "sun:%d", rule.sunOffsetMinutes);
        return text;
    case DeadTimeRule::Kind::None: break;
    }
    return "none";
}

}  // namespace wing
