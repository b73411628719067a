// Times as the command line reads and prints them.

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "cli/commands.h"

namespace wing::cli {
namespace {

int Digits(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The offset a typed time ends with ("Z", "+08", "+0800", "+08:00") in seconds east of UTC.
std::optional<int> ParseOffset(std::string_view text) {
    if (text == "Z") return 0;
    if ((text.size() != 3 && text.size() != 5 && text.size() != 6) || (text[0] != '+' && text[0] != '-'))
        return std::nullopt;
    const int hours = Digits(text.substr(1, 2));
    std::string_view mm = text.substr(3);
    if (text.size() == 6) {
        if (mm.front() != ':') return std::nullopt;
        mm.remove_prefix(1);
    }
    const int minutes = Digits(mm);  // none typed: 0
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) return std::nullopt;
    const int seconds = hours * 3600 + minutes * 60;
    return text[0] == '-' ? -seconds : seconds;
}

}  // namespace

std::optional<std::int64_t> ParseLocalTime(const std::string& text, const TimeZone& zone) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep = 0;
    int used = -1;
    // The date and time, then at most an offset: "07:00x" or a trailing word is not a time.
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &s, &used) != 7) {
        s = 0;
        used = -1;
        if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &used) != 6)
            return std::nullopt;
    }
    if (used < 0 || (sep != ' ' && sep != 'T')) return std::nullopt;
    const LocalDateTime local{y, mo, d, h, mi, s};
    const std::string_view rest = std::string_view(text).substr(static_cast<std::size_t>(used));
    if (!rest.empty()) {
        // A typed offset says which moment it is: the zone has no say.
        const auto offset = ParseOffset(rest);
        const LocalMoment asUtc = TimeZone::Utc().FromLocal(local);
        if (!offset || asUtc.kind != LocalMoment::Kind::Unique) return std::nullopt;
        return asUtc.earlier - *offset;
    }
    // 31 February, or a time the clocks skipped or showed twice, is not one moment.
    const LocalMoment moment = zone.FromLocal(local);
    if (moment.kind != LocalMoment::Kind::Unique) return std::nullopt;
    return moment.earlier;
}

std::optional<std::int64_t> ParseLocalTime(const std::string& text) { return ParseLocalTime(text, TimeZone::Pc()); }

std::string LocalTimeText(std::int64_t utc, const TimeZone& zone) {
    const std::string text = zone.Format(utc, "%Y-%m-%d %H:%M:%S");
    return text.empty() ? std::to_string(utc) : text;
}

std::string LocalTimeText(std::int64_t utc) { return LocalTimeText(utc, TimeZone::Pc()); }

std::string UtcTimeText(std::int64_t utc) {
    const std::time_t t = static_cast<std::time_t>(utc);
    std::tm tm{};
    if (gmtime_r(&t, &tm) == nullptr) return std::to_string(utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

}  // namespace wing::cli
