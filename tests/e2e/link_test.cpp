// Linking the real window to the simulated logger.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>

#include "window_rig.h"

WING_QT_TEST_ENVIRONMENT();

namespace wing {
namespace {

using test::Logger;
using test::WindowRig;

TEST(Link, ShowsIdentityStatusAndWritesThePcClock) {
    WindowRig rig(Logger());
    std::vector<int> progress;
    ASSERT_TRUE(rig.LinkAndWait());

    auto lines = rig.ListLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], L"GPS Ver: V 1.2.3.4");
    EXPECT_EQ(lines[1], rig.dlg->Text(108));  // start now
    EXPECT_EQ(lines[3], L"Switch On");
    EXPECT_EQ(rig.StaticText(IDC_SERIAL), L"WG1507A0042");
    EXPECT_EQ(rig.StaticColour(IDC_SERIAL), QColor(255, 0, 255));
    EXPECT_EQ(rig.StaticText(IDC_BATTERY), L"4.1 V");
    EXPECT_EQ(rig.StaticColour(IDC_BATTERY), QColor(0, 0, 127));
    EXPECT_EQ(rig.dlg->m_lampColor, QColor(0, 127, 0));  // 41 >= threshold 35
    // Switch on: set up, not read.
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_SETTING));
    EXPECT_FALSE(rig.dlg->IsItemEnabled(IDC_READ_SAVE));
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_EXIT));
    EXPECT_TRUE(rig.dlg->IsCloseItemEnabled());

    auto received = rig.Received();
    ASSERT_GE(received.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(received.begin(), received.begin() + 4),
              (std::vector<std::string>{"Set RTC", "Get Version", "Get SN", "Query Staus"}));
    auto rtc = rig.ReceivedFrames(2, 0);
    ASSERT_EQ(rtc.size(), 1u);
    std::uint32_t written = rtc[0].frame[13] | (rtc[0].frame[14] << 8) | (rtc[0].frame[15] << 16) |
                            (static_cast<std::uint32_t>(rtc[0].frame[16]) << 24);
    EXPECT_LE(std::llabs(static_cast<long long>(written) - static_cast<long long>(std::time(nullptr))), 2);

    // Unlink: back to the unlinked look with the notes.
    rig.Click(IDC_LINK);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Unlinked(); }));
    EXPECT_EQ(rig.dlg->ListCount(IDC_STATUS_LIST), 2);
    EXPECT_FALSE(rig.dlg->IsItemEnabled(IDC_SETTING));
    EXPECT_EQ(rig.StaticText(IDC_BATTERY), L"");
}

TEST(Link, BatteryBelowThresholdAndSwitchOffEnableReading) {
    auto logger = Logger();
    logger.battery = 34;
    logger.switchPos = 0;
    WindowRig rig(logger);
    ASSERT_TRUE(rig.LinkAndWait());
    EXPECT_EQ(rig.dlg->m_lampColor, QColor(127, 0, 0));
    EXPECT_EQ(rig.StaticText(IDC_BATTERY), L"3.4 V");
    EXPECT_FALSE(rig.dlg->IsItemEnabled(IDC_SETTING));
    EXPECT_TRUE(rig.dlg->IsItemEnabled(IDC_READ_SAVE));
    EXPECT_EQ(rig.ListLines().at(3), L"Switch Off");
}

TEST(Link, TheFirstStatusShowsItsLinesWhateverTheSwitchReads) {
    // 2 is also what the link's reset stores as the last switch seen.
    for (std::uint8_t position : {0, 1, 2, 7}) {
        SCOPED_TRACE(position);
        auto logger = Logger();
        logger.switchPos = position;
        WindowRig rig(logger);
        ASSERT_TRUE(rig.LinkAndWait());
        auto lines = rig.ListLines();
        ASSERT_EQ(lines.size(), 5u);  // the version and the four status lines
        EXPECT_EQ(lines[3], position == 0 ? L"Switch Off" : position == 1 ? L"Switch On" : L"Switch Unknown");
    }
}

TEST(Link, SerialNumberNoticesAndTheLinkGoesOn) {
    struct Case {
        sim::SerialNumberMode mode;
        unsigned textId;
    } cases[] = {{sim::SerialNumberMode::None, 189}, {sim::SerialNumberMode::OldFirmware, 182}};
    for (const auto& c : cases) {
        auto logger = Logger();
        logger.serialMode = c.mode;
        WindowRig rig(logger);
        ASSERT_TRUE(rig.LinkAndWait()) << c.textId;
        EXPECT_EQ(rig.StaticText(IDC_SERIAL), rig.dlg->Text(c.textId));
        EXPECT_EQ(rig.StaticColour(IDC_SERIAL), QColor(255, 0, 255));
        EXPECT_TRUE(rig.dlg->Session().SerialText().empty());
    }
}

TEST(Link, SetRtcRefusedWithCode6IsSentAgainThenTheLinkContinues) {
    auto logger = Logger();
    logger.faults.refusals.push_back({2, 0, 6, 2});
    WindowRig rig(logger);
    ASSERT_TRUE(rig.LinkAndWait());
    auto received = rig.Received();
    ASSERT_GE(received.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(received.begin(), received.begin() + 4),
              (std::vector<std::string>{"Set RTC", "Set RTC", "Set RTC", "Get Version"}));
    EXPECT_EQ(rig.StaticText(IDC_ERROR_LINE), L"");
}

TEST(Link, PersonalModeFindsTheAdapterWhateverComSays) {
    test::RigOptions options;
    options.personal = 1;
    options.comOverride = 4242;
    WindowRig rig(Logger(), options);
    EXPECT_FALSE(rig.dlg->IsItemVisible(IDC_AUTO_READ));  // personal mode hides the Auto boxes
    ASSERT_TRUE(rig.LinkAndWait());
    EXPECT_EQ(rig.dlg->Session().LinkPort(), rig.port.comNumber);

    // The hidden port list is rebuilt from the device map each time it drops down.
    auto* ports = rig.dlg->ItemAs<QComboBox>(IDC_PORT_LIST);
    ports->addItem(QStringLiteral("stale"));
    ports->showPopup();
    ports->hidePopup();
    std::vector<std::wstring> names;
    for (int i = 0; i < rig.dlg->ComboCount(IDC_PORT_LIST); ++i) names.push_back(rig.dlg->ComboText(IDC_PORT_LIST, i));
    EXPECT_THAT(names, ::testing::Contains(L"COM" + std::to_wstring(rig.port.comNumber)));
    EXPECT_THAT(names, ::testing::Not(::testing::Contains(std::wstring(L"stale"))));
    EXPECT_FALSE(rig.dlg->IsItemVisible(IDC_PORT_LIST));
}

}  // namespace
}  // namespace wing
