// The station's automatic jobs follow the Auto-Reading and Auto-Setting boxes, however
// a box came to be checked: a mouse click, a screen reader's toggle action, or the
// program setting it.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>

#include "window_rig.h"

namespace wing {
namespace {

using test::Logger;
using test::ReadyToRead;
using test::WindowRig;

enum class CheckBy { Click, AccessibleToggle, SetChecked };

const char* Name(CheckBy how) {
    switch (how) {
    case CheckBy::Click: return "click";
    case CheckBy::AccessibleToggle: return "accessible toggle";
    case CheckBy::SetChecked: return "setChecked";
    }
    return "";
}

void Check(WindowRig& rig, int id, CheckBy how) {
    auto* box = rig.dlg->ItemAs<QAbstractButton>(id);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(box->isEnabled());
    switch (how) {
    case CheckBy::Click:
        box->click();
        break;
    case CheckBy::AccessibleToggle: {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(a->actionInterface(), nullptr);
        ASSERT_TRUE(a->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        break;
    }
    case CheckBy::SetChecked:
        box->setChecked(true);
        break;
    }
    ASSERT_TRUE(rig.WaitFor([&] { return box->isChecked(); }, 5));
}

// Unlinks and links again: the automatic job runs on the link's first status.
void Relink(WindowRig& rig) {
    rig.Click(IDC_LINK);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Unlinked(); }));
    rig.Click(IDC_LINK);
}

const CheckBy kWays[] = {CheckBy::Click, CheckBy::AccessibleToggle, CheckBy::SetChecked};

TEST(AutoJobs, AutoReadingCheckedAnyWayReadsAndSavesTheNextLoggerExactly) {
    for (CheckBy how : kWays) {
        SCOPED_TRACE(Name(how));
        WindowRig rig(ReadyToRead(100));
        ASSERT_TRUE(rig.LinkAndWait());
        Check(rig, IDC_AUTO_READ, how);
        Relink(rig);
        ASSERT_TRUE(rig.WaitFor([&] {
            return rig.StaticText(IDC_READ_MESSAGE).rfind(rig.dlg->Text(151), 0) == 0 && rig.dlg->IsItemEnabled(IDC_LINK);
        }, 30));
        std::vector<std::filesystem::path> csvs;
        for (const auto& f : rig.LogFiles())
            if (f.extension() == ".csv") csvs.push_back(f);
        ASSERT_EQ(csvs.size(), 1u);
        EXPECT_EQ(test::ReadWhole(csvs[0]),
                  test::ExpectedCsv(rig.simulator.LogSlots(), L"WG1507A0042", L"V 1.2.3.4", 1033));
    }
}

TEST(AutoJobs, AutoSettingCheckedAnyWaySetsTheNextLoggerAndClearsAutoReading) {
    for (CheckBy how : kWays) {
        SCOPED_TRACE(Name(how));
        WindowRig rig(Logger());
        ASSERT_TRUE(rig.LinkAndWait());
        // Auto-Reading was checked first (by the program): checking Auto-Setting clears it,
        // and the job that runs is the one the boxes show.
        rig.dlg->SetChecked(IDC_AUTO_READ, true);
        Check(rig, IDC_AUTO_SET, how);
        EXPECT_FALSE(rig.dlg->IsChecked(IDC_AUTO_READ));
        Relink(rig);
        ASSERT_TRUE(rig.WaitFor([&] { return !rig.StaticText(IDC_VERDICT).empty(); }));
        EXPECT_EQ(rig.StaticText(IDC_VERDICT), L"OK");
        EXPECT_EQ(rig.ReceivedFrames(2, 1).size(), 1u);  // one Set Mode
        EXPECT_TRUE(rig.ReceivedFrames(3, 0).empty());   // and no page was read
    }
}

TEST(AutoJobs, ABoxClearedAnyWayEndsItsJob) {
    WindowRig rig(ReadyToRead(40));
    ASSERT_TRUE(rig.LinkAndWait());
    Check(rig, IDC_AUTO_READ, CheckBy::Click);
    auto* box = rig.dlg->ItemAs<QAbstractButton>(IDC_AUTO_READ);
    QAccessible::queryAccessibleInterface(box)->actionInterface()->doAction(
        QAccessibleActionInterface::toggleAction());
    ASSERT_FALSE(box->isChecked());
    Relink(rig);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Linked(); }));
    rig.WaitFor([] { return false; }, 1);  // a due job would have started by now
    EXPECT_TRUE(rig.ReceivedFrames(3, 0).empty());
    EXPECT_TRUE(rig.StaticText(IDC_READ_MESSAGE).empty());
}

}  // namespace
}  // namespace wing
