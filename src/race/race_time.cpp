#include "race/race_time.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <sstream>

#include <date/date.h>

namespace wing {
namespace {

using Nanos = std::chrono::nanoseconds;

// True when `format` reads the whole of `text` into `tp`.
template <class TimePoint>
bool ParseWhole(const std::string& text, const char* format, TimePoint& tp) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> date::parse(format, tp);
    return !in.fail() && in.peek() == std::char_traits<char>::eof();
}

std::int64_t RoundedSeconds(Nanos sinceEpoch) {
    return date::round<std::chrono::seconds>(sinceEpoch).count();
}

}  // namespace

std::optional<std::int64_t> ParseIsoTime(std::string_view text, const TimeZone* zone) {
    std::string t(text);
    if (t.size() > 10 && t[10] == ' ') t[10] = 'T';
    if (t.size() < 19 || t[10] != 'T') return std::nullopt;
    if (t.back() == 'Z' || t.back() == 'z') t.replace(t.size() - 1, 1, "+00:00");

    date::sys_time<Nanos> utc;
    if (ParseWhole(t, "%FT%T%Ez", utc) || ParseWhole(t, "%FT%T%z", utc))
        return RoundedSeconds(utc.time_since_epoch());

    date::local_time<Nanos> local;
    if (zone == nullptr || !ParseWhole(t, "%FT%T", local)) return std::nullopt;
    // The wall time to the second through the zone's rules, the fraction added after.
    const auto day = date::floor<date::days>(local);
    const date::year_month_day ymd(day);
    const date::hh_mm_ss<Nanos> clock(local - day);
    const LocalMoment moment = zone->FromLocal(LocalDateTime{
        static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
        static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(clock.hours().count()),
        static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count())});
    if (moment.kind != LocalMoment::Kind::Unique) return std::nullopt;
    return moment.earlier + RoundedSeconds(clock.subseconds()) ;
}

std::string IsoTimeText(std::int64_t utc, const TimeZone& zone) {
    const std::string local = zone.Format(utc, "%Y-%m-%dT%H:%M:%S");
    const long offset = zone.OffsetAt(utc);
    if (offset == 0) return local + "Z";
    const long minutes = std::labs(offset) / 60;
    char text[32];
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return local + text;
}

}  // namespace wing
