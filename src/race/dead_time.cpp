#include "race/dead_time.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

#include <date/date.h>
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

using Span = std::pair<std::int64_t, std::int64_t>;

// Adds `t` unless an event within the hour is there already: the library gives each
// event in its UT day, and one close to midnight may come from two days.
void AddEvent(std::vector<std::int64_t>& events, double jd) {
    if (!std::isfinite(jd)) return;
    const std::int64_t t = UtcOf(jd);
    for (std::int64_t e : events)
        if (std::llabs(e - t) < 3600) return;
    events.push_back(t);
}

// The sun's nights at `where` from `first` to `last` (UT days, from their midnight):
// each sunset to the sunrise after it, narrowed by `offset` at both ends. A day the sun
// never rises is night throughout; a day it never sets has no night.
std::vector<Span> SunNights(const GeoPoint& where, std::int64_t first, std::int64_t last, std::int64_t offset) {
    ln_lnlat_posn observer{where.lon, where.lat};
    std::vector<std::int64_t> rises, sets, darkDays;
    for (std::int64_t day = first; day <= last; day += kDay) {
        ln_rst_time rst{};
        const int answer = ln_get_solar_rst(JulianDay(day), &observer, &rst);
        if (answer < 0) darkDays.push_back(day);
        if (answer != 0) continue;
        AddEvent(rises, rst.rise);
        AddEvent(sets, rst.set);
    }
    std::sort(rises.begin(), rises.end());
    std::vector<Span> nights;
    for (std::int64_t day : darkDays) nights.emplace_back(day, day + kDay);
    for (std::int64_t set : sets) {
        // The night ends at the next sunrise, or where a day without one begins.
        const auto rise = std::upper_bound(rises.begin(), rises.end(), set);
        std::int64_t close = rise != rises.end() ? *rise - offset : last + kDay;
        for (std::int64_t day : darkDays)
            if (day > set && day < close) close = day;
        if (set + offset < close) nights.emplace_back(set + offset, close);
    }
    return nights;
}

// Seconds of [from, to) inside any of the spans; time where spans overlap counts once.
std::int64_t CoveredSeconds(std::vector<Span> spans, std::int64_t from, std::int64_t to) {
    std::sort(spans.begin(), spans.end());
    std::int64_t covered = 0, reached = from;
    for (const auto& [open, close] : spans) {
        const std::int64_t start = std::max(open, reached), end = std::min(close, to);
        if (start < end) covered += end - start;
        reached = std::max(reached, std::min(close, to));
    }
    return covered;
}

// From each sunset to the following sunrise at the loft, narrowed by the offset at both
// ends; a widened window that overlaps its neighbour counts its time once.
std::int64_t SunDeadSeconds(const DeadTimeRule& rule, const GeoPoint& loft, std::int64_t from, std::int64_t to) {
    const std::int64_t offset = static_cast<std::int64_t>(rule.sunOffsetMinutes) * 60;
    // A night is shorter than a day and a widened one reaches at most half a day further
    // each way: the nights from two days before the release to a day after the arrival
    // hold every window that touches the flight.
    const std::int64_t first = (from / kDay - 2) * kDay, last = (to / kDay + 1) * kDay;
    return CoveredSeconds(SunNights(loft, first, last, offset), from, to);
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
