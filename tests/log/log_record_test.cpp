#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "log/log_fixture.h"
#include "log/log_record.h"

namespace wing {
namespace {

using test::Page;
using test::PositionSlot;
using test::Slot;

std::string F(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", v);
    return buf;
}

constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

TEST(DecodeLogPage, PositionSlotFieldsAreLittleEndianAndStatusBitsSplit) {
    CLogRecordList list;
    auto page = Page({PositionSlot(0x55443322, -25025000, 121305123, 70, 0xB5, 32767)});
    DecodeLogPage(page, 0, list, 1);
    ASSERT_EQ(list.size(), 1u);
    const CLogRecord& r = list[0];
    EXPECT_EQ(r.kind, 0);
    EXPECT_EQ(r.time, 0x55443322u);
    EXPECT_EQ(r.latitude, -25025000);
    EXPECT_EQ(r.longitude, 121305123);
    EXPECT_EQ(r.SpeedKmh(), 70);
    EXPECT_EQ(r.speed, 70 | 0xB5 << 8);  // bytes 12-13 as read
    EXPECT_EQ(r.altitude, 32767);
    EXPECT_EQ(r.debugStatus, 181);
    EXPECT_EQ(r.switchBit, 1);
    EXPECT_EQ(r.pluginBit, 0);
    EXPECT_EQ(r.wakeOnBit, 1);
    EXPECT_EQ(r.status, 21);
    EXPECT_FALSE(r.IsFix());
    for (auto v : r.cn) EXPECT_EQ(v, 0);
}

TEST(DecodeLogPage, SatelliteSlotTakesSixBitSignalsFromSharedBytes) {
    Slot s{};
    test::PutU32(s, 0, 1000);
    for (int n = 1; n <= 12; ++n) s[3 + n] = static_cast<std::uint8_t>(0xC0 | n);
    s[13] = 0xA0;  // status byte doubles as CN10
    s[15] = 0x80 | 0x07;  // kind bit doubles as CN12's top bit
    CLogRecordList list;
    DecodeLogPage(Page({s}), 0, list, 1);
    ASSERT_EQ(list.size(), 1u);
    const CLogRecord& r = list[0];
    EXPECT_EQ(r.kind, 1);
    EXPECT_EQ(r.time, 1000u);
    EXPECT_EQ(r.cn[0], 1);
    EXPECT_EQ(r.cn[8], 9);
    EXPECT_EQ(r.cn[9], 0x20);  // 0xA0 & 0x3F
    EXPECT_EQ(r.cn[11], 7);
    EXPECT_EQ(r.debugStatus, 0xA0);
    EXPECT_EQ(r.latitude, 0);
    EXPECT_EQ(r.longitude, 0);
    EXPECT_EQ(r.altitude, 0);
}

TEST(DecodeLogPage, ZeroPositionSlotEndsThePage) {
    std::vector<Slot> slots;
    for (int k = 0; k < 8; ++k) slots.push_back(PositionSlot(100 + k, 1, 2, 3, 0, 4));
    slots[3] = Slot{};
    CLogRecordList list;
    DecodeLogPage(Page(slots), 0, list, kNoLimit);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].time, 102u);
}

TEST(DecodeLogPage, KindBitAloneIsASatelliteFixAtTimeZero) {
    Slot s{};
    s[15] = 0x80;
    CLogRecordList list;
    DecodeLogPage(Page({s, PositionSlot(5, 1, 1, 0, 0, 0)}), 0, list, 2);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].kind, 1);
    EXPECT_EQ(list[0].time, 0u);
    EXPECT_EQ(list[0].debugStatus, 0);
    EXPECT_TRUE(list[0].IsFix());
    for (auto v : list[0].cn) EXPECT_EQ(v, 0);
    EXPECT_EQ(CountFixes(list, 0, 2), 2);
}

TEST(DecodeLogPage, StopsAtTheReportedCountSoErasedSlotsAreNotRecords) {
    // A count of 10: the second page holds two records and six erased (0xFF) slots.
    std::vector<Slot> first, second;
    for (int k = 0; k < 8; ++k) first.push_back(PositionSlot(100 + k, 1, 2, 3, 0, 4));
    for (int k = 0; k < 2; ++k) second.push_back(PositionSlot(200 + k, 1, 2, 3, 0, 4));
    CLogRecordList list;
    DecodeLogPage(Page(first), 0, list, 10);
    DecodeLogPage(Page(second, 0xFF), 8, list, 10);
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[9].time, 201u);

    // Without that bound the erased slots would read as satellite records of 2106.
    CLogRecordList whole;
    DecodeLogPage(Page(second, 0xFF), 8, whole, kNoLimit);
    ASSERT_EQ(whole.size(), 8u);
    EXPECT_EQ(whole[7].kind, 1);
    EXPECT_EQ(whole[7].time, 0xFFFFFFFFu);
}

TEST(DecodeLogPage, ZeroSlotEndingAPageShortLetsNoErasedSlotPastTheCount) {
    // A count of 12: the first page ends at a zero slot after five records, so the list
    // is short by three when the last page comes. Slots 12-15 are erased flash and must
    // stay out however short the list is.
    std::vector<Slot> first, second;
    for (int k = 0; k < 8; ++k) first.push_back(PositionSlot(100 + k, 1, 2, 3, 0, 4));
    first[5] = Slot{};
    for (int k = 0; k < 4; ++k) second.push_back(PositionSlot(200 + k, 1, 2, 3, 0, 4));
    CLogRecordList list;
    DecodeLogPage(Page(first), 0, list, 12);
    DecodeLogPage(Page(second, 0xFF), 8, list, 12);
    ASSERT_EQ(list.size(), 9u);
    EXPECT_EQ(list.back().time, 203u);
    for (const auto& r : list) EXPECT_NE(r.time, 0xFFFFFFFFu);
}

TEST(DecodeLogPage, WorkingRecordIsResetBetweenSlots) {
    Slot sat{};
    test::PutU32(sat, 0, 7);
    sat[4] = 0x3F;
    sat[15] = 0x80;
    CLogRecordList list;
    DecodeLogPage(Page({PositionSlot(1, 11, 22, 33, 0, 44), sat, PositionSlot(2, 5, 6, 7, 0, 8)}), 0,
                  list, 3);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].latitude, 0);  // not carried over from slot 0
    EXPECT_EQ(list[1].altitude, 0);
    EXPECT_EQ(list[2].cn[0], 0);  // not carried over from slot 1
    EXPECT_EQ(list[2].latitude, 5);
}

TEST(LogRecord, FreshRecordDefaults) {
    CLogRecord r;
    EXPECT_EQ(r.time, 0u);
    EXPECT_EQ(r.debugStatus, 0);
    EXPECT_EQ(r.switchBit, 0xFF);
    EXPECT_EQ(r.pluginBit, 0xFF);
    EXPECT_EQ(r.wakeOnBit, 0xFF);
    EXPECT_EQ(r.status, 0xFF);
    EXPECT_TRUE(r.stampText.empty());
}

TEST(LogRecord, PackedCoordinatesToDegrees) {
    struct Case {
        std::int32_t packed;
        const char* degrees;
    } cases[] = {
        {121305123, "121.508538"}, {-121305123, "-121.508538"}, {25025000, "25.041667"},
        {0, "0.000000"},           {-500000, "-0.833333"},       {90000000, "90.000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.packed);
        EXPECT_EQ(F(PackedToDegrees(c.packed)), c.degrees);
        CLogRecord r;
        r.longitude = c.packed;
        r.latitude = -c.packed;
        EXPECT_EQ(F(r.LongitudeDegrees()), c.degrees);
        EXPECT_EQ(PackedToDegrees(-c.packed), r.LatitudeDegrees());
    }
}

// The packing of positions from other sources: exact where the packed form can be exact,
// a carry into the next degree, and never more than half a step (0.00005') off.
TEST(LogRecord, DegreesPackToTheNearestTenThousandthOfAMinute) {
    struct Case {
        double degrees;
        std::int32_t packed;
    } cases[] = {
        {121.508538333333, 121305123}, {-121.508538333333, -121305123}, {25.0416666667, 25025000},
        {0, 0}, {-0.8333333333, -500000}, {24.99999999, 25000000}, {-179.999999999, -180000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degrees);
        EXPECT_EQ(DegreesToPacked(c.degrees), c.packed);
    }
    for (double d = -89.9; d < 90; d += 7.123456789) {
        SCOPED_TRACE(d);
        EXPECT_LE(std::abs(PackedToDegrees(DegreesToPacked(d)) - d), 0.00005 / 60 + 1e-12);
    }
}

TEST(LogRecord, TimeTextsAreLocalTimeInTheGivenZone) {
    test::ScopedTimeZone elsewhere("America/New_York");  // the process's zone plays no part
    const TimeZone taipei = TimeZone::Named("Asia/Taipei").value();
    CLogRecord r;
    r.time = test::T0;
    EXPECT_EQ(r.DateTimeText(taipei), "2015-05-01  08:30:00");
    EXPECT_EQ(r.FileStamp(taipei), L"2015_05_01_08_30_00");
    EXPECT_EQ(r.stampText, L"2015_05_01_08_30_00");
    r.time = 0xFFFFFFFFu;
    EXPECT_EQ(r.FileStamp(taipei), L"2106_02_07_14_28_15");
}

TEST(LogRecord, FixSearches) {
    using test::Fix;
    using test::NoFix;
    // fixes at 1, 2 and 4
    CLogRecordList l{NoFix(0), Fix(1), Fix(2), NoFix(3), Fix(4), NoFix(5)};
    struct Case {
        int start, end, count, first, last;
    } cases[] = {
        {0, 6, 3, 1, 4}, {0, 1, 0, -1, 1}, {3, 4, 0, -1, 4}, {2, 4, 1, 2, 2},
        {0, 5, 3, 1, 4}, {5, 6, 0, -1, 6}, {0, 0, 0, -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "[" << c.start << ", " << c.end << ")");
        EXPECT_EQ(CountFixes(l, c.start, c.end), c.count);
        EXPECT_EQ(FindFirstFix(l, c.start, c.end), c.first);
        EXPECT_EQ(FindLastFix(l, c.start, c.end), c.last);
    }
    EXPECT_EQ(GetRecord(l, 4).time, 4u);
}

TEST(LogRecord, UtcOffsetIsTheOneInForceAtTheRecordsTime) {
    struct Case {
        const char* tz;
        std::uint32_t time;
        double hours;
    } cases[] = {
        {"CST-8", test::T0, 8.0},
        {"EST5", test::T0, -5.0},
        {"Europe/Berlin", 1435708800, 2.0},  // 2015-07-01, summer time
        {"Europe/Berlin", 1420070400, 1.0},  // 2015-01-01
        {"Asia/Kathmandu", test::T0, 5.75},
        {"UTC", test::T0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tz);
        EXPECT_DOUBLE_EQ(UtcOffsetHours(c.time, TimeZone::Named(c.tz).value()), c.hours);
    }
}

}  // namespace
}  // namespace wing
