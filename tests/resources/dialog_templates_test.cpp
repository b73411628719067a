#include <gtest/gtest.h>

#include <set>
#include <string>

#include "resources/dialog_templates.h"
#include "resources/string_table.h"

namespace wing {
namespace {

TEST(DialogTemplates, MainWindowHoldsItsControlsInTemplateOrder) {
    const DialogTemplate& d = MainDialogTemplate();
    EXPECT_EQ(d.id, 102u);
    EXPECT_EQ(d.width, 351);
    EXPECT_EQ(d.height, 360);
    EXPECT_EQ(std::wstring(d.fontName), L"MS Shell Dlg");
    EXPECT_EQ(d.fontPointSize, 9);
    EXPECT_EQ(d.style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER),
              WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER);
    EXPECT_TRUE(d.exStyle & WS_EX_APPWINDOW);

    const int order[] = {1009, 1014, 1015, 1000, 1001, 1023, 1004, 1005, 1006, 1007, 1010, 1011,
                         1012, 1013, 1016, 1017, 1019, 1020, 1029, 1021, 1022, 1024, 1025, 1027,
                         1028, 1030, 1032, 1033, 1034, 1035, 1037, 1038, 1039, 1040, 1041};
    ASSERT_EQ(d.controls.size(), std::size(order));
    for (std::size_t i = 0; i < d.controls.size(); ++i) EXPECT_EQ(d.controls[i].id, order[i]) << i;
}

TEST(DialogTemplates, ControlsSitInsideTheirDialog) {
    for (const DialogTemplate* d : {&MainDialogTemplate(), &AboutDialogTemplate()}) {
        for (const auto& c : d->controls) {
            EXPECT_GE(c.rect.x, 0) << c.id;
            EXPECT_GE(c.rect.y, 0) << c.id;
            EXPECT_GT(c.rect.width, 0) << c.id;
            EXPECT_GT(c.rect.height, 0) << c.id;
            EXPECT_LE(c.rect.x + c.rect.width, d->width) << d->id << "/" << c.id;
            EXPECT_LE(c.rect.y + c.rect.height, d->height) << d->id << "/" << c.id;
            EXPECT_TRUE(c.style & WS_CHILD) << c.id;
        }
    }
}

TEST(DialogTemplates, SelectedControlsCarryTheirClassStyleAndRectangle) {
    const DialogTemplate& d = MainDialogTemplate();
    struct Case {
        int id;
        const char* cls;
        std::uint32_t style;
        DialogRect rect;
    };
    const Case cases[] = {
        {1009, kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, {164, 22, 175, 24}},
        {1014, kButtonClass, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, {164, 136, 56, 10}},
        {1004, kStaticClass, SS_BITMAP | WS_BORDER, {19, 94, 126, 132}},
        {1016, kDatePickerClass, DTS_RIGHTALIGN | WS_TABSTOP, {164, 164, 60, 15}},
        {1017, kDatePickerClass, DTS_TIMEFORMAT | DTS_RIGHTALIGN, {233, 164, 60, 15}},
        {1019, kComboBoxClass, CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL, {164, 188, 129, 41}},
        {1032, kListBoxClass, LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL,
         {164, 72, 175, 43}},
        {1034, kComboBoxClass, CBS_DROPDOWN | CBS_SORT | WS_VSCROLL, {117, 25, 48, 30}},
        {1022, kProgressClass, PBS_SMOOTH | WS_BORDER, {164, 324, 70, 6}},
        {1041, kStaticClass, WS_GROUP, {17, 262, 125, 31}},
    };
    for (const auto& c : cases) {
        const DialogControl* control = d.Find(c.id);
        ASSERT_NE(control, nullptr) << c.id;
        EXPECT_STREQ(control->className, c.cls) << c.id;
        EXPECT_EQ(control->style & c.style, c.style) << c.id;
        EXPECT_EQ(control->rect.x, c.rect.x) << c.id;
        EXPECT_EQ(control->rect.y, c.rect.y) << c.id;
        EXPECT_EQ(control->rect.width, c.rect.width) << c.id;
        EXPECT_EQ(control->rect.height, c.rect.height) << c.id;
    }
    // the drop-down list and the port combo differ only in the edit field
    EXPECT_EQ(d.Find(1019)->style & 0x3, CBS_DROPDOWNLIST);
    EXPECT_EQ(d.Find(1034)->style & 0x3, CBS_DROPDOWN);
    EXPECT_EQ(d.Find(1004)->imageId, IDB_PRODUCT);
    EXPECT_TRUE(d.Find(1004)->exStyle & WS_EX_TRANSPARENT);
    EXPECT_FALSE(d.Find(1012)->style & WS_VISIBLE);  // the unused edit field is hidden
    EXPECT_TRUE(d.Find(1012)->style & ES_READONLY);
    EXPECT_EQ(d.Find(9999), nullptr);
}

TEST(DialogTemplates, BindingsAndTextIdsFollowTheWindowsUse) {
    const DialogTemplate& d = MainDialogTemplate();
    const std::set<int> plainStatics = {1004, 1011, 1027};
    int groups = 0;
    for (const auto& c : d.controls) {
        const bool isStatic = std::string(c.className) == kStaticClass;
        const bool isGroup =
            std::string(c.className) == kButtonClass && (c.style & BS_TYPEMASK) == BS_GROUPBOX;
        if (isStatic && !plainStatics.count(c.id))
            EXPECT_EQ(c.binding, ControlBinding::ColorFontStatic) << c.id;
        else if (isGroup) {
            ++groups;
            EXPECT_EQ(c.binding, ControlBinding::XGroupBox) << c.id;
        } else
            EXPECT_EQ(c.binding, ControlBinding::Plain) << c.id;
        // every text the window fills in exists in all three languages
        if (c.textId != 0) {
            for (unsigned lang : {LANG_ZH_TW, LANG_EN_US, LANG_ZH_CN}) {
                std::wstring text;
                EXPECT_TRUE(LoadLanguageString(lang, c.textId, text)) << c.id << " " << lang;
            }
        }
    }
    EXPECT_EQ(groups, 4);
    EXPECT_EQ(d.Find(1009)->textId, 157u);
    EXPECT_EQ(d.Find(1029)->textId, 111u);
    EXPECT_EQ(d.Find(1038)->textId, 185u);
    EXPECT_EQ(d.Find(1039)->textId, 187u);
}

TEST(DialogTemplates, AboutBoxKeepsItsOwnOkText) {
    const DialogTemplate& d = AboutDialogTemplate();
    EXPECT_EQ(FindDialogTemplate(100), &d);
    EXPECT_EQ(FindDialogTemplate(102), &MainDialogTemplate());
    EXPECT_EQ(FindDialogTemplate(101), nullptr);
    EXPECT_EQ(d.width, 170);
    EXPECT_EQ(d.height, 62);
    EXPECT_EQ(std::wstring(d.title), L"");
    ASSERT_EQ(d.controls.size(), 4u);
    EXPECT_EQ(d.controls[0].style & SS_TYPEMASK, SS_ICON);
    EXPECT_EQ(d.controls[0].imageId, IDR_MAINFRAME);
    const DialogControl* line = d.Find(1036);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->binding, ControlBinding::ColorFontStatic);
    EXPECT_TRUE(line->style & SS_NOPREFIX);
    const DialogControl* ok = d.Find(1);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(std::wstring(ok->text), L"確定");
    EXPECT_EQ(ok->textId, 0u);
}

}  // namespace
}  // namespace wing
