// The serial channel through a real pseudo-terminal, with a bare device on the other side.

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "protocol/cmd_factory.h"
#include "protocol/cmd_registry.h"
#include "protocol/commands.h"
#include "pty_peer.h"
#include "serial/com_port.h"
#include "support/frames.h"
#include "support/recording_window.h"
#include "support/temp_config.h"

namespace wing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
constexpr int kCom = 31;

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double SecondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

class Channel : public ::testing::Test {
protected:
    Channel() {
        channel.m_protocol.m_registry = &registry;
        registry.m_window = &window;
    }
    ~Channel() override { channel.Close(); }

    bool Send(CWingMsg& msg) {
        registry.Register(&msg);
        std::uint16_t length = 0;
        const std::uint8_t* frame = factory.BuildFrame(&msg, length);
        return channel.SendAndWait(frame, length, &msg);
    }

    test::TempConfig config;
    // Counted by the peer's thread, which runs until the fixture ends: kept out of the
    // test bodies, whose locals are gone by then.
    std::atomic<int> seen{0};
    test::PtyPeer peer{kCom};
    test::RecordingWindow window;
    CCmdRegistry registry;
    CWingCmdFactory factory;
    CComPortChannel channel;
};

TEST_F(Channel, OpensRaw115200_8N1AndCloseIsIdempotent) {
    ASSERT_TRUE(channel.Open(115200, kCom, 0));
    EXPECT_EQ(channel.m_portNumber, kCom);
    termios tio{};
    ASSERT_EQ(tcgetattr(channel.m_port.fd(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B115200);
    EXPECT_EQ(cfgetispeed(&tio), B115200);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0u);
    EXPECT_TRUE(channel.ThreadsRunning());

    channel.Close();
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_FALSE(channel.ThreadsRunning());
    EXPECT_EQ(channel.m_portNumber, -1);
    channel.Close();  // closed already: nothing happens
    EXPECT_EQ(channel.m_baud, -1);
}

TEST_F(Channel, OpenOfAnUnmappedPortFailsCleanly) {
    EXPECT_FALSE(channel.Open(115200, 4242, 0));
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_FALSE(channel.ThreadsRunning());
    // And the channel still opens a mapped port afterwards.
    EXPECT_TRUE(channel.Open(115200, kCom, 0));
}

TEST_F(Channel, AnswerArrivesThroughTheReaderThread) {
    peer.Start([](const Bytes& req) { return req[8] == 1 && req[10] == 1 ? test::DataReply(1, 1, {4, 3, 2, 1}) : Bytes{}; });
    ASSERT_TRUE(channel.Open(115200, kCom, 0));
    CGetVersion version;
    ASSERT_TRUE(Send(version));
    EXPECT_EQ(std::wstring(version.FormatVersion()), L"V 1.2.3.4");
    EXPECT_EQ(window.Count(WM_DEVICE_ANSWER), 1u);
    EXPECT_EQ(peer.Requests().size(), 1u);
}

TEST_F(Channel, DroppedReplyIsRecoveredByTheSecondAttempt) {
    peer.Start([&](const Bytes&) { return ++seen == 1 ? Bytes{} : test::DataReply(3, 2); });
    ASSERT_TRUE(channel.Open(115200, kCom, 0));
    CDeleteLog del;
    EXPECT_TRUE(Send(del));
    EXPECT_EQ(peer.Requests().size(), 2u);
}

TEST_F(Channel, ChecksumErrorLeavesTheCommandWaitingForTheNextAttempt) {
    peer.Start([&](const Bytes&) {
        Bytes reply = test::DataReply(3, 1, {5, 0});
        if (++seen == 1) reply[4] ^= 0x01;
        return reply;
    });
    ASSERT_TRUE(channel.Open(115200, kCom, 0));
    CQueryLogNumber count;
    EXPECT_TRUE(Send(count));
    EXPECT_EQ(count.m_count, 5);
    EXPECT_EQ(peer.Requests().size(), 2u);
    ASSERT_EQ(window.Count(WM_FRAME_ERROR), 1u);
    EXPECT_EQ(window.Messages(WM_FRAME_ERROR)[0].lParam, 4);
}

TEST_F(Channel, ReplyAfterTheLastAttemptReachesTheWindowButAnswersNoLaterRequest) {
    peer.Start([](const Bytes&) { return Bytes{}; });
    ASSERT_TRUE(channel.Open(115200, kCom, 0));
    CQueryStatus status;
    EXPECT_FALSE(Send(status));
    EXPECT_EQ(peer.Requests().size(), 3u);

    peer.Write(test::DataReply(1, 0));
    ASSERT_TRUE(window.WaitFor(WM_DEVICE_ANSWER, std::chrono::seconds(2)));
    // Its signal is left behind (set once the window has handled the answer)...
    auto t0 = Clock::now();
    while (!status.m_answerEvent.IsSet() && SecondsSince(t0) < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(status.m_answerEvent.IsSet());
    // ...but the next request waits for an answer of its own.
    EXPECT_FALSE(Send(status));
    EXPECT_EQ(peer.Requests().size(), 6u);
}

TEST_F(Channel, SendCommandReportsNoResponse) {
    peer.Start([](const Bytes&) { return Bytes{}; });
    ASSERT_TRUE(channel.Open(115200, kCom, 0));
    CComPortOpeation op;
    op.m_window = &window;
    CQueryStatus status;
    std::uint16_t length = 0;
    const std::uint8_t* frame = factory.BuildFrame(&status, length);
    EXPECT_FALSE(op.SendCommand(frame, length, &status));  // no channel
    EXPECT_EQ(window.Count(WM_NO_RESPONSE), 0u);

    op.m_channel = &channel;
    EXPECT_FALSE(op.SendCommand(frame, length, nullptr));
    EXPECT_EQ(window.Count(WM_NO_RESPONSE), 0u);
    EXPECT_FALSE(op.SendCommand(frame, length, &status));
    auto posted = window.Messages(WM_NO_RESPONSE);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].wParam, reinterpret_cast<WPARAM>(&status));
    EXPECT_FALSE(posted[0].sent);
}

TEST_F(Channel, CloseWakesTheReaderFromItsWaitAtOnce) {
    peer.Start([](const Bytes&) { return Bytes{}; });
    ASSERT_TRUE(channel.Open(115200, kCom, 0));
    SleepMs(50);  // the reader is asleep on the silent port by now
    auto t0 = Clock::now();
    channel.Close();
    EXPECT_LT(SecondsSince(t0), 0.1);
    EXPECT_FALSE(channel.ThreadsRunning());
}

TEST_F(Channel, AReplyArrivingByteByByteIsDispatchedOnce) {
    peer.Start([](const Bytes&) { return Bytes{}; });
    ASSERT_TRUE(channel.Open(115200, kCom, 0));
    CDeleteLog del;
    registry.Register(&del);
    for (std::uint8_t byte : test::DataReply(3, 2)) {
        peer.Write({byte});
        SleepMs(50);
    }
    ASSERT_TRUE(del.m_answerEvent.Wait(1000));
    EXPECT_EQ(window.Count(WM_DEVICE_ANSWER), 1u);
    EXPECT_EQ(window.Count(WM_FRAME_ERROR), 0u);
    EXPECT_FALSE(registry.IsPending(&del));
}

TEST_F(Channel, HangUpLeavesNoSpinningThreadAndCloseEndsInBound) {
    peer.Start([](const Bytes&) { return test::DataReply(1, 0); });
    ASSERT_TRUE(channel.Open(115200, kCom, 0));
    CQueryStatus status;
    ASSERT_TRUE(Send(status));

    peer.HangUp();
    double cpu0 = ProcessCpuSeconds();
    SleepMs(1000);
    // Two threads polling every 10 ms use a few milliseconds; a spinning one uses the second.
    EXPECT_LT(ProcessCpuSeconds() - cpu0, 0.3);

    EXPECT_FALSE(Send(status));
    auto t0 = Clock::now();
    channel.Close();
    EXPECT_LT(SecondsSince(t0), 1.0);
    EXPECT_FALSE(channel.ThreadsRunning());
}

}  // namespace
}  // namespace wing
