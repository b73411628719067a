#include "platform/time_zone.h"

#include <date/date.h>
#include <date/tz.h>
// ptz.h (Debian's 3.0.1) names hh_mm_ss unqualified beside `using namespace std::chrono`,
// which C++20 makes ambiguous; this names the one it means.
namespace Posix {
using date::hh_mm_ss;
}
#include <date/ptz.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace wing {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

constexpr char kZoneFolder[] = "/usr/share/zoneinfo";
constexpr std::int64_t kFirstShown = -62135596800;  // 0001-01-01 00:00:00 UTC
constexpr std::int64_t kLastShown = 253402300799;   // 9999-12-31 23:59:59 UTC

// The rule a zone file ends with, which the C library follows after the file's last
// transition (after 2037 for most zones); the database reader stops at that transition.
std::optional<Posix::time_zone> FileRule(const std::string& name) {
    std::ifstream in(fs::path(kZoneFolder) / name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 6 || bytes.compare(0, 4, "TZif") != 0 || bytes[4] == '\0' || bytes.back() != '\n')
        return std::nullopt;
    const auto start = bytes.rfind('\n', bytes.size() - 2);
    if (start == std::string::npos) return std::nullopt;
    const std::string rule = bytes.substr(start + 1, bytes.size() - start - 2);
    if (rule.empty()) return std::nullopt;
    try {
        return Posix::time_zone(rule);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// tm_zone points at the text it names; the abbreviations are few and kept for good.
const char* Interned(const std::string& text) {
    static std::mutex lock;
    static std::set<std::string> texts;
    std::lock_guard<std::mutex> guard(lock);
    return texts.insert(text).first->c_str();
}

}  // namespace

struct TimeZone::Rules {
    const date::time_zone* zone = nullptr;  // from the tz database
    std::optional<Posix::time_zone> rule;   // a POSIX rule: the whole zone, or the file's rule
    date::sys_seconds ruleFrom = date::sys_seconds::min();  // the rule holds from here on

    date::sys_info At(std::int64_t utc) const {
        const date::sys_seconds t{seconds{utc}};
        if (zone != nullptr && (!rule || t < ruleFrom)) return zone->get_info(t);
        date::sys_info info = rule->get_info(t);
        // A rule without summer time leaves `save` unset (ptz 3.0.1); such a rule has none.
        if (info.begin == date::sys_days{date::year::min() / 1 / 1}) info.save = std::chrono::minutes{0};
        return info;
    }
};

TimeZone::TimeZone(std::string name, std::shared_ptr<const Rules> rules)
    : m_name(std::move(name)), m_rules(std::move(rules)) {}

std::optional<TimeZone> TimeZone::Named(std::string_view value) {
    std::string name(value);
    if (name.starts_with(':')) name.erase(0, 1);
    if (const auto at = name.find("zoneinfo/"); name.starts_with('/') || name.starts_with("../")) {
        if (at == std::string::npos) return std::nullopt;
        name.erase(0, at + 9);
    }
    if (name.empty()) return std::nullopt;

    // One set of rules per name for the life of the process: the zone files are read once.
    static std::mutex lock;
    static std::map<std::string, std::shared_ptr<const Rules>> known;
    std::lock_guard<std::mutex> guard(lock);
    if (auto it = known.find(name); it != known.end()) return TimeZone(name, it->second);
    auto rules = std::make_shared<Rules>();
    try {
        rules->zone = date::locate_zone(name);
    } catch (const std::exception&) {
        rules->zone = nullptr;
    }
    if (rules->zone != nullptr) {
        rules->rule = FileRule(name);
        const auto last = rules->zone->get_info(date::sys_days{date::year{9999} / 1 / 1});
        rules->ruleFrom = last.begin;
    } else {
        try {
            rules->rule.emplace(name);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    known.emplace(name, rules);
    return TimeZone(name, std::move(rules));
}

TimeZone TimeZone::Utc() {
    if (auto utc = Named("UTC")) return *utc;
    return *Named("UTC0");
}

TimeZone TimeZone::Pc() {
    if (const char* tz = std::getenv("TZ")) {
        auto zone = Named(tz);
        return zone ? *zone : Utc();
    }
    std::error_code ec;
    const fs::path target = fs::read_symlink("/etc/localtime", ec);
    if (!ec)
        if (auto zone = Named(target.string())) return *zone;
    // /etc/localtime a copy rather than a link: the name the system keeps beside it.
    try {
        if (const date::time_zone* zone = date::current_zone())
            if (auto named = Named(zone->name())) return *named;
    } catch (const std::exception&) {
    }
    return Utc();
}

long TimeZone::OffsetAt(std::int64_t utc) const { return static_cast<long>(m_rules->At(utc).offset.count()); }

bool TimeZone::LocalTime(std::int64_t utc, std::tm& local) const {
    if (utc < kFirstShown || utc > kLastShown) return false;
    const date::sys_info info = m_rules->At(utc);
    const std::int64_t wall = utc + info.offset.count();
    const date::sys_days day = date::floor<date::days>(date::sys_seconds{seconds{wall}});
    const date::year_month_day ymd{day};
    const std::int64_t inDay = wall - std::chrono::duration_cast<seconds>(day.time_since_epoch()).count();
    local = std::tm{};
    local.tm_year = static_cast<int>(ymd.year()) - 1900;
    local.tm_mon = static_cast<int>(static_cast<unsigned>(ymd.month())) - 1;
    local.tm_mday = static_cast<int>(static_cast<unsigned>(ymd.day()));
    local.tm_hour = static_cast<int>(inDay / 3600);
    local.tm_min = static_cast<int>(inDay / 60 % 60);
    local.tm_sec = static_cast<int>(inDay % 60);
    local.tm_wday = static_cast<int>(date::weekday{day}.c_encoding());
    local.tm_yday = static_cast<int>((day - date::sys_days{ymd.year() / 1 / 1}).count());
    local.tm_isdst = info.save != std::chrono::minutes{0};
    local.tm_gmtoff = static_cast<long>(info.offset.count());
    local.tm_zone = Interned(info.abbrev);
    return true;
}

std::string TimeZone::Format(std::int64_t utc, const char* pattern) const {
    std::tm local{};
    if (!LocalTime(utc, local)) return {};
    char text[128];
    const std::size_t n = std::strftime(text, sizeof text, pattern, &local);
    return std::string(text, n);
}

LocalMoment TimeZone::FromLocal(const LocalDateTime& l) const {
    const date::year_month_day ymd{date::year{l.year}, date::month{static_cast<unsigned>(l.month)},
                                   date::day{static_cast<unsigned>(l.day)}};
    if (!ymd.ok() || l.year < 1 || l.year > 9999 || l.month < 1 || l.hour < 0 || l.hour > 23 || l.minute < 0 ||
        l.minute > 59 || l.second < 0 || l.second > 59)
        return {};
    const std::int64_t wall = std::chrono::duration_cast<seconds>(date::sys_days{ymd}.time_since_epoch()).count() +
                              l.hour * 3600 + l.minute * 60 + l.second;
    // Each offset in force around that wall time gives a candidate; a candidate is a reading
    // of the wall time when its own offset is the one it was made with.
    std::vector<std::int64_t> moments;
    for (std::int64_t probe : {wall - 86400, wall, wall + 86400}) {
        const std::int64_t candidate = wall - OffsetAt(probe);
        if (OffsetAt(candidate) == wall - candidate &&
            std::find(moments.begin(), moments.end(), candidate) == moments.end())
            moments.push_back(candidate);
    }
    std::sort(moments.begin(), moments.end());
    if (moments.empty()) return {LocalMoment::Kind::Skipped, wall - OffsetAt(wall - 86400), wall - OffsetAt(wall + 86400)};
    if (moments.size() == 1) return {LocalMoment::Kind::Unique, moments.front(), moments.front()};
    return {LocalMoment::Kind::Repeated, moments.front(), moments.back()};
}

}  // namespace wing
