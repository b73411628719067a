#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "log/day_segments.h"
#include "log/log_fixture.h"
#include "resources/string_table.h"

namespace wing {
namespace {

using test::Fix;
using test::NoFix;
using Ranges = std::vector<std::pair<int, int>>;

const TimeZone& Taipei() {
    static const TimeZone zone = TimeZone::Named("Asia/Taipei").value();
    return zone;
}

Ranges Walk(const CLogRecordList& list, const TimeZone& zone = Taipei()) {
    CDaySegments s;
    SplitByDay(list, s, zone, LANG_EN_US);
    Ranges out;
    WalkSegments(s, static_cast<int>(list.size()), [&](int a, int b) { out.emplace_back(a, b); });
    return out;
}

class SplitByDayTest : public ::testing::Test {
protected:
    test::ScopedTimeZone elsewhere{"America/New_York"};  // the zone passed decides, not the process's
    test::MessageBoxRecorder boxes;
};

TEST_F(SplitByDayTest, SplitsAtLocalMidnightOnly) {
    // 2015-05-01 23:59:59 and 2015-05-02 00:00:01 local (UTC+8).
    const std::uint32_t beforeMidnight = 1430495999;
    CLogRecordList list{Fix(beforeMidnight - 60), Fix(beforeMidnight), Fix(beforeMidnight + 2),
                        Fix(beforeMidnight + 60)};
    EXPECT_EQ(Walk(list), (Ranges{{0, 2}, {2, 4}}));

    // 23:59:59 in UTC is still the same local day at UTC+8: no split there.
    const std::uint32_t utcMidnight = 1430524800;  // 2015-05-02 08:00 local
    CLogRecordList sameDay{Fix(utcMidnight - 1), Fix(utcMidnight + 1)};
    EXPECT_EQ(Walk(sameDay), (Ranges{{0, 2}}));
}

TEST_F(SplitByDayTest, SameDayNumberInTheNextMonthStaysInOneSegment) {
    const std::uint32_t may5 = 1430784000;  // 2015-05-05 08:00 local
    const std::uint32_t jun5 = may5 + 31 * 86400;
    const std::uint32_t jun6 = jun5 + 86400;
    CLogRecordList list{Fix(may5), Fix(jun5), Fix(jun6)};
    EXPECT_EQ(Walk(list), (Ranges{{0, 2}, {2, 3}}));
}

TEST_F(SplitByDayTest, TablesHoldStartsEndsAndUnusedEntries) {
    CLogRecordList list{Fix(test::T0), Fix(test::T0 + 86400), Fix(test::T0 + 2 * 86400)};
    CDaySegments s;
    SplitByDay(list, s, Taipei(), LANG_EN_US);
    EXPECT_EQ(s.starts[0], 0);
    EXPECT_EQ(s.ends[0], 1);
    EXPECT_EQ(s.starts[2], 2);
    EXPECT_EQ(s.ends[2], 3);
    for (int i = 3; i < MAX_DAY_SEGMENTS; ++i) {
        EXPECT_EQ(s.starts[i], -1);
        EXPECT_EQ(s.ends[i], -1);
    }
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SplitByDayTest, MoreThan64DaysMergeIntoTheLastSegment) {
    CLogRecordList list;
    for (int d = 0; d < 100; ++d) list.push_back(Fix(test::T0 + d * 86400u));
    Ranges r = Walk(list);
    ASSERT_EQ(r.size(), 64u);
    for (int i = 0; i < 63; ++i) EXPECT_EQ(r[i], std::make_pair(i, i + 1));
    EXPECT_EQ(r[63], std::make_pair(63, 100));
}

TEST_F(SplitByDayTest, NoFixShowsTheNoTrackMessageOnceAndStillSplits) {
    CLogRecordList list{NoFix(test::T0), NoFix(test::T0 + 1), NoFix(test::T0 + 86400)};
    EXPECT_EQ(Walk(list), (Ranges{{0, 2}, {2, 3}}));
    std::wstring expected;
    ASSERT_TRUE(LoadLanguageString(LANG_EN_US, 188, expected));
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{expected});
}

TEST_F(SplitByDayTest, TheQuietSplitGivesTheSameTablesWithoutAMessage) {
    CLogRecordList list{NoFix(test::T0), NoFix(test::T0 + 1), NoFix(test::T0 + 86400)};
    CDaySegments told, quiet;
    SplitByDay(list, told, Taipei(), LANG_EN_US);
    boxes.Clear();
    SplitByLocalDay(list, quiet, Taipei());
    EXPECT_TRUE(boxes.Texts().empty());
    for (int i = 0; i < MAX_DAY_SEGMENTS; ++i) {
        EXPECT_EQ(quiet.starts[i], told.starts[i]) << i;
        EXPECT_EQ(quiet.ends[i], told.ends[i]) << i;
    }
}

TEST_F(SplitByDayTest, EmptyListHasNoSegmentAndNoMessage) {
    EXPECT_TRUE(Walk({}).empty());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST(WalkSegments, ZeroEndRunsToTheEndOfTheList) {
    CDaySegments s;
    for (int i = 0; i < MAX_DAY_SEGMENTS; ++i) s.starts[i] = s.ends[i] = -1;
    s.starts[0] = 0;
    s.ends[0] = 3;
    s.starts[1] = 3;
    s.ends[1] = 0;
    s.starts[2] = 5;  // never reached
    Ranges out;
    WalkSegments(s, 9, [&](int a, int b) { out.emplace_back(a, b); });
    EXPECT_EQ(out, (Ranges{{0, 3}, {3, 9}}));
}

TEST_F(SplitByDayTest, DaysEndAtTheZonesMidnightOnBothSidesOfAClockChange) {
    // Local midnights either side of a day whose clocks change: 25, 23 and 25 hours apart.
    struct Case {
        const char* zone;
        std::uint32_t midnight, nextMidnight;
    } cases[] = {
        {"Europe/Berlin", 1824933600, 1825023600},     // 31 October 2027, summer time ends
        {"America/New_York", 1805000400, 1805083200},  // 14 March 2027, summer time begins
        {"Australia/Sydney", 1806757200, 1806847200},  // 4 April 2027, summer time ends
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        const CLogRecordList list{Fix(c.midnight - 1), Fix(c.midnight), Fix(c.nextMidnight - 1), Fix(c.nextMidnight)};
        EXPECT_EQ(Walk(list, TimeZone::Named(c.zone).value()), (Ranges{{0, 1}, {1, 3}, {3, 4}}));
    }
}

}  // namespace
}  // namespace wing
