#pragma once
// The main window (dialog 102) and the About box (dialog 100) as data. Controls carry
// no texts of their own except where given: the window fills them in the interface
// language by string id. Rectangles are in dialog units; style bits use the Win32
// values so the window builder can map each one.

#include <cstdint>
#include <span>

namespace wing {

// Window and dialog styles.
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_VSCROLL = 0x00200000;
constexpr std::uint32_t WS_HSCROLL = 0x00100000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_GROUP = 0x00020000;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;  // same bit as WS_GROUP, on top-level windows
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_EX_TRANSPARENT = 0x00000020;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr std::uint32_t DS_FIXEDSYS = 0x0008;
constexpr std::uint32_t DS_SETFONT = 0x0040;
constexpr std::uint32_t DS_MODALFRAME = 0x0080;
constexpr std::uint32_t DS_CENTER = 0x0800;
constexpr std::uint32_t DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;

// Buttons.
constexpr std::uint32_t BS_PUSHBUTTON = 0x0;
constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1;
constexpr std::uint32_t BS_AUTOCHECKBOX = 0x3;
constexpr std::uint32_t BS_GROUPBOX = 0x7;
constexpr std::uint32_t BS_AUTORADIOBUTTON = 0x9;
constexpr std::uint32_t BS_TYPEMASK = 0xF;
// Statics.
constexpr std::uint32_t SS_LEFT = 0x0;
constexpr std::uint32_t SS_CENTER = 0x1;
constexpr std::uint32_t SS_ICON = 0x3;
constexpr std::uint32_t SS_BITMAP = 0xE;
constexpr std::uint32_t SS_TYPEMASK = 0x1F;
constexpr std::uint32_t SS_NOPREFIX = 0x80;
// Edit.
constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080;
constexpr std::uint32_t ES_READONLY = 0x0800;
// List box.
constexpr std::uint32_t LBS_NOTIFY = 0x0001;
constexpr std::uint32_t LBS_SORT = 0x0002;
constexpr std::uint32_t LBS_NOINTEGRALHEIGHT = 0x0100;
// Combo box.
constexpr std::uint32_t CBS_DROPDOWN = 0x0002;
constexpr std::uint32_t CBS_DROPDOWNLIST = 0x0003;
constexpr std::uint32_t CBS_SORT = 0x0100;
// Progress bar.
constexpr std::uint32_t PBS_SMOOTH = 0x01;
// Date and time picker.
constexpr std::uint32_t DTS_SHORTDATEFORMAT = 0x0000;
constexpr std::uint32_t DTS_RIGHTALIGN = 0x0020;
constexpr std::uint32_t DTS_TIMEFORMAT = 0x0009;

// Class names as the templates give them.
inline constexpr const char* kButtonClass = "Button";
inline constexpr const char* kStaticClass = "Static";
inline constexpr const char* kEditClass = "Edit";
inline constexpr const char* kListBoxClass = "ListBox";
inline constexpr const char* kComboBoxClass = "ComboBox";
inline constexpr const char* kProgressClass = "msctls_progress32";
inline constexpr const char* kDatePickerClass = "SysDateTimePick32";

// Resource ids.
constexpr unsigned IDD_ABOUTBOX = 100;
constexpr unsigned IDD_WING_UTILITY_DIALOG = 102;
constexpr unsigned IDR_MAINFRAME = 128;    // application icon
constexpr unsigned IDB_PRODUCT = 133;      // product picture, 236 x 234
constexpr int IDC_STATIC = -1;

// Which class of ours the window binds to the control.
enum class ControlBinding {
    Plain,            // the platform control as it is
    ColorFontStatic,  // CColorFontStatic
    XGroupBox,        // CXGroupBox
};

struct DialogRect {
    int x, y, width, height;
};

struct DialogControl {
    int id;
    const char* className;
    std::uint32_t style;      // includes WS_CHILD, and WS_VISIBLE unless hidden
    std::uint32_t exStyle;
    DialogRect rect;
    unsigned textId;          // string filled in at run time, 0 if none
    const wchar_t* text;      // the template's own text, nullptr if none
    unsigned imageId;         // bitmap or icon shown by a static, 0 if none
    ControlBinding binding;
};

struct DialogTemplate {
    unsigned id;
    std::uint32_t style;
    std::uint32_t exStyle;
    int width, height;        // dialog units
    const wchar_t* title;
    const wchar_t* fontName;
    int fontPointSize;
    std::span<const DialogControl> controls;  // in template (tab) order

    // The control with this id, or nullptr.
    const DialogControl* Find(int controlId) const;
};

const DialogTemplate& MainDialogTemplate();   // 102
const DialogTemplate& AboutDialogTemplate();  // 100
// Either template by id, or nullptr.
const DialogTemplate* FindDialogTemplate(unsigned id);

}  // namespace wing
