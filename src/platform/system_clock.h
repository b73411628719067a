#pragma once
// The PC's system clock in UTC, standing in for GetSystemTime / SetSystemTime and the
// system-time privilege. On Linux the right to set the clock is CAP_SYS_TIME and the
// clock is CLOCK_REALTIME. Everything that may set the clock goes through the
// SystemClock interface, so that tests can hand in a clock of their own and no test
// ever moves this machine's clock.

#include <cstdint>

namespace wing {

// A UTC calendar time, laid out like SYSTEMTIME (day of week 0 = Sunday).
struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;

    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (negative before).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);

// Milliseconds since 1970-01-01 00:00:00 UTC of a calendar time, and back.
std::int64_t SystemTimeToUnixMs(const SystemTime& t);
SystemTime UnixMsToSystemTime(std::int64_t ms);

class SystemClock {
public:
    virtual ~SystemClock() = default;

    // The current UTC time (GetSystemTime).
    virtual SystemTime Now() = 0;
    // Makes the right to set the clock effective. `raised` tells whether this call
    // raised it (and RestoreSetRight must drop it again). False when the right is missing.
    virtual bool EnableSetRight(bool& raised) = 0;
    virtual void RestoreSetRight() = 0;
    // Sets the clock (SetSystemTime); false leaves it as it was.
    virtual bool Set(const SystemTime& utc) = 0;
};

// The machine's own clock: CLOCK_REALTIME, and CAP_SYS_TIME as the right.
SystemClock& RealSystemClock();

}  // namespace wing
