#pragma once
// Time zones as values: the local time of a moment in a given zone, and the moment a
// local date and time names there, from the system's tz database (date/tz). Nothing here
// reads or changes the process's TZ but TimeZone::Pc(), which only reads it, so threads
// can each work in their own zone.

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wing {

// A local date and time as typed or stored, not normalised: 31 February is not 3 March.
struct LocalDateTime {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// What a local date and time names in a zone: one moment, none (the clocks skipped it),
// or two (the clocks showed it twice).
struct LocalMoment {
    enum class Kind { Invalid, Unique, Skipped, Repeated } kind = Kind::Invalid;
    // Unique: the moment, twice. Repeated: its first and second reading. Skipped: the
    // wall time read with the offset in force before the change, and with the one after.
    std::int64_t earlier = 0;
    std::int64_t later = 0;
};

class TimeZone {
public:
    // A TZ value read as the C library reads one: a zone of the tz database
    // ("Europe/Berlin", also with a leading ':' or as a path under zoneinfo/), else a POSIX
    // rule ("CST-8", "EST5EDT,M3.2.0,M11.1.0"). None when it is neither.
    static std::optional<TimeZone> Named(std::string_view value);
    static TimeZone Utc();
    // The PC's own zone as the C library takes it: $TZ when it is set (empty or unreadable:
    // UTC), else the zone /etc/localtime names (none: UTC).
    static TimeZone Pc();

    // The value that names this zone again: Named(Name()) is the same zone.
    const std::string& Name() const { return m_name; }

    // The moment (seconds since 1970 UTC) as local date and time, with tm_wday, tm_yday,
    // tm_isdst, tm_gmtoff and tm_zone set. False when the year is beyond four digits.
    bool LocalTime(std::int64_t utc, std::tm& local) const;
    // Seconds east of UTC in force at that moment, summer time included.
    long OffsetAt(std::int64_t utc) const;
    // The moment as local time through a strftime pattern; empty when it cannot be shown.
    std::string Format(std::int64_t utc, const char* pattern) const;
    // The moment or moments a local date and time names here; Invalid when the date does
    // not exist (31 February) or a field is out of its range.
    LocalMoment FromLocal(const LocalDateTime& local) const;

private:
    struct Rules;
    TimeZone(std::string name, std::shared_ptr<const Rules> rules);

    std::string m_name;
    std::shared_ptr<const Rules> m_rules;
};

}  // namespace wing
