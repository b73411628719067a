// The settings window from the main window's menu: what it saves is in force at once
// where it can be, and the About box names the file the settings come from.

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "platform/paths.h"
#include "settingsview/settings_window.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/temp_config.h"
#include "ui/about_dlg.h"
#include "window/controller_fixture.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

class SettingsApply : public test::MainDialogFixture {
protected:
    void TearDown() override {
        test::MainDialogFixture::TearDown();
        SetLogFolder({});
    }
    // Opens the settings from the menu, lets `edit` change the window, presses OK.
    bool EditSettings(const std::function<void(SettingsWindow&)>& edit, const char* button = "ok") {
        return test::WhileModal<SettingsWindow>([&] { dlg->OnSysCommand(kSettingsCommand); },
                                                [&](SettingsWindow& w) {
                                                    edit(w);
                                                    w.findChild<QPushButton*>(button)->click();
                                                });
    }
    test::TempConfig config;
};

TEST_F(SettingsApply, OkAppliesTheThresholdTheLoftsAndTheLogFolderAtOnceAndTheLanguageLater) {
    auto& d = Open({});
    ASSERT_NE(std::find(d.SystemMenuCommands().begin(), d.SystemMenuCommands().end(), kSettingsCommand),
              d.SystemMenuCommands().end());
    const fs::path moved = fs::path(config.Root()) / "Pigeons";
    ASSERT_TRUE(EditSettings([&](SettingsWindow& w) {
        w.findChild<QDoubleSpinBox*>("threshold")->setValue(3.3);
        w.findChild<QLineEdit*>("logFolder")->setText(QString::fromStdString(moved.string()));
        w.findChild<QPushButton*>("addLoft")->click();
        auto* lofts = w.findChild<QTableWidget*>("lofts");
        lofts->item(0, 0)->setText("Home");
        lofts->item(0, 1)->setText("24.5, 120.5");
        auto* language = w.findChild<QComboBox*>("language");
        language->setCurrentIndex(language->findData(0));
    }));

    EXPECT_EQ(d.m_threshold, 33u);
    EXPECT_EQ(LogFolderOverride(), moved);
    EXPECT_EQ(ResolveDrivePath(L"C:\\GPSLOG\\archive"), moved / "archive");
    ASSERT_EQ(d.m_lofts.size(), 1u);
    EXPECT_EQ(d.m_lofts[0].name, "Home");
    ASSERT_TRUE(d.m_lofts[0].position);
    EXPECT_DOUBLE_EQ(d.m_lofts[0].position->lat, 24.5);
    // The language waits for the next start; the user's file now holds the settings.
    EXPECT_EQ(d.m_langId, LANG_EN_US);
    EXPECT_EQ(d.m_settingsPath, UserConfigPath());
    const Config saved = LoadConfig(LANG_EN_US, UserConfigPath());
    EXPECT_EQ(saved.languageByOS, 0);
    EXPECT_EQ(saved.logFolder, moved.string());

    // Cancel changes nothing, in the window or in the file.
    const std::string before = test::ReadWhole(UserConfigPath());
    ASSERT_TRUE(EditSettings([](SettingsWindow& w) { w.findChild<QDoubleSpinBox*>("threshold")->setValue(4.4); },
                             "cancel"));
    EXPECT_EQ(d.m_threshold, 33u);
    EXPECT_EQ(test::ReadWhole(UserConfigPath()), before);
}

TEST_F(SettingsApply, TheAboutBoxNamesTheSettingsFileInForce) {
    auto& d = Open({});
    QString tip;
    ASSERT_TRUE(test::WhileModal<CAboutDlg>([&] { d.OnSysCommand(kAboutCommand); },
                                            [&](CAboutDlg& about) {
                                                tip = about.findChild<QLabel*>()->toolTip();
                                                static_cast<QDialog&>(about).reject();
                                            }));
    EXPECT_TRUE(tip.contains(QString::fromStdString(d.m_settingsPath.string()))) << tip.toStdString();
}

}  // namespace
}  // namespace wing
