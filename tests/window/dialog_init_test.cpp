// The main dialog's initialisation: texts in the three languages, the record-mode list,
// the check boxes, the title, the Starting state until the clock is ready, the lamp.

#include <QAccessible>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QImage>
#include <QTimer>

#include <atomic>
#include <map>
#include <thread>

#include "window/controller_fixture.h"
#include "timesync/fake_clock.h"
#include "framework/qt_text.h"
#include "ui/about_dlg.h"
#include "framework/color_font_static.h"
#include "framework/xgroup_box.h"

WING_QT_TEST_ENVIRONMENT();

namespace wing {
namespace {

using namespace std::chrono_literals;
using test::IniValues;
using test::PumpUntil;

class DialogInit : public test::MainDialogFixture {};

struct LanguageCase {
    const char* name;
    int languageByOS;
    const char* userLocale;
    unsigned lang;
};

const LanguageCase kLanguages[] = {
    {"English", 2, "en_US.UTF-8", LANG_EN_US},
    {"TraditionalChinese", 1, "zh_TW.UTF-8", LANG_ZH_TW},
    {"SimplifiedChinese", 0, "en_US.UTF-8", LANG_ZH_CN},
};

TEST_F(DialogInit, EveryControlTextComesFromTheTableOfTheChosenLanguage) {
    const std::pair<int, unsigned> texts[] = {
        {IDC_LINK, 157},      {IDC_SETTING, 110},        {IDC_READ_SAVE, 114}, {IDC_EXIT, 116},
        {IDC_OPEN_FOLDER, 115}, {IDC_PORT_LABEL, 106},   {IDC_START_NOW, 108}, {IDC_START_RESERVED, 109},
        {IDC_MAP_NOTE, 112},  {IDC_STATIC_1027, 113},    {IDC_AUTO_READ, 185}, {IDC_AUTO_SET, 187},
        {IDC_GROUP_TIME, 104}, {IDC_GROUP_LINK, 105},    {IDC_GROUP_SETTING, 107}, {IDC_GROUP_DATA, 111},
        {IDC_TITLE, 156},
    };
    std::map<unsigned, std::wstring> linkCaption;
    for (const LanguageCase& c : kLanguages) {
        SCOPED_TRACE(c.name);
        IniValues v;
        v.languageByOS = c.languageByOS;
        auto& d = Open(v, c.userLocale);
        EXPECT_EQ(d.m_langId, c.lang);
        for (auto [id, textId] : texts) {
            EXPECT_EQ(d.ItemText(id), Str(c.lang, textId)) << "control " << id;
            EXPECT_FALSE(d.ItemText(id).empty()) << "control " << id;
        }
        // The notes, sorted, and the day names of the clock.
        ASSERT_EQ(d.ListCount(IDC_STATUS_LIST), 2);
        EXPECT_EQ(d.ListText(IDC_STATUS_LIST, 0), Str(c.lang, 144));
        EXPECT_EQ(d.ListText(IDC_STATUS_LIST, 1), Str(c.lang, 145));
        ASSERT_EQ(d.m_weekdayNames.size(), 7u);
        EXPECT_EQ(d.m_weekdayNames[1], Str(c.lang, 118));
        ASSERT_EQ(d.m_nackTexts.size(), 15u);
        EXPECT_EQ(d.m_nackTexts.back(), Str(c.lang, 141));
        EXPECT_EQ(d.m_recordModeNames.back(), Str(c.lang, 178));
        linkCaption[c.lang] = d.ItemText(IDC_GROUP_LINK);
        dlg.reset();
    }
    // Three different tables, not one table three times.
    EXPECT_NE(linkCaption[LANG_EN_US], linkCaption[LANG_ZH_TW]);
    EXPECT_NE(linkCaption[LANG_ZH_TW], linkCaption[LANG_ZH_CN]);
}

TEST_F(DialogInit, GroupCaptionsGetTheirColoursAndTheKaiFaceAtNormalWeight) {
    auto& d = Open({});
    const std::pair<int, QColor> colours[] = {{IDC_GROUP_TIME, QColor(0, 0, 127)},
                                              {IDC_GROUP_LINK, QColor(255, 0, 0)},
                                              {IDC_GROUP_SETTING, QColor(0, 0, 255)},
                                              {IDC_GROUP_DATA, QColor(0, 0, 255)}};
    for (auto [id, colour] : colours) {
        CXGroupBox* box = d.GroupBox(id);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->m_textColor, colour) << id;
        EXPECT_FALSE(box->CaptionFont().bold()) << id;
        EXPECT_EQ(box->CaptionFont().pixelSize(), 16) << id;
        EXPECT_EQ(box->CaptionFont().family(), QString::fromUtf8("標楷體"));
    }
    // The coloured labels of the initialisation.
    EXPECT_EQ(d.ColorStatic(IDC_MAP_NOTE)->TextColor(), QColor(0, 127, 127));
    EXPECT_EQ(d.ColorStatic(IDC_MAP_NOTE)->Description().height, -16);
    EXPECT_EQ(d.ColorStatic(IDC_MODE_LABEL)->TextColor(), QColor(255, 0, 0));
    EXPECT_EQ(d.ColorStatic(IDC_MODE_LABEL)->Description().height, -16);  // 16 points, then 12
    EXPECT_EQ(d.ColorStatic(IDC_TITLE)->Description().height, -21);
}

TEST_F(DialogInit, RecordModeListFollowsCompetitionAndLanguage) {
    struct Case {
        const char* name;
        int competition;
        int languageByOS;
        unsigned lang;
        std::vector<unsigned> items;
        unsigned label;
    } cases[] = {
        {"racing in English", 1, 2, LANG_EN_US, {178}, 178},
        {"racing asked in Simplified Chinese", 1, 0, LANG_ZH_CN, {124, 125, 126}, 170},
        {"training in English", 0, 2, LANG_EN_US, {124, 125, 126}, 170},
        {"training in Simplified Chinese", 0, 0, LANG_ZH_CN, {124, 125, 126}, 170},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IniValues v;
        v.competition = c.competition;
        v.languageByOS = c.languageByOS;
        auto& d = Open(v);
        ASSERT_EQ(d.ComboCount(IDC_RECORD_MODE), static_cast<int>(c.items.size()));
        for (std::size_t i = 0; i < c.items.size(); ++i)
            EXPECT_EQ(d.ComboText(IDC_RECORD_MODE, static_cast<int>(i)),
                      L"(" + std::to_wstring(i + 1) + L") " + Str(c.lang, c.items[i]));
        EXPECT_EQ(d.ComboCurSel(IDC_RECORD_MODE), 0);
        EXPECT_EQ(d.ItemText(IDC_MODE_LABEL), Str(c.lang, c.label));
        dlg.reset();
    }
}

TEST_F(DialogInit, TheAutomaticBoxesAreHiddenOnlyInPersonalMode) {
    for (int enable : {1, 2, 0}) {
        SCOPED_TRACE(enable);
        IniValues v;
        v.enable = enable;
        auto& d = Open(v);
        EXPECT_EQ(d.IsItemVisible(IDC_AUTO_READ), enable != 1);
        EXPECT_EQ(d.IsItemVisible(IDC_AUTO_SET), enable != 1);
        EXPECT_FALSE(d.IsItemEnabled(IDC_AUTO_READ));
        EXPECT_FALSE(d.IsItemEnabled(IDC_AUTO_SET));
        dlg.reset();
    }
}

TEST_F(DialogInit, TitlePortListAndStartKind) {
    IniValues v;
    v.com = 7;
    auto& d = Open(v);
    EXPECT_EQ(FromQString(d.windowTitle()),
              L"Norvane Aerolite Kit     " + VersionText(BuildFileVersion()) + L"     COM7 ");
    EXPECT_FALSE(d.IsItemVisible(IDC_PORT_LIST));  // filled but never shown
    EXPECT_EQ(d.m_comNumber, 7);
    EXPECT_EQ(d.m_startKind, 0);
    EXPECT_TRUE(d.IsChecked(IDC_START_NOW));
    EXPECT_FALSE(d.Session().PortOpen());  // the session is there, nothing linked yet
    // The drop-down is at least as wide as its widest item.
    auto* combo = d.ItemAs<QComboBox>(IDC_RECORD_MODE);
    EXPECT_GT(combo->view()->minimumWidth(), QFontMetrics(combo->font()).horizontalAdvance(combo->itemText(0)));
    // Station mode (ENABLE=0) adds the release of the day's race; personal mode has no day's race.
    EXPECT_EQ(d.SystemMenuCommands(),
              (std::vector<int>{kAboutCommand, kSettingsCommand, kFlightsCommand, kStationReleaseCommand}));
    EXPECT_NE(d.StationRaceButton(), nullptr);
    dlg.reset();
    v.enable = 1;
    auto& personal = Open(v);
    EXPECT_EQ(personal.SystemMenuCommands(), (std::vector<int>{kAboutCommand, kSettingsCommand, kFlightsCommand}));
    EXPECT_EQ(personal.StationRaceButton(), nullptr);
}

TEST_F(DialogInit, AMissingConfigurationIsReportedInTheUsersLanguageAndDefaultsApply) {
    test::ScopedLocaleName locale("zh_TW.UTF-8");
    dlg = std::make_unique<CWingUtilityDlg>(nullptr, L"/nonexistent/dir/Wing.ini");
    dlg->Create();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Requests()[0].text, Str(LANG_ZH_TW, 169));
    EXPECT_EQ(dlg->m_langId, LANG_ZH_TW);  // LanguageByOS falls back to 1
    EXPECT_FALSE(dlg->IsItemVisible(IDC_AUTO_READ));  // ENABLE falls back to 1
}

TEST_F(DialogInit, StartingStateHoldsUntilTheClockIsReadyThenUnlinked) {
    auto& d = Open({});
    // Starting: before any event is handled.
    EXPECT_FALSE(d.IsItemEnabled(IDC_LINK));
    EXPECT_FALSE(d.IsItemEnabled(IDC_EXIT));
    EXPECT_FALSE(d.IsCloseItemEnabled());
    ASSERT_TRUE(PumpUntil([&] { return d.IsItemEnabled(IDC_LINK); }, 3s));
    EXPECT_TRUE(d.IsItemEnabled(IDC_EXIT));
    EXPECT_TRUE(d.IsCloseItemEnabled());
    EXPECT_FALSE(d.IsItemEnabled(IDC_READ_SAVE));
    EXPECT_FALSE(d.IsItemEnabled(IDC_SETTING));
    EXPECT_EQ(d.ItemText(IDC_LINK), L"LINK");
}

TEST_F(DialogInit, WithTimeSynchronisationLinkWaitsForTheAttemptToEnd) {
    IniValues v;
    v.ntp = 1;
    test::ScopedLocaleName locale("en_US.UTF-8");
    dlg = std::make_unique<CWingUtilityDlg>(nullptr, WriteIni(v));
    // The attempt is held at its connectivity test, which reports no network: the clock
    // is never touched.
    std::atomic<bool> release{false};
    std::atomic<bool> asked{false};
    test::FakeClock clock;
    dlg->m_ntpClock = &clock;
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag = true; }
    } guard{release};
    dlg->m_ntpConnectivity = [&] {
        asked = true;
        while (!release) std::this_thread::sleep_for(5ms);
        return false;
    };
    dlg->Create();
    ASSERT_TRUE(PumpUntil([&] { return asked.load(); }, 10s));
    test::PumpFor(300ms);
    EXPECT_FALSE(dlg->IsItemEnabled(IDC_LINK));
    EXPECT_FALSE(dlg->IsItemEnabled(IDC_EXIT));
    release = true;
    ASSERT_TRUE(PumpUntil([&] { return dlg->IsItemEnabled(IDC_LINK); }, 10s));
    EXPECT_TRUE(dlg->IsItemEnabled(IDC_EXIT));
    EXPECT_EQ(dlg->m_ntpPending, 0);
}

TEST_F(DialogInit, TheLampSitsBesideSettingAndShowsItsColour) {
    auto& d = Open({});
    d.m_lampColor = QColor(0, 200, 0);
    d.RepaintLamp();
    const QImage image = d.grab().toImage();
    const QRect setting = d.ItemRect(IDC_SETTING);
    const int right = setting.x() + setting.width();
    EXPECT_EQ(d.m_lampRect, QRect(right + 35, setting.y() + setting.height() / 4, 30, 30));
    EXPECT_EQ(image.pixelColor(d.m_lampRect.center()), QColor(0, 200, 0));
    EXPECT_NE(image.pixelColor(d.m_lampRect.topLeft()), QColor(0, 200, 0));  // a circle, not a square
    // The lamp lies inside the window and clear of the battery text.
    EXPECT_TRUE(d.rect().contains(d.m_lampRect));
    EXPECT_FALSE(d.m_lampRect.intersects(d.ItemRect(IDC_BATTERY)));
}

TEST_F(DialogInit, TheColouredStaticsReadTheirTextsToAssistiveTechnology) {
    auto& d = Open({});
    for (int id : {IDC_TITLE, IDC_READ_MESSAGE, IDC_SERIAL, IDC_VERDICT, IDC_ERROR_LINE, IDC_BATTERY}) {
        const std::wstring text = L"Status " + std::to_wstring(id);
        d.SetStatic(id, text, DarkRed(), 12);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(d.Item(id))->text(QAccessible::Name), ToQString(text));
        d.ClearStatic(id);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(d.Item(id))->text(QAccessible::Name), QString());
    }
}

TEST_F(DialogInit, TheAboutItemOpensTheAboutBox) {
    auto& d = Open({});
    QString title;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (about && about != &d) {
            title = about->windowTitle();
            about->reject();
        }
    });
    timer.start();
    d.OnSysCommand(kAboutCommand);  // returns once the box is closed
    EXPECT_EQ(title, "Norvane Aerolite Kit");
    EXPECT_TRUE(d.IsWindow());
}

}  // namespace
}  // namespace wing
