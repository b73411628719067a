// Time zones as values: the same local times as the C library gives with TZ set to the
// zone, for every moment a device can log, without the process's TZ playing any part.

#include "platform/time_zone.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/process_zone.h"

namespace wing {
namespace {

using ZoneGuard = test::ProcessZone;

// Database zones with summer time north and south, half and quarter hours, a zone whose
// rules changed often, and POSIX rules as TZ may hold them.
constexpr const char* kZones[] = {"Asia/Taipei",      "America/New_York", "Europe/Berlin",  "Australia/Sydney",
                                  "Asia/Kolkata",     "Pacific/Chatham",  "America/St_Johns", "Africa/Casablanca",
                                  "Europe/London",    "Etc/UTC",          "CST-8",          "EST5EDT,M3.2.0,M11.1.0",
                                  ":Europe/Berlin"};

TEST(TimeZone, GivesTheCLibrarysLocalTimeForEveryDeviceTime) {
    for (const char* name : kZones) {
        SCOPED_TRACE(name);
        const auto zone = TimeZone::Named(name);
        ASSERT_TRUE(zone);
        ZoneGuard tz(name);
        // Across the whole device range (to 2106, past the zone files' last transition),
        // on a step that lands at every hour of the day and near every change of the clocks.
        for (std::int64_t t = 0; t <= 0xFFFFFFFFLL; t += 86400 * 3 + 3599) {
            const std::time_t c = static_cast<std::time_t>(t);
            std::tm want{}, got{};
            ASSERT_TRUE(localtime_r(&c, &want));
            ASSERT_TRUE(zone->LocalTime(t, got));
            ASSERT_EQ(std::make_tuple(got.tm_year, got.tm_mon, got.tm_mday, got.tm_hour, got.tm_min, got.tm_sec,
                                      got.tm_wday, got.tm_yday, got.tm_isdst, got.tm_gmtoff),
                      std::make_tuple(want.tm_year, want.tm_mon, want.tm_mday, want.tm_hour, want.tm_min, want.tm_sec,
                                      want.tm_wday, want.tm_yday, want.tm_isdst, want.tm_gmtoff))
                << "at " << t;
            ASSERT_STREQ(got.tm_zone, want.tm_zone) << "at " << t;
            ASSERT_EQ(zone->OffsetAt(t), want.tm_gmtoff) << "at " << t;
        }
    }
}

TEST(TimeZone, ALocalTimeNamesOneMomentNoneOrTwo) {
    const TimeZone newYork = TimeZone::Named("America/New_York").value();
    const TimeZone taipei = TimeZone::Named("Asia/Taipei").value();
    using K = LocalMoment::Kind;
    struct Case {
        const char* what;
        const TimeZone& zone;
        LocalDateTime local;
        K kind;
        std::int64_t earlier, later;
    } cases[] = {
        {"an ordinary time", taipei, {2015, 5, 1, 8, 30, 0}, K::Unique, 1430440200, 1430440200},
        {"summer time", newYork, {2027, 7, 1, 12, 0, 0}, K::Unique, 1814457600, 1814457600},
        // 2027-03-14: 02:00 EST becomes 03:00 EDT.
        {"skipped", newYork, {2027, 3, 14, 2, 30, 0}, K::Skipped, 1805009400, 1805005800},
        // 2027-11-07: 02:00 EDT becomes 01:00 EST; 01:30 is 05:30Z and 06:30Z.
        {"shown twice", newYork, {2027, 11, 7, 1, 30, 0}, K::Repeated, 1825565400, 1825569000},
        {"29 February of a common year", taipei, {2027, 2, 29, 12, 0, 0}, K::Invalid, 0, 0},
        {"hour 24", taipei, {2027, 2, 28, 24, 0, 0}, K::Invalid, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const LocalMoment m = c.zone.FromLocal(c.local);
        EXPECT_EQ(m.kind, c.kind);
        EXPECT_EQ(m.earlier, c.earlier);
        EXPECT_EQ(m.later, c.later);
    }
    // Every moment's own local time names it again.
    for (const char* name : kZones) {
        const TimeZone zone = TimeZone::Named(name).value();
        for (std::int64_t t = 0; t <= 0xFFFFFFFFLL; t += 86400 * 5 + 7 * 3600 + 61) {
            std::tm l{};
            ASSERT_TRUE(zone.LocalTime(t, l));
            const LocalMoment m =
                zone.FromLocal({l.tm_year + 1900, l.tm_mon + 1, l.tm_mday, l.tm_hour, l.tm_min, l.tm_sec});
            ASSERT_TRUE(m.earlier == t || (m.kind == K::Repeated && m.later == t)) << name << " at " << t;
        }
    }
}

TEST(TimeZone, NamesReadAsTheCLibraryReadsTzAndUnknownOnesAreNone) {
    EXPECT_EQ(TimeZone::Named(":Asia/Taipei")->Name(), "Asia/Taipei");
    EXPECT_EQ(TimeZone::Named("/usr/share/zoneinfo/Europe/Berlin")->Name(), "Europe/Berlin");
    EXPECT_EQ(TimeZone::Named("CST-8")->OffsetAt(0), 8 * 3600);
    for (const char* unknown : {"", ":", "Mars/Olympus", "Asia/Taipei/", "../../etc/passwd", "/etc/passwd", "+8"})
        EXPECT_FALSE(TimeZone::Named(unknown)) << unknown;
}

TEST(TimeZone, ThePcsOwnIsTzOrElseTheZoneOfEtcLocaltime) {
    {
        ZoneGuard tz("Asia/Taipei");
        EXPECT_EQ(TimeZone::Pc().Name(), "Asia/Taipei");
    }
    for (const char* utc : {"", "No such zone/at all"}) {
        // The C library reads both as UTC.
        ZoneGuard tz(utc);
        EXPECT_EQ(TimeZone::Pc().OffsetAt(1435708800), 0) << utc;
    }
    ZoneGuard unset(nullptr);
    std::error_code ec;
    const std::string link = std::filesystem::read_symlink("/etc/localtime", ec).string();
    if (ec || link.find("zoneinfo/") == std::string::npos) GTEST_SKIP() << "/etc/localtime names no zone here";
    EXPECT_EQ(TimeZone::Pc().Name(), link.substr(link.find("zoneinfo/") + 9));
}

}  // namespace
}  // namespace wing
