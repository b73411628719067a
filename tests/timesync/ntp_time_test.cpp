#include <gtest/gtest.h>

#include <cstdint>

#include "timesync/ntp_time.h"
#include "timesync/time_sync.h"

namespace wing {
namespace {

constexpr std::uint64_t kOneSecond = std::uint64_t{1} << 32;

SystemTime Utc(int y, int mo, int d, int h, int mi, int s, int ms) {
    SystemTime t;
    t.year = static_cast<std::uint16_t>(y);
    t.month = static_cast<std::uint16_t>(mo);
    t.day = static_cast<std::uint16_t>(d);
    t.hour = static_cast<std::uint16_t>(h);
    t.minute = static_cast<std::uint16_t>(mi);
    t.second = static_cast<std::uint16_t>(s);
    t.milliseconds = static_cast<std::uint16_t>(ms);
    return t;
}

TEST(NtpTime, FractionTableRoundsToNearest) {
    EXPECT_EQ(kNtpFractionOfMs[0], 0u);
    EXPECT_EQ(kNtpFractionOfMs[1], 4294967u);
    EXPECT_EQ(kNtpFractionOfMs[500], 2147483648u);
    EXPECT_EQ(kNtpFractionOfMs[999], 4290672329u);
    for (std::size_t ms = 1; ms < kNtpFractionOfMs.size(); ++ms) {
        EXPECT_LT(kNtpFractionOfMs[ms - 1], kNtpFractionOfMs[ms]) << ms;
    }
}

TEST(NtpTime, EpochIsZero) {
    EXPECT_EQ(SystemTimeToNtp(Utc(1900, 1, 1, 0, 0, 0, 0)), 0u);
}

TEST(NtpTime, OneAndAHalfSecondsAfterTheEpoch) {
    EXPECT_EQ(SystemTimeToNtp(Utc(1900, 1, 1, 0, 0, 1, 500)), kOneSecond + 2147483648u);
}

TEST(NtpTime, Seconds3640000000AreAThursdayIn2015) {
    SystemTime t = NtpToSystemTime(MakeNtpTimestamp(3640000000u, 0));
    EXPECT_EQ(t.year, 2015);
    EXPECT_EQ(t.month, 5);
    EXPECT_EQ(t.day, 7);
    EXPECT_EQ(t.hour, 15);
    EXPECT_EQ(t.minute, 6);
    EXPECT_EQ(t.second, 40);
    EXPECT_EQ(t.dayOfWeek, 4);
    EXPECT_EQ(t.milliseconds, 0);
}

TEST(NtpTime, EpochWasAMonday) {
    SystemTime t = NtpToSystemTime(0);
    EXPECT_EQ(t, (SystemTime{1900, 1, 1, 1, 0, 0, 0, 0}));
}

TEST(NtpTime, MillisecondsRoundToNearest) {
    EXPECT_EQ(NtpToSystemTime(MakeNtpTimestamp(0, 2147483648u)).milliseconds, 500);
    EXPECT_EQ(NtpToSystemTime(MakeNtpTimestamp(0, 4294967u)).milliseconds, 1);
    EXPECT_EQ(NtpToSystemTime(MakeNtpTimestamp(0, 2147483u)).milliseconds, 0);   // 0.49999 ms
    EXPECT_EQ(NtpToSystemTime(MakeNtpTimestamp(0, 2147484u)).milliseconds, 1);   // 0.50000 ms
}

TEST(NtpTime, AFractionJustBelowTheNextSecondStaysInItsSecond) {
    // 999.9 ms would round to 1000, which no clock accepts.
    SystemTime t = NtpToSystemTime(MakeNtpTimestamp(3640000000u, 0xFFFFFFFFu));
    EXPECT_EQ(t.second, 40);
    EXPECT_EQ(t.milliseconds, 999);
}

TEST(NtpTime, CalendarRoundTrips) {
    const SystemTime times[] = {
        Utc(1900, 1, 1, 0, 0, 0, 0),       Utc(1900, 2, 28, 23, 59, 59, 999), Utc(1900, 3, 1, 0, 0, 0, 1),
        Utc(1970, 1, 1, 0, 0, 0, 0),       Utc(2000, 2, 29, 12, 0, 0, 500),   Utc(2015, 5, 7, 15, 6, 40, 0),
        Utc(2024, 12, 31, 23, 59, 59, 999), Utc(2025, 3, 3, 8, 30, 15, 250),   Utc(2036, 2, 7, 6, 28, 15, 0),
    };
    for (const SystemTime& in : times) {
        SystemTime out = NtpToSystemTime(SystemTimeToNtp(in));
        SystemTime expected = in;
        expected.dayOfWeek = out.dayOfWeek;
        EXPECT_EQ(out, expected) << in.year << "-" << in.month << "-" << in.day;
    }
    EXPECT_EQ(NtpToSystemTime(SystemTimeToNtp(Utc(2025, 3, 3, 0, 0, 0, 0))).dayOfWeek, 1);  // a Monday
    EXPECT_EQ(NtpToSystemTime(SystemTimeToNtp(Utc(2000, 2, 29, 0, 0, 0, 0))).dayOfWeek, 2);  // a Tuesday
}

TEST(NtpTime, DifferenceCountsTheFractionIn4294967295ths) {
    const NtpTimestamp base = MakeNtpTimestamp(3640000000u, 0);
    EXPECT_EQ(NtpDifferenceSeconds(base + 2147483648u, base), 2147483648.0 / 4294967295.0);
    EXPECT_GT(NtpDifferenceSeconds(base + 2147483648u, base), 0.5);
    EXPECT_EQ(NtpDifferenceSeconds(base, base + 2147483648u), -2147483648.0 / 4294967295.0);
    EXPECT_EQ(NtpDifferenceSeconds(base + 3 * kOneSecond, base), 3.0);
    EXPECT_EQ(NtpDifferenceSeconds(base, base), 0.0);
}

TEST(NtpTime, AddSecondsForward) {
    const NtpTimestamp t = MakeNtpTimestamp(3640000000u, 1000);
    EXPECT_EQ(AddSeconds(t, 3.0), t + 3 * kOneSecond);
    EXPECT_EQ(AddSeconds(t, 0.5), t + 2147483647u);  // trunc(0.5 x 4294967295)
    EXPECT_EQ(AddSeconds(t, 0.0), t);
}

TEST(NtpTime, AddSecondsBackwardByOneAndAQuarter) {
    const NtpTimestamp t = MakeNtpTimestamp(3640000000u, 0);
    EXPECT_EQ(AddSeconds(t, -1.25), t - (kOneSecond + 1073741823u));
}

TEST(NtpTime, OffsetOfAServerThreeSecondsAheadWithNoDelay) {
    const NtpTimestamp t1 = MakeNtpTimestamp(3640000000u, 123456);
    const NtpTimestamp t4 = t1;
    EXPECT_EQ(NtpOffsetSeconds(t1, t1 + 3 * kOneSecond, t1 + 3 * kOneSecond, t4), 3.0);
}

TEST(NtpTime, OffsetSplitsTheRoundTrip) {
    // Request takes 100 ms, server is 1 s behind, reply takes 100 ms: offset -1 s.
    const NtpTimestamp t1 = MakeNtpTimestamp(3640000000u, 0);
    const NtpTimestamp t2 = AddSeconds(t1, 0.1 - 1.0);
    const NtpTimestamp t3 = t2;
    const NtpTimestamp t4 = AddSeconds(t1, 0.2);
    EXPECT_NEAR(NtpOffsetSeconds(t1, t2, t3, t4), -1.0, 1e-9);
}

TEST(NtpPacket, RequestCarriesTheTransmitTimeBigEndian) {
    const auto p = BuildNtpRequest(MakeNtpTimestamp(0xE0F1A2B3u, 0x01020304u));
    ASSERT_EQ(p.size(), 48u);
    EXPECT_EQ(p[0], 0x1B);
    for (std::size_t i = 1; i < 40; ++i) EXPECT_EQ(p[i], 0) << i;
    const std::uint8_t transmit[8] = {0xE0, 0xF1, 0xA2, 0xB3, 0x01, 0x02, 0x03, 0x04};
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(p[40 + i], transmit[i]) << i;
    EXPECT_EQ(ReadNtpTimestamp(p.data(), 40), MakeNtpTimestamp(0xE0F1A2B3u, 0x01020304u));
}

class NtpReplyCheck : public ::testing::Test {
protected:
    static constexpr NtpTimestamp kSent = (NtpTimestamp{3640000000u} << 32) | 777u;
    std::uint8_t packet[68] = {};

    void SetUp() override {
        packet[0] = 0x24;  // leap 0, version 4, mode 4
        packet[1] = 2;     // stratum
        Put(24, kSent);
        Put(32, kSent + kOneSecond);
        Put(40, kSent + kOneSecond + 1);
    }
    void Put(std::size_t at, NtpTimestamp t) {
        for (int i = 0; i < 8; ++i) packet[at + i] = static_cast<std::uint8_t>(t >> (56 - 8 * i));
    }
    bool Valid(std::size_t size = 48) const { return IsValidNtpReply(packet, size, kSent); }
};

TEST_F(NtpReplyCheck, AcceptsAServerReply) {
    EXPECT_TRUE(Valid());
    EXPECT_TRUE(Valid(68));
    packet[0] = 0x1C;  // version 3
    EXPECT_TRUE(Valid());
    packet[0] = 0x64;  // leap 1 (a leap second is announced)
    EXPECT_TRUE(Valid());
    packet[1] = 15;
    EXPECT_TRUE(Valid());
    packet[1] = 1;
    EXPECT_TRUE(Valid());
}

TEST_F(NtpReplyCheck, RejectsAShortReply) { EXPECT_FALSE(Valid(47)); }

TEST_F(NtpReplyCheck, RejectsAModeOtherThanServer) {
    for (std::uint8_t mode : {0, 1, 2, 3, 5, 6, 7}) {
        packet[0] = static_cast<std::uint8_t>(0x20 | mode);
        EXPECT_FALSE(Valid()) << int(mode);
    }
}

TEST_F(NtpReplyCheck, RejectsVersionsOtherThanThreeAndFour) {
    for (std::uint8_t version : {0, 1, 2, 5, 6, 7}) {
        packet[0] = static_cast<std::uint8_t>(version << 3 | 4);
        EXPECT_FALSE(Valid()) << int(version);
    }
}

TEST_F(NtpReplyCheck, RejectsAnUnsynchronisedServer) {
    packet[0] = 0xE4;  // leap 3
    EXPECT_FALSE(Valid());
}

TEST_F(NtpReplyCheck, RejectsKissOfDeathAndUnknownStrata) {
    packet[1] = 0;
    EXPECT_FALSE(Valid());
    packet[1] = 16;
    EXPECT_FALSE(Valid());
    packet[1] = 255;
    EXPECT_FALSE(Valid());
}

TEST_F(NtpReplyCheck, RejectsAZeroTransmitTime) {
    Put(40, 0);
    EXPECT_FALSE(Valid());
}

TEST_F(NtpReplyCheck, RejectsAReplyToAnotherRequest) {
    Put(24, kSent + 1);
    EXPECT_FALSE(Valid());
    Put(24, 0);
    EXPECT_FALSE(Valid());
}

TEST(NtpSettingsDefaults, PublicPoolOnPort123WithFiveSeconds) {
    NtpSettings s;
    EXPECT_EQ(s.server, L"pool.ntp.org");
    EXPECT_EQ(s.port, 123);
    EXPECT_EQ(s.replyTimeoutMs, 5000u);
    EXPECT_EQ(&s.Clock(), &RealSystemClock());
}

}  // namespace
}  // namespace wing
