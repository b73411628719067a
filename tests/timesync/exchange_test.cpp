// SNTP exchanges over loopback with a server of the test's own. The clock that is read
// and set is a FakeClock: the machine's clock is never moved.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "platform/net.h"
#include "timesync/fake_clock.h"
#include "timesync/fake_ntp_server.h"
#include "timesync/time_sync.h"
#include "timesync/wsocket.h"

namespace wing {
namespace {

using test::Datagram;
using test::FakeClock;
using test::FakeNtpServer;
using test::ServerReply;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A host name the resolver refuses without asking any name server (a label longer than
// 63 characters), so the test sends nothing off this machine.
const std::wstring kUnresolvableHost = std::wstring(64, L'x') + L".invalid";

class Exchange : public ::testing::Test {
protected:
    FakeClock clock;
    std::atomic<int> connectivityChecks{0};

    NtpSettings SettingsFor(const FakeNtpServer& server, std::uint32_t timeoutMs = kNtpReplyTimeoutMs) {
        NtpSettings s;
        s.server = L"127.0.0.1";
        s.port = server.Port();
        s.replyTimeoutMs = timeoutMs;
        s.clock = &clock;
        s.isConnected = [this] {
            ++connectivityChecks;
            return true;
        };
        return s;
    }
};

TEST_F(Exchange, AGoodReplyMovesTheClockByTheOffset) {
    FakeNtpServer server([](const Datagram& request) { return std::vector<Datagram>{ServerReply(request, 3.0)}; });
    EXPECT_TRUE(SyncPcClock(SettingsFor(server)));

    ASSERT_EQ(clock.Sets().size(), 1u);
    EXPECT_NEAR(static_cast<double>(clock.OffsetMs()), 3000.0, 50.0);
    EXPECT_EQ(connectivityChecks, 1);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);  // one request per run, no retry
    ASSERT_EQ(requests[0].size(), 48u);
    EXPECT_EQ(requests[0][0], 0x1B);
}

TEST_F(Exchange, ANegativeOffsetMovesTheClockBack) {
    FakeNtpServer server([](const Datagram& request) { return std::vector<Datagram>{ServerReply(request, -1.25)}; });
    EXPECT_TRUE(SyncPcClock(SettingsFor(server)));
    EXPECT_NEAR(static_cast<double>(clock.OffsetMs()), -1250.0, 50.0);
}

TEST_F(Exchange, TheRequestCarriesTheClocksTimeAndTheReplyItsFourTimestamps) {
    FakeNtpServer server([](const Datagram& request) { return std::vector<Datagram>{ServerReply(request, 3.0)}; });
    const NtpTimestamp before = SystemTimeToNtp(clock.Now());
    NtpReply reply;
    QueryNtpServer(L"127.0.0.1", reply, SettingsFor(server));
    const NtpTimestamp after = SystemTimeToNtp(clock.Now());

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const NtpTimestamp sent = ReadNtpTimestamp(requests[0].data(), 40);
    EXPECT_GE(sent, before);
    EXPECT_LE(sent, after);
    for (std::size_t i = 1; i < 40; ++i) EXPECT_EQ(requests[0][i], 0) << i;

    EXPECT_EQ(reply.t1, sent);
    EXPECT_EQ(reply.t2, AddSeconds(sent, 3.0));
    EXPECT_EQ(reply.t3, reply.t2);
    EXPECT_GE(reply.t4, sent);
    EXPECT_LE(reply.t4, after);
    EXPECT_NEAR(reply.offset, 3.0, 0.05);
    EXPECT_DOUBLE_EQ(reply.offset, NtpOffsetSeconds(reply.t1, reply.t2, reply.t3, reply.t4));
}

TEST_F(Exchange, ALongerReplyIsCutTo68BytesAndAccepted) {
    FakeNtpServer server([](const Datagram& request) {
        Datagram reply = ServerReply(request, 3.0);
        reply.resize(120, 0xAB);  // extension fields
        return std::vector<Datagram>{reply};
    });
    EXPECT_TRUE(SyncPcClock(SettingsFor(server)));
    EXPECT_NEAR(static_cast<double>(clock.OffsetMs()), 3000.0, 50.0);
}

struct BadReply {
    const char* name;
    std::function<void(Datagram&)> spoil;
};

class InvalidReply : public Exchange, public ::testing::WithParamInterface<BadReply> {};

TEST_P(InvalidReply, LeavesTheClockAlone) {
    FakeNtpServer server([](const Datagram& request) {
        Datagram reply = ServerReply(request, 3.0);
        GetParam().spoil(reply);
        return std::vector<Datagram>{reply};
    });
    const auto start = Clock::now();
    EXPECT_FALSE(SyncPcClock(SettingsFor(server, 300)));
    EXPECT_GE(MsSince(start), 280);  // treated as no reply: the wait ran out
    EXPECT_TRUE(clock.Sets().empty());
    EXPECT_EQ(clock.OffsetMs(), 0);
    EXPECT_EQ(server.Requests().size(), 1u);

    NtpReply reply;
    try {
        QueryNtpServer(L"127.0.0.1", reply, SettingsFor(server, 300));
        ADD_FAILURE() << "the reply was accepted";
    } catch (const CWSocketException& e) {
        EXPECT_EQ(e.GetErrorCode(), WSAETIMEDOUT);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sntp, InvalidReply,
    ::testing::Values(
        BadReply{"Shorter_than_48_bytes", [](Datagram& r) { r.resize(47); }},
        BadReply{"Mode_3_client", [](Datagram& r) { r[0] = (r[0] & 0xF8) | 3; }},
        BadReply{"Mode_5_broadcast", [](Datagram& r) { r[0] = (r[0] & 0xF8) | 5; }},
        BadReply{"Version_2", [](Datagram& r) { r[0] = (r[0] & 0xC7) | (2 << 3); }},
        BadReply{"Version_5", [](Datagram& r) { r[0] = (r[0] & 0xC7) | (5 << 3); }},
        BadReply{"Leap_3_unsynchronised", [](Datagram& r) { r[0] |= 0xC0; }},
        BadReply{"Stratum_0_kiss_of_death",
                 [](Datagram& r) {
                     r[1] = 0;
                     r[12] = 'R', r[13] = 'A', r[14] = 'T', r[15] = 'E';
                 }},
        BadReply{"Stratum_16", [](Datagram& r) { r[1] = 16; }},
        BadReply{"Receive_time_zero", [](Datagram& r) { std::fill(r.begin() + 32, r.begin() + 40, 0); }},
        BadReply{"Transmit_time_zero", [](Datagram& r) { std::fill(r.begin() + 40, r.begin() + 48, 0); }},
        BadReply{"Originate_not_our_transmit_time", [](Datagram& r) { r[31] ^= 1; }}),
    [](const ::testing::TestParamInfo<BadReply>& info) { return std::string(info.param.name); });

TEST_F(Exchange, AnInvalidReplyDoesNotHideTheGoodOneBehindIt) {
    FakeNtpServer server([](const Datagram& request) {
        Datagram spoofed = ServerReply(request, 3600.0);
        spoofed[31] ^= 1;  // not an answer to our request
        return std::vector<Datagram>{spoofed, ServerReply(request, 3.0)};
    });
    EXPECT_TRUE(SyncPcClock(SettingsFor(server)));
    EXPECT_NEAR(static_cast<double>(clock.OffsetMs()), 3000.0, 50.0);
}

TEST_F(Exchange, NoReplyWithinFiveSecondsGives10060) {
    FakeNtpServer server([](const Datagram&) { return std::vector<Datagram>{}; });
    NtpReply reply;
    const auto start = Clock::now();
    try {
        QueryNtpServer(L"127.0.0.1", reply, SettingsFor(server));
        ADD_FAILURE() << "no exception";
    } catch (const CWSocketException& e) {
        EXPECT_EQ(e.GetErrorCode(), 10060);
    }
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 4990);
    EXPECT_LT(elapsed, 6000);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(Exchange, NoReplyLeavesTheClockAlone) {
    FakeNtpServer server([](const Datagram&) { return std::vector<Datagram>{}; });
    EXPECT_FALSE(SyncPcClock(SettingsFor(server, 200)));
    EXPECT_TRUE(clock.Sets().empty());
}

TEST_F(Exchange, AnEmptyDatagramGives1226) {
    FakeNtpServer server([](const Datagram&) { return std::vector<Datagram>{Datagram{}}; });
    NtpReply reply;
    const auto start = Clock::now();
    try {
        QueryNtpServer(L"127.0.0.1", reply, SettingsFor(server));
        ADD_FAILURE() << "no exception";
    } catch (const CWSocketException& e) {
        EXPECT_EQ(e.GetErrorCode(), 1226);
    }
    EXPECT_LT(MsSince(start), 1000);

    EXPECT_FALSE(SyncPcClock(SettingsFor(server)));
    EXPECT_TRUE(clock.Sets().empty());
}

TEST_F(Exchange, AnUnresolvableHostReturnsAtOnce) {
    FakeNtpServer server([](const Datagram& request) { return std::vector<Datagram>{ServerReply(request, 3.0)}; });
    NtpSettings settings = SettingsFor(server);
    settings.server = kUnresolvableHost;
    const auto start = Clock::now();
    EXPECT_FALSE(SyncPcClock(settings));
    EXPECT_LT(MsSince(start), 500);
    EXPECT_EQ(connectivityChecks, 0);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(clock.Sets().empty());

    settings.server.clear();
    EXPECT_FALSE(SyncPcClock(settings));
    EXPECT_EQ(connectivityChecks, 0);
}

TEST_F(Exchange, WithoutAConnectionNothingIsSent) {
    FakeNtpServer server([](const Datagram& request) { return std::vector<Datagram>{ServerReply(request, 3.0)}; });
    NtpSettings settings = SettingsFor(server);
    settings.isConnected = [] { return false; };
    EXPECT_FALSE(SyncPcClock(settings));
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(clock.Sets().empty());
}

TEST_F(Exchange, WithoutTheRightToSetTheClockItStaysAsItWas) {
    FakeNtpServer server([](const Datagram& request) { return std::vector<Datagram>{ServerReply(request, 3.0)}; });
    clock.SetHasRight(false);
    EXPECT_FALSE(SyncPcClock(SettingsFor(server)));
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(clock.Sets().empty());
    EXPECT_EQ(clock.OffsetMs(), 0);
}

TEST_F(Exchange, AClosedPortFailsWithASocketError) {
    std::uint16_t port;
    {
        FakeNtpServer gone([](const Datagram&) { return std::vector<Datagram>{}; });
        port = gone.Port();
    }
    NtpSettings settings;
    settings.port = port;
    settings.replyTimeoutMs = 500;
    settings.clock = &clock;
    NtpReply reply;
    try {
        QueryNtpServer(L"127.0.0.1", reply, settings);
        ADD_FAILURE() << "no exception";
    } catch (const CWSocketException& e) {
        // Refused when the port-unreachable answer comes back, else the wait runs out.
        EXPECT_TRUE(e.GetErrorCode() == WSAECONNREFUSED || e.GetErrorCode() == WSAETIMEDOUT) << e.what();
    }
    EXPECT_TRUE(clock.Sets().empty());
}

}  // namespace
}  // namespace wing
