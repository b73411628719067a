#include "resources/dialog_templates.h"

#include <array>

namespace wing {
namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr auto P = ControlBinding::Plain;
constexpr auto CFS = ControlBinding::ColorFontStatic;
constexpr auto XGB = ControlBinding::XGroupBox;

constexpr std::array<DialogControl, 35> kMainControls{{
    {1009, kButtonClass, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, {164, 22, 175, 24}, 157, nullptr, 0, P},
    {1014, kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0, {164, 136, 56, 10}, 108, nullptr, 0, P},
    {1015, kButtonClass, kChild | BS_AUTORADIOBUTTON, 0, {164, 149, 61, 10}, 109, nullptr, 0, P},
    {1000, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {20, 12, 137, 18}, 156, nullptr, 0, CFS},
    {1001, kButtonClass, kChild | BS_GROUPBOX, 0, {18, 39, 136, 52}, 104, nullptr, 0, XGB},
    {1023, kStaticClass, kChild | SS_CENTER | WS_GROUP, 0, {40, 53, 111, 14}, 0, nullptr, 0, CFS},
    {1004, kStaticClass, kChild | SS_BITMAP | WS_BORDER, WS_EX_TRANSPARENT, {19, 94, 126, 132}, 0, nullptr, IDB_PRODUCT, P},
    {1005, kButtonClass, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, {31, 297, 97, 23}, 115, nullptr, 0, P},
    {1006, kButtonClass, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, {26, 331, 110, 23}, 116, nullptr, 0, P},
    {1007, kButtonClass, kChild | BS_GROUPBOX, 0, {160, 11, 184, 113}, 105, nullptr, 0, XGB},
    {1010, kProgressClass, kChild | PBS_SMOOTH | WS_BORDER, 0, {164, 51, 175, 6}, 0, nullptr, 0, P},
    {1011, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {164, 61, 126, 8}, 106, nullptr, 0, P},
    {1012, kEditClass, WS_CHILD | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 0, {243, 109, 62, 16}, 0, nullptr, 0, P},
    {1013, kButtonClass, kChild | BS_GROUPBOX, 0, {160, 124, 184, 122}, 107, nullptr, 0, XGB},
    {1016, kDatePickerClass, kChild | DTS_SHORTDATEFORMAT | DTS_RIGHTALIGN | WS_TABSTOP, 0, {164, 164, 60, 15}, 0, nullptr, 0, P},
    {1017, kDatePickerClass, kChild | DTS_TIMEFORMAT | DTS_RIGHTALIGN | WS_TABSTOP, 0, {233, 164, 60, 15}, 0, nullptr, 0, P},
    {1019, kComboBoxClass, kChild | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL, 0, {164, 188, 129, 41}, 0, nullptr, 0, P},
    {1020, kButtonClass, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, {164, 210, 93, 25}, 110, nullptr, 0, P},
    {1029, kButtonClass, kChild | BS_GROUPBOX, 0, {160, 247, 184, 106}, 111, nullptr, 0, XGB},
    {1021, kButtonClass, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, {164, 297, 109, 20}, 114, nullptr, 0, P},
    {1022, kProgressClass, kChild | PBS_SMOOTH | WS_BORDER, 0, {164, 324, 70, 6}, 0, nullptr, 0, P},
    {1024, kStaticClass, kChild | SS_CENTER | WS_GROUP, 0, {55, 72, 79, 15}, 0, nullptr, 0, CFS},
    {1025, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {231, 137, 63, 20}, 0, nullptr, 0, CFS},
    {1027, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {164, 280, 25, 8}, 113, nullptr, 0, P},
    {1028, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {196, 280, 145, 13}, 0, nullptr, 0, CFS},
    {1030, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {164, 262, 103, 13}, 112, nullptr, 0, CFS},
    {1032, kListBoxClass, kChild | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL, 0, {164, 72, 175, 43}, 0, nullptr, 0, P},
    {1033, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {241, 323, 60, 8}, 0, nullptr, 0, CFS},
    {1034, kComboBoxClass, kChild | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL, 0, {117, 25, 48, 30}, 0, nullptr, 0, P},
    {1035, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {297, 218, 20, 10}, 0, nullptr, 0, CFS},
    {1037, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {17, 235, 125, 14}, 0, nullptr, 0, CFS},
    {1038, kButtonClass, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, {295, 262, 45, 10}, 185, nullptr, 0, P},
    {1039, kButtonClass, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, {295, 138, 41, 10}, 187, nullptr, 0, P},
    {1040, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {307, 164, 31, 22}, 0, nullptr, 0, CFS},
    {1041, kStaticClass, kChild | SS_LEFT | WS_GROUP, 0, {17, 262, 125, 31}, 0, nullptr, 0, CFS},
}};

constexpr std::array<DialogControl, 4> kAboutControls{{
    {IDC_STATIC, kStaticClass, kChild | SS_ICON, 0, {14, 14, 20, 20}, 0, nullptr, IDR_MAINFRAME, P},
    {1036, kStaticClass, kChild | SS_LEFT | SS_NOPREFIX, 0, {42, 14, 114, 8}, 0, nullptr, 0, CFS},
    {IDC_STATIC, kStaticClass, kChild | SS_LEFT | SS_NOPREFIX, 0, {42, 26, 114, 8}, 0, L"Copyright (C) 2015", 0, P},
    {1, kButtonClass, kChild | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, {113, 41, 50, 14}, 0, L"確定", 0, P},
}};

const DialogTemplate kMainDialog{
    IDD_WING_UTILITY_DIALOG,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER | DS_SHELLFONT,
    WS_EX_APPWINDOW,
    351, 360,
    L"WingUtility",  // replaced at run time
    L"MS Shell Dlg", 9,
    kMainControls,
};

const DialogTemplate kAboutDialog{
    IDD_ABOUTBOX,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT,
    0,
    170, 62,
    L"",
    L"MS Shell Dlg", 9,
    kAboutControls,
};

}  // namespace

const DialogControl* DialogTemplate::Find(int controlId) const {
    for (const auto& c : controls)
        if (c.id == controlId) return &c;
    return nullptr;
}

const DialogTemplate& MainDialogTemplate() { return kMainDialog; }
const DialogTemplate& AboutDialogTemplate() { return kAboutDialog; }

const DialogTemplate* FindDialogTemplate(unsigned id) {
    if (id == IDD_WING_UTILITY_DIALOG) return &kMainDialog;
    if (id == IDD_ABOUTBOX) return &kAboutDialog;
    return nullptr;
}

}  // namespace wing
