// What the window does when the logger refuses, falls silent, loses its board or hangs up.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>

#include "platform/text.h"
#include "window_rig.h"

namespace wing {
namespace {

using test::Logger;
using test::RigOptions;
using test::WindowRig;

TEST(Failures, RefusedDeleteLogShowsTheRefusalAndClosesTheLink) {
    auto logger = Logger();
    logger.faults.refusals.push_back({3, 2, 0, 0});
    WindowRig rig(logger);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_SETTING);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Unlinked(); }, 30));
    EXPECT_EQ(rig.StaticText(IDC_ERROR_LINE),
              L"Received command [Delete log] 's NACK. \n\n[Echo Message]\n\nPlease reset device and retry  again");
    EXPECT_EQ(rig.StaticColour(IDC_ERROR_LINE), QColor(127, 0, 0));
    EXPECT_TRUE(rig.ReceivedFrames(2, 1).empty());  // Set Mode never sent
}

TEST(Failures, ARefusedSetModeDoesNotPassTheNextOneOffAsAnswered) {
    // After a refused Set Mode, the next Setting's Set Mode loses its first reply: it must
    // be sent again and verified, not taken as answered.
    auto logger = Logger();
    logger.faults.refusals.push_back({2, 1, 9, 1});
    logger.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 2, 2, 1});
    WindowRig rig(logger);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_SETTING);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Unlinked(); }, 30));
    EXPECT_NE(rig.StaticText(IDC_ERROR_LINE).find(L"Set Mode"), std::wstring::npos);

    ASSERT_TRUE(rig.LinkAndWait());
    const std::size_t sent = rig.ReceivedFrames(2, 1).size();
    rig.Click(IDC_SETTING);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.StaticText(IDC_VERDICT) == L"OK"; }, 20));
    EXPECT_EQ(rig.ReceivedFrames(2, 1).size(), sent + 2);
    EXPECT_TRUE(rig.Linked());
}

TEST(Failures, ARefusedPageEndsTheReadAtOnceWithOneRequestOnTheWire) {
    // The refusal is applied where it arrives and the read ends with it: the page is not
    // asked for again, and the window is not held while the request's attempts run out.
    auto logger = test::ReadyToRead(40);
    logger.faults.refusals.push_back({3, 0, 9, 0});
    WindowRig rig(logger);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Unlinked(); }, 30));
    EXPECT_NE(rig.StaticText(IDC_ERROR_LINE).find(L"[Read Log]"), std::wstring::npos)
        << ToUtf8(rig.StaticText(IDC_ERROR_LINE));
    EXPECT_EQ(rig.ReceivedFrames(3, 0).size(), 1u);
    EXPECT_TRUE(rig.LogFiles().empty());
    ASSERT_TRUE(rig.LinkAndWait());  // and the logger links again
}

TEST(Failures, SilentLoggerGivesTheNoResponseLine) {
    auto logger = Logger();
    logger.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 1, -1, -1});
    WindowRig rig(logger);
    rig.Click(IDC_LINK);
    ASSERT_TRUE(rig.WaitFor([&] { return !rig.StaticText(IDC_ERROR_LINE).empty(); }, 15));
    EXPECT_EQ(rig.StaticText(IDC_ERROR_LINE), rig.dlg->Text(154) + L" [Set RTC] " + rig.dlg->Text(173));
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Unlinked(); }));
}

TEST(Failures, UnmappedPortShowsTheOpenFailureBox) {
    RigOptions options;
    options.comOverride = 4711;
    WindowRig rig(Logger(), options);
    rig.Click(IDC_LINK);
    ASSERT_TRUE(rig.WaitFor([&] { return !rig.Boxes().empty(); }, 10));
    EXPECT_EQ(rig.Boxes()[0].text, rig.dlg->Text(148));
    EXPECT_TRUE(rig.WaitFor([&] { return rig.dlg->IsItemEnabled(IDC_LINK); }));
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_EXIT));  // the fancier can also close the window
}

TEST(Failures, BoardMissingShowsTheNoticeAndTheNextGoodStatusRelinks) {
    auto logger = Logger();
    logger.faults.boardMissingFrom = 3.0;
    logger.faults.boardMissingTo = 5.0;
    WindowRig rig(logger);
    ASSERT_TRUE(rig.LinkAndWait());
    ASSERT_TRUE(rig.WaitFor([&] { return rig.StaticText(IDC_SERIAL) == rig.dlg->Text(186); }, 10));
    EXPECT_FALSE(rig.dlg->IsItemEnabled(IDC_SETTING));
    // The board comes back: a second Get Version shows the re-link. Setting is not
    // offered before the re-link is through (a click then would be wiped by it).
    bool offeredEarly = false;
    ASSERT_TRUE(rig.WaitFor(
        [&] {
            if (rig.StaticText(IDC_SERIAL) == rig.dlg->Text(186) && rig.dlg->IsItemEnabled(IDC_SETTING))
                offeredEarly = true;
            return rig.ReceivedFrames(1, 1).size() >= 2 && rig.Linked();
        },
        20));
    EXPECT_FALSE(offeredEarly);
    EXPECT_EQ(rig.StaticText(IDC_SERIAL), L"WG1507A0042");
    EXPECT_TRUE(rig.WaitFor([&] { return rig.dlg->IsItemEnabled(IDC_SETTING); }, 5));
}

TEST(Failures, HangUpMidDownloadWritesNoFileAndLinkIsUsableAgain) {
    auto logger = Logger(512);
    logger.switchPos = 0;
    logger.faults.hangUpAfterPages = 10;
    WindowRig rig(logger);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Unlinked(); }, 30));
    EXPECT_EQ(rig.StaticText(IDC_ERROR_LINE), rig.dlg->Text(154) + L" [Read Log] " + rig.dlg->Text(173));
    EXPECT_TRUE(rig.LogFiles().empty());
}

TEST(Failures, ClosingTheWindowDuringAReadEndsCleanly) {
    auto logger = Logger(2048);
    logger.switchPos = 0;
    logger.pacing = true;
    WindowRig rig(logger);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ReceivedFrames(3, 0).size() >= 3; }));
    auto t0 = std::chrono::steady_clock::now();
    rig.dlg->DestroyWindow();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(seconds, 15.0);  // clock stop (1 s + 5 s bound) and link close (two flows)
    EXPECT_FALSE(rig.dlg->Session().PortOpen());
    EXPECT_FALSE(rig.dlg->Session().FlowsRunning());
}

}  // namespace
}  // namespace wing
