// Dead time: the fixed window of each local night between release and arrival, summer
// time included, and the sun's night at the loft from the library's sunset and sunrise.

#include <gtest/gtest.h>

#include <cmath>

#include <libnova/julian_day.h>
#include <libnova/solar.h>

#include "race/dead_time.h"

namespace wing {
namespace {

constexpr std::int64_t kHour = 3600;

std::int64_t At(const TimeZone& zone, int y, int mo, int d, int h, int mi) {
    const LocalMoment m = zone.FromLocal({y, mo, d, h, mi, 0});
    EXPECT_EQ(m.kind, LocalMoment::Kind::Unique);
    return m.earlier;
}

DeadTimeRule Rule(const char* text) {
    const auto rule = ParseDeadTime(text);
    EXPECT_TRUE(rule) << text;
    return rule.value_or(DeadTimeRule{});
}

TEST(DeadTime, RulesReadAndWriteBack) {
    struct Case {
        const char* text;
        DeadTimeRule rule;
        const char* written;
    } cases[] = {
        {"none", {}, "none"},
        {"21:30-05:00", {DeadTimeRule::Kind::Fixed, 21 * 60 + 30, 5 * 60, 0}, "21:30-05:00"},
        {"12:00-14:15", {DeadTimeRule::Kind::Fixed, 12 * 60, 14 * 60 + 15, 0}, "12:00-14:15"},
        {"sun:60", {DeadTimeRule::Kind::Sun, 0, 0, 60}, "sun:60"},
        {"sun:+30", {DeadTimeRule::Kind::Sun, 0, 0, 30}, "sun:30"},
        {"sun:-45", {DeadTimeRule::Kind::Sun, 0, 0, -45}, "sun:-45"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto rule = ParseDeadTime(c.text);
        ASSERT_TRUE(rule);
        EXPECT_EQ(*rule, c.rule);
        EXPECT_EQ(DeadTimeText(*rule), c.written);
    }
    for (const char* bad : {"", "None", "21:30", "21:30-5:00", "24:00-05:00", "21:60-05:00", "21:30-21:30",
                            "21:30 - 05:00", "sun:", "sun:1h", "sun:800", "sun:60 ", "moon:60"})
        EXPECT_FALSE(ParseDeadTime(bad)) << bad;
}

TEST(DeadTime, FixedWindowOfEachNightBetweenReleaseAndArrival) {
    const TimeZone zone = TimeZone::Named("Europe/Brussels").value();
    const GeoPoint loft{50.85, 4.35};  // plays no part in a fixed window
    struct Case {
        const char* what;
        const char* rule;
        std::int64_t from, to;
        std::int64_t dead;
    } cases[] = {
        // 26 h out, one night of 7 h 30: 18 h 30 flown.
        {"overnight", "21:30-05:00", At(zone, 2026, 6, 13, 7, 0), At(zone, 2026, 6, 14, 9, 0), 7 * kHour + 1800},
        {"home the same day", "21:30-05:00", At(zone, 2026, 6, 13, 7, 0), At(zone, 2026, 6, 13, 19, 0), 0},
        {"released inside the window", "21:30-05:00", At(zone, 2026, 6, 13, 4, 0), At(zone, 2026, 6, 13, 10, 0), kHour},
        {"arrived inside the window", "21:30-05:00", At(zone, 2026, 6, 13, 7, 0), At(zone, 2026, 6, 13, 23, 0), 1800 * 3},
        {"three nights", "21:30-05:00", At(zone, 2026, 6, 13, 7, 0), At(zone, 2026, 6, 16, 9, 0), 3 * (7 * kHour + 1800)},
        {"a window within the day", "12:00-14:00", At(zone, 2026, 6, 13, 7, 0), At(zone, 2026, 6, 14, 13, 0), 3 * kHour},
        // The clocks go forward at 02:00 that night: the window lasts 6 h 30.
        {"spring night", "21:30-05:00", At(zone, 2026, 3, 28, 7, 0), At(zone, 2026, 3, 29, 9, 0), 6 * kHour + 1800},
        // And back at 03:00: 8 h 30.
        {"autumn night", "21:30-05:00", At(zone, 2026, 10, 24, 7, 0), At(zone, 2026, 10, 25, 9, 0), 8 * kHour + 1800},
        // A window closing at 02:30, which the clocks skip: it closes as they jump.
        {"closes in the skipped hour", "22:00-02:30", At(zone, 2026, 3, 28, 7, 0), At(zone, 2026, 3, 29, 9, 0), 4 * kHour},
        {"arrival before release", "21:30-05:00", At(zone, 2026, 6, 14, 9, 0), At(zone, 2026, 6, 13, 7, 0), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DeadSeconds(Rule(c.rule), zone, loft, c.from, c.to), c.dead);
    }
    EXPECT_EQ(DeadSeconds(DeadTimeRule{}, zone, loft, cases[0].from, cases[0].to), 0);
}

TEST(DeadTime, FixedWindowLiesInTheRacesZone) {
    // The same UTC span: in Taipei the night's window falls on other UTC hours.
    const TimeZone utc = TimeZone::Utc();
    const TimeZone taipei = TimeZone::Named("Asia/Taipei").value();
    const std::int64_t from = At(utc, 2026, 6, 13, 7, 0), to = At(utc, 2026, 6, 13, 16, 0);
    EXPECT_EQ(DeadSeconds(Rule("21:30-05:00"), utc, {}, from, to), 0);
    EXPECT_EQ(DeadSeconds(Rule("21:30-05:00"), taipei, {}, from, to), 2 * kHour + 1800);  // 15:00-24:00 local
}

// Sunset and sunrise as the library gives them for a date (Julian day at 0 h UT).
ln_rst_time SunOn(int y, int m, int d, const GeoPoint& where) {
    ln_date date{y, m, d, 0, 0, 0};
    ln_lnlat_posn observer{where.lon, where.lat};
    ln_rst_time rst{};
    EXPECT_EQ(ln_get_solar_rst(ln_get_julian_day(&date), &observer, &rst), 0);
    return rst;
}

std::int64_t Utc(double jd) { return std::llround((jd - 2440587.5) * 86400); }

TEST(DeadTime, SunRuleFollowsTheLibrarysSunsetAndSunriseAtTheLoft) {
    const TimeZone zone = TimeZone::Named("Europe/Brussels").value();
    const GeoPoint brussels{50.8467, 4.3525};
    const std::int64_t sunset = Utc(SunOn(2026, 6, 21, brussels).set);
    const std::int64_t sunrise = Utc(SunOn(2026, 6, 22, brussels).rise);
    // The almanac's figures for Brussels at midsummer: sunset about 21:59, sunrise about 05:29.
    EXPECT_NEAR(sunset, At(zone, 2026, 6, 21, 21, 59), 180);
    EXPECT_NEAR(sunrise, At(zone, 2026, 6, 22, 5, 29), 180);

    const std::int64_t noon = At(zone, 2026, 6, 21, 12, 0), nextNoon = At(zone, 2026, 6, 22, 12, 0);
    struct Case {
        const char* what;
        const char* rule;
        std::int64_t from, to;
        std::int64_t dead;
    } cases[] = {
        {"sunset to sunrise", "sun:0", noon, nextNoon, sunrise - sunset},
        {"an hour after sunset to an hour before sunrise", "sun:60", noon, nextNoon, sunrise - sunset - 2 * kHour},
        {"widened by half an hour", "sun:-30", noon, nextNoon, sunrise - sunset + kHour},
        {"released in the night", "sun:0", At(zone, 2026, 6, 22, 2, 0), nextNoon, sunrise - At(zone, 2026, 6, 22, 2, 0)},
        {"home before sunset", "sun:0", noon, sunset - 60, 0},
        {"an offset longer than the short night", "sun:300", noon, nextNoon, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Within a minute of the library's own figures for the day.
        EXPECT_NEAR(DeadSeconds(Rule(c.rule), zone, brussels, c.from, c.to), c.dead, 60);
    }
    // Two nights: each its own length.
    const std::int64_t second = Utc(SunOn(2026, 6, 23, brussels).rise) - Utc(SunOn(2026, 6, 22, brussels).set);
    EXPECT_NEAR(DeadSeconds(Rule("sun:0"), zone, brussels, noon, nextNoon + 86400), sunrise - sunset + second, 120);
}

TEST(DeadTime, SunNightsThatSpanMidnightUtc) {
    // West of Greenwich the sun sets after midnight UTC: each night's sunset and sunrise
    // then fall on the same UT day of the library's figures.
    const TimeZone zone = TimeZone::Named("America/Chicago").value();
    const GeoPoint chicago{41.8781, -87.6298};
    std::int64_t nights = 0;
    for (int day = 14; day <= 16; ++day) {
        const ln_rst_time sun = SunOn(2026, 6, day, chicago);
        ASSERT_LT(sun.set, sun.rise);
        nights += Utc(sun.rise) - Utc(sun.set);
    }
    const std::int64_t from = At(zone, 2026, 6, 13, 12, 0), to = At(zone, 2026, 6, 16, 12, 0);
    EXPECT_NEAR(DeadSeconds(Rule("sun:0"), zone, chicago, from, to), nights, 60);
    EXPECT_NEAR(DeadSeconds(Rule("sun:30"), zone, chicago, from, to), nights - 3 * kHour, 60);
}

TEST(DeadTime, WidenedSunWindowsCountNoTimeTwice) {
    // In December, widened by five hours at both ends, each night's window overlaps the
    // next: every second of the two days is dead, and none of them twice.
    const TimeZone zone = TimeZone::Named("Europe/Brussels").value();
    const std::int64_t noon = At(zone, 2026, 12, 21, 12, 0);
    EXPECT_EQ(DeadSeconds(Rule("sun:-300"), zone, {50.8467, 4.3525}, noon, noon + 48 * kHour), 48 * kHour);
}

TEST(DeadTime, SunRuleInPolarDayAndNight) {
    const TimeZone zone = TimeZone::Named("Europe/Oslo").value();
    const GeoPoint tromso{69.6492, 18.9553};
    // The midnight sun: no night to take off.
    const std::int64_t june = At(zone, 2026, 6, 21, 12, 0);
    EXPECT_EQ(DeadSeconds(Rule("sun:0"), zone, tromso, june, june + 48 * kHour), 0);
    // The polar night: the sun never rises, and all of it is night.
    const std::int64_t december = At(zone, 2026, 12, 21, 12, 0);
    EXPECT_EQ(DeadSeconds(Rule("sun:60"), zone, tromso, december, december + 24 * kHour), 24 * kHour);
}

}  // namespace
}  // namespace wing
