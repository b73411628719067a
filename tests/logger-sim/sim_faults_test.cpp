// Faults the simulator injects, seen from the PC end of the pseudo-terminal.

#include <poll.h>

#include <cerrno>
#include <thread>

#include "platform/device_map.h"
#include "sim_fixture.h"

namespace wing::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

TEST_F(SimTest, RefusesAlwaysOrTheFirstTimes) {
    struct Case { int times; std::vector<int> types; };
    for (const Case& k : {Case{0, {3, 3, 3}}, Case{2, {3, 3, 2}}}) {
        SCOPED_TRACE(k.times);
        SimConfig c = Fast();
        c.faults.refusals.push_back({2, 0, 6, k.times});
        Launch(c);
        for (int expected : k.types) {
            auto r = client->Ask(Request(2, 0, Le32(1430000000)));
            ASSERT_TRUE(r);
            EXPECT_EQ(r->type(), expected);
            if (expected == 3) {
                EXPECT_EQ(r->code(), 6);
            }
        }
        auto other = client->Ask(Request(1, 1));  // other commands are not affected
        ASSERT_TRUE(other);
        EXPECT_EQ(other->type(), 2);
    }
}

TEST_F(SimTest, DropsEveryNthReplyOverallOrOfOneCommand) {
    SimConfig c = Fast();
    c.faults.replyFaults.push_back({ReplyFaultKind::Drop, 2});
    Launch(c);
    std::vector<bool> answered;
    for (int i = 0; i < 4; ++i) answered.push_back(client->Ask(Request(1, 1), 300).has_value());
    EXPECT_EQ(answered, (std::vector<bool>{true, false, true, false}));
    int dropped = 0;
    for (const auto& e : sim->FrameLog()) dropped += e.note == "dropped";
    EXPECT_EQ(dropped, 2);

    c.faults.replyFaults = {{ReplyFaultKind::Drop, 1, 3, 0}};
    Launch(c);
    EXPECT_FALSE(client->Ask(Request(3, 0, {0, 0, 8, 0}), 300));
    EXPECT_TRUE(client->Ask(Request(3, 1), 300));
    EXPECT_FALSE(client->Ask(Request(3, 0, {0, 0, 8, 0}), 300));
}

TEST_F(SimTest, CorruptsOrDuplicatesReplies) {
    SimConfig c = Fast();
    c.faults.replyFaults.push_back({ReplyFaultKind::Corrupt, 2});
    Launch(c);
    auto good = client->Ask(Request(1, 1));
    auto bad = client->Ask(Request(1, 1));
    ASSERT_TRUE(good && bad);
    EXPECT_TRUE(good->crcOk);
    EXPECT_FALSE(bad->crcOk);
    EXPECT_EQ(bad->body, good->body) << "only the checksum is damaged";

    c.faults.replyFaults = {{ReplyFaultKind::Duplicate, 1}};
    Launch(c);
    auto first = client->Ask(Request(3, 1));
    auto second = client->ReadFrame(500);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->frame, second->frame);
    EXPECT_FALSE(client->ReadFrame(200)) << "exactly two copies";
}

TEST_F(SimTest, ReshapesRepliesToTheLengthAsked) {
    for (int extra : {120, 0, 127, 129}) {
        SCOPED_TRACE(extra);
        SimConfig c = Fast();
        c.flight.slots = 16;
        c.faults.replyFaults.push_back({ReplyFaultKind::Reshape, 2, 3, 0, extra});
        Launch(c);
        auto whole = client->Ask(Request(3, 0, {0, 0, 8, 0}));
        auto reshaped = client->Ask(Request(3, 0, {0, 0, 8, 0}));
        ASSERT_TRUE(whole && reshaped);
        ASSERT_EQ(whole->body.size(), 144u);
        ASSERT_EQ(reshaped->body.size(), 16u + extra);
        EXPECT_TRUE(reshaped->crcOk);
        // What it keeps is the page's own start; what it adds is zero.
        const std::size_t kept = std::min<std::size_t>(reshaped->body.size(), 144);
        EXPECT_TRUE(std::equal(whole->body.begin(), whole->body.begin() + kept, reshaped->body.begin()));
        for (std::size_t i = kept; i < reshaped->body.size(); ++i) EXPECT_EQ(reshaped->body[i], 0) << i;
    }
}

TEST_F(SimTest, OvercountReportsMoreSlotsThanStoredAndTheyReadErased) {
    SimConfig c = Fast();
    c.flight.slots = 12;
    c.faults.overcount = 20;
    Launch(c);
    auto count = client->Ask(Request(3, 1));
    ASSERT_TRUE(count);
    EXPECT_EQ(count->body[5] | (count->body[6] << 8), 32);
    const auto stored = sim->LogSlots();
    const auto reported = sim->ReportedSlots();
    ASSERT_EQ(stored.size(), 12u);
    ASSERT_EQ(reported.size(), 32u);
    for (int first : {8, 16, 24}) {
        auto page = client->Ask(Request(3, 0, {static_cast<std::uint8_t>(first), 0, 8, 0}));
        ASSERT_TRUE(page);
        ASSERT_EQ(page->body.size(), 144u);
        for (int k = 0; k < 8; ++k)
            EXPECT_TRUE(std::equal(reported[first + k].begin(), reported[first + k].end(), page->body.begin() + 16 + 16 * k))
                << first + k;
    }
    for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(reported[i], stored[i]);
    for (std::size_t i = 12; i < 32; ++i) EXPECT_EQ(reported[i], (LogSlot{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(SimTest, GarbageBeforeRepliesNeverHoldsAStartMarker) {
    SimConfig c = Fast();
    c.faults.garbageBytes = 400;
    Launch(c);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(client->Write(Request(1, 1)));
        Bytes skipped;
        auto r = client->ReadFrame(2000, &skipped);
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->crcOk);
        EXPECT_EQ(skipped.size(), 400u);
        EXPECT_EQ(std::count(skipped.begin(), skipped.end(), 0xA0), 0);
    }
}

TEST_F(SimTest, SplitAndDelayedRepliesArriveWhole) {
    SimConfig c = Fast();
    c.faults.splitMaxChunk = 4;
    c.faults.splitDelayMs = 5;
    Launch(c);
    auto t0 = Clock::now();
    auto page = client->Ask(Request(3, 0, {0, 0, 8, 0}));
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->crcOk);
    EXPECT_EQ(page->frame.size(), 154u);
    EXPECT_GE(MsSince(t0), 38 * 5.0) << "at least 39 chunks of at most 4 bytes, 5 ms apart";

    c.faults = {};
    c.faults.replyDelayMs = 150;
    Launch(c);
    t0 = Clock::now();
    EXPECT_FALSE(client->Ask(Request(1, 1), 60)) << "not before the delay";
    auto late = client->ReadFrame(1000);
    ASSERT_TRUE(late);
    EXPECT_GE(MsSince(t0), 150.0);
}

TEST_F(SimTest, BoardMissingOnlyWithinItsWindow) {
    SimConfig c = Fast();
    c.faults.boardMissingFrom = 0;
    c.faults.boardMissingTo = 0.4;
    Launch(c);
    auto t0 = Clock::now();
    auto missing = client->Ask(Request(1, 0));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->type(), 3);
    EXPECT_EQ(missing->code(), 8);
    auto version = client->Ask(Request(1, 1));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->type(), 2) << "only the status is refused";
    std::this_thread::sleep_until(t0 + std::chrono::milliseconds(500));
    auto back = client->Ask(Request(1, 0));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->type(), 2);
}

TEST_F(SimTest, HangsUpAtThePageRequestAfterTheLastAnswered) {
    SimConfig c = Fast();
    c.faults.hangUpAfterPages = 2;
    Launch(c);
    ASSERT_FALSE(ResolveComPort(port.comNumber).empty());
    for (std::uint8_t first : {0, 8}) {
        auto page = client->Ask(Request(3, 0, {first, 0, 8, 0}));
        ASSERT_TRUE(page);
        EXPECT_EQ(page->type(), 2);
    }
    ASSERT_TRUE(client->Write(Request(3, 0, {16, 0, 8, 0})));
    pollfd p{client->fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    std::uint8_t b;
    errno = 0;
    ssize_t n = ::read(client->fd(), &b, 1);
    EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n << " " << errno;
    EXPECT_TRUE(sim->HungUp());
    EXPECT_TRUE(sim->State().hungUp);
    EXPECT_EQ(ResolveComPort(port.comNumber), "") << "the port left the map with the hang-up";
    EXPECT_NE(sim->FrameLogLines().back().find("hang-up"), std::string::npos);
    sim->Stop();
}

TEST_F(SimTest, PacingTakesTheTimeOfTheWire) {
    SimConfig c = Fast();
    c.pacing = true;
    Launch(c);
    auto t0 = Clock::now();
    auto page = client->Ask(Request(3, 0, {0, 0, 8, 0}));
    ASSERT_TRUE(page);
    // 26 request bytes and 154 reply bytes at 10 bits a byte and 115200 baud.
    EXPECT_GE(MsSince(t0), (26 + 154) * 10 * 1000.0 / 115200 - 0.5);
}

TEST_F(SimTest, StopEndsPromptlyDuringALongFault) {
    SimConfig c = Fast();
    c.faults.replyDelayMs = 60000;
    Launch(c);
    ASSERT_TRUE(client->Write(Request(1, 1)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto t0 = Clock::now();
    sim->Stop();
    EXPECT_LT(MsSince(t0), 2000.0);
}

}  // namespace
}  // namespace wing::sim::test
