// The log download against the simulated logger on a pseudo-terminal.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "download_rig.h"

namespace wing {
namespace {

using ::testing::ElementsAre;
using test::DownloadRig;
using test::LogOf;

TEST(Download, NineRecordsTakeTwoPages) {
    DownloadRig rig(LogOf(9));
    ASSERT_TRUE(rig.Open());
    rig.RunToEnd();
    EXPECT_THAT(rig.PageRequests(), ElementsAre(0, 8));
    auto done = rig.window.Messages(WM_LOG_READ_DONE);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].wParam, 9u);
    EXPECT_EQ(rig.pages.size(), 2u);
    // Progress: the count first, then the first index of every page read.
    std::vector<std::pair<WPARAM, LPARAM>> progress;
    for (const auto& m : rig.window.Messages(WM_LOG_PROGRESS)) progress.emplace_back(m.wParam, m.lParam);
    EXPECT_THAT(progress, ElementsAre(std::pair<WPARAM, LPARAM>{0, 1}, std::pair<WPARAM, LPARAM>{0, 0},
                                      std::pair<WPARAM, LPARAM>{8, 0}));
    EXPECT_EQ(rig.window.Count(WM_FLOW_ENDED), 1u);  // through the terminal task
}

TEST(Download, FullLogOf2048RecordsIs256Pages) {
    DownloadRig rig(LogOf(2048));
    ASSERT_TRUE(rig.Open());
    rig.RunToEnd();
    auto requests = rig.PageRequests();
    ASSERT_EQ(requests.size(), 256u);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(requests[i], i * 8);
    ASSERT_EQ(rig.window.Count(WM_LOG_READ_DONE), 1u);
    EXPECT_EQ(rig.window.Messages(WM_LOG_READ_DONE)[0].wParam, 2048u);
    // The pages are the logger's slots, in order.
    auto slots = rig.simulator.LogSlots();
    ASSERT_EQ(rig.pages.size(), 256u);
    for (int i = 0; i < 2048; ++i)
        ASSERT_TRUE(std::equal(slots[i].begin(), slots[i].end(), rig.pages[i / 8].begin() + (i % 8) * 16)) << i;
}

TEST(Download, APageSentTwiceIsNeverTakenForTheNextPage) {
    // The copy arrives before the next request is written (Duplicate, unpaced: it is in
    // the port when the task pauses between pages) or just after it (DuplicateLate: the
    // logger sends it when the next request arrives, before its answer).
    for (auto kind : {sim::ReplyFaultKind::Duplicate, sim::ReplyFaultKind::DuplicateLate}) {
        SCOPED_TRACE(kind == sim::ReplyFaultKind::Duplicate ? "before the next request" : "after the next request");
        auto config = LogOf(200);
        config.faults.replyFaults.push_back({kind, 3, 3, 0});
        DownloadRig rig(config);
        ASSERT_TRUE(rig.Open());
        rig.RunToEnd();
        ASSERT_EQ(rig.window.Count(WM_LOG_READ_DONE), 1u);
        int copies = 0;
        for (const auto& e : rig.simulator.FrameLog())
            copies += !e.fromPc && (e.note.find("duplicated") != std::string::npos ||
                                    e.note.find("late copy") != std::string::npos);
        EXPECT_GE(copies, 8);
        auto slots = rig.simulator.LogSlots();
        ASSERT_EQ(rig.pages.size(), 25u);
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE(std::equal(slots[i].begin(), slots[i].end(), rig.pages[i / 8].begin() + (i % 8) * 16)) << i;
        EXPECT_EQ(rig.PageRequests().size(), 25u);  // no page asked twice: each copy was passed over
    }
}

TEST(Download, CountOfZeroOrAbove2048IsAnEmptyLog) {
    for (int reported : {0, 2049, 0xFFFF}) {
        SCOPED_TRACE(reported);
        DownloadRig rig(LogOf(reported == 0 ? 0 : 16));
        if (reported != 0) rig.countOverride = reported;
        ASSERT_TRUE(rig.Open());
        rig.RunToEnd();
        ASSERT_EQ(rig.window.Count(WM_LOG_EMPTY), 1u);
        EXPECT_EQ(rig.window.Messages(WM_LOG_EMPTY)[0].lParam, 1);
        EXPECT_TRUE(rig.PageRequests().empty());
    }
}

TEST(Download, StopFlagEndsTheDownloadBeforeTheNextPage) {
    DownloadRig rig(LogOf(64));
    rig.onPage = [&](int n) {
        if (n == 3) rig.flow.RequestStop();
    };
    ASSERT_TRUE(rig.Open());
    rig.RunToEnd();
    EXPECT_EQ(rig.PageRequests().size(), 3u);
    EXPECT_EQ(rig.window.Count(WM_LOG_READ_DONE), 0u);
    EXPECT_EQ(rig.window.Count(WM_FLOW_ENDED), 0u);  // the worker ended at once
    EXPECT_EQ(rig.flow.ExitCode(), 100);
}

TEST(Download, PageFlaggedByTheWindowEndsWithReadError) {
    DownloadRig rig(LogOf(64));
    rig.onPage = [&](int n) {
        if (n == 2) rig.task.MarkFailed();
    };
    ASSERT_TRUE(rig.Open());
    rig.RunToEnd();
    EXPECT_EQ(rig.PageRequests().size(), 2u);
    EXPECT_EQ(rig.window.Count(WM_LOG_READ_ERROR), 1u);
    EXPECT_EQ(rig.window.Count(WM_FLOW_ENDED), 0u);
    EXPECT_EQ(rig.flow.ExitCode(), 21);
}

TEST(Download, RefusedPageEndsWithReadError) {
    auto config = LogOf(64);
    config.faults.refusals.push_back({3, 0, 6, 0});
    DownloadRig rig(config);
    ASSERT_TRUE(rig.Open());
    rig.RunToEnd();
    EXPECT_EQ(rig.PageRequests().size(), 1u);
    EXPECT_EQ(rig.window.Count(WM_LOG_READ_ERROR), 1u);
}

TEST(Download, RefusedCountEndsTheWorkerWithoutWaitingForever) {
    auto config = LogOf(64);
    config.faults.refusals.push_back({3, 1, 5, 0});
    DownloadRig rig(config);
    ASSERT_TRUE(rig.Open());
    rig.RunToEnd();
    EXPECT_TRUE(rig.PageRequests().empty());
    EXPECT_EQ(rig.flow.ExitCode(), 20);
    EXPECT_EQ(rig.window.Count(WM_FLOW_ENDED), 0u);
}

TEST(Download, UnansweredCountReportsNoResponseThenReadFailed) {
    auto config = LogOf(64);
    config.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 1, 3, 1});
    DownloadRig rig(config);
    ASSERT_TRUE(rig.Open());
    rig.RunToEnd();
    auto sequence = rig.window.Sequence({WM_TASK_STARTED, WM_LOG_PROGRESS});
    EXPECT_THAT(sequence, ElementsAre(WM_NO_RESPONSE, WM_LOG_READ_FAILED, WM_FLOW_ENDED));
    auto failed = rig.window.Messages(WM_LOG_READ_FAILED);
    EXPECT_EQ(failed[0].wParam, 0u);
    EXPECT_EQ(failed[0].lParam, 1);
    EXPECT_EQ(rig.window.Messages(WM_NO_RESPONSE)[0].wParam, reinterpret_cast<WPARAM>(&rig.count));
}

TEST(Download, HangUpMidDownloadEndsWithNoResponse) {
    auto config = LogOf(256);
    config.faults.hangUpAfterPages = 5;
    DownloadRig rig(config);
    ASSERT_TRUE(rig.Open());
    rig.RunToEnd();
    EXPECT_EQ(rig.pages.size(), 5u);
    EXPECT_EQ(rig.window.Count(WM_NO_RESPONSE), 1u);
    auto failed = rig.window.Messages(WM_LOG_READ_FAILED);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].lParam, 0);
    rig.channel.Close();
    EXPECT_FALSE(rig.channel.ThreadsRunning());
}

}  // namespace
}  // namespace wing
