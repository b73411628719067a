#include "platform/system_clock.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace wing {

std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    // H. Hinnant's days_from_civil, on 400-year eras.
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t SystemTimeToUnixMs(const SystemTime& t) {
    const std::int64_t days = DaysFromCivil(t.year, t.month, t.day);
    const std::int64_t seconds = ((days * 24 + t.hour) * 60 + t.minute) * 60 + t.second;
    return seconds * 1000 + t.milliseconds;
}

SystemTime UnixMsToSystemTime(std::int64_t ms) {
    std::int64_t seconds = ms / 1000;
    std::int64_t rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        seconds -= 1;
    }
    std::int64_t days = seconds / 86400;
    std::int64_t secOfDay = seconds % 86400;
    if (secOfDay < 0) {
        secOfDay += 86400;
        days -= 1;
    }
    // H. Hinnant's civil_from_days.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);

    SystemTime t;
    t.year = static_cast<std::uint16_t>(y);
    t.month = static_cast<std::uint16_t>(m);
    t.day = static_cast<std::uint16_t>(d);
    // 1970-01-01 was a Thursday.
    t.dayOfWeek = static_cast<std::uint16_t>(((days % 7) + 7 + 4) % 7);
    t.hour = static_cast<std::uint16_t>(secOfDay / 3600);
    t.minute = static_cast<std::uint16_t>(secOfDay / 60 % 60);
    t.second = static_cast<std::uint16_t>(secOfDay % 60);
    t.milliseconds = static_cast<std::uint16_t>(rest);
    return t;
}

namespace {

bool ReadCapabilities(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

bool WriteCapabilities(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, data) == 0;
}

constexpr unsigned kTimeWord = CAP_SYS_TIME / 32;
constexpr std::uint32_t kTimeBit = 1u << (CAP_SYS_TIME % 32);

class LinuxSystemClock final : public SystemClock {
public:
    SystemTime Now() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return UnixMsToSystemTime(static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
    }

    // CAP_SYS_TIME plays the part of the system-time privilege: already effective is
    // success; only permitted is raised into the effective set (and dropped afterwards).
    bool EnableSetRight(bool& raised) override {
        raised = false;
        __user_cap_data_struct data[2] = {};
        if (!ReadCapabilities(data)) return false;
        if (data[kTimeWord].effective & kTimeBit) return true;
        if ((data[kTimeWord].permitted & kTimeBit) == 0) return false;
        data[kTimeWord].effective |= kTimeBit;
        if (!WriteCapabilities(data)) return false;
        raised = true;
        return true;
    }

    void RestoreSetRight() override {
        __user_cap_data_struct data[2] = {};
        if (!ReadCapabilities(data)) return;
        data[kTimeWord].effective &= ~kTimeBit;
        WriteCapabilities(data);
    }

    bool Set(const SystemTime& utc) override {
        if (utc.month < 1 || utc.month > 12 || utc.day < 1 || utc.day > 31 || utc.hour > 23 ||
            utc.minute > 59 || utc.second > 59 || utc.milliseconds > 999) {
            errno = EINVAL;
            return false;
        }
        const std::int64_t ms = SystemTimeToUnixMs(utc);
        if (ms < 0) return false;
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(ms / 1000);
        ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000;
        return clock_settime(CLOCK_REALTIME, &ts) == 0;
    }
};

}  // namespace

SystemClock& RealSystemClock() {
    static LinuxSystemClock clock;
    return clock;
}

}  // namespace wing
