// Initialising the logger for a flight from the real window.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDateTimeEdit>

#include "window_rig.h"

namespace wing {
namespace {

using test::Logger;
using test::RigOptions;
using test::WindowRig;

struct SetModeSent {
    int startType, recordMode;
    std::uint32_t start;
};

SetModeSent LastSetMode(WindowRig& rig) {
    auto frames = rig.ReceivedFrames(2, 1);
    if (frames.empty()) return {-1, -1, 0};
    const auto& f = frames.back().frame;
    return {f[13], f[14], f[15] | (f[16] << 8) | (f[17] << 16) | (static_cast<std::uint32_t>(f[18]) << 24)};
}

// Sets the pickers to `when` (local time) and chooses the reserved start.
void ChooseReservedStart(WindowRig& rig, std::time_t when) {
    QDateTime at = QDateTime::fromSecsSinceEpoch(when);
    rig.dlg->Picker(IDC_DATE_PICKER)->setDate(at.date());
    rig.dlg->Picker(IDC_TIME_PICKER)->setTime(at.time());
    rig.Click(IDC_START_RESERVED);
}

bool SettingDone(WindowRig& rig) { return !rig.StaticText(IDC_VERDICT).empty(); }

TEST(Setting, StartNowErasesThenWritesTheModeAndVerifies) {
    WindowRig rig(Logger());
    ASSERT_TRUE(rig.LinkAndWait());
    rig.dlg->ComboSetCurSel(IDC_RECORD_MODE, 1);
    rig.Click(IDC_SETTING);
    ASSERT_TRUE(rig.WaitFor([&] { return SettingDone(rig); }));
    EXPECT_EQ(rig.StaticText(IDC_VERDICT), L"OK");
    EXPECT_EQ(rig.StaticColour(IDC_VERDICT), QColor(0, 127, 0));
    auto received = rig.Received();
    auto del = std::find(received.begin(), received.end(), "Delete log");
    ASSERT_NE(del, received.end());
    EXPECT_EQ(*(del + 1), "Set Mode");
    auto sent = LastSetMode(rig);
    EXPECT_EQ(sent.startType, 0);
    EXPECT_EQ(sent.recordMode, 1);
    EXPECT_EQ(sent.start, 0u);
    EXPECT_EQ(rig.simulator.State().logCount, 0);
    // Released again, and the poll goes on.
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_SETTING));
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_LINK));
    EXPECT_TRUE(rig.dlg->IsCloseItemEnabled());
    std::size_t statusBefore = rig.ReceivedFrames(1, 0).size();
    rig.WaitFor([&] { return rig.ReceivedFrames(1, 0).size() > statusBefore + 1; }, 5);
    EXPECT_GT(rig.ReceivedFrames(1, 0).size(), statusBefore + 1);
}

TEST(Setting, ASecondPressWhileSettingIsIgnoredAndTheSettingCompletes) {
    // A slow logger: the second press comes while Delete log waits for its answer, and
    // again while Set Mode does.
    auto logger = Logger();
    logger.faults.replyDelayMs = 400;
    WindowRig rig(logger);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_SETTING);
    rig.dlg->OnSetting();
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ReceivedFrames(3, 2).size() == 1; }));
    rig.dlg->OnSetting();
    rig.dlg->OnReadAndSave();  // nor does a read start under it
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ReceivedFrames(2, 1).size() == 1; }));
    rig.dlg->OnSetting();
    ASSERT_TRUE(rig.WaitFor([&] { return SettingDone(rig); }, 30));
    EXPECT_EQ(rig.StaticText(IDC_VERDICT), L"OK");
    EXPECT_EQ(rig.ReceivedFrames(3, 2).size(), 1u);  // one Delete log
    EXPECT_EQ(rig.ReceivedFrames(2, 1).size(), 1u);  // one Set Mode
    EXPECT_TRUE(rig.ReceivedFrames(3, 1).empty());   // no read
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_LINK));
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_EXIT));
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_SETTING));
}

TEST(Setting, ReservedStartIsSentAsLocalTimeAndAStationSeesNgWhenTheLoggerDiffers) {
    for (std::int64_t skew : {0, 60}) {
        auto logger = Logger();
        logger.setModeTimeSkew = skew;
        WindowRig rig(logger);
        ASSERT_TRUE(rig.LinkAndWait());
        std::time_t when = std::time(nullptr) + 3600;
        ChooseReservedStart(rig, when);
        rig.Click(IDC_SETTING);
        ASSERT_TRUE(rig.WaitFor([&] { return SettingDone(rig); }));
        auto sent = LastSetMode(rig);
        EXPECT_EQ(sent.startType, 1);
        EXPECT_EQ(sent.start, static_cast<std::uint32_t>(when));
        EXPECT_EQ(rig.StaticText(IDC_VERDICT), skew == 0 ? L"OK" : L"NG");
    }
}

TEST(Setting, ReservedTimeInThePastIsRefused) {
    WindowRig rig(Logger());
    ASSERT_TRUE(rig.LinkAndWait());
    ChooseReservedStart(rig, std::time(nullptr) - 120);
    rig.Click(IDC_SETTING);
    ASSERT_EQ(rig.Boxes().size(), 1u);
    EXPECT_EQ(rig.Boxes()[0].text, rig.dlg->Text(165));
    test::PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(rig.ReceivedFrames(2, 1).empty());
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_SETTING));
}

TEST(Setting, RacingAsksBelowTheThresholdAndCancelSendsNothing) {
    RigOptions options;
    options.competition = 1;
    options.threshold = 50;  // the simulated battery is 4.1 V
    int answer = IDCANCEL;
    WindowRig rig(Logger(), options, [&](const MessageBoxRequest&) { return answer; });
    ASSERT_TRUE(rig.LinkAndWait());
    EXPECT_EQ(rig.StaticText(IDC_MODE_LABEL), rig.dlg->Text(178));
    rig.Click(IDC_SETTING);
    ASSERT_EQ(rig.Boxes().size(), 1u);
    EXPECT_EQ(rig.Boxes()[0].text, rig.dlg->Text(166));
    test::PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(rig.ReceivedFrames(3, 2).empty());

    answer = IDOK;
    rig.Click(IDC_SETTING);
    ASSERT_TRUE(rig.WaitFor([&] { return SettingDone(rig); }));
    EXPECT_EQ(LastSetMode(rig).recordMode, 3);
}

TEST(Setting, SwitchOffGivesTheHintAndPersonalModeShowsTheSummary) {
    auto off = Logger();
    off.switchPos = 0;
    WindowRig offRig(off);
    ASSERT_TRUE(offRig.LinkAndWait());
    offRig.dlg->OnSetting();
    EXPECT_EQ(offRig.StaticText(IDC_ERROR_LINE), offRig.dlg->Text(190));
    EXPECT_TRUE(offRig.ReceivedFrames(2, 1).empty());

    RigOptions personal;
    personal.personal = 1;
    WindowRig rig(Logger(), personal);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_SETTING);
    ASSERT_TRUE(rig.WaitFor([&] { return !rig.Boxes().empty(); }));
    const std::wstring summary = rig.Boxes()[0].text;
    EXPECT_NE(summary.find(rig.dlg->Text(159)), std::wstring::npos);
    EXPECT_NE(summary.find(rig.dlg->Text(160)), std::wstring::npos);
    EXPECT_EQ(rig.StaticText(IDC_VERDICT), L"");
}

}  // namespace
}  // namespace wing
