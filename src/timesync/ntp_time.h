#pragma once
// NTP timestamps: seconds since 1900-01-01 00:00:00 UTC in the upper 32 bits and the
// fraction of a second in the lower 32; arithmetic is modulo 2^64.

#include <array>
#include <cstdint>

#include "platform/system_clock.h"

namespace wing {

using NtpTimestamp = std::uint64_t;

// F[ms] = the integer nearest to ms x 2^32 / 1000.
inline constexpr std::array<std::uint32_t, 1000> kNtpFractionOfMs = [] {
    std::array<std::uint32_t, 1000> f{};
    for (std::uint64_t ms = 0; ms < 1000; ++ms) {
        f[ms] = static_cast<std::uint32_t>((ms * (std::uint64_t{1} << 32) + 500) / 1000);
    }
    return f;
}();

constexpr std::uint32_t NtpSeconds(NtpTimestamp t) { return static_cast<std::uint32_t>(t >> 32); }
constexpr std::uint32_t NtpFraction(NtpTimestamp t) { return static_cast<std::uint32_t>(t); }
constexpr NtpTimestamp MakeNtpTimestamp(std::uint32_t seconds, std::uint32_t fraction) {
    return (NtpTimestamp{seconds} << 32) | fraction;
}

// A UTC calendar time (with milliseconds) as a timestamp.
NtpTimestamp SystemTimeToNtp(const SystemTime& utc);

// A timestamp as a UTC calendar time with day of week and milliseconds.
SystemTime NtpToSystemTime(NtpTimestamp t);

// t moved by x seconds (either sign), the fraction counted in 1/4294967295 s.
NtpTimestamp AddSeconds(NtpTimestamp t, double x);

// a - b in seconds: the 64-bit difference as seconds + fraction / 4294967295,
// negative when a is less than b.
double NtpDifferenceSeconds(NtpTimestamp a, NtpTimestamp b);

}  // namespace wing
