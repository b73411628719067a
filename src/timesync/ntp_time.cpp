#include "timesync/ntp_time.h"

namespace wing {

namespace {

constexpr double kFractionUnit = 4294967295.0;
constexpr std::int64_t kDaysFrom1900To1970 = 25567;

// I x 2^32 + trunc(f x 4294967295) for x = I + f, x >= 0.
std::uint64_t SecondsToNtpSpan(double x) {
    const double whole = static_cast<double>(static_cast<std::uint64_t>(x));
    const auto fraction = static_cast<std::uint64_t>((x - whole) * kFractionUnit);
    return (static_cast<std::uint64_t>(whole) << 32) + fraction;
}

}  // namespace

NtpTimestamp SystemTimeToNtp(const SystemTime& utc) {
    const std::int64_t days = DaysFromCivil(utc.year, utc.month, utc.day) + kDaysFrom1900To1970;
    const std::int64_t seconds = ((days * 24 + utc.hour) * 60 + utc.minute) * 60 + utc.second;
    const std::uint32_t fraction = kNtpFractionOfMs[utc.milliseconds < 1000 ? utc.milliseconds : 999];
    return (static_cast<std::uint64_t>(seconds) << 32) + fraction;
}

SystemTime NtpToSystemTime(NtpTimestamp t) {
    const std::int64_t s = NtpSeconds(t);
    SystemTime out = UnixMsToSystemTime((s - kDaysFrom1900To1970 * 86400) * 1000);
    auto ms = static_cast<unsigned>(NtpFraction(t) * 1000.0 / kFractionUnit + 0.5);
    // A fraction within half a millisecond of the next second would round to 1000, which
    // no clock accepts as milliseconds.
    out.milliseconds = static_cast<std::uint16_t>(ms > 999 ? 999 : ms);
    return out;
}

NtpTimestamp AddSeconds(NtpTimestamp t, double x) {
    return x >= 0 ? t + SecondsToNtpSpan(x) : t - SecondsToNtpSpan(-x);
}

double NtpDifferenceSeconds(NtpTimestamp a, NtpTimestamp b) {
    const bool negative = a < b;
    const std::uint64_t d = negative ? b - a : a - b;
    const double seconds = static_cast<double>(NtpSeconds(d)) + NtpFraction(d) / kFractionUnit;
    return negative ? -seconds : seconds;
}

}  // namespace wing
