// Times as the command line reads and prints them.

#include <cstdio>
#include <ctime>
#include <string>

#include "cli/commands.h"

namespace wing::cli {

std::optional<std::int64_t> ParseLocalTime(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep = 0;
    int used = -1;
    // The whole text must be the time: "07:00x" or a trailing word is not one.
    const bool withSeconds = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &s,
                                         &used) == 7 && used == static_cast<int>(text.size());
    if (!withSeconds) {
        s = 0;
        used = -1;
        if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &used) != 6 ||
            used != static_cast<int>(text.size()))
            return std::nullopt;
    }
    if (sep != ' ' && sep != 'T') return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0)
        return std::nullopt;
    std::tm local{};
    local.tm_year = y - 1900;
    local.tm_mon = mo - 1;
    local.tm_mday = d;
    local.tm_hour = h;
    local.tm_min = mi;
    local.tm_sec = s;
    local.tm_isdst = -1;  // the system decides whether summer time applies, as the window does
    const std::time_t t = std::mktime(&local);
    // mktime normalises 31 February into March: such a date is not the one typed.
    if (t == static_cast<std::time_t>(-1) || local.tm_mday != d || local.tm_mon != mo - 1) return std::nullopt;
    return static_cast<std::int64_t>(t);
}

std::string LocalTimeText(std::int64_t utc) {
    const std::time_t t = static_cast<std::time_t>(utc);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return std::to_string(utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string UtcTimeText(std::int64_t utc) {
    const std::time_t t = static_cast<std::time_t>(utc);
    std::tm tm{};
    if (gmtime_r(&t, &tm) == nullptr) return std::to_string(utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

}  // namespace wing::cli
