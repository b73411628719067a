// The receive ring, the parser and the registry, fed byte streams as the port delivers them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "protocol/cmd_registry.h"
#include "protocol/commands.h"
#include "protocol/receive_ring.h"
#include "support/frames.h"
#include "support/recording_window.h"

namespace wing {
namespace {

using test::DataReply;
using test::RecordingWindow;
using test::StatusReply;
using Bytes = std::vector<std::uint8_t>;

// The receive side of a channel without the port: what the reader thread appends,
// extracts and parses.
struct ReceiveSide {
    ReceiveSide() : ring(&protocol) {
        protocol.m_registry = &registry;
        registry.m_window = &window;
    }

    void Append(const Bytes& chunk) { ASSERT_EQ(ring.AppendBytes(chunk.data(), static_cast<int>(chunk.size())), 0); }

    // Runs receive passes until one changes nothing.
    void Drain() {
        for (int pass = 0; pass < 4096 && !ring.IsRingEmpty(); ++pass) {
            int before = ring.m_read;
            ring.ExtractFrame();
            if (ring.m_current != nullptr && ring.m_frameLength > 0 && ring.m_frameLength <= kFrameBufferSize)
                ring.m_current->Parse(ring.m_frame, ring.m_frameLength);
            if (ring.m_read == before && ring.m_current == nullptr) break;
        }
    }

    void Feed(const Bytes& chunk) {
        Append(chunk);
        Drain();
    }

    std::vector<LPARAM> FrameErrors() const {
        std::vector<LPARAM> out;
        for (const auto& m : window.Messages(WM_FRAME_ERROR)) out.push_back(m.lParam);
        return out;
    }

    CWingProtocol protocol;
    CCmdRegistry registry;
    RecordingWindow window;
    ReceiveRing ring;
};

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(Receive, ReplyCompletesThePendingCommandAfterTheWindowHandledIt) {
    ReceiveSide rx;
    CGetVersion version;
    rx.registry.Register(&version);
    bool eventSetBeforeHandling = true;
    rx.window.OnSend([&](unsigned, WPARAM, LPARAM) {
        eventSetBeforeHandling = version.m_answerEvent.IsSet();
        EXPECT_TRUE(rx.registry.IsPending(&version));  // removed only after the window handled it
        return LRESULT{0};
    });
    rx.Feed(DataReply(1, 1, {4, 3, 2, 1}));

    auto answers = rx.window.Messages(WM_DEVICE_ANSWER);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].sent);
    EXPECT_EQ(answers[0].wParam, reinterpret_cast<WPARAM>(&version));
    EXPECT_EQ(answers[0].lParam, 0);
    EXPECT_FALSE(eventSetBeforeHandling);
    EXPECT_TRUE(version.m_answerEvent.Wait(0));
    EXPECT_FALSE(rx.registry.IsPending(&version));
    EXPECT_EQ(version.m_version, 0x01020304u);
}

TEST(Receive, StatusReplyIsSentWithLParamOne) {
    ReceiveSide rx;
    CSetMode mode;
    rx.registry.Register(&mode);
    rx.Feed(StatusReply(2, 1, 9));
    auto answers = rx.window.Messages(WM_DEVICE_ANSWER);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].lParam, 1);
    EXPECT_EQ(mode.m_statusCode, 9);
}

TEST(Receive, FrameArrivingInChunksIsExtractedOnlyWhenComplete) {
    ReceiveSide rx;
    CReadLog read;
    rx.registry.Register(&read);
    Bytes frame = DataReply(3, 0, {0}, Bytes(128, 0x42));
    ASSERT_EQ(frame.size(), 154u);
    for (std::size_t at = 0; at < frame.size(); at += 7) {
        Bytes chunk(frame.begin() + at, frame.begin() + std::min(frame.size(), at + 7));
        EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 0u);
        rx.Feed(chunk);
    }
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
    EXPECT_EQ(read.m_page[127], 0x42);
}

TEST(Receive, GarbageBeforeAFrameIsSkipped) {
    ReceiveSide rx;
    CQueryLogNumber count;
    rx.registry.Register(&count);
    rx.Feed(Concat({{0x11, 0x22, 0xA0, 0x33, 0xB0, 0xB3}, DataReply(3, 1, {9, 0})}));
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
    EXPECT_EQ(count.m_count, 9);
    // The unread part ends up discarded, with nothing left pending in the ring.
    rx.Feed({});
    EXPECT_TRUE(rx.ring.IsRingEmpty());
}

TEST(Receive, TooShortFrameIsIgnoredAndBadFramesAreReported) {
    ReceiveSide rx;
    CQueryStatus status;
    rx.registry.Register(&status);

    Bytes shortBody = {1, 0, 0, 0, 2, 0, 0, 0};
    rx.Feed(test::MakeFrame(shortBody));  // 24 bytes: passes the markers, never dispatched
    EXPECT_EQ(rx.window.Messages().size(), 0u);

    Bytes bad = DataReply(1, 0);
    bad[5] ^= 0xFF;  // checksum
    rx.Feed(bad);
    EXPECT_THAT(rx.FrameErrors(), ::testing::ElementsAre(4));
    EXPECT_TRUE(rx.registry.IsPending(&status));  // still waiting; the next attempt can succeed

    rx.Feed(DataReply(1, 0));
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
}

TEST(Receive, DuplicateReplyFindsNothingPending) {
    ReceiveSide rx;
    CDeleteLog del;
    rx.registry.Register(&del);
    Bytes reply = DataReply(3, 2);
    rx.Feed(Concat({reply, reply}));
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
    EXPECT_THAT(rx.FrameErrors(), ::testing::ElementsAre(7));
}

TEST(Receive, AReplyWithoutItsCommandsLengthLeavesTheCommandWaiting) {
    ReceiveSide rx;
    CReadLog read;
    rx.registry.Register(&read);
    for (int extra : {120, 0, 127, 129}) rx.Feed(DataReply(3, 0, {0}, Bytes(extra, 0x42)));
    EXPECT_THAT(rx.FrameErrors(), ::testing::ElementsAre(7, 7, 7, 7));
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 0u);
    EXPECT_TRUE(rx.registry.IsPending(&read));
    EXPECT_FALSE(read.m_answerEvent.IsSet());

    rx.Feed(DataReply(3, 0, {0}, Bytes(128, 0x43)));
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
    EXPECT_EQ(read.m_page[0], 0x43);
}

// A page that repeats the one taken last may be a late copy of it or the true next page
// (erased flash reads the same every time). The first such reply to a request is passed
// over; once the request has been written again, a repeat is its answer.
TEST(Receive, ARepeatedPageIsPassedOverUntilTheRequestIsWrittenAgain) {
    ReceiveSide rx;
    CReadLog read;
    const Bytes pageA = DataReply(3, 0, {0}, Bytes(128, 0xA1));
    const Bytes pageB = DataReply(3, 0, {0}, Bytes(128, 0xFF));
    auto request = [&](std::uint16_t first) {
        read.Reset();
        read.m_firstIndex = first;
        rx.registry.Register(&read);
        read.m_attempt = 1;
    };
    auto answers = [&] { return rx.window.Count(WM_DEVICE_ANSWER); };

    request(0);
    rx.Feed(pageA);
    ASSERT_EQ(answers(), 1u);

    // A late copy of page 0, then the true page 8.
    request(8);
    rx.Feed(pageA);
    EXPECT_EQ(answers(), 1u);
    EXPECT_TRUE(rx.registry.IsPending(&read));
    rx.Feed(pageB);
    EXPECT_EQ(answers(), 2u);
    EXPECT_EQ(read.m_page[0], 0xFF);

    // Page 16 reads as page 8 did: passed over however often it comes in the first
    // attempt, taken when it answers the second.
    request(16);
    rx.Feed(pageB);
    rx.Feed(pageB);
    EXPECT_EQ(answers(), 2u);
    read.m_attempt = 2;
    rx.Feed(pageB);
    EXPECT_EQ(answers(), 3u);
    EXPECT_FALSE(rx.registry.IsPending(&read));

    // The next request starts afresh: its first repeat is passed over again.
    request(24);
    rx.Feed(pageB);
    EXPECT_EQ(answers(), 3u);
}

TEST(Receive, AnAnswerNobodyWaitedForDoesNotAnswerTheNextRequest) {
    // The window's handler held the reader thread until the task had given up, so the
    // answer's signal is left behind; the command's next request must wait for its own.
    ReceiveSide rx;
    CSetMode mode;
    rx.registry.Register(&mode);
    rx.Feed(StatusReply(2, 1, 9));
    ASSERT_TRUE(mode.m_answerEvent.IsSet());
    rx.registry.Register(&mode);
    EXPECT_FALSE(mode.m_answerEvent.Wait(0));
    rx.Feed(DataReply(2, 1));
    EXPECT_TRUE(mode.m_answerEvent.Wait(0));
}

TEST(Receive, EncryptionBitsAreStoredNotCompared) {
    ReceiveSide rx;
    CDeleteLog del;
    rx.registry.Register(&del);
    rx.Feed(test::MakeFrame(test::MakeBody(3, 2, 2), 3));
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
    EXPECT_EQ(rx.registry.m_lastEncryption, 3);
    EXPECT_EQ(rx.registry.m_lastLength, 20);
}

TEST(Receive, DispatchRejectsWrongStartBytes) {
    CCmdRegistry registry;
    RecordingWindow window;
    registry.m_window = &window;
    Bytes frame = DataReply(1, 0);
    frame[1] = 0xA3;
    EXPECT_EQ(registry.Dispatch(frame.data(), static_cast<int>(frame.size())), 8);
    EXPECT_EQ(window.Messages(WM_FRAME_ERROR).at(0).lParam, 8);
}

TEST(Receive, RegisterMovesAWaitingCommandToTheEnd) {
    CCmdRegistry registry;
    CGetVersion a, b;
    registry.Register(&a);
    registry.Register(&b);
    registry.Register(&a);
    EXPECT_EQ(registry.PendingCount(), 2u);
    EXPECT_EQ(registry.Find(1, 1), &b);  // both have ids 1/1: list order decides
}

// Positions the ring so that the next byte stored goes to `index`.
void PlaceWriterAt(ReceiveSide& rx, int index) {
    rx.ring.m_read = index - 1;
    rx.ring.m_write = index - 1;
}

TEST(Ring, FrameStartingAt1021HasItsLengthWordSplit) {
    ReceiveSide rx;
    CReadLog read;
    rx.registry.Register(&read);
    PlaceWriterAt(rx, 1021);
    rx.Feed(DataReply(3, 0, {0}, Bytes(128, 0x5A)));
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
    EXPECT_EQ(read.m_page[0], 0x5A);
    EXPECT_FALSE(rx.ring.m_wrap);  // cleared by the two-piece copy
    EXPECT_EQ(rx.ring.m_frameLength, 154);
}

TEST(Ring, WrappedFrameIsCopiedInTwoPieces) {
    for (int startAt : {900, 1000, 1023}) {
        SCOPED_TRACE(startAt);
        ReceiveSide rx;
        CQueryStatus status;
        rx.registry.Register(&status);
        PlaceWriterAt(rx, startAt);
        Bytes frame = DataReply(1, 0, {1, 2, 3, 4, 1, 0, 0, 0, 0, 0, 0x7B});
        rx.Append(frame);
        EXPECT_EQ(rx.ring.m_wrap, startAt + 26 > 1024);
        rx.Drain();
        EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
        EXPECT_EQ(status.m_battery, 30);
        EXPECT_FALSE(rx.ring.m_wrap);
    }
}

TEST(Ring, AppendRulesAtTheEdges) {
    CWingProtocol protocol;
    ReceiveRing ring(&protocol);
    Bytes big(1025, 1);
    EXPECT_EQ(ring.AppendBytes(big.data(), 1025), 5);
    EXPECT_TRUE(ring.IsRingEmpty());

    // Writer wrapped and would run over unread bytes: the chunk is dropped whole.
    ring.m_read = 100;
    ring.m_write = 1000;
    Bytes chunk(200, 7);
    EXPECT_EQ(ring.AppendBytes(chunk.data(), 200), 0);
    EXPECT_TRUE(ring.m_wrap);
    EXPECT_EQ(ring.m_write, 176);
    EXPECT_TRUE(ring.IsRingFull());
    EXPECT_EQ(ring.AppendBytes(chunk.data(), 200), 0);
    EXPECT_EQ(ring.m_write, 176);  // dropped

    // A chunk that starts exactly at index 0 does not set the wrap flag.
    ReceiveRing aligned(&protocol);
    aligned.m_read = 1000;
    aligned.m_write = 1023;
    EXPECT_EQ(aligned.AppendBytes(chunk.data(), 10), 0);
    EXPECT_FALSE(aligned.m_wrap);
    EXPECT_EQ(aligned.m_write, 9);
}

TEST(Ring, StrayStartMarkerDoesNotHoldTheStream) {
    ReceiveSide rx;
    CDeleteLog del;
    rx.registry.Register(&del);
    // 0xA0 0xA2 with a length word pointing into the following reply, where no end marker is.
    rx.Feed(Concat({{0xA0, 0xA2, 0x10, 0x00, 0x55}, DataReply(3, 2)}));
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
}

TEST(Ring, StrayStartByteBeforeLongNoiseDoesNotSwallowLaterReplies) {
    ReceiveSide rx;
    CDeleteLog del;
    rx.registry.Register(&del);
    rx.Feed({0xA0, 0x00});
    for (int i = 0; i < 12; ++i) rx.Feed(Bytes(128, 0x00));  // more than a lap of the ring
    rx.Feed(DataReply(3, 2));
    EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
}

// Bytes of a frame taken long ago stay in the ring. A frame whose length word carries
// its end past the ring's end must wait for its own bytes, not take an old end marker
// found there (which made the read index jump back and replay stale bytes for ever).
TEST(Ring, FrameStillArrivingIsNotClosedByAnOldEndMarkerAcrossTheWrap) {
    ReceiveSide rx;
    CQueryStatus status;
    CReadLog read;
    rx.registry.Register(&status);
    rx.Feed(DataReply(1, 0, {1, 2, 3, 4, 1, 0, 0, 0, 0, 0, 0x7B}));  // 26 bytes at 0..25
    ASSERT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);

    rx.registry.Register(&read);
    // A 154-byte Read Log reply starting at 896 ends at 1049, that is at 25: where the
    // status reply's 0xB0 0xB3 still lie.
    PlaceWriterAt(rx, 896);
    Bytes page = DataReply(3, 0, {0}, Bytes(128, 0x5A));
    std::size_t from = 0;
    for (std::size_t to : {10, 100, 150}) {
        SCOPED_TRACE(to);
        rx.Feed(Bytes(page.begin() + from, page.begin() + to));
        from = to;
        EXPECT_EQ(rx.ring.m_read, 895);  // nothing taken yet
        EXPECT_TRUE(rx.FrameErrors().empty());
        EXPECT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 1u);
    }
    rx.Feed(Bytes(page.begin() + 150, page.end()));
    EXPECT_TRUE(rx.FrameErrors().empty());
    ASSERT_EQ(rx.window.Count(WM_DEVICE_ANSWER), 2u);
    EXPECT_EQ(read.m_page[0], 0x5A);
    EXPECT_TRUE(rx.ring.IsRingEmpty());
}

TEST(Ring, FrameLongerThanTheFrameBufferIsSkipped) {
    ReceiveSide rx;
    CReadLog read;
    rx.registry.Register(&read);
    Bytes huge = DataReply(3, 0, {0}, Bytes(400, 0x33));  // a 426-byte frame
    rx.Feed(Concat({huge, DataReply(3, 0, {0}, Bytes(128, 0x44))}));
    auto answers = rx.window.Messages(WM_DEVICE_ANSWER);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(read.m_page[0], 0x44);
}

// A long stream of replies with garbage between them, cut at random: every reply whose
// command was waiting is dispatched exactly once and in order.
TEST(Receive, RandomisedStreamDispatchesEveryReplyOnceInOrder) {
    std::mt19937 rng(42);
    ReceiveSide rx;

    // One waiting command object per reply: the registry matches the first waiting
    // object with the reply's ids, so the dispatch order must equal the reply order.
    std::vector<std::unique_ptr<CWingMsg>> expected;
    Bytes stream;
    for (int i = 0; i < 600; ++i) {
        int pick = static_cast<int>(rng() % 3);
        std::unique_ptr<CWingMsg> cmd;
        Bytes extra;
        if (pick == 0) cmd = std::make_unique<CQueryStatus>();
        if (pick == 1) {
            cmd = std::make_unique<CReadLog>();
            extra.resize(128);
            for (auto& b : extra) b = static_cast<std::uint8_t>(rng());
        }
        if (pick == 2) cmd = std::make_unique<CQueryLogNumber>();
        Bytes fields(11);
        for (auto& b : fields) b = static_cast<std::uint8_t>(rng());
        Bytes frame = DataReply(cmd->m_cmdId, cmd->m_subId, fields, extra);
        stream.insert(stream.end(), frame.begin(), frame.end());
        rx.registry.Register(cmd.get());
        expected.push_back(std::move(cmd));
        // Garbage between replies; never a 0xA0, which could open a false frame that
        // swallows the next reply (that case has its own test above).
        int garbage = static_cast<int>(rng() % 12);
        for (int g = 0; g < garbage; ++g) {
            auto b = static_cast<std::uint8_t>(rng());
            stream.push_back(b == 0xA0 ? 0x00 : b);
        }
    }

    std::vector<CWingMsg*> dispatched;
    rx.window.OnSend([&](unsigned msg, WPARAM wp, LPARAM) {
        if (msg == WM_DEVICE_ANSWER) dispatched.push_back(reinterpret_cast<CWingMsg*>(wp));
        return LRESULT{0};
    });

    std::size_t at = 0;
    while (at < stream.size()) {
        std::size_t n = std::min<std::size_t>(stream.size() - at, 1 + rng() % 256);
        rx.Feed(Bytes(stream.begin() + at, stream.begin() + at + n));
        at += n;
    }
    ASSERT_EQ(dispatched.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(dispatched[i], expected[i].get()) << "reply " << i;
    EXPECT_EQ(rx.registry.PendingCount(), 0u);
    EXPECT_TRUE(rx.FrameErrors().empty());
}

}  // namespace
}  // namespace wing
